// A process killed at any moment of a start or a cleanup leaves each file
// with exactly its old bytes or exactly its new ones, and the next start
// removes whatever temporary file the kill left behind.
//
// The same executable is the child that gets killed: run with --kill-child,
// it performs starts and cleanups through Pelorin.dll until it is stopped.
// PELORIN_KILL_SEED=<n> replays the kill moments of an earlier run.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "CfgText.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

constexpr int kForeignLines = 1000000;
// Reading and editing take most of a call: one kill in five to twelve lands
// while a temporary file exists. Kills go on past the minimum until enough
// have, some in a cleanup: the next start finds that file complete and
// writes nothing, so only its removal of leftovers clears them.
constexpr int kMinimumKills = 50;
constexpr int kMinimumKillsMidWrite = 10;
constexpr int kMinimumLeftoversBesideCompleteFile = 3;
constexpr int kMaximumKills = 250;
const std::wstring kTemporarySuffix = L".pelorin-tmp";

// Each operation loads the DLL afresh: a start that finds its file complete
// sets a flag that keeps every later start of the same load from writing.
// Returns how long the export took, in milliseconds.
int RunOperation(const std::string& operation, HANDLE started) {
  PelorinDll dll;
  dll.Initialize();
  SetEvent(started);
  const auto began = std::chrono::steady_clock::now();
  if (operation == "zarn") {
    dll.ZarnStart(nullptr, L"", L"", 0);
  } else if (operation == "cleanup") {
    dll.UninstallCleanUp(false);
  } else {
    std::fprintf(stderr, "unknown operation %s\n", operation.c_str());
    std::exit(-1);
  }
  const auto elapsed = std::chrono::steady_clock::now() - began;
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

// argv: --kill-child EVENT once|loop OPERATION...
// The exit code is how long the last operation took, in milliseconds.
int RunChild(int argc, char** argv) {
  const HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  const bool loop = std::string(argv[3]) == "loop";
  const std::vector<std::string> operations(argv + 4, argv + argc);
  int last_ms = 0;
  do {
    for (const std::string& operation : operations) last_ms = RunOperation(operation, started);
  } while (loop);
  return last_ms;
}

// A child process of this executable, waited for until it is about to call
// its first export, so that its start-up is not part of any randomised time.
class Child : NoCopy {
 public:
  explicit Child(const std::string& arguments) {
    const std::string event_name = "pelorin-kill-test-" + std::to_string(GetCurrentProcessId());
    started_ = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
    wchar_t exe[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, exe, MAX_PATH * 4);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --kill-child " + Widen(event_name + " " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      throw std::runtime_error("cannot start the child");
    }
    process_ = info.hProcess;
    CloseHandle(info.hThread);
    const HANDLE either[] = {started_, process_};
    if (WaitForMultipleObjects(2, either, FALSE, 60000) != WAIT_OBJECT_0) {
      throw std::runtime_error("the child ended or hung before its first operation");
    }
    began_ = std::chrono::steady_clock::now();
  }
  ~Child() {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, INFINITE);
    CloseHandle(process_);
    CloseHandle(started_);
  }

  // How long its one operation took, in milliseconds.
  int WaitForExit() {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    if (static_cast<int>(code) < 0) throw std::runtime_error("the child failed");
    return static_cast<int>(code);
  }

  // Kills the child `after_ms` after its first export was called and waits
  // until it is gone; false when it had already ended by itself.
  bool KillAt(int after_ms) {
    const long long remaining_ms = after_ms - ElapsedMs();
    if (remaining_ms > 0) Sleep(static_cast<DWORD>(remaining_ms));
    const bool killed = TerminateProcess(process_, 9) != 0;
    WaitForSingleObject(process_, INFINITE);
    return killed;
  }

 private:
  long long ElapsedMs() const {
    const auto elapsed = std::chrono::steady_clock::now() - began_;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  }

  HANDLE started_ = nullptr;
  HANDLE process_ = nullptr;
  std::chrono::steady_clock::time_point began_;
};

