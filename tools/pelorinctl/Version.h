#pragma once

#include <string>

namespace pelorinctl {

// "major.minor.patch" from the file version of the module's VERSIONINFO, with
// a fourth part only when it is not zero. Throws Failure when there is none.
std::string ModuleVersion(const std::wstring& path);

}  // namespace pelorinctl
