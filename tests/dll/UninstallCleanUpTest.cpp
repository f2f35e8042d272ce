// PelorinUninstallCleanUp: the autoconfig file named by FFCFG loses the
// library's lines (or only the proxy lines); nothing else changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

long Unlockings() {
  const auto messages = OrlixDouble::Messages();
  return static_cast<long>(std::count(messages.begin(), messages.end(), L"Unlocking only proxy settings."));
}

TEST(UninstallCleanUp, RecordedFileLosesTheLibrarysLines) {
  const std::string all_seven = kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgProxyType + "\n" + kCfgNoProxies +
                                "\n" + kCfgEnterpriseRoots + "\n" + kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n";
  const std::string bannerless = "lockPref(\"network.proxy.type\", 5);";
  struct Case {
    const char* name;
    bool only_proxy;
    std::optional<std::string> before, after;  // nullopt: no file
    long unlockings;
  } const cases[] = {
      {"only proxy", true, "//\n" + all_seven,
       "//\n" + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgEnterpriseRoots + "\n" + kCfgAutoDisableScopes + "\n" +
           kCfgEnabledScopes + "\n",
       1},
      {"full, a constant inside a longer line", false,
       "//\npref(\"a\", 1);\n\n" + all_seven + "/* " + kCfgNoProxies + " */ x();\n\n" + bannerless + "\n\n",
       "//\npref(\"a\", 1);\n" + bannerless + "\n", 0},
      {"banner as first line", false, "// Added by Corvane V2N\nx();\n", "//\n// Added by Corvane V2N\nx();\n", 0},
      {"CR after the first //", false, "//\r\nx();\r\n" + kCfgPkix + "\r\n", "//\n//\r\nx();\r\n", 0},
      {"bare // first", false, "//\nx();\n", "//\nx();\n", 0},
      {"empty", false, "", "//\n", 0},
      {"library lines only", false, all_seven, "//\n", 0},
      {"deleted file", true, std::nullopt, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegistrySandbox registry;
    AgentInstall agent(registry);
    TempDir dir;
    const std::wstring path = dir / L"cv_mozilla_V2N.cfg";
    if (c.before) WriteBytes(path, *c.before);
    registry.SetString(kAgentCommonKey, L"FFCFG", path);
    PelorinDll dll;
    dll.Initialize();
    EXPECT_EQ(dll.UninstallCleanUp(c.only_proxy), 0);
    EXPECT_EQ(FileExists(path) ? std::optional(ReadBytes(path)) : std::nullopt, c.after);
    EXPECT_EQ(Unlockings(), c.unlockings);
  }
}

TEST(UninstallCleanUp, NothingHappensWithoutARecordedPath) {
  RegistrySandbox registry;
  AgentInstall agent(registry);
  PelorinDll dll;
  dll.Initialize();
  for (bool drop_key : {false, true}) {
    if (drop_key) registry.DeleteTree(kAgentCommonKey);
    EXPECT_EQ(dll.UninstallCleanUp(false), 0);
    EXPECT_EQ(OrlixDouble::Messages(), std::vector<std::wstring>{});
    EXPECT_EQ(registry.KeyExists(kAgentCommonKey), !drop_key);
  }
}

}  // namespace
