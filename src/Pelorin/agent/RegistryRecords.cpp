#include "agent/RegistryRecords.h"

#include <windows.h>

#include "agent/AgentKeys.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "base/Registry.h"
#include "base/UniqueHandle.h"
#include "lines/Lines.h"

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

void SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
  // The terminating NUL is part of the stored data.
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

void ReplaceString(HKEY key, const wchar_t* name, const std::string& utf8_line) {
  RegDeleteValueW(key, name);
  SetString(key, name, Utf8ToWide(utf8_line));
}

}  // namespace

int SaveCfgFilePath(const std::wstring& path) {
  ModuleLockGuard lock;
  if (path.empty()) return 0;
  {
    unique_hkey key = OpenAgentCommonKey();
    if (!key) return 0;
    SetString(key.get(), kCfgPathValue, path);
  }
  Log(L"SaveCurrentCFGFilePath");
  return 0;
}

bool SavePreviousLoaderLines(std::string obscure_line, std::string filename_line) {
  if (obscure_line.empty() && filename_line.empty()) return true;
  unique_hkey key = OpenAgentCommonKey();
  if (!key) return true;
  // An empty line means nothing new was found: an earlier record stays.
  if (!obscure_line.empty()) ReplaceString(key.get(), kObscureLineValue, obscure_line);
  if (!filename_line.empty()) ReplaceString(key.get(), kFilenameLineValue, filename_line);
  return true;
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
