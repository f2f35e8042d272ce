// Every writer under a failing file system: whichever step of whichever
// write fails, each file holds exactly its old bytes or exactly its new
// bytes, no temporary file is left behind, and the operation gives its usual
// result. Also: one read and at most one write per file and call.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "Capture.h"
#include "CfgText.h"
#include "Sandboxes.h"
#include "lines/FileCalls.h"
#include "lines/FileContent.h"
#include "modes/Cleanup.h"
#include "modes/DlpStart.h"
#include "modes/WebStarts.h"

using namespace testing_support;

namespace {

// What the k-th write step does instead of its work. A short write reports
// success with half the bytes written, as a nearly full volume can.
enum class Fault { kFail, kShortWrite };

// The file calls of the library, counted, with one write step made to fault.
// Plain function pointers go into the table, hence the static state.
struct FaultyFileSystem {
  static inline int fault_at = 0;  // 1-based write step; 0: none
  static inline Fault fault = Fault::kFail;
  static inline int write_steps = 0;
  static inline std::vector<bool> step_is_write;
  static inline std::map<std::wstring, int> reads;
  static inline std::map<std::wstring, int> writes;
  static inline bool fail_reads = false;

  static void Reset(int at, Fault kind) {
    fault_at = at;
    fault = kind;
    write_steps = 0;
    step_is_write.clear();
    reads.clear();
    writes.clear();
  }

  // True when this write step is the one to fault.
  static bool Step(bool is_write) {
    ++write_steps;
    step_is_write.push_back(is_write);
    return write_steps == fault_at;
  }

  static HANDLE WINAPI CreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templ) {
    if ((access & GENERIC_WRITE) == 0) {
      ++reads[name];
    } else {
      ++writes[name];
      if (Step(false)) {
        SetLastError(ERROR_DISK_FULL);
        return INVALID_HANDLE_VALUE;
      }
    }
    return ::CreateFileW(name, access, share, security, disposition, flags, templ);
  }
  // A byte-range lock of another program refuses the read, not the open.
  static BOOL WINAPI Read(HANDLE file, LPVOID bytes, DWORD count, LPDWORD read, LPOVERLAPPED overlapped) {
    if (fail_reads) {
      SetLastError(ERROR_LOCK_VIOLATION);
      return FALSE;
    }
    return ::ReadFile(file, bytes, count, read, overlapped);
  }
  static BOOL WINAPI Write(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (Step(true)) {
      if (fault == Fault::kFail) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
      }
      return ::WriteFile(file, bytes, count / 2, written, overlapped);
    }
    return ::WriteFile(file, bytes, count, written, overlapped);
  }
  static BOOL WINAPI Flush(HANDLE file) {
    if (Step(false)) {
      SetLastError(ERROR_IO_DEVICE);
      return FALSE;
    }
    return ::FlushFileBuffers(file);
  }
  static BOOL WINAPI Move(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (Step(false)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    return ::MoveFileExW(from, to, flags);
  }

  static constexpr pelorin::FileCalls kCalls = {&CreateFile, &Read, &Write, &Flush, &Move};
};

// Puts the counting calls in place for the scope of a test.
struct FaultyFileSystemInPlace {
  FaultyFileSystemInPlace() { pelorin::SetFileCallsForTesting(&FaultyFileSystem::kCalls); }
  ~FaultyFileSystemInPlace() { pelorin::SetFileCallsForTesting(nullptr); }
};

// A registered Firefox whose every file is stale for every operation: a
// foreign filename line in the loader file, a library loader line in another
// preference file and in channel-prefs.js, and an autoconfig file with
// foreign lines around stale library lines.
struct StaleInstall {
  StaleInstall() {
    firefox.Register(registry);
    registry.SetString(kAgentCommonKey, L"FFCFG", firefox.file(L"cv_mozilla_V2N.cfg"));
    agent.AddFile(L"ClientConfig.qcf");
    WriteBytes(firefox.pref(L"!.js"), "// mine\n" + PrefFilename("other.cfg") + "\n");
    WriteBytes(firefox.pref(L"a.js"), "pref(\"a\", 1);\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n");
    WriteBytes(firefox.pref(L"channel-prefs.js"), PrefFilename("cv_mozilla_tovk.cfg") + "\npref(\"b\", 2);\n");
    WriteBytes(firefox.file(L"cv_mozilla_V2N.cfg"), "//\n// user\n" + kCfgPkix + "\npref(\"c\", 3);\n" + kCfgProxyType +
                                                        "\n" + kCfgAutoDisableScopes + "\n");
  }

  std::vector<std::wstring> Files() const {
    return {firefox.pref(L"!.js"), firefox.pref(L"a.js"), firefox.pref(L"channel-prefs.js"),
            firefox.file(L"cv_mozilla_V2N.cfg")};
  }
  // In the order of Files(): each install lives in folders of its own.
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> bytes;
    for (const std::wstring& file : Files()) bytes.push_back(ReadBytes(file));
    return bytes;
  }

  RegistrySandbox registry;
  FirefoxInstall firefox;
  AgentInstall agent{registry};
};

