#include "proxy/PolicyReader.h"

#include <algorithm>
#include <utility>

namespace pelorin {

namespace {

constexpr wchar_t kValueName[] = L"ExtensionSettings";

}  // namespace

LONG read_extension_settings(HKEY& key, std::wstring& text) {
  DWORD type = 0;
  DWORD bytes = 0;
  LONG status = RegQueryValueExW(key, kValueName, nullptr, &type, nullptr, &bytes);
  if (status != ERROR_SUCCESS) return status;
  // Too short even for the terminator that the last character is taken to be.
  if (bytes < sizeof(wchar_t)) return ERROR_INVALID_DATA;

  // The last character of the data, normally its terminator, stays outside
  // the text; rounding up gives an odd byte count room as well.
  const size_t length = bytes / sizeof(wchar_t) - 1;
  std::wstring read((bytes + 1) / sizeof(wchar_t), L'\0');
  DWORD capacity = bytes;
  status = RegQueryValueExW(key, kValueName, nullptr, &type, reinterpret_cast<BYTE*>(&read[0]), &capacity);
  if (status != ERROR_SUCCESS) return status;
  read.resize(length);

  if (type == REG_MULTI_SZ) {
    std::replace(read.begin(), read.end(), L'\0', L'\n');
  } else if (type != REG_SZ) {
    return ERROR_INVALID_DATA;
  }
  text = std::move(read);
  return ERROR_SUCCESS;
}

}  // namespace pelorin
