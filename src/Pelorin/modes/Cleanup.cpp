#include "modes/Cleanup.h"

#include <windows.h>

#include <cwchar>

#include "autoconfig/CfgCleanup.h"
#include "base/ModuleLock.h"
#include "base/UniqueHandle.h"
#include "lines/FileEdits.h"

namespace pelorin {

namespace {

constexpr wchar_t kAgentCommonKey[] = L"SOFTWARE\\Tervia\\Agent\\Common\\";
constexpr wchar_t kCfgPathValue[] = L"FFCFG";

// FFCFG as recorded, or an empty string. The value may fill the whole
// buffer without a terminator, hence the bounded length.
std::wstring ReadRecordedCfgPath(HKEY key) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD bytes = sizeof(buffer);
  if (RegQueryValueExW(key, kCfgPathValue, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  return std::wstring(buffer, wcsnlen(buffer, MAX_PATH));
}

}  // namespace

int32_t UninstallCleanUp(bool only_proxy) {
  unique_hkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
  std::wstring path = ReadRecordedCfgPath(key.get());
  if (path.empty()) return 0;
  ModuleLockGuard lock;
  FileEdits files;
  CleanAutoconfigFile(files, path, only_proxy);
  files.Commit();
  return 0;
}

}  // namespace pelorin
