// Firefox's enterprise policy for add-ons, and the agent's inline proxy
// switched on the way the library detects it.
#pragma once

#include <windows.h>

#include <string>

#include "NetworkService.h"
#include "Registry.h"

namespace testing_support {

// An ExtensionSettings policy that blocks the agent's DLP add-on.
inline constexpr wchar_t kBlockDlpAddOn[] = L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}";

// Writes `json` as the "ExtensionSettings" value under HKLM
// SOFTWARE\Policies\Mozilla\Firefox, with its terminator, as `type`
// (REG_SZ or REG_EXPAND_SZ; use RegistrySandbox::SetRaw for other shapes).
inline void SetExtensionSettings(RegistrySandbox& registry, const std::wstring& json, DWORD type = REG_SZ) {
  registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", json, type);
}
// Stores exactly the code units of `data` (see RegistrySandbox::SetUnits).
inline void SetExtensionSettingsData(RegistrySandbox& registry, const std::wstring& data, DWORD type) {
  registry.SetUnits(kFirefoxPolicyKey, L"ExtensionSettings", type, data);
}

// The inline proxy in force: the network service running and the DLP add-on
// blocked. The service is removed again at destruction, the policy with the
// registry sandbox.
class InlineProxyOn {
 public:
  explicit InlineProxyOn(RegistrySandbox& registry) {
    service_.Start();
    SetExtensionSettings(registry, kBlockDlpAddOn);
  }

 private:
  NetworkService service_;
};

}  // namespace testing_support
