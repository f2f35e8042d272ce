#include "proxy/PolicyReader.h"

#include <algorithm>
#include <utility>

#include "base/Registry.h"

namespace pelorin {

namespace {

constexpr wchar_t kValueName[] = L"ExtensionSettings";

}  // namespace

LONG read_extension_settings(HKEY& key, std::wstring& text) {
  RegistryRead read = ReadRegistryValue(key, kValueName, {REG_SZ, REG_MULTI_SZ}, kAnyRegistryLength);
  if (read.status == ERROR_UNSUPPORTED_TYPE) return ERROR_INVALID_DATA;
  if (read.status != ERROR_SUCCESS) return read.status;
  if (!read.value) return ERROR_FILE_NOT_FOUND;
  RegistryValue& value = *read.value;
  // Too short even for the terminator that the last character is taken to be.
  if (value.bytes < sizeof(wchar_t)) return ERROR_INVALID_DATA;

  // The last whole character of the data, normally its terminator, stays
  // outside the text, and so does an odd last byte.
  value.units.resize(value.bytes / sizeof(wchar_t) - 1);
  if (value.type == REG_MULTI_SZ) std::replace(value.units.begin(), value.units.end(), L'\0', L'\n');
  text = std::move(value.units);
  return ERROR_SUCCESS;
}

}  // namespace pelorin
