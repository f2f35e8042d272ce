// Pelorin.dll bound at run time. An export the DLL lacks is a run-time
// failure the tool reports, never a load failure of the tool itself.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Pelorin.h"
#include "base/UniqueHandle.h"

namespace pelorinctl {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// A failure that leaves nothing sensible to report; ends the run with its
// exit code and one line on standard error.
class ToolError : public std::runtime_error {
 public:
  ToolError(int exit_code, const std::string& message) : std::runtime_error(message), exit_code_(exit_code) {}
  int ExitCode() const { return exit_code_; }

 private:
  int exit_code_;
};

inline ToolError Failure(const std::string& message) { return ToolError(kExitFailure, message); }

using pelorin::unique_file;
using pelorin::unique_find;
using pelorin::unique_module;

// The folder of pelorinctl.exe: the library and its logging DLL are taken
// from there, never from the search path.
std::wstring LibraryPath();

// "major.minor.patch" from the module's VERSIONINFO, with a fourth part only
// when it is not zero. Throws Failure when there is none.
std::string ModuleVersion(const std::wstring& path);

class Library {
 public:
  // Loads the DLL and calls PelorinInitialize, which the library requires
  // before anything else. Throws Failure when either is impossible.
  explicit Library(const std::wstring& path);

  // Null when the DLL does not export `name`; the name is remembered.
  template <typename Fn>
  Fn Find(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Address(name)));
  }
  // Throws Failure naming the export when the DLL lacks it.
  template <typename Fn>
  Fn Require(const char* name) {
    Fn fn = Find<Fn>(name);
    if (fn == nullptr) throw Failure(MissingMessage({name}));
    return fn;
  }

  // The library's answer; empty when Firefox is not found or the export is
  // missing.
  std::wstring FirefoxInstallDir();

  const std::vector<std::string>& missing() const { return missing_; }
  static std::string MissingMessage(const std::vector<std::string>& names);

 private:
  FARPROC Address(const char* name);

  unique_module module_;
  std::vector<std::string> missing_;
};

}  // namespace pelorinctl
