// Each operation's decision, as tables: what it reads, and the change it
// decides (each file's new bytes, each record, the messages it logs). The
// inputs are faked; nothing is read or written.
#include <gtest/gtest.h>

#include <optional>

#include "CfgText.h"
#include "FakeInputs.h"
#include "Files.h"
#include "autoconfig/LoaderLines.h"
#include "modes/Plans.h"

using namespace testing_support;
using pelorin::Mode;

namespace {

using Messages = std::vector<std::wstring>;
using Records = std::vector<std::wstring>;  // "NAME=value after <file>"

const std::wstring kCfg = L"cv_mozilla_V2N.cfg";
const std::wstring kLoader = L"defaults\\pref\\!.js";
const std::wstring kSavedCfg = L"FFCFG=C:\\Firefox\\cv_mozilla_V2N.cfg after autoconfig";
const std::wstring kSettingFlag = L"FF config already up to date (setting flag)";

// The change a plan decides, in the tables' terms.
struct Decided {
  int32_t result = 0;
  Files after;                      // each changed file's new bytes
  std::vector<std::wstring> roles;  // "role path" of each changed file, as decided
  Records records;
  Messages messages;
  bool found_up_to_date = false;
};

const wchar_t* RoleName(pelorin::FileRole role) {
  switch (role) {
    case pelorin::FileRole::kAutoconfig: return L"autoconfig";
    case pelorin::FileRole::kLoader: return L"loader";
    case pelorin::FileRole::kStripped: break;
  }
  return L"stripped";
}

template <typename Decision>
Decided Decide(FakeInputs& inputs, Decision decision) {
  const pelorin::Outcome outcome = decision(inputs);
  Decided decided;
  decided.result = outcome.result;
  for (const pelorin::FileChange& change : outcome.files) {
    if (!change.Changed()) continue;
    const std::wstring relative = change.path.substr(std::wstring(kFakeFirefox).size() + 1);
    decided.after[relative] = change.after.Bytes();
    const std::wstring refused = change.refused ? L" refused " + Widen(change.refused->step) : L"";
    decided.roles.push_back(std::wstring(RoleName(change.role)) + L" " + relative + refused);
  }
  for (const pelorin::RecordChange& record : outcome.records) {
    decided.records.push_back(std::wstring(pelorin::RecordValueName(record.name)) + L"=" + record.value + L" after " +
                              RoleName(record.file));
  }
  decided.messages = outcome.messages;
  decided.found_up_to_date = outcome.cfg_found_up_to_date;
  return decided;
}

Files With(Files files, const Files& more) {
  for (const auto& [path, bytes] : more) files[path] = bytes;
  return files;
}

// The autoconfig file of a web start: the mode's lines in place of older
// copies, the agent's scope lines with its configuration, the proxy pair
// again while the inline proxy is in force.
TEST(WebStartPlan, AutoconfigFileByModeConfigurationAndProxy) {
  const std::string old = "// my settings\npref(\"a\", 1);\n\nlockPref(\"network.proxy.type\", 5);\n" + kCfgPkix +
                          "\r\n" + kCfgAutoDisableScopes + "\n" + kCfgEnterpriseRoots + "\npref(\"b\", 2);";
  const std::string kept = "//\n// my settings\npref(\"a\", 1);\nlockPref(\"network.proxy.type\", 5);\n";
  const std::string b = "pref(\"b\", 2);\n";
  const std::string full = "//\n" + kTovkLines + kScopes;
  const std::wstring add_dlp = L"FF config add proxy setting for DLP";
  const std::wstring push = L"FF config all_lines.push_back";
  const std::wstring push_dlp = L"FF config all_lines.push_back for DLP";
  const struct {
    Mode mode;
    bool agent_config, inline_proxy;
    std::optional<std::string> before;  // nullopt: no file
    std::optional<std::string> after;   // nullopt: left as it is
    Messages messages;
    bool found = false;  // found up to date: not changed, not recorded
  } rows[] = {
      {Mode::kZarn, false, false, std::nullopt, "//\n" + kZarnLines, {}},
      {Mode::kTovk, false, false, std::nullopt, "//\n" + kTovkLines, {}},
      {Mode::kZarn, true, true, std::nullopt, "//\n" + kZarnLines + kScopes + kProxy + kRoots, {kProxyAsked, add_dlp}},
      {Mode::kTovk, true, false, std::nullopt, "//\n" + kTovkLines + kScopes + kRoots, {kProxyAsked, add_dlp}},
      {Mode::kZarn, false, false, old, kept + kCfgAutoDisableScopes + "\n" + b + kZarnLines, {}},
      {Mode::kTovk, false, false, old, kept + kCfgAutoDisableScopes + "\n" + b + kTovkLines, {push}},
      {Mode::kTovk, true, true, old, kept + b + kTovkLines + kScopes + kProxy, {push, kProxyAsked, push_dlp}},
      {Mode::kZarn, true, false, old, kept + b + kZarnLines + kScopes, {kProxyAsked, push_dlp}},
      {Mode::kTovk, false, false, "//\r\n" + kProxy, "//\n//\r\n" + kTovkLines, {push}},
      {Mode::kTovk, false, false, "", "//\n" + kTovkLines, {push}},
      {Mode::kZarn, false, false, "\n//\n", "//\n//\n" + kZarnLines, {}},
      {Mode::kTovk, true, true, full + kProxy, std::nullopt, {kProxyAsked, kSettingFlag}, true},
      // Up to date only while the inline proxy is in force: asked by the
      // check, then by the edit; the same bytes are not a change.
      {Mode::kTovk, true, false, full, std::nullopt, {kProxyAsked, push, kProxyAsked, push_dlp}},
      // The agent's configuration wants its scope lines as well.
      {Mode::kTovk, true, true, "//\n" + kTovkLines + kProxy, full + kProxy, {push, kProxyAsked, push_dlp}},
      {Mode::kZarn, false, false, "//\n" + kTovkLines, "//\n" + kZarnLines, {}},
      // TOVK's lines are all there: the certificate locks of a ZARN start stay.
      {Mode::kTovk, false, false, "//\n" + kZarnLines, std::nullopt, {kSettingFlag}, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeInputs inputs;
    inputs.client_config = row.agent_config;
    inputs.inline_proxy = row.inline_proxy;
    inputs.files[kLoader] = kV2nLoader;
    if (row.before) inputs.files[kCfg] = *row.before;
    const Decided decided = Decide(
        inputs, [&](pelorin::Inputs& in) { return pelorin::PlanWebStart(in, row.mode, L"", L"", false, false); });
    EXPECT_EQ(decided.result, 0);
    EXPECT_EQ(decided.messages, row.messages);
    EXPECT_EQ(decided.found_up_to_date, row.found);
    EXPECT_EQ(decided.after, (row.after ? Files{{kCfg, *row.after}} : Files{}));
    // FFCFG is recorded whenever the file is decided, even unchanged.
    EXPECT_EQ(decided.records, row.found ? Records{} : Records{kSavedCfg});
  }
}

// The preference folder: the loader file ends with the library's two lines,
// every other preference file loses the library's loader lines, foreign
// values the loader write replaces are recorded. A replay changes only an
// existing loader file and leaves the autoconfig file alone.
TEST(WebStartPlan, LoaderAndPreferenceFiles) {
  const std::wstring prefs = L"defaults\\pref\\prefs.js";
  const std::wstring channel = L"defaults\\pref\\channel-prefs.js";
  const std::wstring custom = L"defaults\\pref\\Custom.JS";
  const std::wstring loader_txt = L"defaults\\pref\\loader.txt";
  const std::string foreign_name = "pref(\"general.config.filename\", \"h\xC3\xA9.cfg\");";
  // Blank lines between kept lines stay; the blank tail goes.
  const std::string kept = "pref(\"a\", 1);\n\npref(\"c\", 3);\n";
  const std::string stale = "pref(\"a\", 1);\n\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\npref(\"c\", 3);\n\n";
  const std::string cfg = "//\n" + kTovkLines;
  const struct {
    bool replay;
    std::wstring loader_name;
    Files before;
    Files after;  // the autoconfig file is up to date in every row
    std::vector<std::wstring> roles;
    Records records;
  } rows[] = {
      {false, L"", {}, {{kLoader, kV2nLoader}}, {L"loader " + kLoader}, {}},
      {true, L"", {}, {}, {}, {}},
      {true, L"", {{kLoader, "// mine\n"}}, {{kLoader, "// mine\n" + kV2nLoader}}, {L"loader " + kLoader}, {}},
      // A loader file the strip does not go through.
      {false,
       L"loader.txt",
       {{loader_txt, "// x\n\n" + foreign_name + "\n" + kPrefObscure + "\r\n"}, {prefs, stale}, {channel, stale}},
       {{loader_txt, "// x\n" + kV2nLoader}, {prefs, kept}, {channel, kept}},
       {L"stripped " + prefs, L"stripped " + channel, L"loader " + loader_txt},
       {L"FFObscure=pref(\"general.config.obscure_value\", 0);\r after loader",
        L"FFJSFile=pref(\"general.config.filename\", \"h\u00e9.cfg\"); after loader"}},
      // A loader file the strip goes through: its filename line is stripped
      // first, so not recorded; a foreign obscure line is.
      {false,
       L"custom.js",
       {{custom, "pref(\"general.config.obscure_value\", 1);\n" + foreign_name + "\n"}, {prefs, "pref(\"b\", 2);\n"}},
       {{custom, kV2nLoader}},  // spelled as the folder spells it, not as the host named it
       {L"loader " + custom},
       {L"FFObscure=pref(\"general.config.obscure_value\", 1); after loader"}},
      // The library's own filename line is not recorded, even spelled
      // otherwise than this start's; a line naming one of its files goes,
      // even in a comment.
      {false,
       L"loader.txt",
       {{loader_txt,
         PrefFilename("cv_mozilla_V2N.cfg") + " // earlier\n// old \"cv_mozilla_dlp.cfg\" note\n// mine\n"}},
       {{loader_txt, "// mine\n" + kV2nLoader}},
       {L"loader " + loader_txt},
       {}},
      // Someone else's file without the library's lines stays byte for byte.
      {false,
       L"",
       {{kLoader, kV2nLoader}, {prefs, "pref(\"b\", 2);\n\n\npref(\"general.config.filename.x\", 3);"}},
       {},
       {},
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeInputs inputs;
    inputs.files = With(row.before, {{kCfg, cfg}});
    const Decided decided = Decide(inputs, [&](pelorin::Inputs& in) {
      return pelorin::PlanWebStart(in, Mode::kTovk, row.loader_name, L"", row.replay, false);
    });
    EXPECT_EQ(decided.after, row.after);
    EXPECT_EQ(decided.roles, row.roles);
    EXPECT_EQ(decided.records, row.records);
    EXPECT_EQ(decided.messages, row.replay ? Messages{} : Messages{kSettingFlag});
  }
}

// The DLP start checks each file first and changes only a stale one; a
// loader that names a web mode's file hands the start over to the shared one.
TEST(DlpStartPlan, ResultsMessagesAndFiles) {
  const std::wstring prefs = L"defaults\\pref\\prefs.js";
  const std::wstring loader_txt = L"defaults\\pref\\loader.txt";
  const std::string stale = PrefFilename("cv_mozilla_zarn.cfg") + "\n";
  const std::wstring install = L"FF extension ff_install_path_";
  const std::wstring js_updated = L"FF extension updated JS file: ";
  const std::wstring js_kept = L"FF extension JS file already updated.";
  const std::wstring created = L"FF extension CFG file do not exists. Creating one.";
  const std::wstring cfg_updated = L"FF extension updated CFG file: cv_mozilla_V2N.cfg";
  const std::wstring cfg_kept = L"FF extension CFG file already updated.";
  const std::wstring locking = L"Inline proxy enabled. Locking proxy settings";
  const struct {
    bool rv_config, inline_proxy;
    std::wstring loader_name, cfg_name;
    Files before;
    int32_t result;
    Messages messages;  // the install folder follows "ff_install_path_"
    Files after;
  } rows[] = {
      {true, false, L"", L"", {}, 0, {}, {}},
      {false,
       false,
       L"",
       L"",
       {},
       1,
       {js_updated + L"!.js", install, created, kProxyAsked, cfg_updated},
       {{kLoader, kV2nLoader}, {kCfg, "//\n" + DlpCfgTail(false)}}},
      {false,
       true,
       L"",
       L"",
       {},
       1,
       {js_updated + L"!.js", install, created, kProxyAsked, locking, cfg_updated},
       {{kLoader, kV2nLoader}, {kCfg, "//\n" + DlpCfgTail(true)}}},
      // Stale only for the proxy lock of a time the inline proxy was in
      // force: the loader and the other preference files stay, blank lines
      // within the autoconfig file too.
      {false,
       false,
       L"",
       L"",
       {{kLoader, kV2nLoader}, {prefs, stale}, {kCfg, "// a\n\n// b\n" + DlpCfgTail(true) + "\n\n"}},
       1,
       {js_kept, install, kProxyAsked, kProxyAsked, cfg_updated},
       {{kCfg, "// a\n\n// b\n" + DlpCfgTail(false)}}},
      {false,
       false,
       L"",
       L"",
       {{kCfg, ""}},
       1,
       {js_updated + L"!.js", install, kProxyAsked, cfg_updated},
       {{kLoader, kV2nLoader}, {kCfg, DlpCfgTail(false)}}},
      {false,
       false,
       L"loader.txt",
       L"custom.cfg",
       {{prefs, stale}, {loader_txt, "A\n" + PrefFilename("cv_mozilla_tovk.cfg") + "\nB\n"}},
       1,
       {js_updated + L"loader.txt", install, created, kProxyAsked, cfg_updated},
       {{loader_txt, "A\nB\n" + kV2nLoader}, {prefs, ""}, {kCfg, "//\n" + DlpCfgTail(false)}}},
      {false,
       true,
       L"loader.txt",
       L"",
       {{loader_txt, "A\nB\n" + kV2nLoader}, {kCfg, "//\n" + DlpCfgTail(true)}},
       1,
       {js_kept, install, kProxyAsked, cfg_kept},
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeInputs inputs;
    inputs.rv_config = row.rv_config;
    inputs.inline_proxy = row.inline_proxy;
    inputs.files = row.before;
    const Decided decided =
        Decide(inputs, [&](pelorin::Inputs& in) { return pelorin::PlanDlpStart(in, row.loader_name, row.cfg_name); });
    EXPECT_EQ(decided.result, row.result);
    Messages messages = row.messages;
    if (!messages.empty()) messages.insert(messages.begin() + 2, kFakeFirefox);
    EXPECT_EQ(decided.messages, messages);
    EXPECT_EQ(decided.after, row.after);
    const bool cfg_written = row.after.count(kCfg) != 0;
    EXPECT_EQ(decided.records, cfg_written ? Records{kSavedCfg} : Records{});
  }
}

// The uninstall cleanup takes the library's lines (or only the proxy pair)
// out of the file FFCFG names, drops blank lines and puts a bare "//" first.
TEST(CleanupPlan, RecordedFileLosesTheLibrarysLines) {
  const std::string seven = kZarnLines + kScopes;
  const std::string bannerless = "lockPref(\"network.proxy.type\", 5);";
  const std::wstring unlocking = L"Unlocking only proxy settings.";
  const std::string own = "lockPref(\"a\", 1); // Added by Corvane V2N";
  const struct {
    bool only_proxy;
    std::optional<std::string> before;  // nullopt: FFCFG names no file
    std::optional<std::string> after;   // nullopt: nothing changed
    Messages messages;
  } rows[] = {
      {true, "//\n" + seven, "//\n" + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kRoots + kScopes, {unlocking}},
      {false,
       "//\npref(\"a\", 1);\n\n" + seven + "/* " + kCfgNoProxies + " */ x();\n\n" + bannerless + "\n\n",
       "//\npref(\"a\", 1);\n" + bannerless + "\n",
       {}},
      // The banner alone does not make a line the library's.
      {false, "// Added by Corvane V2N\n" + own, "//\n// Added by Corvane V2N\n" + own + "\n", {}},
      {false, "//\r\nx();\r\n" + kCfgPkix + "\r\n", "//\n//\r\nx();\r\n", {}},
      {false, "", "//\n", {}},
      {false, "//\nx();\n" + kCfgPkix, "//\nx();\n", {}},  // a last line without its "\n"
      {false, "//\nx();\n", std::nullopt, {}},
      {true, std::nullopt, std::nullopt, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeInputs inputs;
    inputs.recorded_cfg = L"agent.cfg";
    if (row.before) inputs.files[L"agent.cfg"] = *row.before;
    const Decided decided =
        Decide(inputs, [&](pelorin::Inputs& in) { return pelorin::PlanCleanup(in, row.only_proxy); });
    EXPECT_EQ(decided.after, (row.after ? Files{{L"agent.cfg", *row.after}} : Files{}));
    EXPECT_EQ(decided.messages, row.messages);
    EXPECT_TRUE(decided.records.empty());
  }
}

// A start given a loader or autoconfig file name that is not one plain file
// name is refused before anything is read, even before Firefox is looked
// for, with one line naming why; a plain one goes on to look for Firefox.
TEST(StartPlan, NamesThatAreNotPlainAreRefused) {
  const std::wstring zarn = L"PelorinZARNFFStart ", tovk = L"PelorinTOVKFFStart ", dlp = L"PelorinDLPFFStart ";
  const std::wstring separator = L"\": it holds a path separator.", dots = L"\": it is \".\" or \"..\".";
  const std::wstring control = L"\": it holds a control character.";
  const struct {
    Mode mode;
    std::wstring loader, cfg, logged;
  } rows[] = {
      {Mode::kZarn, L"", L"..x..cfg", zarn + L"firefox install path is empty."},
      {Mode::kDlp, L"a.js", L"", L"firefox install path is empty."},
      {Mode::kZarn, L"", L"sub\\x.cfg", zarn + L"refused the file name \"sub\\x.cfg" + separator},
      {Mode::kTovk, L"sub/x.js", L"", tovk + L"refused the file name \"sub/x.js" + separator},
      {Mode::kTovk, L"..", L"a.cfg", tovk + L"refused the file name \".." + dots},
      {Mode::kDlp, L"", L".", dlp + L"refused the file name \"." + dots},
      {Mode::kZarn, L"", L"C:x.cfg", zarn + L"refused the file name \"C:x.cfg\": it holds a drive colon."},
      {Mode::kDlp, L"a\"b.js", L"", dlp + L"refused the file name \"a\"b.js\": it holds a double quote."},
      {Mode::kTovk, L"", L"a\nb.cfg", tovk + L"refused the file name \"a\nb.cfg" + control},
      {Mode::kTovk, L"", L"a\x7f.cfg", tovk + L"refused the file name \"a\x7f.cfg" + control},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeInputs inputs;
    inputs.registered = false;
    const Decided decided = Decide(inputs, [&](pelorin::Inputs& in) {
      return row.mode == Mode::kDlp ? pelorin::PlanDlpStart(in, row.loader, row.cfg)
                                    : pelorin::PlanWebStart(in, row.mode, row.loader, row.cfg, false, false);
    });
    EXPECT_EQ(decided.result, -1);
    EXPECT_EQ(decided.messages, Messages{row.logged});
    EXPECT_TRUE(decided.after.empty() && decided.records.empty());
  }
}

// A file that is a second name of another, or lies below a folder that is,
// is decided as refused, with the step its failure line names. Folders are
// asked only for files to be written: an up-to-date start fails on none.
TEST(StartPlan, FilesThroughSecondNamesAreRefused) {
  const std::wstring cfg = L"autoconfig " + kCfg, loader = L"loader " + kLoader;
  const std::wstring folder = L" refused FolderReparsePoint", link = L" refused HardLink";
  const struct {
    std::set<std::wstring> linked_folders;  // empty name: the install folder
    Files before;
    std::vector<std::wstring> roles;
  } rows[] = {
      {{L""}, {}, {loader + folder, cfg + folder}},
      {{L"defaults"}, {}, {loader + folder, cfg}},
      {{L"defaults\\pref"}, {}, {loader + folder, cfg}},
      {{}, {{kCfg, kLinked}}, {loader, cfg + link}},
      {{L""}, {{kCfg, "//\n" + kTovkLines}, {kLoader, kV2nLoader}}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeInputs inputs;
    inputs.files = row.before;
    inputs.linked_folders = row.linked_folders;
    const Decided decided = Decide(
        inputs, [&](pelorin::Inputs& in) { return pelorin::PlanWebStart(in, Mode::kTovk, L"", L"", false, false); });
    EXPECT_EQ(decided.roles, row.roles);
  }
  // The cleanup's file, below the folder that holds it.
  FakeInputs inputs;
  inputs.recorded_cfg = L"sub\\agent.cfg";
  inputs.files[inputs.recorded_cfg] = "//\n" + kProxy;
  inputs.linked_folders = {L"sub"};
  EXPECT_EQ(Decide(inputs, [](pelorin::Inputs& in) { return pelorin::PlanCleanup(in, false); }).roles,
            std::vector<std::wstring>{L"autoconfig sub\\agent.cfg" + folder});
}

}  // namespace
