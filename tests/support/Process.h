// What this process holds, for tests that a call gives back what it takes.
#pragma once

#include <windows.h>

#include <cstdint>

namespace testing_support {

// Handles open in this process: Wine counts none, so each value is tried.
inline long OpenHandles() {
  long handles = 0;
  DWORD flags = 0;
  for (uintptr_t value = 4; value < (1u << 16); value += 4) {
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
  }
  return handles;
}

}  // namespace testing_support
