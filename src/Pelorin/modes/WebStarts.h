// The web-protection starts: direct connect (ZARN) and proxy connect (TOVK),
// and the replay of saved proxy-connect starts before unload.
#pragma once

#include <cstdint>
#include <string>

#include "modes/SavedRequests.h"

namespace pelorin {

// Empty names select "!.js" and "cv_mozilla_V2N.cfg". With `replay` set only
// the loader file is restored. 0, or -1 when Firefox is not found.
int32_t StartZarn(const std::wstring& loader_name, const std::wstring& cfg_name, bool replay);
// As StartZarn; a successful start is saved, with `params`, for the replay.
int32_t StartTovk(const StartParams& params, const std::wstring& loader_name, const std::wstring& cfg_name,
                  bool replay);

// Takes every saved start out and runs it again as a replay, which saves
// the successful ones anew.
void ReplaySavedRequests();

}  // namespace pelorin
