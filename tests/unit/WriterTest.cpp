// The writer under a failing file system, links and a scanner's holds:
// whichever step fails, or writes short as a nearly full volume does, the
// target keeps exactly its old bytes, no temporary file of the writer's is
// left, and one line names the target and the step; replaced or not, the
// target keeps its hidden mark; a file or folder that is a second name is
// refused; a file planted under the temporary name is never written through;
// a brief hold is ridden out.
#include <gtest/gtest.h>

#include <thread>

#include "Capture.h"
#include "Sandboxes.h"
#include "files/FileCalls.h"
#include "files/FileContent.h"
#include "modes/Operations.h"

using namespace testing_support;

namespace {

// The library's file calls with the n-th call of one kind made to fault, a
// path made to read as a reparse point, a file planted as its name is
// created, or the first creates of temporary files held as a scanner does.
// Plain function pointers go into the table, hence the static state.
struct Faulty {
  enum Call { kNone, kCreate, kWrite, kShortWrite, kFlush, kMove };
  static inline Call call;
  static inline int fault_at, seen, held_creates;  // fault_at is 1-based
  static inline std::wstring reparse_path, planted;
  static inline HANDLE reparse_handle;

  static bool Faults(Call kind) {
    return (kind == call || (kind == kWrite && call == kShortWrite)) && ++seen == fault_at;
  }
  static HANDLE WINAPI Create(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templ) {
    if (name == planted) WriteBytes(planted, "planted");
    if (disposition == CREATE_NEW && held_creates > 0 && held_creates--) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return INVALID_HANDLE_VALUE;
    }
    if ((access & GENERIC_WRITE) != 0 && Faults(kCreate)) {
      SetLastError(ERROR_DISK_FULL);
      return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = ::CreateFileW(name, access, share, security, disposition, flags, templ);
    if (name == reparse_path) reparse_handle = handle;
    return handle;
  }
  static BOOL WINAPI Write(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (!Faults(kWrite)) return ::WriteFile(file, bytes, count, written, overlapped);
    if (call == kShortWrite) return ::WriteFile(file, bytes, count / 2, written, overlapped);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  static BOOL WINAPI Flush(HANDLE file) {
    if (!Faults(kFlush)) return ::FlushFileBuffers(file);
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
  }
  static BOOL WINAPI Move(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (!Faults(kMove)) return ::MoveFileExW(from, to, flags);
    // Not a hold the writer rides out: it fails at once.
    SetLastError(ERROR_WRITE_PROTECT);
    return FALSE;
  }
  static BOOL WINAPI Information(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size) {
    const BOOL got = ::GetFileInformationByHandleEx(file, kind, info, size);
    if (file == reparse_handle && kind == FileAttributeTagInfo) {
      static_cast<FILE_ATTRIBUTE_TAG_INFO*>(info)->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return got;
  }
};

// The faulty calls in place for one scope, however the scope ends, each
// scope starting with no fault.
struct FaultyInPlace {
  FaultyInPlace() {
    Faulty::call = Faulty::kNone;
    Faulty::fault_at = Faulty::seen = Faulty::held_creates = 0;
    Faulty::reparse_path = Faulty::planted = L"";
    Faulty::reparse_handle = INVALID_HANDLE_VALUE;
    static const pelorin::FileCalls calls = {&Faulty::Create, &::ReadFile,   &Faulty::Write,
                                             &Faulty::Flush,  &Faulty::Move, &Faulty::Information};
    pelorin::SetFileCallsForTesting(&calls);
  }
  ~FaultyInPlace() { pelorin::SetFileCallsForTesting(nullptr); }
};

TEST(Writer, TheTargetKeepsItsOldBytesWhicheverStepFails) {
  // Runs of the old bytes around an added line: more than one chunk of
  // writes, so that a later write can fail too.
  const std::string old = std::string(100 * 1024, 'a') + "\n" + std::string(10, 'b') + "\n";
  pelorin::ContentBuilder builder(old);
  builder.Keep(std::string_view(old).substr(0, 100 * 1024));
  builder.Add("added");
  builder.Keep(std::string_view(old).substr(100 * 1024 + 1, 10));
  const pelorin::Content content = builder.Take();
  const struct {
    Faulty::Call call;
    int fault_at;
    const char* step;  // null: the write succeeds
    int error;
  } rows[] = {
      {Faulty::kNone, 0, nullptr, 0},
      {Faulty::kCreate, 1, "CreateFile", ERROR_DISK_FULL},
      {Faulty::kWrite, 1, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kWrite, 2, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kShortWrite, 1, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kShortWrite, 2, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kFlush, 1, "FlushFileBuffers", ERROR_IO_DEVICE},
      {Faulty::kMove, 1, "MoveFileEx", ERROR_WRITE_PROTECT},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    TempDir dir;
    // Named beyond any code page: the failure line names it in UTF-8.
    const std::wstring target = dir / L"D\u00e9j\u00e0 \u706b\U0001F98A.cfg";
    WriteBytes(target, old);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
    const pelorin::FileRead before = pelorin::ReadWholeFile(target);
    const FaultyInPlace faulty;
    Faulty::call = row.call;
    Faulty::fault_at = row.fault_at;
    StdoutCapture out;
    EXPECT_EQ(pelorin::SetFileContentW(target, content, before), row.step == nullptr);
    EXPECT_EQ(out.Text(), FailureLine(row.step, target, row.error));
    EXPECT_EQ(ReadBytes(target), row.step == nullptr ? content.Bytes() : old);
    // The rename would drop an administrator's marks; they are carried over.
    EXPECT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_FALSE(FileExists(target + L".pelorin-tmp"));
  }
}

// A registered Firefox whose autoconfig file is stale and whose loader file
// is missing, so that a ZARN start writes the autoconfig file, then the
// loader file.
struct StaleFirefox {
  StaleFirefox() {
    firefox.Register(registry);
    WriteBytes(cfg, kOld);
    SetFileAttributesW(cfg.c_str(), FILE_ATTRIBUTE_HIDDEN);
  }
  int32_t Start() { return pelorin::StartWeb(pelorin::Mode::kZarn, {}, L"", L"", false); }

  const std::string kOld = "// mine\n";
  RegistrySandbox registry;
  FirefoxInstall firefox;
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
  const std::wstring loader = firefox.pref(L"!.js");
};

// A file or any folder on its way that reads as a reparse point is refused,
// and so is everything after it; a file planted under the temporary name
// fails the write and stays; the first temporary files held are waited for.
TEST(Writer, StartUnderLinksPlantsAndHolds) {
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
    const FaultyInPlace faulty;
    Faulty::reparse_path = row.reparse == kPref ? install.firefox.pref_dir() : paths[row.reparse];
    if (row.plant) Faulty::planted = install.cfg + L".pelorin-tmp";
    Faulty::held_creates = row.held_creates;
    StdoutCapture out;
    EXPECT_EQ(install.Start(), 0);
    EXPECT_EQ(out.Text(), FailureLine(row.step, paths[row.failed], row.plant ? 80 : 1920));
    EXPECT_EQ(ReadBytes(install.cfg) != install.kOld, row.cfg_written);
    EXPECT_NE(GetFileAttributesW(install.cfg.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(FileExists(install.loader), row.loader_written);
    // The planted file is not the write's to remove.
    if (row.plant) {
      EXPECT_EQ(ReadBytes(Faulty::planted), "planted");
    }
  }
}

// Another program holds the autoconfig file open without delete sharing,
// as a scanner does just after it was written.
TEST(Writer, ABriefHoldIsRiddenOutALongOneFailsTheWrite) {
  for (const DWORD hold_ms : {150, 2000}) {
    SCOPED_TRACE(hold_ms);
    const bool written = hold_ms < 500;
    StaleFirefox install;
    pelorin::unique_file held(CreateFileW(install.cfg.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    std::thread holder([&] {
      Sleep(hold_ms);
      held.reset();
    });
    StdoutCapture out;
    EXPECT_EQ(install.Start(), 0);
    const std::string printed = out.Text();
    holder.join();
    EXPECT_EQ(printed, written ? "" : FailureLine("MoveFileEx", install.cfg, ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadBytes(install.cfg) != install.kOld, written);
    EXPECT_EQ(FileExists(install.loader), written);
  }
}

}  // namespace
