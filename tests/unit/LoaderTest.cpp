// The loader file: foreign lines kept in order, the library's two lines last,
// replaced foreign loader lines handed back to be recorded for the agent.
#include <gtest/gtest.h>

#include "CfgText.h"
#include "autoconfig/LoaderContent.h"

using namespace testing_support;

namespace {

const std::string kOwn = kPrefObscure + "\n" + PrefFilename("a.cfg") + "\n";
const std::string kForeignName = "pref(\"general.config.filename\", \"h\xC3\xA9.cfg\");";

TEST(LoaderFile, RewritesKeepingForeignLinesAndHandsBackWhatItReplaced) {
  struct Row {
    std::string before, after;
    std::string obscure, filename;
  } const rows[] = {
      {kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n// mine\n", "// mine\n" + kOwn, "", ""},
      {"// x\n" + kForeignName + "\n", "// x\n" + kOwn, "", kForeignName},
      {"pref(\"general.config.obscure_value\", 0);\r\n// y\r\n", "// y\r\n" + kOwn,
       "pref(\"general.config.obscure_value\", 0);\r", ""},
      {"// old \"cv_mozilla_dlp.cfg\" note\n\n// z\n", "// z\n" + kOwn, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.before);
    const pelorin::LoaderEdit edit = pelorin::EditLoaderFile(row.before, PrefFilename("a.cfg"), false);
    EXPECT_EQ(edit.content.Bytes(), row.after);
    EXPECT_EQ(edit.previous_obscure, row.obscure);
    EXPECT_EQ(edit.previous_filename, row.filename);
  }
}

}  // namespace
