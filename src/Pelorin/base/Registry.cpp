#include "base/Registry.h"

#include "base/UniqueHandle.h"

#include <algorithm>

namespace pelorin {

namespace {

// A value rewritten faster than it can be read is not waited for forever.
constexpr int kReadAttempts = 4;

size_t UnitsFor(DWORD bytes) { return (static_cast<size_t>(bytes) + 1) / sizeof(wchar_t); }

uint32_t TypeBit(DWORD type) { return type < 32 ? uint32_t{1} << type : 0; }

}  // namespace

RegistryTypes::RegistryTypes(std::initializer_list<DWORD> types) noexcept {
  for (DWORD type : types) listed_ |= TypeBit(type);
}

RegistryTypes RegistryTypes::Any() noexcept {
  RegistryTypes all;
  all.any_ = true;
  return all;
}

bool RegistryTypes::Accepts(DWORD type) const noexcept { return any_ || (listed_ & TypeBit(type)) != 0; }

std::wstring RegistryValue::Text() const {
  return std::wstring(units.begin(), std::find(units.begin(), units.end(), L'\0'));
}

RegistryRead ReadRegistryValue(HKEY key, const wchar_t* name, RegistryTypes types, size_t max_units) {
  DWORD bytes = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &bytes);
  for (int attempt = 1; status == ERROR_SUCCESS; ++attempt) {
    if (UnitsFor(bytes) > max_units || attempt > kReadAttempts) return RegistryRead{ERROR_MORE_DATA, std::nullopt};
    // Zero-filled, so that an odd last byte leaves its unit's high byte 0.
    std::wstring units(UnitsFor(bytes), L'\0');
    DWORD type = REG_NONE;
    DWORD capacity = bytes;
    status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(units.data()), &capacity);
    if (status == ERROR_SUCCESS) {
      if (!types.Accepts(type)) return RegistryRead{ERROR_UNSUPPORTED_TYPE, std::nullopt};
      // It may also have shrunk in between.
      units.resize(UnitsFor(capacity));
      return RegistryRead{ERROR_SUCCESS, RegistryValue{type, capacity, std::move(units)}};
    }
    // It grew in between: `capacity` is its new size.
    if (status == ERROR_MORE_DATA) {
      bytes = capacity;
      status = ERROR_SUCCESS;
    }
  }
  if (status == ERROR_FILE_NOT_FOUND) return RegistryRead{ERROR_SUCCESS, std::nullopt};
  return RegistryRead{status, std::nullopt};
}

RegistryRead ReadRegistryValue(HKEY root, const wchar_t* subkey, const wchar_t* name, RegistryTypes types,
                               size_t max_units) {
  unique_hkey key;
  const LONG status = RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return RegistryRead{};
  if (status != ERROR_SUCCESS) return RegistryRead{status, std::nullopt};
  return ReadRegistryValue(key.get(), name, types, max_units);
}

}  // namespace pelorin
