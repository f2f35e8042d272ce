// The only conversions between the wide strings of paths, names and
// messages and the UTF-8 bytes of Firefox's files.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWide(const std::string& utf8);

// Lower-cases the ASCII capitals A to Z only, as Firefox's file names are
// compared here; every other character stays.
std::wstring AsciiLower(std::wstring text);

// Whether `text` ends with `lowered_suffix`, compared as AsciiLower would
// lower `text`; nothing is copied.
bool EndsWithAsciiLower(std::wstring_view text, std::wstring_view lowered_suffix);

}  // namespace pelorin
