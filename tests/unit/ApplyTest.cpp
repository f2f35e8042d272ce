// The applier on real files and the agent's key: the autoconfig file, then
// the loader file, then the strips; the first failure stops the writes; each
// record is written, as REG_SZ with its terminator, only once its file is in
// place, and only into the agent's key as its installer made it.
#include <gtest/gtest.h>

#include <map>

#include "Capture.h"
#include "CfgText.h"
#include "FakeInputs.h"
#include "ImportSlot.h"
#include "Sandboxes.h"
#include "modes/Apply.h"
#include "modes/Operations.h"
#include "modes/Plans.h"

using namespace testing_support;
// The library is linked into this executable: its calls go through these slots.
extern "C" decltype(&RegSetValueExW) __imp_RegSetValueExW;
extern "C" decltype(&FindFirstFileW) __imp_FindFirstFileW;
extern "C" decltype(&ReadFile) __imp_ReadFile;

namespace {

// The value's type and its data as stored; type 0 when missing.
std::pair<DWORD, std::string> RawValue(const wchar_t* name) {
  pelorin::unique_hkey key;
  DWORD type = 0;
  DWORD bytes = 0;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_QUERY_VALUE, key.put());
  if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return {0, ""};
  std::string data(bytes, '\0');
  RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &bytes);
  return {type, data};
}

using Values = std::map<std::wstring, std::pair<DWORD, std::string>>;
// Each value's type and data as handed to the registry: Wine would add a
// missing terminator to a string on its own.
Values g_offered;
bool g_refuse;
const auto kSetValue = __imp_RegSetValueExW;
LONG WINAPI OfferValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD bytes) {
  g_offered[name] = {type, std::string(reinterpret_cast<const char*>(data), bytes)};
  return g_refuse ? ERROR_ACCESS_DENIED : kSetValue(key, name, reserved, type, data, bytes);
}

TEST(Apply, FilesInOrderAndRecordsOnlyForFilesInPlace) {
  const std::wstring loader = L"defaults\\pref\\loader.txt";  // not stripped, so its foreign line is recorded
  const std::wstring prefs = L"defaults\\pref\\prefs.js";
  const std::wstring cfg = L"cv_mozilla_V2N.cfg";
  const std::string foreign = "pref(\"general.config.filename\", \"\xE7\x81\xAB.cfg\");";
  const std::wstring line = L"pref(\"general.config.filename\", \"\u706b.cfg\");";
  // A folder in a file's place fails its rename (at once where the file was
  // missing, after the half second of retries where it was read: a folder
  // cannot be replaced); an autoconfig file that is there but cannot be read
  // whole is never replaced; one that already holds its new bytes is in
  // place without a write.
  const std::string cfg_as_decided = "//\n" + kCfgProxyType + "\n" + kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n";
  enum AgentKey { kThere, kMissing, kRefusing };
  const struct {
    AgentKey key;
    std::wstring blocked;
    std::vector<std::wstring> written;
    bool cfg_recorded, line_recorded;
    const char* step;  // of the one failure line, naming the blocked file; null: none
    int error;
  } rows[] = {
      {kThere, L"", {cfg, loader, prefs}, true, true, nullptr, 0},
      {kThere, cfg, {loader, prefs}, true, true, nullptr, 0},
      {kThere, cfg, {}, false, false, "MoveFileEx", ERROR_ALREADY_EXISTS},
      {kThere, loader, {cfg}, true, false, "MoveFileEx", ERROR_ACCESS_DENIED},
      {kThere, prefs, {cfg, loader}, true, true, "MoveFileEx", ERROR_ACCESS_DENIED},
      {kThere, cfg, {}, false, false, "ReadFile", ERROR_LOCK_VIOLATION},
      // The agent's key is its installer's: without it nothing is recorded,
      // and it is not created.
      {kMissing, L"", {cfg, loader, prefs}, false, false, nullptr, 0},
      // Where it refuses a value, "SaveCurrentCFGFilePath", which says FFCFG
      // was written, is not logged, and the replaced line's record is gone:
      // it is deleted before it is set.
      {kRefusing, L"", {cfg, loader, prefs}, true, true, nullptr, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    RegistrySandbox registry;
    // Replaced, not merged: its type goes too.
    if (row.key != kMissing) registry.SetDword(kAgentCommonKey, L"FFJSFile", 7);
    FirefoxInstall firefox;
    FakeInputs inputs;
    inputs.install = firefox.dir();
    inputs.files = {{loader, foreign + "\n"}, {prefs, PrefFilename("cv_mozilla_zarn.cfg") + "\n"}};
    if (row.error == ERROR_LOCK_VIOLATION) inputs.files[cfg] = kUnreadable;
    if (row.step == nullptr && !row.blocked.empty()) {
      // Stale only because the agent's configuration is there and the
      // inline proxy is not, so it is edited into the same bytes.
      inputs.client_config = true;
      inputs.files[cfg] = cfg_as_decided + kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n";
    }
    if (row.error != ERROR_LOCK_VIOLATION && row.step != nullptr) MakeDirectory(firefox.file(row.blocked));
    pelorin::Outcome outcome = pelorin::PlanWebStart(inputs, pelorin::Mode::kTovk, L"loader.txt", L"", false, false);
    const size_t planned_messages = outcome.messages.size();
    g_offered.clear();
    g_refuse = row.key == kRefusing;
    SetImportSlot(__imp_RegSetValueExW, &OfferValue);
    pelorin::Apply(outcome, {}, {});
    SetImportSlot(__imp_RegSetValueExW, kSetValue);
    std::string failures;
    for (const pelorin::FileChange& file : outcome.files) {
      if (file.failure) failures += pelorin::WriteFailureLine(*file.failure, file.path);
    }
    EXPECT_EQ(failures, FailureLine(row.step, firefox.file(row.blocked), row.error));
    for (const std::wstring& file : {cfg, loader, prefs}) {
      const bool written = std::count(row.written.begin(), row.written.end(), file) != 0;
      EXPECT_EQ(FileExists(firefox.file(file)), written) << Narrow(file);
    }
    using Value = std::pair<DWORD, std::string>;
    const Value cfg_value{REG_SZ, Utf16Bytes(firefox.file(cfg) + L'\0')}, none{0, ""};
    const Value line_value{REG_SZ, Utf16Bytes(line + L'\0')}, old_line{REG_DWORD, std::string("\7\0\0\0", 4)};
    Values offered;
    if (row.cfg_recorded) offered[L"FFCFG"] = cfg_value;
    if (row.line_recorded) offered[L"FFJSFile"] = line_value;
    EXPECT_EQ(g_offered, offered);
    const bool stored = row.key == kThere;
    EXPECT_EQ(RawValue(L"FFCFG"), stored && row.cfg_recorded ? cfg_value : none);
    EXPECT_EQ(RawValue(L"FFJSFile"), row.key == kMissing  ? none
                                     : !row.line_recorded ? old_line
                                     : stored             ? line_value
                                                          : none);
    const std::vector<std::wstring> applied(outcome.messages.begin() + planned_messages, outcome.messages.end());
    EXPECT_EQ(applied, stored && row.cfg_recorded ? std::vector<std::wstring>{L"SaveCurrentCFGFilePath"}
                                                  : std::vector<std::wstring>{});
    pelorin::unique_hkey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS,
              row.key != kMissing);
  }
}

