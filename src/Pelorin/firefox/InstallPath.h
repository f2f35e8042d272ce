// Where Firefox is installed, from its start-menu registration.
#pragma once

#include <windows.h>

#include <string>

namespace pelorin {

// Under HKLM: the 32-bit view of the start-menu registrations, where the
// library looks for Firefox.
inline constexpr wchar_t kBrowserListKey[] = L"SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet";

// The installation directory without a trailing backslash, or an empty
// string when Firefox is not registered. Reads the registry only.
std::wstring FindFirefoxInstallPath();

// The "shell\\open\\command" of one start-menu registration under `browsers`,
// read as Firefox's own registration always has been; empty when missing.
std::wstring ReadOpenCommand(HKEY browsers, const std::wstring& subkey);

// The directory part of a registered command: from its second character (the
// opening quote is skipped unexamined) up to its last backslash.
std::wstring InstallDirectoryFromCommand(const std::wstring& command);

}  // namespace pelorin
