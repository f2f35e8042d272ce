// The web starts end to end, with the agent's configuration and the inline
// proxy set up for real. The up-to-date flag lives as long as the DLL, so
// every scene loads its own.
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
enum class Mode { Zarn, Tovk };

const std::wstring kFinished = L"Finished TOVK FF extension operation.\r\n";
const std::wstring kSaved = L"SaveCurrentCFGFilePath";
const std::wstring kProxyOff = L"NetworkProxy service is NOT running";
const std::wstring kPush = L"FF config all_lines.push_back";
const std::wstring kPushDlp = L"FF config all_lines.push_back for DLP";
const std::wstring kSettingFlag = L"FF config already up to date (setting flag)";
const std::string kScopes = kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n";
const std::string kProxy = kCfgProxyType + "\n" + kCfgNoProxies + "\n";

std::string Base(Mode mode) {
  const std::string tail = kProxy + kCfgEnterpriseRoots + "\n";
  return mode == Mode::Zarn ? kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + tail : tail;
}
std::string Loader(const std::string& cfg_name) { return kPrefObscure + "\n" + PrefFilename(cfg_name) + "\n"; }

struct Scene {
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
  // What a start with the default loader logged, TOVK's closing message left out.
  Messages Start(Mode mode, const std::wstring& cfg = L"") {
    OrlixDouble::Clear();
    EXPECT_EQ(mode == Mode::Zarn ? dll->ZarnStart(nullptr, L"", cfg, 0) : Tovk(L"", cfg), 0);
    Messages messages = OrlixDouble::Messages();
    if (mode == Mode::Tovk && !messages.empty() && messages.back() == kFinished) messages.pop_back();
    return messages;
  }
  int Tovk(const std::wstring& loader, const std::wstring& cfg, const TovkStartParams* params = nullptr) {
    return dll->TovkStart(params, loader, cfg, 0);
  }
  // How many saved starts PelorinUninitialize replayed.
  long Replays() {
    OrlixDouble::Clear();
    EXPECT_EQ(dll->Uninitialize(), 0);
    const Messages messages = OrlixDouble::Messages();
    return static_cast<long>(std::count(messages.begin(), messages.end(), kFinished));
  }
  std::optional<std::wstring> Recorded() const { return registry.ReadString(kAgentCommonKey, L"FFCFG"); }

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
  const std::wstring add_dlp = L"FF config add proxy setting for DLP";
  struct Case {
    const char* name;
    Mode mode;
    bool agent_config, inline_proxy;
    std::string before;  // empty: no file
    std::string after;
    Messages messages;
  } const cases[] = {
      {"new direct", Mode::Zarn, false, false, "", "//\n" + Base(Mode::Zarn), {kSaved}},
      {"new proxy", Mode::Tovk, false, false, "", "//\n" + Base(Mode::Tovk), {kSaved}},
      {"new direct, agent, proxy on", Mode::Zarn, true, true, "",
       "//\n" + Base(Mode::Zarn) + kScopes + kProxy + kCfgEnterpriseRoots + "\n", {add_dlp, kSaved}},
      {"new proxy, agent, proxy off", Mode::Tovk, true, false, "",
       "//\n" + Base(Mode::Tovk) + kScopes + kCfgEnterpriseRoots + "\n", {kProxyOff, add_dlp, kSaved}},
      {"old direct", Mode::Zarn, false, false, old,
       kept + kCfgAutoDisableScopes + "\npref(\"b\", 2);\n" + Base(Mode::Zarn), {kSaved}},
      {"old proxy", Mode::Tovk, false, false, old,
       kept + kCfgAutoDisableScopes + "\npref(\"b\", 2);\n" + Base(Mode::Tovk), {kPush, kSaved}},
      {"old proxy, agent, proxy on", Mode::Tovk, true, true, old,
       kept + "pref(\"b\", 2);\n" + Base(Mode::Tovk) + kScopes + kProxy, {kPush, kPushDlp, kSaved}},
      {"old direct, agent, proxy off", Mode::Zarn, true, false, old,
       kept + "pref(\"b\", 2);\n" + Base(Mode::Zarn) + kScopes, {kProxyOff, kPushDlp, kSaved}},
      {"old CR LF", Mode::Tovk, false, false, "//\r\n" + kCfgProxyType + "\r\n" + kCfgNoProxies + "\r\n",
       "//\n//\r\n" + Base(Mode::Tovk), {kPush, kSaved}},
      {"old bare comment", Mode::Tovk, false, false, "//\nx();\n", "//\nx();\n" + Base(Mode::Tovk), {kPush, kSaved}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene(c.agent_config, c.inline_proxy);
    if (!c.before.empty()) WriteBytes(scene.cfg, c.before);
    EXPECT_EQ(scene.Start(c.mode), c.messages);
    EXPECT_EQ(ReadBytes(scene.cfg), c.after);
    EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), Loader("cv_mozilla_V2N.cfg"));
    EXPECT_EQ(scene.Recorded(), scene.cfg);
  }
}

