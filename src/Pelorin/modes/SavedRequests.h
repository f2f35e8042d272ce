// The proxy-connect starts the host asked for, kept so that
// PelorinUninitialize can replay them before the library is unloaded.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "autoconfig/ModeTable.h"

namespace pelorin {

// The host's parameter strings of a start, copied; their meaning is the
// host's, so they are only kept and compared.
using StartParams = std::vector<std::wstring>;

// One saved start request. Never changed once built.
struct ff_stored_param {
  Mode kind = Mode::kTovk;  // only proxy-connect starts are saved
  StartParams params;
  std::wstring loader_name;  // as the start used it, default applied
  std::wstring cfg_name;     // likewise
};

using StoredParamPtr = std::shared_ptr<const ff_stored_param>;

// By content, never by address: kind, then the parameter strings, then the
// two names, each string ordinally by UTF-16 code unit.
struct StoredParamOrder {
  bool operator()(const StoredParamPtr& a, const StoredParamPtr& b) const;
};

using SavedRequestSet = std::set<StoredParamPtr, StoredParamOrder>;

// Adds the record unless an equivalent one is already saved.
void SaveRequest(StoredParamPtr record);

// Everything saved so far; the saved set is left empty.
SavedRequestSet TakeSavedRequests();

}  // namespace pelorin
