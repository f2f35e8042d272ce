// The operations behind the exports: each decides its change, applies it
// under the module lock and logs what it finished.
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

}  // namespace pelorin
