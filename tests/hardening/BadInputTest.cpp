// Whatever the library meets on disk or in the registry, each export gives its
// usual result and words, and other people's lines stay where they were.
#include <gtest/gtest.h>
#include <windows.h>
#include "Capture.h"
#include "Scene.h"
#include "pelorin/UniqueHandle.h"
using namespace testing_support;
using namespace std::string_literals;
namespace hardening {
enum Op { kZarn, kTovk, kDlp, kCleanUp, kProxyCleanUp, kQuery };
// The export's result followed by what it printed; OrlixDouble holds its log.
std::string Perform(Scene& s, Op op) {
  OrlixDouble::Clear();
  StdoutCapture out;
  std::wstring js, cfg;
  PelorinDll& d = s.dll;
  const int32_t r = op == kZarn ? d.ZarnStart(nullptr, L"", L"", 0) : op == kTovk ? d.TovkStart(nullptr, L"", L"", 0)
                    : op == kDlp ? d.DlpStart(nullptr, L"", L"")
                    : op == kQuery ? d.GetFFVersionAndCfg(L"id", &js, &cfg) : d.UninstallCleanUp(op == kProxyCleanUp);
  return std::to_string(r) + out.Text();
}
std::string Ok(Op op) { return op == kDlp || op == kQuery ? "1" : "0"; }
TEST(BadInput, OddFileContentKeepsEveryForeignLine) {
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "pref(\"user.n" + std::to_string(i) + "\", 1);\n";
  for (const std::string& content :
       {"\xEF\xBB\xBF// u\npref(\"a\", 1);\n"s, "a\0b\n\0\n//\0"s, many, "// " + std::string(1 << 20, 'x'), // BOM, NULs
        "p\xC3\x28\n\xFF\xFE\n// \xED\xA0\x80\xC0\xAF\n"s, "// u\rpref(\"a\", 1);\r//\r"s}) {  // invalid UTF-8, CR
    for (Op op : {kZarn, kTovk, kDlp, kCleanUp, kProxyCleanUp, kQuery}) {
      SCOPED_TRACE(content.substr(0, 20) + " / op " + std::to_string(op));
      Scene s;
      const std::wstring files[] = {s.loader(), s.firefox.pref(L"prefs.js"), s.cfg()};
      for (const std::wstring& f : files) WriteBytes(f, content);
      EXPECT_EQ(Perform(s, op), Ok(op));
      for (const std::wstring& f : files) EXPECT_EQ(ForeignLines(ReadBytes(f)), ForeignLines(content));
    }
  }
}
// A target another program holds open without sharing, or a directory where
// the file should be: the target stays as it was, and the one message names
// it and the step that failed.
TEST(BadInput, FilesThatCannotBeReplacedStayAsTheyWere) {
  const std::string kForeign = "// mine\npref(\"a\", 1);\r\n";
  enum class Obstacle { kHeldOpen, kDirectory };
  const struct {
    Obstacle obstacle;
    bool loader;
    Op op;
    const char* message;  // empty when the operation has nothing to write
  } cases[] = {
      {Obstacle::kHeldOpen, false, kZarn, "MoveFileEx %s failed with error 5"},
      {Obstacle::kHeldOpen, false, kCleanUp, "MoveFileEx %s failed with error 5"},
      {Obstacle::kHeldOpen, true, kDlp, "MoveFileEx %s failed with error 5"},
      {Obstacle::kDirectory, false, kDlp, "MoveFileEx %s failed with error 183"},
      {Obstacle::kDirectory, false, kCleanUp, ""},
      {Obstacle::kDirectory, true, kZarn, "MoveFileEx %s failed with error 183"},
  };
  for (const auto& c : cases) {
    Scene s;
    const std::wstring target = c.loader ? s.loader() : s.cfg();
    SCOPED_TRACE(Narrow(target) + " / op " + std::to_string(c.op));
    if (c.obstacle == Obstacle::kHeldOpen) {
      WriteBytes(target, kForeign);
    } else {
      MakeDirectory(target);
    }
    pelorin::unique_file held(CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));

    std::string expected = Ok(c.op);
    if (*c.message != '\0') {
      std::string line = c.message;
      line.replace(line.find("%s"), 2, Narrow(target));
      expected += "SetFileContentW: " + line + "\n";
    }
    EXPECT_EQ(Perform(s, c.op), expected);
    held.reset();
    if (c.obstacle == Obstacle::kHeldOpen) {
      EXPECT_EQ(ReadBytes(target), kForeign);
    } else {
      EXPECT_TRUE(DirectoryExists(target));
    }
    EXPECT_FALSE(FileExists(target + L".pelorin-tmp"));
  }
}

