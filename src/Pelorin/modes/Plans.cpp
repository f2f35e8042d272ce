#include "modes/Plans.h"

#include <optional>
#include <utility>
#include <vector>

#include "autoconfig/CfgContent.h"
#include "autoconfig/LoaderContent.h"
#include "autoconfig/LoaderLines.h"
#include "files/TextConversion.h"

namespace pelorin {

namespace {

bool Exists(const FileRead& read) { return read.outcome != FileRead::kMissing; }

void AddFile(Outcome& outcome, FileRole role, const std::wstring& path, const FileRead& before, Content after) {
  FileChange& change = outcome.files.emplace_back(FileChange{role, path, &before, std::move(after)});
  if (before.outcome == FileRead::kRefused) change.refused = FailedStep{before.step, before.error};
}

void AddRecord(Inputs& inputs, Outcome& outcome, RecordName name, std::wstring value, FileRole file) {
  outcome.records.push_back({name, std::move(value), file, inputs.RecordedValue(name)});
}

// Firefox's folder, once the start's names are plain and Firefox is found;
// empty, with the start's failure result, otherwise. A name that is not
// plain would lead the writes out of Firefox's folder, or give Firefox a
// loader line it cannot use, so it is refused before anything is read.
std::wstring StartInstallDir(Inputs& inputs, const ModeRow& row, const std::wstring& loader_name,
                             const std::wstring& cfg_name, Outcome& outcome) {
  if (const std::optional<RefusedName> refused = FindRefusedName(loader_name, cfg_name)) {
    outcome.messages.push_back(std::wstring(row.export_name) + L" " + RefusalSentence(*refused) + L".");
    outcome.result = -1;
    return std::wstring();
  }
  std::wstring install_dir = inputs.FirefoxInstallDir();
  if (install_dir.empty()) {
    outcome.messages.push_back(row.not_found_message);
    outcome.result = -1;
  }
  return install_dir;
}

// The folders from `root` down to the one that holds `path`.
std::vector<std::wstring> FoldersOnTheWay(const std::wstring& root, const std::wstring& path) {
  std::vector<std::wstring> folders{root};
  for (size_t end = path.find(L'\\', root.size() + 1); end != std::wstring::npos; end = path.find(L'\\', end + 1)) {
    folders.push_back(path.substr(0, end));
  }
  return folders;
}

// A folder that is a reparse point would take the writes below it
// elsewhere. Asked only for files to be written, so that a start that finds
// everything up to date opens no folder.
void RefuseBelowLinkedFolders(Inputs& inputs, const std::wstring& root, Outcome& outcome) {
  for (FileChange& change : outcome.files) {
    if (!change.Changed() || change.Blocker()) continue;
    for (const std::wstring& folder : FoldersOnTheWay(root, change.path)) {
      const FolderCheck& check = inputs.Folder(folder);
      if (check.step != nullptr) {
        change.refused = FailedStep{check.step, check.error};
        break;
      }
    }
  }
}

// Stale loader lines go from every preference file, so that only the loader
// file names an autoconfig file. The loader file is left to its writer, which
// strips it as it writes; returns whether the strip goes through it, and
// then spells `loader_path` as the folder does.
bool PlanStrips(Inputs& inputs, const std::wstring& install_dir, std::wstring& loader_path, Outcome& outcome) {
  const std::wstring pref_dir = PrefDirOf(install_dir);
  const PrefNameSet listed = inputs.PrefJsFiles(pref_dir);
  std::vector<std::wstring> names;
  for (const auto& [lowered, spelled] : listed) names.push_back(spelled);
  names.push_back(kChannelPrefsName);  // after every listed file, whether there or not
  bool loader_stripped = false;
  for (const std::wstring& name : names) {
    const std::wstring path = pref_dir + name;
    const FileRead& read = inputs.Read(path);
    if (AsciiLower(path) == AsciiLower(loader_path)) {
      loader_stripped = Exists(read);
      if (loader_stripped) loader_path = path;
    } else if (std::optional<Content> stripped = StripLoaderLines(read.bytes)) {
      AddFile(outcome, FileRole::kStripped, path, read, std::move(*stripped));
    } else if (read.outcome == FileRead::kRefused) {
      // Unread, it would change nothing; the link is reported all the same.
      AddFile(outcome, FileRole::kStripped, path, read, Content());
    }
  }
  return loader_stripped;
}

void PlanWebLoader(Inputs& inputs, const std::wstring& path, const std::wstring& cfg_name, bool replay, bool stripped,
                   Outcome& outcome) {
  const FileRead& read = inputs.Read(path);
  if (!Exists(read)) {
    // A replay at unload must not bring back a loader file that someone
    // removed since the start.
    if (!replay) AddFile(outcome, FileRole::kLoader, path, read, NewLoaderFile(FilenameLine(cfg_name)));
    return;
  }
  LoaderEdit edit = EditLoaderFile(read.bytes, FilenameLine(cfg_name), stripped);
  AddFile(outcome, FileRole::kLoader, path, read, std::move(edit.content));
  // An empty line means nothing foreign was found: an earlier record stays.
  if (!edit.previous_obscure.empty()) {
    AddRecord(inputs, outcome, RecordName::kObscureLine, Utf8ToWide(edit.previous_obscure), FileRole::kLoader);
  }
  if (!edit.previous_filename.empty()) {
    AddRecord(inputs, outcome, RecordName::kFilenameLine, Utf8ToWide(edit.previous_filename), FileRole::kLoader);
  }
}

// The autoconfig file as the mode wants it; false when it already is.
bool PlanCfgFile(Inputs& inputs, const ModeRow& row, const std::wstring& path, bool agent_config, Outcome& outcome) {
  const FileRead& read = inputs.Read(path);
  if (read.outcome == FileRead::kRefused) {
    AddFile(outcome, FileRole::kAutoconfig, path, read, Content());
    return true;
  }
  Messages& messages = outcome.messages;
  const InlineProxyQuestion inline_proxy = [&inputs, &messages] { return inputs.InlineProxyEnabled(messages); };
  if (Exists(read) && CfgHoldsModeLines(read.bytes, row, agent_config, inline_proxy)) return false;
  AddFile(outcome, FileRole::kAutoconfig, path, read,
          Exists(read) ? EditCfgFile(read.bytes, row, agent_config, inline_proxy, messages)
                       : NewCfgFile(row, agent_config, inline_proxy, messages));
  AddRecord(inputs, outcome, RecordName::kCfgPath, path, FileRole::kAutoconfig);
  return true;
}

void PlanWebFiles(Inputs& inputs, const ModeRow& row, const std::wstring& install_dir, const std::wstring& loader,
                  const std::wstring& cfg, bool replay, bool cfg_up_to_date, Outcome& outcome) {
  std::wstring loader_path = PrefDirOf(install_dir) + loader;
  const bool stripped = PlanStrips(inputs, install_dir, loader_path, outcome);
  PlanWebLoader(inputs, loader_path, cfg, replay, stripped, outcome);
  // A replay at unload only restores the loader file; the autoconfig file
  // stays as the host's own start left it.
  if (replay) return;
  if (cfg_up_to_date) {
    outcome.messages.push_back(L"FF config already up to date (flag set)");
    return;
  }
  const bool agent_config = inputs.ClientConfigPresent();
  if (!PlanCfgFile(inputs, row, install_dir + L"\\" + cfg, agent_config, outcome)) {
    outcome.messages.push_back(L"FF config already up to date (setting flag)");
    outcome.cfg_found_up_to_date = true;
  }
}

}  // namespace

Outcome PlanWebStart(Inputs& inputs, Mode mode, const std::wstring& loader_name, const std::wstring& cfg_name,
                     bool replay, bool cfg_up_to_date) {
  Outcome outcome;
  const ModeRow& row = RowOf(mode);
  const std::wstring install_dir = StartInstallDir(inputs, row, loader_name, cfg_name, outcome);
  if (install_dir.empty()) return outcome;
  PlanWebFiles(inputs, row, install_dir, NameOrDefault(loader_name, kDefaultLoaderName),
               NameOrDefault(cfg_name, kDefaultCfgName), replay, cfg_up_to_date, outcome);
  RefuseBelowLinkedFolders(inputs, install_dir, outcome);
  return outcome;
}

Outcome PlanDlpStart(Inputs& inputs, const std::wstring& loader_name, const std::wstring& cfg_name) {
  Outcome outcome;
  const ModeRow& row = RowOf(Mode::kDlp);
  const std::wstring install_dir = StartInstallDir(inputs, row, loader_name, cfg_name, outcome);
  if (install_dir.empty()) return outcome;
  // An agent installed with RvClientConfig.qcf does not use DLP mode.
  if (inputs.RvClientConfigPresent()) return outcome;
  outcome.result = 1;

  const std::wstring loader = NameOrDefault(loader_name, kDefaultLoaderName);
  std::wstring cfg = NameOrDefault(cfg_name, kDefaultCfgName);
  std::wstring loader_path = PrefDirOf(install_dir) + loader;
  const FileRead& read = inputs.Read(loader_path);
  if (Exists(read) && NamesCfgFile(read.bytes, FilenameLine(cfg))) {
    outcome.messages.push_back(L"FF extension JS file already updated.");
  } else {
    // Only one preference file may name an autoconfig file, or Firefox reads
    // whichever comes last.
    const bool stripped = PlanStrips(inputs, install_dir, loader_path, outcome);
    if (!Exists(read)) {
      AddFile(outcome, FileRole::kLoader, loader_path, read, NewLoaderFile(FilenameLine(cfg)));
    } else {
      DlpLoaderEdit edit = EditDlpLoaderFile(read.bytes, cfg, stripped);
      if (edit.shared_name) cfg = kDefaultCfgName;
      AddFile(outcome, FileRole::kLoader, loader_path, read, std::move(edit.content));
    }
    outcome.messages.push_back(L"FF extension updated JS file: " + loader);
  }
  outcome.messages.push_back(L"FF extension ff_install_path_");
  outcome.messages.push_back(install_dir);
  if (PlanCfgFile(inputs, row, install_dir + L"\\" + cfg, true, outcome)) {
    outcome.messages.push_back(L"FF extension updated CFG file: " + cfg);
  } else {
    outcome.messages.push_back(L"FF extension CFG file already updated.");
  }
  RefuseBelowLinkedFolders(inputs, install_dir, outcome);
  return outcome;
}

Outcome PlanCleanup(Inputs& inputs, bool only_proxy) {
  Outcome outcome;
  const std::wstring path = inputs.RecordedCfgPath();
  if (path.empty()) return outcome;
  const FileRead& read = inputs.Read(path);
  // The file is Firefox's, not ours: when the user removed it, it stays gone.
  if (!Exists(read)) return outcome;
  AddFile(outcome, FileRole::kAutoconfig, path, read, CleanCfgFile(read.bytes, only_proxy, outcome.messages));
  RefuseBelowLinkedFolders(inputs, path.substr(0, path.find_last_of(L"\\/")), outcome);
  return outcome;
}

}  // namespace pelorin
