// Paths, temporary folders and raw file access for the tests, through plain
// Win32 calls so that nothing here shares code with the library under test.
#pragma once

#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "pelorin/UniqueHandle.h"

namespace testing_support {

// A base for the fixtures that own something.
struct NoCopy {
  NoCopy() = default;
  NoCopy(const NoCopy&) = delete;
  NoCopy& operator=(const NoCopy&) = delete;
};

// UTF-16 to UTF-8 and back; a UTF-16 unit never takes more than 3 bytes.
inline std::string Narrow(const std::wstring& wide) {
  std::string out(wide.size() * 3, '\0');
  const int size = static_cast<int>(wide.size());
  out.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), static_cast<int>(out.size()), 0, 0));
  return out;
}
inline std::wstring Widen(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  const int size = static_cast<int>(utf8.size());
  out.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), size));
  return out;
}

// The folder of the running executable, without a trailing backslash.
inline std::wstring ExecutableDir() {
  wchar_t path[MAX_PATH * 4];
  const std::wstring full(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
  return full.substr(0, full.rfind(L'\\'));
}

inline std::string ReadBytes(const std::wstring& path) {
  const pelorin::unique_file file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0));
  if (!file) throw std::runtime_error("cannot open " + Narrow(path));
  std::string bytes;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file.get(), &size)) bytes.reserve(static_cast<size_t>(size.QuadPart));
  char buffer[65536];
  for (DWORD read = 0; ReadFile(file.get(), buffer, sizeof buffer, &read, 0) && read > 0;) bytes.append(buffer, read);
  return bytes;
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const pelorin::unique_file file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0));
  DWORD written = 0;
  if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, 0) ||
      written != bytes.size()) {
    throw std::runtime_error("cannot write " + Narrow(path));
  }
}

// INVALID_FILE_ATTRIBUTES, for a missing path, has every bit set.
inline bool FileExists(const std::wstring& path) {  // a file, not a directory
  return !(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool DirectoryExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline void MakeDirectory(const std::wstring& path) {  // one level
  if (!CreateDirectoryW(path.c_str(), 0) && GetLastError() != ERROR_ALREADY_EXISTS) {
    throw std::runtime_error("cannot create " + Narrow(path));
  }
}

inline void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  const pelorin::unique_find find(FindFirstFileW((path + L"\\*").c_str(), &entry));
  for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &entry)) {
    const std::wstring name = entry.cFileName, child = path + L"\\" + name;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW(child.c_str());
    else if (name != L"." && name != L"..")
      RemoveTree(child);
  }
  RemoveDirectoryW(path.c_str());
}

// A fresh empty folder below %TEMP%, removed with everything in it.
class TempDir : NoCopy {
 public:
  explicit TempDir(const std::wstring& tag = L"pelorin") {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH];
    const std::wstring base(temp, GetTempPathW(MAX_PATH, temp));  // ends with a backslash
    do {  // past any leftover of an earlier process with the same id
      path_ = base + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    } while (!CreateDirectoryW(path_.c_str(), 0) && GetLastError() == ERROR_ALREADY_EXISTS);
    if (!DirectoryExists(path_)) throw std::runtime_error("cannot create " + Narrow(path_));
  }
  ~TempDir() { RemoveTree(path_); }

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

}  // namespace testing_support
