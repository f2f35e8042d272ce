// The preference loader file, created, rewritten, stripped and read back, and
// the agent's records of what the library changed.
#include <gtest/gtest.h>

#include "Capture.h"
#include "Files.h"
#include "Sandboxes.h"
#include "autoconfig/LoaderFile.h"
#include "autoconfig/RegistryRecords.h"

using namespace testing_support;

namespace {

constexpr wchar_t kEarlier[] = L"recorded earlier";
const std::string kNoFile = "(no file)";
const std::string kOwn =
    "pref(\"general.config.obscure_value\", 0);\npref(\"general.config.filename\", \"cv_mozilla_zarn.cfg\");\n";

// Both modes load their cfg the same way: identical bytes and records.
TEST(WriteLoaderFile, BytesAndRecordsInEitherMode) {
  const struct {
    const char* name;
    std::string before, after;
    int32_t replay;
    std::wstring ff_obscure = kEarlier, ff_jsfile = kEarlier;
  } cases[] = {
      {"missing", kNoFile, kOwn, 0},
      {"missing, replay", kNoFile, kNoFile, 1},
      {"exactly the own lines", kOwn, kOwn, 0},
      {"own lines moved to the end", kOwn + "\npref(\"a\", 1);\n", "pref(\"a\", 1);\n" + kOwn, 1},
      {"foreign filename line, recorded whole as UTF-16",
       "pref(\"general.config.filename\", \"caf\xC3\xA9.cfg\"); // x\n", kOwn, 0, kEarlier,
       L"pref(\"general.config.filename\", \"caf\u00e9.cfg\"); // x"},
      {"CR LF, obscure line recorded with its CR",
       "pref(\"x\", 1);\r\npref(\"general.config.obscure_value\", 0);\r\n"
       "pref(\"general.config.filename\", \"cv_mozilla_V2N.cfg\");\r\n",
       "pref(\"x\", 1);\r\n" + kOwn, 0, L"pref(\"general.config.obscure_value\", 0);\r"},
      {"comment naming the DLP cfg", "// old \"cv_mozilla_dlp.cfg\" here\npref(\"a\", 1);", "pref(\"a\", 1);\n" + kOwn,
       0},
  };
  for (const auto& c : cases) {
    for (int32_t mode : {0, 1}) {
      SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(mode));
      RegistrySandbox registry;
      AgentInstall agent(registry);
      registry.SetString(kAgentCommonKey, L"FFObscure", kEarlier);
      registry.SetString(kAgentCommonKey, L"FFJSFile", kEarlier);
      TempDir dir;
      const std::wstring path = dir / L"!.js";
      if (c.before != kNoFile) WriteBytes(path, c.before);
      EXPECT_EQ(pelorin::WriteLoaderFile(path, L"cv_mozilla_zarn.cfg", mode, c.replay), 0);
      EXPECT_EQ(FileExists(path) ? ReadBytes(path) : kNoFile, c.after);
      EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFObscure"), c.ff_obscure);
      EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFJSFile"), c.ff_jsfile);
    }
  }
}

TEST(Records, NothingIsRecordedAndNoKeyCreatedWithoutTheCommonKey) {
  RegistrySandbox registry;
  TempDir dir;
  LogRecorder log;
  WriteBytes(dir / L"!.js", "pref(\"general.config.filename\", \"their.cfg\");\n");
  pelorin::WriteLoaderFile(dir / L"!.js", L"cv_mozilla_zarn.cfg", 0, 0);
  EXPECT_EQ(ReadBytes(dir / L"!.js"), kOwn);
  EXPECT_EQ(pelorin::SaveCfgFilePath(L"C:\\Firefox\\cv_mozilla_zarn.cfg"), 0);
  registry.CreateKey(kAgentKey);
  EXPECT_EQ(pelorin::SaveCfgFilePath(L"C:\\Firefox\\cv_mozilla_zarn.cfg"), 0);
  EXPECT_FALSE(registry.KeyExists(kAgentCommonKey));
  EXPECT_TRUE(log.messages().empty());

  AgentInstall agent(registry);
  const std::wstring path = L"C:/Program Files\\Mozilla Firefox\\\\cv_mozilla_zarn.cfg";  // stored as passed
  EXPECT_EQ(pelorin::SaveCfgFilePath(path), 0);
  EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFCFG"), path);
  EXPECT_EQ(log.messages(), std::vector<std::wstring>{L"SaveCurrentCFGFilePath"});
}

TEST(StripLoaderLines, RemovesLibraryLinesKeepsForeignObscureAndInnerBlanks) {
  TempDir dir;
  WriteBytes(dir / L"prefs.js",
             "pref(\"general.config.obscure_value\", 1);\n// see \"cv_mozilla_dlp.cfg\"\n\npref(\"a\", 1);\n"
             "pref(\"general.config.filename\", \"their.cfg\");\n\n\n");
  EXPECT_EQ(pelorin::StripLoaderLines(dir / L"prefs.js"), 1);
  EXPECT_EQ(ReadBytes(dir / L"prefs.js"), "pref(\"general.config.obscure_value\", 1);\n\npref(\"a\", 1);\n");

  WriteBytes(dir / L"own.js", "pref(\"x\", \"cv_mozilla_tovk.cfg\");\n\n");
  pelorin::StripLoaderLines(dir / L"own.js");
  EXPECT_TRUE(FileExists(dir / L"own.js"));
  EXPECT_EQ(ReadBytes(dir / L"own.js"), "");

  EXPECT_EQ(pelorin::StripLoaderLines(dir / L"missing.js"), 1);
  EXPECT_FALSE(FileExists(dir / L"missing.js"));
}

TEST(ReadLoaderCfgName, TakesTheLastFilenameLinesQuotedValue) {
  const struct {
    const char* content;
    const wchar_t* name;
  } cases[] = {
      {"pref(\"general.config.filename\", \"a.cfg\");\npref(\"general.config.filename\", \"b.cfg\");\n", L"b.cfg"},
      {"pref(\"general.config.filename\", a.cfg);\n", L""},
      {"pref(\"general.config.filename\", a.cfg); // \"b.cfg\"\n", L""},
  };
  TempDir dir;
  for (const auto& c : cases) {
    WriteBytes(dir / L"!.js", c.content);
    EXPECT_EQ(pelorin::ReadLoaderCfgName(dir / L"!.js"), c.name) << c.content;
  }
  EXPECT_EQ(pelorin::ReadLoaderCfgName(dir / L"missing.js"), L"");
}

}  // namespace
