#include "Policy.h"

namespace testing_support {

void SetExtensionSettings(RegistrySandbox& registry, const std::wstring& json, DWORD type) {
  registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", json, type);
}

void SetExtensionSettingsData(RegistrySandbox& registry, const std::wstring& data, DWORD type) {
  // Wine adds a terminator to string data that is followed by a NUL in
  // memory; a sentinel keeps it from doing so.
  std::wstring buffer = data + L'X';
  registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", type, buffer.data(),
                  static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

InlineProxyOn::InlineProxyOn(RegistrySandbox& registry) {
  service_.Start();
  SetExtensionSettings(registry, kBlockDlpAddOn);
}

}  // namespace testing_support
