#include "autoconfig/AutoconfigFile.h"

#include <string_view>
#include <vector>

#include "agent/AgentConfig.h"
#include "agent/RegistryRecords.h"
#include "autoconfig/CfgLines.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "proxy/InlineProxy.h"

namespace pelorin {

namespace {

// Set once a check finds a file up to date; from then on the writer leaves
// every autoconfig file alone until the library is unloaded. Guarded by the
// module lock.
bool cfg_up_to_date = false;

using Constants = std::vector<std::string_view>;

Constants BaseLines(WebMode mode) {
  if (mode == WebMode::kDirectConnect) {
    return {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS, CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES, CFG_LINE_ENTERPRISE_ROOTS};
  }
  return {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES, CFG_LINE_ENTERPRISE_ROOTS};
}

void AppendConstants(LineList& lines, const Constants& constants) {
  lines.insert(lines.end(), constants.begin(), constants.end());
}

void CreateAutoconfigFile(FileEdits& files, const std::wstring& path, WebMode mode, bool agent_config) {
  LineList lines{kCfgFirstLine};
  AppendConstants(lines, BaseLines(mode));
  if (agent_config) {
    AppendConstants(lines, {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES});
    if (IsInlineProxyEnabled()) AppendConstants(lines, {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES});
    lines.push_back(CFG_LINE_ENTERPRISE_ROOTS);
    Log(L"FF config add proxy setting for DLP");
  }
  files.SetContent(path, JoinLines(lines));
}

void EditAutoconfigFile(FileEdits& files, const std::wstring& path, LineList lines, WebMode mode, bool agent_config) {
  RemoveContainingAny(lines, {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS, CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES,
                              CFG_LINE_ENTERPRISE_ROOTS});
  // Scope lines belong to the agent's configuration; without it a user's
  // or an earlier run's copies are left where they are.
  if (agent_config) RemoveContainingAny(lines, {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES});

  AppendConstants(lines, BaseLines(mode));
  if (mode == WebMode::kProxyConnect) Log(L"FF config all_lines.push_back");

  if (agent_config) {
    AppendConstants(lines, {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES});
    if (IsInlineProxyEnabled()) AppendConstants(lines, {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES});
    Log(L"FF config all_lines.push_back for DLP");
  }

  // Firefox ignores the first line of an autoconfig file, so it must not be
  // one of the preferences.
  EnsureBareFirstLine(lines);
  WriteLines(files, path, lines);
}

bool HoldsModeLines(const LineList& lines, WebMode mode, bool agent_config) {
  if (lines.empty()) return false;

  for (std::string_view constant : BaseLines(mode)) {
    if (!HasLine(lines, constant)) return false;
  }
  if (!agent_config) return true;

  if (!HasLine(lines, CFG_LINE_AUTO_DISABLE_SCOPES) || !HasLine(lines, CFG_LINE_ENABLED_SCOPES)) return false;
  if (IsInlineProxyEnabled()) return true;
  // Without the inline proxy, Firefox must not stay locked to the system proxy.
  return !HasLine(lines, CFG_LINE_PROXY_TYPE) && !HasLine(lines, CFG_LINE_NO_PROXIES);
}

}  // namespace

void WriteAutoconfigFile(FileEdits& files, const std::wstring& path, WebMode mode) {
  ModuleLockGuard lock;
  if (cfg_up_to_date) {
    Log(L"FF config already up to date (flag set)");
    return;
  }

  const bool agent_config = IsClientConfigPresent();
  const bool present = files.IsPresent(path);
  LineList lines = present ? files.Lines(path) : LineList();
  if (present && HoldsModeLines(lines, mode, agent_config)) {
    Log(L"FF config already up to date (setting flag)");
    cfg_up_to_date = true;
    return;
  }

  if (present) {
    EditAutoconfigFile(files, path, std::move(lines), mode, agent_config);
  } else {
    CreateAutoconfigFile(files, path, mode, agent_config);
  }
  SaveCfgFilePath(path);
}

}  // namespace pelorin