// Values of the wrong type or too long read as missing; FFCFG's type is not examined. Shapes: Long text,
// text Padded after its NUL, Multi-string, Dword, or the plain text with its NUL.
TEST(BadInput, RegistryValuesOfTheWrongShape) {
  const std::string kLocked = "//\n// mine\n" + kCfgProxyType + "\n";
  const std::wstring kKeys[][2] = {{std::wstring(kBrowserListKey) + L"\\FIREFOX.EXE\\shell\\open\\command", L""},
                                   {kAgentKey, L"InstallPath"}, {kAgentCommonKey, L"FFCFG"}};
  struct { int value; DWORD type; char shape; Op op; int32_t result; const wchar_t* who; } const rows[] = {
      {0, REG_SZ, 'L', kZarn, -1, L"PelorinZARNFFStart "}, {0, REG_MULTI_SZ, 'M', kTovk, -1, L"PelorinTOVKFFStart "},
      {0, REG_BINARY, 'N', kDlp, -1, L""}, {1, REG_DWORD, 'D', kDlp, 1, nullptr}, {1, REG_SZ, 'P', kDlp, 1, nullptr},
      {1, REG_EXPAND_SZ, 'N', kDlp, 0, nullptr}, {2, REG_DWORD, 'D', kCleanUp, 0, nullptr},
      {2, REG_SZ, 'P', kCleanUp, 0, nullptr}, {2, REG_BINARY, 'N', kCleanUp, 0, nullptr}};
  for (const auto& r : rows) {
    SCOPED_TRACE(Narrow(kKeys[r.value][1]) + " " + std::to_string(r.type) + r.shape);
    Scene s;
    WriteBytes(s.cfg(), kLocked);
    if (r.value == 1) s.agent.AddFile(L"RvClientConfig.qcf");  // DLP gives 0 once it finds the agent's folder
    const std::wstring text[] = {L"\"" + s.firefox.dir() + L"\\firefox.exe\"", s.agent.dir() + L"\\", s.cfg()};
    const std::wstring &key = kKeys[r.value][0], &name = kKeys[r.value][1], pad(300, L'x'),
        data = text[r.value] + (r.shape == 'L' ? pad : r.shape == 'P' ? L'\0' + pad : r.shape == 'M' ? L"\0"s : L""s);
    r.shape == 'D' ? s.registry.SetDword(key, name, 0x410041) : s.registry.SetUnits(key, name, r.type, data + L'\0');
    EXPECT_EQ(Perform(s, r.op), std::to_string(r.result));
    const std::vector<std::wstring> log = OrlixDouble::Messages();
    EXPECT_EQ(log, r.who ? std::vector<std::wstring>{r.who + L"firefox install path is empty."s} : log);
    if (r.op == kCleanUp) { EXPECT_EQ(ReadBytes(s.cfg()), r.type == REG_BINARY ? "//\n// mine\n" : kLocked); }
  }
}
TEST(BadInput, InstallFolderWithAccentsAndCjk) {
  Scene s(L"Mozilla Firef\u00f6x \u00e9t\u00e9 \u706b\u72d0 \U0001F98A");
  WriteBytes(s.cfg(), "// mine\n");
  EXPECT_EQ(s.dll.InstallPath(), s.firefox.dir());
  EXPECT_EQ(Perform(s, kZarn), "0");
  EXPECT_EQ(ReadBytes(s.loader()), kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n");
  EXPECT_EQ(ReadBytes(s.cfg()), "//\n// mine\n" + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgProxyType + "\n" +
                                    kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n");
  EXPECT_EQ(Perform(s, kCleanUp), "0");  // through the non-ASCII path saved in FFCFG
  EXPECT_EQ(ReadBytes(s.cfg()), "//\n// mine\n");
}
}  // namespace hardening
