// The loader file: foreign lines kept in order, the library's two lines last,
// replaced foreign loader lines recorded for the agent.
#include <gtest/gtest.h>

#include "CfgText.h"
#include "Sandboxes.h"
#include "autoconfig/LoaderFile.h"
#include "lines/FileEdits.h"

using namespace testing_support;

namespace {

void WriteLoader(const std::wstring& path, bool replay) {
  pelorin::FileEdits files;
  pelorin::WriteLoaderFile(files, path, L"a.cfg", replay);
  files.Commit();
}

const std::string kOwn = kPrefObscure + "\n" + PrefFilename("a.cfg") + "\n";
const std::string kForeignName = "pref(\"general.config.filename\", \"h\xC3\xA9.cfg\");";

TEST(LoaderFile, RewritesKeepingForeignLinesAndRecordsWhatItReplaced) {
  struct Row {
    std::string before, after;
    std::wstring obscure, filename;
  } const rows[] = {
      {kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n// mine\n", "// mine\n" + kOwn, L"", L""},
      {"// x\n" + kForeignName + "\n", "// x\n" + kOwn, L"", L"pref(\"general.config.filename\", \"h\u00e9.cfg\");"},
      {"pref(\"general.config.obscure_value\", 0);\r\n// y\r\n", "// y\r\n" + kOwn,
       L"pref(\"general.config.obscure_value\", 0);\r", L""},
      {"// old \"cv_mozilla_dlp.cfg\" note\n\n// z\n", "// z\n" + kOwn, L"", L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.before);
    RegistrySandbox registry;
    AgentInstall agent(registry);
    TempDir dir;
    WriteBytes(dir / L"!.js", row.before);
    WriteLoader(dir / L"!.js", true);
    EXPECT_EQ(ReadBytes(dir / L"!.js"), row.after);
    EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFObscure").value_or(L""), row.obscure);
    EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFJSFile").value_or(L""), row.filename);
  }
}

}  // namespace
