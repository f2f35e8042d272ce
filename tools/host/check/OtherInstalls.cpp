#include "check/OtherInstalls.h"

#include <windows.h>

#include "base/UniqueHandle.h"
#include "files/TextConversion.h"
#include "firefox/InstallPath.h"

namespace pelorin {

namespace {

struct Registration {
  HKEY root;
  REGSAM view;
  const wchar_t* key;
  const wchar_t* shown;
};

// The library manages the first Firefox of the 32-bit view of HKLM. A 64-bit
// installer registers in the other view, a per-user one under HKCU; either
// is a Firefox a user can start.
const Registration kRegistrations[] = {
    {HKEY_LOCAL_MACHINE, 0, kBrowserListKey, L"HKLM\\SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet"},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"SOFTWARE\\Clients\\StartMenuInternet",
     L"HKLM\\SOFTWARE\\Clients\\StartMenuInternet"},
    {HKEY_CURRENT_USER, 0, L"SOFTWARE\\Clients\\StartMenuInternet", L"HKCU\\SOFTWARE\\Clients\\StartMenuInternet"},
};

}  // namespace

std::vector<Finding> FindOtherInstalls(const std::wstring& managed_dir) {
  std::vector<Finding> findings;
  for (const Registration& registration : kRegistrations) {
    unique_hkey browsers;
    if (RegOpenKeyExW(registration.root, registration.key, 0, KEY_READ | registration.view, browsers.put()) !=
        ERROR_SUCCESS) {
      continue;
    }
    for (DWORD index = 0;; ++index) {
      wchar_t name[MAX_PATH];
      DWORD length = MAX_PATH;
      if (RegEnumKeyExW(browsers.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        break;
      }
      const std::wstring subkey(name, length);
      if (AsciiLower(subkey).find(L"firefox") == std::wstring::npos) continue;
      const std::wstring dir = InstallDirectoryFromCommand(ReadOpenCommand(browsers.get(), subkey));
      if (dir.empty() || AsciiLower(dir) == AsciiLower(managed_dir)) continue;
      findings.push_back({"other-install", std::wstring(registration.shown) + L"\\" + subkey,
                          "Another Firefox is registered in " + WideToUtf8(dir) +
                              " and is not under the agent's control: uninstall it or bring it under control, as a "
                              "user can browse with it unprotected."});
    }
  }
  return findings;
}

}  // namespace pelorin
