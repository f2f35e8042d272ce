// The owning handle types: every handle closed exactly once, empty ones never.
#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include "pelorin/UniqueHandle.h"

namespace {
// What was closed, in order; kScopeEnd marks where a case's last statement
// ran, so that closes by the destructors come after it.
std::vector<HANDLE> g_closed;
const HANDLE kScopeEnd = nullptr;
void MarkScopeEnd() { g_closed.push_back(kScopeEnd); }
BOOL WINAPI RecordClose(HANDLE handle) {
  g_closed.push_back(handle);
  return TRUE;
}
using NullEmpty = pelorin::unique_any<HANDLE, decltype(&RecordClose), RecordClose>;
using InvalidEmpty =
    pelorin::unique_any<HANDLE, decltype(&RecordClose), RecordClose, pelorin::invalid_handle_value_policy>;
const HANDLE kFirst = reinterpret_cast<HANDLE>(0x10);
const HANDLE kSecond = reinterpret_cast<HANDLE>(0x20);

TEST(UniqueHandle, EachOperationClosesWhatItGivesUp) {
  const struct {
    const char* operation;
    void (*run)();
    std::vector<HANDLE> closed;
  } cases[] = {
      {"reset to another",
       [] {
         NullEmpty owner(kFirst);
         owner.reset(kSecond);
         MarkScopeEnd();
       },
       {kFirst, kScopeEnd, kSecond}},
      {"released",
       [] {
         NullEmpty owner(kFirst);
         EXPECT_EQ(owner.release(), kFirst);
         EXPECT_FALSE(owner);
         MarkScopeEnd();
       },
       {kScopeEnd}},
      {"moved from",
       [] {
         NullEmpty from(kFirst);
         NullEmpty to(std::move(from));
         MarkScopeEnd();
       },
       {kScopeEnd, kFirst}},
      {"assigned over",
       [] {
         NullEmpty from(kFirst);
         NullEmpty to(kSecond);
         to = std::move(from);
         MarkScopeEnd();
       },
       {kSecond, kScopeEnd, kFirst}},
      {"filled through put",
       [] {
         NullEmpty owner(kFirst);
         *owner.put() = kSecond;
         MarkScopeEnd();
       },
       {kFirst, kScopeEnd, kSecond}},
  };
  for (const auto& c : cases) {
    g_closed.clear();
    c.run();
    EXPECT_EQ(g_closed, c.closed) << c.operation;
  }
}

// CreateFileW fails with INVALID_HANDLE_VALUE, RegOpenKeyExW leaves null:
// each kind must take only its own empty value as empty.
TEST(UniqueHandle, EmptyValueOfEachPolicyIsNeverClosed) {
  g_closed.clear();
  {
    NullEmpty null_default;
    InvalidEmpty invalid_default;
    InvalidEmpty failed_open(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(null_default);
    EXPECT_FALSE(invalid_default);
    EXPECT_FALSE(failed_open);
    EXPECT_EQ(invalid_default.get(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(InvalidEmpty(kFirst));
  }
  EXPECT_EQ(g_closed, std::vector<HANDLE>{kFirst});
}
}  // namespace
