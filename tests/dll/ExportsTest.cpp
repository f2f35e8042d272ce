// The exports as a host calls them, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Policy.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

using Messages = std::vector<std::wstring>;
enum Mode { Z, T };  // a ZARN (direct) or TOVK (proxy) start
const std::wstring kFinished = L"Finished TOVK FF extension operation.\r\n", kSaved = L"SaveCurrentCFGFilePath";
const std::wstring kPush = L"FF config all_lines.push_back", kPushDlp = L"FF config all_lines.push_back for DLP";
const std::wstring kSettingFlag = L"FF config already up to date (setting flag)";
const std::string kScopes = kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n";
const std::string kProxy = kCfgProxyType + "\n" + kCfgNoProxies + "\n";
const std::string kCerts = kCfgPkix + "\n" + kCfgBuiltinCerts + "\n";
std::string Base(Mode mode) { return (mode == Z ? kCerts : "") + kProxy + kCfgEnterpriseRoots + "\n"; }
std::string Loader(const std::string& cfg_name) { return kPrefObscure + "\n" + PrefFilename(cfg_name) + "\n"; }
const std::string kV2nLoader = Loader("cv_mozilla_V2N.cfg");

struct Scene {  // the up-to-date flag lives as long as the DLL: one load a scene
  explicit Scene(bool agent_config = false, bool inline_proxy = false) {
    firefox.Register(registry);
    if (agent_config) agent.AddFile(L"ClientConfig.qcf");
    if (inline_proxy) proxy = std::make_unique<InlineProxyOn>(registry);
    Reload();
  }
  void Reload() {
    dll.reset();  // a load beside the old one would share its state
    dll = std::make_unique<PelorinDll>();
    dll->Initialize();
  }
  Messages Start(Mode mode, const std::wstring& cfg = L"") {  // what it logged, TOVK's closing message left out
    OrlixDouble::Clear();
    EXPECT_EQ(mode == Z ? dll->ZarnStart(nullptr, L"", cfg, 0) : dll->TovkStart(nullptr, L"", cfg, 0), 0);
    Messages messages = OrlixDouble::Messages();
    messages.erase(std::remove(messages.begin(), messages.end(), kFinished), messages.end());
    return messages;
  }
  long Replays() {  // how many saved starts PelorinUninitialize replayed
    OrlixDouble::Clear();
    EXPECT_EQ(dll->Uninitialize(), 0);
    const Messages messages = OrlixDouble::Messages();
    return static_cast<long>(std::count(messages.begin(), messages.end(), kFinished));
  }
  RegistrySandbox registry;
  FirefoxInstall firefox;
  AgentInstall agent{registry};
  std::unique_ptr<InlineProxyOn> proxy;
  std::unique_ptr<PelorinDll> dll;
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
};

TEST(AutoconfigWriter, WritesTheLinesOfModeAndConfiguration) {
  const std::string old = "// my settings\npref(\"a\", 1);\n\nlockPref(\"network.proxy.type\", 5);\n" + kCfgPkix +
                          "\r\n" + kCfgAutoDisableScopes + "\n" + kCfgEnterpriseRoots + "\npref(\"b\", 2);";
  const std::string kept = "//\n// my settings\npref(\"a\", 1);\nlockPref(\"network.proxy.type\", 5);\n";
  const std::string b = "pref(\"b\", 2);\n", roots = kCfgEnterpriseRoots + "\n", full = "//\n" + Base(T) + kScopes;
  const std::wstring add_dlp = L"FF config add proxy setting for DLP", off = L"NetworkProxy service is NOT running";
  struct Case { Mode mode; bool agent_config, inline_proxy; std::string before, after; Messages messages; };
  const Case cases[] = {  // before empty: no file
      {Z, false, false, "", "//\n" + Base(Z), {kSaved}},
      {T, false, false, "", "//\n" + Base(T), {kSaved}},
      {Z, true, true, "", "//\n" + Base(Z) + kScopes + kProxy + roots, {add_dlp, kSaved}},
      {T, true, false, "", "//\n" + Base(T) + kScopes + roots, {off, add_dlp, kSaved}},
      {Z, false, false, old, kept + kCfgAutoDisableScopes + "\n" + b + Base(Z), {kSaved}},
      {T, false, false, old, kept + kCfgAutoDisableScopes + "\n" + b + Base(T), {kPush, kSaved}},
      {T, true, true, old, kept + b + Base(T) + kScopes + kProxy, {kPush, kPushDlp, kSaved}},
      {Z, true, false, old, kept + b + Base(Z) + kScopes, {off, kPushDlp, kSaved}},
      {T, false, false, "//\r\n" + kProxy, "//\n//\r\n" + Base(T), {kPush, kSaved}},
      {T, true, true, full + kProxy, full + kProxy, {kSettingFlag}},
      {T, true, false, full, full, {off, kPush, off, kPushDlp, kSaved}},  // up to date only with the proxy on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    Scene scene(c.agent_config, c.inline_proxy);
    if (!c.before.empty()) WriteBytes(scene.cfg, c.before);
    EXPECT_EQ(scene.Start(c.mode), c.messages);
    EXPECT_EQ(ReadBytes(scene.cfg), c.after);
    EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), kV2nLoader);
    EXPECT_EQ(scene.registry.ReadString(kAgentCommonKey, L"FFCFG"),
              c.messages.back() == kSaved ? std::optional(scene.cfg) : std::nullopt);
  }
}

