// Where Firefox and the agent are installed, and what is found there.
#include <gtest/gtest.h>

#include "CfgText.h"
#include "Sandboxes.h"
#include "agent/AgentConfig.h"
#include "firefox/InstallPath.h"
#include "firefox/PrefDirectory.h"
#include "modes/Operations.h"

using namespace testing_support;
namespace {

std::wstring CommandKey(const std::wstring& subkey) {
  return std::wstring(kBrowserListKey) + L"\\" + subkey + L"\\shell\\open\\command";
}

// The folder lies between the command's first character and its last
// backslash. An expanded command must fit MAX_PATH characters with its
// terminator, a stored one as stored; other types are no command.
TEST(InstallPath, FromTheStartMenuCommand) {
  SetEnvironmentVariableW(L"PELORIN_TEST_FIREFOX", L"C:\\Mozilla Firefox");
  const std::wstring expandable = L"\"%PELORIN_TEST_FIREFOX%\\";  // 20 characters once expanded
  const std::wstring dir250 = L"C:\\" + std::wstring(247, L'd');
  const struct {
    DWORD type;
    std::wstring stored;  // as it is, no terminator added
    std::wstring dir;
  } cases[] = {
      {REG_SZ, L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", L"C:\\Program Files\\Mozilla Firefox"},
      {REG_SZ, L"C:\\Firefox\\firefox.exe", L":\\Firefox"},
      {REG_SZ, L"\"C:\\Firefox\\firefox.exe\" -profile \"D:\\p\\x\"", L"C:\\Firefox\\firefox.exe\" -profile \"D:\\p"},
      {REG_SZ, L"x", L""},
      {REG_EXPAND_SZ, expandable + std::wstring(239, L'f') + L'\0', L"C:\\Mozilla Firefox"},
      {REG_EXPAND_SZ, expandable + std::wstring(240, L'f') + L'\0', L""},
      {REG_SZ, expandable + L"firefox.exe\"", L"%PELORIN_TEST_FIREFOX%"},
      {REG_SZ, L"\"" + dir250 + L"\\firefox", dir250},  // 259 characters
      {REG_SZ, L"\"" + dir250 + L"d\\firefox", L""},    // 260: no room for a terminator
      {REG_MULTI_SZ, L"\"C:\\Firefox\\firefox.exe\"" + std::wstring(2, L'\0'), L""},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.SetBytes(CommandKey(L"FIREFOX.EXE"), L"", c.type, Utf16Bytes(c.stored));
    EXPECT_EQ(pelorin::FindFirefoxInstallPath(), c.dir) << "row " << &c - cases;
  }
  SetEnvironmentVariableW(L"PELORIN_TEST_FIREFOX", nullptr);
}

TEST(InstallPath, FirstSubkeyNamingFirefoxWins) {
  RegistrySandbox registry;
  registry.SetString(CommandKey(L"BROWSER-A.EXE"), L"", L"\"C:\\A\\a.exe\"");
  registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", L"\"C:\\Mozilla Firefox\\firefox.exe\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"C:\\Mozilla Firefox");
  registry.CreateKey(std::wstring(kBrowserListKey) + L"\\A-Firefox");  // before FIREFOX.EXE, no command
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
}

TEST(ListPrefJsFiles, LowerCasedJsFilesInCodeUnitOrder) {
  FirefoxInstall firefox;
  for (const wchar_t* name : {L"prefs.js", L"Local.JS", L"!.js", L"x.json", L"notes.js.bak"}) {
    WriteBytes(firefox.pref(name), "");
  }
  MakeDirectory(firefox.pref(L"old.js"));
  pelorin::PrefNameSet names;
  pelorin::ListPrefJsFiles(firefox.pref_dir(), names);
  EXPECT_EQ(names, (pelorin::PrefNameSet{{L"!.js", L"!.js"}, {L"local.js", L"Local.JS"}, {L"prefs.js", L"prefs.js"}}));
}

// Only files count, and the names go on InstallPath as stored: nothing adds a
// separator.
TEST(AgentConfig, ProbesOfTheInstallFolder) {
  const struct {
    std::wstring install_path;  // after the agent's folder
    std::vector<std::wstring> folders, files;
    bool client, rv;
  } cases[] = {
      {L"\\", {}, {L"ClientConfig.qcf"}, true, false},
      {L"\\", {}, {L"RvClientConfig.qcf"}, false, true},
      {L"\\", {L"ClientConfig.qcf", L"RvClientConfig.qcf"}, {}, false, false},
      {L"\\x", {L"x"}, {L"x\\ClientConfig.qcf", L"xRvClientConfig.qcf"}, false, true},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    AgentInstall agent(registry);
    registry.SetString(kAgentKey, L"InstallPath", agent.dir() + c.install_path);
    for (const std::wstring& name : c.folders) MakeDirectory(agent.dir() + L"\\" + name);
    for (const std::wstring& name : c.files) agent.AddFile(name);
    EXPECT_EQ(pelorin::IsClientConfigPresent(), c.client) << "row " << &c - cases;
    EXPECT_EQ(pelorin::IsRvClientConfigPresent(), c.rv) << "row " << &c - cases;
  }
}

// The agent's InstallPath and FFCFG take any type (here REG_DWORD and
// REG_BINARY), at most MAX_PATH characters as stored, read up to the first
// NUL; an odd last byte reads as a character of its own.
TEST(AgentValues, ReadUpToTheFirstNulWithinMaxPath) {
  const struct {
    size_t padded_to;       // bytes, after the text and a NUL; 0: no NUL
    const wchar_t* suffix;  // what is read after the text; null: nothing is read
  } cases[] = {{0, L"A"}, {MAX_PATH * 2, L""}, {MAX_PATH * 2 + 1, nullptr}};
  for (const auto& c : cases) {
    RegistrySandbox registry;
    AgentInstall agent(registry);
    const std::wstring cfg = agent.dir() + L"\\agent.cfg";
    auto stored = [&](const std::wstring& text) {
      if (c.padded_to == 0) return Utf16Bytes(text) + "A";
      const std::string bytes = Utf16Bytes(text + L'\0');
      return bytes + std::string(c.padded_to - bytes.size(), 'x');
    };
    registry.SetBytes(kAgentKey, L"InstallPath", REG_DWORD, stored(agent.dir() + L"\\"));
    registry.SetBytes(kAgentCommonKey, L"FFCFG", REG_BINARY, stored(cfg));
    const std::wstring suffix = c.suffix ? c.suffix : L"";
    agent.AddFile(suffix + L"ClientConfig.qcf");
    WriteBytes(cfg + suffix, "//\n" + kCfgProxyType + "\n");
    EXPECT_EQ(pelorin::IsClientConfigPresent(), c.suffix != nullptr) << "row " << &c - cases;
    pelorin::UninstallCleanUp(false);
    EXPECT_EQ(ReadBytes(cfg + suffix), c.suffix ? "//\n" : "//\n" + kCfgProxyType + "\n");
  }
}

}  // namespace
