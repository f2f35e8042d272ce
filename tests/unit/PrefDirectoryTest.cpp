// Which preference files the library visits, and in which order.
#include <gtest/gtest.h>

#include <vector>

#include "Files.h"
#include "Sandboxes.h"
#include "firefox/PrefDirectory.h"

using namespace testing_support;

namespace {

constexpr char kFilenameLine[] = "pref(\"general.config.filename\", \"their.cfg\");\n";

void FillPrefDir(const FirefoxInstall& firefox) {
  for (const wchar_t* name : {L"prefs.js", L"Local.JS", L"!.js", L"Channel-Prefs.JS", L"MyLoader.JS", L"x.json",
                              L"notes.js.bak", L"a.js.js"}) {
    WriteBytes(firefox.pref(name), std::string("pref(\"a\", 1);\n") + kFilenameLine);
  }
  MakeDirectory(firefox.pref(L"old.js"));
}

TEST(ListPrefJsFiles, LowerCasedJsFilesInCodeUnitOrder) {
  FirefoxInstall firefox;
  FillPrefDir(firefox);
  pelorin::PrefNameSet names{L"stale.js"};
  // A trailing backslash doubles the separator in the pattern; Windows accepts it.
  for (const std::wstring& dir : {firefox.pref_dir(), firefox.pref_dir() + L"\\"}) {
    pelorin::ListPrefJsFiles(dir, names);
    EXPECT_EQ(std::vector<std::wstring>(names.begin(), names.end()),
              (std::vector<std::wstring>{L"!.js", L"local.js", L"myloader.js", L"prefs.js"}));
  }
  pelorin::ListPrefJsFiles(firefox.file(L"no such dir"), names);
  EXPECT_TRUE(names.empty());
}

TEST(StripPrefDirectory, StripsListedFilesAndChannelPrefsOnly) {
  FirefoxInstall firefox;
  FillPrefDir(firefox);
  EXPECT_EQ(pelorin::StripPrefDirectory(firefox.dir()), 1);
  for (const wchar_t* name : {L"prefs.js", L"Local.JS", L"!.js", L"Channel-Prefs.JS", L"MyLoader.JS"}) {
    EXPECT_EQ(ReadBytes(firefox.pref(name)), "pref(\"a\", 1);\n") << Narrow(name);
  }
  for (const wchar_t* name : {L"x.json", L"notes.js.bak", L"a.js.js"}) {
    EXPECT_EQ(ReadBytes(firefox.pref(name)), std::string("pref(\"a\", 1);\n") + kFilenameLine) << Narrow(name);
  }
  EXPECT_TRUE(DirectoryExists(firefox.pref(L"old.js")));
}

TEST(StripPrefDirectory, CreatesNoChannelPrefs) {
  FirefoxInstall firefox;
  pelorin::StripPrefDirectory(firefox.dir());
  EXPECT_FALSE(FileExists(firefox.pref(L"channel-prefs.js")));
}

}  // namespace
