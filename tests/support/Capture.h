// What the code under test prints on standard output and sends to the log
// slot, for assertions.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// Redirects the C runtime's standard output (file descriptor 1, shared with
// the DLL through msvcrt) to a temporary file until Text() or destruction.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Text();  // ends the capture (once); everything printed meanwhile

 private:
  void Restore();
  int saved_fd_;
  std::wstring path_;
  std::string text_;
  bool active_;
};

// Installs itself in the library's log slot (unit tests, no DLL involved)
// and keeps every message; the slot is emptied again at destruction.
class LogRecorder {
 public:
  LogRecorder();
  ~LogRecorder();
  LogRecorder(const LogRecorder&) = delete;
  LogRecorder& operator=(const LogRecorder&) = delete;

  const std::vector<std::wstring>& messages() const;
};

}  // namespace testing_support