struct Operation {
  const char* name;
  std::function<int32_t()> run;
  int32_t usual_result;
};

const Operation kOperations[] = {
    {"ZARN start", [] { return pelorin::StartZarn(L"", L"", false); }, 0},
    {"TOVK start", [] { return pelorin::StartTovk({}, L"", L"", false); }, 0},
    {"DLP start", [] { return pelorin::DlpStart(L"", L""); }, 1},
    {"cleanup",
     [] {
       pelorin::UninstallCleanUp(false);
       return 0;
     },
     0},
    {"proxy-only cleanup",
     [] {
       pelorin::UninstallCleanUp(true);
       return 0;
     },
     0},
};

bool AnyTemporaryFileIn(const std::wstring& dir) {
  WIN32_FIND_DATAW entry;
  const pelorin::unique_find found(FindFirstFileW((dir + L"\\*.pelorin-tmp").c_str(), &entry));
  return static_cast<bool>(found);
}

// The fault-free run: what each file becomes, and how many write steps it
// takes to get there.
struct Outcome {
  std::vector<std::string> after;
  std::vector<bool> step_is_write;
};

Outcome RunWithoutFault(const Operation& operation) {
  StaleInstall install;
  FaultyFileSystem::Reset(0, Fault::kFail);
  EXPECT_EQ(operation.run(), operation.usual_result);
  for (const auto& [path, count] : FaultyFileSystem::reads) EXPECT_LE(count, 1) << Narrow(path) << " read again";
  for (const auto& [path, count] : FaultyFileSystem::writes) EXPECT_EQ(count, 1) << Narrow(path) << " written again";
  return {install.Snapshot(), FaultyFileSystem::step_is_write};
}

TEST(WriteFaults, EveryFileIsOldOrNewWhicheverStepFails) {
  FaultyFileSystemInPlace in_place;
  for (const Operation& operation : kOperations) {
    SCOPED_TRACE(operation.name);
    const Outcome clean = RunWithoutFault(operation);
    const int steps = static_cast<int>(clean.step_is_write.size());
    ASSERT_GT(steps, 0) << "the install should be stale for every operation";

    for (int step = 1; step <= steps; ++step) {
      for (Fault fault : {Fault::kFail, Fault::kShortWrite}) {
        if (fault == Fault::kShortWrite && !clean.step_is_write[step - 1]) continue;
        StaleInstall install;
        const std::vector<std::string> before = install.Snapshot();
        FaultyFileSystem::Reset(step, fault);
        StdoutCapture out;
        EXPECT_EQ(operation.run(), operation.usual_result);
        const std::string printed = out.Text();

        SCOPED_TRACE("write step " + std::to_string(step) + (fault == Fault::kFail ? " fails" : " writes short"));
        const std::vector<std::string> now = install.Snapshot();
        std::vector<std::wstring> unchanged;
        for (size_t file = 0; file < now.size(); ++file) {
          EXPECT_TRUE(now[file] == before[file] || now[file] == clean.after[file])
              << Narrow(install.Files()[file]) << ":\n"
              << now[file];
          if (now[file] == before[file] && before[file] != clean.after[file])
            unchanged.push_back(install.Files()[file]);
        }
        // The faulted file and those after it keep their old bytes, the one
        // message names one of them (not the temporary file), and a loader
        // file never names an autoconfig file that was not written.
        ASSERT_FALSE(unchanged.empty());
        EXPECT_EQ(printed.rfind("SetFileContentW: ", 0), 0u) << printed;
        const bool names_unchanged_file =
            std::any_of(unchanged.begin(), unchanged.end(), [&](const std::wstring& file) {
              return printed.find(" " + Narrow(file) + " failed with error ") != std::string::npos;
            });
        EXPECT_TRUE(names_unchanged_file) << printed;
        const size_t loader = 0;
        const size_t cfg = now.size() - 1;
        if (now[loader] != before[loader]) {
          EXPECT_EQ(now[cfg], clean.after[cfg]);
        }
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        EXPECT_FALSE(AnyTemporaryFileIn(install.firefox.dir()));
        EXPECT_FALSE(AnyTemporaryFileIn(install.firefox.pref_dir()));
      }
    }
  }
}

// A file that is there but cannot be read would lose every line a rewrite
// from nothing leaves out: it is not replaced.
TEST(WriteFaults, FilesThatCannotBeReadAreNotReplaced) {
  FaultyFileSystemInPlace in_place;
  for (const Operation& operation : kOperations) {
    SCOPED_TRACE(operation.name);
    StaleInstall install;
    const std::vector<std::string> before = install.Snapshot();
    FaultyFileSystem::Reset(0, Fault::kFail);
    FaultyFileSystem::fail_reads = true;
    StdoutCapture out;
    EXPECT_EQ(operation.run(), operation.usual_result);
    FaultyFileSystem::fail_reads = false;
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_NE(out.Text().find("SetFileContentW: ReadFile "), std::string::npos) << out.Text();
  }
}

}  // namespace
