// Whatever the library meets on disk or in the registry, every export gives
// its usual result, says what went wrong in its usual words, and leaves
// every line of other people's configuration where it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Capture.h"
#include "NetworkService.h"
#include "Scene.h"
#include "base/UniqueHandle.h"

using namespace testing_support;
using namespace hardening;
using namespace std::string_literals;

namespace {

const std::wstring kInstallDir = L"<install dir>";  // stands for the scene's folder in expected logs
const std::wstring kSaved = L"SaveCurrentCFGFilePath";
const std::wstring kProxyOff = L"NetworkProxy service is NOT running";
const std::wstring kDlpLoader = L"FF extension updated JS file: !.js";
const std::wstring kDlpPath = L"FF extension ff_install_path_";
const std::wstring kDlpCfg = L"FF extension updated CFG file: cv_mozilla_V2N.cfg";
const std::wstring kDlpCreate = L"FF extension CFG file do not exists. Creating one.";
const std::wstring kDlpDone = L"Finished DLP FF extension operation.";
// DLP's messages when it writes the loader file and then merges into, or
// creates, the autoconfig file.
const Messages kDlpMerged{kDlpLoader, kDlpPath, kInstallDir, kProxyOff, kSaved, kDlpCfg, kDlpDone};
const Messages kDlpCreated{kDlpLoader, kDlpPath, kInstallDir, kDlpCreate, kProxyOff, kSaved, kDlpCfg, kDlpDone};
const Messages kTovkEdited{L"FF config all_lines.push_back", kSaved, L"Finished TOVK FF extension operation.\r\n"};

struct Operation {
  const char* name;
  std::function<int32_t(Scene&)> call;
  int32_t result;
};

const Operation kZarn{"ZARN", [](Scene& s) { return s.dll.ZarnStart(nullptr, L"", L"", 0); }, 0};
const Operation kTovk{"TOVK", [](Scene& s) { return s.dll.TovkStart(nullptr, L"", L"", 0); }, 0};
const Operation kDlp{"DLP", [](Scene& s) { return s.dll.DlpStart(nullptr, L"", L""); }, 1};
const Operation kCleanUp{"cleanup", [](Scene& s) { return s.dll.UninstallCleanUp(false); }, 0};
const Operation kProxyCleanUp{"proxy cleanup", [](Scene& s) { return s.dll.UninstallCleanUp(true); }, 0};
// What it reports is for its own tests; here only its result counts.
const Operation kQuery{"query",
                       [](Scene& s) { std::wstring js, cfg; return s.dll.GetFFVersionAndCfg(L"id", &js, &cfg); }, 1};

struct Outcome {
  int32_t result;
  Messages log;
  std::string printed;
};

Outcome Perform(Scene& scene, const Operation& op) {
  OrlixDouble::Clear();
  StdoutCapture out;
  Outcome outcome{op.call(scene), {}, out.Text()};
  for (const std::wstring& message : OrlixDouble::Messages()) {
    outcome.log.push_back(message == scene.firefox.dir() ? kInstallDir : message);
  }
  return outcome;
}

void ExpectOutcome(const Outcome& outcome, int32_t result, const Messages& log, const std::string& printed) {
  EXPECT_EQ(outcome.result, result);
  EXPECT_EQ(outcome.log, log);
  EXPECT_EQ(outcome.printed, printed);
}

std::string ManyLines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "pref(\"user.n" + std::to_string(i) + "\", " + std::to_string(i) + ");\n";
  return text;
}

