// A registered Firefox beside the agent, with Pelorin.dll loaded and
// initialised.
#pragma once

#include <memory>

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

}  // namespace testing_support
