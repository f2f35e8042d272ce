#include "tool/Tool.h"

#include <windows.h>

#include "agent/AgentKeys.h"
#include "agent/RegistryRecords.h"
#include "autoconfig/LoaderLines.h"
#include "base/Registry.h"
#include "files/FileContent.h"
#include "modes/Plans.h"
#include "modes/SystemInputs.h"
#include "tool/Diff.h"

namespace pelorin::tool {

namespace {

constexpr RecordName kRecords[] = {RecordName::kCfgPath, RecordName::kObscureLine, RecordName::kFilenameLine};

// As stored, not expanded: the report shows what the registry holds.
std::optional<std::wstring> ReadString(const wchar_t* key, const wchar_t* name) {
  const RegistryRead read =
      ReadRegistryValue(HKEY_LOCAL_MACHINE, key, name, {REG_SZ, REG_EXPAND_SZ}, kAnyRegistryLength);
  if (!read.value) return std::nullopt;
  return read.value->Text();
}

template <typename Decide>
DryRun Run(Decide decide) {
  SystemInputs inputs;
  const Outcome outcome = decide(inputs);
  DryRun run;
  run.result = outcome.result;
  run.messages = outcome.messages;
  for (const FileChange& change : outcome.files) {
    if (!change.Changed()) continue;
    PlannedFile file;
    file.path = change.path;
    file.created = change.Created();
    file.lines = DiffLines(change.before->bytes, change.after);
    if (const std::optional<FailedStep> blocked = change.Blocker()) {
      file.not_written = WriteFailure{blocked->step, WideToUtf8(change.path), blocked->error};
    }
    run.files.push_back(std::move(file));
  }
  for (const RecordChange& record : outcome.records) {
    if (record.before != record.value)
      run.records.push_back({RecordValueName(record.name), record.before, record.value});
  }
  return run;
}

}  // namespace

std::vector<RecordValue> ReadRecordValues() {
  std::vector<RecordValue> values;
  for (RecordName record : kRecords) values.push_back({RecordValueName(record), ReadRecord(record)});
  return values;
}

std::wstring RecordedCfgPath() { return ReadCfgFilePath(); }

std::optional<std::wstring> AgentInstallPath() { return ReadString(kAgentKey, kAgentInstallPathValue); }

bool IsFilePresent(const std::wstring& path) { return IsPresent(path); }

std::string NameRefusal(const std::wstring& loader_name, const std::wstring& cfg_name) {
  const std::optional<RefusedName> refused = FindRefusedName(loader_name, cfg_name);
  if (!refused) return std::string();
  return WideToUtf8(RefusalSentence(*refused));
}

DryRun PlanStart(Mode mode, const std::wstring& loader_name, const std::wstring& cfg_name) {
  return Run([&](Inputs& inputs) {
    return RowOf(mode).web ? PlanWebStart(inputs, mode, loader_name, cfg_name, false, false)
                           : PlanDlpStart(inputs, loader_name, cfg_name);
  });
}

DryRun PlanCleanup(bool only_proxy) {
  return Run([only_proxy](Inputs& inputs) { return pelorin::PlanCleanup(inputs, only_proxy); });
}

}  // namespace pelorin::tool
