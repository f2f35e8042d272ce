#include "base/ModuleLock.h"

namespace pelorin {

ModuleLock& TheModuleLock() noexcept {
  static ModuleLock lock;
  return lock;
}

}  // namespace pelorin
