#include "PelorinDll.h"

#include <stdexcept>

#include "Files.h"

namespace testing_support {

namespace {

using CountFn = int (*)();
using TextFn = int (*)(int, int, wchar_t*, int);
using NumberFn = int (*)(int, int);
using ClearFn = void (*)();

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

template <typename Fn>
Fn DoubleFunction(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(DoubleModule(), name)));
}

std::wstring Text(int index, int field) {
  TextFn text = DoubleFunction<TextFn>("OrlixDouble_Text");
  int length = text(index, field, nullptr, 0);
  std::wstring value(static_cast<size_t>(length) + 1, L'\0');
  text(index, field, &value[0], length + 1);
  value.resize(static_cast<size_t>(length));
  return value;
}

}  // namespace

std::vector<LogRecord> OrlixDouble::Records() {
  std::vector<LogRecord> records;
  int count = DoubleFunction<CountFn>("OrlixDouble_Count")();
  NumberFn number = DoubleFunction<NumberFn>("OrlixDouble_Number");
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

void OrlixDouble::Clear() { DoubleFunction<ClearFn>("OrlixDouble_Clear")(); }

PelorinDll::PelorinDll() {
  DoubleModule();
  OrlixDouble::Clear();
  module_ = LoadLibraryW((ExecutableDir() + L"\\Pelorin.dll").c_str());
  if (module_ == nullptr) throw std::runtime_error("cannot load Pelorin.dll");
  Initialize = Get<PelorinInitializeFn>("PelorinInitialize");
  Uninitialize = Get<PelorinUninitializeFn>("PelorinUninitialize");
  InstallPath = Get<GetFirefoxInstallPathFn>("get_firefox_install_path");
  GetFFVersionAndCfg = Get<PelorinGetFFVersionAndCfgFn>("PelorinGetFFVersionAndCfg");
  ZarnStart = Get<PelorinZARNFFStartFn>("PelorinZARNFFStart");
  TovkStart = Get<PelorinTOVKFFStartFn>("PelorinTOVKFFStart");
  DlpStart = Get<PelorinDLPFFStartFn>("PelorinDLPFFStart");
  UninstallCleanUp = Get<PelorinUninstallCleanUpFn>("PelorinUninstallCleanUp");
  InlineProxyEnabled = Get<IsInlineProxyEnabledFn>("IsInlineProxyEnabled");
}

PelorinDll::~PelorinDll() { FreeLibrary(module_); }

}  // namespace testing_support
