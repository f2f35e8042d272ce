#include "WebStarts.h"

#include <memory>
#include <utility>

#include "SavedRequests.h"
#include "autoconfig/AutoconfigFile.h"
#include "autoconfig/LoaderFile.h"
#include "autoconfig/LoaderLines.h"
#include "base/Boundary.h"
#include "base/Log.h"
#include "firefox/InstallPath.h"
#include "firefox/PrefDirectory.h"

namespace pelorin {

namespace {

constexpr int32_t kDirectConnectMode = 1;
constexpr int32_t kProxyConnectMode = 0;
constexpr int32_t kReplay = 1;

struct StartNames {
  std::wstring loader;
  std::wstring cfg;
};

StartNames DefaultedNames(const std::wstring& loader_name, const std::wstring& cfg_name) {
  return {NameOrDefault(loader_name, DEFAULT_LOADER_NAME), NameOrDefault(cfg_name, DEFAULT_CFG_NAME)};
}

// Stale loader lines go first, so that only the loader file written next
// names an autoconfig file. False when the loader file could not be written.
bool WriteModeFiles(const std::wstring& install_dir, const StartNames& names, int32_t mode, int32_t replay) {
  StripPrefDirectory(install_dir);
  if (WriteLoaderFile(install_dir + L"\\defaults\\pref\\" + names.loader, names.cfg, mode, replay) != 0) {
    return false;
  }
  // A replay at unload only restores the loader file; the autoconfig file
  // stays as the host's own start left it.
  if (replay == 0) WriteAutoconfigFile(install_dir + L"\\" + names.cfg, mode);
  return true;
}

}  // namespace

int32_t StartZarn(const ZarnStartParams*, const std::wstring& loader_name, const std::wstring& cfg_name,
                  int32_t replay) {
  const std::wstring install_dir = FindFirefoxInstallPath();
  if (install_dir.empty()) {
    Log(L"PelorinZARNFFStart firefox install path is empty.");
    return -1;
  }
  return WriteModeFiles(install_dir, DefaultedNames(loader_name, cfg_name), kDirectConnectMode, replay) ? 0 : -1;
}

int32_t StartTovk(const TovkStartParams* params, const std::wstring& loader_name, const std::wstring& cfg_name,
                  int32_t replay) {
  const std::wstring install_dir = FindFirefoxInstallPath();
  if (install_dir.empty()) {
    Log(L"PelorinTOVKFFStart firefox install path is empty.");
    return -1;
  }
  StartNames names = DefaultedNames(loader_name, cfg_name);
  if (!WriteModeFiles(install_dir, names, kProxyConnectMode, replay)) return -1;
  Log(L"Finished TOVK FF extension operation.\r\n");

  auto record = std::make_shared<ff_stored_param>();
  record->kind = 0;
  if (params != nullptr) record->tovk = *params;
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
      return record->kind == 0 ? StartTovk(&record->tovk, record->loader_name, record->cfg_name, kReplay)
                               : StartZarn(&record->zarn, record->loader_name, record->cfg_name, kReplay);
    });
  }
}

}  // namespace pelorin
