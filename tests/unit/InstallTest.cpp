// Where Firefox and the agent are installed, and what is found there.
#include <gtest/gtest.h>

#include <optional>
#include <vector>
#include "CfgText.h"
#include "Files.h"
#include "Registry.h"
#include "Sandboxes.h"
#include "agent/AgentConfig.h"
#include "firefox/InstallPath.h"
#include "firefox/PrefDirectory.h"
#include "modes/Cleanup.h"

using namespace testing_support;
using namespace std::string_literals;
namespace {
std::wstring CommandKey(const std::wstring& subkey) {
  return std::wstring(kBrowserListKey) + L"\\" + subkey + L"\\shell\\open\\command";
}
TEST(InstallPath, DirectoryIsBetweenFirstCharacterAndLastBackslash) {
  // 259 characters fill the 260-character buffer with its terminator.
  const std::wstring long_dir = L"C:\\" + std::wstring(243, L'd');
  const std::wstring fits = L"\"" + long_dir + L"\\firefox.exe";
  const std::wstring cases[][2] = {
      {L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", L"C:\\Program Files\\Mozilla Firefox"},
      {L"C:\\Firefox\\firefox.exe", L":\\Firefox"},
      {L"\"C:\\Firefox\\firefox.exe\" -profile \"D:\\p\\x\"", L"C:\\Firefox\\firefox.exe\" -profile \"D:\\p"},
      {L"x", L""},
      {L"", L""},
      {fits, long_dir},
      {fits + L"\"", L""}};
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", c[0]);
    EXPECT_EQ(pelorin::FindFirefoxInstallPath(), c[1]) << testing::PrintToString(c[0]);
  }
}

// A REG_EXPAND_SZ command is expanded, whatever its stored length, and must
// then fit MAX_PATH characters with its terminator; a REG_SZ command must fit
// as stored, a terminator only where there is room for one.
TEST(InstallPath, ExpandedAndStoredCommandsWithinMaxPath) {
  SetEnvironmentVariableW(L"PELORIN_TEST_FIREFOX", L"C:\\Mozilla Firefox");
  const std::wstring kExpandable = L"\"%PELORIN_TEST_FIREFOX%\\firefox.exe\"";
  // 20 characters once expanded, before the file name.
  const std::wstring kExpandablePrefix = L"\"%PELORIN_TEST_FIREFOX%\\";
  const std::wstring kDir250 = L"C:\\" + std::wstring(247, L'd');
  const std::wstring kPadding(300, L'p');
  const std::wstring kFirefoxExe = L"\"C:\\Firefox\\firefox.exe\"";
  const struct {
    DWORD type;
    std::wstring units;  // stored as they are, no terminator added
    std::wstring dir;
  } cases[] = {
      {REG_EXPAND_SZ, kExpandable + L'\0', L"C:\\Mozilla Firefox"},
      {REG_EXPAND_SZ, kExpandable + L'\0' + kPadding + L'\0', L"C:\\Mozilla Firefox"},
      {REG_EXPAND_SZ, kExpandablePrefix + std::wstring(239, L'f') + L'\0', L"C:\\Mozilla Firefox"},
      {REG_EXPAND_SZ, kExpandablePrefix + std::wstring(240, L'f') + L'\0', L""},
      {REG_SZ, kExpandable + L'\0', L"%PELORIN_TEST_FIREFOX%"},
      {REG_SZ, L"\"" + kDir250 + L"\\firefox", kDir250},  // 259 characters
      {REG_SZ, L"\"" + kDir250 + L"d\\firefox", L""},     // 260: no room for a terminator
      // Padded after the NUL to MAX_PATH characters as stored, then one further.
      {REG_SZ, kFirefoxExe + L'\0' + std::wstring(MAX_PATH - kFirefoxExe.size() - 1, L'p'), L"C:\\Firefox"},
      {REG_SZ, kFirefoxExe + L'\0' + std::wstring(MAX_PATH - kFirefoxExe.size(), L'p'), L""},
      {REG_MULTI_SZ, kFirefoxExe + L'\0' + L'\0', L""},
      {REG_BINARY, kFirefoxExe + L'\0', L""},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.SetUnits(CommandKey(L"FIREFOX.EXE"), L"", c.type, c.units);
    EXPECT_EQ(pelorin::FindFirefoxInstallPath(), c.dir) << "row " << &c - cases;
  }
  SetEnvironmentVariableW(L"PELORIN_TEST_FIREFOX", nullptr);
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
  for (const wchar_t* name :
       {L"prefs.js", L"Local.JS", L"!.js", L"Channel-Prefs.JS", L"MyLoader.JS", L"x.json", L"notes.js.bak", L"a.js.js"})
    WriteBytes(firefox.pref(name), "");
  MakeDirectory(firefox.pref(L"old.js"));
  pelorin::PrefNameSet names{L"stale.js"};
  pelorin::ListPrefJsFiles(firefox.pref_dir(), names);
  EXPECT_EQ(std::vector<std::wstring>(names.begin(), names.end()),
            (std::vector<std::wstring>{L"!.js", L"local.js", L"myloader.js", L"prefs.js"}));
}

TEST(AgentConfig, ProbesOfTheInstallFolder) {
  const std::optional<bool> kUntouched;
  const struct {
    std::vector<std::wstring> folders, files;
    bool client, rv;
    std::optional<bool> proxy;
    const wchar_t* install_path = L"\\";  // after the agent's folder
  } cases[] = {
      {{}, {}, false, false, kUntouched},
      {{}, {L"ClientConfig.qcf"}, true, false, kUntouched},
      {{}, {L"RvClientConfig.qcf", L"PXYClientConfig.qcf"}, false, true, false},
      {{L"ClientConfig.qcf", L"RvClientConfig.qcf"}, {L"PXYClientConfig.qcf"}, false, false, true},
      // Nothing adds a separator: the names go on the path as stored.
      {{L"x"}, {L"x\\ClientConfig.qcf", L"xRvClientConfig.qcf"}, false, true, false, L"\\x"},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    AgentInstall agent(registry);
    registry.SetString(kAgentKey, L"InstallPath", agent.dir() + c.install_path);
    for (const std::wstring& name : c.folders) MakeDirectory(agent.dir() + L"\\" + name);
    for (const std::wstring& name : c.files) agent.AddFile(name);
    EXPECT_EQ(pelorin::IsClientConfigPresent(), c.client) << "row " << &c - cases;
    for (bool before : {false, true}) {
      bool proxy = before;
      EXPECT_EQ(pelorin::IsRvClientConfigPresent(&proxy), c.rv);
      EXPECT_EQ(proxy, c.proxy.value_or(before));
    }
    EXPECT_EQ(pelorin::IsRvClientConfigPresent(nullptr), c.rv);
  }
}

// `text` with its terminator, then filler up to `bytes`.
std::string PaddedTo(const std::wstring& text, size_t bytes) {
  const std::string stored = Utf16Bytes(text + L'\0');
  return stored + std::string(bytes - stored.size(), 'x');
}

// The agent's InstallPath and FFCFG follow one rule: any type (here REG_DWORD
// and REG_BINARY), at most MAX_PATH characters as stored, read up to the
// first NUL. An odd last byte reads as a character of its own.
TEST(AgentValues, ReadUpToTheFirstNulWithinMaxPath) {
  const struct {
    const char* shape;
    std::string (*stored)(const std::wstring& text);
    const wchar_t* read_suffix;  // what is read after `text`; null: nothing is read
  } cases[] = {
      {"without terminator", [](const std::wstring& text) { return Utf16Bytes(text); }, L""},
      {"padded to MAX_PATH characters", [](const std::wstring& text) { return PaddedTo(text, MAX_PATH * 2); }, L""},
      {"padded one byte further", [](const std::wstring& text) { return PaddedTo(text, MAX_PATH * 2 + 1); }, nullptr},
      {"with an odd last byte", [](const std::wstring& text) { return Utf16Bytes(text) + "A"; }, L"A"},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    AgentInstall agent(registry);
    const std::wstring folder = agent.dir() + L"\\";
    const std::wstring cfg = agent.dir() + L"\\agent.cfg";
    registry.SetBytes(kAgentKey, L"InstallPath", REG_DWORD, c.stored(folder));
    registry.SetBytes(kAgentCommonKey, L"FFCFG", REG_BINARY, c.stored(cfg));
    const std::wstring read_suffix = c.read_suffix ? c.read_suffix : L"";
    agent.AddFile(read_suffix + L"ClientConfig.qcf");
    const std::string locked = "//\n" + kCfgProxyType + "\n";
    WriteBytes(cfg + read_suffix, locked);
    EXPECT_EQ(pelorin::IsClientConfigPresent(), c.read_suffix ? 1 : 0) << c.shape;
    pelorin::UninstallCleanUp(false);
    EXPECT_EQ(ReadBytes(cfg + read_suffix), c.read_suffix ? "//\n" : locked) << c.shape;
  }
}
}  // namespace
