// Where Firefox is installed, read from its start-menu registration.
#include <gtest/gtest.h>

#include "Registry.h"
#include "firefox/InstallPath.h"

using namespace testing_support;

namespace {

std::wstring CommandKey(const std::wstring& subkey) {
  return std::wstring(kBrowserListKey) + L"\\" + subkey + L"\\shell\\open\\command";
}

struct CommandCase {
  const wchar_t* command;
  const wchar_t* directory;
};

class CommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTest, DirectoryIsBetweenFirstCharacterAndLastBackslash) {
  RegistrySandbox registry;
  registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", GetParam().command);
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), GetParam().directory);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandTest,
    ::testing::Values(
        CommandCase{L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", L"C:\\Program Files\\Mozilla Firefox"},
        CommandCase{L"C:\\Firefox\\firefox.exe", L":\\Firefox"},
        CommandCase{L"\"C:\\Firefox\\firefox.exe\" -profile \"D:\\p\\x\"", L"C:\\Firefox\\firefox.exe\" -profile \"D:\\p"},
        CommandCase{L"\"firefox.exe\"", L"firefox.exe\""}, CommandCase{L"x", L""}, CommandCase{L"", L""},
        CommandCase{L"\\firefox.exe", L""}));

TEST(InstallPath, FirefoxChosenAmongOtherBrowsersAndOpenedLowerCased) {
  RegistrySandbox registry;
  registry.SetString(CommandKey(L"BROWSER-A.EXE"), L"", L"\"C:\\A\\a.exe\"");
  registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", L"\"C:\\Mozilla Firefox\\firefox.exe\"");
  registry.SetString(CommandKey(L"BROWSER-B.EXE"), L"", L"\"C:\\B\\b.exe\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"C:\\Mozilla Firefox");
}

TEST(InstallPath, FirstMatchWinsEvenWithoutCommand) {
  RegistrySandbox registry;
  // Subkeys enumerate in name order: "A-Firefox" before "Firefox-2".
  registry.CreateKey(std::wstring(kBrowserListKey) + L"\\A-Firefox");
  registry.SetString(CommandKey(L"Firefox-2"), L"", L"\"C:\\Second\\firefox.exe\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
}

TEST(InstallPath, SubstringMatchAnywhereInTheName) {
  RegistrySandbox registry;
  registry.SetString(CommandKey(L"MyFirefoxBuild"), L"", L"\"D:\\Builds\\ff\\firefox.exe\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"D:\\Builds\\ff");
}

TEST(InstallPath, EmptyWithoutKeyWithoutSubkeysOrWithWrongValue) {
  RegistrySandbox registry;
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
  registry.CreateKey(kBrowserListKey);
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
  registry.SetDword(CommandKey(L"FIREFOX.EXE"), L"", 1);
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
}

TEST(InstallPath, CommandsUpToTheBufferAreReadLongerOnesAreNot) {
  RegistrySandbox registry;
  // 259 characters fill the 260-character buffer with its terminator.
  std::wstring dir = L"C:\\" + std::wstring(243, L'd');
  std::wstring fits = L"\"" + dir + L"\\firefox.exe";
  ASSERT_EQ(fits.size(), 259u);
  registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", fits);
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), dir);
  registry.SetString(CommandKey(L"FIREFOX.EXE"), L"", fits + L"\"");
  EXPECT_EQ(pelorin::FindFirefoxInstallPath(), L"");
}

}  // namespace
