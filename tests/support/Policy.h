// Firefox's enterprise policy for add-ons, and the agent's inline proxy
// switched on the way the library detects it.
#pragma once

#include "NetworkService.h"
#include "Registry.h"

namespace testing_support {

// An ExtensionSettings policy that blocks the agent's DLP add-on.
inline constexpr wchar_t kBlockDlpAddOn[] = L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}";

// The "ExtensionSettings" value under HKLM SOFTWARE\Policies\Mozilla\Firefox.
inline void SetExtensionSettings(RegistrySandbox& registry, const std::wstring& json, DWORD type = REG_SZ) {
  registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", json, type);
}

// The inline proxy in force: the network service running and the DLP add-on
// blocked. The service goes at destruction, the policy with the sandbox.
struct InlineProxyOn {
  explicit InlineProxyOn(RegistrySandbox& registry) {
    service.Start();
    SetExtensionSettings(registry, kBlockDlpAddOn);
  }
  NetworkService service;
};

}  // namespace testing_support
