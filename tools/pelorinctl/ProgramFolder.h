#pragma once

#include <string>

namespace pelorinctl {

// The folder of pelorinctl.exe, without a trailing backslash: the library
// and its logging DLL are taken from there, never from the search path.
std::wstring ProgramFolder();
std::wstring LibraryPath();

}  // namespace pelorinctl
