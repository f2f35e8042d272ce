// Firefox's defaults\pref directory: which preference files are there, in
// which order the library visits them.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace pelorin {

// <install_dir>\defaults\pref\, where Firefox's preference files and the
// loader file live; with its separator, so a file name follows directly.
inline std::wstring PrefDirOf(const std::wstring& install_dir) { return install_dir + L"\\defaults\\pref\\"; }

// Firefox reads this file itself on every start; the scan leaves it out so
// that the library visits it last.
inline constexpr wchar_t kChannelPrefsName[] = L"channel-prefs.js";

// Lower-cased file names, ordered by UTF-16 code unit ("!.js" first), each
// with its name as the folder spells it: a file rewritten under another
// spelling would take it, and Firefox orders its preference files by case.
using PrefNameSet = std::map<std::wstring, std::wstring>;

// Clears `names` and fills it with the *.js files of `dir` (not
// "channel-prefs.js", not directories, not names with ".js" elsewhere).
// Returns whether `dir` also holds a temporary file a killed write left,
// seen in the same listing: under Wine every listing reads the whole folder.
bool ListPrefJsFiles(const std::wstring& dir, PrefNameSet& names);

// The files Firefox itself reads from `dir`, as named, in the order it reads
// them; a later file's value replaces an earlier one's.
std::vector<std::wstring> ListPrefFilesInReadingOrder(const std::wstring& dir);

}  // namespace pelorin
