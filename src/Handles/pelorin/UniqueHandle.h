// Owning wrappers for Windows handles: one line per handle kind, each closing
// its handle exactly once with the function that kind needs. Header-only and
// shared: the library, the host tool and the tests link it as pelorin_handles.
#pragma once

#include <windows.h>

#include <utility>

namespace pelorin {

// Registry keys, service handles, modules, events, processes, threads and
// local allocations are empty when null.
struct null_handle_policy {
  template <typename Handle>
  static constexpr Handle invalid() noexcept {
    return nullptr;
  }
};

// CreateFileW and FindFirstFileW fail with INVALID_HANDLE_VALUE, and null is
// a handle they never return.
struct invalid_handle_value_policy {
  template <typename Handle>
  static Handle invalid() noexcept {
    return INVALID_HANDLE_VALUE;
  }
};

template <typename Handle, typename CloseFunction, CloseFunction close, typename Policy = null_handle_policy>
class unique_any {
 public:
  using pointer = Handle;

  unique_any() noexcept : value_(invalid()) {}
  explicit unique_any(pointer value) noexcept : value_(value) {}
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  ~unique_any() { reset(); }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != invalid(); }

  // For APIs that return the handle through an out parameter.
  pointer* put() noexcept {
    reset();
    return &value_;
  }

  pointer release() noexcept { return std::exchange(value_, invalid()); }

  void reset(pointer value = invalid()) noexcept {
    pointer old = std::exchange(value_, value);
    if (old != invalid()) close(old);
  }

 private:
  static pointer invalid() noexcept { return Policy::template invalid<pointer>(); }

  pointer value_;
};

using unique_handle = unique_any<HANDLE, decltype(&::CloseHandle), ::CloseHandle>;
using unique_file = unique_any<HANDLE, decltype(&::CloseHandle), ::CloseHandle, invalid_handle_value_policy>;
using unique_find = unique_any<HANDLE, decltype(&::FindClose), ::FindClose, invalid_handle_value_policy>;
using unique_hkey = unique_any<HKEY, decltype(&::RegCloseKey), ::RegCloseKey>;
using unique_sc_handle = unique_any<SC_HANDLE, decltype(&::CloseServiceHandle), ::CloseServiceHandle>;
using unique_module = unique_any<HMODULE, decltype(&::FreeLibrary), ::FreeLibrary>;
// What the security functions allocate for their caller: descriptors, SIDs, SID strings.
using unique_hlocal = unique_any<HLOCAL, decltype(&::LocalFree), ::LocalFree>;

}  // namespace pelorin
