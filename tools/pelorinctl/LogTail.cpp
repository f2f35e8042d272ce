#include "LogTail.h"

#include <windows.h>

#include "Handles.h"

namespace pelorinctl {

namespace {

std::wstring Environment(const wchar_t* name) {
  DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return std::wstring();
  std::wstring value(length, L'\0');
  length = GetEnvironmentVariableW(name, &value[0], length);
  value.resize(length);
  return value;
}

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

}  // namespace

std::wstring OrlixLogPath() {
  std::wstring path = Environment(L"ORLIX_LOG_FILE");
  if (!path.empty()) return path;
  std::wstring data = Environment(L"ProgramData");
  if (data.empty()) data = L"C:\\ProgramData";
  return data + L"\\Tervia\\Logs\\Orlix.log";
}

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
