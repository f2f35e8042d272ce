// pelorinctl start on Firefox files that are second names of a file outside
// Firefox's folder, and on names that are not plain.
#include <filesystem>

#include "CfgText.h"
#include "CtlRunner.h"

using namespace testing_support;

// The start refuses each link, copies nothing of what it points to, and
// reports it as not written; the dry run shows it so.
TEST_F(Ctl, HardLinkedFilesAreRefusedAndReported) {
  const std::string secret = "// TOP-SECRET token=abc123\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n";
  for (const wchar_t* linked : {L"cv_mozilla_V2N.cfg", L"defaults\\pref\\!.js", L"defaults\\pref\\x.js"}) {
    SCOPED_TRACE(Narrow(linked));
    FirefoxInstall firefox;
    firefox.Register(registry_);
    const std::wstring outside = dir_ / L"secret.txt";
    const std::wstring path = firefox.file(linked);
    WriteBytes(outside, secret);
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), outside.c_str(), nullptr));

    rapidjson::Document plan = Json(Run(L"--json start tovk --dry-run").out);
    std::string action;
    for (const auto& file : plan["planned_files"].GetArray()) {
      if (file["path"].GetString() == Narrow(path)) action = file["action"].GetString();
    }
    EXPECT_EQ(action, "not written: HardLink failed with error 1142");

    CtlRun run = Run(L"--json start tovk");
    EXPECT_EQ(run.exit_code, 1);
    rapidjson::Document json = Json(run.out);
    ASSERT_EQ(json["failed_files"].Size(), 1u) << run.out;
    const auto& failed = json["failed_files"][0];
    EXPECT_EQ(std::string(failed["path"].GetString()) + " " + failed["step"].GetString() + " " +
                  std::to_string(failed["error"].GetInt()),
              Narrow(path) + " HardLink 1142");
    EXPECT_EQ(ReadBytes(outside), secret);
    EXPECT_EQ(ReadBytes(path), secret);  // still the link, not a copy
    for (const auto& entry : std::filesystem::recursive_directory_iterator(firefox.dir())) {
      if (entry.is_regular_file() && entry.path() != path) {
        EXPECT_EQ(ReadBytes(entry.path().wstring()).find("TOP-SECRET"), std::string::npos) << entry.path().string();
      }
    }
  }
}

// Not reported as Firefox missing: the names are refused before Firefox is
// looked for.
TEST_F(Ctl, RefusedNamesAreNamedAsTheReason) {
  const struct {
    const wchar_t* args;
    std::string err;
  } rows[] = {
      {L"start tovk --cfg sub\\x.cfg",
       "pelorinctl: PelorinTOVKFFStart returned -1 (refused the file name \"sub\\x.cfg\": it holds a path "
       "separator)\n"},
      {L"start dlp --loader .. --dry-run",
       "pelorinctl: PelorinDLPFFStart would return -1 (refused the file name \"..\": it is \".\" or \"..\")\n"},
  };
  for (const auto& row : rows) {
    CtlRun run = Run(row.args);
    EXPECT_EQ(run.exit_code, 1) << Narrow(row.args);
    EXPECT_EQ(run.err, row.err);
  }
}
