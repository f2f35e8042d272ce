// Shared with tests/soak: a file's foreign lines; a registered Firefox beside the agent, the DLL initialised.
#pragma once
#include "CfgText.h"
#include "PelorinDll.h"
#include "Sandboxes.h"
namespace hardening {
// Lines cut on "\n" alone, as the library does, neither empty, nor "//", nor holding one of the library's markers.
inline std::vector<std::string> ForeignLines(const std::string& bytes) {
  using namespace testing_support;
  static const std::string kOwn[] = {
      "\"cv_mozilla_tovk.cfg\"", "\"cv_mozilla_zarn.cfg\"", "\"cv_mozilla_dlp.cfg\"", "\"cv_mozilla_V2N.cfg\"",
      "\"general.config.obscure_value\"", "\"general.config.filename\"", kCfgPkix, kCfgBuiltinCerts, kCfgProxyType,
      kCfgNoProxies, kCfgEnterpriseRoots, kCfgAutoDisableScopes, kCfgEnabledScopes};
  std::vector<std::string> foreign;
  for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    const std::string line = bytes.substr(start, (end = bytes.find('\n', start)) - start);
    bool own = line.empty() || line == "//";
    for (const std::string& marker : kOwn) own = own || line.find(marker) != std::string::npos;
    if (!own) foreign.push_back(line);
  }
  return foreign;
}
struct Scene {
  explicit Scene(const std::wstring& folder = L"Mozilla Firefox") : firefox(folder) {
    firefox.Register(registry), registry.SetString(testing_support::kAgentCommonKey, L"FFCFG", cfg()), dll.Initialize();
  }
  std::wstring loader() const { return firefox.pref(L"!.js"); }
  std::wstring cfg() const { return firefox.file(L"cv_mozilla_V2N.cfg"); }
  testing_support::RegistrySandbox registry;
  testing_support::FirefoxInstall firefox;
  testing_support::AgentInstall agent{registry};
  testing_support::PelorinDll dll;
};
}  // namespace hardening
