#include "firefox/InstallPath.h"

#include <windows.h>

#include "base/Registry.h"
#include "base/UniqueHandle.h"
#include "files/TextConversion.h"

namespace pelorin {

namespace {

// The path names the 32-bit registration area itself, so no view flag is
// added: Firefox's installer registers there on 64-bit Windows.
constexpr DWORD kNameBufferChars = MAX_PATH;

// `text` with its environment variables expanded, or an empty string when
// the result with its terminator is longer than `max_chars`.
std::wstring ExpandedWithin(const std::wstring& text, DWORD max_chars) {
  std::wstring expanded(max_chars, L'\0');
  DWORD needed = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), max_chars);
  if (needed == 0 || needed > max_chars) return std::wstring();
  expanded.resize(needed - 1);
  return expanded;
}

// The first subkey in enumeration order whose lower-cased name contains
// "firefox", or an empty string.
std::wstring FindFirefoxSubkey(HKEY browsers) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameBufferChars];
    DWORD length = kNameBufferChars;
    if (RegEnumKeyExW(browsers, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return std::wstring();
    }
    std::wstring lowered = AsciiLower(std::wstring(name, length));
    if (lowered.find(L"firefox") != std::wstring::npos) return lowered;
  }
}

}  // namespace

// The rules of RegGetValueW with RRF_RT_REG_SZ and a MAX_PATH buffer, which
// this read has always followed: REG_SZ data must fit MAX_PATH characters as
// stored; REG_EXPAND_SZ data is expanded first (its stored length does not
// matter) and must fit with its terminator. The command ends at its first NUL.
std::wstring ReadOpenCommand(HKEY browsers, const std::wstring& subkey) {
  std::wstring command_path = subkey + L"\\shell\\open\\command";
  unique_hkey command_key;
  if (RegOpenKeyExW(browsers, command_path.c_str(), 0, KEY_QUERY_VALUE, command_key.put()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  RegistryRead read = ReadRegistryValue(command_key.get(), nullptr, {REG_SZ, REG_EXPAND_SZ}, kAnyRegistryLength);
  if (read.status != ERROR_SUCCESS || !read.value) return std::wstring();
  const RegistryValue& value = *read.value;
  if (value.type == REG_EXPAND_SZ) return ExpandedWithin(value.Text(), MAX_PATH);
  if (value.units.size() > MAX_PATH) return std::wstring();
  std::wstring command = value.Text();
  // Data that fills the buffer without a NUL leaves no room for one.
  if (command.size() == MAX_PATH) return std::wstring();
  return command;
}

std::wstring InstallDirectoryFromCommand(const std::wstring& command) {
  if (command.size() < 2) return std::wstring();
  size_t last_backslash = command.rfind(L'\\');
  if (last_backslash == std::wstring::npos) return command.substr(1);
  if (last_backslash <= 1) return std::wstring();
  return command.substr(1, last_backslash - 1);
}

std::wstring FindFirefoxInstallPath() {
  unique_hkey browsers;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBrowserListKey, 0, KEY_READ, browsers.put()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  std::wstring subkey = FindFirefoxSubkey(browsers.get());
  if (subkey.empty()) return std::wstring();
  return InstallDirectoryFromCommand(ReadOpenCommand(browsers.get(), subkey));
}

}  // namespace pelorin
