// The preference loader file: created, rewritten, stripped and read back.
#include <gtest/gtest.h>

#include <optional>

#include "Files.h"
#include "Sandboxes.h"
#include "autoconfig/LoaderFile.h"

using namespace testing_support;

namespace {

constexpr char kObscure[] = "pref(\"general.config.obscure_value\", 0);";
constexpr char kZarnLine[] = "pref(\"general.config.filename\", \"cv_mozilla_zarn.cfg\");";
constexpr wchar_t kEarlier[] = L"recorded earlier";

struct WriteCase {
  const char* name;
  std::optional<std::string> before;  // nullopt: no loader file
  int32_t replay;
  std::optional<std::string> after;
  std::wstring ff_obscure = kEarlier;
  std::wstring ff_jsfile = kEarlier;
};

const WriteCase kWriteCases[] = {
    {"CreatedWhenMissing", std::nullopt, 0, std::string(kObscure) + "\n" + kZarnLine + "\n"},
    {"NotCreatedOnReplay", std::nullopt, 1, std::nullopt},
    {"OwnLinesKeptAtTheEndNothingRecorded", std::string(kObscure) + "\n" + kZarnLine + "\n\npref(\"a\", 1);\n", 1,
     std::string("pref(\"a\", 1);\n") + kObscure + "\n" + kZarnLine + "\n"},
    {"ForeignFilenameLineRecordedWholeAsUtf16",
     std::string("pref(\"general.config.filename\", \"caf\xC3\xA9.cfg\"); // x\n"), 0,
     std::string(kObscure) + "\n" + kZarnLine + "\n", kEarlier,
     L"pref(\"general.config.filename\", \"caf\u00e9.cfg\"); // x"},
    {"CrLfObscureLineRecordedWithItsCr",
     std::string("pref(\"x\", 1);\r\npref(\"general.config.obscure_value\", 0);\r\n"
                 "pref(\"general.config.filename\", \"cv_mozilla_V2N.cfg\");\r\n"),
     0, std::string("pref(\"x\", 1);\r\n") + kObscure + "\n" + kZarnLine + "\n",
     L"pref(\"general.config.obscure_value\", 0);\r"},
    {"CommentNamingDlpCfgRemoved", std::string("// old \"cv_mozilla_dlp.cfg\" here\npref(\"a\", 1);"), 0,
     std::string("pref(\"a\", 1);\n") + kObscure + "\n" + kZarnLine + "\n"},
};

class WriteLoaderFileTest : public ::testing::TestWithParam<WriteCase> {};

// Both modes load their cfg the same way: identical bytes and records.
TEST_P(WriteLoaderFileTest, BytesAndRecords) {
  const WriteCase& c = GetParam();
  for (int32_t mode : {0, 1}) {
    SCOPED_TRACE(mode);
    RegistrySandbox registry;
    AgentInstall agent(registry);
    registry.SetString(kAgentCommonKey, L"FFObscure", kEarlier);
    registry.SetString(kAgentCommonKey, L"FFJSFile", kEarlier);
    TempDir dir;
    if (c.before) WriteBytes(dir / L"!.js", *c.before);

    EXPECT_EQ(pelorin::WriteLoaderFile(dir / L"!.js", L"cv_mozilla_zarn.cfg", mode, c.replay), 0);

    if (c.after) {
      EXPECT_EQ(ReadBytes(dir / L"!.js"), *c.after);
    } else {
      EXPECT_FALSE(FileExists(dir / L"!.js"));
    }
    EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFObscure"), c.ff_obscure);
    EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFJSFile"), c.ff_jsfile);
  }
}

INSTANTIATE_TEST_SUITE_P(LoaderFile, WriteLoaderFileTest, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WriteLoaderFile, WithoutAgentKeyRecordsNothingAndCreatesNoKey) {
  RegistrySandbox registry;
  TempDir dir;
  WriteBytes(dir / L"!.js", "pref(\"general.config.filename\", \"their.cfg\");\n");
  pelorin::WriteLoaderFile(dir / L"!.js", L"cv_mozilla_zarn.cfg", 0, 0);
  EXPECT_EQ(ReadBytes(dir / L"!.js"), std::string(kObscure) + "\n" + kZarnLine + "\n");
  EXPECT_FALSE(registry.KeyExists(kAgentCommonKey));
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
      {"pref(\"general.config.obscure_value\", 0);\n", L""},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    WriteBytes(dir / L"!.js", c.content);
    EXPECT_EQ(pelorin::ReadLoaderCfgName(dir / L"!.js"), c.name);
  }
  EXPECT_EQ(pelorin::ReadLoaderCfgName(dir / L"missing.js"), L"");
}

}  // namespace
