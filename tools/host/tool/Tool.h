// What the host tool pelorinctl may use of the library's own code: the
// modes, the check, the dry run, the agent's records and the text
// conversions. Everything else it does through the DLL's exports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "autoconfig/ModeTable.h"
#include "check/Check.h"
#include "files/FailureLines.h"
#include "files/TextConversion.h"
#include "firefox/PrefDirectory.h"

namespace pelorin::tool {

using pelorin::PrefDirOf;

// The values the library records under the agent's Common key, in a fixed
// order; nullopt when missing or not a string.
struct RecordValue {
  std::wstring name;
  std::optional<std::wstring> value;
};
std::vector<RecordValue> ReadRecordValues();

// FFCFG as the cleanup reads it; empty when not set.
std::wstring RecordedCfgPath();

// The agent's "InstallPath", as stored (normally with a trailing backslash).
std::optional<std::wstring> AgentInstallPath();

// A file, not a directory, as the library decides it.
bool IsFilePresent(const std::wstring& path);

// One line of a unified diff: ' ' kept, '-' removed, '+' added.
struct DiffLine {
  char kind;
  std::string text;  // without its "\n"
};

struct PlannedFile {
  std::wstring path;
  bool created = false;
  std::vector<DiffLine> lines;  // every line of the old and new file
  // The operation would not replace it and would print this failure: the
  // file cannot be read whole, or it or a folder on its way is a link.
  std::optional<WriteFailure> not_written;
};

struct PlannedRecord {
  std::wstring name;
  std::optional<std::wstring> before;
  std::wstring after;
};

// What an operation would change, decided by the library's own decision
// code from what it reads now, with nothing written. Only what would change
// is listed.
struct DryRun {
  int32_t result = 0;  // as the export would return it
  std::vector<PlannedFile> files;
  std::vector<PlannedRecord> records;
  std::vector<std::wstring> messages;  // as the operation would log them
};

// Why a start refuses these names, in the words of its log line
// ("refused the file name \"a\\b.cfg\": it holds a path separator"); empty
// when it takes them.
std::string NameRefusal(const std::wstring& loader_name, const std::wstring& cfg_name);

// A start in a process that has not found an autoconfig file up to date yet.
DryRun PlanStart(Mode mode, const std::wstring& loader_name, const std::wstring& cfg_name);
DryRun PlanCleanup(bool only_proxy);

}  // namespace pelorin::tool
