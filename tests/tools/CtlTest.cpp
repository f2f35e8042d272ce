// pelorinctl: its command line, exit codes and what each command prints.
#include "CfgText.h"
#include "CtlRunner.h"

using namespace testing_support;

TEST_F(Ctl, UsageErrorsExitTwoWithOneLineBeforeLoadingTheLibrary) {
  const struct {
    const wchar_t *args, *err;
  } cases[] = {
      {L"", L"no command given (try --help)"},
      {L"frobnicate", L"The following argument was not expected: frobnicate"},
      {L"start fast", L"mode: fast not in {zarn,tovk,dlp}"},
      {L"check --mode", L"--mode: 1 required TEXT:{zarn,tovk,dlp} missing"},
      {L"start tovk --cfg --uninitialize", L"--cfg: a file name, not an option, is needed"},
      {L"start zarn \"\u00e9t\u00e9\"", L"The following argument was not expected: \u00e9t\u00e9"},
  };
  for (const auto& c : cases) {
    CtlRun run = Run(c.args);
    EXPECT_EQ(run.exit_code, 2) << Narrow(c.args);
    EXPECT_EQ(run.out + run.err, "pelorinctl: " + Narrow(c.err) + "\n");
    EXPECT_FALSE(FileExists(log_path()));
  }
}

TEST_F(Ctl, HelpWinsOverErrorsAndVersionComesFromTheLibrary) {
  CtlRun run = Run(L"start --bogus --help");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.out.find("\nUsage: pelorinctl start [OPTIONS] mode\n"), std::string::npos) << run.out << run.err;
  run = Run(L"--version");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out + run.err, "Pelorin.dll " PELORIN_PROJECT_VERSION "\n");
}

TEST_F(Ctl, StatusOfAnEmptyMachineAndStartWithoutFirefox) {
  CtlRun run = Run(L"status");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out + run.err,
            "Firefox install directory: (not found)\nFirst preference file:     (none)\n"
            "Autoconfig file it names:  (none)\nInline proxy in force:     no\n"
            "Agent registry values:\n  FFCFG:     (not set)\n  FFObscure: (not set)\n"
            "  FFJSFile:  (not set)\nAgent install path:        (not set)\n"
            "Agent configuration files:\n  ClientConfig.qcf:    absent\n"
            "  RvClientConfig.qcf:  absent\n  PXYClientConfig.qcf: absent\n");
  run = Run(L"--json start dlp");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "pelorinctl: PelorinDLPFFStart returned -1 (Firefox not found)\n");
  EXPECT_EQ(Json(run.out)["result"], -1);
}

TEST_F(Ctl, StatusJsonIsUtf8WithEscapes) {
  FirefoxInstall firefox(L"Firefox \u00e9\u6f22");
  firefox.Register(registry_);
  WriteBytes(firefox.pref(L"!.js"), PrefFilename("my.cfg") + "\n");
  registry_.SetString(kAgentCommonKey, L"FFJSFile", L"C:\\\"q\"\t\x01");
  rapidjson::Document json = Json(Run(L"--json status").out);
  EXPECT_EQ(json["firefox_install_dir"], Narrow(firefox.dir()).c_str());
  EXPECT_EQ(json["first_pref_file"], "!.js");
  EXPECT_EQ(json["configured_cfg"], "my.cfg");
  EXPECT_EQ(json["agent_values"]["FFJSFile"], "C:\\\"q\"\t\x01");
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
  std::string listed, records;
  for (const auto& file : json["changed_files"].GetObject())
    listed += std::string(file.name.GetString()) + ":" + file.value.GetString() + "\n";
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
            "Only proxy lines:        yes\nResult:                  0\n"
            "Outcome:                 done\nChanged files:\n  " +
                Narrow(cfg) +
                ": modified\n"
                "Changed registry values: (none)\n");
}
