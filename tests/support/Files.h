// Paths, temporary folders and raw file access for the tests, through plain
// Win32 calls so that nothing here shares code with the library under test.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The folder of the running test executable, without a trailing backslash.
std::wstring ExecutableDir();

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);       // a file, not a directory
bool DirectoryExists(const std::wstring& path);
void MakeDirectory(const std::wstring& path);    // one level
void RemoveTree(const std::wstring& path);

std::string Narrow(const std::wstring& wide);    // UTF-8
std::wstring Widen(const std::string& utf8);

// A fresh empty folder below %TEMP%, removed with everything in it.
class TempDir {
 public:
  explicit TempDir(const std::wstring& tag = L"pelorin");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

}  // namespace testing_support
