#include "firefox/PrefDirectory.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <iterator>

#include "base/ModuleLock.h"
#include "base/UniqueHandle.h"
#include "files/FileContent.h"
#include "files/TextConversion.h"

namespace pelorin {

namespace {

constexpr wchar_t kJsExtension[] = L".js";

// The search pattern is looser than this rule: a name counts only when its
// first ".js" ends it, so "a.js.js" does not.
bool IsListedName(const std::wstring& lowered) {
  const size_t found = lowered.find(kJsExtension);
  if (found == std::wstring::npos || found + std::size(kJsExtension) - 1 != lowered.size()) return false;
  return lowered != kChannelPrefsName;
}

// Established with Firefox ESR: it reads every file whose name ends in
// ".js" in any letter case (".hidden.js", "x.JS" and "a.js.js" too, not
// "x.js.bak"), channel-prefs.js among them.
bool IsReadByFirefox(const std::wstring& name) { return EndsWithAsciiLower(name, kJsExtension); }

// The callers hold a folder with or without its last separator.
std::wstring EverythingIn(const std::wstring& dir) {
  return dir + (!dir.empty() && dir.back() == L'\\' ? L"*" : L"\\*");
}

}  // namespace

bool ListPrefJsFiles(const std::wstring& dir, PrefNameSet& names) {
  ModuleLockGuard lock;
  names.clear();
  bool leftovers = false;
  WIN32_FIND_DATAW entry;
  unique_find search(FindFirstFileW(EverythingIn(dir).c_str(), &entry));
  if (!search) return false;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    leftovers = leftovers || IsTemporaryName(entry.cFileName);
    std::wstring lowered = AsciiLower(entry.cFileName);
    if (IsListedName(lowered)) names.emplace(std::move(lowered), entry.cFileName);
  } while (FindNextFileW(search.get(), &entry));
  return leftovers;
}

std::vector<std::wstring> ListPrefFilesInReadingOrder(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  unique_find search(FindFirstFileW(EverythingIn(dir).c_str(), &entry));
  if (!search) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsReadByFirefox(entry.cFileName)) {
      names.emplace_back(entry.cFileName);
    }
  } while (FindNextFileW(search.get(), &entry));
  // Established with Firefox ESR: names compared character by character,
  // case-sensitive, read from the greatest to the least, so "!.js" comes
  // last and wins over "channel-prefs.js", "Z.js" and "0.js".
  std::sort(names.begin(), names.end(), std::greater<std::wstring>());
  return names;
}

}  // namespace pelorin
