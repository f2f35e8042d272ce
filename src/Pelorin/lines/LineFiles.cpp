#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/UniqueHandle.h"
#include "lines/Lines.h"

namespace pelorin {

namespace {

// The host reads these messages from its standard output; flushing keeps
// them in order with its own output and survives an abrupt exit.
void PrintFailure(const char* format, const std::wstring& path, DWORD error) {
  std::printf(format, WideToUtf8(path).c_str(), static_cast<long>(error));
  std::fflush(stdout);
}

bool WriteAll(HANDLE file, const char* bytes, uint32_t count) {
  DWORD written = 0;
  return WriteFile(file, bytes, count, &written, nullptr) != FALSE;
}

}  // namespace

bool IsPresent(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ReadFileContentW(const std::wstring& path) {
  if (!IsPresent(path)) return std::string();
  unique_file file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string();

  // A preference file of 4 GiB or more is not Firefox's and cannot be held
  // in one read; it reads as unreadable rather than as a truncated copy.
  // GetFileSize reports failure only through GetLastError, because its
  // failure value is also a valid low half of a size.
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD size = GetFileSize(file.get(), &high);
  if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0) return std::string();

  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer.data(), size, &read, nullptr)) {
    std::printf("ReadFile failed, %ld\n", static_cast<long>(GetLastError()));
    std::fflush(stdout);
    return std::string();
  }
  return std::string(buffer.data(), read);
}

void SplitString(const std::string& text, const std::string& delimiter, LineList& lines) {
  if (text.empty()) return;
  if (delimiter.empty()) {
    lines.push_back(text);
    return;
  }
  size_t start = 0;
  for (size_t found = text.find(delimiter); found != std::string::npos; found = text.find(delimiter, start)) {
    lines.push_back(text.substr(start, found - start));
    start = found + delimiter.size();
  }
  lines.push_back(text.substr(start));
}

LineList ReadLines(const std::wstring& path) {
  LineList lines;
  SplitString(ReadFileContentW(path), "\n", lines);
  return lines;
}

bool SetFileContentW(const std::wstring& path, const char* bytes, uint32_t count) {
  unique_file file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    PrintFailure("SetFileContentW: CreateFile %s failed with error %ld\n", path, GetLastError());
    return false;
  }
  if (!WriteAll(file.get(), bytes, count)) {
    PrintFailure("SetFileContentW: WriteFile %s failed with error %ld\n", path, GetLastError());
    return false;
  }
  return true;
}

bool AppendFileContentW(const std::wstring& path, const char* bytes, uint32_t count) {
  unique_file file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    PrintFailure("AppendFileContentW: CreateFile %s failed with error %ld\n", path, GetLastError());
    return false;
  }
  // SetFilePointer signals failure through GetLastError, because the
  // invalid-position value is also a valid low half of a large position.
  SetLastError(NO_ERROR);
  if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
    PrintFailure("AppendFileContentW: SetFilePointer %s failed with error %ld\n", path, GetLastError());
    return false;
  }
  if (!WriteAll(file.get(), bytes, count)) {
    PrintFailure("AppendFileContentW: WriteFile %s failed with error %ld\n", path, GetLastError());
    return false;
  }
  return true;
}

bool SetFileContentW(const std::wstring& path, const std::string& bytes) {
  return SetFileContentW(path, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

bool AppendFileContentW(const std::wstring& path, const std::string& bytes) {
  return AppendFileContentW(path, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void DropTrailingEmptyLines(LineList& lines) {
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
}

std::string JoinLines(const LineList& lines) {
  size_t total = 0;
  for (const Line& line : lines) total += line.size() + 1;
  std::string text;
  text.reserve(total);
  for (const Line& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

int WriteLines(const LineList& lines, const std::wstring& path) {
  // One write for the whole file: rewriting costs one open whatever the
  // length, and a failure cannot leave half the lines behind.
  int written = 0;
  std::string text;
  for (const Line& line : lines) {
    if (line.empty()) continue;
    text += line;
    text += '\n';
    ++written;
  }
  if (written > 0) SetFileContentW(path, text);
  return written;
}

}  // namespace pelorin
