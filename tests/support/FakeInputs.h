// The operations' inputs as a test's table sets them: files by their path in
// a made-up Firefox folder, and the answers of the registry, the agent's
// folder and the inline-proxy check. No file system, registry or service.
#pragma once

#include <cwctype>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "modes/Inputs.h"

namespace testing_support {

inline constexpr wchar_t kFakeFirefox[] = L"C:\\Firefox";
// Stand for a file that is there but cannot be read whole, and for one that
// is a second name of another.
inline const std::string kUnreadable = "(unreadable)";
inline const std::string kLinked = "(linked)";
// Logged where the inline proxy is asked, as the real check logs each asking.
inline const std::wstring kProxyAsked = L"(inline proxy asked)";

// "defaults\\pref\\!.js" and the like, below the Firefox folder.
using Files = std::map<std::wstring, std::string>;

struct FakeInputs : pelorin::Inputs {
  Files files;
  bool registered = true;
  bool client_config = false;
  bool rv_config = false;
  bool inline_proxy = false;
  std::wstring recorded_cfg;                             // FFCFG below the folder; empty: not set
  std::map<pelorin::RecordName, std::wstring> recorded;  // as stored, for what a record replaces
  std::set<std::wstring> linked_folders;                 // below the folder; empty: the folder itself
  std::wstring install = kFakeFirefox;

  std::wstring Path(const std::wstring& relative) const {
    return relative.empty() ? install : install + L"\\" + relative;
  }
  static std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
  }

  std::wstring FirefoxInstallDir() override { return registered ? install : L""; }
  // Every *.js file of the folder but channel-prefs.js, lower-cased, with
  // its spelling.
  pelorin::PrefNameSet PrefJsFiles(const std::wstring& pref_dir) override {
    pelorin::PrefNameSet names;
    for (const auto& [relative, bytes] : files) {
      const std::wstring path = Path(relative);
      const std::wstring name = Lower(path.substr(pref_dir.size()));
      if (Lower(path).rfind(Lower(pref_dir), 0) != 0 || name.size() < 3 ||
          name.compare(name.size() - 3, 3, L".js") != 0) {
        continue;
      }
      if (name != L"channel-prefs.js") names.emplace(name, path.substr(pref_dir.size()));
    }
    return names;
  }
  const pelorin::FileRead& Read(const std::wstring& path) override {
    std::unique_ptr<pelorin::FileRead>& read = reads_[Lower(path)];
    if (read) return *read;
    read = std::make_unique<pelorin::FileRead>();
    for (const auto& [relative, bytes] : files) {
      if (Lower(Path(relative)) != Lower(path)) continue;
      read->outcome = bytes == kUnreadable ? pelorin::FileRead::kUnreadable
                      : bytes == kLinked   ? pelorin::FileRead::kRefused
                                           : pelorin::FileRead::kRead;
      read->bytes = read->outcome == pelorin::FileRead::kRead ? bytes : "";
      read->error = bytes == kUnreadable ? ERROR_LOCK_VIOLATION : bytes == kLinked ? ERROR_TOO_MANY_LINKS : 0;
      read->step = bytes == kLinked ? "HardLink" : nullptr;
    }
    return *read;
  }
  const pelorin::FolderCheck& Folder(const std::wstring& path) override {
    for (const std::wstring& folder : linked_folders) {
      if (Lower(Path(folder)) == Lower(path)) return linked_;
    }
    return folder_;
  }
  bool ClientConfigPresent() override { return client_config; }
  bool RvClientConfigPresent() override { return rv_config; }
  bool InlineProxyEnabled(pelorin::Messages& messages) override {
    messages.push_back(kProxyAsked);
    return inline_proxy;
  }
  std::wstring RecordedCfgPath() override { return recorded_cfg.empty() ? L"" : Path(recorded_cfg); }
  std::optional<std::wstring> RecordedValue(pelorin::RecordName name) override {
    const auto found = recorded.find(name);
    if (found == recorded.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::wstring, std::unique_ptr<pelorin::FileRead>> reads_;
  pelorin::FolderCheck folder_;
  pelorin::FolderCheck linked_{"FolderReparsePoint", ERROR_CANT_ACCESS_FILE, {}};
};

}  // namespace testing_support
