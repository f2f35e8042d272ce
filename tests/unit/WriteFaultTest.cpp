// Every writer under a failing file system: whichever step of whichever
// write fails, each file holds exactly its old bytes or exactly its new
// bytes, no temporary file is left behind, one line names the file that was
// not written, and the operation gives its usual result.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "Capture.h"
#include "CfgText.h"
#include "Sandboxes.h"
#include "files/FileCalls.h"
#include "modes/Operations.h"

using namespace testing_support;

namespace {

// A short write reports success with half the bytes written, as a nearly
// full volume can.
enum class Fault { kFail, kShortWrite };

// The library's file calls with one write step (an open for writing, a
// write, a flush or a rename) made to fault. Plain function pointers go into
// the table, hence the static state.
struct FaultyFileSystem {
  static inline int fault_at = 0;  // 1-based write step; 0: none
  static inline Fault fault = Fault::kFail;
  static inline std::vector<bool> step_is_write;  // one entry per write step so far

  static bool Faults(bool is_write) {
    step_is_write.push_back(is_write);
    return static_cast<int>(step_is_write.size()) == fault_at;
  }
  static HANDLE WINAPI CreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templ) {
    if ((access & GENERIC_WRITE) != 0 && Faults(false)) {
      SetLastError(ERROR_DISK_FULL);
      return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(name, access, share, security, disposition, flags, templ);
  }
  static BOOL WINAPI Write(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (Faults(true)) {
      if (fault == Fault::kShortWrite) return ::WriteFile(file, bytes, count / 2, written, overlapped);
      SetLastError(ERROR_DISK_FULL);
      return FALSE;
    }
    return ::WriteFile(file, bytes, count, written, overlapped);
  }
  static BOOL WINAPI Flush(HANDLE file) {
    if (Faults(false)) {
      SetLastError(ERROR_IO_DEVICE);
      return FALSE;
    }
    return ::FlushFileBuffers(file);
  }
  static BOOL WINAPI Move(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (Faults(false)) {
      SetLastError(ERROR_WRITE_PROTECT);
      return FALSE;
    }
    return ::MoveFileExW(from, to, flags);
  }
  static inline const pelorin::FileCalls kCalls = {&CreateFile, &::ReadFile, &Write,
                                                   &Flush,      &Move,       &::GetFileInformationByHandleEx};
};

// The faulty calls in place for one scope, however the scope ends.
struct FaultyFileSystemInPlace {
  FaultyFileSystemInPlace() { pelorin::SetFileCallsForTesting(&FaultyFileSystem::kCalls); }
  ~FaultyFileSystemInPlace() { pelorin::SetFileCallsForTesting(nullptr); }
};

// A registered Firefox whose every file is stale for every operation: a
// foreign filename line in the loader file, a library loader line in another
// preference file and in channel-prefs.js, and an autoconfig file with
// foreign lines around stale library lines. The loader file comes first, the
// autoconfig file last.
struct StaleInstall {
  StaleInstall() {
    firefox.Register(registry);
    registry.SetString(kAgentCommonKey, L"FFCFG", files.back());
    agent.AddFile(L"ClientConfig.qcf");
    const std::string contents[] = {
        "// mine\n" + PrefFilename("other.cfg") + "\n",
        "pref(\"a\", 1);\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n",
        PrefFilename("cv_mozilla_tovk.cfg") + "\npref(\"b\", 2);\n",
        "//\n// user\n" + kCfgPkix + "\npref(\"c\", 3);\n" + kCfgProxyType + "\n" + kCfgAutoDisableScopes + "\n",
    };
    for (size_t file = 0; file < files.size(); ++file) WriteBytes(files[file], contents[file]);
  }
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> bytes;
    for (const std::wstring& file : files) bytes.push_back(ReadBytes(file));
    return bytes;
  }
  bool AnyTemporaryFile() const {
    for (const std::wstring& file : files) {
      if (FileExists(file + L".pelorin-tmp")) return true;
    }
    return false;
  }

  RegistrySandbox registry;
  FirefoxInstall firefox;
  AgentInstall agent{registry};
  const std::vector<std::wstring> files = {firefox.pref(L"!.js"), firefox.pref(L"a.js"),
                                           firefox.pref(L"channel-prefs.js"), firefox.file(L"cv_mozilla_V2N.cfg")};
};

int32_t CleanUp(bool only_proxy) {
  pelorin::UninstallCleanUp(only_proxy);
  return 0;
}

const struct {
  const char* name;
  std::function<int32_t()> run;
  int32_t usual_result;
} kOperations[] = {
    {"ZARN start", [] { return pelorin::StartWeb(pelorin::Mode::kZarn, {}, L"", L"", false); }, 0},
    {"TOVK start", [] { return pelorin::StartWeb(pelorin::Mode::kTovk, {}, L"", L"", false); }, 0},
    {"DLP start", [] { return pelorin::StartDlp(L"", L""); }, 1},
    {"cleanup", [] { return CleanUp(false); }, 0},
    {"proxy-only cleanup", [] { return CleanUp(true); }, 0},
};

TEST(WriteFaults, EveryFileIsOldOrNewWhicheverStepFails) {
  const FaultyFileSystemInPlace in_place;
  for (const auto& operation : kOperations) {
    SCOPED_TRACE(operation.name);
    std::vector<std::string> after;
    std::vector<bool> clean_steps;
    {
      StaleInstall install;
      FaultyFileSystem::fault_at = 0;
      FaultyFileSystem::step_is_write.clear();
      EXPECT_EQ(operation.run(), operation.usual_result);
      after = install.Snapshot();
      clean_steps = FaultyFileSystem::step_is_write;
    }
    ASSERT_FALSE(clean_steps.empty()) << "the install should be stale for every operation";

    for (size_t step = 1; step <= clean_steps.size(); ++step) {
      for (Fault fault : {Fault::kFail, Fault::kShortWrite}) {
        if (fault == Fault::kShortWrite && !clean_steps[step - 1]) continue;
        SCOPED_TRACE("write step " + std::to_string(step) + (fault == Fault::kFail ? " fails" : " writes short"));
        StaleInstall install;
        const std::vector<std::string> before = install.Snapshot();
        FaultyFileSystem::fault_at = static_cast<int>(step);
        FaultyFileSystem::fault = fault;
        FaultyFileSystem::step_is_write.clear();
        StdoutCapture out;
        EXPECT_EQ(operation.run(), operation.usual_result);
        const std::string printed = out.Text();

        // Every file is old or new; the one line printed names a file that
        // should have changed and did not.
        const std::vector<std::string> now = install.Snapshot();
        bool names_an_unwritten_file = false;
        for (size_t file = 0; file < now.size(); ++file) {
          const std::string path = Narrow(install.files[file]);
          EXPECT_TRUE(now[file] == before[file] || now[file] == after[file]) << path;
          const bool named = printed.find(" " + path + " failed with error ") != std::string::npos;
          if (now[file] != after[file] && named) names_an_unwritten_file = true;
        }
        EXPECT_TRUE(printed.rfind("SetFileContentW: ", 0) == 0 && names_an_unwritten_file) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        // A loader file never names an autoconfig file that was not written.
        EXPECT_TRUE(now.front() == before.front() || now.back() == after.back());
        EXPECT_FALSE(install.AnyTemporaryFile());
      }
    }
  }
}

}  // namespace
