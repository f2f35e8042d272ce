#include "AgentState.h"

#include <windows.h>

#include <cwchar>

namespace pelorinctl {

namespace {

constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Tervia\\Agent\\";
constexpr wchar_t kCommonKey[] = L"SOFTWARE\\Tervia\\Agent\\Common\\";

// No expansion: the report shows what is stored.
constexpr DWORD kStringFlags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;

std::optional<std::wstring> ReadString(const wchar_t* key, const wchar_t* name) {
  // The value can change between the size query and the read; retry then.
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, kStringFlags, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD capacity = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    LONG status = RegGetValueW(HKEY_LOCAL_MACHINE, key, name, kStringFlags, nullptr, &value[0], &capacity);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
  }
  return std::nullopt;
}

}  // namespace

RecordValues ReadRecordValues() {
  RecordValues values;
  for (const wchar_t* name : kRecordValueNames) values.emplace_back(name, ReadString(kCommonKey, name));
  return values;
}

std::wstring ReadRecordedCfgPath() { return ReadString(kCommonKey, L"FFCFG").value_or(std::wstring()); }

std::optional<std::wstring> ReadAgentInstallPath() { return ReadString(kAgentKey, L"InstallPath"); }

bool IsAgentFilePresent(const std::wstring& install_path, const std::wstring& name) {
  DWORD attributes = GetFileAttributesW((install_path + name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace pelorinctl
