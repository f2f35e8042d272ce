// Which preference files the library visits, and in which order.
#include <gtest/gtest.h>

#include <vector>

#include "Files.h"
#include "ImportPatch.h"
#include "Sandboxes.h"
#include "firefox/PrefDirectory.h"

using namespace testing_support;

namespace {

constexpr char kFilenameLine[] = "pref(\"general.config.filename\", \"their.cfg\");\n";
const std::vector<std::wstring> kStripped = {L"prefs.js", L"Local.JS", L"!.js", L"Channel-Prefs.JS", L"MyLoader.JS"};
const std::vector<std::wstring> kSkipped = {L"x.json", L"notes.js.bak", L"a.js.js"};

void FillPrefDir(const FirefoxInstall& firefox) {
  for (const auto* names : {&kStripped, &kSkipped}) {
    for (const std::wstring& name : *names) {
      WriteBytes(firefox.pref(name), std::string("pref(\"a\", 1);\n") + kFilenameLine);
    }
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

// Names of the files opened, repeats folded: the order of the visits.
std::vector<std::wstring> g_opened;
ImportPatch* g_create_file = nullptr;

HANDLE WINAPI RecordOpen(const wchar_t* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                         DWORD disposition, DWORD flags, HANDLE model) {
  std::wstring name = path;
  name = name.substr(name.rfind(L'\\') + 1);
  if (g_opened.empty() || g_opened.back() != name) g_opened.push_back(name);
  return g_create_file->original<decltype(&CreateFileW)>()(path, access, share, security, disposition, flags, model);
}

TEST(StripPrefDirectory, StripsListedFilesThenChannelPrefs) {
  FirefoxInstall firefox;
  EXPECT_EQ(pelorin::StripPrefDirectory(firefox.dir()), 1);
  EXPECT_FALSE(FileExists(firefox.pref(L"channel-prefs.js")));

  FillPrefDir(firefox);
  g_opened.clear();
  {
    ImportPatch patch("CreateFileW", reinterpret_cast<void*>(&RecordOpen));
    g_create_file = &patch;
    EXPECT_EQ(pelorin::StripPrefDirectory(firefox.dir()), 1);
  }
  EXPECT_EQ(g_opened,
            (std::vector<std::wstring>{L"!.js", L"local.js", L"myloader.js", L"prefs.js", L"channel-prefs.js"}));
  for (const std::wstring& name : kStripped) {
    EXPECT_EQ(ReadBytes(firefox.pref(name)), "pref(\"a\", 1);\n") << Narrow(name);
  }
  for (const std::wstring& name : kSkipped) {
    EXPECT_EQ(ReadBytes(firefox.pref(name)), std::string("pref(\"a\", 1);\n") + kFilenameLine) << Narrow(name);
  }
  EXPECT_TRUE(DirectoryExists(firefox.pref(L"old.js")));
}

}  // namespace
