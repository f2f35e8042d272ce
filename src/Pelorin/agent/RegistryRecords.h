// What the library changed in Firefox, recorded under the agent's key
// HKLM\SOFTWARE\Tervia\Agent\Common\ (opened, never created). Registry
// failures are silent.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pelorin {

enum class RecordName {
  kCfgPath,       // FFCFG: the autoconfig file last written
  kObscureLine,   // FFObscure: a foreign obscure-value line a loader write replaced
  kFilenameLine,  // FFJSFile: a foreign filename line a loader write replaced
};

const wchar_t* RecordValueName(RecordName name);

// Sets each value as REG_SZ, the key opened once. A replaced loader line is
// deleted before it is set again. Logs "SaveCurrentCFGFilePath" when FFCFG
// has been written.
void WriteRecords(const std::vector<std::pair<RecordName, std::wstring>>& records);

// FFCFG as recorded, or an empty string when the key or the value is missing.
std::wstring ReadCfgFilePath();

}  // namespace pelorin
