// Each operation's decision: from what it reads through `Inputs`, its
// outcome as planned (the export's result, its whole change, its messages),
// before anything is written. The library applies it; a dry run shows it.
#pragma once

#include <string>

#include "autoconfig/ModeTable.h"
#include "modes/Inputs.h"
#include "modes/Outcome.h"

namespace pelorin {

// A web start (ZARN or TOVK): -1 when Firefox is not registered, else 0.
// Empty names select "!.js" and "cv_mozilla_V2N.cfg". A replay changes only
// an existing loader file and the strips. Once an autoconfig file was found
// up to date (`cfg_up_to_date`), no autoconfig file is changed.
Outcome PlanWebStart(Inputs& inputs, Mode mode, const std::wstring& loader_name, const std::wstring& cfg_name,
                     bool replay, bool cfg_up_to_date);

// The DLP start: -1 when Firefox is not registered, 0 when the agent's
// RvClientConfig.qcf is present, else 1; each file changed only when stale.
Outcome PlanDlpStart(Inputs& inputs, const std::wstring& loader_name, const std::wstring& cfg_name);

// The uninstall cleanup of the autoconfig file FFCFG names: 0.
Outcome PlanCleanup(Inputs& inputs, bool only_proxy);

}  // namespace pelorin
