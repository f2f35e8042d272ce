#include "AgentState.h"

#include <windows.h>

#include "agent/AgentKeys.h"
#include "agent/RegistryRecords.h"
#include "base/Registry.h"
#include "lines/FileContent.h"

namespace pelorinctl {

namespace {

// As stored, not expanded: the report shows what the registry holds.
std::optional<std::wstring> ReadString(const wchar_t* key, const wchar_t* name) {
  const pelorin::RegistryRead read =
      pelorin::ReadRegistryValue(HKEY_LOCAL_MACHINE, key, name, {REG_SZ, REG_EXPAND_SZ}, pelorin::kAnyRegistryLength);
  if (!read.value) return std::nullopt;
  return read.value->Text();
}

}  // namespace

RecordValues ReadRecordValues() {
  RecordValues values;
  for (const wchar_t* name : kRecordValueNames) values.emplace_back(name, ReadString(pelorin::kAgentCommonKey, name));
  return values;
}

std::wstring ReadRecordedCfgPath() { return pelorin::ReadCfgFilePath(); }

std::optional<std::wstring> ReadAgentInstallPath() {
  return ReadString(pelorin::kAgentKey, pelorin::kAgentInstallPathValue);
}

bool IsAgentFilePresent(const std::wstring& install_path, const std::wstring& name) {
  return pelorin::IsPresent(install_path + name);
}

}  // namespace pelorinctl
