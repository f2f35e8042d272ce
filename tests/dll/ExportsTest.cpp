// The exports as a host calls them, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "CfgText.h"
#include "Scene.h"

using namespace testing_support;

namespace {

using Messages = std::vector<std::wstring>;
enum WebMode { kZarn, kTovk };  // direct or proxy-connect start
const std::wstring kFinished = L"Finished TOVK FF extension operation.\r\n";
const std::wstring kSaved = L"SaveCurrentCFGFilePath";
const std::wstring kSettingFlag = L"FF config already up to date (setting flag)";

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

TEST(AutoconfigWriter, FileFoundUpToDateStopsEveryWriteUntilUnload) {
  Scene scene;
  WriteBytes(scene.cfg(), "//\n" + kTovkLines);
  EXPECT_EQ(Start(scene, kTovk), Messages{kSettingFlag});
  EXPECT_EQ(Start(scene, kZarn, L"other.cfg"), Messages{L"FF config already up to date (flag set)"});
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n" + kTovkLines);
  EXPECT_FALSE(FileExists(scene.firefox.file(L"other.cfg")));
  scene.Reload();
  EXPECT_EQ(Start(scene, kZarn), Messages{kSaved});
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n" + kZarnLines);
}

// The log sink gets five arguments per call with a fixed origin; messages
// before PelorinInitialize are dropped. Without Firefox the starts fail and
// write nothing.
TEST(WebStarts, WithoutFirefoxTheStartsOnlyLog) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  PelorinDll dll;
  EXPECT_EQ(dll.ZarnStart(nullptr, L"", L"", 0), -1);
  dll.Initialize();
  EXPECT_EQ(dll.TovkStart(nullptr, L"", L"", 0), -1);
  EXPECT_EQ(dll.DlpStart(nullptr, L"", L""), -1);
  EXPECT_EQ(dll.InlineProxyEnabled(), 0);  // no network service in this prefix
  EXPECT_FALSE(FileExists(firefox.pref(L"!.js")) || FileExists(firefox.file(L"cv_mozilla_V2N.cfg")));
  const Messages expected{L"PelorinTOVKFFStart firefox install path is empty.", L"firefox install path is empty.",
                          L"NetworkProxy service is NOT running"};
  EXPECT_EQ(OrlixDouble::Messages(), expected);
  for (const LogRecord& record : OrlixDouble::Records()) {
    EXPECT_EQ(record.source_path + L"|" + record.function, L"src/Pelorin/Pelorin.cpp|pelorin_debugf");
    EXPECT_EQ(record.line, 37);
    EXPECT_EQ(record.level, 1);
  }
}

