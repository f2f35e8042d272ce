// HKLM of the test prefix, as the tests set it up and read it back. Reads go
// through the registry API directly, never through the library's own code.
#pragma once

#include <cstdint>
#include <optional>

#include "Files.h"
#include "pelorin/UniqueHandle.h"

namespace testing_support {

// The keys the library reads or writes.
inline constexpr wchar_t kBrowserListKey[] = L"SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet";
inline constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Tervia\\Agent";
inline constexpr wchar_t kAgentCommonKey[] = L"SOFTWARE\\Tervia\\Agent\\Common";
inline constexpr wchar_t kFirefoxPolicyKey[] = L"SOFTWARE\\Policies\\Mozilla\\Firefox";

// The bytes of UTF-16 text, as the registry stores it.
inline std::string Utf16Bytes(const std::wstring& units) {
  return std::string(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(wchar_t));
}

// Deletes the trees holding those keys when it starts and when it ends, so
// that each test begins from an empty registry.
class RegistrySandbox : NoCopy {
 public:
  RegistrySandbox() { Clear(); }
  ~RegistrySandbox() { Clear(); }

  void CreateKey(const std::wstring& key) { Key(key, true); }
  void DeleteTree(const std::wstring& key) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  }
  // The setters create the key when missing. SetString adds the terminator.
  void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ) {
    SetRaw(key, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  void SetRaw(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD bytes) {
    if (RegSetValueExW(Key(key, true).get(), name.empty() ? nullptr : name.c_str(), 0, type,
                       static_cast<const BYTE*>(data), bytes) != ERROR_SUCCESS) {
      throw std::runtime_error("cannot set " + Narrow(name));
    }
  }
  // Exactly `bytes`, odd lengths included. Wine would add a terminator to
  // string data followed by a NUL in memory; the sentinel keeps it from that.
  void SetBytes(const std::wstring& key, const std::wstring& name, DWORD type, const std::string& bytes) {
    SetRaw(key, name, type, (bytes + "XX").data(), static_cast<DWORD>(bytes.size()));
  }
  void SetDword(const std::wstring& key, const std::wstring& name, uint32_t value) {
    SetRaw(key, name, REG_DWORD, &value, sizeof value);
  }

  // The value's text without its terminator; nullopt when it is missing.
  std::optional<std::wstring> ReadString(const std::wstring& key, const std::wstring& name) const {
    const pelorin::unique_hkey handle = Key(key, false);
    DWORD bytes = 0;
    if (!handle || RegQueryValueExW(handle.get(), name.c_str(), 0, 0, 0, &bytes) != ERROR_SUCCESS) return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(handle.get(), name.c_str(), 0, 0, reinterpret_cast<BYTE*>(&text[0]), &bytes)) return {};
    text.resize(bytes / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  }

 private:
  // Opened for reading (empty when missing), or created for writing.
  static pelorin::unique_hkey Key(const std::wstring& key, bool create) {
    pelorin::unique_hkey handle;
    const LONG status =
        create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, handle.put(), 0)
               : RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, handle.put());
    if (create && status != ERROR_SUCCESS) throw std::runtime_error("cannot create " + Narrow(key));
    return handle;
  }
  void Clear() {
    for (const wchar_t* tree : {kBrowserListKey, L"SOFTWARE\\Tervia", L"SOFTWARE\\Policies\\Mozilla"}) DeleteTree(tree);
  }
};

}  // namespace testing_support