TEST(AutoconfigWriter, FileFoundUpToDateStopsEveryWriteUntilUnload) {
  Scene scene;
  WriteBytes(scene.cfg, "//\n" + Base(T));
  EXPECT_EQ(scene.Start(T), Messages{kSettingFlag});
  EXPECT_EQ(scene.Start(Z, L"other.cfg"), Messages{L"FF config already up to date (flag set)"});
  EXPECT_EQ(ReadBytes(scene.cfg), "//\n" + Base(T));
  EXPECT_FALSE(FileExists(scene.firefox.file(L"other.cfg")));
  scene.Reload();
  EXPECT_EQ(scene.Start(Z), Messages{kSaved});
  EXPECT_EQ(ReadBytes(scene.cfg), "//\n" + Base(Z));
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
  EXPECT_FALSE(FileExists(firefox.pref(L"!.js")) || FileExists(firefox.file(L"cv_mozilla_V2N.cfg")));
  firefox.Register(registry);
  EXPECT_EQ(dll.Uninitialize(), 0);  // no saved start to replay
  registry.DeleteTree(kBrowserListKey);
  EXPECT_EQ(dll.ZarnStart(nullptr, L"", L"", 0), -1);
  const std::wstring zarn = L"PelorinZARNFFStart firefox install path is empty.";
  EXPECT_EQ(OrlixDouble::Messages(), (Messages{zarn, L"PelorinTOVKFFStart firefox install path is empty.", zarn}));
  for (const LogRecord& r : OrlixDouble::Records()) {
    EXPECT_EQ(r.source_path + L"|" + r.function, L"src/Pelorin/Pelorin.cpp|pelorin_debugf");
    EXPECT_EQ(std::make_pair(r.line, r.level), std::make_pair(37, 1));
  }
}

TEST(WebStarts, ReplayFlagRewritesOnlyTheLoaderAndUnloadRunsNothing) {
  Scene scene;
  WriteBytes(scene.firefox.pref(L"!.js"), "pref(\"a\", 1);\n");
  EXPECT_EQ(scene.dll->TovkStart(nullptr, L"", L"", 1), 0);
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), "pref(\"a\", 1);\n" + kV2nLoader);
  EXPECT_EQ(OrlixDouble::Messages(), Messages{kFinished});
  EXPECT_FALSE(FileExists(scene.cfg));
  WriteBytes(scene.firefox.pref(L"!.js"), "pref(\"a\", 1);\n");
  scene.dll.reset();  // unloading releases the saved start unrun
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), "pref(\"a\", 1);\n");
}

// Equal starts are saved once and each replay saves its start again; replays run in ordinal order of the names,
// writing only loader files and stripping the filename line from the scanned ones (the scan skips x.jsx).
TEST(WebStarts, SavedStartsAndTheirReplayOrder) {
  const TovkStartParams some{L"p", L"q", L"r"}, other{L"p", L"q", L"s"}, empty{};
  struct Case { const TovkStartParams *p1, *p2; std::wstring l1, c1, l2, c2, file; long replays; std::string bytes; };
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
    EXPECT_EQ(scene.dll->TovkStart(c.p1, c.l1, c.c1, 0), 0);
    EXPECT_EQ(scene.dll->TovkStart(c.p2, c.l2, c.c2, 0), 0);
    EXPECT_EQ(scene.Replays(), c.replays);
    EXPECT_EQ(scene.Replays(), c.replays);
    EXPECT_EQ(ReadBytes(scene.firefox.pref(c.file)), c.bytes);
  }
}

// A call that looks for Firefox creates a missing defaults folder, which shows whether a call looked.
TEST(VersionAndCfg, ReportsTheLoaderFileAndTheCfgItNames) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  PelorinDll dll;
  std::wstring loader = L"untouched", cfg = L"untouched";
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

