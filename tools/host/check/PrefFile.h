// A preference file of defaults\pref or browser\defaults\preferences, read
// as Firefox's preference parser reads it: a token stream, not lines, so a
// statement may span lines or share one, and "//", "#" and "/* */" comments,
// a UTF-8 byte order mark and any line end are taken as Firefox takes them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/Statements.h"

namespace pelorin {

struct PrefFileStatement {
  bool user = false;    // user_pref: a user value, not a default
  bool locked = false;  // lockPref, or the locked attribute
  std::string name;
  PrefValue value;  // strings with their escapes resolved as Firefox resolves them
};

// Established with Firefox ESR: a statement Firefox cannot parse is dropped
// with everything up to the next ";", and the file goes on after it; a
// last statement without its ";" is dropped.
std::vector<PrefFileStatement> ParsePrefFile(std::string_view content);

}  // namespace pelorin
