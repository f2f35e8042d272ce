// The writer under a failing file system, links and a scanner's holds:
// whichever step fails, or writes short as a nearly full volume does, the
// target keeps exactly its old bytes, no temporary file of the writer's is
// left, and one line names the target and the step; replaced or not, the
// target keeps its hidden mark; a file or folder that is a second name is
// refused; a file planted under the temporary name is never written through;
// a brief hold is ridden out.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "Capture.h"
#include "ImportSlot.h"
#include "files/FileContent.h"

using namespace testing_support;

namespace {

extern "C" decltype(&CreateFileW) __imp_CreateFileW;
extern "C" decltype(&WriteFile) __imp_WriteFile;
extern "C" decltype(&FlushFileBuffers) __imp_FlushFileBuffers;
extern "C" decltype(&MoveFileExW) __imp_MoveFileExW;
extern "C" decltype(&GetFileInformationByHandleEx) __imp_GetFileInformationByHandleEx;

// The Windows functions, taken before any slot is changed.
const auto kWindowsCreate = __imp_CreateFileW;
const auto kWindowsWrite = __imp_WriteFile;
const auto kWindowsFlush = __imp_FlushFileBuffers;
const auto kWindowsMove = __imp_MoveFileExW;
const auto kWindowsInformation = __imp_GetFileInformationByHandleEx;

// The library's file calls, through the import table, with the n-th call of
// one kind made to fault, a path made to read as a reparse point, a file
// planted as its name is created, or the first creates of temporary files
// held as a scanner does. Plain function pointers go into the slots, hence
// the static state.
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
    const HANDLE handle = kWindowsCreate(name, access, share, security, disposition, flags, templ);
    if (name == reparse_path) reparse_handle = handle;
    return handle;
  }
  static BOOL WINAPI Write(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (!Faults(kWrite)) return kWindowsWrite(file, bytes, count, written, overlapped);
    if (call == kShortWrite) return kWindowsWrite(file, bytes, count / 2, written, overlapped);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  static BOOL WINAPI Flush(HANDLE file) {
    if (!Faults(kFlush)) return kWindowsFlush(file);
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
  }
  static BOOL WINAPI Move(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (!Faults(kMove)) return kWindowsMove(from, to, flags);
    // Not a hold the writer rides out: it fails at once.
    SetLastError(ERROR_WRITE_PROTECT);
    return FALSE;
  }
  static BOOL WINAPI Information(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size) {
    const BOOL got = kWindowsInformation(file, kind, info, size);
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
    SetImportSlot(__imp_CreateFileW, &Faulty::Create);
    SetImportSlot(__imp_WriteFile, &Faulty::Write);
    SetImportSlot(__imp_FlushFileBuffers, &Faulty::Flush);
    SetImportSlot(__imp_MoveFileExW, &Faulty::Move);
    SetImportSlot(__imp_GetFileInformationByHandleEx, &Faulty::Information);
  }
  ~FaultyInPlace() {
    SetImportSlot(__imp_CreateFileW, kWindowsCreate);
    SetImportSlot(__imp_WriteFile, kWindowsWrite);
    SetImportSlot(__imp_FlushFileBuffers, kWindowsFlush);
    SetImportSlot(__imp_MoveFileExW, kWindowsMove);
    SetImportSlot(__imp_GetFileInformationByHandleEx, kWindowsInformation);
  }
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
    bool plant;        // a file appears under the temporary name
    int held_creates;  // the first temporary files held by a scanner
    DWORD hold_ms;     // the target held by a scanner from the start
    const char* step;  // null: the write succeeds
    int error;
  } rows[] = {
      {Faulty::kNone, 0, false, 0, 0, nullptr, 0},
      {Faulty::kCreate, 1, false, 0, 0, "CreateFile", ERROR_DISK_FULL},
      {Faulty::kWrite, 1, false, 0, 0, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kWrite, 2, false, 0, 0, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kShortWrite, 1, false, 0, 0, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kShortWrite, 2, false, 0, 0, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kFlush, 1, false, 0, 0, "FlushFileBuffers", ERROR_IO_DEVICE},
      {Faulty::kMove, 1, false, 0, 0, "MoveFileEx", ERROR_WRITE_PROTECT},
      // Never written through, and not the write's to remove.
      {Faulty::kNone, 0, true, 0, 0, "CreateFile", ERROR_FILE_EXISTS},
      {Faulty::kNone, 0, false, 2, 0, nullptr, 0},
      {Faulty::kNone, 0, false, 0, 150, nullptr, 0},
      {Faulty::kNone, 0, false, 0, 2000, "MoveFileEx", ERROR_ACCESS_DENIED},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    TempDir dir;
    // Named beyond any code page: the failure line names it in UTF-8.
    const std::wstring target = dir / L"D\u00e9j\u00e0 \u706b\U0001F98A.cfg";
    WriteBytes(target, old);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
    const pelorin::FileRead before = pelorin::ReadFileRefusingLinks(target);
    const FaultyInPlace faulty;
    Faulty::call = row.call;
    Faulty::fault_at = row.fault_at;
    Faulty::held_creates = row.held_creates;
    if (row.plant) Faulty::planted = target + L".pelorin-tmp";
    // Without delete sharing, as a scanner opens a file just written.
    pelorin::unique_file held(row.hold_ms == 0
                                  ? INVALID_HANDLE_VALUE
                                  : CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    std::thread holder([&] {
      Sleep(row.hold_ms);
      held.reset();
    });
    const std::optional<pelorin::FailedStep> failed = pelorin::SetFileContentW(target, content, before);
    holder.join();
    EXPECT_EQ(failed ? pelorin::WriteFailureLine(*failed, target) : "", FailureLine(row.step, target, row.error));
    EXPECT_EQ(ReadBytes(target), row.step == nullptr ? content.Bytes() : old);
    // The rename would drop an administrator's marks; they are carried over.
    EXPECT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(FileExists(target + L".pelorin-tmp"), row.plant);
    if (row.plant) {
      EXPECT_EQ(ReadBytes(Faulty::planted), "planted");
    }
  }
}