std::vector<std::wstring> g_listed;
const auto kFindFirst = __imp_FindFirstFileW;
const auto kRead = __imp_ReadFile;
HANDLE WINAPI ListFolder(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  g_listed.push_back(pattern);
  return kFindFirst(pattern, data);
}

// Under Wine every listing reads the whole folder. The one that finds the
// *.js files also tells whether a killed write left a temporary file there,
// so the removal of leftovers lists only the autoconfig file's folder.
TEST(Apply, EachFolderIsListedOnce) {
  for (const bool dlp : {false, true}) {
    RegistrySandbox registry;
    FirefoxInstall firefox;
    firefox.Register(registry);
    g_listed.clear();
    SetImportSlot(__imp_FindFirstFileW, &ListFolder);
    dlp ? pelorin::StartDlp(L"", L"") : pelorin::StartWeb(pelorin::Mode::kZarn, {}, L"", L"", false);
    SetImportSlot(__imp_FindFirstFileW, kFindFirst);
    EXPECT_EQ(g_listed, (std::vector<std::wstring>{firefox.pref_dir() + L"\\*", firefox.dir() + L"\\*.pelorin-tmp"}))
        << dlp;
  }
}

BOOL WINAPI LockedRead(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
  SetLastError(ERROR_LOCK_VIOLATION);
  return FALSE;
}

// The host learns of a file it keeps from the export's lines on standard
// output: a read that failed has its own line, before the file's; the
// cleanup reports alike. Only the autoconfig file has bytes to read.
TEST(Operations, AFailedReadIsPrintedBeforeTheFileItKeeps) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  AgentInstall agent(registry);
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
  WriteBytes(cfg, "// mine\n");
  registry.SetString(kAgentCommonKey, L"FFCFG", cfg);
  const std::string lines = "ReadFile failed, 33\nSetFileContentW: ReadFile " + Narrow(cfg) + " failed with error 33\n";
  for (const bool cleanup : {false, true}) {
    StdoutCapture out;
    SetImportSlot(__imp_ReadFile, &LockedRead);
    cleanup ? pelorin::UninstallCleanUp(false) : void(pelorin::StartWeb(pelorin::Mode::kTovk, {}, L"", L"", false));
    SetImportSlot(__imp_ReadFile, kRead);
    EXPECT_EQ(out.Text(), lines) << cleanup;
    EXPECT_EQ(ReadBytes(cfg), "// mine\n");
  }
}

}  // namespace
