// Text leaves the tool as UTF-8; the system hands it over as UTF-16.
#pragma once

#include <string>

namespace pelorinctl {

std::string ToUtf8(const std::wstring& wide);
std::wstring FromUtf8(const std::string& utf8);

}  // namespace pelorinctl
