// The autoconfig file in Firefox's installation directory: the locked
// preferences of the web-protection modes, marked with the banner so that
// the library's own lines can be told from a user's.
#pragma once

#include <string>

#include "lines/FileEdits.h"

namespace pelorin {

enum class WebMode {
  kProxyConnect,   // TOVK
  kDirectConnect,  // ZARN: certificate checks relaxed as well
};

// Creates or updates the file, keeping foreign lines, and records its path.
// Once any file has been found up to date, every later call in this process
// only logs.
void WriteAutoconfigFile(FileEdits& files, const std::wstring& path, WebMode mode);

}  // namespace pelorin
