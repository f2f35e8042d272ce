#include "firefox/InstallPath.h"

#include <windows.h>

#include "base/UniqueHandle.h"
#include "lines/Lines.h"

namespace pelorin {

namespace {

// The path names the 32-bit registration area itself, so no view flag is
// added: Firefox's installer registers there on 64-bit Windows.
constexpr wchar_t kBrowserListKey[] = L"SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet";
constexpr DWORD kNameBufferChars = MAX_PATH;

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

std::wstring ReadOpenCommand(HKEY browsers, const std::wstring& subkey) {
  std::wstring command_key = subkey + L"\\shell\\open\\command";
  wchar_t command[kNameBufferChars] = {};
  DWORD bytes = sizeof command;
  if (RegGetValueW(browsers, command_key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, command, &bytes) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  return std::wstring(command);
}

}  // namespace

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
