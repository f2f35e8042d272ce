// PelorinGetFFVersionAndCfg as the host calls it.
#include <gtest/gtest.h>

#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

class VersionAndCfg : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll.GetFFVersionAndCfg, nullptr);
    firefox.Register(registry);
  }
  int32_t Query(const std::wstring& id = L"id") { return dll.GetFFVersionAndCfg(id, &loader, &cfg); }
  void RemoveDefaults() { RemoveTree(firefox.file(L"defaults")); }

  RegistrySandbox registry;
  FirefoxInstall firefox;
  PelorinDll dll;
  std::wstring loader = L"untouched";
  std::wstring cfg = L"untouched";
};

TEST_F(VersionAndCfg, ReportsFirstLowerCasedFileAndTheCfgItNames) {
  WriteBytes(firefox.pref(L"prefs.js"), "pref(\"general.config.filename\", \"prefs.cfg\");\n");
  WriteBytes(firefox.pref(L"Local.JS"), "");
  WriteBytes(firefox.pref(L"Channel-Prefs.JS"), "");
  WriteBytes(firefox.pref(L"!.js"), "pref(\"general.config.filename\", \"cv_mozilla_zarn.cfg\");\n");
  dll.Initialize();
  EXPECT_EQ(Query(), 1);
  EXPECT_EQ(loader, L"!.js");
  EXPECT_EQ(cfg, L"cv_mozilla_zarn.cfg");
}

TEST_F(VersionAndCfg, NameIsLowerCasedAndCfgEmptyWithoutFilenameLine) {
  WriteBytes(firefox.pref(L"MyLoader.JS"), "pref(\"a\", 1);\n");
  dll.Initialize();
  EXPECT_EQ(Query(), 1);
  EXPECT_EQ(loader, L"myloader.js");
  EXPECT_EQ(cfg, L"");
}

TEST_F(VersionAndCfg, BeforeInitializeReturnsZeroAndTouchesNothing) {
  WriteBytes(firefox.pref(L"!.js"), "pref(\"general.config.filename\", \"a.cfg\");\n");
  EXPECT_EQ(Query(), 0);
  EXPECT_EQ(loader, L"untouched");
  EXPECT_EQ(cfg, L"untouched");
}

// Neither call may look for Firefox: looking creates the missing folders.
TEST_F(VersionAndCfg, EmptyIdOrNoOutputsCreatesNothing) {
  RemoveDefaults();
  dll.Initialize();
  EXPECT_EQ(Query(L""), 0);
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", nullptr, nullptr), 1);
  EXPECT_FALSE(DirectoryExists(firefox.file(L"defaults")));
}

TEST_F(VersionAndCfg, MissingDefaultsIsCreatedWithPref) {
  RemoveDefaults();
  dll.Initialize();
  EXPECT_EQ(Query(), 1);
  EXPECT_TRUE(DirectoryExists(firefox.pref_dir()));
  EXPECT_EQ(loader, L"untouched");
  EXPECT_EQ(cfg, L"untouched");
}

TEST_F(VersionAndCfg, WithoutFirefoxReturnsOneAndTouchesNothing) {
  registry.DeleteTree(kBrowserListKey);
  dll.Initialize();
  EXPECT_EQ(Query(), 1);
  EXPECT_EQ(loader, L"untouched");
  EXPECT_EQ(cfg, L"untouched");
}

}  // namespace
