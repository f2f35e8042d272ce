// The writer under a failing file system: whichever step fails, or writes
// short as a nearly full volume does, the target keeps exactly its old
// bytes, no temporary file is left, and one line names the target and the
// step.
#include <gtest/gtest.h>

#include "Capture.h"
#include "files/FileCalls.h"
#include "files/FileContent.h"

using namespace testing_support;

namespace {

// The library's file calls with the n-th call of one kind made to fault.
// Plain function pointers go into the table, hence the static state.
struct Faulty {
  enum Call { kCreate, kWrite, kShortWrite, kFlush, kMove };
  static inline Call call;
  static inline int fault_at, seen;  // 1-based; 0: never

  static bool Faults(Call kind) {
    return (kind == call || (kind == kWrite && call == kShortWrite)) && ++seen == fault_at;
  }
  static HANDLE WINAPI Create(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templ) {
    if ((access & GENERIC_WRITE) != 0 && Faults(kCreate)) {
      SetLastError(ERROR_DISK_FULL);
      return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(name, access, share, security, disposition, flags, templ);
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
  static inline const pelorin::FileCalls kCalls = {&Create, &::ReadFile, &Write,
                                                   &Flush,  &Move,       &::GetFileInformationByHandleEx};
};

// The faulty calls in place for one scope, however the scope ends.
struct FaultyInPlace {
  FaultyInPlace() { pelorin::SetFileCallsForTesting(&Faulty::kCalls); }
  ~FaultyInPlace() { pelorin::SetFileCallsForTesting(nullptr); }
};

TEST(WriteFaults, TheTargetKeepsItsOldBytesWhicheverStepFails) {
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
      {Faulty::kCreate, 0, nullptr, 0},
      {Faulty::kCreate, 1, "CreateFile", ERROR_DISK_FULL},
      {Faulty::kWrite, 1, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kWrite, 2, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kShortWrite, 1, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kShortWrite, 2, "WriteFile", ERROR_DISK_FULL},
      {Faulty::kFlush, 1, "FlushFileBuffers", ERROR_IO_DEVICE},
      {Faulty::kMove, 1, "MoveFileEx", ERROR_WRITE_PROTECT},
  };
  const FaultyInPlace in_place;
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    TempDir dir;
    const std::wstring target = dir / L"cv_mozilla_V2N.cfg";
    WriteBytes(target, old);
    Faulty::call = row.call;
    Faulty::fault_at = row.fault_at;
    Faulty::seen = 0;
    StdoutCapture out;
    EXPECT_EQ(pelorin::SetFileContentW(target, content), row.step == nullptr);
    EXPECT_EQ(out.Text(), row.step == nullptr ? ""
                                              : "SetFileContentW: " + std::string(row.step) + " " + Narrow(target) +
                                                    " failed with error " + std::to_string(row.error) + "\n");
    EXPECT_EQ(ReadBytes(target), row.step == nullptr ? content.Bytes() : old);
    EXPECT_FALSE(FileExists(target + L".pelorin-tmp"));
  }
}

}  // namespace
