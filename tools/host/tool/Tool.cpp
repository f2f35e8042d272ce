#include "tool/Tool.h"

#include <windows.h>

#include "agent/AgentKeys.h"
#include "agent/RegistryRecords.h"
#include "autoconfig/LoaderLines.h"
#include "base/Log.h"
#include "base/Registry.h"
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

// The dry run's log: a plain function takes the library's messages.
std::vector<std::wstring>* g_messages = nullptr;
void Collect(const wchar_t* message) { g_messages->push_back(message); }

template <typename Decide>
DryRun Run(Decide decide) {
  DryRun run;
  g_messages = &run.messages;
  SetLogFunction(&Collect);
  SystemInputs inputs;
  const Plan plan = decide(inputs);
  SetLogFunction(nullptr);
  run.result = plan.result;
  for (const FileChange& change : plan.changes.files) {
    if (!change.Changed()) continue;
    PlannedFile file;
    file.path = change.path;
    file.created = change.before->outcome == FileRead::kMissing;
    file.lines = DiffLines(change.before->bytes, change.after);
    if (const std::optional<Blocked> blocked = change.Blocker()) {
      file.not_written = WriteFailure{blocked->step, WideToUtf8(change.path), blocked->error};
    }
    run.files.push_back(std::move(file));
  }
  for (const RecordChange& record : plan.changes.records) {
    const wchar_t* name = RecordValueName(record.name);
    std::optional<std::wstring> before = ReadString(kAgentCommonKey, name);
    if (before != record.value) run.records.push_back({name, std::move(before), record.value});
  }
  return run;
}

}  // namespace

std::vector<RecordValue> ReadRecordValues() {
  std::vector<RecordValue> values;
  for (RecordName record : kRecords) {
    const wchar_t* name = RecordValueName(record);
    values.push_back({name, ReadString(kAgentCommonKey, name)});
  }
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
