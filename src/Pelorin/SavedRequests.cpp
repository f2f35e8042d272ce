#include "SavedRequests.h"

#include <tuple>
#include <utility>

#include "base/ModuleLock.h"

namespace pelorin {

namespace {

// Records still saved at unload are released by the set's destructor, which
// must run while the lock still exists: touching the lock first constructs
// it before the set, so it is destroyed after it.
ModuleLock& g_lock_before_set = module_lock();

SavedRequestSet g_saved_requests;

}  // namespace

// std::wstring compares wchar_t values, unsigned 16-bit code units on
// Windows, so the tuples order ordinally with a proper prefix first.
bool StoredParamOrder::operator()(const StoredParamPtr& a, const StoredParamPtr& b) const {
  if (a->kind != b->kind) return a->kind < b->kind;
  if (a->kind == 0) {
    return std::tie(a->tovk.value1, a->tovk.value2, a->tovk.value3, a->loader_name, a->cfg_name) <
           std::tie(b->tovk.value1, b->tovk.value2, b->tovk.value3, b->loader_name, b->cfg_name);
  }
  return std::tie(a->zarn.value1, a->zarn.value2, a->zarn.value3, a->zarn.value4, a->loader_name, a->cfg_name) <
         std::tie(b->zarn.value1, b->zarn.value2, b->zarn.value3, b->zarn.value4, b->loader_name, b->cfg_name);
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
