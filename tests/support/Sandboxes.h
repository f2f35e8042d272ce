// A Firefox installation and the agent's installation, both in temporary
// folders and registered in the sandboxed registry as their installers do.
#pragma once

#include "Files.h"
#include "Registry.h"

namespace testing_support {

class FirefoxInstall {
 public:
  // Creates <temp>\<folder>\defaults\pref; `folder` may hold any characters.
  explicit FirefoxInstall(const std::wstring& folder = L"Mozilla Firefox") : root_(L"firefox"), dir_(root_ / folder) {
    for (const std::wstring& dir : {dir_, file(L"defaults"), pref_dir()}) MakeDirectory(dir);
  }
  // Registers <dir>\firefox.exe, quoted, as the start-menu command of `subkey`.
  void Register(RegistrySandbox& registry, const std::wstring& subkey = L"FIREFOX.EXE") const {
    registry.SetString(std::wstring(kBrowserListKey) + L"\\" + subkey + L"\\shell\\open\\command", L"",
                       L"\"" + file(L"firefox.exe") + L"\"");
  }
  const std::wstring& dir() const { return dir_; }
  std::wstring file(const std::wstring& name) const { return dir_ + L"\\" + name; }
  std::wstring pref_dir() const { return file(L"defaults\\pref"); }
  std::wstring pref(const std::wstring& name) const { return pref_dir() + L"\\" + name; }

 private:
  TempDir root_;
  std::wstring dir_;
};

// The agent's folder, with its keys: "InstallPath" (with a trailing
// backslash) under the agent key, and the empty Common key.
class AgentInstall {
 public:
  explicit AgentInstall(RegistrySandbox& registry) : root_(L"agent") {
    registry.SetString(kAgentKey, L"InstallPath", root_.path() + L"\\");
    registry.CreateKey(kAgentCommonKey);
  }
  const std::wstring& dir() const { return root_.path(); }
  void AddFile(const std::wstring& name) const { WriteBytes(root_ / name, ""); }  // an empty one

 private:
  TempDir root_;
};

}  // namespace testing_support
