// Everything an operation reads, behind one narrow interface: the operation
// decides its whole change from these answers before anything is written,
// so the same decision serves the library, a dry run and a test's table.
#pragma once

#include <optional>
#include <string>

#include "agent/RegistryRecords.h"
#include "base/Messages.h"
#include "files/FileContent.h"
#include "firefox/PrefDirectory.h"

namespace pelorin {

class Inputs {
 public:
  virtual ~Inputs() = default;

  // Firefox's installation directory, or empty when it is not registered.
  virtual std::wstring FirefoxInstallDir() = 0;
  // The *.js files of a defaults\pref directory, as the strip visits them.
  virtual PrefNameSet PrefJsFiles(const std::wstring& pref_dir) = 0;
  // A file read whole, once: a second question about the same file (paths
  // compared without regard to case, as Windows does) gets the first answer.
  virtual const FileRead& Read(const std::wstring& path) = 0;
  // A folder writes are to go below, checked once; what a check holds
  // stays held as long as the inputs, so through the writes.
  virtual const FolderCheck& Folder(const std::wstring& path) = 0;
  virtual bool ClientConfigPresent() = 0;
  virtual bool RvClientConfigPresent() = 0;
  // Adds its own failure messages each time it is asked.
  virtual bool InlineProxyEnabled(Messages& messages) = 0;
  // FFCFG as the cleanup takes it, or empty.
  virtual std::wstring RecordedCfgPath() = 0;
  // A record as stored, for the outcome to show what a write replaces.
  virtual std::optional<std::wstring> RecordedValue(RecordName name) = 0;
};

}  // namespace pelorin