// A file or a folder that reads as a reparse point would take the reads or
// the writes elsewhere: the file is refused as the operation reads it, the
// folder as it is checked before anything is written below it.
TEST(Writer, ReparsePointsAreRefused) {
  TempDir dir;
  const std::wstring target = dir / L"x.cfg";
  WriteBytes(target, "x");
  const FaultyInPlace faulty;
  EXPECT_EQ(pelorin::ReadFileRefusingLinks(target).outcome, pelorin::FileRead::kRead);
  EXPECT_EQ(pelorin::CheckFolder(dir.path()).step, nullptr);
  Faulty::reparse_path = target;
  const pelorin::FileRead read = pelorin::ReadFileRefusingLinks(target);
  EXPECT_EQ(read.outcome, pelorin::FileRead::kRefused);
  EXPECT_STREQ(read.step, "ReparsePoint");
  EXPECT_EQ(read.error, ERROR_CANT_ACCESS_FILE);
  Faulty::reparse_path = dir.path();
  const pelorin::FolderCheck folder = pelorin::CheckFolder(dir.path());
  EXPECT_STREQ(folder.step, "FolderReparsePoint");
  EXPECT_EQ(folder.error, ERROR_CANT_ACCESS_FILE);
}

// Random runs of kept and added lines, of every size around the writer's
// 64 KiB chunk and in any order of the old file: the file written holds
// exactly the lines in the order given, each ended by "\n".
TEST(Writer, PiecesOfEverySizeAndOrderArriveAsPlanned) {
  const unsigned seed = std::random_device()();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  const size_t sizes[] = {0, 1, 7, 4095, 65535, 65536, 65537, 100000, 200000};
  auto size = [&] { return sizes[random() % std::size(sizes)] + random() % 3; };
  TempDir dir;
  for (int round = 0; round < 12; ++round) {
    std::string old;
    std::vector<std::pair<size_t, size_t>> lines;  // offset and length in `old`
    for (int line = 0; line < 8; ++line) {
      lines.emplace_back(old.size(), size());
      old += std::string(lines.back().second, static_cast<char>('a' + line)) + "\n";
    }
    std::shuffle(lines.begin(), lines.end(), random);
    pelorin::ContentBuilder builder(old);
    std::string expected;
    for (const auto& [offset, length] : lines) {
      if (random() % 3 == 0) {
        const std::string line(size(), static_cast<char>('A' + random() % 26));
        builder.AddOwned(line);
        expected += line + "\n";
      }
      if (random() % 4 != 0) {
        builder.Keep(std::string_view(old).substr(offset, length));
        expected += old.substr(offset, length) + "\n";
      }
    }
    const std::wstring target = dir / (L"f" + std::to_wstring(round) + L".cfg");
    WriteBytes(target, old);
    ASSERT_FALSE(pelorin::SetFileContentW(target, builder.Take(), pelorin::ReadFileRefusingLinks(target)));
    ASSERT_EQ(ReadBytes(target), expected) << "round " << round;
  }
}

}  // namespace

