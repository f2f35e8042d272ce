// PelorinUninstallCleanUp: the autoconfig file named by FFCFG loses the
// library's lines (or only the proxy lines); nothing else changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

const std::string kAllSeven = kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgProxyType + "\n" + kCfgNoProxies + "\n" +
                              kCfgEnterpriseRoots + "\n" + kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n";
constexpr wchar_t kUnlocking[] = L"Unlocking only proxy settings.";

class UninstallCleanUp : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll_.UninstallCleanUp, nullptr);
    dll_.Initialize();
  }

  // The file as a start would have left it: FFCFG names it.
  std::string CleanUp(const std::string& content, bool only_proxy) {
    WriteBytes(path_, content);
    registry_.SetString(kAgentCommonKey, L"FFCFG", path_);
    EXPECT_EQ(dll_.UninstallCleanUp(only_proxy), 0);
    return ReadBytes(path_);
  }

  static long Unlockings() {
    auto messages = OrlixDouble::Messages();
    return static_cast<long>(std::count(messages.begin(), messages.end(), kUnlocking));
  }

  RegistrySandbox registry_;
  AgentInstall agent_{registry_};
  TempDir dir_;
  std::wstring path_ = dir_ / L"cv_mozilla_V2N.cfg";
  PelorinDll dll_;
};

TEST_F(UninstallCleanUp, OnlyProxyTakesOutTheTwoProxyLines) {
  EXPECT_EQ(CleanUp("//\n" + kAllSeven, true), "//\n" + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgEnterpriseRoots +
                                                   "\n" + kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n");
  EXPECT_EQ(Unlockings(), 1);
}

TEST_F(UninstallCleanUp, FullCleanupKeepsForeignLinesOnly) {
  const std::string bannerless = "lockPref(\"network.proxy.type\", 5);";
  EXPECT_EQ(CleanUp("//\npref(\"a\", 1);\n\n" + kAllSeven + "/* " + kCfgNoProxies + " */ x();\n\n" + bannerless + "\n\n",
                    false),
            "//\npref(\"a\", 1);\n" + bannerless + "\n");
  EXPECT_EQ(Unlockings(), 0);
}

TEST_F(UninstallCleanUp, FileIsMadeToBeginWithABareComment) {
  const std::pair<std::string, std::string> cases[] = {
      {"// Added by Corvane V2N\nx();\n", "//\n// Added by Corvane V2N\nx();\n"},
      {"//\r\nx();\r\n" + kCfgPkix + "\r\n", "//\n//\r\nx();\r\n"},
      {"//\nx();\n", "//\nx();\n"},
      {"", "//\n"},
      {kAllSeven, "//\n"},
  };
  for (const auto& [before, after] : cases) {
    SCOPED_TRACE(before);
    EXPECT_EQ(CleanUp(before, false), after);
  }
}

TEST_F(UninstallCleanUp, DeletedFileIsNotRecreated) {
  registry_.SetString(kAgentCommonKey, L"FFCFG", path_);
  EXPECT_EQ(dll_.UninstallCleanUp(true), 0);
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(Unlockings(), 0);
}

TEST_F(UninstallCleanUp, NothingHappensWithoutARecordedPath) {
  WriteBytes(path_, kAllSeven);
  for (bool drop_key : {false, true}) {
    if (drop_key) registry_.DeleteTree(kAgentCommonKey);
    EXPECT_EQ(dll_.UninstallCleanUp(true), 0);
    EXPECT_EQ(ReadBytes(path_), kAllSeven);
    EXPECT_TRUE(OrlixDouble::Messages().empty());
  }
}

}  // namespace
