#include "PelorinDll.h"

#include <stdexcept>

#include "Files.h"

namespace testing_support {

namespace {

// The loader binds an import to an already loaded module of the same base
// name, wherever it was loaded from: this is how the double stands in.
HMODULE DoubleModule() {
  static HMODULE module = [] {
    HMODULE loaded = LoadLibraryW((ExecutableDir() + L"\\double\\Orlix.dll").c_str());
    if (loaded == nullptr) throw std::runtime_error("cannot load the Orlix double");
    return loaded;
  }();
  return module;
}

// Null when the module does not export the name.
template <typename Fn>
Fn Get(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring Text(int index, int field) {
  auto text = Get<int (*)(int, int, wchar_t*, int)>(DoubleModule(), "OrlixDouble_Text");
  int length = text(index, field, nullptr, 0);
  std::wstring value(static_cast<size_t>(length) + 1, L'\0');
  text(index, field, &value[0], length + 1);
  value.resize(static_cast<size_t>(length));
  return value;
}

}  // namespace

std::vector<LogRecord> OrlixDouble::Records() {
  std::vector<LogRecord> records;
  int count = Get<int (*)()>(DoubleModule(), "OrlixDouble_Count")();
  auto number = Get<int (*)(int, int)>(DoubleModule(), "OrlixDouble_Number");
  for (int i = 0; i < count; ++i) {
    records.push_back(LogRecord{Text(i, 0), Text(i, 1), number(i, 0), number(i, 1), Text(i, 2)});
  }
  return records;
}

std::vector<std::wstring> OrlixDouble::Messages() {
  std::vector<std::wstring> messages;
  for (const LogRecord& record : Records()) messages.push_back(record.message);
  return messages;
}

void OrlixDouble::Clear() { Get<void (*)()>(DoubleModule(), "OrlixDouble_Clear")(); }

PelorinDll::PelorinDll() {
  DoubleModule();
  OrlixDouble::Clear();
  module_ = LoadLibraryW((ExecutableDir() + L"\\Pelorin.dll").c_str());
  if (module_ == nullptr) throw std::runtime_error("cannot load Pelorin.dll");
  Initialize = Get<PelorinInitializeFn>(module_, "PelorinInitialize");
  Uninitialize = Get<PelorinUninitializeFn>(module_, "PelorinUninitialize");
  InstallPath = Get<GetFirefoxInstallPathFn>(module_, "get_firefox_install_path");
  GetFFVersionAndCfg = Get<PelorinGetFFVersionAndCfgFn>(module_, "PelorinGetFFVersionAndCfg");
  ZarnStart = Get<PelorinZARNFFStartFn>(module_, "PelorinZARNFFStart");
  TovkStart = Get<PelorinTOVKFFStartFn>(module_, "PelorinTOVKFFStart");
  DlpStart = Get<PelorinDLPFFStartFn>(module_, "PelorinDLPFFStart");
  UninstallCleanUp = Get<PelorinUninstallCleanUpFn>(module_, "PelorinUninstallCleanUp");
  InlineProxyEnabled = Get<IsInlineProxyEnabledFn>(module_, "IsInlineProxyEnabled");
}

PelorinDll::~PelorinDll() { FreeLibrary(module_); }

}  // namespace testing_support
