#include "modes/DlpStart.h"

#include "agent/AgentConfig.h"
#include "autoconfig/DlpAutoconfig.h"
#include "autoconfig/DlpLoader.h"
#include "autoconfig/LoaderFile.h"
#include "autoconfig/LoaderLines.h"
#include "base/Log.h"
#include "base/ModuleLock.h"
#include "firefox/InstallPath.h"
#include "lines/FileEdits.h"

namespace pelorin {

namespace {

// May switch `cfg_name` to the shared autoconfig name.
void UpdateLoaderFile(FileEdits& files, const std::wstring& install_dir, const std::wstring& js_name,
                      std::wstring& cfg_name) {
  const std::wstring loader_path = install_dir + L"\\defaults\\pref\\" + js_name;
  if (IsDlpLoaderUpToDate(files, loader_path, cfg_name)) {
    Log(L"FF extension JS file already updated.");
    return;
  }
  // Only one preference file may name an autoconfig file, or Firefox reads
  // whichever comes last.
  StripPrefDirectory(files, install_dir);
  WriteDlpLoaderFile(files, loader_path, cfg_name);
  Log(L"FF extension updated JS file: " + js_name);
}

void UpdateAutoconfigFile(FileEdits& files, const std::wstring& install_dir, const std::wstring& cfg_name) {
  const std::wstring cfg_path = install_dir + L"\\" + cfg_name;
  if (IsDlpAutoconfigUpToDate(files, cfg_path)) {
    Log(L"FF extension CFG file already updated.");
    return;
  }
  WriteDlpAutoconfigFile(files, cfg_path);
  Log(L"FF extension updated CFG file: " + cfg_name);
}

}  // namespace

int32_t DlpStart(const std::wstring& js_name, const std::wstring& cfg_name) {
  // Held across both files, so that no other start rewrites the loader file
  // between this check and this write.
  ModuleLockGuard lock;
  const std::wstring install_dir = FindFirefoxInstallPath();
  if (install_dir.empty()) {
    Log(L"firefox install path is empty.");
    return -1;
  }
  // An agent installed with RvClientConfig.qcf does not use DLP mode; the
  // probe's second answer (the proxy configuration) is not needed here.
  if (IsRvClientConfigPresent(nullptr)) return 0;

  const std::wstring loader_name = NameOrDefault(js_name, kDefaultLoaderName);
  std::wstring autoconfig_name = NameOrDefault(cfg_name, kDefaultCfgName);
  FileEdits files;
  UpdateLoaderFile(files, install_dir, loader_name, autoconfig_name);
  Log(L"FF extension ff_install_path_");
  Log(install_dir);
  UpdateAutoconfigFile(files, install_dir, autoconfig_name);
  files.Commit();
  Log(L"Finished DLP FF extension operation.");
  return 1;
}

}  // namespace pelorin