TEST(AutoconfigWriter, FileFoundUpToDateStopsEveryWriteUntilUnload) {
  Scene scene;
  const std::string proxy_connect = "//\n" + Base(Mode::Tovk);
  WriteBytes(scene.cfg, proxy_connect);
  EXPECT_EQ(scene.Start(Mode::Tovk), Messages{kSettingFlag});
  const Messages flag_set{L"FF config already up to date (flag set)"};
  EXPECT_EQ(scene.Start(Mode::Zarn), flag_set);
  EXPECT_EQ(scene.Start(Mode::Zarn, L"other.cfg"), flag_set);
  EXPECT_EQ(ReadBytes(scene.cfg), proxy_connect);
  EXPECT_FALSE(FileExists(scene.firefox.file(L"other.cfg")));
  EXPECT_EQ(scene.Recorded(), std::nullopt);

  scene.Reload();
  EXPECT_EQ(scene.Start(Mode::Zarn), Messages{kSaved});
  EXPECT_EQ(ReadBytes(scene.cfg), "//\n" + Base(Mode::Zarn));
}

TEST(AutoconfigWriter, WithAgentConfigOnlyTheInlineProxyMakesAFileUpToDate) {
  for (bool inline_proxy : {true, false}) {
    SCOPED_TRACE(inline_proxy);
    Scene scene(true, inline_proxy);
    const std::string complete = "//\n" + Base(Mode::Tovk) + kScopes + (inline_proxy ? kProxy : "");
    WriteBytes(scene.cfg, complete);
    const Messages rewritten{kProxyOff, kPush, kProxyOff, kPushDlp, kSaved};
    EXPECT_EQ(scene.Start(Mode::Tovk), inline_proxy ? Messages{kSettingFlag} : rewritten);
    EXPECT_EQ(ReadBytes(scene.cfg), complete);
  }
}

TEST(WebStarts, WithoutFirefoxNothingIsWrittenOrSavedAndNothingReplayed) {
  Scene scene;
  scene.registry.DeleteTree(kBrowserListKey);
  const std::wstring tovk_empty = L"PelorinTOVKFFStart firefox install path is empty.";
  EXPECT_EQ(scene.dll->ZarnStart(nullptr, L"", L"", 0), -1);
  EXPECT_EQ(scene.Tovk(L"", L""), -1);
  EXPECT_EQ(OrlixDouble::Messages(), (Messages{L"PelorinZARNFFStart firefox install path is empty.", tovk_empty}));
  EXPECT_FALSE(FileExists(scene.firefox.pref(L"!.js")));
  EXPECT_FALSE(FileExists(scene.cfg));

  scene.firefox.Register(scene.registry);
  EXPECT_EQ(scene.Replays(), 0);
  EXPECT_EQ(scene.Tovk(L"", L""), 0);
  scene.registry.DeleteTree(kBrowserListKey);
  EXPECT_EQ(scene.Replays(), 0);  // the replay fails, so its start is not saved again
  EXPECT_EQ(OrlixDouble::Messages(), Messages{tovk_empty});
  scene.firefox.Register(scene.registry);
  EXPECT_EQ(scene.Replays(), 0);
}

