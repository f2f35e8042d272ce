#include <windows.h>

#include <set>

#include "Compliance.h"
#include "Library.h"
#include "base/UniqueHandle.h"

namespace pelorinctl {

namespace {

void Fail(const std::string& what, LONG status) {
  throw ToolError(kExitUsage, "cannot record the verdict in HKLM\\" + pelorin::WideToUtf8(kComplianceKey) + ": " +
                                  what + " failed with error " + std::to_string(status));
}

void SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, size_t size) {
  const LONG status =
      RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
  if (status != ERROR_SUCCESS) Fail("writing " + pelorin::WideToUtf8(name), status);
}

void SetString(HKEY key, const std::wstring& name, const std::wstring& text) {
  SetValue(key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void SetDword(HKEY key, const std::wstring& name, DWORD number) {
  SetValue(key, name, REG_DWORD, &number, sizeof(number));
}

std::wstring CheckedAt() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  wchar_t text[32];
  swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
           now.wSecond);
  return text;
}

// The names of the key's values, read before any is deleted: deleting
// while enumerating would skip some.
std::vector<std::wstring> ValueNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD length = 16384;
    if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

}  // namespace

void RecordCompliance(const std::vector<Setting>& settings) {
  pelorin::unique_hkey key;
  // The 64-bit view, where registry scanners look, also from a 32-bit host.
  const LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kComplianceKey, 0, nullptr, 0,
                                      KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) Fail("opening the key", status);
  std::set<std::wstring> written;
  for (const Setting& setting : settings) {
    const std::wstring name = pelorin::Utf8ToWide(setting.name);
    written.insert(name);
    switch (setting.type) {
      case SettingType::kBoolean: SetDword(key.get(), name, setting.flag ? 1 : 0); break;
      case SettingType::kInt64: SetDword(key.get(), name, static_cast<DWORD>(setting.number)); break;
      case SettingType::kString: SetString(key.get(), name, pelorin::Utf8ToWide(setting.text)); break;
    }
  }
  written.insert(L"CheckedAt");
  SetString(key.get(), L"CheckedAt", CheckedAt());
  for (const std::wstring& name : ValueNames(key.get())) {
    if (written.count(name) == 0) RegDeleteValueW(key.get(), name.c_str());
  }
}

}  // namespace pelorinctl
