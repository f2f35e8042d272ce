// Line files and text conversion: every writer edits Firefox's text files by
// reading them whole, cutting them on "\n", dropping or adding whole lines
// and writing the lines back. Lines are raw UTF-8 bytes, never decoded.
#pragma once

#include <cstdint>
#include <list>
#include <string>

namespace pelorin {

// One line of a file without its "\n"; a "\r" before the "\n" stays.
using Line = std::string;
using LineList = std::list<Line>;

std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWide(const std::string& utf8);

// Present: the attributes can be read and the path is not a directory.
bool IsPresent(const std::wstring& path);

// The whole file as bytes; a missing, unreadable or directory path reads as
// an empty string.
std::string ReadFileContentW(const std::wstring& path);

// Appends the pieces of `text` cut on `delimiter` to the back of `lines`;
// the piece after the last delimiter is appended even when empty.
void SplitString(const std::string& text, const std::string& delimiter, LineList& lines);

// ReadFileContentW and SplitString on "\n" together.
LineList ReadLines(const std::wstring& path);

// Replaces the file's content (creating it) with `count` bytes.
bool SetFileContentW(const std::wstring& path, const char* bytes, uint32_t count);
// Appends `count` bytes to an existing file; a missing file is not created.
bool AppendFileContentW(const std::wstring& path, const char* bytes, uint32_t count);
bool SetFileContentW(const std::wstring& path, const std::string& bytes);
bool AppendFileContentW(const std::wstring& path, const std::string& bytes);

// Blank lines inside a file are the user's layout; only the tail goes.
void DropTrailingEmptyLines(LineList& lines);

// Every line followed by "\n", empty lines included.
std::string JoinLines(const LineList& lines);

// Writes the non-empty lines, each followed by "\n", as the file's new
// content and returns how many it wrote. A list without a non-empty line
// leaves the file as it was.
int WriteLines(const LineList& lines, const std::wstring& path);

// Lower-cases the ASCII capitals A to Z only, as Firefox's file names are
// compared here; every other character stays.
std::wstring AsciiLower(std::wstring text);

}  // namespace pelorin
