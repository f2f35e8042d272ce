// PelorinDLPFFStart as the host sees it: results, log sequences, files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Policy.h"
#include "Sandboxes.h"

using namespace testing_support;
using Messages = std::vector<std::wstring>;

namespace {

const std::string kV2nLoader = kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n";
constexpr ULONGLONG kYear2001 = 0x01C07385C89DC000ULL;

// Last-write time (set first when `set` is given), to tell an untouched file
// from one rewritten unchanged.
ULONGLONG LastWrite(const std::wstring& path, const ULONGLONG* set = nullptr) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME time = {};
  if (set) time = {static_cast<DWORD>(*set), static_cast<DWORD>(*set >> 32)};
  EXPECT_TRUE(set ? SetFileTime(file, nullptr, nullptr, &time) : GetFileTime(file, nullptr, nullptr, &time));
  CloseHandle(file);
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class DlpStart : public ::testing::Test {
 protected:
  void SetUp() override {
    firefox.Register(registry);
    dll.Initialize();
  }
  Messages Run(int32_t result, const std::wstring& loader_name = L"", const std::wstring& cfg_name = L"") {
    OrlixDouble::Clear();
    EXPECT_EQ(dll.DlpStart(nullptr, loader_name, cfg_name), result);
    return OrlixDouble::Messages();
  }
  // What a start that writes the autoconfig file logs after the install directory.
  Messages Written(const std::wstring& js_message, bool created) const {
    Messages all{js_message, L"FF extension ff_install_path_", firefox.dir()};
    if (created) all.push_back(L"FF extension CFG file do not exists. Creating one.");
    all.insert(all.end(), {L"NetworkProxy service is NOT running", L"SaveCurrentCFGFilePath",
                           L"FF extension updated CFG file: cv_mozilla_V2N.cfg", L"Finished DLP FF extension operation."});
    return all;
  }

  RegistrySandbox registry;
  FirefoxInstall firefox;
  AgentInstall agent{registry};
  PelorinDll dll;
  const std::wstring loader = firefox.pref(L"!.js");
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
};

TEST_F(DlpStart, StopsAtOnceWithoutFirefoxOrWithRvClientConfig) {
  registry.DeleteTree(kBrowserListKey);
  EXPECT_EQ(Run(-1), Messages{L"firefox install path is empty."});
  firefox.Register(registry);
  agent.AddFile(L"RvClientConfig.qcf");
  EXPECT_EQ(Run(0), Messages{});
  EXPECT_FALSE(FileExists(loader));
}

TEST_F(DlpStart, FreshInstallWritesBothFiles) {
  EXPECT_EQ(Run(1), Written(L"FF extension updated JS file: !.js", true));
  EXPECT_EQ(ReadBytes(loader), kV2nLoader);
  EXPECT_EQ(ReadBytes(cfg), "//\n" + DlpCfgTail(false));
  EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFCFG"), cfg);
}

TEST_F(DlpStart, UpToDateFilesAreOnlyReported) {
  InlineProxyOn proxy(registry);
  WriteBytes(loader, kV2nLoader);
  WriteBytes(cfg, "//\n" + DlpCfgTail(true));
  LastWrite(loader, &kYear2001);
  LastWrite(cfg, &kYear2001);
  EXPECT_EQ(Run(1), (Messages{L"FF extension JS file already updated.", L"FF extension ff_install_path_", firefox.dir(),
                              L"FF extension CFG file already updated.", L"Finished DLP FF extension operation."}));
  EXPECT_EQ(LastWrite(loader), kYear2001);
  EXPECT_EQ(LastWrite(cfg), kYear2001);
}

TEST_F(DlpStart, StaleAutoconfigBesideUpToDateLoaderLeavesPrefDirectoryAlone) {
  const std::string stale = PrefFilename("cv_mozilla_zarn.cfg") + "\n";
  WriteBytes(loader, kV2nLoader);
  WriteBytes(firefox.pref(L"prefs.js"), stale);
  WriteBytes(cfg, "//\nuser();\n");
  EXPECT_EQ(Run(1), Written(L"FF extension JS file already updated.", false));
  EXPECT_EQ(ReadBytes(firefox.pref(L"prefs.js")), stale);
  EXPECT_EQ(ReadBytes(cfg), "//\nuser();\n" + DlpCfgTail(false));
}

// A loader file the directory scan does not cover keeps a web mode's line
// until the DLP writer meets it.
TEST_F(DlpStart, WebModeLoaderLineSwitchesToTheSharedName) {
  for (const char* web_cfg : {"cv_mozilla_zarn.cfg", "cv_mozilla_tovk.cfg"}) {
    SCOPED_TRACE(web_cfg);
    WriteBytes(firefox.pref(L"loader.txt"), "A\n" + PrefFilename(web_cfg) + "\nB\n");
    WriteBytes(firefox.pref(L"prefs.js"), PrefFilename(web_cfg) + "\n");
    EXPECT_EQ(Run(1, L"loader.txt", L"custom.cfg"), Written(L"FF extension updated JS file: loader.txt", true));
    EXPECT_EQ(ReadBytes(firefox.pref(L"loader.txt")), "A\nB\n" + kV2nLoader);
    EXPECT_EQ(ReadBytes(firefox.pref(L"prefs.js")), "");
    EXPECT_EQ(ReadBytes(cfg), "//\n" + DlpCfgTail(false));
    EXPECT_FALSE(FileExists(firefox.file(L"custom.cfg")));
    DeleteFileW(cfg.c_str());
  }
}

}  // namespace
