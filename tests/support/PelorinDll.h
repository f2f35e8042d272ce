// Pelorin.dll loaded fresh for one test, with Orlix.dll's recording double
// in place of the real logging library.
#pragma once

#include <vector>

#include "Files.h"
#include "Pelorin.h"
#include "pelorin/UniqueHandle.h"

namespace testing_support {

template <typename Fn>  // null when the module does not export the name
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct LogRecord {
  std::wstring source_path, function;
  int line, level;
  std::wstring message;
};

// The recording double, loaded once per process and kept loaded: the loader
// binds every later load of Pelorin.dll's "Orlix.dll" import to it.
struct OrlixDouble {
  static std::vector<LogRecord> Records() {
    const auto get = Export<bool (*)(size_t, const wchar_t**, int*)>(Module(), "OrlixDouble_Get");
    std::vector<LogRecord> records;
    const wchar_t* texts[3];  // source path, function, message
    int numbers[2];           // line, level
    for (size_t i = 0; get(i, texts, numbers); ++i) {
      records.push_back({texts[0], texts[1], numbers[0], numbers[1], texts[2]});
    }
    return records;
  }
  static std::vector<std::wstring> Messages() {
    std::vector<std::wstring> messages;
    for (const LogRecord& record : Records()) messages.push_back(record.message);
    return messages;
  }
  static void Clear() { Export<void (*)()>(Module(), "OrlixDouble_Clear")(); }
  static HMODULE Module() {
    static const HMODULE module = LoadLibraryW((ExecutableDir() + L"\\double\\Orlix.dll").c_str());
    if (module == nullptr) throw std::runtime_error("cannot load the Orlix double");
    return module;
  }
};

// Loads bin\Pelorin.dll, after the double, and clears the recorded log.
class PelorinDll : NoCopy {
  // The double first, so that the DLL's import binds to it.
  pelorin::unique_module module_{(OrlixDouble::Clear(), LoadLibraryW((ExecutableDir() + L"\\Pelorin.dll").c_str()))};

 public:
  PelorinDll() {
    if (!module_) throw std::runtime_error("cannot load Pelorin.dll");
  }

  // The nine exports; null where the DLL does not export the name.
  PelorinInitializeFn Initialize = Export<PelorinInitializeFn>(module_.get(), "PelorinInitialize");
  PelorinUninitializeFn Uninitialize = Export<PelorinUninitializeFn>(module_.get(), "PelorinUninitialize");
  GetFirefoxInstallPathFn InstallPath = Export<GetFirefoxInstallPathFn>(module_.get(), "get_firefox_install_path");
  PelorinGetFFVersionAndCfgFn GetFFVersionAndCfg =
      Export<PelorinGetFFVersionAndCfgFn>(module_.get(), "PelorinGetFFVersionAndCfg");
  PelorinZARNFFStartFn ZarnStart = Export<PelorinZARNFFStartFn>(module_.get(), "PelorinZARNFFStart");
  PelorinTOVKFFStartFn TovkStart = Export<PelorinTOVKFFStartFn>(module_.get(), "PelorinTOVKFFStart");
  PelorinDLPFFStartFn DlpStart = Export<PelorinDLPFFStartFn>(module_.get(), "PelorinDLPFFStart");
  PelorinUninstallCleanUpFn UninstallCleanUp =
      Export<PelorinUninstallCleanUpFn>(module_.get(), "PelorinUninstallCleanUp");
  IsInlineProxyEnabledFn InlineProxyEnabled = Export<IsInlineProxyEnabledFn>(module_.get(), "IsInlineProxyEnabled");
};

}  // namespace testing_support
