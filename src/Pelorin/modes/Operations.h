// The operations behind the exports: each plans its outcome, applies it
// under the module lock, and reports it as the host sees it: messages in
// the log, failure lines on standard output.
#pragma once

#include <cstdint>
#include <string>

#include "autoconfig/ModeTable.h"
#include "modes/SavedRequests.h"

namespace pelorin {

// A web start (ZARN or TOVK): 0, or -1 when Firefox is not found. A
// successful TOVK start is saved, with `params`, for the replay.
int32_t StartWeb(Mode mode, const StartParams& params, const std::wstring& loader_name, const std::wstring& cfg_name,
                 bool replay);

// Takes every saved start out and runs it again as a replay, which saves the
// successful ones anew.
void ReplaySavedRequests();

// -1 without Firefox, 0 when the agent's RvClientConfig.qcf is present, else 1.
int32_t StartDlp(const std::wstring& loader_name, const std::wstring& cfg_name);

// Cleans the autoconfig file FFCFG names; without the key, the value or the
// file nothing happens.
void UninstallCleanUp(bool only_proxy);

// Whether the agent's inline proxy is in force; its failures are logged.
bool InlineProxyEnabled();

}  // namespace pelorin