// The failure line is a host's only word on a file it was left: the line as
// printed is read back whole, whatever the path holds; any other line is no
// failure.
TEST(FailureLine, ReadBackAsPrinted) {
  const std::wstring path = L"C:\\a b\\x failed with error 5 \u00e9.cfg";
  const std::string printed = pelorin::WriteFailureLine({"MoveFileEx", 183}, path);
  EXPECT_EQ(printed, "SetFileContentW: MoveFileEx C:\\a b\\x failed with error 5 \xC3\xA9.cfg failed with error 183\n");
  const struct {
    std::string line;
    std::string read;  // "step|target|error"; empty: not a failure line
  } rows[] = {
      {printed, "MoveFileEx|" + Narrow(path) + "|183"},
      {"SetFileContentW: HardLink C:\\x.js failed with error 1142\r\n", "HardLink|C:\\x.js|1142"},
      {"SetFileContentW: CreateFile C:\\x failed with error \n", ""},
      {"SetFileContentW: CreateFile C:\\x failed with error -5\n", ""},
      {"SetFileContentW:  failed with error 5\n", ""},
      {"setfilecontentw: CreateFile C:\\x failed with error 5\n", ""},
      {"ReadFile failed, 33\n", ""},
  };
  for (const auto& row : rows) {
    const std::optional<pelorin::WriteFailure> read = pelorin::ParseWriteFailure(row.line);
    EXPECT_EQ(read ? read->step + "|" + read->target + "|" + std::to_string(read->error) : "", row.read) << row.line;
  }
}

// A folder's listing and the removal for each file in it must meet on one
// key, or a leftover is never removed, or a folder is listed twice.
TEST(FolderKey, TheListingAndTheFilesMeet) {
  using pelorin::FolderKey;
  const struct {
    const wchar_t* folder;
    const wchar_t* file;
    bool same;
  } rows[] = {
      {L"C:\\Firefox\\defaults\\pref\\", L"C:\\Firefox\\defaults\\pref\\!.js", true},
      {L"C:\\Firefox\\defaults\\pref", L"C:\\Firefox\\defaults\\pref\\!.js", true},
      {L"C:\\FIREFOX\\Defaults\\pref", L"c:\\firefox\\defaults/pref/x.js", true},
      {L"C:\\Firefox\\defaults", L"C:\\Firefox\\defaults\\pref\\!.js", false},
      {L"C:\\Firefox\\defaults\\pref\\sub", L"C:\\Firefox\\defaults\\pref\\!.js", false},
      {L"", L"x.js", true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FolderKey::OfFolder(row.folder) == FolderKey::OfFile(row.file), row.same) << Narrow(row.file);
  }
}
