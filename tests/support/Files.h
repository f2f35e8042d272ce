// Paths, temporary folders and raw file access for the tests, through the
// standard library and plain Win32, so that nothing here shares code with the
// library under test.
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testing_support {

// A base for the fixtures that own something.
struct NoCopy {
  NoCopy() = default;
  NoCopy(const NoCopy&) = delete;
  NoCopy& operator=(const NoCopy&) = delete;
};

// UTF-16 to UTF-8 and back.
inline std::string Narrow(const std::wstring& wide) { return std::filesystem::path(wide).u8string(); }
inline std::wstring Widen(const std::string& utf8) { return std::filesystem::u8path(utf8).wstring(); }

// The folder of the running executable, without a trailing backslash.
inline std::wstring ExecutableDir() {
  wchar_t path[MAX_PATH * 4];
  const std::wstring full(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
  return full.substr(0, full.rfind(L'\\'));
}

inline std::string ReadBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + Narrow(path));
  std::ostringstream bytes;
  bytes << file.rdbuf();  // an empty file sets only the stream's failbit
  return bytes.str();
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
    throw std::runtime_error("cannot write " + Narrow(path));
  }
}

inline bool FileExists(const std::wstring& path) {  // a file, not a directory
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}
inline bool DirectoryExists(const std::wstring& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}
inline void MakeDirectory(const std::wstring& path) { std::filesystem::create_directory(path); }

// A fresh empty folder below %TEMP%, removed with everything in it.
class TempDir : NoCopy {
 public:
  explicit TempDir(const std::wstring& tag = L"pelorin") {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {  // past any leftover of an earlier process with the same id
      const std::wstring name = tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
      path_ = (base / name).wstring();
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

}  // namespace testing_support
