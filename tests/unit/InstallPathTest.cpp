// Where Firefox is installed, read from its start-menu registration.
#include <gtest/gtest.h>

#include "Registry.h"
#include "firefox/InstallPath.h"

using namespace testing_support;

namespace {

std::wstring CommandKey(const std::wstring& subkey) {
  return std::wstring(kBrowserListKey) + L"\\" + subkey + L"\\shell\\open\\command";
}

TEST(InstallPath, DirectoryIsBetweenFirstCharacterAndLastBackslash) {
  // 259 characters fill the 260-character buffer with its terminator.
  const std::wstring long_dir = L"C:\\" + std::wstring(243, L'd');
  const std::wstring fits = L"\"" + long_dir + L"\\firefox.exe";
  ASSERT_EQ(fits.size(), 259u);
  const struct {
    std::wstring command, directory;
  } cases[] = {
      {L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", L"C:\\Program Files\\Mozilla Firefox"},
      {L"C:\\Firefox\\firefox.exe", L":\\Firefox"},
      {L"\"C:\\Firefox\\firefox.exe\" -profile \"D:\\p\\x\"", L"C:\\Firefox\\firefox.exe\" -profile \"D:\\p"},
      {L"\"firefox.exe\"", L"firefox.exe\""},
      {L"x", L""},
      {L"", L""},
      {L"\\firefox.exe", L""},
      {fits, long_dir},
      {fits + L"\"", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.command));
    RegistrySandbox registry;
    registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", c.command);
    EXPECT_EQ(pelorin::FindFirefoxInstallPath(), c.directory);
  }
}

TEST(InstallPath, SubkeyNamesDecide) {
  RegistrySandbox registry;
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
  registry.CreateKey(kBrowserListKey);
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
  registry.SetDword(CommandKey(L"FIREFOX.EXE"), L"", 1);
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");

  registry.SetString(CommandKey(L"BROWSER-A.EXE"), L"", L"\"C:\\A\\a.exe\"");
  registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", L"\"C:\\Mozilla Firefox\\firefox.exe\"");
  registry.SetString(CommandKey(L"BROWSER-B.EXE"), L"", L"\"C:\\B\\b.exe\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"C:\\Mozilla Firefox");

  registry.DeleteTree(kBrowserListKey);
  registry.SetString(CommandKey(L"MyFirefoxBuild"), L"", L"\"D:\\Builds\\ff\\firefox.exe\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"D:\\Builds\\ff");
  // Subkeys enumerate in name order: "A-Firefox", without a command, wins.
  registry.CreateKey(std::wstring(kBrowserListKey) + L"\\A-Firefox");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
}

}  // namespace
