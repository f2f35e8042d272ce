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

// Last-write time, to tell an untouched file from one rewritten unchanged.
ULONGLONG LastWrite(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

void AgeFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const FILETIME year_2001 = {0xC89DC000, 0x01C07385};
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &year_2001));
  CloseHandle(file);
  ASSERT_EQ(LastWrite(path), 0x01C07385C89DC000ULL);
}

TEST(DlpStartResult, NoFirefoxEndsAtOnce) {
  RegistrySandbox registry;
  PelorinDll dll;
  dll.Initialize();
  EXPECT_EQ(dll.DlpStart(nullptr, L"", L""), -1);
  EXPECT_EQ(OrlixDouble::Messages(), Messages{L"firefox install path is empty."});
}

class DlpStart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll_.DlpStart, nullptr);
    firefox_.Register(registry_);
    dll_.Initialize();
  }

  RegistrySandbox registry_;
  FirefoxInstall firefox_;
  AgentInstall agent_{registry_};
  PelorinDll dll_;
  std::wstring loader_ = firefox_.pref(L"!.js");
  std::wstring cfg_ = firefox_.file(L"cv_mozilla_V2N.cfg");
};

TEST_F(DlpStart, RvClientConfigSkipsEverythingSilently) {
  agent_.AddFile(L"RvClientConfig.qcf");
  EXPECT_EQ(dll_.DlpStart(nullptr, L"", L""), 0);
  EXPECT_TRUE(OrlixDouble::Messages().empty());
  EXPECT_FALSE(FileExists(loader_));
}

TEST_F(DlpStart, FreshInstallWritesBothFiles) {
  EXPECT_EQ(dll_.DlpStart(nullptr, L"", L""), 1);
  EXPECT_EQ(OrlixDouble::Messages(),
            (Messages{L"FF extension updated JS file: !.js", L"FF extension ff_install_path_", firefox_.dir(),
                      L"FF extension CFG file do not exists. Creating one.", L"NetworkProxy service is NOT running",
                      L"SaveCurrentCFGFilePath", L"FF extension updated CFG file: cv_mozilla_V2N.cfg",
                      L"Finished DLP FF extension operation."}));
  EXPECT_EQ(ReadBytes(loader_), kV2nLoader);
  EXPECT_EQ(ReadBytes(cfg_), "//\n" + DlpCfgTail(false));
  EXPECT_EQ(registry_.ReadString(kAgentCommonKey, L"FFCFG"), cfg_);
}

TEST_F(DlpStart, UpToDateFilesAreOnlyReported) {
  InlineProxyOn proxy(registry_);
  WriteBytes(loader_, kV2nLoader);
  WriteBytes(cfg_, "//\n" + DlpCfgTail(true));
  AgeFile(loader_);
  AgeFile(cfg_);
  const ULONGLONG loader_time = LastWrite(loader_), cfg_time = LastWrite(cfg_);
  EXPECT_EQ(dll_.DlpStart(nullptr, L"", L""), 1);
  EXPECT_EQ(OrlixDouble::Messages(),
            (Messages{L"FF extension JS file already updated.", L"FF extension ff_install_path_", firefox_.dir(),
                      L"FF extension CFG file already updated.", L"Finished DLP FF extension operation."}));
  EXPECT_EQ(LastWrite(loader_), loader_time);
  EXPECT_EQ(LastWrite(cfg_), cfg_time);
}

TEST_F(DlpStart, StaleAutoconfigBesideUpToDateLoaderLeavesPrefDirectoryAlone) {
  const std::string stale = PrefFilename("cv_mozilla_zarn.cfg") + "\n";
  WriteBytes(loader_, kV2nLoader);
  WriteBytes(firefox_.pref(L"prefs.js"), stale);
  WriteBytes(cfg_, "//\nuser();\n");
  EXPECT_EQ(dll_.DlpStart(nullptr, L"", L""), 1);
  EXPECT_EQ(OrlixDouble::Messages(),
            (Messages{L"FF extension JS file already updated.", L"FF extension ff_install_path_", firefox_.dir(),
                      L"NetworkProxy service is NOT running", L"SaveCurrentCFGFilePath",
                      L"FF extension updated CFG file: cv_mozilla_V2N.cfg", L"Finished DLP FF extension operation."}));
  EXPECT_EQ(ReadBytes(firefox_.pref(L"prefs.js")), stale);
  EXPECT_EQ(ReadBytes(cfg_), "//\nuser();\n" + DlpCfgTail(false));
}

// A loader file the directory scan does not cover keeps a web mode's line
// until the DLP writer meets it.
TEST_F(DlpStart, WebModeLoaderLineSwitchesToTheSharedName) {
  for (const char* web_cfg : {"cv_mozilla_zarn.cfg", "cv_mozilla_tovk.cfg"}) {
    SCOPED_TRACE(web_cfg);
    OrlixDouble::Clear();
    WriteBytes(firefox_.pref(L"loader.txt"), "A\n" + PrefFilename(web_cfg) + "\nB\n");
    WriteBytes(firefox_.pref(L"prefs.js"), PrefFilename(web_cfg) + "\n");
    EXPECT_EQ(dll_.DlpStart(nullptr, L"loader.txt", L"custom.cfg"), 1);
    const Messages messages = OrlixDouble::Messages();
    ASSERT_EQ(messages.size(), 8u);
    EXPECT_EQ(messages[0], L"FF extension updated JS file: loader.txt");
    EXPECT_EQ(messages[6], L"FF extension updated CFG file: cv_mozilla_V2N.cfg");
    EXPECT_EQ(ReadBytes(firefox_.pref(L"loader.txt")), "A\nB\n" + kV2nLoader);
    EXPECT_EQ(ReadBytes(firefox_.pref(L"prefs.js")), "");
    EXPECT_EQ(ReadBytes(cfg_), "//\n" + DlpCfgTail(false));
    EXPECT_FALSE(FileExists(firefox_.file(L"custom.cfg")));
    DeleteFileW(cfg_.c_str());
  }
}

}  // namespace
