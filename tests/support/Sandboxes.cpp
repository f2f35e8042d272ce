#include "Sandboxes.h"

namespace testing_support {

FirefoxInstall::FirefoxInstall(const std::wstring& folder) : root_(L"firefox"), dir_(root_.path() + L"\\" + folder) {
  MakeDirectory(dir_);
  MakeDirectory(dir_ + L"\\defaults");
  MakeDirectory(pref_dir());
}

void FirefoxInstall::Register(RegistrySandbox& registry, const std::wstring& subkey) const {
  registry.SetString(std::wstring(kBrowserListKey) + L"\\" + subkey + L"\\shell\\open\\command", L"",
                     L"\"" + dir_ + L"\\firefox.exe\"");
}

AgentInstall::AgentInstall(RegistrySandbox& registry) : root_(L"agent") {
  registry.SetString(kAgentKey, L"InstallPath", root_.path() + L"\\");
  registry.CreateKey(kAgentCommonKey);
}

void AgentInstall::AddFile(const std::wstring& name) const { WriteBytes(root_ / name, ""); }

}  // namespace testing_support
