// pelorinctl: its command line, exit codes and what each command prints.
#include <filesystem>
#include <map>

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
      {L"start tovk --dry-run --uninitialize", 2, "pelorinctl: --uninitialize excludes --dry-run\n"},
      {L"cleanup --uninitialize", 2, "pelorinctl: The following argument was not expected: --uninitialize\n"},
      {L"check --mode=web", 2, "pelorinctl: --mode: web not in {zarn,tovk,dlp}\n"},
      {L"start ZARN --dry-run", 1,
       "Mode:                    zarn\nLoader file name:        (default)\nAutoconfig file name:    (default)\n"
       "Result:                  -1\nOutcome:                 dry run: nothing written\n"
       "Planned file changes:    (none)\nPlanned registry values: (none)\n"
       "pelorinctl: PelorinZARNFFStart would return -1 (Firefox not found)\n"},
      {L"check --mode tovk", 1,
       "Mode:                      tovk\nFirefox install directory: (not found)\nLoader file:               (none)\n"
       "Autoconfig file:           (none)\nPreferences:\n"
       "  network.proxy.type                     5     locked DOES NOT HOLD\n"
       "  network.proxy.no_proxies_on            \"\"    locked DOES NOT HOLD\n"
       "  security.enterprise_roots.enabled      true  locked DOES NOT HOLD\nFindings:\n"
       "  [firefox-not-registered] HKLM\\SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet: No Firefox is registered "
       "here, so the agent controls none: install Firefox or repair its registration.\n"
       "Firefox starts locked:     no\npelorinctl: 1 finding(s) stand in the way of the mode's locks\n"},
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

// Each start hands the library the names it was given.
TEST_F(Ctl, EachStartWritesTheFilesItNames) {
  for (const std::wstring mode : {L"zarn", L"tovk", L"dlp"}) {
    FirefoxInstall firefox;
    firefox.Register(registry_);
    EXPECT_EQ(Run(L"start " + mode + L" --loader l.js --cfg c.cfg").exit_code, 0) << Narrow(mode);
    EXPECT_EQ(ReadBytes(firefox.pref(L"l.js")), Loader("c.cfg")) << Narrow(mode);
    EXPECT_TRUE(FileExists(firefox.file(L"c.cfg"))) << Narrow(mode);
  }
}

// The modified time of every file below `dir`, with its bytes.
std::map<std::wstring, std::pair<std::string, long long>> Snapshot(const std::wstring& dir) {
  std::map<std::wstring, std::pair<std::string, long long>> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    files[entry.path().wstring()] = {ReadBytes(entry.path().wstring()),
                                     static_cast<long long>(entry.last_write_time().time_since_epoch().count())};
  }
  return files;
}

