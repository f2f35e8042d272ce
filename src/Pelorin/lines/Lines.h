// Lines of Firefox's text files: raw UTF-8 bytes, never decoded, cut on "\n".
// A line is a view into the bytes of the file it came from (or into one of
// the library's constants), so cutting a file of a million lines allocates
// one array, not a million strings.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// One line of a file without its "\n"; a "\r" before the "\n" stays.
using Line = std::string_view;
// In file order. The views must not outlive the bytes they were cut from.
using LineList = std::vector<Line>;

std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWide(const std::string& utf8);

// Lower-cases the ASCII capitals A to Z only, as Firefox's file names are
// compared here; every other character stays.
std::wstring AsciiLower(std::wstring text);

// The pieces of `text` cut on "\n"; the piece after the last "\n" is one
// even when empty, and an empty text has none.
LineList SplitLines(std::string_view text);

// Every line followed by "\n", empty lines included.
std::string JoinLines(const LineList& lines);

// Blank lines inside a file are the user's layout; only the tail goes.
void DropTrailingEmptyLines(LineList& lines);

template <typename Predicate>
void RemoveLinesIf(LineList& lines, Predicate predicate) {
  lines.erase(std::remove_if(lines.begin(), lines.end(), predicate), lines.end());
}

}  // namespace pelorin
