// The exports as a host calls them, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "CfgText.h"
#include "Policy.h"
#include "Scene.h"

using namespace testing_support;

namespace {

using Messages = std::vector<std::wstring>;
enum WebMode { kZarn, kTovk };  // direct or proxy-connect start
const std::wstring kFinished = L"Finished TOVK FF extension operation.\r\n";
const std::wstring kSaved = L"SaveCurrentCFGFilePath";
const std::wstring kPush = L"FF config all_lines.push_back";
const std::wstring kPushDlp = L"FF config all_lines.push_back for DLP";
const std::wstring kSettingFlag = L"FF config already up to date (setting flag)";
const std::string kScopes = kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n";
const std::string kProxy = kCfgProxyType + "\n" + kCfgNoProxies + "\n";
const std::string kCerts = kCfgPkix + "\n" + kCfgBuiltinCerts + "\n";
// A web start's lines in a file of its own.
std::string Base(WebMode mode) {
  const std::string common = kProxy + kCfgEnterpriseRoots + "\n";
  if (mode == kZarn) return kCerts + common;
  return common;
}
std::string Loader(const std::string& cfg_name) { return kPrefObscure + "\n" + PrefFilename(cfg_name) + "\n"; }
const std::string kV2nLoader = Loader("cv_mozilla_V2N.cfg");

// What the start logged, TOVK's closing message left out.
Messages Start(Scene& scene, WebMode mode, const std::wstring& cfg = L"") {
  OrlixDouble::Clear();
  if (mode == kZarn) {
    EXPECT_EQ(scene.dll->ZarnStart(nullptr, L"", cfg, 0), 0);
  } else {
    EXPECT_EQ(scene.dll->TovkStart(nullptr, L"", cfg, 0), 0);
  }
  Messages messages = OrlixDouble::Messages();
  messages.erase(std::remove(messages.begin(), messages.end(), kFinished), messages.end());
  return messages;
}

// How many saved starts PelorinUninitialize replayed.
long Replays(Scene& scene) {
  OrlixDouble::Clear();
  EXPECT_EQ(scene.dll->Uninitialize(), 0);
  const Messages messages = OrlixDouble::Messages();
  return static_cast<long>(std::count(messages.begin(), messages.end(), kFinished));
}

TEST(AutoconfigWriter, WritesTheLinesOfModeAndConfiguration) {
  const std::string old = "// my settings\npref(\"a\", 1);\n\nlockPref(\"network.proxy.type\", 5);\n" + kCfgPkix +
                          "\r\n" + kCfgAutoDisableScopes + "\n" + kCfgEnterpriseRoots + "\npref(\"b\", 2);";
  const std::string kept = "//\n// my settings\npref(\"a\", 1);\nlockPref(\"network.proxy.type\", 5);\n";
  const std::string b = "pref(\"b\", 2);\n";
  const std::string roots = kCfgEnterpriseRoots + "\n";
  const std::string full = "//\n" + Base(kTovk) + kScopes;
  const std::wstring add_dlp = L"FF config add proxy setting for DLP";
  const std::wstring off = L"NetworkProxy service is NOT running";
  struct Case {
    WebMode mode;
    bool agent_config;
    bool inline_proxy;
    std::string before;  // empty: no file
    std::string after;
    Messages messages;
  };
  const Case cases[] = {
      {kZarn, false, false, "", "//\n" + Base(kZarn), {kSaved}},
      {kTovk, false, false, "", "//\n" + Base(kTovk), {kSaved}},
      {kZarn, true, true, "", "//\n" + Base(kZarn) + kScopes + kProxy + roots, {add_dlp, kSaved}},
      {kTovk, true, false, "", "//\n" + Base(kTovk) + kScopes + roots, {off, add_dlp, kSaved}},
      {kZarn, false, false, old, kept + kCfgAutoDisableScopes + "\n" + b + Base(kZarn), {kSaved}},
      {kTovk, false, false, old, kept + kCfgAutoDisableScopes + "\n" + b + Base(kTovk), {kPush, kSaved}},
      {kTovk, true, true, old, kept + b + Base(kTovk) + kScopes + kProxy, {kPush, kPushDlp, kSaved}},
      {kZarn, true, false, old, kept + b + Base(kZarn) + kScopes, {off, kPushDlp, kSaved}},
      {kTovk, false, false, "//\r\n" + kProxy, "//\n//\r\n" + Base(kTovk), {kPush, kSaved}},
      {kTovk, true, true, full + kProxy, full + kProxy, {kSettingFlag}},
      {kTovk, true, false, full, full, {off, kPush, off, kPushDlp, kSaved}},  // up to date only with the proxy on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    Scene scene;
    if (c.agent_config) scene.agent.AddFile(L"ClientConfig.qcf");
    std::unique_ptr<InlineProxyOn> proxy;
    if (c.inline_proxy) proxy = std::make_unique<InlineProxyOn>(scene.registry);
    if (!c.before.empty()) WriteBytes(scene.cfg(), c.before);
    EXPECT_EQ(Start(scene, c.mode), c.messages);
    EXPECT_EQ(ReadBytes(scene.cfg()), c.after);
    EXPECT_EQ(ReadBytes(scene.loader()), kV2nLoader);
    const bool saved = c.messages.back() == kSaved;
    EXPECT_EQ(scene.registry.ReadString(kAgentCommonKey, L"FFCFG").has_value(), saved);
  }
}

TEST(AutoconfigWriter, FileFoundUpToDateStopsEveryWriteUntilUnload) {
  Scene scene;
  WriteBytes(scene.cfg(), "//\n" + Base(kTovk));
  EXPECT_EQ(Start(scene, kTovk), Messages{kSettingFlag});
  EXPECT_EQ(Start(scene, kZarn, L"other.cfg"), Messages{L"FF config already up to date (flag set)"});
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n" + Base(kTovk));
  EXPECT_FALSE(FileExists(scene.firefox.file(L"other.cfg")));
  scene.Reload();
  EXPECT_EQ(Start(scene, kZarn), Messages{kSaved});
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n" + Base(kZarn));
}

// The log sink gets five arguments per call with a fixed origin; messages before PelorinInitialize are dropped,
// PelorinUninitialize does not stop them. Without Firefox the starts fail and write or save nothing.
TEST(WebStarts, WithoutFirefoxTheStartsOnlyLog) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  PelorinDll dll;
  EXPECT_EQ(dll.ZarnStart(nullptr, L"", L"", 0), -1);
  dll.Initialize();
  EXPECT_EQ(dll.ZarnStart(nullptr, L"", L"", 0), -1);
  EXPECT_EQ(dll.TovkStart(nullptr, L"", L"", 0), -1);
  EXPECT_EQ(dll.DlpStart(nullptr, L"", L""), -1);
  EXPECT_FALSE(FileExists(firefox.pref(L"!.js")) || FileExists(firefox.file(L"cv_mozilla_V2N.cfg")));
  firefox.Register(registry);
  EXPECT_EQ(dll.Uninitialize(), 0);  // no saved start to replay
  registry.DeleteTree(kBrowserListKey);
  EXPECT_EQ(dll.ZarnStart(nullptr, L"", L"", 0), -1);
  const std::wstring zarn = L"PelorinZARNFFStart firefox install path is empty.";
  const Messages expected{zarn, L"PelorinTOVKFFStart firefox install path is empty.", L"firefox install path is empty.",
                          zarn};
  EXPECT_EQ(OrlixDouble::Messages(), expected);
  for (const LogRecord& record : OrlixDouble::Records()) {
    EXPECT_EQ(record.source_path + L"|" + record.function, L"src/Pelorin/Pelorin.cpp|pelorin_debugf");
    EXPECT_EQ(record.line, 37);
    EXPECT_EQ(record.level, 1);
  }
}

