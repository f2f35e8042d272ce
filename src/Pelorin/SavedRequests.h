// The proxy-connect starts the host asked for, kept so that
// PelorinUninitialize can replay them before the library is unloaded.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "Pelorin.h"

namespace pelorin {

// One saved start request. Never changed once built.
struct ff_stored_param {
  int32_t kind = 0;  // 0: proxy connect (TOVK); anything else: direct connect (ZARN)
  ZarnStartParams zarn;
  TovkStartParams tovk;
  std::wstring loader_name;  // as the start used it, default applied
  std::wstring cfg_name;     // likewise
};

using StoredParamPtr = std::shared_ptr<const ff_stored_param>;

// By content, never by address: kind, then the kind's parameter strings (the
// fifth ZARN string takes no part), then the two names, each string ordinally
// by UTF-16 code unit.
struct StoredParamOrder {
  bool operator()(const StoredParamPtr& a, const StoredParamPtr& b) const;
};

using SavedRequestSet = std::set<StoredParamPtr, StoredParamOrder>;

// Adds the record unless an equivalent one is already saved.
void SaveRequest(StoredParamPtr record);

// Everything saved so far; the saved set is left empty.
SavedRequestSet TakeSavedRequests();

}  // namespace pelorin
