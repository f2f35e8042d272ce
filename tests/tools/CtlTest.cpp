// pelorinctl: its command line, exit codes and what each command prints.
#include "CfgText.h"
#include "CtlRunner.h"

using namespace testing_support;

// Usage errors exit 2 with one line, before the library is loaded (no log).
TEST_F(Ctl, ExitCodesAndWhatEachCommandPrints) {
  const struct {
    const wchar_t* args;
    int exit_code;
    std::string printed;
  } cases[] = {
      {L"", 2, "pelorinctl: no command given (try --help)\n"},
      {L"frobnicate", 2, "pelorinctl: The following argument was not expected: frobnicate\n"},
      {L"start fast", 2, "pelorinctl: mode: fast not in {zarn,tovk,dlp}\n"},
      {L"start tovk --cfg --uninitialize", 2, "pelorinctl: --cfg: a file name, not an option, is needed\n"},
      {L"--version", 0, "Pelorin.dll " PELORIN_PROJECT_VERSION "\n"},
      {L"status", 0,
       "Firefox install directory: (not found)\nFirst preference file:     (none)\n"
       "Autoconfig file it names:  (none)\nInline proxy in force:     no\n"
       "Agent registry values:\n  FFCFG:     (not set)\n  FFObscure: (not set)\n"
       "  FFJSFile:  (not set)\nAgent install path:        (not set)\n"
       "Agent configuration files:\n  ClientConfig.qcf:    absent\n"
       "  RvClientConfig.qcf:  absent\n  PXYClientConfig.qcf: absent\n"},
  };
  for (const auto& c : cases) {
    CtlRun run = Run(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code) << Narrow(c.args);
    EXPECT_EQ(run.out + run.err, c.printed);
    if (c.exit_code == 2) {
      EXPECT_FALSE(FileExists(log_path())) << Narrow(c.args);
    }
  }
  CtlRun run = Run(L"--json start dlp");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "pelorinctl: PelorinDLPFFStart returned -1 (Firefox not found)\n");
  EXPECT_EQ(Json(run.out)["result"], -1);
}

// The replay at uninitialize runs the start again; another process's record is not shown.
TEST_F(Ctl, StartListsTheFilesItCreatedAndVerbosePrintsThisRunsRecords) {
  FirefoxInstall firefox;
  firefox.Register(registry_);
  const std::string finished = "Finished TOVK FF extension operation.\\r\\n";
  WriteBytes(log_path(), "2024-01-01 00:00:00.000 L1 [1:2] pelorin_debugf:37 " + finished + "\r\n");
  CtlRun run = Run(L"-v --json start tovk --cfg=c.cfg --uninitialize");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  rapidjson::Document json = Json(run.out);
  std::string listed;
  std::string records;
  for (const auto& file : json["changed_files"].GetObject()) {
    listed += std::string(file.name.GetString()) + ":" + file.value.GetString() + "\n";
  }
  EXPECT_EQ(listed, Narrow(firefox.file(L"c.cfg")) + ":created\n" + Narrow(firefox.pref(L"!.js")) + ":created\n");
  for (const auto& record : json["log"].GetArray()) records += record.GetString() + std::string("\n");
  EXPECT_EQ(records.find("[1:2]"), std::string::npos) << records;
  EXPECT_NE(records.find(finished, records.find(finished) + 1), std::string::npos) << records;
}

TEST_F(Ctl, CleanupPrintsTheFileItChanged) {
  const std::wstring cfg = dir_ / L"kept.cfg";
  WriteBytes(cfg, "//\n" + kCfgPkix + "\n" + kCfgProxyType + "\n" + kCfgEnterpriseRoots + "\n");
  registry_.SetString(kAgentCommonKey, L"FFCFG", cfg);
  CtlRun run = Run(L"cleanup --only-proxy");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out + run.err,
            "Only proxy lines:        yes\nResult:                  0\nOutcome:                 done\n"
            "Changed files:\n  " +
                Narrow(cfg) + ": modified\nChanged registry values: (none)\nFiles not written:       (none)\n");
}
