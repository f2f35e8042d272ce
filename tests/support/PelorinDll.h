// Pelorin.dll loaded fresh for one test, with Orlix.dll's recording double
// in place of the real logging library.
#pragma once

#include <vector>

#include "Files.h"
#include "Pelorin.h"

namespace testing_support {

struct LogRecord {
  std::wstring source_path, function;
  int line, level;
  std::wstring message;
};

// The recording double, loaded once per process and kept loaded: the loader
// binds every later load of Pelorin.dll's "Orlix.dll" import to it.
class OrlixDouble {
 public:
  static std::vector<LogRecord> Records() {
    const auto get = Export<bool (*)(size_t, const wchar_t**, int*)>(Module(), "OrlixDouble_Get");
    std::vector<LogRecord> records;
    const wchar_t* t[3];  // source path, function, message
    int n[2];             // line, level
    for (size_t i = 0; get(i, t, n); ++i) records.push_back({t[0], t[1], n[0], n[1], t[2]});
    return records;
  }
  static std::vector<std::wstring> Messages() {
    std::vector<std::wstring> messages;
    for (const LogRecord& record : Records()) messages.push_back(record.message);
    return messages;
  }
  static void Clear() { Export<void (*)()>(Module(), "OrlixDouble_Clear")(); }

  template <typename Fn>  // null when the module does not export the name
  static Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }

 private:
  static HMODULE Module() {
    static const HMODULE module = LoadLibraryW((ExecutableDir() + L"\\double\\Orlix.dll").c_str());
    if (module == nullptr) throw std::runtime_error("cannot load the Orlix double");
    return module;
  }
};

// Loads bin\Pelorin.dll, after the double, and clears the recorded log.
class PelorinDll : NoCopy {
  HMODULE module_ = Load();  // first: the exports below are read from it

 public:
  ~PelorinDll() { FreeLibrary(module_); }

  // The nine exports; null where the DLL does not export the name.
  PelorinInitializeFn Initialize = Get<PelorinInitializeFn>("PelorinInitialize");
  PelorinUninitializeFn Uninitialize = Get<PelorinUninitializeFn>("PelorinUninitialize");
  GetFirefoxInstallPathFn InstallPath = Get<GetFirefoxInstallPathFn>("get_firefox_install_path");
  PelorinGetFFVersionAndCfgFn GetFFVersionAndCfg = Get<PelorinGetFFVersionAndCfgFn>("PelorinGetFFVersionAndCfg");
  PelorinZARNFFStartFn ZarnStart = Get<PelorinZARNFFStartFn>("PelorinZARNFFStart");
  PelorinTOVKFFStartFn TovkStart = Get<PelorinTOVKFFStartFn>("PelorinTOVKFFStart");
  PelorinDLPFFStartFn DlpStart = Get<PelorinDLPFFStartFn>("PelorinDLPFFStart");
  PelorinUninstallCleanUpFn UninstallCleanUp = Get<PelorinUninstallCleanUpFn>("PelorinUninstallCleanUp");
  IsInlineProxyEnabledFn InlineProxyEnabled = Get<IsInlineProxyEnabledFn>("IsInlineProxyEnabled");

 private:
  static HMODULE Load() {
    OrlixDouble::Clear();  // loads the double first
    const HMODULE module = LoadLibraryW((ExecutableDir() + L"\\Pelorin.dll").c_str());
    if (module == nullptr) throw std::runtime_error("cannot load Pelorin.dll");
    return module;
  }
  template <typename Fn>
  Fn Get(const char* name) const {
    return OrlixDouble::Export<Fn>(module_, name);
  }
};

}  // namespace testing_support