// A dry run decides as the start would and writes nothing: the same bytes
// and times, the same registry; once the start has run, nothing is left.
TEST_F(Ctl, DryRunShowsTheChangeAndWritesNothing) {
  FirefoxInstall firefox;
  firefox.Register(registry_);
  AgentInstall agent(registry_);
  WriteBytes(firefox.pref(L"!.js"), "// mine\n" + PrefFilename("old.cfg") + "\n");
  const auto before = Snapshot(firefox.dir());
  CtlRun run = Run(L"start tovk --dry-run");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(Snapshot(firefox.dir()), before);
  EXPECT_FALSE(registry_.ReadString(kAgentCommonKey, L"FFCFG"));
  EXPECT_FALSE(FileExists(log_path()));
  const std::string loader = Narrow(firefox.pref(L"!.js"));
  const std::string cfg = Narrow(firefox.file(L"cv_mozilla_V2N.cfg"));
  EXPECT_NE(run.out.find("  " + loader + ": modified\n    --- " + loader + "\n    +++ " + loader +
                         "\n    @@ -1,2 +1,3 @@\n     // mine\n    -" + PrefFilename("old.cfg") + "\n    +" +
                         kPrefObscure + "\n    +" + PrefFilename("cv_mozilla_V2N.cfg") + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(
      run.out.find("  " + cfg + ": created\n    --- /dev/null\n    +++ " + cfg + "\n    @@ -0,0 +1,4 @@\n    +//\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  FFCFG: (not set) -> " + cfg + "\n"), std::string::npos) << run.out;

  // With the agent's configuration and no inline proxy, the start is never
  // found up to date: it decides FFCFG again, unchanged. Its second start
  // drops the second enterprise-roots line a new file gets.
  agent.AddFile(L"ClientConfig.qcf");
  EXPECT_EQ(Run(L"start tovk").exit_code, 0);
  // The lines the edit takes out and puts back show as kept.
  run = Run(L"start tovk --dry-run");
  EXPECT_NE(run.out.find("@@ -4,4 +4,3 @@\n     " + kCfgEnterpriseRoots + "\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("    -" + kCfgProxyType), std::string::npos) << run.out;
  EXPECT_EQ(Run(L"start tovk").exit_code, 0);
  rapidjson::Document json = Json(Run(L"--json start tovk --dry-run").out);
  EXPECT_EQ(json["planned_files"].Size() + json["planned_registry_values"].Size(), 0u);
  json = Json(Run(L"--json cleanup --only-proxy --dry-run").out);
  ASSERT_EQ(json["planned_files"].Size(), 1u);
  std::string removed;
  for (const auto& line : json["planned_files"][0]["diff"].GetArray()) {
    if (line.GetString()[0] == '-' && line.GetString()[1] != '-') removed += line.GetString() + std::string("\n");
  }
  EXPECT_EQ(removed, "-" + kCfgProxyType + "\n-" + kCfgNoProxies + "\n");
}

// A file the library could not write is reported with its step and error
// and not as changed, and the run fails; the records still name the files
// that hold the locks, so the cleanup still finds them.
TEST_F(Ctl, AFailedWriteIsReportedAndTheRecordsStay) {
  FirefoxInstall firefox;
  firefox.Register(registry_);
  AgentInstall agent(registry_);
  EXPECT_EQ(Run(L"start tovk --cfg a.cfg").exit_code, 0);
  const std::string loader = ReadBytes(firefox.pref(L"!.js"));
  MakeDirectory(firefox.file(L"b.cfg"));
  CtlRun run = Run(L"--json start tovk --cfg b.cfg");
  EXPECT_EQ(run.exit_code, 1);
  const std::string b = Narrow(firefox.file(L"b.cfg"));
  EXPECT_EQ(run.err, "SetFileContentW: MoveFileEx " + b +
                         " failed with error 183\n"
                         "pelorinctl: PelorinTOVKFFStart: 1 file(s) not written\n");
  rapidjson::Document json = Json(run.out);
  EXPECT_EQ(std::string(json["outcome"].GetString()), "failed: 1 file(s) not written");
  EXPECT_EQ(json["changed_files"].MemberCount() + json["changed_registry_values"].MemberCount(), 0u);
  ASSERT_EQ(json["failed_files"].Size(), 1u);
  EXPECT_EQ(std::string(json["failed_files"][0]["path"].GetString()) + " " +
                json["failed_files"][0]["step"].GetString() + " " +
                std::to_string(json["failed_files"][0]["error"].GetInt()),
            b + " MoveFileEx 183");
  EXPECT_EQ(ReadBytes(firefox.pref(L"!.js")), loader);
  EXPECT_EQ(registry_.ReadString(kAgentCommonKey, L"FFCFG"), firefox.file(L"a.cfg"));
  EXPECT_EQ(Run(L"cleanup").exit_code, 0);
  EXPECT_EQ(ReadBytes(firefox.file(L"a.cfg")), "//\n");
}

// "name: kind" of each file a run changed, named below Firefox's folder.
std::string ChangedFiles(const rapidjson::Document& json, const FirefoxInstall& firefox) {
  std::string changed;
  for (const auto& file : json["changed_files"].GetObject()) {
    changed += std::string(file.name.GetString()).substr(Narrow(firefox.dir()).size() + 1) + ": " +
               file.value.GetString() + "\n";
  }
  return changed;
}

// Ordinary names as option values, and each kind of change a start and a
// cleanup make, as the report names them.
TEST_F(Ctl, NamesAndChangesAsReported) {
  const struct {
    const wchar_t* args;
    const wchar_t* leftover;  // a killed write's temporary file, there before the run
    std::string changed;
  } rows[] = {
      {L"start tovk --cfg my-file.cfg", nullptr, "defaults\\pref\\!.js: created\nmy-file.cfg: created\n"},
      {L"start tovk --cfg \"a b.cfg\"", nullptr, "a b.cfg: created\ndefaults\\pref\\!.js: modified\n"},
      {L"start zarn --cfg=-dash.cfg --loader D\u00e9j\u00e0.js", L"defaults\\pref\\D\u00e9j\u00e0.js.pelorin-tmp",
       "-dash.cfg: created\ndefaults\\pref\\!.js: modified\ndefaults\\pref\\D\xC3\xA9j\xC3\xA0.js: created\n"
       "defaults\\pref\\D\xC3\xA9j\xC3\xA0.js.pelorin-tmp: deleted\n"},
      {L"cleanup", nullptr, "-dash.cfg: modified\n"},
      {L"cleanup", nullptr, ""},
  };
  FirefoxInstall firefox;
  firefox.Register(registry_);
  AgentInstall agent(registry_);
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.args));
    if (row.leftover != nullptr) WriteBytes(firefox.file(row.leftover), "half");
    const CtlRun run = Run(std::wstring(L"--json ") + row.args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(ChangedFiles(Json(run.out), firefox), row.changed);
  }
}

// A file the start cannot write, held by another program without sharing,
// or a folder in its place, is planned as not written, with the very step
// and error the start then reports (a linked one: LinkCtlTest).
TEST_F(Ctl, TheDryRunFailsWhereTheStartFails) {
  const struct {
    const wchar_t* name;
    bool folder;
    std::string failure;
  } rows[] = {
      {L"cv_mozilla_V2N.cfg", false, "ReadFile failed with error 32"},
      {L"defaults\\pref\\!.js", false, "ReadFile failed with error 32"},
      {L"cv_mozilla_V2N.cfg", true, "MoveFileEx failed with error 183"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    FirefoxInstall firefox;
    firefox.Register(registry_);
    const std::wstring path = firefox.file(row.name);
    row.folder ? MakeDirectory(path) : WriteBytes(path, "// mine\n");
    const pelorin::unique_file held(
        row.folder ? INVALID_HANDLE_VALUE
                   : CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string planned;
    for (const auto& file : Json(Run(L"--json start tovk --dry-run").out)["planned_files"].GetArray()) {
      if (file["path"].GetString() == Narrow(path)) planned = file["action"].GetString();
    }
    const rapidjson::Document json = Json(Run(L"--json start tovk").out);
    ASSERT_EQ(json["failed_files"].Size(), 1u);
    const auto& failed = json["failed_files"][0];
    EXPECT_EQ(
        std::string(failed["step"].GetString()) + " failed with error " + std::to_string(failed["error"].GetInt()),
        row.failure);
    EXPECT_EQ(planned, "not written: " + row.failure);
  }
}
