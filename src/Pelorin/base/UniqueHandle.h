// Owning wrappers for Windows handles: one line per handle kind, each closing
// its handle exactly once with the function that kind needs.
#pragma once

#include <windows.h>

#include <utility>

namespace pelorin {

template <typename Traits>
class unique_any {
 public:
  using pointer = typename Traits::type;

  unique_any() noexcept : value_(Traits::invalid()) {}
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
  explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

  // For APIs that return the handle through an out parameter.
  pointer* put() noexcept {
    reset();
    return &value_;
  }

  pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

  void reset(pointer value = Traits::invalid()) noexcept {
    pointer old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }

 private:
  pointer value_;
};

struct file_handle_traits {
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type h) noexcept { ::CloseHandle(h); }
};

struct find_handle_traits {
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type h) noexcept { ::FindClose(h); }
};

struct reg_key_traits {
  using type = HKEY;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::RegCloseKey(h); }
};

struct sc_handle_traits {
  using type = SC_HANDLE;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::CloseServiceHandle(h); }
};

using unique_file = unique_any<file_handle_traits>;
using unique_find = unique_any<find_handle_traits>;
using unique_hkey = unique_any<reg_key_traits>;
using unique_sc_handle = unique_any<sc_handle_traits>;

}  // namespace pelorin
