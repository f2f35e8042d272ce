#include "modes/Operations.h"

#include <memory>
#include <utility>

#include "autoconfig/LoaderLines.h"
#include "base/Boundary.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "modes/Apply.h"
#include "modes/Plans.h"
#include "modes/SystemInputs.h"

namespace pelorin {

namespace {

// Set once a start finds an autoconfig file up to date; from then on no
// start changes an autoconfig file until the library is unloaded. Guarded
// by the module lock.
bool cfg_up_to_date = false;

void Finish(const ModeRow& row) {
  if (row.finished_message != nullptr) Log(row.finished_message);
}

}  // namespace

int32_t StartWeb(Mode mode, const StartParams& params, const std::wstring& loader_name, const std::wstring& cfg_name,
                 bool replay) {
  {
    ModuleLockGuard lock;
    SystemInputs inputs;
    const Plan plan = PlanWebStart(inputs, mode, loader_name, cfg_name, replay, cfg_up_to_date);
    if (plan.result != 0) return plan.result;
    Apply(plan.changes, inputs.ReadPaths(), inputs.Leftovers());
    if (plan.changes.cfg_found_up_to_date) cfg_up_to_date = true;
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
  const Plan plan = PlanDlpStart(inputs, loader_name, cfg_name);
  if (plan.result != RowOf(Mode::kDlp).done_result) return plan.result;
  Apply(plan.changes, inputs.ReadPaths(), inputs.Leftovers());
  Finish(RowOf(Mode::kDlp));
  return plan.result;
}

void UninstallCleanUp(bool only_proxy) {
  ModuleLockGuard lock;
  SystemInputs inputs;
  Apply(PlanCleanup(inputs, only_proxy).changes, inputs.ReadPaths(), inputs.Leftovers());
}

}  // namespace pelorin
