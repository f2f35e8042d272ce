#include "modes/VersionQuery.h"

#include <windows.h>

#include "autoconfig/LoaderContent.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "files/FileContent.h"
#include "firefox/InstallPath.h"
#include "firefox/PrefDirectory.h"

namespace pelorin {

namespace {

void EnsureDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    // A failure shows later as an empty scan.
    CreateDirectoryW(path.c_str(), nullptr);
  }
}

}  // namespace

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
  const std::wstring& first = names.begin()->first;
  if (loader_name != nullptr) *loader_name = first;
  if (cfg_name != nullptr) *cfg_name = CfgNameOfLoader(ReadFileContentW(pref_dir + L"\\" + first));
  return 1;
}

}  // namespace pelorin
