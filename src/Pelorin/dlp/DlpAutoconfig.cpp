#include "dlp/DlpAutoconfig.h"

#include "autoconfig/CfgLines.h"
#include "autoconfig/RegistryRecords.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "lines/Lines.h"
#include "proxy/InlineProxy.h"

namespace pelorin {

namespace {

// Line and line end are separate appends, so that a file that cannot be
// written reports each of them, as hosts parsing the output expect.
void AppendLine(const std::wstring& path, std::string_view line) {
  AppendFileContentW(path, line.data(), static_cast<uint32_t>(line.size()));
  AppendFileContentW(path, "\n", 1);
}

void CreateAutoconfigFile(const std::wstring& path) {
  Log(L"FF extension CFG file do not exists. Creating one.");
  SetFileContentW(path, "//\n", 3);
  AppendLine(path, CFG_LINE_AUTO_DISABLE_SCOPES);
  AppendLine(path, CFG_LINE_ENABLED_SCOPES);
  if (IsInlineProxyEnabled() != 0) {
    Log(L"Inline proxy enabled. Locking proxy settings");
    AppendLine(path, CFG_LINE_PROXY_TYPE);
    AppendLine(path, CFG_LINE_NO_PROXIES);
  }
  AppendLine(path, CFG_LINE_ENTERPRISE_ROOTS);
}

// Keeps the first line and every foreign line, blank ones within the file
// included; only the blank tail goes, so the DLP lines follow the last text.
void MergeIntoAutoconfigFile(const std::wstring& path) {
  LineList lines = ReadLines(path);
  lines.remove_if([](const Line& line) { return IsDlpAutoconfigLine(line); });
  DropTrailingEmptyLines(lines);
  lines.emplace_back(CFG_LINE_AUTO_DISABLE_SCOPES);
  lines.emplace_back(CFG_LINE_ENABLED_SCOPES);
  if (IsInlineProxyEnabled() != 0) {
    lines.emplace_back(CFG_LINE_PROXY_TYPE);
    lines.emplace_back(CFG_LINE_NO_PROXIES);
  }
  lines.emplace_back(CFG_LINE_ENTERPRISE_ROOTS);
  SetFileContentW(path, JoinLines(lines));
}

}  // namespace

bool IsDlpAutoconfigUpToDate(const std::wstring& path) {
  ModuleLockGuard lock;
  if (!IsPresent(path)) return false;
  const LineList lines = ReadLines(path);
  for (std::string_view wanted : {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES, CFG_LINE_ENTERPRISE_ROOTS}) {
    if (!HasLine(lines, wanted)) return false;
  }
  const bool proxy_type = HasLine(lines, CFG_LINE_PROXY_TYPE);
  const bool no_proxies = HasLine(lines, CFG_LINE_NO_PROXIES);
  // Firefox is to be locked to the system proxy only while the agent's
  // inline proxy is in force: a lock left from earlier is as stale as a
  // missing one.
  if (IsInlineProxyEnabled() != 0) return proxy_type && no_proxies;
  return !proxy_type && !no_proxies;
}

bool IsDlpAutoconfigLine(std::string_view line) {
  return ContainsAny(line, {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES, CFG_LINE_PROXY_TYPE,
                            CFG_LINE_NO_PROXIES, CFG_LINE_ENTERPRISE_ROOTS});
}

int32_t WriteDlpAutoconfigFile(std::wstring path) {
  ModuleLockGuard lock;
  if (IsPresent(path)) {
    MergeIntoAutoconfigFile(path);
  } else {
    CreateAutoconfigFile(path);
  }
  SaveCfgFilePath(path);
  return 0;
}

}  // namespace pelorin
