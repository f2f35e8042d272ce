#include "autoconfig/AutoconfigFile.h"

#include <string_view>
#include <utility>
#include <vector>

#include "autoconfig/CfgLines.h"
#include "autoconfig/RegistryRecords.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "dlp/AgentConfig.h"
#include "lines/Lines.h"
#include "proxy/InlineProxy.h"

namespace pelorin {

namespace {

// Set once a check finds a file up to date; from then on the writer leaves
// every autoconfig file alone until the library is unloaded. Guarded by the
// module lock.
bool cfg_up_to_date = false;

using Constants = std::vector<std::string_view>;

Constants BaseLines(int32_t mode) {
  if (mode != 0) {
    return {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS, CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES,
            CFG_LINE_ENTERPRISE_ROOTS};
  }
  return {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES, CFG_LINE_ENTERPRISE_ROOTS};
}

void AppendLine(const std::wstring& path, std::string_view constant) {
  std::string line(constant);
  line += '\n';
  AppendFileContentW(path, line);
}

void CreateAutoconfigFile(const std::wstring& path, int32_t mode, bool agent_config) {
  SetFileContentW(path, "//\n", 3);
  for (std::string_view constant : BaseLines(mode)) AppendLine(path, constant);
  if (!agent_config) return;
  AppendLine(path, CFG_LINE_AUTO_DISABLE_SCOPES);
  AppendLine(path, CFG_LINE_ENABLED_SCOPES);
  if (IsInlineProxyEnabled() != 0) {
    AppendLine(path, CFG_LINE_PROXY_TYPE);
    AppendLine(path, CFG_LINE_NO_PROXIES);
  }
  AppendLine(path, CFG_LINE_ENTERPRISE_ROOTS);
  Log(L"FF config add proxy setting for DLP");
}

void EditAutoconfigFile(const std::wstring& path, LineList lines, int32_t mode, bool agent_config) {
  RemoveContainingAny(lines, {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS, CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES,
                              CFG_LINE_ENTERPRISE_ROOTS});
  // Scope lines belong to the agent's configuration; without it a user's
  // or an earlier run's copies are left where they are.
  if (agent_config) RemoveContainingAny(lines, {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES});

  for (std::string_view constant : BaseLines(mode)) lines.emplace_back(constant);
  if (mode == 0) Log(L"FF config all_lines.push_back");

  if (agent_config) {
    lines.emplace_back(CFG_LINE_AUTO_DISABLE_SCOPES);
    lines.emplace_back(CFG_LINE_ENABLED_SCOPES);
    if (IsInlineProxyEnabled() != 0) {
      lines.emplace_back(CFG_LINE_PROXY_TYPE);
      lines.emplace_back(CFG_LINE_NO_PROXIES);
    }
    Log(L"FF config all_lines.push_back for DLP");
  }

  // Firefox ignores the first line of an autoconfig file, so it must not be
  // one of the preferences.
  EnsureBareFirstLine(lines);
  WriteLines(lines, path);
}

bool HoldsModeLines(const LineList& lines, int32_t mode, int32_t agent_config) {
  if (lines.empty()) return false;

  for (std::string_view constant : BaseLines(mode)) {
    if (!HasLine(lines, constant)) return false;
  }
  if (agent_config == 0) return true;

  if (!HasLine(lines, CFG_LINE_AUTO_DISABLE_SCOPES) || !HasLine(lines, CFG_LINE_ENABLED_SCOPES)) return false;
  if (IsInlineProxyEnabled() != 0) return true;
  // Without the inline proxy, Firefox must not stay locked to the system proxy.
  return !HasLine(lines, CFG_LINE_PROXY_TYPE) && !HasLine(lines, CFG_LINE_NO_PROXIES);
}

}  // namespace

bool IsAutoconfigUpToDate(const std::wstring& path, int32_t mode, int32_t agent_config) {
  ModuleLockGuard lock;
  return IsPresent(path) && HoldsModeLines(ReadLines(path), mode, agent_config);
}

int WriteAutoconfigFile(std::wstring path, int32_t mode) {
  ModuleLockGuard lock;
  if (cfg_up_to_date) {
    Log(L"FF config already up to date (flag set)");
    return 0;
  }

  const int32_t agent_config = IsClientConfigPresent();
  // The check and the edit share one read of the file.
  const bool present = IsPresent(path);
  LineList lines = present ? ReadLines(path) : LineList();
  if (present && HoldsModeLines(lines, mode, agent_config)) {
    Log(L"FF config already up to date (setting flag)");
    cfg_up_to_date = true;
    return 0;
  }

  if (present) {
    EditAutoconfigFile(path, std::move(lines), mode, agent_config != 0);
  } else {
    CreateAutoconfigFile(path, mode, agent_config != 0);
  }
  SaveCfgFilePath(path);
  return 0;
}

}  // namespace pelorin
