// The module lock: one process-wide, re-entrant critical section. Every
// operation that reads and rewrites a Firefox file or the agent's registry
// key holds it for its whole read-edit-write sequence.
#pragma once

#include <windows.h>

namespace pelorin {

class ModuleLock {
 public:
  ModuleLock() noexcept { InitializeCriticalSection(&section_); }
  ~ModuleLock() { DeleteCriticalSection(&section_); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;

  void Enter() noexcept { EnterCriticalSection(&section_); }
  void Leave() noexcept { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// The one instance, created on first use. Module-wide state that must be
// released before the lock is deleted touches it first in its own
// initialiser, so that the lock is constructed earlier and destroyed later.
ModuleLock& TheModuleLock() noexcept;

class ModuleLockGuard {
 public:
  ModuleLockGuard() noexcept { TheModuleLock().Enter(); }
  ~ModuleLockGuard() { TheModuleLock().Leave(); }
  ModuleLockGuard(const ModuleLockGuard&) = delete;
  ModuleLockGuard& operator=(const ModuleLockGuard&) = delete;
};

}  // namespace pelorin