// The host's path: PelorinUninitialize replays each saved proxy-connect
// start with the replay flag. It brings back the loader and strips a stale
// loader line elsewhere, but leaves the autoconfig file as it finds it, even
// gone; it saves the start again. A direct-connect start is never saved, and
// unloading releases the saved starts unrun.
TEST(WebStarts, UnloadReplayBringsBackTheLoaderOnly) {
  Scene scene;
  EXPECT_EQ(scene.dll->ZarnStart(nullptr, L"", L"z.cfg", 0), 0);
  EXPECT_EQ(scene.dll->TovkStart(nullptr, L"", L"", 0), 0);
  WriteBytes(scene.loader(), "pref(\"a\", 1);\n");
  WriteBytes(scene.firefox.pref(L"zz.js"), PrefFilename("elsewhere.cfg") + "\n");
  DeleteFileW(scene.cfg().c_str());
  EXPECT_EQ(Replays(scene), 1);
  EXPECT_EQ(ReadBytes(scene.loader()), "pref(\"a\", 1);\n" + kV2nLoader);
  EXPECT_EQ(ReadBytes(scene.firefox.pref(L"zz.js")), "");
  EXPECT_FALSE(FileExists(scene.cfg()));
  EXPECT_EQ(Replays(scene), 1);
  WriteBytes(scene.loader(), "pref(\"a\", 1);\n");
  scene.dll.reset();
  EXPECT_EQ(ReadBytes(scene.loader()), "pref(\"a\", 1);\n");
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

// The plan's messages, the inline-proxy check's among them, then what the
// writes added, then the export's closing line.
TEST(DlpStart, LogsItsDecisionThenItsWritesThenItsClosingMessage) {
  Scene scene;
  EXPECT_EQ(scene.dll->DlpStart(nullptr, L"", L""), 1);
  EXPECT_EQ(OrlixDouble::Messages(),
            (Messages{L"FF extension updated JS file: !.js", L"FF extension ff_install_path_", scene.firefox.dir(),
                      L"FF extension CFG file do not exists. Creating one.", L"NetworkProxy service is NOT running",
                      L"FF extension updated CFG file: cv_mozilla_V2N.cfg", kSaved,
                      L"Finished DLP FF extension operation."}));
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
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"", &loader, &cfg), 0);
  std::filesystem::remove_all(firefox.file(L"defaults"));
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", nullptr, nullptr), 1);
  EXPECT_FALSE(DirectoryExists(firefox.file(L"defaults")));
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
  // The last filename line is the one Firefox keeps. Fails unless pref was created.
  WriteBytes(firefox.pref(L"!.js"),
             PrefFilename("cv_mozilla_tovk.cfg") + "\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n");
  WriteBytes(firefox.pref(L"Z.js"), "");
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
  EXPECT_EQ(loader + L"|" + cfg, L"!.js|cv_mozilla_zarn.cfg");
}

// The file behind a path: a rewrite swaps in another file, even with the same bytes.
uint64_t FileIdentity(const std::wstring& path) {
  const pelorin::unique_file file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return 0;
  return (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// A start that finds its files up to date writes none of them, and removes
// what a killed process left.
TEST(UpToDate, RepeatedStartWritesNothing) {
  Scene scene;
  scene.agent.AddFile(L"ClientConfig.qcf");
  WriteBytes(scene.loader(), "// mine\n" + PrefFilename("other.cfg") + "\n");
  WriteBytes(scene.cfg(), "//\n// user\n" + kCfgPkix + "\n");
  EXPECT_EQ(scene.dll->ZarnStart(nullptr, L"", L"", 0), 0);
  const std::wstring files[] = {scene.loader(), scene.cfg()};
  std::vector<std::string> bytes;
  std::vector<uint64_t> identities;
  for (const std::wstring& file : files) {
    bytes.push_back(ReadBytes(file));
    identities.push_back(FileIdentity(file));
    WriteBytes(file + L".pelorin-tmp", "killed mid-write");
  }
  scene.Reload();  // the next start must find the files up to date by reading them
  EXPECT_EQ(scene.dll->ZarnStart(nullptr, L"", L"", 0), 0);
  for (size_t i = 0; i < std::size(files); ++i) {
    EXPECT_EQ(ReadBytes(files[i]), bytes[i]);
    EXPECT_EQ(FileIdentity(files[i]), identities[i]) << Narrow(files[i]) << " was rewritten";
    EXPECT_FALSE(FileExists(files[i] + L".pelorin-tmp"));
  }
}

TEST(Unusual, InstallFolderWithAccentsAndCjk) {
  Scene scene(L"Mozilla Firef\u00f6x \u00e9t\u00e9 \u706b\u72d0 \U0001F98A");
  WriteBytes(scene.cfg(), "// mine\n");
  EXPECT_EQ(scene.dll->InstallPath(), scene.firefox.dir());
  EXPECT_EQ(scene.dll->ZarnStart(nullptr, L"", L"", 0), 0);
  EXPECT_EQ(ReadBytes(scene.loader()), kV2nLoader);
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n" + kZarnLines);
  // Through the non-ASCII path saved in FFCFG: the proxy pair, then the rest.
  EXPECT_EQ(scene.dll->UninstallCleanUp(true), 0);
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n" + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kRoots);
  EXPECT_EQ(scene.dll->UninstallCleanUp(false), 0);
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n");
}

}  // namespace
