// Where Firefox and the agent are installed, and what is found there.
#include <gtest/gtest.h>
#include <vector>
#include "Files.h"
#include "Registry.h"
#include "Sandboxes.h"
#include "agent/AgentConfig.h"
#include "firefox/InstallPath.h"
#include "firefox/PrefDirectory.h"

using namespace testing_support;
namespace {
std::wstring CommandKey(const std::wstring& subkey) {
  return std::wstring(kBrowserListKey) + L"\\" + subkey + L"\\shell\\open\\command";
}

TEST(InstallPath, DirectoryIsBetweenFirstCharacterAndLastBackslash) {
  // 259 characters fill the 260-character buffer with its terminator.
  const std::wstring long_dir = L"C:\\" + std::wstring(243, L'd'), fits = L"\"" + long_dir + L"\\firefox.exe";
  const std::wstring cases[][2] = {
      {L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", L"C:\\Program Files\\Mozilla Firefox"},
      {L"C:\\Firefox\\firefox.exe", L":\\Firefox"},
      {L"\"C:\\Firefox\\firefox.exe\" -profile \"D:\\p\\x\"", L"C:\\Firefox\\firefox.exe\" -profile \"D:\\p"},
      {L"x", L""}, {L"", L""}, {fits, long_dir}, {fits + L"\"", L""}};
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", c[0]);
    EXPECT_EQ(pelorin::FindFirefoxInstallPath(), c[1]) << testing::PrintToString(c[0]);
  }
}

TEST(InstallPath, FirstSubkeyNamingFirefoxWins) {
  RegistrySandbox registry;
  registry.SetString(CommandKey(L"BROWSER-A.EXE"), L"", L"\"C:\\A\\a.exe\"");
  registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", L"\"C:\\Mozilla Firefox\\firefox.exe\"");
  registry.SetString(CommandKey(L"BROWSER-B.EXE"), L"", L"\"C:\\B\\b.exe\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"C:\\Mozilla Firefox");
  registry.CreateKey(std::wstring(kBrowserListKey) + L"\\A-Firefox");  // before FIREFOX.EXE, no command
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
}

TEST(ListPrefJsFiles, LowerCasedJsFilesInCodeUnitOrder) {
  FirefoxInstall firefox;
  for (const wchar_t* name : {L"prefs.js", L"Local.JS", L"!.js", L"Channel-Prefs.JS", L"MyLoader.JS", L"x.json",
                              L"notes.js.bak", L"a.js.js"})
    WriteBytes(firefox.pref(name), "");
  MakeDirectory(firefox.pref(L"old.js"));
  pelorin::PrefNameSet names{L"stale.js"};
  pelorin::ListPrefJsFiles(firefox.pref_dir(), names);
  EXPECT_EQ(std::vector<std::wstring>(names.begin(), names.end()),
            (std::vector<std::wstring>{L"!.js", L"local.js", L"myloader.js", L"prefs.js"}));
}

TEST(AgentConfig, ProbesOfTheInstallFolder) {
  constexpr uint32_t kUntouched = 7;
  const struct {
    std::vector<std::wstring> folders, files;
    int32_t client, rv, flag;
    const wchar_t* install_path = L"\\";  // after the agent's folder
  } cases[] = {
      {{}, {}, 0, 0, kUntouched},
      {{}, {L"ClientConfig.qcf"}, 1, 0, kUntouched},
      {{}, {L"RvClientConfig.qcf", L"PXYClientConfig.qcf"}, 0, 1, 0},
      {{L"ClientConfig.qcf", L"RvClientConfig.qcf"}, {L"PXYClientConfig.qcf"}, 0, 0, 1},
      // Nothing adds a separator: the names go on the path as stored.
      {{L"x"}, {L"x\\ClientConfig.qcf", L"xRvClientConfig.qcf"}, 0, 1, 0, L"\\x"},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    AgentInstall agent(registry);
    registry.SetString(kAgentKey, L"InstallPath", agent.dir() + c.install_path);
    for (const std::wstring& name : c.folders) MakeDirectory(agent.dir() + L"\\" + name);
    for (const std::wstring& name : c.files) agent.AddFile(name);
    uint32_t flag = kUntouched;
    EXPECT_EQ(pelorin::IsClientConfigPresent(), c.client) << "row " << &c - cases;
    EXPECT_EQ(pelorin::IsRvClientConfigPresent(&flag), c.rv);
    EXPECT_EQ(flag, uint32_t(c.flag));
    EXPECT_EQ(pelorin::IsRvClientConfigPresent(nullptr), c.rv);
  }
}
}  // namespace
