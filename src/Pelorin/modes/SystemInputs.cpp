#include "modes/SystemInputs.h"

#include "agent/AgentConfig.h"
#include "agent/RegistryRecords.h"
#include "files/TextConversion.h"
#include "firefox/InstallPath.h"
#include "proxy/InlineProxy.h"

namespace pelorin {

std::wstring SystemInputs::FirefoxInstallDir() { return FindFirefoxInstallPath(); }

PrefNameSet SystemInputs::PrefJsFiles(const std::wstring& pref_dir) {
  PrefNameSet names;
  leftovers_.Know(FolderKey::OfFolder(pref_dir), ListPrefJsFiles(pref_dir, names));
  return names;
}

// Windows compares paths without regard to case, so "Custom.JS" named by
// the host and "custom.js" found by the scan are one file.
const FileRead& SystemInputs::Read(const std::wstring& path) {
  std::unique_ptr<FileRead>& read = reads_[AsciiLower(path)];
  if (!read) {
    read = std::make_unique<FileRead>(ReadFileRefusingLinks(path));
    read_paths_.push_back(path);
  }
  return *read;
}

const FolderCheck& SystemInputs::Folder(const std::wstring& path) {
  const auto [found, inserted] = folders_.try_emplace(AsciiLower(path));
  if (inserted) found->second = CheckFolder(path);
  return found->second;
}

bool SystemInputs::ClientConfigPresent() { return IsClientConfigPresent(); }

// The probe's second answer, the proxy configuration, is not needed here.
bool SystemInputs::RvClientConfigPresent() { return IsRvClientConfigPresent(); }

bool SystemInputs::InlineProxyEnabled(Messages& messages) { return IsInlineProxyEnabled(messages); }

std::wstring SystemInputs::RecordedCfgPath() { return ReadCfgFilePath(); }

std::optional<std::wstring> SystemInputs::RecordedValue(RecordName name) { return ReadRecord(name); }

}  // namespace pelorin
