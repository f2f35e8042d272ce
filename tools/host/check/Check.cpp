#include "check/Check.h"

#include <algorithm>
#include <iterator>

#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include "agent/RegistryRecords.h"
#include "autoconfig/LoaderLines.h"
#include "base/UniqueHandle.h"
#include "check/FolderAccess.h"
#include "check/OtherInstalls.h"
#include "check/Policies.h"
#include "check/PrefFile.h"
#include "files/FileContent.h"
#include "files/Lines.h"
#include "files/TextConversion.h"
#include "firefox/InstallPath.h"
#include "firefox/PrefDirectory.h"
#include "proxy/InlineProxy.h"

namespace pelorin {

namespace {

// Established with Firefox ESR: without any general.config.obscure_value
// line Firefox uses 13, and it runs a plain autoconfig file only with 0.
constexpr char kObscureDefault[] = "13";
constexpr char kObscurePlain[] = "0";

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

std::string QuotedName(std::string_view marker) { return std::string(marker.substr(1, marker.size() - 2)); }

bool SamePath(const std::wstring& one, const std::wstring& other) { return AsciiLower(one) == AsciiLower(other); }

// A whole line equal to one of the constants, ignoring the blanks and "\r"
// around it, which Firefox ignores too.
bool IsOwnLine(Line line, LineSet constants) {
  const std::string_view trimmed = TrimLine(line);
  for (std::string_view constant : constants) {
    if (trimmed == constant) return true;
  }
  return false;
}

// The lines a mode's start puts in force. The web modes' scope lines depend
// on the agent's configuration and are not the web modes' to check; DLP
// locks the proxy only while the inline proxy is in force. Why the proxy is
// not in force is the status command's to tell, not a finding.
std::vector<std::string_view> ModeLines(const ModeRow& row) {
  std::vector<std::string_view> lines(row.base.begin(), row.base.end());
  if (row.web) return lines;
  lines.insert(lines.end(), row.agent.begin(), row.agent.end());
  Messages unreported;
  if (IsInlineProxyEnabled(unreported)) lines.insert(lines.end(), row.inline_proxy.begin(), row.inline_proxy.end());
  lines.insert(lines.end(), row.closing.begin(), row.closing.end());
  return lines;
}

// The mode a file's lines are written by, as the table of modes recognises
// them: a line only one mode writes, anywhere; else the first of the
// library's lines, by the mode that leads with it.
std::optional<Mode> RecognizeMode(const LineList& lines) {
  for (const ModeRow* row = ModesBegin(); row != ModesEnd(); ++row) {
    for (Line line : lines) {
      if (IsOwnLine(line, row->marks)) return row->mode;
    }
  }
  for (Line line : lines) {
    for (const ModeRow* row = ModesBegin(); row != ModesEnd(); ++row) {
      if (IsOwnLine(line, row->leads)) return row->mode;
    }
  }
  return std::nullopt;
}

// One loader preference as the preference files leave it. Established with
// Firefox ESR: a default is not changed once locked; a value of another
// type than the preference has is dropped (general.config.obscure_value is
// a number, so "0" in quotes leaves it at 13); and a user_pref line in these
// files puts no autoconfig file in force (one naming the file even stops
// Firefox at start).
struct StoredPref {
  std::optional<PrefValue::Kind> kind;
  std::optional<PrefValue> value;
  bool locked = false;
  std::wstring file;

  // Whether the statement's value is now in force.
  bool Apply(const PrefFileStatement& statement, const std::wstring& path) {
    if (statement.user || (kind && *kind != statement.value.kind)) return false;
    kind = statement.value.kind;
    const bool applied = !locked;
    if (applied) {
      value = statement.value;
      file = path;
    }
    if (statement.locked) locked = true;
    return applied;
  }
};

// What the preference files leave in the two loader preferences.
struct LoaderPrefs {
  std::optional<std::string> filename;
  std::wstring filename_file;
  std::string obscure = kObscureDefault;
  std::wstring obscure_file;
  std::wstring named_expected;  // the last file that named the expected autoconfig file
  std::wstring set_plain;       // the last file that set obscure_value to 0
};

// Established with Firefox ESR: defaults\pref is read first, then
// browser\defaults\preferences, each in its reading order, and a later
// file's value replaces an earlier one's.
LoaderPrefs ReadLoaderPrefs(const std::wstring& install_dir, const std::wstring& expected_name) {
  const std::string filename_pref = QuotedName(kMarkerFilename);
  const std::string obscure_pref = QuotedName(kMarkerObscureValue);
  StoredPref filename;
  StoredPref obscure;
  obscure.kind = PrefValue::Kind::kNumber;
  LoaderPrefs prefs;
  for (const std::wstring& dir : {PrefDirOf(install_dir), install_dir + L"\\browser\\defaults\\preferences\\"}) {
    for (const std::wstring& name : ListPrefFilesInReadingOrder(dir)) {
      const std::wstring path = dir + name;
      for (const PrefFileStatement& statement : ParsePrefFile(ReadFileContentW(path))) {
        if (statement.name == filename_pref) {
          if (filename.Apply(statement, path) && SamePath(Utf8ToWide(statement.value.text), expected_name))
            prefs.named_expected = path;
        } else if (statement.name == obscure_pref) {
          if (obscure.Apply(statement, path) && statement.value.text == kObscurePlain) prefs.set_plain = path;
        }
      }
    }
  }
  if (filename.value && filename.kind == PrefValue::Kind::kString) {
    prefs.filename = filename.value->text;
    prefs.filename_file = filename.file;
  }
  if (obscure.value) {
    prefs.obscure = obscure.value->text;
    prefs.obscure_file = obscure.file;
  }
  return prefs;
}

// Established with Firefox ESR, statement by statement after the first
// line (which Firefox skips): the last lockPref sets value and lock;
// defaultPref changes nothing while the preference is locked; pref() keeps a
// user value that shows only once unlockPref removes the lock; clearPref
// drops that user value only.
struct Simulation {
  std::optional<PrefValue> default_value;
  std::optional<PrefValue> user_value;
  bool locked = false;
  size_t last_change = 0;  // index of the last statement that changed something
  bool library_line = false;

