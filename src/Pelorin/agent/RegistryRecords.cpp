#include "agent/RegistryRecords.h"

#include <windows.h>

#include "agent/AgentKeys.h"
#include "base/Registry.h"
#include "base/UniqueHandle.h"

namespace pelorin {

namespace {

// No view flag: the 64-bit library writes the agent's native view.
constexpr REGSAM kAgentKeyAccess = KEY_ALL_ACCESS;

// The agent's installer owns this key: when it is missing the agent is not
// installed (or is being removed), and recreating it would leave a trace
// that its uninstaller does not know about.
unique_hkey OpenAgentCommonKey() {
  // A failed open leaves the handle empty, which is the answer.
  unique_hkey key;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, kAgentKeyAccess, key.put());
  return key;
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
  // The terminating NUL is part of the stored data.
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

}  // namespace

const wchar_t* RecordValueName(RecordName name) {
  switch (name) {
    case RecordName::kCfgPath: return kCfgPathValue;
    case RecordName::kObscureLine: return kObscureLineValue;
    case RecordName::kFilenameLine: break;
  }
  return kFilenameLineValue;
}

std::vector<bool> WriteRecords(const std::vector<std::pair<RecordName, std::wstring>>& records) {
  std::vector<bool> written(records.size(), false);
  if (records.empty()) return written;
  const unique_hkey key = OpenAgentCommonKey();
  if (!key) return written;
  for (size_t index = 0; index < records.size(); ++index) {
    const auto& [name, value] = records[index];
    const wchar_t* value_name = RecordValueName(name);
    if (name != RecordName::kCfgPath) RegDeleteValueW(key.get(), value_name);
    written[index] = SetString(key.get(), value_name, value);
  }
  return written;
}

std::optional<std::wstring> ReadRecord(RecordName name) {
  const RegistryRead read = ReadRegistryValue(HKEY_LOCAL_MACHINE, kAgentCommonKey, RecordValueName(name),
                                              {REG_SZ, REG_EXPAND_SZ}, kAnyRegistryLength);
  if (!read.value) return std::nullopt;
  return read.value->Text();
}

std::wstring ReadCfgFilePath() {
  // As with the agent's InstallPath: a value longer than MAX_PATH characters
  // reads as empty, its type is not examined and the path ends at the first
  // NUL.
  const RegistryRead read =
      ReadRegistryValue(HKEY_LOCAL_MACHINE, kAgentCommonKey, kCfgPathValue, RegistryTypes::Any(), MAX_PATH);
  return read.value ? read.value->Text() : std::wstring();
}

}  // namespace pelorin
