// The autoconfig file in Firefox's installation directory: the locked
// preferences of the web-protection modes, marked with the banner so that
// the library's own lines can be told from a user's.
#pragma once

#include <cstdint>
#include <string>

namespace pelorin {

// Mode flag 1: direct connect (certificate checks relaxed as well); 0: proxy
// connect. Creates or updates the file, keeping foreign lines, and records
// its path. Once any file has been found up to date, every later call in this
// process only logs. Returns 0.
int WriteAutoconfigFile(std::wstring path, int32_t mode);

// Whether the file already holds every line the mode needs; `agent_config`
// nonzero adds the extension-scope lines and the inline-proxy rule.
bool IsAutoconfigUpToDate(const std::wstring& path, int32_t mode, int32_t agent_config);

}  // namespace pelorin
