#include "autoconfig/DlpAutoconfig.h"

#include "agent/RegistryRecords.h"
#include "autoconfig/CfgLines.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "proxy/InlineProxy.h"

namespace pelorin {

namespace {

// The DLP lines in their order; the proxy pair only while the inline proxy
// is in force, which is logged when the file is new.
void AppendDlpLines(LineList& lines, bool log_proxy) {
  lines.push_back(CFG_LINE_AUTO_DISABLE_SCOPES);
  lines.push_back(CFG_LINE_ENABLED_SCOPES);
  if (IsInlineProxyEnabled()) {
    if (log_proxy) Log(L"Inline proxy enabled. Locking proxy settings");
    lines.push_back(CFG_LINE_PROXY_TYPE);
    lines.push_back(CFG_LINE_NO_PROXIES);
  }
  lines.push_back(CFG_LINE_ENTERPRISE_ROOTS);
}

void CreateAutoconfigFile(FileEdits& files, const std::wstring& path) {
  Log(L"FF extension CFG file do not exists. Creating one.");
  LineList lines{kCfgFirstLine};
  AppendDlpLines(lines, true);
  files.SetContent(path, JoinLines(lines));
}

// Keeps the first line and every foreign line, blank ones within the file
// included; only the blank tail goes, so the DLP lines follow the last text.
void MergeIntoAutoconfigFile(FileEdits& files, const std::wstring& path) {
  LineList lines = files.Lines(path);
  RemoveLinesIf(lines, IsDlpAutoconfigLine);
  DropTrailingEmptyLines(lines);
  AppendDlpLines(lines, false);
  files.SetContent(path, JoinLines(lines));
}

}  // namespace

bool IsDlpAutoconfigUpToDate(FileEdits& files, const std::wstring& path) {
  ModuleLockGuard lock;
  if (!files.IsPresent(path)) return false;
  const LineList& lines = files.Lines(path);
  for (std::string_view wanted : {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES, CFG_LINE_ENTERPRISE_ROOTS}) {
    if (!HasLine(lines, wanted)) return false;
  }
  const bool proxy_type = HasLine(lines, CFG_LINE_PROXY_TYPE);
  const bool no_proxies = HasLine(lines, CFG_LINE_NO_PROXIES);
  // Firefox is to be locked to the system proxy only while the agent's
  // inline proxy is in force: a lock left from earlier is as stale as a
  // missing one.
  if (IsInlineProxyEnabled()) return proxy_type && no_proxies;
  return !proxy_type && !no_proxies;
}

bool IsDlpAutoconfigLine(std::string_view line) {
  return ContainsAny(line, {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES, CFG_LINE_PROXY_TYPE,
                            CFG_LINE_NO_PROXIES, CFG_LINE_ENTERPRISE_ROOTS});
}

void WriteDlpAutoconfigFile(FileEdits& files, const std::wstring& path) {
  ModuleLockGuard lock;
  if (files.IsPresent(path)) {
    MergeIntoAutoconfigFile(files, path);
  } else {
    CreateAutoconfigFile(files, path);
  }
  SaveCfgFilePath(path);
}

}  // namespace pelorin
