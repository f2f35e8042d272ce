// The applier on real files and the agent's key: the autoconfig file, then
// the loader file, then the strips; the first failure stops the writes; each
// record is written, as REG_SZ with its terminator, only once its file is in
// place.
#include <gtest/gtest.h>

#include <map>

#include "Capture.h"
#include "CfgText.h"
#include "FakeInputs.h"
#include "ImportSlot.h"
#include "Sandboxes.h"
#include "modes/Apply.h"
#include "modes/Plans.h"

using namespace testing_support;
// The library is linked into this executable: its calls go through this slot.
extern "C" decltype(&RegSetValueExW) __imp_RegSetValueExW;

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

TEST(Apply, FilesInOrderAndRecordsOnlyForFilesInPlace) {
  const std::wstring loader = L"defaults\\pref\\loader.txt";  // not stripped, so its foreign line is recorded
  const std::wstring prefs = L"defaults\\pref\\prefs.js";
  const std::wstring cfg = L"cv_mozilla_V2N.cfg";
  const std::string foreign = "pref(\"general.config.filename\", \"\xE7\x81\xAB.cfg\");";
  // A folder in a file's place fails its rename (at once where the file was
  // missing, after the half second of retries where it was read: a folder
  // cannot be replaced); an autoconfig file that is there but cannot be read
  // whole is never replaced; one that already holds its new bytes is in
  // place without a write.
  const std::string cfg_as_decided = "//\n" + kCfgProxyType + "\n" + kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n";
  const struct {
    std::wstring blocked;
    std::vector<std::wstring> written;
    bool cfg_recorded, line_recorded;
    const char* step;  // of the one failure line, naming the blocked file; null: none
    int error;
  } rows[] = {
      {L"", {cfg, loader, prefs}, true, true, nullptr, 0},
      {cfg, {loader, prefs}, true, true, nullptr, 0},
      {cfg, {}, false, false, "MoveFileEx", ERROR_ALREADY_EXISTS},
      {loader, {cfg}, true, false, "MoveFileEx", ERROR_ACCESS_DENIED},
      {prefs, {cfg, loader}, true, true, "MoveFileEx", ERROR_ACCESS_DENIED},
      {cfg, {}, false, false, "ReadFile", ERROR_LOCK_VIOLATION},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.blocked) + " " + (row.step ? row.step : ""));
    RegistrySandbox registry;
    AgentInstall agent(registry);
    registry.SetDword(kAgentCommonKey, L"FFJSFile", 7);  // replaced, not merged: its type goes too
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
    LogRecorder log;
    const pelorin::Plan plan = pelorin::PlanWebStart(inputs, pelorin::Mode::kTovk, L"loader.txt", L"", false, false);
    LogRecorder::Messages().clear();
    StdoutCapture out;
    pelorin::Apply(plan.changes, {});
    EXPECT_EQ(out.Text(), FailureLine(row.step, firefox.file(row.blocked), row.error));
    for (const std::wstring& file : {cfg, loader, prefs}) {
      const bool written = std::count(row.written.begin(), row.written.end(), file) != 0;
      EXPECT_EQ(FileExists(firefox.file(file)), written) << Narrow(file);
    }
    const std::wstring path = firefox.file(cfg);
    EXPECT_EQ(RawValue(L"FFCFG"), row.cfg_recorded ? std::make_pair(DWORD{REG_SZ}, Utf16Bytes(path + L'\0'))
                                                   : std::make_pair(DWORD{0}, std::string()));
    EXPECT_EQ(LogRecorder::Messages(),
              row.cfg_recorded ? std::vector<std::wstring>{L"SaveCurrentCFGFilePath"} : std::vector<std::wstring>{});
    const std::wstring line = L"pref(\"general.config.filename\", \"\u706b.cfg\");";
    EXPECT_EQ(RawValue(L"FFJSFile"), row.line_recorded ? std::make_pair(DWORD{REG_SZ}, Utf16Bytes(line + L'\0'))
                                                       : std::make_pair(DWORD{REG_DWORD}, std::string("\7\0\0\0", 4)));
  }
}

// Each value's type and data as handed to the registry, which refuses them:
// Wine would add a missing terminator to a string on its own.
std::map<std::wstring, std::pair<DWORD, std::string>> g_offered;
LONG WINAPI RefuseValue(HKEY, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD bytes) {
  g_offered[name] = {type, std::string(reinterpret_cast<const char*>(data), bytes)};
  return ERROR_ACCESS_DENIED;
}

// The agent's key is its installer's: without it nothing is recorded, and it
// is not created. Where it refuses a value, "SaveCurrentCFGFilePath" is not
// logged, since that message says FFCFG was written, and a replaced loader
// line's record is gone: it is deleted before it is set. Each is offered as
// REG_SZ with its terminator.
TEST(Apply, NoRecordWhereTheAgentsKeyIsMissingOrRefusesIt) {
  for (const bool key_there : {false, true}) {
    SCOPED_TRACE(key_there);
    RegistrySandbox registry;
    if (key_there) registry.SetDword(kAgentCommonKey, L"FFObscure", 7);
    FirefoxInstall firefox;
    FakeInputs inputs;
    inputs.install = firefox.dir();
    inputs.files[L"defaults\\pref\\!.js"] = "pref(\"general.config.obscure_value\", 1);\n";
    LogRecorder log;
    const pelorin::Plan plan = pelorin::PlanWebStart(inputs, pelorin::Mode::kZarn, L"", L"", false, false);
    g_offered.clear();
    const auto set_value = __imp_RegSetValueExW;
    SetImportSlot(__imp_RegSetValueExW, &RefuseValue);
    pelorin::Apply(plan.changes, {});
    SetImportSlot(__imp_RegSetValueExW, set_value);
    EXPECT_TRUE(FileExists(firefox.file(L"cv_mozilla_V2N.cfg")));
    EXPECT_EQ(RawValue(L"FFCFG").first + RawValue(L"FFObscure").first, 0u);
    pelorin::unique_hkey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS, key_there);
    EXPECT_EQ(LogRecorder::Messages(), std::vector<std::wstring>{});
    const std::wstring path = firefox.file(L"cv_mozilla_V2N.cfg"), line = L"pref(\"general.config.obscure_value\", 1);";
    EXPECT_EQ(g_offered, (key_there ? decltype(g_offered){{L"FFCFG", {REG_SZ, Utf16Bytes(path + L'\0')}},
                                                          {L"FFObscure", {REG_SZ, Utf16Bytes(line + L'\0')}}}
                                    : decltype(g_offered){}));
  }
}

}  // namespace
