// pelorinctl status: what it reports, for a person and as JSON.
#include <gtest/gtest.h>

#include "CfgText.h"
#include "CtlRunner.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

TEST(Status, EmptyMachineForAPerson) {
  RegistrySandbox registry;
  PrivateLog log;
  CtlRun run = RunCtl(L"status");
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "Firefox install directory: (not found)\n"
            "First preference file:     (none)\n"
            "Autoconfig file it names:  (none)\n"
            "Inline proxy in force:     no\n"
            "Agent registry values:\n"
            "  FFCFG:     (not set)\n"
            "  FFObscure: (not set)\n"
            "  FFJSFile:  (not set)\n"
            "Agent install path:        (not set)\n"
            "Agent configuration files:\n"
            "  ClientConfig.qcf:    absent\n"
            "  RvClientConfig.qcf:  absent\n"
            "  PXYClientConfig.qcf: absent\n");
}

TEST(Status, JsonCarriesEveryFindingEscapedAndInUtf8) {
  RegistrySandbox registry;
  PrivateLog log;
  FirefoxInstall firefox(L"Mozilla Firefox \u00e9\u6f22");
  firefox.Register(registry);
  WriteBytes(firefox.pref(L"!.js"), kPrefObscure + "\n" + PrefFilename("my.cfg") + "\n");
  WriteBytes(firefox.pref(L"prefs.js"), "pref(\"a\", 1);\n");
  AgentInstall agent(registry);
  agent.AddFile(L"ClientConfig.qcf");
  agent.AddFile(L"PXYClientConfig.qcf");
  const std::wstring recorded = L"C:\\odd \"dir\"\\\u00e9.cfg";
  registry.SetString(kAgentCommonKey, L"FFCFG", recorded);
  registry.SetString(kAgentCommonKey, L"FFJSFile", L"tab\there\x01");

  CtlRun run = RunCtl(L"--json status");
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(run.err, "");
  rapidjson::Document json = ParseJson(run.out);
  EXPECT_EQ(std::string(json["firefox_install_dir"].GetString()), Narrow(firefox.dir()));
  EXPECT_STREQ(json["first_pref_file"].GetString(), "!.js");
  EXPECT_STREQ(json["configured_cfg"].GetString(), "my.cfg");
  EXPECT_TRUE(json["inline_proxy"].IsFalse());
  const rapidjson::Value& values = json["agent_values"];
  EXPECT_EQ(std::string(values["FFCFG"].GetString()), Narrow(recorded));
  EXPECT_TRUE(values["FFObscure"].IsNull());
  EXPECT_STREQ(values["FFJSFile"].GetString(), "tab\there\x01");
  EXPECT_EQ(std::string(json["agent_install_path"].GetString()), Narrow(agent.dir() + L"\\"));
  const rapidjson::Value& files = json["agent_config_files"];
  EXPECT_TRUE(files["ClientConfig.qcf"].IsTrue());
  EXPECT_TRUE(files["RvClientConfig.qcf"].IsFalse());
  EXPECT_TRUE(files["PXYClientConfig.qcf"].IsTrue());
  // Non-ASCII text goes out as raw UTF-8; only control characters are escaped.
  EXPECT_NE(run.out.find("Mozilla Firefox \xC3\xA9\xE6\xBC\xA2"), std::string::npos);
  EXPECT_NE(run.out.find("tab\\there\\u0001"), std::string::npos);
  EXPECT_NE(run.out.find("C:\\\\odd \\\"dir\\\"\\\\"), std::string::npos);
}

// The library sets the autoconfig name to empty when the first file names
// none, and leaves it alone when there is no file: the two read differently.
TEST(Status, FirstFileWithoutAutoconfigNameDiffersFromNoFile) {
  RegistrySandbox registry;
  PrivateLog log;
  FirefoxInstall firefox;
  firefox.Register(registry);
  rapidjson::Document json = ParseJson(RunCtl(L"--json status").out);
  EXPECT_TRUE(json["first_pref_file"].IsNull());
  EXPECT_TRUE(json["configured_cfg"].IsNull());

  WriteBytes(firefox.pref(L"Local.JS"), "pref(\"a\", 1);\n");
  const std::string out = RunCtl(L"status").out;
  EXPECT_NE(out.find("First preference file:     local.js\nAutoconfig file it names:  (none named)\n"), std::string::npos)
      << out;
  EXPECT_STREQ(ParseJson(RunCtl(L"--json status").out)["configured_cfg"].GetString(), "");
}

}  // namespace
