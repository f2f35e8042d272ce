// A registered Firefox beside the agent, with Pelorin.dll loaded and
// initialised; and the foreign lines of a file, which every export must keep.
#pragma once

#include <memory>
#include <vector>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

namespace testing_support {

struct Scene : NoCopy {
  explicit Scene(const std::wstring& folder = L"Mozilla Firefox") : firefox(folder) {
    firefox.Register(registry);
    Reload();
  }
  // The up-to-date flag lives as long as the DLL; a load beside the old one
  // would share its state, so the old one goes first.
  void Reload() {
    dll.reset();
    dll = std::make_unique<PelorinDll>();
    dll->Initialize();
  }
  std::wstring loader() const { return firefox.pref(L"!.js"); }
  std::wstring cfg() const { return firefox.file(L"cv_mozilla_V2N.cfg"); }

  RegistrySandbox registry;
  FirefoxInstall firefox;
  AgentInstall agent{registry};
  std::unique_ptr<PelorinDll> dll;
};

// Lines cut on "\n" alone, as the library does, neither empty, nor "//", nor
// holding one of the library's markers.
inline std::vector<std::string> ForeignLines(const std::string& bytes) {
  static const std::string kOwn[] = {"\"cv_mozilla_tovk.cfg\"",
                                     "\"cv_mozilla_zarn.cfg\"",
                                     "\"cv_mozilla_dlp.cfg\"",
                                     "\"cv_mozilla_V2N.cfg\"",
                                     "\"general.config.obscure_value\"",
                                     "\"general.config.filename\"",
                                     kCfgPkix,
                                     kCfgBuiltinCerts,
                                     kCfgProxyType,
                                     kCfgNoProxies,
                                     kCfgEnterpriseRoots,
                                     kCfgAutoDisableScopes,
                                     kCfgEnabledScopes};
  std::vector<std::string> foreign;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    bool own = line.empty() || line == "//";
    for (const std::string& marker : kOwn) own = own || line.find(marker) != std::string::npos;
    if (!own) foreign.push_back(line);
    start = end + 1;
  }
  return foreign;
}

}  // namespace testing_support
