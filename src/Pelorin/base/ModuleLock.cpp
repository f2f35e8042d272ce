#include "base/ModuleLock.h"

namespace pelorin {

ModuleLock& module_lock() noexcept {
  static ModuleLock lock;
  return lock;
}

}  // namespace pelorin
