// Puts another function in a slot of the import table, so that a test can
// act between two of the library's own calls of a Windows function. The
// slot is read-only once loaded, hence the change of protection.
#pragma once

#include <windows.h>

#include <type_traits>

namespace testing_support {

template <typename Function>
void SetImportSlot(Function& slot, typename std::decay<Function>::type function) {
  DWORD old = 0;
  VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &old);
  slot = function;
  VirtualProtect(&slot, sizeof slot, old, &old);
}

}  // namespace testing_support
