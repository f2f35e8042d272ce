#include "base/Log.h"

namespace pelorin {

namespace {
// Written once by PelorinInitialize before other threads call in, so a plain
// pointer is enough.
LogFunction g_log_slot = nullptr;
}  // namespace

void SetLogFunction(LogFunction function) noexcept { g_log_slot = function; }

bool IsLogSet() noexcept { return g_log_slot != nullptr; }

void Log(const wchar_t* message) noexcept {
  if (g_log_slot != nullptr) g_log_slot(message);
}

}  // namespace pelorin