  std::optional<PrefValue> Reported() const { return locked || !user_value ? default_value : user_value; }
};

// Whether the statement changed the preference.
bool RunStatement(const Statement& statement, Simulation& result) {
  const std::string& function = statement.function;
  if (function == "lockPref" && statement.value) {
    result.default_value = statement.value;
    result.locked = true;
  } else if (function == "defaultPref" && statement.value) {
    if (!result.locked) result.default_value = statement.value;
  } else if (function == "pref" && statement.value) {
    result.user_value = statement.value;
  } else if (function == "clearPref") {
    result.user_value.reset();
  } else if (function == "unlockPref") {
    result.locked = false;
  } else {
    return false;
  }
  return true;
}

Simulation Simulate(const LineList& lines, const PrefVerdict& pref, std::string_view constant) {
  Simulation result;
  for (size_t index = 1; index < lines.size(); ++index) {
    if (TrimLine(lines[index]) == constant) result.library_line = true;
    for (const Statement& statement : ParseStatements(lines[index]).value_or(std::vector<Statement>())) {
      if (statement.name == pref.name && RunStatement(statement, result)) result.last_change = index;
    }
  }
  return result;
}

class Checker {
 public:
  explicit Checker(CheckResult& result) : result_(result) {}

  void Run(std::optional<Mode> mode) {
    result_.mode = mode;
    result_.install_dir = FindFirefoxInstallPath();
    const bool installed = CheckInstall();
    bool loaded = false;
    if (installed) {
      const bool named = CheckLoader();
      loaded = ReadCfg() && named;
      CheckLinks();
      const std::vector<std::wstring> trusted = TrustedWriters();
      CheckFolderAccess(result_.install_dir, trusted);
      std::wstring pref_dir = PrefDirOf(result_.install_dir);
      pref_dir.pop_back();  // named as the folder, without its separator
      CheckFolderAccess(pref_dir, trusted);
    }
    if (!result_.mode) {
      result_.mode = RecognizeMode(SplitScriptLines(agent_content_));
      result_.mode_from_file = result_.mode.has_value();
    }
    if (!result_.mode) {
      if (installed)
        Add("mode-unknown", expected_cfg_,
            "It holds none of the library's lines, so the mode cannot be told: run the mode's start, "
            "or name the mode.");
    } else {
      const std::vector<std::string_view> constants = ModeLines(RowOf(*result_.mode));
      for (std::string_view constant : constants) {
        const Statement statement = ParseStatement(constant).value();
        result_.prefs.push_back({statement.name, *statement.value, statement.function == "lockPref", false});
      }
      if (loaded) CheckPrefs(firefox_lines_, constants);
      if (installed) CheckPolicies();
    }
    for (Finding& finding : FindOtherInstalls(result_.install_dir)) result_.findings.push_back(std::move(finding));
  }

 private:
  void Add(const char* code, const std::wstring& subject, const std::string& message) {
    result_.findings.push_back({code, subject, message});
  }

  bool CheckInstall() {
    if (result_.install_dir.empty()) {
      Add("firefox-not-registered", std::wstring(L"HKLM\\") + kBrowserListKey,
          "No Firefox is registered here, so the agent controls none: install Firefox or repair its registration.");
      return false;
    }
    const DWORD attributes = GetFileAttributesW(result_.install_dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      Add("install-folder-missing", result_.install_dir,
          "Firefox's registered install folder does not exist: reinstall Firefox or repair its registration.");
      return false;
    }
    return true;
  }