TEST(BadInput, OddFileContentKeepsEveryForeignLine) {
  struct Content {
    const char* name;
    std::string text;
  } const contents[] = {
      {"byte-order mark", "\xEF\xBB\xBF// user.js\npref(\"a\", 1);\n"},
      {"NUL bytes", "pref(\"a\0b\", 1);\n\0\0\0\n// c\0"s},
      {"invalid UTF-8", "pref(\"\xC3\x28\", 1);\n\xFF\xFE\xFD\n// \xED\xA0\x80 \xC0\xAF\n"},
      {"CR line ends", "// user\rpref(\"a\", 1);\rpref(\"b\", 2);\r"},
      {"one line of 1 MiB", "// " + std::string(1 << 20, 'x') + "\n"},
      {"100 000 lines", ManyLines(100000)},
  };
  // Neither the loader file nor the autoconfig file holds any of the
  // library's lines yet, so each start rewrites both.
  struct Expected {
    const Operation& op;
    Messages log;
  } const operations[] = {
      {kZarn, {kSaved}},
      {kTovk, kTovkEdited},
      {kDlp, kDlpMerged},
      {kCleanUp, {}},
      {kProxyCleanUp, {L"Unlocking only proxy settings."}},
      {kQuery, {}},
  };
  for (const Content& content : contents) {
    for (const Expected& expected : operations) {
      SCOPED_TRACE(std::string(content.name) + ", " + expected.op.name);
      Scene scene;
      const std::wstring files[] = {scene.loader(), scene.firefox.pref(L"prefs.js"), scene.cfg()};
      for (const std::wstring& file : files) WriteBytes(file, content.text);
      ExpectOutcome(Perform(scene, expected.op), expected.op.result, expected.log, "");
      for (const std::wstring& file : files) EXPECT_EQ(ForeignLines(ReadBytes(file)), ForeignLines(content.text));
    }
  }
}

// Messages of the file layer for a file it could not open: one letter per
// message, S for SetFileContentW and A for AppendFileContentW.
std::string OpenFailures(const std::string& pattern, const std::wstring& path, DWORD error) {
  std::string printed;
  for (char kind : pattern) {
    printed += std::string(kind == 'S' ? "SetFileContentW" : "AppendFileContentW") + ": CreateFile " + Narrow(path) +
               " failed with error " + std::to_string(error) + "\n";
  }
  return printed;
}

