#include "agent/AgentConfig.h"

#include <windows.h>

#include <string>

#include "agent/AgentKeys.h"
#include "base/Registry.h"
#include "base/UniqueHandle.h"
#include "files/FileContent.h"

namespace pelorin {

namespace {

// The file names are appended as they are: the folder ends in a backslash.
// Empty when the key or value is missing, or when the value does not fit
// MAX_PATH characters: a truncated folder would name some other place. The
// type is not examined, and the folder ends at the first NUL.
std::wstring ReadInstallPath() {
  const RegistryRead read =
      ReadRegistryValue(HKEY_LOCAL_MACHINE, kAgentKey, kAgentInstallPathValue, RegistryTypes::Any(), MAX_PATH);
  return read.value ? read.value->Text() : std::wstring();
}

}  // namespace

bool IsClientConfigPresent() {
  const std::wstring install_path = ReadInstallPath();
  return !install_path.empty() && IsPresent(install_path + L"ClientConfig.qcf");
}

bool IsRvClientConfigPresent() {
  const std::wstring install_path = ReadInstallPath();
  return !install_path.empty() && IsPresent(install_path + L"RvClientConfig.qcf");
}

}  // namespace pelorin
