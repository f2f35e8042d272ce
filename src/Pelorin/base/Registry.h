// The library's one way to read a registry value: whole, whatever its
// length, with the types and length each caller accepts named at the call.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>

namespace pelorin {

// The stored types a read accepts. Listed types are the REG_* constants;
// Any() also takes types no constant names, such as a vendor's own number.
class RegistryTypes {
 public:
  RegistryTypes(std::initializer_list<DWORD> types) noexcept;
  static RegistryTypes Any() noexcept;

  bool Accepts(DWORD type) const noexcept;

 private:
  RegistryTypes() noexcept = default;

  uint32_t listed_ = 0;
  bool any_ = false;
};

// For `max_units`: the data may be as long as the registry allows.
inline constexpr size_t kAnyRegistryLength = std::numeric_limits<size_t>::max();

struct RegistryValue {
  DWORD type = REG_NONE;
  // The size as stored, which may be odd.
  DWORD bytes = 0;
  // The data as UTF-16 code units, taken as they are whatever the type: a
  // REG_DWORD becomes two units, an odd last byte the low byte of a last
  // unit whose high byte is 0. No terminator is added.
  std::wstring units;

  // The units before the first NUL, as a C string reader would take them.
  std::wstring Text() const;
};

struct RegistryRead {
  // ERROR_SUCCESS also when the value is absent. A type not accepted gives
  // ERROR_UNSUPPORTED_TYPE, data longer than allowed ERROR_MORE_DATA, as a
  // buffer of that length would; anything else is the registry's status.
  LONG status = ERROR_SUCCESS;
  // Empty when the value is absent or the read failed.
  std::optional<RegistryValue> value;
};

// Reads the value `name` (null: the key's default value) of an open key.
// The size is asked first; when the value grows before its data is read,
// the read starts again with the new size.
RegistryRead ReadRegistryValue(HKEY key, const wchar_t* name, RegistryTypes types, size_t max_units);

// The same for a value under `subkey` of `root`, opened to query values only;
// a missing key reads as an absent value.
RegistryRead ReadRegistryValue(HKEY root, const wchar_t* subkey, const wchar_t* name, RegistryTypes types,
                               size_t max_units);

}  // namespace pelorin
