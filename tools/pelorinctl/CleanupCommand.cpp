#include "AgentState.h"
#include "ChangeWatch.h"
#include "CommandParts.h"
#include "Commands.h"

namespace pelorinctl {

Outcome RunCleanup(Library& library, const Options& options) {
  auto cleanup = library.Require<PelorinUninstallCleanUpFn>("PelorinUninstallCleanUp");
  // The cleanup works on the file FFCFG names, wherever that is.
  ChangeWatch watch(FirefoxInstallDir(library), {ReadRecordedCfgPath()});
  int32_t result = cleanup(options.only_proxy);

  Outcome outcome;
  if (result != 0) outcome.failure = "PelorinUninstallCleanUp returned " + std::to_string(result);
  Report& report = outcome.report;
  report.push_back({"only_proxy", "Only proxy lines", Value::Bool(options.only_proxy)});
  report.push_back({"result", "Result", Value::Int(result)});
  report.push_back({"outcome", "Outcome", Value::String(result == 0 ? "done" : "failed: unexpected result")});
  for (Field& field : watch.Changes()) report.push_back(std::move(field));
  return outcome;
}

}  // namespace pelorinctl
