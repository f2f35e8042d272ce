// Where Firefox is installed, from its start-menu registration.
#pragma once

#include <string>

namespace pelorin {

// The installation directory without a trailing backslash, or an empty
// string when Firefox is not registered. Reads the registry only.
std::wstring FindFirefoxInstallPath();

// The directory part of a registered command: from its second character (the
// opening quote is skipped unexamined) up to its last backslash.
std::wstring InstallDirectoryFromCommand(const std::wstring& command);

}  // namespace pelorin
