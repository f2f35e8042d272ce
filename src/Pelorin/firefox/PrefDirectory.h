// Firefox's defaults\pref directory: which preference files are there, in
// which order the library visits them.
#pragma once

#include <set>
#include <string>

namespace pelorin {

// Lower-cased file names, ordered by UTF-16 code unit ("!.js" first).
using PrefNameSet = std::set<std::wstring>;

// Clears `names` and fills it with the *.js files of `dir` (not
// "channel-prefs.js", not directories, not names with ".js" elsewhere).
void ListPrefJsFiles(const std::wstring& dir, PrefNameSet& names);

// Strips the library's loader lines from every listed file and then from
// "channel-prefs.js". Returns 1.
int StripPrefDirectory(const std::wstring& install_dir);

// The work of the export PelorinGetFFVersionAndCfg.
int GetFFVersionAndCfg(const std::wstring& id, std::wstring* loader_name, std::wstring* cfg_name);

}  // namespace pelorin