  // Whether Firefox will run an autoconfig file, and which.
  bool CheckLoader() {
    const std::wstring& install = result_.install_dir;
    std::wstring& expected = expected_cfg_;
    expected = ReadCfgFilePath();
    if (expected.empty()) expected = install + L"\\" + kDefaultCfgName;
    const std::wstring expected_name = expected.substr(expected.find_last_of(L"\\/") + 1);
    const LoaderPrefs prefs = ReadLoaderPrefs(install, expected_name);
    const std::wstring default_loader = PrefDirOf(install) + kDefaultLoaderName;
    result_.loader_file = prefs.filename ? prefs.filename_file : default_loader;
    result_.autoconfig_file = prefs.filename ? install + L"\\" + Utf8ToWide(*prefs.filename) : expected;
    bool loaded = prefs.filename.has_value();

    // The name as Firefox resolved its escapes.
    const char* fault = prefs.filename ? NameFault(Utf8ToWide(*prefs.filename)) : nullptr;
    if (fault != nullptr) {
      plain_name_ = false;
      loaded = false;
      Add("loader-name-not-plain", prefs.filename_file,
          "It names the autoconfig file " + *prefs.filename + ", which " + fault +
              ": Firefox runs only a file named plainly in its own folder, so run the mode's start again.");
    }
    if (!prefs.filename) {
      Add("loader-missing", default_loader,
          "No preference file names an autoconfig file, so Firefox runs none: run the mode's start to write the "
          "loader file.");
    }
    own_file_ = SamePath(result_.autoconfig_file, expected);
    std::optional<std::string> agent_file = TryReadFileFollowingLinks(expected);
    agent_file_read_ = agent_file.has_value();
    agent_content_ = std::move(agent_file).value_or(std::string());
    if (prefs.filename && !own_file_) {
      if (!prefs.named_expected.empty()) {
        Add("loader-overridden", prefs.filename_file,
            "Firefox reads this file after " + Utf8(prefs.named_expected) + " and takes its autoconfig file " +
                *prefs.filename + " instead of the agent's: remove its general.config.filename line.");
      } else {
        Add("loader-wrong-file", prefs.filename_file,
            "It names the autoconfig file " + *prefs.filename + ", not the agent's " + Utf8(expected) +
                ": run the mode's start again.");
      }
    }
    // Without a filename line nothing is run whatever the obscure value.
    if (prefs.filename && prefs.obscure != kObscurePlain) {
      loaded = false;
      if (!prefs.set_plain.empty()) {
        Add("loader-overridden", prefs.obscure_file,
            "Firefox reads this file after " + Utf8(prefs.set_plain) + " and takes its general.config.obscure_value " +
                prefs.obscure + ", so it skips the autoconfig file: remove that line.");
      } else {
        Add("loader-obscure-value", prefs.obscure_file.empty() ? result_.loader_file : prefs.obscure_file,
            "Firefox skips a plain autoconfig file unless general.config.obscure_value is 0, and here it is " +
                prefs.obscure + ": run the mode's start again.");
      }
    }
    return loaded;
  }

  // Reads the file Firefox will run; whether Firefox can run it to its end.
  bool ReadCfg() {
    // A name that is not plain may lead anywhere: the finding says why.
    if (!plain_name_) return false;
    // Where Firefox runs the agent's own file, it was read already.
    std::optional<std::string> read;
    if (!own_file_) {
      read = TryReadFileFollowingLinks(result_.autoconfig_file);
    } else if (agent_file_read_) {
      read = agent_content_;
    }
    if (!read) {
      if (IsPresent(result_.autoconfig_file)) {
        Add("cfg-unreadable", result_.autoconfig_file,
            "The autoconfig file cannot be read: give Firefox's users read access to it.");
      } else {
        Add("cfg-missing", result_.autoconfig_file, "The autoconfig file does not exist: run the mode's start again.");
      }
      return false;
    }
    firefox_content_ = std::move(*read);
    firefox_lines_ = SplitScriptLines(firefox_content_);
    // Established with Firefox ESR: a statement cut short (a syntax error,
    // or a call cut to an unknown name) leaves Firefox blocked at start.
    if (!firefox_lines_.empty() && !IsCompleteLine(firefox_lines_.back())) {
      Add("cfg-cut-off", result_.autoconfig_file,
          "Its last line is cut off, so Firefox stops at start with an autoconfig error: run the mode's start "
          "again.");
      return false;
    }
    return !CallsAnUndefinedFunction();
  }

