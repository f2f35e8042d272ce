// pelorinctl's command line: usage errors, help, version, and a library that
// cannot serve it.
#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "Files.h"

using namespace testing_support;

namespace {

TEST(Pelorinctl, UsageErrorsExitTwoWithOneLineNamingTheProblem) {
  const struct {
    const wchar_t* args;
    const char* err;
  } cases[] = {
      {L"", "pelorinctl: no command given (try --help)\n"},
      {L"frobnicate", "pelorinctl: unknown command 'frobnicate'\n"},
      {L"start", "pelorinctl: start needs a mode: zarn, tovk or dlp\n"},
      {L"start fast", "pelorinctl: unknown mode 'fast' (expected zarn, tovk or dlp)\n"},
      {L"start zarn --loader", "pelorinctl: option --loader needs a value\n"},
      {L"start tovk --cfg --uninitialize", "pelorinctl: option --cfg needs a value\n"},
      {L"start dlp --bogus", "pelorinctl: unknown option '--bogus' for start\n"},
      {L"start zarn --only-proxy", "pelorinctl: unknown option '--only-proxy' for start\n"},
      {L"cleanup --loader x.js", "pelorinctl: unknown option '--loader' for cleanup\n"},
      {L"status --uninitialize", "pelorinctl: unknown option '--uninitialize' for status\n"},
      {L"--loader x.js start zarn", "pelorinctl: unknown option '--loader'\n"},
      {L"--json=yes status", "pelorinctl: option --json takes no value\n"},
      {L"status extra", "pelorinctl: unexpected argument 'extra'\n"},
      {L"start zarn tovk", "pelorinctl: unexpected argument 'tovk'\n"},
      {L"start zarn \"\xE9t\xE9\"", "pelorinctl: unexpected argument '\xC3\xA9t\xC3\xA9'\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.args));
    PrivateLog log;
    CtlRun run = RunCtl(c.args);
    EXPECT_EQ(run.exit_code, 2u);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(FileExists(log.path()));  // rejected before the library is loaded
  }
}

TEST(Pelorinctl, HelpWinsOverEverythingElseAndVersionComesFromTheLibrary) {
  for (const wchar_t* args : {L"--help", L"-h", L"start --bogus --help"}) {
    SCOPED_TRACE(Narrow(args));
    CtlRun run = RunCtl(args);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Usage: pelorinctl", 0), 0u) << run.out;
    for (const char* word : {"status", "start zarn|tovk|dlp", "--loader", "--cfg", "--uninitialize", "cleanup",
                             "--only-proxy", "--json", "--verbose", "--version"}) {
      EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
  }
  CtlRun run = RunCtl(L"--version");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.out, "Pelorin.dll " PELORIN_PROJECT_VERSION "\n");
  EXPECT_EQ(run.err, "");
}

// A copy of the tool in a folder of its own: without a Pelorin.dll, then with
// the recording Orlix double in its place, which exports none of the
// library's names (each command reports the first one it needs).
TEST(Pelorinctl, LibraryThatCannotServeIsAFailure) {
  TempDir dir(L"ctl-copy");
  const std::wstring exe = dir / L"pelorinctl.exe";
  WriteBytes(exe, ReadBytes(CtlPath()));
  CtlRun run = RunProgram(exe, L"status");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.err.rfind("pelorinctl: cannot load ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("Pelorin.dll"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  run = RunProgram(exe, L"--version");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.err.rfind("pelorinctl: cannot read the version of ", 0), 0u) << run.err;

  WriteBytes(dir / L"Pelorin.dll", ReadBytes(ExecutableDir() + L"\\double\\Orlix.dll"));
  for (const wchar_t* args : {L"status", L"start tovk", L"--json cleanup"}) {
    SCOPED_TRACE(Narrow(args));
    run = RunProgram(exe, args);
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(run.err, "pelorinctl: Pelorin.dll does not export PelorinInitialize\n");
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
