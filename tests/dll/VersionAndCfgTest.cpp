// PelorinGetFFVersionAndCfg as the host calls it.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

TEST(VersionAndCfg, ReportsTheFirstPreferenceFileAndTheCfgItNames) {
  const std::string zarn = "pref(\"general.config.filename\", \"cv_mozilla_zarn.cfg\");\n";
  const std::string other = "pref(\"general.config.filename\", \"other.cfg\");\n";
  struct Case {
    const char* name;
    std::vector<std::pair<std::wstring, std::string>> files;
    std::wstring loader, cfg;
  } const cases[] = {
      {"!.js first", {{L"prefs.js", other}, {L"Local.JS", other}, {L"Channel-Prefs.JS", other}, {L"!.js", zarn}},
       L"!.js", L"cv_mozilla_zarn.cfg"},
      {"local.js before prefs.js", {{L"prefs.js", other}, {L"Local.JS", zarn}, {L"Channel-Prefs.JS", other}},
       L"local.js", L"cv_mozilla_zarn.cfg"},
      {"channel-prefs.js last", {{L"Channel-Prefs.JS", other}, {L"prefs.js", zarn}}, L"prefs.js",
       L"cv_mozilla_zarn.cfg"},
      {"no filename line", {{L"MyLoader.JS", "pref(\"a\", 1);\n"}}, L"myloader.js", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegistrySandbox registry;
    FirefoxInstall firefox;
    firefox.Register(registry);
    for (const auto& [name, bytes] : c.files) WriteBytes(firefox.pref(name), bytes);
    PelorinDll dll;
    dll.Initialize();
    std::wstring loader = L"untouched", cfg = L"untouched";
    EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
    EXPECT_EQ(loader, c.loader);
    EXPECT_EQ(cfg, c.cfg);
  }
}

// Looking for Firefox creates a missing defaults folder, so that shows
// whether a call looked.
TEST(VersionAndCfg, OutputsLeftAloneWhenThereIsNothingToReport) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  WriteBytes(firefox.pref(L"!.js"), "pref(\"general.config.filename\", \"a.cfg\");\n");
  PelorinDll dll;
  std::wstring loader = L"untouched", cfg = L"untouched";
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 0);  // before PelorinInitialize

  RemoveTree(firefox.file(L"defaults"));
  dll.Initialize();
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"", &loader, &cfg), 0);
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", nullptr, nullptr), 1);
  EXPECT_FALSE(DirectoryExists(firefox.file(L"defaults")));

  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
  EXPECT_TRUE(DirectoryExists(firefox.pref_dir()));

  registry.DeleteTree(kBrowserListKey);
  EXPECT_EQ(dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
  EXPECT_EQ(loader, L"untouched");
  EXPECT_EQ(cfg, L"untouched");
}

}  // namespace