  // Established with Firefox ESR: the autoconfig sandbox defines pref,
  // defaultPref, lockPref, unlockPref, clearPref and a few readers, but not
  // the preference files' user_pref or sticky_pref; calling any other name
  // stops Firefox at start with an autoconfig error.
  bool CallsAnUndefinedFunction() {
    static const char* const kDefined[] = {"pref",      "defaultPref", "lockPref", "unlockPref",
                                           "clearPref", "getPref",     "getenv",   "displayError"};
    for (size_t index = 1; index < firefox_lines_.size(); ++index) {
      for (const Statement& statement : ParseStatements(firefox_lines_[index]).value_or(std::vector<Statement>())) {
        if (std::find(std::begin(kDefined), std::end(kDefined), statement.function) != std::end(kDefined)) continue;
        Add("cfg-undefined-call", result_.autoconfig_file,
            "Line " + std::to_string(index + 1) + " calls " + statement.function +
                ", which autoconfig does not define, so Firefox stops at start with an autoconfig error: remove "
                "it.");
        return true;
      }
    }
    return false;
  }

  void CheckPrefs(const LineList& lines, const std::vector<std::string_view>& constants) {
    for (size_t index = 0; index < constants.size(); ++index) {
      PrefVerdict& pref = result_.prefs[index];
      const Simulation simulation = Simulate(lines, pref, constants[index]);
      pref.holds = (simulation.locked || !pref.lock) && simulation.Reported() == pref.value;
      // Another file's lines are not the agent's to fix: the loader finding says why.
      if (pref.holds || !own_file_) continue;
      if (!simulation.library_line) {
        Add("cfg-line-missing", result_.autoconfig_file,
            "It lacks the line setting " + pref.name +
                " after its first line, which Firefox skips: run the mode's "
                "start again.");
      } else {
        Add("cfg-foreign-line", result_.autoconfig_file,
            "Line " + std::to_string(simulation.last_change + 1) + ", " +
                std::string(TrimLine(lines[simulation.last_change])) + ", changes " + pref.name +
                " after the library's line: remove it.");
      }
    }
  }

  // Established with Firefox ESR: a policy that gives a preference another
  // value wins over the autoconfig lock, locked or not (the lock stays, on
  // the policy's value). Which of the registry and policies.json wins when
  // both set one could not be run on Linux; each is reported.
  void CheckPolicies() {
    for (const PolicySetting& setting : ReadPolicySettings(result_.install_dir)) {
      for (PrefVerdict& pref : result_.prefs) {
        if (pref.name != setting.pref || setting.value == pref.value || (setting.user_value && pref.lock)) continue;
        pref.holds = false;
        Add("policy-overrides", setting.source,
            "An enterprise policy sets " + pref.name + " to " + ValueText(setting.value) +
                ", which wins over the "
                "agent's " +
                ValueText(pref.value) + ": remove that policy setting.");
      }
    }
  }

  // The agent neither reads nor replaces a file with a second name.
  void CheckLinks() {
    for (const std::wstring* file : {&result_.loader_file, &result_.autoconfig_file}) {
      if (file == &result_.autoconfig_file && !plain_name_) continue;
      const FileRead read = ReadFileRefusingLinks(*file);
      if (read.outcome != FileRead::kRefused) continue;
      const bool hard_link = read.error == ERROR_TOO_MANY_LINKS;
      Add("file-is-link", *file,
          std::string(hard_link ? "It has another name elsewhere (a hard link)"
                                : "It is a symbolic link, a junction or another reparse point") +
              ", so the agent neither reads nor replaces it and keeps no lock in it: delete it and run the mode's "
              "start again.");
    }
  }

  // A descriptor that cannot be read, or a folder that is not there, is not
  // judged.
  void CheckFolderAccess(const std::wstring& folder, const std::vector<std::wstring>& trusted) {
    unique_hlocal descriptor;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, descriptor.put()) != ERROR_SUCCESS) {
      return;
    }
    const std::vector<std::wstring> writers = FolderWriters(descriptor.get(), trusted);
    if (writers.empty()) return;
    std::string names;
    for (const std::wstring& writer : writers) names += (names.empty() ? "" : ", ") + Utf8(AccountName(writer));
    Add("folder-writable", folder,
        "It lets " + names +
            " add, change or delete files here, enough to rewrite the locks or plant a link for the agent to "
            "follow: allow that only to SYSTEM, Administrators, TrustedInstaller and the accounts named in "
            "TrustedWriters.");
  }

  CheckResult& result_;
  bool plain_name_ = true;        // the loader names its autoconfig file plainly
  std::wstring expected_cfg_;     // the agent's autoconfig file
  bool own_file_ = false;         // Firefox will run the agent's autoconfig file
  std::string firefox_content_;   // of the file Firefox will run
  LineList firefox_lines_;        // views into firefox_content_, cut once
  std::string agent_content_;     // of the agent's file
  bool agent_file_read_ = false;  // it was there and read whole
};

}  // namespace

CheckResult CheckFirefox(std::optional<Mode> mode) {
  CheckResult result;
  Checker(result).Run(mode);
  return result;
}

}  // namespace pelorin
