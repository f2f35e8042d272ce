#include "modes/Cleanup.h"

#include "agent/RegistryRecords.h"
#include "autoconfig/CfgCleanup.h"
#include "base/ModuleLock.h"
#include "lines/FileEdits.h"

namespace pelorin {

void UninstallCleanUp(bool only_proxy) {
  const std::wstring path = ReadCfgFilePath();
  if (path.empty()) return;
  ModuleLockGuard lock;
  FileEdits files;
  CleanAutoconfigFile(files, path, only_proxy);
  files.Commit();
}

}  // namespace pelorin
