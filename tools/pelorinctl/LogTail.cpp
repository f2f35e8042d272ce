#include "LogTail.h"

#include <windows.h>

#include "Library.h"
#include "Orlix.h"

namespace pelorinctl {

namespace {

unique_file OpenShared(const std::wstring& path) {
  return unique_file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

uint64_t SizeOf(const std::wstring& path) {
  unique_file file = OpenShared(path);
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

std::string ReadFrom(const std::wstring& path, uint64_t offset) {
  unique_file file = OpenShared(path);
  if (!file) return std::string();
  LARGE_INTEGER size;
  // A log that shrank was rotated or cleared meanwhile: all of it is new.
  if (GetFileSizeEx(file.get(), &size) && static_cast<uint64_t>(size.QuadPart) < offset) offset = 0;
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN)) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

std::wstring OrlixLogPath() {
  HMODULE orlix = GetModuleHandleW(L"Orlix.dll");
  auto log_path = reinterpret_cast<decltype(&Orlix_GetLogPath)>(
      reinterpret_cast<void*>(orlix != nullptr ? GetProcAddress(orlix, "Orlix_GetLogPath") : nullptr));
  if (log_path == nullptr) return std::wstring();
  std::wstring path(static_cast<size_t>(log_path(nullptr, 0)) + 1, L'\0');
  path.resize(static_cast<size_t>(log_path(&path[0], static_cast<int>(path.size()))));
  return path;
}

}  // namespace

LogTail::LogTail() : path_(OrlixLogPath()), start_(SizeOf(path_)) {}

std::vector<std::string> LogTail::NewRecords() const {
  // Orlix heads every record with "[pid:tid]"; other processes of the agent
  // may be logging at the same time.
  const std::string own = " [" + std::to_string(GetCurrentProcessId()) + ":";
  std::string text = ReadFrom(path_, start_);
  std::vector<std::string> records;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find(own) != std::string::npos) records.push_back(line);
    begin = end + 1;
  }
  return records;
}

}  // namespace pelorinctl