TEST(WebStarts, ReplayFlagRewritesOnlyTheLoaderAndUnloadRunsNothing) {
  Scene scene;
  WriteBytes(scene.firefox.pref(L"!.js"), "pref(\"a\", 1);\n");
  EXPECT_EQ(scene.dll->TovkStart(nullptr, L"", L"", 1), 0);
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), "pref(\"a\", 1);\n" + kV2nLoader);
  EXPECT_EQ(OrlixDouble::Messages(), Messages{kFinished});
  EXPECT_FALSE(FileExists(scene.cfg()));
  WriteBytes(scene.firefox.pref(L"!.js"), "pref(\"a\", 1);\n");
  scene.dll.reset();  // unloading releases the saved start unrun
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), "pref(\"a\", 1);\n");
}

// Equal starts are saved once and each replay saves its start again; replays run in ordinal order of the names,
// writing only loader files and stripping the filename line from the scanned ones (the scan skips x.jsx).
TEST(WebStarts, SavedStartsAndTheirReplayOrder) {
  const TovkStartParams some{L"p", L"q", L"r"};
  const TovkStartParams other{L"p", L"q", L"s"};
  const TovkStartParams empty{};
  struct Case {  // two starts, each with its parameters, loader and cfg names; then the loader file read
    const TovkStartParams* first_params;
    const TovkStartParams* second_params;
    std::wstring first_loader, first_cfg, second_loader, second_cfg, file;
    long replays;
    std::string bytes;
  };
  const Case cases[] = {
      {&some, &some, L"l.js", L"a.cfg", L"l.js", L"a.cfg", L"l.js", 1, Loader("a.cfg")},
      {&some, &some, L"l.js", L"", L"l.js", L"cv_mozilla_V2N.cfg", L"l.js", 1, kV2nLoader},
      {nullptr, &empty, L"l.js", L"a.cfg", L"l.js", L"a.cfg", L"l.js", 1, Loader("a.cfg")},
      {&some, &other, L"l.js", L"a.cfg", L"l.js", L"a.cfg", L"l.js", 2, Loader("a.cfg")},
      {&some, &some, L"", L"b.cfg", L"", L"a.cfg", L"!.js", 2, Loader("b.cfg")},
      {&some, &some, L"", L"a.cfg", L"", L"B.cfg", L"!.js", 2, Loader("a.cfg")},
      {&some, &some, L"x.jsx", L"", L"x.js", L"", L"x.js", 2, kPrefObscure + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    Scene scene;
    EXPECT_EQ(scene.dll->TovkStart(c.first_params, c.first_loader, c.first_cfg, 0), 0);
    EXPECT_EQ(scene.dll->TovkStart(c.second_params, c.second_loader, c.second_cfg, 0), 0);
    EXPECT_EQ(Replays(scene), c.replays);
    EXPECT_EQ(Replays(scene), c.replays);
    EXPECT_EQ(ReadBytes(scene.firefox.pref(c.file)), c.bytes);
  }
}

// A call that looks for Firefox creates a missing defaults folder, which shows whether a call looked.
TEST(VersionAndCfg, ReportsTheLoaderFileAndTheCfgItNames) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  PelorinDll dll;
  std::wstring loader = L"untouched";
  std::wstring cfg = L"untouched";
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 0);  // before PelorinInitialize
  EXPECT_EQ(loader + L"|" + cfg, L"untouched|untouched");
  dll.Initialize();
  RemoveTree(firefox.file(L"defaults"));
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", nullptr, nullptr), 1);
  EXPECT_FALSE(DirectoryExists(firefox.file(L"defaults")));
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
  WriteBytes(firefox.pref(L"!.js"), PrefFilename("cv_mozilla_zarn.cfg") + "\n");  // fails unless pref was created
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
  EXPECT_EQ(loader + L"|" + cfg, L"!.js|cv_mozilla_zarn.cfg");
}

