#include "cleanup/Cleanup.h"

#include <windows.h>

#include "autoconfig/CfgLines.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "base/Registry.h"
#include "base/UniqueHandle.h"
#include "lines/Lines.h"

namespace pelorin {

namespace {

constexpr wchar_t kAgentCommonKey[] = L"SOFTWARE\\Tervia\\Agent\\Common\\";
constexpr wchar_t kCfgPathValue[] = L"FFCFG";

// FFCFG as recorded, or an empty string; as with the agent's InstallPath,
// a value longer than MAX_PATH characters reads as empty, its type is not
// examined and the path ends at the first NUL.
std::wstring ReadRecordedCfgPath(HKEY key) {
  RegistryRead read = ReadRegistryValue(key, kCfgPathValue, RegistryTypes::Any(), MAX_PATH);
  if (read.status != ERROR_SUCCESS || !read.value) return std::wstring();
  return read.value->Text();
}

}  // namespace

bool IsProxyLine(std::string_view line) { return ContainsAny(line, {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES}); }

bool IsOwnAutoconfigLine(std::string_view line) {
  return ContainsAny(line, {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS, CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES,
                            CFG_LINE_ENTERPRISE_ROOTS, CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES});
}

int32_t CleanAutoconfigFile(const std::wstring& path, bool only_proxy) {
  ModuleLockGuard lock;
  // The file is Firefox's, not ours: when the user removed it, it stays gone.
  if (!IsPresent(path)) return 0;

  LineList lines = ReadLines(path);
  if (only_proxy) {
    Log(L"Unlocking only proxy settings.");
    lines.remove_if([](const Line& line) { return IsProxyLine(line); });
  } else {
    lines.remove_if([](const Line& line) { return IsOwnAutoconfigLine(line); });
  }
  // Firefox ignores the first line of an autoconfig file, so it must not be
  // one a user or another tool relies on.
  EnsureBareFirstLine(lines);
  WriteLines(lines, path);
  return 0;
}

int32_t UninstallCleanUp(bool only_proxy) {
  unique_hkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
  std::wstring path = ReadRecordedCfgPath(key.get());
  if (!path.empty()) CleanAutoconfigFile(path, only_proxy);
  return 0;
}

}  // namespace pelorin
