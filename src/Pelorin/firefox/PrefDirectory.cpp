#include "firefox/PrefDirectory.h"

#include <windows.h>

#include <iterator>

#include "autoconfig/LoaderFile.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "base/UniqueHandle.h"
#include "firefox/InstallPath.h"
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

void EnsureDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    // A failure shows later as an empty scan.
    CreateDirectoryW(path.c_str(), nullptr);
  }
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

int GetFFVersionAndCfg(const std::wstring& id, std::wstring* loader_name, std::wstring* cfg_name) {
  ModuleLockGuard lock;
  // The host must have initialised the library; the id itself means
  // nothing here.
  if (id.empty() || !IsLogSet()) return 0;
  if (loader_name == nullptr && cfg_name == nullptr) return 1;

  const std::wstring install_dir = FindFirefoxInstallPath();
  if (install_dir.empty()) return 1;
  const std::wstring defaults_dir = install_dir + L"\\defaults";
  EnsureDirectory(defaults_dir);
  const std::wstring pref_dir = defaults_dir + L"\\pref";
  EnsureDirectory(pref_dir);

  PrefNameSet names;
  ListPrefJsFiles(pref_dir, names);
  if (names.empty()) return 1;
  // The library's loader name "!.js" sorts before any letter or digit, so
  // the first name is the loader file when there is one.
  const std::wstring& first = *names.begin();
  if (loader_name != nullptr) *loader_name = first;
  if (cfg_name != nullptr) *cfg_name = ReadLoaderCfgName(pref_dir + L"\\" + first);
  return 1;
}

}  // namespace pelorin
