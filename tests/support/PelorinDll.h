// Pelorin.dll loaded fresh for one test, with Orlix.dll's recording double
// in place of the real logging library.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Pelorin.h"

namespace testing_support {

struct LogRecord {
  std::wstring source_path;
  std::wstring function;
  int line;
  int level;
  std::wstring message;
};

// The recording double, loaded once per process and kept loaded, so that
// every later load of Pelorin.dll binds its "Orlix.dll" import to it.
class OrlixDouble {
 public:
  static std::vector<LogRecord> Records();
  static std::vector<std::wstring> Messages();
  static void Clear();
};

class PelorinDll {
 public:
  PelorinDll();  // loads bin\Pelorin.dll and clears the recorded log
  ~PelorinDll();
  PelorinDll(const PelorinDll&) = delete;
  PelorinDll& operator=(const PelorinDll&) = delete;

  // The nine exports; null where the DLL does not export the name.
  PelorinInitializeFn Initialize;
  PelorinUninitializeFn Uninitialize;
  GetFirefoxInstallPathFn InstallPath;
  PelorinGetFFVersionAndCfgFn GetFFVersionAndCfg;
  PelorinZARNFFStartFn ZarnStart;
  PelorinTOVKFFStartFn TovkStart;
  PelorinDLPFFStartFn DlpStart;
  PelorinUninstallCleanUpFn UninstallCleanUp;
  IsInlineProxyEnabledFn InlineProxyEnabled;

 private:
  HMODULE module_;
};

}  // namespace testing_support
