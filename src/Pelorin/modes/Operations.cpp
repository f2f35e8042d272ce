#include "modes/Operations.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "autoconfig/LoaderLines.h"
#include "base/Boundary.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "files/FailureLines.h"
#include "modes/Apply.h"
#include "modes/Plans.h"
#include "modes/SystemInputs.h"
#include "proxy/InlineProxy.h"

namespace pelorin {

namespace {

// Set once a start finds an autoconfig file up to date; from then on no
// start changes an autoconfig file until the library is unloaded. Guarded
// by the module lock.
bool cfg_up_to_date = false;

void Finish(const ModeRow& row) {
  if (row.finished_message != nullptr) Log(row.finished_message);
}

// Flushed at once: the host may read the line before the process ends, or
// after it ends abruptly.
void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void LogFrom(const Messages& messages, size_t first) {
  for (size_t index = first; index < messages.size(); ++index) Log(messages[index]);
}

// The exports' edge, where an outcome becomes what the host sees: its
// messages in the log, its failure lines on standard output. What the plan
// decided is reported before the writes and what they did after them, so
// that both keep the order in which things happened.
void ReportDecision(const Outcome& outcome, SystemInputs& inputs) {
  for (const std::wstring& path : inputs.ReadPaths()) {
    const FileRead& read = inputs.Read(path);
    if (read.outcome == FileRead::kUnreadable && read.step != nullptr) PrintLine(ReadFailureLine(read.error));
  }
  LogFrom(outcome.messages, 0);
}

void ApplyAndReport(Outcome& outcome, SystemInputs& inputs) {
  const size_t decided = outcome.messages.size();
  Apply(outcome, inputs.ReadPaths(), inputs.Leftovers());
  for (const FileChange& file : outcome.files) {
    if (file.failure) PrintLine(WriteFailureLine(*file.failure, file.path));
  }
  LogFrom(outcome.messages, decided);
}

}  // namespace

int32_t StartWeb(Mode mode, const StartParams& params, const std::wstring& loader_name, const std::wstring& cfg_name,
                 bool replay) {
  {
    ModuleLockGuard lock;
    SystemInputs inputs;
    Outcome outcome = PlanWebStart(inputs, mode, loader_name, cfg_name, replay, cfg_up_to_date);
    ReportDecision(outcome, inputs);
    if (outcome.result != 0) return outcome.result;
    ApplyAndReport(outcome, inputs);
    if (outcome.cfg_found_up_to_date) cfg_up_to_date = true;
  }
  Finish(RowOf(mode));
  if (!RowOf(mode).saved_for_replay) return 0;
  auto record = std::make_shared<ff_stored_param>();
  record->params = params;
  record->loader_name = NameOrDefault(loader_name, kDefaultLoaderName);
  record->cfg_name = NameOrDefault(cfg_name, kDefaultCfgName);
  SaveRequest(std::move(record));
  return 0;
}

void ReplaySavedRequests() {
  const SavedRequestSet records = TakeSavedRequests();
  for (StoredParamPtr record : records) {
    // One failing replay must not keep the others from running.
    CatchAtBoundary(
        -1, [&record] { return StartWeb(record->kind, record->params, record->loader_name, record->cfg_name, true); });
  }
}

int32_t StartDlp(const std::wstring& loader_name, const std::wstring& cfg_name) {
  ModuleLockGuard lock;
  SystemInputs inputs;
  Outcome outcome = PlanDlpStart(inputs, loader_name, cfg_name);
  ReportDecision(outcome, inputs);
  if (outcome.result != RowOf(Mode::kDlp).done_result) return outcome.result;
  ApplyAndReport(outcome, inputs);
  Finish(RowOf(Mode::kDlp));
  return outcome.result;
}

void UninstallCleanUp(bool only_proxy) {
  ModuleLockGuard lock;
  SystemInputs inputs;
  Outcome outcome = PlanCleanup(inputs, only_proxy);
  ReportDecision(outcome, inputs);
  ApplyAndReport(outcome, inputs);
}

bool InlineProxyEnabled() {
  Messages messages;
  const bool enabled = IsInlineProxyEnabled(messages);
  LogFrom(messages, 0);
  return enabled;
}

}  // namespace pelorin
