// pelorinctl's command line: usage errors, help, version, and a library that
// cannot serve it.
#include <gtest/gtest.h>

#include "CtlRunner.h"
#include "Files.h"

using namespace testing_support;

namespace {

struct UsageCase {
  const wchar_t* args;
  const char* message;
};

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, ExitTwoWithOneLineNamingTheProblem) {
  PrivateLog log;
  CtlRun run = RunCtl(GetParam().args);
  EXPECT_EQ(run.exit_code, 2u);
  EXPECT_EQ(run.err, std::string("pelorinctl: ") + GetParam().message + "\n");
  EXPECT_EQ(run.out, "");
  // Rejected before the library is loaded, so nothing is logged.
  EXPECT_FALSE(FileExists(log.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Pelorinctl, UsageErrors,
    ::testing::Values(
        UsageCase{L"", "no command given (try --help)"},
        UsageCase{L"frobnicate", "unknown command 'frobnicate'"},
        UsageCase{L"start", "start needs a mode: zarn, tovk or dlp"},
        UsageCase{L"start fast", "unknown mode 'fast' (expected zarn, tovk or dlp)"},
        UsageCase{L"start zarn --loader", "option --loader needs a value"},
        UsageCase{L"start tovk --cfg --uninitialize", "option --cfg needs a value"},
        UsageCase{L"start dlp --bogus", "unknown option '--bogus' for start"},
        UsageCase{L"start zarn --only-proxy", "unknown option '--only-proxy' for start"},
        UsageCase{L"cleanup --loader x.js", "unknown option '--loader' for cleanup"},
        UsageCase{L"status --uninitialize", "unknown option '--uninitialize' for status"},
        UsageCase{L"--loader x.js start zarn", "unknown option '--loader'"},
        UsageCase{L"--json=yes status", "option --json takes no value"},
        UsageCase{L"status extra", "unexpected argument 'extra'"},
        UsageCase{L"start zarn tovk", "unexpected argument 'tovk'"},
        UsageCase{L"start zarn \"\xE9t\xE9\"", "unexpected argument '\xC3\xA9t\xC3\xA9'"}));

TEST(Pelorinctl, HelpWinsOverEverythingElse) {
  for (const wchar_t* args : {L"--help", L"-h", L"start --bogus --help"}) {
    CtlRun run = RunCtl(args);
    EXPECT_EQ(run.exit_code, 0u) << Narrow(args);
    EXPECT_EQ(run.err, "") << Narrow(args);
    EXPECT_EQ(run.out.rfind("Usage: pelorinctl", 0), 0u) << run.out;
    for (const char* word : {"status", "start zarn|tovk|dlp", "--loader", "--cfg", "--uninitialize", "cleanup",
                             "--only-proxy", "--json", "--verbose", "--version"}) {
      EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
  }
}

TEST(Pelorinctl, VersionComesFromTheLibrary) {
  CtlRun run = RunCtl(L"--version");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.out, "Pelorin.dll " PELORIN_PROJECT_VERSION "\n");
  EXPECT_EQ(run.err, "");
}

// A copy of the tool in a folder of its own, with or without a Pelorin.dll.
class LoneCopy {
 public:
  LoneCopy() : dir_(L"ctl-copy") {
    WriteBytes(exe(), ReadBytes(CtlPath()));
  }
  std::wstring exe() const { return dir_ / L"pelorinctl.exe"; }
  void AddLibrary(const std::wstring& source) const { WriteBytes(dir_ / L"Pelorin.dll", ReadBytes(source)); }

 private:
  TempDir dir_;
};

TEST(Pelorinctl, AbsentLibraryIsAFailure) {
  LoneCopy copy;
  CtlRun run = RunProgram(copy.exe(), L"status");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.err.rfind("pelorinctl: cannot load ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("Pelorin.dll"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");

  run = RunProgram(copy.exe(), L"--version");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.err.rfind("pelorinctl: cannot read the version of ", 0), 0u) << run.err;
}

// The recording Orlix double stands in for a Pelorin.dll that exports none of
// the library's names: each command reports the first one it needs.
TEST(Pelorinctl, MissingExportIsReportedNotCrashedOn) {
  LoneCopy copy;
  copy.AddLibrary(ExecutableDir() + L"\\double\\Orlix.dll");
  for (const wchar_t* args : {L"status", L"start tovk", L"--json cleanup"}) {
    CtlRun run = RunProgram(copy.exe(), args);
    EXPECT_EQ(run.exit_code, 1u) << Narrow(args);
    EXPECT_EQ(run.err, "pelorinctl: Pelorin.dll does not export PelorinInitialize\n") << Narrow(args);
    EXPECT_EQ(run.out, "") << Narrow(args);
  }
}

}  // namespace
