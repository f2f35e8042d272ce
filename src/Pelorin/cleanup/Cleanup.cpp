#include "cleanup/Cleanup.h"

#include <windows.h>

#include <cwchar>

#include "autoconfig/CfgLines.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "base/UniqueHandle.h"
#include "lines/Lines.h"

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

bool IsProxyLine(std::string_view line) { return ContainsAny(line, {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES}); }

bool IsOwnAutoconfigLine(std::string_view line) {
  return ContainsAny(line, {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS, CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES,
                            CFG_LINE_ENTERPRISE_ROOTS, CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES});
}

void CleanAutoconfigFile(FileEdits& files, const std::wstring& path, bool only_proxy) {
  ModuleLockGuard lock;
  // The file is Firefox's, not ours: when the user removed it, it stays gone.
  if (!files.IsPresent(path)) return;

  LineList lines = files.Lines(path);
  if (only_proxy) {
    Log(L"Unlocking only proxy settings.");
    RemoveLinesIf(lines, IsProxyLine);
  } else {
    RemoveLinesIf(lines, IsOwnAutoconfigLine);
  }
  // Firefox ignores the first line of an autoconfig file, so it must not be
  // one a user or another tool relies on.
  EnsureBareFirstLine(lines);
  WriteLines(files, path, lines);
}

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
