#include "modes/Cleanup.h"

#include <windows.h>

#include "autoconfig/CfgCleanup.h"
#include "base/ModuleLock.h"
#include "base/Registry.h"
#include "base/UniqueHandle.h"
#include "lines/FileEdits.h"

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

void UninstallCleanUp(bool only_proxy) {
  unique_hkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  std::wstring path = ReadRecordedCfgPath(key.get());
  if (path.empty()) return;
  ModuleLockGuard lock;
  FileEdits files;
  CleanAutoconfigFile(files, path, only_proxy);
  files.Commit();
}

}  // namespace pelorin
