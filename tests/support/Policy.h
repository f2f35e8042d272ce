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
void SetExtensionSettings(RegistrySandbox& registry, const std::wstring& json, DWORD type = REG_SZ);
// Stores exactly the code units of `data` as "ExtensionSettings", adding no
// terminator: for values with embedded NULs, lists, or none at the end.
void SetExtensionSettingsData(RegistrySandbox& registry, const std::wstring& data, DWORD type);

// The inline proxy in force: the network service running and the DLP add-on
// blocked. The service is removed again at destruction, the policy with the
// registry sandbox.
class InlineProxyOn {
 public:
  explicit InlineProxyOn(RegistrySandbox& registry);
  NetworkService& service() { return service_; }

 private:
  NetworkService service_;
};

}  // namespace testing_support
