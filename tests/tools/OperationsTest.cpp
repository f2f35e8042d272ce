// pelorinctl start and cleanup: results, exit status, the changes they list
// and the log records of -v.
#include <gtest/gtest.h>

#include <map>

#include "CfgText.h"
#include "CtlRunner.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

using Changes = std::map<std::string, std::string>;

class Operations : public ::testing::Test {
 protected:
  RegistrySandbox registry_;
  PrivateLog log_;
};

TEST_F(Operations, StartListsTheFilesAndValuesItCreated) {
  FirefoxInstall firefox(L"Firefox \u00e9");
  firefox.Register(registry_);
  AgentInstall agent(registry_);
  CtlRun run = RunCtl(L"--json start tovk");
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  rapidjson::Document json = ParseJson(run.out);
  EXPECT_STREQ(json["mode"].GetString(), "tovk");
  EXPECT_TRUE(json["loader_name"].IsNull());
  EXPECT_TRUE(json["cfg_name"].IsNull());
  EXPECT_EQ(json["result"].GetInt(), 0);
  EXPECT_STREQ(json["outcome"].GetString(), "done");
  EXPECT_TRUE(json["uninitialized"].IsFalse());
  EXPECT_EQ(StringMembers(json["changed_files"]),
            (Changes{{Narrow(firefox.file(L"cv_mozilla_V2N.cfg")), "created"}, {Narrow(firefox.pref(L"!.js")), "created"}}));
  EXPECT_EQ(StringMembers(json["changed_registry_values"]), (Changes{{"FFCFG", "created"}}));

  registry_.DeleteTree(kAgentKey);  // nothing is recorded without it
  FirefoxInstall other;
  other.Register(registry_);
  json = ParseJson(RunCtl(L"--json start zarn --loader custom.js --cfg=custom.cfg").out);
  EXPECT_STREQ(json["loader_name"].GetString(), "custom.js");
  EXPECT_STREQ(json["cfg_name"].GetString(), "custom.cfg");
  EXPECT_EQ(StringMembers(json["changed_files"]),
            (Changes{{Narrow(other.file(L"custom.cfg")), "created"}, {Narrow(other.pref(L"custom.js")), "created"}}));
  EXPECT_EQ(StringMembers(json["changed_registry_values"]), Changes{});
}

TEST_F(Operations, StartOutcomes) {
  FirefoxInstall firefox;
  AgentInstall agent(registry_);
  agent.AddFile(L"RvClientConfig.qcf");
  const struct {
    const wchar_t* args;
    bool firefox;
    DWORD exit_code;
    int result;
    const char *err, *outcome;
  } cases[] = {
      {L"--json start zarn", false, 1, -1, "pelorinctl: PelorinZARNFFStart returned -1 (Firefox not found)\n",
       "failed: Firefox not found"},
      {L"--json start tovk", false, 1, -1, "pelorinctl: PelorinTOVKFFStart returned -1 (Firefox not found)\n",
       "failed: Firefox not found"},
      {L"--json start dlp", false, 1, -1, "pelorinctl: PelorinDLPFFStart returned -1 (Firefox not found)\n",
       "failed: Firefox not found"},
      {L"--json start dlp", true, 0, 0, "", "skipped: the agent's RvClientConfig.qcf is present"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.args));
    if (c.firefox) firefox.Register(registry_);
    CtlRun run = RunCtl(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code);
    EXPECT_EQ(run.err, c.err);
    rapidjson::Document json = ParseJson(run.out);
    EXPECT_EQ(json["result"].GetInt(), c.result);
    EXPECT_STREQ(json["outcome"].GetString(), c.outcome);
    EXPECT_EQ(StringMembers(json["changed_files"]), Changes{});
  }
}

// The replay at uninitialize runs the proxy-connect start a second time, so
// its record shows up twice; a record of another process, already in the
// log, does not show up at all.
TEST_F(Operations, VerbosePrintsOnlyTheRecordsOfThisRun) {
  FirefoxInstall firefox;
  firefox.Register(registry_);
  const std::string finished = "pelorin_debugf:37 Finished TOVK FF extension operation.\\r\\n";
  WriteBytes(log_.path(), "2024-01-01 00:00:00.000 L1 [1:2] " + finished + "\r\n");
  CtlRun run = RunCtl(L"-v start tovk --uninitialize");
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_NE(run.out.find("Uninitialized:           yes\n"), std::string::npos) << run.out;
  const size_t records = run.out.find("Log records:\n");
  ASSERT_NE(records, std::string::npos) << run.out;
  const size_t first = run.out.find(finished + "\n", records), second = run.out.find(finished + "\n", first + 1);
  EXPECT_NE(second, std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(finished + "\n", second + 1), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("[1:2]"), std::string::npos) << run.out;
}

TEST_F(Operations, CleanupWorksOnTheRecordedFileWherever) {
  EXPECT_EQ(RunCtl(L"cleanup").out,
            "Only proxy lines:        no\n"
            "Result:                  0\n"
            "Outcome:                 done\n"
            "Changed files:           (none)\n"
            "Changed registry values: (none)\n");

  AgentInstall agent(registry_);
  TempDir elsewhere(L"ctl-cfg");
  const std::wstring cfg = elsewhere / L"kept.cfg";
  WriteBytes(cfg, "//\n" + kCfgPkix + "\n" + kCfgProxyType + "\n" + kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n");
  registry_.SetString(kAgentCommonKey, L"FFCFG", cfg);
  CtlRun run = RunCtl(L"-v --json cleanup --only-proxy");
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  rapidjson::Document json = ParseJson(run.out);
  EXPECT_TRUE(json["only_proxy"].IsTrue());
  EXPECT_EQ(json["result"].GetInt(), 0);
  EXPECT_EQ(StringMembers(json["changed_files"]), (Changes{{Narrow(cfg), "modified"}}));
  EXPECT_EQ(StringMembers(json["changed_registry_values"]), Changes{});
  ASSERT_TRUE(json["log"].IsArray());
  ASSERT_EQ(json["log"].Size(), 1u);
  const std::string record = json["log"][0].GetString();
  EXPECT_EQ(record.substr(record.size() - 30), "Unlocking only proxy settings.");
  EXPECT_EQ(ReadBytes(cfg), "//\n" + kCfgPkix + "\n" + kCfgEnterpriseRoots + "\n");
}

}  // namespace
