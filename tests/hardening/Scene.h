// What the hardening and soak tests share: which lines of a Firefox file
// belong to someone else, and a registered Firefox beside the agent with a
// freshly loaded DLL.
#pragma once

#include <string>
#include <vector>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

namespace hardening {

using Messages = std::vector<std::wstring>;

// The file's lines as the library cuts them: on "\n" alone, the piece after
// the last one included.
inline std::vector<std::string> SplitOnLf(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t lf; (lf = bytes.find('\n', start)) != std::string::npos; start = lf + 1) {
    lines.push_back(bytes.substr(start, lf - start));
  }
  lines.push_back(bytes.substr(start));
  return lines;
}

// A line the library neither writes nor may remove: not empty, not the bare
// "//" it keeps first, and holding none of its loader markers or bannered
// lines.
inline bool IsForeign(const std::string& line) {
  using namespace testing_support;
  static const std::string kOwn[] = {
      "\"cv_mozilla_tovk.cfg\"", "\"cv_mozilla_zarn.cfg\"", "\"cv_mozilla_dlp.cfg\"", "\"cv_mozilla_V2N.cfg\"",
      "\"general.config.obscure_value\"", "\"general.config.filename\"", kCfgPkix, kCfgBuiltinCerts, kCfgProxyType,
      kCfgNoProxies, kCfgEnterpriseRoots, kCfgAutoDisableScopes, kCfgEnabledScopes};
  if (line.empty() || line == "//") return false;
  for (const std::string& own : kOwn) {
    if (line.find(own) != std::string::npos) return false;
  }
  return true;
}

inline std::vector<std::string> ForeignLines(const std::string& bytes) {
  std::vector<std::string> foreign;
  for (std::string& line : SplitOnLf(bytes)) {
    if (IsForeign(line)) foreign.push_back(std::move(line));
  }
  return foreign;
}

// A registered Firefox in `folder`, the agent installed without any of its
// configuration files, FFCFG naming the default autoconfig file, and the DLL
// loaded and initialised.
struct Scene {
  explicit Scene(const std::wstring& folder = L"Mozilla Firefox") : firefox(folder) {
    firefox.Register(registry);
    registry.SetString(testing_support::kAgentCommonKey, L"FFCFG", cfg());
    dll.Initialize();
  }
  std::wstring loader() const { return firefox.pref(L"!.js"); }
  std::wstring cfg() const { return firefox.file(L"cv_mozilla_V2N.cfg"); }

  testing_support::RegistrySandbox registry;
  testing_support::FirefoxInstall firefox;
  testing_support::AgentInstall agent{registry};
  testing_support::PelorinDll dll;
};

}  // namespace hardening
