#include "modes/SavedRequests.h"

#include <tuple>
#include <utility>

#include "base/ModuleLock.h"

namespace pelorin {

namespace {

// Records still saved at unload are released by the set's destructor, which
// must run while the lock still exists: touching the lock first constructs
// it before the set, so it is destroyed after it.
ModuleLock& g_lock_before_set = TheModuleLock();

SavedRequestSet g_saved_requests;

}  // namespace

// std::wstring compares wchar_t values, unsigned 16-bit code units on
// Windows, so the tuples order ordinally with a proper prefix first. A
// record's parameters always have its kind's count of strings.
bool StoredParamOrder::operator()(const StoredParamPtr& a, const StoredParamPtr& b) const {
  return std::tie(a->kind, a->params, a->loader_name, a->cfg_name) <
         std::tie(b->kind, b->params, b->loader_name, b->cfg_name);
}

void SaveRequest(StoredParamPtr record) {
  ModuleLockGuard lock;
  g_saved_requests.insert(std::move(record));
}

SavedRequestSet TakeSavedRequests() {
  SavedRequestSet taken;
  ModuleLockGuard lock;
  taken.swap(g_saved_requests);
  return taken;
}

}  // namespace pelorin
