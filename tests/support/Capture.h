// What the code under test prints on standard output, for assertions.
#pragma once

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "Files.h"

namespace testing_support {

// Redirects the C runtime's standard output (file descriptor 1, shared with
// the DLL through msvcrt) to a file until Text() or destruction.
class StdoutCapture : NoCopy {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    saved_fd_ = _dup(_fileno(stdout));
    WriteBytes(dir_ / L"out", "");
    const int fd = _wopen((dir_ / L"out").c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY);
    if (saved_fd_ < 0 || fd < 0) throw std::runtime_error("cannot capture stdout");
    _dup2(fd, _fileno(stdout));
    _close(fd);
  }
  ~StdoutCapture() { Text(); }

  std::string Text() {  // ends the capture; everything printed meanwhile
    if (saved_fd_ < 0) return text_;
    std::fflush(stdout);
    _dup2(saved_fd_, _fileno(stdout));
    _close(saved_fd_);
    saved_fd_ = -1;
    return text_ = ReadBytes(dir_ / L"out");
  }

 private:
  TempDir dir_{L"stdout"};
  int saved_fd_;
  std::string text_;
};

// The one line the library prints for a file it could not write; empty for
// a null step, a write that succeeded.
inline std::string FailureLine(const char* step, const std::wstring& target, int error) {
  return step == nullptr ? ""
                         : "SetFileContentW: " + std::string(step) + " " + Narrow(target) + " failed with error " +
                               std::to_string(error) + "\n";
}

}  // namespace testing_support
