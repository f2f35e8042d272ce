// pelorinctl.exe run as a child process, its two output streams captured,
// and its log records sent to a private file.
#pragma once

#include <windows.h>

#include <string>

#include "Files.h"

namespace testing_support {

struct CtlRun {
  DWORD exit_code = 0;
  std::string out;  // bytes as written
  std::string err;
};

// Runs `exe` with the command-line tail `args` (quoted as needed by the
// caller) and waits for it.
CtlRun RunProgram(const std::wstring& exe, const std::wstring& args);

// The pelorinctl.exe beside this test executable.
std::wstring CtlPath();
inline CtlRun RunCtl(const std::wstring& args) { return RunProgram(CtlPath(), args); }

// Points ORLIX_LOG_FILE (inherited by the children) at a fresh file for the
// lifetime of the object.
class PrivateLog {
 public:
  PrivateLog();
  ~PrivateLog();
  PrivateLog(const PrivateLog&) = delete;
  PrivateLog& operator=(const PrivateLog&) = delete;

  std::wstring path() const { return dir_ / L"orlix.log"; }

 private:
  TempDir dir_;
};

}  // namespace testing_support
