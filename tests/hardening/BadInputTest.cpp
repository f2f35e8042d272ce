// Whatever the library meets on disk, each export gives its usual result and
// words, and other people's lines stay where they were. Registry values of
// the wrong shape are pinned where each value is read (tests/unit).
#include <gtest/gtest.h>
#include <windows.h>
#include "Capture.h"
#include "Scene.h"
using namespace testing_support;
using namespace std::string_literals;
namespace {
enum class Op { kZarn, kTovk, kDlp, kCleanUp, kProxyCleanUp, kQuery };
const Op kEveryOp[] = {Op::kZarn, Op::kTovk, Op::kDlp, Op::kCleanUp, Op::kProxyCleanUp, Op::kQuery};

// A scene whose autoconfig file is recorded, so that the cleanup finds it.
struct RecordedScene : Scene {
  RecordedScene() { registry.SetString(kAgentCommonKey, L"FFCFG", cfg()); }
};

// The export's result followed by what it printed.
std::string Perform(Scene& scene, Op op) {
  OrlixDouble::Clear();
  StdoutCapture out;
  PelorinDll& dll = *scene.dll;
  std::wstring loader_name;
  std::wstring cfg_name;
  int32_t result = 0;
  switch (op) {
    case Op::kZarn: result = dll.ZarnStart(nullptr, L"", L"", 0); break;
    case Op::kTovk: result = dll.TovkStart(nullptr, L"", L"", 0); break;
    case Op::kDlp: result = dll.DlpStart(nullptr, L"", L""); break;
    case Op::kCleanUp: result = dll.UninstallCleanUp(false); break;
    case Op::kProxyCleanUp: result = dll.UninstallCleanUp(true); break;
    case Op::kQuery: result = dll.GetFFVersionAndCfg(L"id", &loader_name, &cfg_name); break;
  }
  return std::to_string(result) + out.Text();
}

// What each export answers when all goes well.
std::string Usual(Op op) {
  if (op == Op::kDlp || op == Op::kQuery) return "1";
  return "0";
}

TEST(BadInput, OddFileContentKeepsEveryForeignLine) {
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "pref(\"user.n" + std::to_string(i) + "\", 1);\n";
  const std::string contents[] = {
      "\xEF\xBB\xBF// u\npref(\"a\", 1);\n"s,  // a byte order mark
      "a\0b\n\0\n//\0"s,
      many,
      "// " + std::string(1 << 20, 'x'),
      "p\xC3\x28\n\xFF\xFE\n// \xED\xA0\x80\xC0\xAF\n"s,  // invalid UTF-8
      "// u\rpref(\"a\", 1);\r//\r"s,                     // CR alone
  };
  for (const std::string& content : contents) {
    for (Op op : kEveryOp) {
      SCOPED_TRACE(content.substr(0, 20) + " / op " + std::to_string(static_cast<int>(op)));
      RecordedScene scene;
      const std::wstring files[] = {scene.loader(), scene.firefox.pref(L"prefs.js"), scene.cfg()};
      for (const std::wstring& file : files) WriteBytes(file, content);
      EXPECT_EQ(Perform(scene, op), Usual(op));
      for (const std::wstring& file : files) EXPECT_EQ(ForeignLines(ReadBytes(file)), ForeignLines(content));
    }
  }
}

// A target another program holds open without sharing, or a directory where
// the file should be: the target stays as it was, and the one message names
// it and the step that failed. A held file cannot be read whole, and a file
// not read whole is never replaced.
TEST(BadInput, FilesThatCannotBeReplacedStayAsTheyWere) {
  const std::string kForeign = "// mine\npref(\"a\", 1);\r\n";
  const struct {
    bool directory;  // else a file held open
    bool loader;     // else the autoconfig file
    Op op;
    const char* step;  // empty when the operation has nothing to write
    const char* error;
  } cases[] = {
      {false, false, Op::kZarn, "ReadFile", "32"}, {false, false, Op::kCleanUp, "ReadFile", "32"},
      {false, true, Op::kDlp, "ReadFile", "32"},   {true, false, Op::kDlp, "MoveFileEx", "183"},
      {true, false, Op::kCleanUp, "", ""},         {true, true, Op::kZarn, "MoveFileEx", "183"},
  };
  for (const auto& c : cases) {
    RecordedScene scene;
    const std::wstring target = c.loader ? scene.loader() : scene.cfg();
    SCOPED_TRACE(Narrow(target) + " / op " + std::to_string(static_cast<int>(c.op)));
    if (c.directory) {
      MakeDirectory(target);
    } else {
      WriteBytes(target, kForeign);
    }
    pelorin::unique_file held(CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string expected = Usual(c.op);
    if (*c.step != '\0') {
      expected +=
          std::string("SetFileContentW: ") + c.step + " " + Narrow(target) + " failed with error " + c.error + "\n";
    }
    EXPECT_EQ(Perform(scene, c.op), expected);
    held.reset();
    if (c.directory) {
      EXPECT_TRUE(DirectoryExists(target));
    } else {
      EXPECT_EQ(ReadBytes(target), kForeign);
    }
    EXPECT_FALSE(FileExists(target + L".pelorin-tmp"));
  }
}

TEST(BadInput, InstallFolderWithAccentsAndCjk) {
  Scene scene(L"Mozilla Firef\u00f6x \u00e9t\u00e9 \u706b\u72d0 \U0001F98A");
  WriteBytes(scene.cfg(), "// mine\n");
  EXPECT_EQ(scene.dll->InstallPath(), scene.firefox.dir());
  EXPECT_EQ(Perform(scene, Op::kZarn), "0");
  EXPECT_EQ(ReadBytes(scene.loader()), kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n");
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n" + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgProxyType + "\n" +
                                        kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n");
  EXPECT_EQ(Perform(scene, Op::kCleanUp), "0");  // through the non-ASCII path saved in FFCFG
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n");
}
}  // namespace