TEST(WebStarts, ReplayFlagRewritesOnlyAnExistingLoaderFile) {
  Scene scene;
  WriteBytes(scene.firefox.pref(L"!.js"), "pref(\"a\", 1);\n");
  EXPECT_EQ(scene.dll->TovkStart(nullptr, L"", L"", 1), 0);
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), "pref(\"a\", 1);\n" + Loader("cv_mozilla_V2N.cfg"));
  EXPECT_EQ(OrlixDouble::Messages(), Messages{kFinished});

  EXPECT_EQ(scene.dll->ZarnStart(nullptr, L"z.js", L"z.cfg", 1), 0);
  EXPECT_FALSE(FileExists(scene.firefox.pref(L"z.js")));
  EXPECT_FALSE(FileExists(scene.firefox.file(L"z.cfg")));
  EXPECT_FALSE(FileExists(scene.cfg));
  EXPECT_EQ(scene.Replays(), 1);  // the TOVK call was saved like any other
}

TEST(WebStarts, EquivalentStartsAreSavedOnce) {
  const TovkStartParams some{L"p", L"q", L"r"}, other{L"p", L"q", L"s"}, empty{};
  struct Case {
    const char* name;
    const TovkStartParams *first_params, *second_params;
    std::wstring first_cfg, second_cfg;
    long replays;
  } const cases[] = {
      {"equal", &some, &some, L"a.cfg", L"a.cfg", 1},
      {"defaulted name", &some, &some, L"", L"cv_mozilla_V2N.cfg", 1},
      {"null block", nullptr, &empty, L"a.cfg", L"a.cfg", 1},
      {"other name", &some, &some, L"a.cfg", L"b.cfg", 2},
      {"other block", &some, &other, L"a.cfg", L"a.cfg", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    EXPECT_EQ(scene.Tovk(L"l.js", c.first_cfg, c.first_params), 0);
    EXPECT_EQ(scene.Tovk(L"l.js", c.second_cfg, c.second_params), 0);
    EXPECT_EQ(scene.Replays(), c.replays);
    EXPECT_EQ(scene.Replays(), c.replays);  // each replay saved its start again
  }
  Scene zarn_only;
  EXPECT_EQ(zarn_only.Start(Mode::Zarn), Messages{kSaved});
  EXPECT_EQ(zarn_only.Replays(), 0);
}

// A replay writes only loader files, so its order shows in which filename
// line survives.
TEST(WebStarts, ReplaysRunInOrdinalOrderOfTheNames) {
  struct Case {
    std::wstring first, second;
    std::string replayed_last;
  } const cases[] = {{L"b.cfg", L"a.cfg", "b.cfg"}, {L"a.cfg", L"B.cfg", "a.cfg"}, {L"x.cfgx", L"x.cfg", "x.cfgx"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replayed_last);
    Scene scene;
    scene.Tovk(L"", c.first);
    scene.Tovk(L"", c.second);
    EXPECT_EQ(scene.Replays(), 2);
    EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), Loader(c.replayed_last));
  }
  // The directory scan skips x.jsx, so only a later replay's strip can take
  // the filename line out of x.js.
  Scene scene;
  scene.Tovk(L"x.jsx", L"");
  scene.Tovk(L"x.js", L"");
  EXPECT_EQ(scene.Replays(), 2);
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"x.js")), kPrefObscure + "\n");
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"x.jsx")), Loader("cv_mozilla_V2N.cfg"));
}

TEST(WebStarts, UnloadReleasesSavedStartsWithoutRunningThem) {
  Scene scene;
  EXPECT_EQ(scene.Tovk(L"", L""), 0);
  WriteBytes(scene.firefox.pref(L"!.js"), "pref(\"a\", 1);\n");
  OrlixDouble::Clear();
  scene.dll.reset();
  EXPECT_EQ(OrlixDouble::Messages(), Messages{});
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"!.js")), "pref(\"a\", 1);\n");
}

}  // namespace
