// The uninstall cleanup's writer: takes the library's lines out of an
// autoconfig file, or only the two proxy lines when just the proxy lock is to
// go.
#pragma once

#include <string>
#include <string_view>

#include "lines/FileEdits.h"

namespace pelorin {

// The line holds CFG_LINE_PROXY_TYPE or CFG_LINE_NO_PROXIES, banner included.
bool IsProxyLine(std::string_view line);

// The line holds any of the seven autoconfig line constants, banner included.
bool IsOwnAutoconfigLine(std::string_view line);

// Removes the chosen lines and the blank ones and makes the file begin with
// "//". A missing file stays missing.
void CleanAutoconfigFile(FileEdits& files, const std::wstring& path, bool only_proxy);

}  // namespace pelorin
