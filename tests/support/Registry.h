// HKLM of the test prefix, as the tests set it up and read it back. Reads go
// through the registry API directly, never through the library's own code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace testing_support {

// The keys the library reads or writes. A sandbox deletes these trees when it
// starts and when it ends, so each test begins from an empty registry.
inline constexpr wchar_t kBrowserListKey[] = L"SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet";
inline constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Tervia\\Agent";
inline constexpr wchar_t kAgentCommonKey[] = L"SOFTWARE\\Tervia\\Agent\\Common";
inline constexpr wchar_t kFirefoxPolicyKey[] = L"SOFTWARE\\Policies\\Mozilla\\Firefox";

class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  void CreateKey(const std::wstring& key);
  void DeleteTree(const std::wstring& key);
  // Creates the key when missing. `value` is written with its terminator.
  void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);
  void SetRaw(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD bytes);
  // Stores exactly the code units of `data`, adding no terminator: for
  // values with embedded NULs, lists, or none at the end.
  void SetUnits(const std::wstring& key, const std::wstring& name, DWORD type, const std::wstring& data);
  void SetDword(const std::wstring& key, const std::wstring& name, uint32_t value);

  bool KeyExists(const std::wstring& key) const;
  // The value's text without its terminator; nullopt when it is missing.
  std::optional<std::wstring> ReadString(const std::wstring& key, const std::wstring& name) const;

 private:
  void Clear();
};

}  // namespace testing_support