// One DLL, a sequence of starts. The stale run leaves prefs.js alone (the pref directory is stripped only when a loader
// file is written); loader.txt is not scanned, so its web mode line waits for the DLP writer, which then uses V2N.
TEST(DlpStart, ResultsMessagesAndFiles) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  AgentInstall agent{registry};
  PelorinDll dll;
  dll.Initialize();
  const std::wstring loader = firefox.pref(L"!.js"), cfg = firefox.file(L"cv_mozilla_V2N.cfg");
  auto run = [&](int32_t result, const std::wstring& loader_name = L"", const std::wstring& cfg_name = L"") {
    OrlixDouble::Clear();
    EXPECT_EQ(dll.DlpStart(nullptr, loader_name, cfg_name), result);
    return OrlixDouble::Messages();
  };
  auto written = [&](const std::wstring& js_message, bool created) {
    Messages all{js_message, L"FF extension ff_install_path_", firefox.dir(), L"NetworkProxy service is NOT running",
                 L"SaveCurrentCFGFilePath", L"FF extension updated CFG file: cv_mozilla_V2N.cfg",
                 L"Finished DLP FF extension operation."};
    if (created) all.insert(all.begin() + 3, L"FF extension CFG file do not exists. Creating one.");
    return all;
  };
  EXPECT_EQ(run(-1), Messages{L"firefox install path is empty."});
  firefox.Register(registry);
  agent.AddFile(L"RvClientConfig.qcf");
  EXPECT_EQ(run(0), Messages{});
  EXPECT_FALSE(FileExists(loader));
  DeleteFileW((agent.dir() + L"\\RvClientConfig.qcf").c_str());
  EXPECT_EQ(run(1), written(L"FF extension updated JS file: !.js", true));
  EXPECT_EQ(ReadBytes(loader) + ReadBytes(cfg), kV2nLoader + "//\n" + DlpCfgTail(false));
  EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFCFG"), cfg);
  const std::string stale = PrefFilename("cv_mozilla_zarn.cfg") + "\n";
  WriteBytes(firefox.pref(L"prefs.js"), stale);
  WriteBytes(cfg, "//\nuser();\n");
  EXPECT_EQ(run(1), written(L"FF extension JS file already updated.", false));
  EXPECT_EQ(ReadBytes(firefox.pref(L"prefs.js")) + ReadBytes(cfg), stale + "//\nuser();\n" + DlpCfgTail(false));
  WriteBytes(firefox.pref(L"loader.txt"), "A\n" + PrefFilename("cv_mozilla_tovk.cfg") + "\nB\n");
  DeleteFileW(cfg.c_str());
  EXPECT_EQ(run(1, L"loader.txt", L"custom.cfg"), written(L"FF extension updated JS file: loader.txt", true));
  EXPECT_EQ(ReadBytes(firefox.pref(L"loader.txt")), "A\nB\n" + kV2nLoader);
  EXPECT_EQ(ReadBytes(firefox.pref(L"prefs.js")) + ReadBytes(cfg), "//\n" + DlpCfgTail(false));
  EXPECT_FALSE(FileExists(firefox.file(L"custom.cfg")));
  InlineProxyOn proxy(registry);
  WriteBytes(cfg, "//\n" + DlpCfgTail(true));
  EXPECT_EQ(run(1, L"loader.txt"), (Messages{L"FF extension JS file already updated.", L"FF extension ff_install_path_",
                                             firefox.dir(), L"FF extension CFG file already updated.",
                                             L"Finished DLP FF extension operation."}));
  EXPECT_EQ(ReadBytes(cfg), "//\n" + DlpCfgTail(true));
}

TEST(UninstallCleanUp, RecordedFileLosesTheLibrarysLines) {
  const std::string seven = Base(Z) + kScopes;
  const std::string bannerless = "lockPref(\"network.proxy.type\", 5);";
  struct Case { bool only_proxy; std::optional<std::string> before, after; long unlockings; };  // nullopt: no file
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
  const std::wstring blocked = kBlockDlpAddOn, unreadable = L"Failed to read ExtensionSettings registry value.";
  const std::wstring dlp = L"dlp@tervia.com";
  auto entry = [](const std::wstring& id, const std::wstring& mode) {
    return L"\"" + id + L"\":{\"installation_mode\":\"" + mode + L"\"}";
  };
  enum { kNoService, kNoKey, kNoValue, kText };
  struct Case { int setup; std::wstring json; int32_t answer; Messages messages; };
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
    Scene scene(true);
    const std::wstring files[] = {scene.firefox.pref(L"!.js"), scene.firefox.pref(L"a.js"), scene.cfg};
    WriteBytes(files[0], "// mine\n" + PrefFilename("other.cfg") + "\n");
    WriteBytes(files[1], "pref(\"a\", 1);\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n");
    WriteBytes(files[2], "//\n// user\n" + kCfgPkix + "\n");
    auto run = [&scene, start] {
      if (start == Start::kZarn) return scene.dll->ZarnStart(nullptr, L"", L"", 0);
      if (start == Start::kTovk) return scene.dll->TovkStart(nullptr, L"", L"", 0);
      return scene.dll->DlpStart(nullptr, L"", L"");
    };
    run();
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
