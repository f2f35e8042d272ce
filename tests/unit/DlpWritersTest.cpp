// DLP's own merge of an existing autoconfig or loader file.
#include <gtest/gtest.h>

#include "CfgText.h"
#include "Sandboxes.h"
#include "autoconfig/DlpAutoconfig.h"
#include "autoconfig/DlpLoader.h"

using namespace testing_support;

namespace {

// The inline proxy is off here (no service): the proxy lines must go.
TEST(DlpWriters, ExistingAutoconfigFileGetsTheLinesAtItsEnd) {
  const std::string bare = "lockPref(\"network.proxy.type\", 5);";
  const struct {
    std::string before, after;
  } rows[] = {
      {"", DlpCfgTail(false)},  // an existing empty file gets no "//" line
      {"// a\n\n// b\n\n\n", "// a\n\n// b\n" + DlpCfgTail(false)},
      {"//\n" + bare + "\n" + kCfgProxyType + "\n", "//\n" + bare + "\n" + DlpCfgTail(false)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.before);
    RegistrySandbox registry;
    TempDir dir;
    WriteBytes(dir / L"c.cfg", row.before);
    pelorin::FileEdits files;
    EXPECT_FALSE(pelorin::IsDlpAutoconfigUpToDate(files, dir / L"c.cfg"));
    pelorin::WriteDlpAutoconfigFile(files, dir / L"c.cfg");
    files.Commit();
    EXPECT_EQ(ReadBytes(dir / L"c.cfg"), row.after);
    pelorin::FileEdits again;
    EXPECT_TRUE(pelorin::IsDlpAutoconfigUpToDate(again, dir / L"c.cfg"));
  }
}

TEST(DlpWriters, CrLfLoaderFileIsRewrittenOnceAndThenUpToDate) {
  TempDir dir;
  WriteBytes(dir / L"!.js", "// x\r\n" + kPrefObscure + "\r\n" + PrefFilename("d.cfg") + "\r\n");
  std::wstring cfg = L"d.cfg";
  pelorin::FileEdits files;
  EXPECT_FALSE(pelorin::IsDlpLoaderUpToDate(files, dir / L"!.js", cfg));
  pelorin::WriteDlpLoaderFile(files, dir / L"!.js", cfg);
  files.Commit();
  EXPECT_EQ(ReadBytes(dir / L"!.js"), "// x\r\n" + kPrefObscure + "\n" + PrefFilename("d.cfg") + "\n");
  EXPECT_EQ(cfg, L"d.cfg");
  pelorin::FileEdits again;
  EXPECT_TRUE(pelorin::IsDlpLoaderUpToDate(again, dir / L"!.js", cfg));
}

}  // namespace
