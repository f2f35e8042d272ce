// A process killed at any moment of a start or a cleanup leaves each file
// with exactly its old bytes or exactly its new ones, and the next start
// removes whatever temporary file the kill left behind.
//
// The same executable is the child that gets killed: run with --kill-child,
// it performs starts and cleanups through Pelorin.dll until it is stopped.
// PELORIN_KILL_SEED=<n> replays the kill moments of an earlier run.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

// Reading and deciding take part of a call, so only some kills land while
// a temporary file exists; kills go on past the minimum until enough have.
constexpr int kMinimumKills = 50;
constexpr int kMinimumKillsMidWrite = 10;
constexpr int kMaximumKills = 250;

// argv: --kill-child EVENT once|loop OPERATION... Each operation loads the
// DLL afresh: a start that finds its file complete keeps every later start
// of the same load from writing. The exit code is how long the last export
// took, in milliseconds.
int RunChild(int argc, char** argv) {
  const pelorin::unique_handle started(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
  ULONGLONG last_ms = 0;
  do {
    for (int index = 4; index < argc; ++index) {
      PelorinDll dll;
      dll.Initialize();
      SetEvent(started.get());
      const ULONGLONG began = GetTickCount64();
      std::string(argv[index]) == "zarn" ? dll.ZarnStart(nullptr, L"", L"", 0) : dll.UninstallCleanUp(false);
      last_ms = GetTickCount64() - began;
    }
  } while (std::string(argv[3]) == "loop");
  return static_cast<int>(last_ms);
}

// A child process of this executable, waited for until it is about to call
// its first export, so that its start-up is not part of any randomised time.
class Child : NoCopy {
 public:
  explicit Child(const std::string& arguments) {
    const std::string event = "pelorin-kill-test-" + std::to_string(GetCurrentProcessId());
    started_.reset(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    std::wstring command =
        Widen("\"" + Narrow(ExecutableDir()) + "\\pelorin_kill_tests.exe\" --kill-child " + event + " " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Wine has once refused a process start in a run, just after the
    // Firefox test had stopped its service: the start is tried again
    // before the test gives up.
    for (int attempt = 1;
         !CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
         ++attempt) {
      if (attempt == 3) throw std::runtime_error("cannot start the child: error " + std::to_string(GetLastError()));
      Sleep(500);
    }
    process_.reset(info.hProcess);
    const pelorin::unique_handle thread(info.hThread);
    const HANDLE either[] = {started_.get(), process_.get()};
    if (WaitForMultipleObjects(2, either, FALSE, 60000) != WAIT_OBJECT_0) {
      throw std::runtime_error("the child ended or hung before its first operation");
    }
    began_ = GetTickCount64();
  }
  ~Child() { KillAt(0); }

  // How long its last operation took, in milliseconds.
  int WaitForExit() {
    DWORD code = 0;
    WaitForSingleObject(process_.get(), INFINITE);
    GetExitCodeProcess(process_.get(), &code);
    return static_cast<int>(code);
  }
  // Kills the child `after_ms` after its first export was called; false when
  // it had already ended by itself.
  bool KillAt(int after_ms) {
    const ULONGLONG at = began_ + after_ms;
    if (GetTickCount64() < at) Sleep(static_cast<DWORD>(at - GetTickCount64()));
    const bool killed = TerminateProcess(process_.get(), 9) != 0;
    WaitForSingleObject(process_.get(), INFINITE);
    return killed;
  }

 private:
  pelorin::unique_handle started_;
  pelorin::unique_handle process_;
  ULONGLONG began_ = 0;
};

TEST(Kill, EveryKillLeavesOldOrNewBytesAndTheNextStartRemovesTheRest) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
  const std::wstring loader = firefox.pref(L"!.js");
  registry.SetString(kAgentCommonKey, L"FFCFG", cfg);
  auto any_temporary_file = [&] { return FileExists(cfg + L".pelorin-tmp") || FileExists(loader + L".pelorin-tmp"); };

  // Both states of each file: 80 000 foreign lines (4.5 MB) under a bare
  // "//", and after a start its five lines below them; the loader file, made
  // stale again before each child so that its first start rewrites it too.
  std::string cleaned = "//\n";
  for (int number = 0; number < 80000; ++number) {
    cleaned += "pref(\"user.setting" + std::to_string(number) + "\", \"a value of some length\");\n";
  }
  const std::string started = cleaned + kZarnLines;
  const std::string stale_loader = "// the administrator's\npref(\"browser.startup.page\", 3);\n";
  const std::string loader_started = stale_loader + kV2nLoader;
  // Which of its two contents a file holds.
  auto state = [](const std::wstring& path, const std::string& old_bytes, const std::string& new_bytes) {
    const std::string bytes = FileExists(path) ? ReadBytes(path) : "(missing)";
    return bytes == old_bytes ? "old" : bytes == new_bytes ? "new" : "other content of " + std::to_string(bytes.size());
  };

  // Uninterrupted, each operation reaches its state and shows how long it
  // takes: the span its kill moments are spread over.
  WriteBytes(cfg, cleaned);
  WriteBytes(loader, stale_loader);
  const int start_ms = Child("once zarn").WaitForExit();
  ASSERT_EQ(state(cfg, cleaned, started) + state(loader, stale_loader, loader_started), "newnew");
  const int cleanup_ms = Child("once cleanup").WaitForExit();
  ASSERT_EQ(state(cfg, started, cleaned), "new");

  const char* replay = std::getenv("PELORIN_KILL_SEED");
  const unsigned seed = replay ? static_cast<unsigned>(std::stoul(replay)) : std::random_device()();
  std::printf("seed %u (PELORIN_KILL_SEED=%u replays it); a start takes %d ms, a cleanup %d ms\n", seed, seed, start_ms,
              cleanup_ms);
  std::mt19937 random(seed);
  // The writing comes last in a call; two kills in three land in its second
  // half, so that enough of them catch a temporary file on a loaded machine.
  std::uniform_real_distribution<double> share_of_call(0.0, 1.0);
  std::uniform_real_distribution<double> share_of_second_half(0.5, 1.0);

  int kills = 0;
  int mid_write = 0;
  bool cleaned_last = true;
  while (kills < kMaximumKills && (kills < kMinimumKills || mid_write < kMinimumKillsMidWrite)) {
    ++kills;
    // The operation killed always has a file to write: a start leaves a
    // complete file alone. The child goes on to the other one, so that a
    // kill a little late still finds it running.
    const double share = kills % 3 != 0 ? share_of_second_half(random) : share_of_call(random);
    const int moment_ms = static_cast<int>(share * (cleaned_last ? start_ms : cleanup_ms));
    SCOPED_TRACE("kill " + std::to_string(kills) + (cleaned_last ? " of a start" : " of a cleanup") + " at " +
                 std::to_string(moment_ms) + " ms");
    WriteBytes(loader, stale_loader);
    Child child(cleaned_last ? "loop zarn cleanup" : "loop cleanup zarn");
    ASSERT_TRUE(child.KillAt(moment_ms)) << "the child ended by itself";

    const std::string cfg_state = state(cfg, cleaned, started);
    ASSERT_TRUE(cfg_state == "old" || cfg_state == "new") << cfg_state;
    const std::string loader_state = state(loader, stale_loader, loader_started);
    ASSERT_TRUE(loader_state == "old" || loader_state == "new") << loader_state;
    cleaned_last = cfg_state == "old";
    if (!any_temporary_file()) continue;

    // A leftover beside a complete file is cleared only by the removal of
    // leftovers, since the start has nothing to write.
    ++mid_write;
    {
      PelorinDll dll;
      dll.Initialize();
      dll.ZarnStart(nullptr, L"", L"", 0);
    }
    cleaned_last = false;
    EXPECT_FALSE(any_temporary_file()) << "after the next start";
    ASSERT_EQ(state(cfg, cleaned, started) + state(loader, stale_loader, loader_started), "newnew")
        << "after the next start";
  }
  std::printf("%d kills, %d while a temporary file existed\n", kills, mid_write);
  EXPECT_GE(mid_write, kMinimumKillsMidWrite);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--kill-child") return RunChild(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
