// What the library changed in Firefox, recorded under the agent's key
// HKLM\SOFTWARE\Tervia\Agent\Common\ (opened, never created). Registry
// failures are silent.
#pragma once

#include <optional>
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
// deleted before it is set again. Returns whether each was set, in order.
std::vector<bool> WriteRecords(const std::vector<std::pair<RecordName, std::wstring>>& records);

// A record as stored, unexpanded; nullopt when missing or not a string.
std::optional<std::wstring> ReadRecord(RecordName name);

// FFCFG as recorded, or an empty string when the key or the value is missing.
std::wstring ReadCfgFilePath();

}  // namespace pelorin
