#include "autoconfig/CfgCleanup.h"

#include "autoconfig/CfgLines.h"
#include "base/Log.h"
#include "base/ModuleLock.h"

namespace pelorin {

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

}  // namespace pelorin
