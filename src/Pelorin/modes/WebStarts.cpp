#include "modes/WebStarts.h"

#include <memory>
#include <utility>

#include "autoconfig/AutoconfigFile.h"
#include "autoconfig/LoaderFile.h"
#include "autoconfig/LoaderLines.h"
#include "base/Boundary.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "firefox/InstallPath.h"
#include "lines/FileEdits.h"
#include "modes/SavedRequests.h"

namespace pelorin {

namespace {

struct StartNames {
  std::wstring loader;
  std::wstring cfg;
};

StartNames DefaultedNames(const std::wstring& loader_name, const std::wstring& cfg_name) {
  return {NameOrDefault(loader_name, kDefaultLoaderName), NameOrDefault(cfg_name, kDefaultCfgName)};
}

// Stale loader lines go first, so that only the loader file written next
// names an autoconfig file.
void WriteModeFiles(const std::wstring& install_dir, const StartNames& names, WebMode mode, bool replay) {
  ModuleLockGuard lock;
  FileEdits files;
  StripPrefDirectory(files, install_dir);
  WriteLoaderFile(files, install_dir + L"\\defaults\\pref\\" + names.loader, names.cfg, replay);
  // A replay at unload only restores the loader file; the autoconfig file
  // stays as the host's own start left it.
  if (!replay) WriteAutoconfigFile(files, install_dir + L"\\" + names.cfg, mode);
  files.Commit();
}

}  // namespace

int32_t StartZarn(const std::wstring& loader_name, const std::wstring& cfg_name, bool replay) {
  const std::wstring install_dir = FindFirefoxInstallPath();
  if (install_dir.empty()) {
    Log(L"PelorinZARNFFStart firefox install path is empty.");
    return -1;
  }
  WriteModeFiles(install_dir, DefaultedNames(loader_name, cfg_name), WebMode::kDirectConnect, replay);
  return 0;
}

int32_t StartTovk(const StartParams& params, const std::wstring& loader_name, const std::wstring& cfg_name,
                  bool replay) {
  const std::wstring install_dir = FindFirefoxInstallPath();
  if (install_dir.empty()) {
    Log(L"PelorinTOVKFFStart firefox install path is empty.");
    return -1;
  }
  StartNames names = DefaultedNames(loader_name, cfg_name);
  WriteModeFiles(install_dir, names, WebMode::kProxyConnect, replay);
  Log(L"Finished TOVK FF extension operation.\r\n");

  auto record = std::make_shared<ff_stored_param>();
  record->kind = WebMode::kProxyConnect;
  record->params = params;
  record->loader_name = std::move(names.loader);
  record->cfg_name = std::move(names.cfg);
  SaveRequest(std::move(record));
  return 0;
}

void ReplaySavedRequests() {
  const SavedRequestSet records = TakeSavedRequests();
  for (StoredParamPtr record : records) {
    // One failing replay must not keep the others from running.
    CatchAtBoundary(-1, [&record] {
      return record->kind == WebMode::kProxyConnect
                 ? StartTovk(record->params, record->loader_name, record->cfg_name, true)
                 : StartZarn(record->loader_name, record->cfg_name, true);
    });
  }
}

}  // namespace pelorin
