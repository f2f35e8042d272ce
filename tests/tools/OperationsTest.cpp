// pelorinctl start and cleanup: results, exit status, the changes they list
// and the log records of -v.
#include <gtest/gtest.h>

#include <map>

#include "CfgText.h"
#include "CtlRunner.h"
#include "JsonView.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

using Changes = std::map<std::string, std::string>;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The value a person reads after "label:" on its line.
std::string ValueOf(const std::string& text, const std::string& label) {
  size_t at = text.find(label + ":");
  if (at == std::string::npos) return "(no such line)";
  size_t begin = text.find_first_not_of(' ', at + label.size() + 1);
  return text.substr(begin, text.find('\n', begin) - begin);
}

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
  ASSERT_TRUE(json.IsObject());
  EXPECT_STREQ(json["mode"].GetString(), "tovk");
  EXPECT_TRUE(json["loader_name"].IsNull());
  EXPECT_TRUE(json["cfg_name"].IsNull());
  EXPECT_EQ(json["result"].GetInt(), 0);
  EXPECT_STREQ(json["outcome"].GetString(), "done");
  EXPECT_TRUE(json["uninitialized"].IsFalse());
  EXPECT_EQ(StringMembers(json["changed_files"]),
            (Changes{{Narrow(firefox.file(L"cv_mozilla_V2N.cfg")), "created"},
                     {Narrow(firefox.pref(L"!.js")), "created"}}));
  EXPECT_EQ(StringMembers(json["changed_registry_values"]), (Changes{{"FFCFG", "created"}}));
  EXPECT_TRUE(FileExists(firefox.pref(L"!.js")));
}

TEST_F(Operations, StartPassesTheNamesItIsGiven) {
  FirefoxInstall firefox;
  firefox.Register(registry_);

  CtlRun run = RunCtl(L"--json start zarn --loader custom.js --cfg=custom.cfg");
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  rapidjson::Document json = ParseJson(run.out);
  ASSERT_TRUE(json.IsObject());
  EXPECT_STREQ(json["loader_name"].GetString(), "custom.js");
  EXPECT_STREQ(json["cfg_name"].GetString(), "custom.cfg");
  EXPECT_EQ(StringMembers(json["changed_files"]),
            (Changes{{Narrow(firefox.file(L"custom.cfg")), "created"}, {Narrow(firefox.pref(L"custom.js")), "created"}}));
  // No agent key: the library records nothing.
  EXPECT_EQ(StringMembers(json["changed_registry_values"]), Changes{});
}

TEST_F(Operations, StartWithoutFirefoxFailsWithExitOne) {
  const struct {
    const wchar_t* args;
    const char* message;
  } cases[] = {
      {L"--json start zarn", "pelorinctl: PelorinZARNFFStart returned -1 (Firefox not found)\n"},
      {L"--json start tovk", "pelorinctl: PelorinTOVKFFStart returned -1 (Firefox not found)\n"},
      {L"--json start dlp", "pelorinctl: PelorinDLPFFStart returned -1 (Firefox not found)\n"},
  };
  for (const auto& c : cases) {
    CtlRun run = RunCtl(c.args);
    EXPECT_EQ(run.exit_code, 1u) << Narrow(c.args);
    EXPECT_EQ(run.err, c.message);
    rapidjson::Document json = ParseJson(run.out);
    ASSERT_TRUE(json.IsObject());
    EXPECT_EQ(json["result"].GetInt(), -1);
    EXPECT_STREQ(json["outcome"].GetString(), "failed: Firefox not found");
    EXPECT_EQ(StringMembers(json["changed_files"]), Changes{});
  }
}

TEST_F(Operations, DlpStoppedByTheAgentsConfigurationIsNoFailure) {
  FirefoxInstall firefox;
  firefox.Register(registry_);
  AgentInstall agent(registry_);
  agent.AddFile(L"RvClientConfig.qcf");

  CtlRun run = RunCtl(L"--json start dlp");
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(run.err, "");
  rapidjson::Document json = ParseJson(run.out);
  ASSERT_TRUE(json.IsObject());
  EXPECT_EQ(json["result"].GetInt(), 0);
  EXPECT_STREQ(json["outcome"].GetString(), "skipped: the agent's RvClientConfig.qcf is present");
  EXPECT_EQ(StringMembers(json["changed_files"]), Changes{});
}

// The replay at uninitialize runs the proxy-connect start a second time, so
// its record shows up twice; a record of another process, already in the
// log, does not show up at all.
TEST_F(Operations, VerbosePrintsOnlyTheRecordsOfThisRun) {
  FirefoxInstall firefox;
  firefox.Register(registry_);
  const std::string finished = "Finished TOVK FF extension operation.\\r\\n";
  WriteBytes(log_.path(), "2024-01-01 00:00:00.000 L1 [1:2] pelorin_debugf:37 " + finished + "\r\n");

  CtlRun run = RunCtl(L"-v start tovk --uninitialize");
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(ValueOf(run.out, "Uninitialized"), "yes") << run.out;
  EXPECT_NE(run.out.find("Log records:\n"), std::string::npos) << run.out;
  EXPECT_EQ(Count(run.out, "pelorin_debugf:37 " + finished + "\n"), 2u) << run.out;
  EXPECT_EQ(run.out.find("[1:2]"), std::string::npos) << run.out;
}

TEST_F(Operations, CleanupWorksOnTheRecordedFileWherever) {
  AgentInstall agent(registry_);
  TempDir elsewhere(L"ctl-cfg");
  const std::wstring cfg = elsewhere / L"kept.cfg";
  WriteBytes(cfg, "//\n" + kCfgPkix + "\n" + kCfgProxyType + "\n" + kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n");
  registry_.SetString(kAgentCommonKey, L"FFCFG", cfg);

  CtlRun run = RunCtl(L"-v --json cleanup --only-proxy");
  ASSERT_EQ(run.exit_code, 0u) << run.err;
  rapidjson::Document json = ParseJson(run.out);
  ASSERT_TRUE(json.IsObject());
  EXPECT_TRUE(json["only_proxy"].IsTrue());
  EXPECT_EQ(json["result"].GetInt(), 0);
  EXPECT_EQ(StringMembers(json["changed_files"]), (Changes{{Narrow(cfg), "modified"}}));
  EXPECT_EQ(StringMembers(json["changed_registry_values"]), Changes{});
  ASSERT_TRUE(json["log"].IsArray());
  ASSERT_EQ(json["log"].Size(), 1u);
  std::string record = json["log"][0].GetString();
  EXPECT_EQ(record.substr(record.size() - 30), "Unlocking only proxy settings.");
  EXPECT_EQ(ReadBytes(cfg), "//\n" + kCfgPkix + "\n" + kCfgEnterpriseRoots + "\n");
}

TEST_F(Operations, CleanupWithNothingRecordedForAPerson) {
  CtlRun run = RunCtl(L"cleanup");
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_EQ(run.out,
            "Only proxy lines:        no\n"
            "Result:                  0\n"
            "Outcome:                 done\n"
            "Changed files:           (none)\n"
            "Changed registry values: (none)\n");
}

}  // namespace
