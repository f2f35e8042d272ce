// The only conversions between the wide strings of paths, names and
// messages and the UTF-8 bytes of Firefox's files.
#pragma once

#include <string>

namespace pelorin {

std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWide(const std::string& utf8);

// Lower-cases the ASCII capitals A to Z only, as Firefox's file names are
// compared here; every other character stays.
std::wstring AsciiLower(std::wstring text);

}  // namespace pelorin
