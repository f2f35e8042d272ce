#include "firefox/PrefDirectory.h"

#include <windows.h>

#include <iterator>

#include "base/ModuleLock.h"
#include "base/UniqueHandle.h"
#include "lines/Lines.h"

namespace pelorin {

namespace {

constexpr wchar_t kJsExtension[] = L".js";

// The search pattern is looser than this rule: a name counts only when its
// first ".js" ends it, so "a.js.js" does not.
bool IsListedName(const std::wstring& lowered) {
  const size_t found = lowered.find(kJsExtension);
  if (found == std::wstring::npos || found + std::size(kJsExtension) - 1 != lowered.size()) return false;
  return lowered != CHANNEL_PREFS_NAME;
}

}  // namespace

void ListPrefJsFiles(const std::wstring& dir, PrefNameSet& names) {
  ModuleLockGuard lock;
  names.clear();
  const std::wstring pattern = dir + L"\\*.js";
  WIN32_FIND_DATAW entry;
  unique_find search(FindFirstFileW(pattern.c_str(), &entry));
  if (!search) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    std::wstring lowered = AsciiLower(entry.cFileName);
    if (IsListedName(lowered)) names.insert(std::move(lowered));
  } while (FindNextFileW(search.get(), &entry));
}

}  // namespace pelorin
