// The operations' inputs as this machine answers them: Firefox's
// registration, its files, the agent's installation and the inline proxy.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "files/FileContent.h"
#include "modes/Inputs.h"

namespace pelorin {

class SystemInputs : public Inputs {
 public:
  std::wstring FirefoxInstallDir() override;
  PrefNameSet PrefJsFiles(const std::wstring& pref_dir) override;
  const FileRead& Read(const std::wstring& path) override;
  const FolderCheck& Folder(const std::wstring& path) override;
  bool ClientConfigPresent() override;
  bool RvClientConfigPresent() override;
  bool InlineProxyEnabled(Messages& messages) override;
  std::wstring RecordedCfgPath() override;
  std::optional<std::wstring> RecordedValue(RecordName name) override;

  // Every file read, as first named, in the order read.
  const std::vector<std::wstring>& ReadPaths() const { return read_paths_; }
  // The folders listed so far, and whether each holds a leftover.
  const LeftoverRemover& Leftovers() const { return leftovers_; }

 private:
  // Each read stays where it is while more are added: a change set points
  // into it.
  std::map<std::wstring, std::unique_ptr<FileRead>> reads_;
  std::vector<std::wstring> read_paths_;
  std::map<std::wstring, FolderCheck> folders_;
  LeftoverRemover leftovers_;
};

}  // namespace pelorin