// Running as an administrator (root under Wine) may write read-only files.
bool ReadOnlyIsEnforced() {
  TempDir dir;
  WriteBytes(dir / L"probe", "x");
  SetFileAttributesW((dir / L"probe").c_str(), FILE_ATTRIBUTE_READONLY);
  return !pelorin::unique_file(
      CreateFileW((dir / L"probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

TEST(BadInput, FilesThatCannotBeOpenedStayAsTheyWere) {
  enum Fault { kHeldOpen, kReadOnly, kDirectory };
  enum Target { kCfg, kLoader };
  const char* const kFaultNames[] = {"held open", "read-only", "a directory"};
  const std::string kForeign = "// mine\npref(\"a\", 1);\r\n";
  struct Case {
    Fault fault;
    Target target;
    const Operation& op;
    std::string failures;  // OpenFailures pattern on the target
    Messages log;
  } const cases[] = {
      {kHeldOpen, kCfg, kZarn, "S", {kSaved}},
      {kHeldOpen, kCfg, kDlp, "S", kDlpMerged},
      {kHeldOpen, kCfg, kCleanUp, "S", {}},
      {kHeldOpen, kLoader, kZarn, "SS", {kSaved}},  // stripped, then written
      {kHeldOpen, kLoader, kDlp, "SS", kDlpCreated},
      {kReadOnly, kCfg, kTovk, "S", kTovkEdited},
      {kReadOnly, kCfg, kProxyCleanUp, "S", {L"Unlocking only proxy settings."}},
      {kReadOnly, kLoader, kZarn, "SS", {kSaved}},
      {kDirectory, kCfg, kZarn, "SAAAAA", {kSaved}},
      {kDirectory, kCfg, kDlp, "SAAAAAA", kDlpCreated},  // three lines, each with its line end
      {kDirectory, kCfg, kCleanUp, "", {}},
      {kDirectory, kLoader, kZarn, "SAAA", {kSaved}},
      {kDirectory, kLoader, kDlp, "SAAA", kDlpCreated},
  };
  const bool read_only_enforced = ReadOnlyIsEnforced();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.op.name) + ", " + (c.target == kCfg ? "autoconfig" : "loader") + " file " +
                 kFaultNames[c.fault]);
    Scene scene;
    const std::wstring target = c.target == kCfg ? scene.cfg() : scene.loader();
    c.fault == kDirectory ? MakeDirectory(target) : WriteBytes(target, kForeign);
    pelorin::unique_file held;
    if (c.fault == kHeldOpen) {
      held.reset(CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(held);
    }
    if (c.fault == kReadOnly) SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    const Outcome outcome = Perform(scene, c.op);
    held.reset();
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);

    const DWORD error = c.fault == kHeldOpen ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED;
    const bool refused = c.fault != kReadOnly || read_only_enforced;
    ExpectOutcome(outcome, c.op.result, c.log, refused ? OpenFailures(c.failures, target, error) : "");
    if (c.fault == kDirectory) {
      EXPECT_TRUE(DirectoryExists(target));
    } else if (refused) {
      EXPECT_EQ(ReadBytes(target), kForeign);
    } else {
      EXPECT_EQ(ForeignLines(ReadBytes(target)), ForeignLines(kForeign));
    }
  }
}

TEST(BadInput, PrefFolderThatIsAFile) {
  Scene scene;
  RemoveTree(scene.firefox.pref_dir());
  WriteBytes(scene.firefox.pref_dir(), "pref(\"a\", 1);\n");
  ExpectOutcome(Perform(scene, kQuery), 1, {}, "");
  ExpectOutcome(Perform(scene, kZarn), 0, {kSaved}, OpenFailures("SAAA", scene.loader(), ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(ReadBytes(scene.firefox.pref_dir()), "pref(\"a\", 1);\n");
  EXPECT_TRUE(FileExists(scene.cfg()));
}

// Registry values of the wrong shape read as missing, except where the
// type is deliberately not examined; nothing at a truncated path is touched.
TEST(BadInput, RegistryValuesOfTheWrongShape) {
  const std::wstring padding(300, L'x');
  const std::wstring kCommand = std::wstring(kBrowserListKey) + L"\\FIREFOX.EXE\\shell\\open\\command";
  const std::string kLocked = "//\n// mine\n" + kCfgProxyType + "\n";
  auto exe = [](Scene& s) { return L"\"" + s.firefox.dir() + L"\\firefox.exe\""; };
  // With the agent's folder found, this file makes DLP stop early with 0.
  const std::wstring kRv = L"RvClientConfig.qcf";
  struct Case {
    const char* name;
    std::function<void(Scene&)> shape;
    const Operation& op;
    int32_t result;
    Messages log;
    bool cfg_cleaned;
  } const cases[] = {
      {"command longer than its buffer", [&](Scene& s) { s.registry.SetString(kCommand, L"", exe(s) + padding); },
       kZarn, -1, {L"PelorinZARNFFStart firefox install path is empty."}, false},
      {"command as a list of strings",
       [&](Scene& s) { s.registry.SetUnits(kCommand, L"", REG_MULTI_SZ, exe(s) + L"\0\0"s); }, kTovk, -1,
       {L"PelorinTOVKFFStart firefox install path is empty."}, false},
      {"command as binary", [&](Scene& s) { s.registry.SetUnits(kCommand, L"", REG_BINARY, exe(s) + L'\0'); }, kDlp,
       -1, {L"firefox install path is empty."}, false},
      {"InstallPath as a number",
       [&](Scene& s) { s.agent.AddFile(kRv); s.registry.SetDword(kAgentKey, L"InstallPath", 0x00410041); }, kDlp, 1,
       kDlpMerged, false},
      {"InstallPath longer than its buffer",
       [&](Scene& s) {
         s.agent.AddFile(kRv);
         s.registry.SetUnits(kAgentKey, L"InstallPath", REG_SZ, s.agent.dir() + L"\\\0"s + padding + L'\0');
       },
       kDlp, 1, kDlpMerged, false},
      {"InstallPath as an expandable string",
       [&](Scene& s) {
         s.agent.AddFile(kRv);
         s.registry.SetString(kAgentKey, L"InstallPath", s.agent.dir() + L"\\", REG_EXPAND_SZ);
       },
       kDlp, 0, {}, false},
      {"FFCFG as a number", [](Scene& s) { s.registry.SetDword(kAgentCommonKey, L"FFCFG", 0x00410041); }, kCleanUp, 0,
       {}, false},
      {"FFCFG longer than its buffer",
       [&](Scene& s) { s.registry.SetUnits(kAgentCommonKey, L"FFCFG", REG_SZ, s.cfg() + L'\0' + padding + L'\0'); },
       kCleanUp, 0, {}, false},
      {"FFCFG as binary",
       [&](Scene& s) { s.registry.SetUnits(kAgentCommonKey, L"FFCFG", REG_BINARY, s.cfg() + L'\0'); }, kCleanUp, 0,
       {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    WriteBytes(scene.cfg(), kLocked);
    c.shape(scene);
    ExpectOutcome(Perform(scene, c.op), c.result, c.log, "");
    if (&c.op == &kCleanUp) {
      EXPECT_EQ(ReadBytes(scene.cfg()), c.cfg_cleaned ? "//\n// mine\n" : kLocked);
    }
    if (c.result == -1) {
      EXPECT_FALSE(FileExists(scene.loader()));
    }
  }
}

TEST(BadInput, InstallFolderWithAccentsAndCjk) {
  const std::wstring folder = L"Mozilla Firef\u00f6x \u00e9t\u00e9 \u706b\u72d0 \U0001F98A";
  Scene scene(folder);
  ASSERT_NE(scene.firefox.dir().find(folder), std::wstring::npos);
  EXPECT_EQ(scene.dll.InstallPath(), scene.firefox.dir());

  WriteBytes(scene.cfg(), "// mine\n");
  EXPECT_EQ(Perform(scene, kZarn).printed, "");
  EXPECT_EQ(ReadBytes(scene.loader()), kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n");
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n" + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgProxyType +
                                        "\n" + kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n");
  EXPECT_EQ(scene.registry.ReadString(kAgentCommonKey, L"FFCFG"), scene.cfg());

  std::wstring loader, cfg;
  EXPECT_EQ(scene.dll.GetFFVersionAndCfg(L"id", &loader, &cfg), 1);
  EXPECT_EQ(loader, L"!.js");
  EXPECT_EQ(cfg, L"cv_mozilla_V2N.cfg");

  EXPECT_EQ(Perform(scene, kCleanUp).printed, "");
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n");

  const Outcome dlp = Perform(scene, kDlp);
  EXPECT_EQ(dlp.log, (Messages{L"FF extension JS file already updated.", kDlpPath, kInstallDir, kProxyOff, kSaved,
                               kDlpCfg, kDlpDone}));
  EXPECT_EQ(ReadBytes(scene.cfg()), "//\n// mine\n" + DlpCfgTail(false));
}

// The policy value at the sizes the registry allows but nobody expects.
TEST(BadInput, PolicyOfNoneOneAndSixteenMebibytes) {
  const std::wstring kEntry = L"\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}";
  const size_t k16MiB = 16u << 20;
  const std::wstring filler(k16MiB / sizeof(wchar_t) - 64, L' ');
  const std::wstring kReadFailed = L"Failed to read ExtensionSettings registry value.";
  struct Case {
    const char* name;
    std::string bytes;
    int32_t answer;
  };
  auto bytes_of = [](const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
  };
  const Case cases[] = {
      {"zero bytes", "", 0},
      {"one byte", "{", 0},
      {"16 MiB, entry after the padding", bytes_of(L"{" + filler + kEntry + L"}"), 1},
      {"16 MiB string member before the entry", bytes_of(L"{\"pad\":\"" + filler + L"\"," + kEntry + L"}"), 1},
      {"16 MiB, never closed", bytes_of(L"{\"pad\":\"" + filler), 0},
  };
  NetworkService service;
  service.Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegistrySandbox registry;
    registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", REG_SZ, c.bytes.data(),
                    static_cast<DWORD>(c.bytes.size()));
    PelorinDll dll;
    dll.Initialize();
    EXPECT_EQ(dll.InlineProxyEnabled(), c.answer);
    // Whether a value too short for its terminator fails to read or reads
    // as an empty text is the reader's choice; either way it is not JSON.
    const Messages log = OrlixDouble::Messages();
    EXPECT_TRUE(log.empty() || (c.bytes.size() < 2 && log == Messages{kReadFailed}));
  }
}

}  // namespace
