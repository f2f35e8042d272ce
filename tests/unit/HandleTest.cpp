// The owning handle types: every handle closed exactly once, empty ones never.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "pelorin/UniqueHandle.h"

namespace {

std::vector<HANDLE> g_closed;
BOOL WINAPI RecordClose(HANDLE handle) {
  g_closed.push_back(handle);
  return TRUE;
}
using NullEmpty = pelorin::unique_any<HANDLE, decltype(&RecordClose), RecordClose>;
using InvalidEmpty =
    pelorin::unique_any<HANDLE, decltype(&RecordClose), RecordClose, pelorin::invalid_handle_value_policy>;
HANDLE Fake(uintptr_t value) { return reinterpret_cast<HANDLE>(value); }

// CreateFileW fails with INVALID_HANDLE_VALUE, RegOpenKeyExW leaves null:
// each kind must take only its own empty value as empty.
TEST(UniqueHandle, EveryHandleGivenUpIsClosedOnceAndNoEmptyOne) {
  g_closed.clear();
  {
    NullEmpty reset(Fake(1));
    reset.reset(Fake(2));
    NullEmpty released(Fake(3));
    EXPECT_EQ(released.release(), Fake(3));
    NullEmpty moved_from(Fake(4));
    NullEmpty moved_to(std::move(moved_from));
    NullEmpty assigned(Fake(5));
    assigned = std::move(moved_to);
    NullEmpty filled(Fake(6));
    *filled.put() = Fake(7);
    EXPECT_EQ(g_closed, (std::vector<HANDLE>{Fake(1), Fake(5), Fake(6)}));
    NullEmpty null_default;
    InvalidEmpty invalid_default;
    InvalidEmpty failed_open(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(null_default || invalid_default || failed_open || released);
    EXPECT_TRUE(InvalidEmpty(Fake(8)));
  }
  std::sort(g_closed.begin(), g_closed.end());
  EXPECT_EQ(g_closed, (std::vector<HANDLE>{Fake(1), Fake(2), Fake(4), Fake(5), Fake(6), Fake(7), Fake(8)}));
}

}  // namespace
