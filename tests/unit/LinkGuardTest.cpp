// Writes that no link or name can lead elsewhere, and that ride out a
// scanner's brief hold: the name rule, the folder permission rule, and a
// start under file calls that report links, plant a temporary file or hold
// the target.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <thread>

#include "Capture.h"
#include "CfgText.h"
#include "Sandboxes.h"
#include "autoconfig/LoaderLines.h"
#include "check/Check.h"
#include "check/FolderAccess.h"
#include "files/FileCalls.h"
#include "modes/Operations.h"

using namespace testing_support;

namespace {

TEST(LinkGuard, OnlyPlainNamesPass) {
  const struct {
    std::wstring name;
    const char* fault;
  } rows[] = {
      {L"cv_mozilla_V2N.cfg", "plain"},
      {L"..x..cfg", "plain"},
      {L"sub\\x.cfg", "holds a path separator"},
      {L"sub/x.cfg", "holds a path separator"},
      {L"..", "is \".\" or \"..\""},
      {L".", "is \".\" or \"..\""},
      {L"C:x.cfg", "holds a drive colon"},
      {L"a\"b.cfg", "holds a double quote"},
      {L"a\nb.cfg", "holds a control character"},
      {L"a\x7f.cfg", "holds a control character"},
  };
  for (const auto& row : rows) {
    const char* fault = pelorin::NameFault(row.name);
    EXPECT_STREQ(fault != nullptr ? fault : "plain", row.fault) << Narrow(row.name);
  }
}

TEST(LinkGuard, FolderWritersBesidesSystemAdministratorsAndTrustedInstaller) {
  const std::wstring ti = L"S-1-5-80-956008885-3425770349-4205376447-1632187004-4248036098";
  const std::wstring user = L"S-1-5-21-1-2-3-1001";
  const struct {
    std::wstring sddl;
    std::wstring writers;
  } rows[] = {
      // As Firefox's installer leaves C:\Program Files\Mozilla Firefox.
      {L"O:" + ti + L"D:PAI(A;OICIIO;GA;;;S-1-3-0)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)" +
           L"(A;OICI;0x1200a9;;;S-1-15-2-1)(A;CIIO;GA;;;" + ti + L")(A;;FA;;;" + ti + L")",
       L""},
      {L"O:BAD:(A;OICI;0x1301bf;;;BU)(A;;FA;;;BU)(A;;0x2;;;WD)", L"S-1-5-32-545,S-1-1-0"},
      {L"O:BAD:(A;;0x40;;;AU)", L"S-1-5-11"},                              // delete any child
      {L"O:BAD:(A;OIIO;FW;;;WD)", L"S-1-1-0"},                             // every new file writable
      {L"O:BAD:(A;CIIO;FA;;;BU)(A;;0x1200a9;;;BU)", L""},                  // subfolders only
      {L"O:BAD:(A;;GW;;;BU)", L"S-1-5-32-545"},                            // generic write
      {L"O:BAD:(A;;0x40000;;;S-1-5-4)", L"S-1-5-4"},                       // may rewrite the DACL
      {L"O:" + user + L"D:(A;OICI;FA;;;SY)", user},                        // an owner may too
      {L"O:" + user + L"D:(A;;0x1200a9;;;S-1-3-4)(A;OICI;FA;;;SY)", L""},  // unless OWNER RIGHTS says otherwise
      {L"O:BA", L"S-1-1-0"},                                               // no DACL at all
  };
  for (const auto& row : rows) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorW(row.sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        << Narrow(row.sddl);
    std::wstring writers;
    for (const std::wstring& sid : pelorin::FolderWriters(descriptor)) writers += (writers.empty() ? L"" : L",") + sid;
    LocalFree(descriptor);
    EXPECT_EQ(Narrow(writers), Narrow(row.writers)) << Narrow(row.sddl);
  }
}

// A registered Firefox whose autoconfig file is stale and whose loader file
// is missing, so that a ZARN start writes the autoconfig file, then the
// loader file.
struct StaleFirefox {
  StaleFirefox() {
    firefox.Register(registry);
    WriteBytes(cfg, kOld);
  }
  int32_t Start() { return pelorin::StartWeb(pelorin::Mode::kZarn, {}, L"", L"", false); }

  const std::string kOld = "// mine\n";
  RegistrySandbox registry;
  FirefoxInstall firefox;
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
  const std::wstring loader = firefox.pref(L"!.js");
};

// The library's file calls, made to report `reparse_path` a reparse point,
// to find a file planted under `planted` as it is created, or to fail the
// first creates of a temporary file as a scanner's hold does.
struct Injected {
  static inline std::wstring reparse_path, planted;
  static inline HANDLE reparse_handle = INVALID_HANDLE_VALUE;
  static inline int held_creates = 0;

