#include "agent/AgentConfig.h"

#include <windows.h>

#include <string>

#include "base/Registry.h"
#include "base/UniqueHandle.h"
#include "lines/FileContent.h"

namespace pelorin {

namespace {

// The agent's installer writes the folder with a trailing backslash, so the
// file names are appended as they are.
constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Tervia\\Agent\\";
constexpr wchar_t kInstallPathValue[] = L"InstallPath";

// Empty when the key or value is missing, or when the value does not fit
// MAX_PATH characters: a truncated folder would name some other place. The
// type is not examined, and the folder ends at the first NUL.
std::wstring ReadInstallPath() {
  unique_hkey agent;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentKey, 0, KEY_QUERY_VALUE, agent.put()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  RegistryRead read = ReadRegistryValue(agent.get(), kInstallPathValue, RegistryTypes::Any(), MAX_PATH);
  if (read.status != ERROR_SUCCESS || !read.value) return std::wstring();
  return read.value->Text();
}

}  // namespace

int32_t IsClientConfigPresent() {
  std::wstring install_path = ReadInstallPath();
  if (install_path.empty()) return 0;
  return IsPresent(install_path + L"ClientConfig.qcf") ? 1 : 0;
}

int32_t IsRvClientConfigPresent(uint32_t* flag) {
  std::wstring install_path = ReadInstallPath();
  if (install_path.empty()) return 0;
  std::wstring rv_config = install_path + L"RvClientConfig.qcf";
  std::wstring proxy_config = install_path + L"PXYClientConfig.qcf";
  if (IsPresent(rv_config)) {
    if (flag != nullptr) *flag = 0;
    return 1;
  }
  if (IsPresent(proxy_config) && flag != nullptr) *flag = 1;
  return 0;
}

}  // namespace pelorin
