// pelorinctl.exe run as a child process, its two output streams captured,
// and its log records sent to a private file.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "Files.h"
#include "rapidjson/document.h"

namespace testing_support {

struct CtlRun {
  DWORD exit_code = 0;
  std::string out;  // bytes as written
  std::string err;
};

// Runs `exe` with the command-line tail `args` (quoted by the caller).
CtlRun RunProgram(const std::wstring& exe, const std::wstring& args);
std::wstring CtlPath();  // beside this test executable
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

// --json output: a parse error or a non-object fails the calling test.
rapidjson::Document ParseJson(const std::string& text);
// The members of an object whose values are all strings.
std::map<std::string, std::string> StringMembers(const rapidjson::Value& object);

}  // namespace testing_support