  static HANDLE WINAPI Create(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templ) {
    if (name == planted) WriteBytes(planted, "planted");
    if (disposition == CREATE_NEW && held_creates > 0) {
      --held_creates;
      SetLastError(ERROR_SHARING_VIOLATION);
      return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = ::CreateFileW(name, access, share, security, disposition, flags, templ);
    if (name == reparse_path) {
      reparse_handle = handle;
    } else if (handle == reparse_handle) {
      reparse_handle = INVALID_HANDLE_VALUE;  // the value was closed and given out again
    }
    return handle;
  }
  static BOOL WINAPI Information(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size) {
    const BOOL got = ::GetFileInformationByHandleEx(file, kind, info, size);
    if (file == reparse_handle && kind == FileAttributeTagInfo) {
      static_cast<FILE_ATTRIBUTE_TAG_INFO*>(info)->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return got;
  }
};

struct InjectedInPlace {
  InjectedInPlace() {
    pelorin::FileCalls calls{};
    calls.create_file = &Injected::Create;
    calls.file_information = &Injected::Information;
    pelorin::SetFileCallsForTesting(&calls);
  }
  ~InjectedInPlace() {
    pelorin::SetFileCallsForTesting(nullptr);
    Injected::reparse_path.clear();
    Injected::planted.clear();
    Injected::reparse_handle = INVALID_HANDLE_VALUE;
    Injected::held_creates = 0;
  }
};

TEST(LinkGuard, StartUnderInjectedLinksPlantsAndHolds) {
  enum Target { kNone, kCfg, kInstall, kDefaults, kPref };
  const struct {
    Target reparse;
    bool plant;  // a file appears under the autoconfig file's temporary name
    int held_creates;
    const char* step;  // of the one failure line, naming `failed`; null: none
    Target failed;
    bool cfg_written, loader_written;
  } rows[] = {
      {kCfg, false, 0, "ReparsePoint", kCfg, false, false},
      {kInstall, false, 0, "FolderReparsePoint", kCfg, false, false},
      {kDefaults, false, 0, "FolderReparsePoint", kPref, true, false},
      {kPref, false, 0, "FolderReparsePoint", kPref, true, false},
      {kNone, true, 0, "CreateFile", kCfg, false, false},
      {kNone, false, 2, nullptr, kNone, true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    StaleFirefox install;
    const std::wstring paths[] = {L"", install.cfg, install.firefox.dir(), install.firefox.file(L"defaults"),
                                  install.loader};
    const InjectedInPlace injected;
    Injected::reparse_path = row.reparse == kPref ? install.firefox.pref_dir() : paths[row.reparse];
    if (row.plant) Injected::planted = install.cfg + L".pelorin-tmp";
    Injected::held_creates = row.held_creates;
    StdoutCapture out;
    EXPECT_EQ(install.Start(), 0);
    const std::string expected = row.step == nullptr
                                     ? ""
                                     : "SetFileContentW: " + std::string(row.step) + " " + Narrow(paths[row.failed]) +
                                           " failed with error " + (row.plant ? "80" : "1920") + "\n";
    EXPECT_EQ(out.Text(), expected);
    EXPECT_EQ(ReadBytes(install.cfg) != install.kOld, row.cfg_written);
    EXPECT_EQ(FileExists(install.loader), row.loader_written);
    // The planted file is not the write's to remove.
    if (row.plant) {
      EXPECT_EQ(ReadBytes(Injected::planted), "planted");
    }
  }
}

// Another program holds the autoconfig file open without delete sharing,
// as a scanner does just after it was written.
TEST(LinkGuard, BriefHoldIsRiddenOutLongOneFailsTheWrite) {
  const struct {
    DWORD hold_ms;
    bool written;
  } rows[] = {{150, true}, {2000, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.hold_ms);
    StaleFirefox install;
    HANDLE held = CreateFileW(install.cfg.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread holder([&] {
      Sleep(row.hold_ms);
      CloseHandle(held);
    });
    StdoutCapture out;
    EXPECT_EQ(install.Start(), 0);
    const std::string printed = out.Text();
    holder.join();
    EXPECT_EQ(printed,
              row.written ? "" : "SetFileContentW: MoveFileEx " + Narrow(install.cfg) + " failed with error 5\n");
    EXPECT_EQ(ReadBytes(install.cfg) != install.kOld, row.written);
    EXPECT_EQ(FileExists(install.loader), row.written);
  }
}

// The check, on a start's files made links or named otherwise.
TEST(LinkGuard, CheckFindsLinksAndNamesThatAreNotPlain) {
  const std::string kNotPlain = "loader-name-not-plain defaults\\pref\\!.js;loader-wrong-file defaults\\pref\\!.js;";
  const struct {
    std::string loader;  // the filename line's quoted name, as written in the file
    bool link_cfg, link_loader;
    std::string findings;  // code and subject relative to the install folder
  } rows[] = {
      {"cv_mozilla_V2N.cfg", true, false, "file-is-link cv_mozilla_V2N.cfg;"},
      {"cv_mozilla_V2N.cfg", false, true, "file-is-link defaults\\pref\\!.js;"},
      {"sub\\x.cfg", false, false, kNotPlain},
      {"..\\\\cv_mozilla_V2N.cfg", false, false, kNotPlain},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.loader);
    StaleFirefox install;
    WriteBytes(install.loader, kPrefObscure + "\n" + PrefFilename(row.loader) + "\n");
    WriteBytes(install.cfg, "//\n" + kCfgProxyType + "\n" + kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n");
    TempDir elsewhere;
    if (row.link_cfg) CreateHardLinkW((elsewhere / L"a").c_str(), install.cfg.c_str(), nullptr);
    if (row.link_loader) CreateHardLinkW((elsewhere / L"b").c_str(), install.loader.c_str(), nullptr);
    std::string findings;
    for (const pelorin::Finding& finding : pelorin::CheckFirefox(pelorin::Mode::kTovk).findings) {
      findings += finding.code + " " + Narrow(finding.subject.substr(install.firefox.dir().size() + 1)) + ";";
    }
    EXPECT_EQ(findings, row.findings);
  }
}

}  // namespace