// What the DLP start logs when it writes both files.
Messages DlpWritten(const std::wstring& js_message, const std::wstring& install_dir, bool cfg_created) {
  Messages all{js_message, L"FF extension ff_install_path_", install_dir};
  if (cfg_created) all.push_back(L"FF extension CFG file do not exists. Creating one.");
  for (const wchar_t* message :
       {L"NetworkProxy service is NOT running", L"SaveCurrentCFGFilePath",
        L"FF extension updated CFG file: cv_mozilla_V2N.cfg", L"Finished DLP FF extension operation."}) {
    all.push_back(message);
  }
  return all;
}

// Files are named from the install folder; an absent `after` entry means no
// such file. A stale loader file strips the loader lines of the scanned
// *.js files (loader.txt is not scanned: its web mode line makes the start
// use V2N). Firefox not found: WebStarts.WithoutFirefoxTheStartsOnlyLog.
TEST(DlpStart, ResultsMessagesAndFiles) {
  using Files = std::map<std::wstring, std::optional<std::string>>;
  const std::wstring loader = L"defaults\\pref\\!.js";
  const std::wstring prefs = L"defaults\\pref\\prefs.js";
  const std::wstring loader_txt = L"defaults\\pref\\loader.txt";
  const std::wstring cfg = L"cv_mozilla_V2N.cfg";
  const std::string stale = PrefFilename("cv_mozilla_zarn.cfg") + "\n";
  const std::string tovk_loader = "A\n" + PrefFilename("cv_mozilla_tovk.cfg") + "\nB\n";
  const std::wstring js_kept = L"FF extension JS file already updated.";
  const struct {
    bool rv_config;
    bool inline_proxy;
    Files before;
    std::wstring loader_name;
    std::wstring cfg_name;
    int32_t result;
    bool written;  // else both files found up to date
    bool cfg_created;
    std::wstring js_message;
    Files after;
  } cases[] = {
      {true, false, {}, L"", L"", 0, false, false, L"", {{loader, std::nullopt}}},
      {false,
       false,
       {},
       L"",
       L"",
       1,
       true,
       true,
       L"FF extension updated JS file: !.js",
       {{loader, kV2nLoader}, {cfg, "//\n" + DlpCfgTail(false)}}},
      {false,
       false,
       {{loader, kV2nLoader}, {prefs, stale}, {cfg, "//\nuser();\n"}},
       L"",
       L"",
       1,
       true,
       false,
       js_kept,
       {{prefs, stale}, {cfg, "//\nuser();\n" + DlpCfgTail(false)}}},
      {false,
       false,
       {{prefs, stale}, {loader_txt, tovk_loader}},
       L"loader.txt",
       L"custom.cfg",
       1,
       true,
       true,
       L"FF extension updated JS file: loader.txt",
       {{loader_txt, "A\nB\n" + kV2nLoader},
        {prefs, ""},
        {cfg, "//\n" + DlpCfgTail(false)},
        {L"custom.cfg", std::nullopt}}},
      {false,
       true,
       {{loader_txt, "A\nB\n" + kV2nLoader}, {cfg, "//\n" + DlpCfgTail(true)}},
       L"loader.txt",
       L"",
       1,
       false,
       false,
       js_kept,
       {{cfg, "//\n" + DlpCfgTail(true)}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    Scene scene;
    if (c.rv_config) scene.agent.AddFile(L"RvClientConfig.qcf");
    std::unique_ptr<InlineProxyOn> proxy;
    if (c.inline_proxy) proxy = std::make_unique<InlineProxyOn>(scene.registry);
    for (const auto& [name, bytes] : c.before) WriteBytes(scene.firefox.file(name), *bytes);
    OrlixDouble::Clear();
    EXPECT_EQ(scene.dll->DlpStart(nullptr, c.loader_name, c.cfg_name), c.result);
    Messages expected;
    if (c.written) {
      expected = DlpWritten(c.js_message, scene.firefox.dir(), c.cfg_created);
    } else if (c.result == 1) {
      expected = {c.js_message, L"FF extension ff_install_path_", scene.firefox.dir(),
                  L"FF extension CFG file already updated.", L"Finished DLP FF extension operation."};
    }
    EXPECT_EQ(OrlixDouble::Messages(), expected);
    for (const auto& [name, bytes] : c.after) {
      const std::wstring path = scene.firefox.file(name);
      EXPECT_EQ(FileExists(path) ? std::optional(ReadBytes(path)) : std::nullopt, bytes) << Narrow(name);
    }
    const bool saved = c.written;
    EXPECT_EQ(scene.registry.ReadString(kAgentCommonKey, L"FFCFG").has_value(), saved);
  }
}

TEST(UninstallCleanUp, RecordedFileLosesTheLibrarysLines) {
  const std::string seven = Base(kZarn) + kScopes;
  const std::string bannerless = "lockPref(\"network.proxy.type\", 5);";
  struct Case {
    bool only_proxy;
    std::optional<std::string> before;  // nullopt: no file
    std::optional<std::string> after;
    long unlockings;
  };
  const Case cases[] = {
      {true, "//\n" + seven, "//\n" + kCerts + kCfgEnterpriseRoots + "\n" + kScopes, 1},
      {false, "//\npref(\"a\", 1);\n\n" + seven + "/* " + kCfgNoProxies + " */ x();\n\n" + bannerless + "\n\n",
       "//\npref(\"a\", 1);\n" + bannerless + "\n", 0},
      {false, "// Added by Corvane V2N\nx();\n", "//\n// Added by Corvane V2N\nx();\n", 0},
      {false, "//\r\nx();\r\n" + kCfgPkix + "\r\n", "//\n//\r\nx();\r\n", 0},
      {false, "", "//\n", 0},
      {true, std::nullopt, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    RegistrySandbox registry;
    AgentInstall agent(registry);
    const std::wstring path = agent.dir() + L"\\cv_mozilla_V2N.cfg";
    if (c.before) WriteBytes(path, *c.before);
    registry.SetString(kAgentCommonKey, L"FFCFG", path);
    PelorinDll dll;
    dll.Initialize();
    EXPECT_EQ(dll.UninstallCleanUp(c.only_proxy), 0);
    EXPECT_EQ(FileExists(path) ? std::optional(ReadBytes(path)) : std::nullopt, c.after);
    const Messages messages = OrlixDouble::Messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Unlocking only proxy settings."), c.unlockings);
  }
}

// Rows without a running service or a policy text log why they fail; a policy text is parsed silently.
TEST(InlineProxy, ServicePolicyAndDecision) {
  const std::wstring blocked = kBlockDlpAddOn;
  const std::wstring unreadable = L"Failed to read ExtensionSettings registry value.";
  const std::wstring dlp = L"dlp@tervia.com";
  auto entry = [](const std::wstring& id, const std::wstring& mode) {
    return L"\"" + id + L"\":{\"installation_mode\":\"" + mode + L"\"}";
  };
  enum { kNoService, kNoKey, kNoValue, kText };
  struct Case {
    int setup;
    std::wstring json;
    int32_t answer;
    Messages messages;
  };
  const Case cases[] = {
      {kNoService, blocked, 0, {L"NetworkProxy service is NOT running"}},
      {kNoKey, L"", 0, {L"Unable to open registry ExtensionSettings."}},
      {kNoValue, L"", 0, {unreadable}},
      {kText, blocked, 1, {}},
      {kText, L"{" + entry(dlp, L"force_blocked_now") + L"}", 1, {}},
      {kText, L"{" + entry(dlp, L"Blocked") + L"}", 0, {}},
      {kText, L"{" + entry(L"DLP@tervia.com", L"blocked") + L"}", 0, {}},
      {kText, L"{" + entry(dlp, L"allowed") + L"," + entry(dlp, L"blocked") + L"}", 0, {}},
      {kText, L"{" + entry(dlp, L"blocked") + L"," + entry(dlp, L"allowed") + L"}", 1, {}},
      {kText, L"installation_mode blocked", 0, {}},
      {kText, std::wstring(100000, L'[') + std::wstring(100000, L']'), 0, {}},
  };
  std::unique_ptr<NetworkService> service;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    if (c.setup == kNoService) NetworkService::Remove();
    if (c.setup != kNoService && !service) (service = std::make_unique<NetworkService>())->Start();
    RegistrySandbox registry;
    if (c.setup == kNoValue) registry.CreateKey(kFirefoxPolicyKey);
    if (!c.json.empty()) SetExtensionSettings(registry, c.json);
    PelorinDll dll;
    dll.Initialize();
    EXPECT_EQ(dll.InlineProxyEnabled(), c.answer);
    EXPECT_EQ(OrlixDouble::Messages(), c.messages);
  }
}

// The file behind a path: a file swapped in by a rewrite is another file,
// even with the same bytes.
uint64_t FileIdentity(const std::wstring& path) {
  const pelorin::unique_file file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return 0;
  return (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

TEST(UpToDate, RepeatedStartWritesNothing) {
  enum class Start { kZarn, kTovk, kDlp };
  for (Start start : {Start::kZarn, Start::kTovk, Start::kDlp}) {
    SCOPED_TRACE(static_cast<int>(start));
    Scene scene;
    scene.agent.AddFile(L"ClientConfig.qcf");
    const std::wstring files[] = {scene.loader(), scene.firefox.pref(L"a.js"), scene.cfg()};
    WriteBytes(files[0], "// mine\n" + PrefFilename("other.cfg") + "\n");
    WriteBytes(files[1], "pref(\"a\", 1);\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n");
    WriteBytes(files[2], "//\n// user\n" + kCfgPkix + "\n");
    // Someone else's file without the library's lines, not as tidy as the
    // library writes: a start reads it and leaves it byte for byte.
    const std::wstring untidy = scene.firefox.pref(L"untidy.js");
    const std::string untidy_bytes = "pref(\"b\", 2);\n\n\npref(\"c\", 3);";
    WriteBytes(untidy, untidy_bytes);
    const uint64_t untidy_identity = FileIdentity(untidy);
    auto run = [&scene, start] {
      if (start == Start::kZarn) return scene.dll->ZarnStart(nullptr, L"", L"", 0);
      if (start == Start::kTovk) return scene.dll->TovkStart(nullptr, L"", L"", 0);
      return scene.dll->DlpStart(nullptr, L"", L"");
    };
    run();
    EXPECT_EQ(ReadBytes(untidy), untidy_bytes);
    EXPECT_EQ(FileIdentity(untidy), untidy_identity);
    std::vector<std::string> bytes;
    std::vector<uint64_t> identities;
    for (const std::wstring& file : files) {
      bytes.push_back(ReadBytes(file));
      identities.push_back(FileIdentity(file));
    }
    // Left by a process killed mid-write: every start reads these two.
    for (const std::wstring& target : {files[0], files[2]}) {
      WriteBytes(target + L".pelorin-tmp", "killed mid-write");
    }
    scene.Reload();  // the next start must find the files up to date by reading them
    run();
    for (size_t i = 0; i < std::size(files); ++i) {
      EXPECT_EQ(ReadBytes(files[i]), bytes[i]);
      EXPECT_EQ(FileIdentity(files[i]), identities[i]) << Narrow(files[i]) << " was rewritten";
      EXPECT_FALSE(FileExists(files[i] + L".pelorin-tmp"));
    }
  }
}

}  // namespace