// The names in a folder, sorted, without "." and "..".
std::vector<std::wstring> Listing(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  const pelorin::unique_find find(FindFirstFileW((dir + L"\\*").c_str(), &entry));
  for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &entry)) {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Joined(const std::vector<std::wstring>& names) {
  std::string text;
  for (const std::wstring& name : names) text += " " + Narrow(name);
  return text;
}

bool HasTemporaryFile(const std::wstring& dir) {
  for (const std::wstring& name : Listing(dir)) {
    const size_t suffix_at = name.size() - std::min(name.size(), kTemporarySuffix.size());
    if (name.compare(suffix_at, std::wstring::npos, kTemporarySuffix) == 0) return true;
  }
  return false;
}

using KnownContent = std::pair<const char*, const std::string*>;

// The name of the known content the file holds, or what else it holds: a
// 50 MB file does not belong in a failure message.
std::string Identify(const std::wstring& path, std::initializer_list<KnownContent> known) {
  if (!FileExists(path)) return "missing";
  const std::string actual = ReadBytes(path);
  for (const KnownContent& content : known) {
    if (actual == *content.second) return content.first;
  }
  const std::string& first = *known.begin()->second;
  size_t same = 0;
  while (same < actual.size() && same < first.size() && actual[same] == first[same]) ++same;
  return "unknown content of " + std::to_string(actual.size()) + " bytes, parting from the " +
         known.begin()->first + " content at byte " + std::to_string(same);
}

std::string ForeignSettings() {
  std::string text;
  text.reserve(kForeignLines * 56);
  char line[96];
  for (int number = 0; number < kForeignLines; ++number) {
    std::snprintf(line, sizeof line, "pref(\"user.setting%06d\", \"a value of some length\");\n", number);
    text += line;
  }
  return text;
}

unsigned SeedForThisRun() {
  if (const char* replay = std::getenv("PELORIN_KILL_SEED")) return static_cast<unsigned>(std::stoul(replay));
  return std::random_device()();
}

int Median(std::vector<int> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void StartToCompletion() {
  PelorinDll dll;
  dll.Initialize();
  dll.ZarnStart(nullptr, L"", L"", 0);
}

struct Tally {
  int kills = 0;
  int mid_write = 0;
  int beside_complete_file = 0;

  bool Enough() const {
    return kills >= kMinimumKills && mid_write >= kMinimumKillsMidWrite &&
           beside_complete_file >= kMinimumLeftoversBesideCompleteFile;
  }
};

TEST(Kill, EveryKillLeavesOldOrNewBytesAndTheNextStartRemovesTheRest) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
  const std::wstring loader = firefox.pref(L"!.js");
  registry.SetString(kAgentCommonKey, L"FFCFG", cfg);

  // Both states of the autoconfig file, written out here rather than taken
  // from the library: the foreign lines under a bare "//", and after a start
  // its five lines below them.
  const std::string cleaned = "//\n" + ForeignSettings();
  const std::string started = cleaned + kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kCfgProxyType + "\n" +
                              kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n";
  // The loader file is made stale again before each child, so that its first
  // start rewrites it too.
  const std::string stale_loader = "// the administrator's\npref(\"browser.startup.page\", 3);\n";
  const std::string loader_started = stale_loader + kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n";
  WriteBytes(cfg, cleaned);

  // Uninterrupted, each operation reaches its state and shows how long it
  // takes: the span its kill moments are spread over, the median of three.
  std::vector<int> start_runs;
  std::vector<int> cleanup_runs;
  for (int run = 0; run < 3; ++run) {
    WriteBytes(loader, stale_loader);
    start_runs.push_back(Child("once zarn").WaitForExit());
    ASSERT_EQ(Identify(cfg, {{"started", &started}}), "started");
    ASSERT_EQ(Identify(loader, {{"started", &loader_started}}), "started");
    cleanup_runs.push_back(Child("once cleanup").WaitForExit());
    ASSERT_EQ(Identify(cfg, {{"cleaned", &cleaned}}), "cleaned");
  }
  const int start_ms = Median(start_runs);
  const int cleanup_ms = Median(cleanup_runs);

  const unsigned seed = SeedForThisRun();
  std::printf("seed %u (PELORIN_KILL_SEED=%u replays it); a start takes %d ms, a cleanup %d ms\n", seed, seed,
              start_ms, cleanup_ms);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> share_of_call(0.0, 1.0);

  Tally tally;
  std::string state = "cleaned";
  while (!tally.Enough() && tally.kills < kMaximumKills) {
    ++tally.kills;
    // The first operation, the one killed, always has a file to write: a
    // start leaves a complete file alone. The child goes on to the other
    // one, so that a kill a little late still finds it running.
    const bool start_first = state == "cleaned";
    const int moment_ms = static_cast<int>(share_of_call(random) * (start_first ? start_ms : cleanup_ms));
    SCOPED_TRACE("kill " + std::to_string(tally.kills) + (start_first ? " of a start" : " of a cleanup") + " at " +
                 std::to_string(moment_ms) + " ms");
    WriteBytes(loader, stale_loader);
    Child child(start_first ? "loop zarn cleanup" : "loop cleanup zarn");
    ASSERT_TRUE(child.KillAt(moment_ms)) << "the child ended by itself";

    state = Identify(cfg, {{"cleaned", &cleaned}, {"started", &started}});
    ASSERT_TRUE(state == "cleaned" || state == "started")
        << state << "; the folder holds" << Joined(Listing(firefox.dir()));
    const std::string loader_state = Identify(loader, {{"stale", &stale_loader}, {"started", &loader_started}});
    ASSERT_TRUE(loader_state == "stale" || loader_state == "started") << loader_state;
    if (!HasTemporaryFile(firefox.dir()) && !HasTemporaryFile(firefox.pref_dir())) continue;

    ++tally.mid_write;
    if (state == "started") ++tally.beside_complete_file;
    StartToCompletion();
    state = "started";
    EXPECT_EQ(Joined(Listing(firefox.dir())), " cv_mozilla_V2N.cfg defaults") << "after the next start";
    EXPECT_EQ(Joined(Listing(firefox.pref_dir())), " !.js") << "after the next start";
    ASSERT_EQ(Identify(cfg, {{"started", &started}}), "started") << "after the next start";
    EXPECT_EQ(ReadBytes(loader), loader_started) << "after the next start";
  }

  std::printf("%d kills, %d while a temporary file existed, %d of these beside a complete autoconfig file\n",
              tally.kills, tally.mid_write, tally.beside_complete_file);
  EXPECT_GE(tally.mid_write, kMinimumKillsMidWrite);
  EXPECT_GE(tally.beside_complete_file, kMinimumLeftoversBesideCompleteFile);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--kill-child") return RunChild(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
