// Starts from several host threads at once, with another thread asking
// questions meanwhile: nothing crashes or hangs, every answer is one a
// serial run could give, and the files end as a serial run leaves them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Scene.h"
#include "base/UniqueHandle.h"

using namespace testing_support;
using namespace hardening;

namespace {

enum Kind { kZarn, kTovk, kDlp };
constexpr int kThreads = 4;
constexpr int kStartsPerThread = 100;
constexpr DWORD kWaitLimitMs = 180000;

int32_t RunStart(PelorinDll& dll, Kind kind) {
  static const TovkStartParams kParams{L"p", L"q", L"r"};
  if (kind == kZarn) return dll.ZarnStart(nullptr, L"", L"", 0);
  if (kind == kTovk) return dll.TovkStart(&kParams, L"", L"", 0);
  return dll.DlpStart(nullptr, L"", L"");
}

constexpr int32_t Wanted(Kind kind) { return kind == kDlp ? 1 : 0; }

// With the agent's client configuration present and the inline proxy off no
// web start ever finds the autoconfig file up to date, so every start of
// every kind rewrites it: the most writing there can be.
void Prepare(Scene& scene) {
  scene.agent.AddFile(L"ClientConfig.qcf");
  WriteBytes(scene.loader(), "// written by hand\npref(\"a\", 1);\n");
  WriteBytes(scene.firefox.pref(L"prefs.js"),
             "pref(\"b\", 2);\r\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\r\n" + kPrefObscure + "\r\n");
  WriteBytes(scene.firefox.pref(L"user.js"), "user_pref(\"c\", \"\xE7\x81\xAB\");\n");
  WriteBytes(scene.cfg(), "// mine\n" + kCfgPkix + "\nlockPref(\"d\", 4);\n");
}

using Snapshot = std::map<std::wstring, std::string>;

// Every file of the installation, by its path below the install folder.
Snapshot Take(const FirefoxInstall& firefox) {
  Snapshot files;
  for (const std::wstring& dir : {firefox.dir(), firefox.pref_dir()}) {
    WIN32_FIND_DATAW entry;
    pelorin::unique_find find(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &entry)) {
      const std::wstring path = dir + L"\\" + entry.cFileName;
      if (FileExists(path)) files[path.substr(firefox.dir().size())] = ReadBytes(path);
    }
  }
  return files;
}

struct Shared {
  PelorinDll* dll;
  std::vector<std::vector<Kind>> sequences;
  std::atomic<size_t> next_sequence{0};
  std::atomic<int> wrong_results{0};
  std::atomic<int> wrong_answers{0};
  std::atomic<int> questions{0};
  std::atomic<bool> stop{false};
};

DWORD WINAPI Starter(void* arg) {
  Shared& shared = *static_cast<Shared*>(arg);
  for (Kind kind : shared.sequences[shared.next_sequence++]) {
    if (RunStart(*shared.dll, kind) != Wanted(kind)) ++shared.wrong_results;
  }
  return 0;
}

// The query holds the module lock for its whole run, so it sees the loader
// file either stripped or written, never half of either.
DWORD WINAPI Questioner(void* arg) {
  Shared& shared = *static_cast<Shared*>(arg);
  while (!shared.stop) {
    std::wstring loader, cfg;
    const bool right = shared.dll->InlineProxyEnabled() == 0 &&
                       shared.dll->GetFFVersionAndCfg(L"id", &loader, &cfg) == 1 && loader == L"!.js" &&
                       (cfg.empty() || cfg == L"cv_mozilla_V2N.cfg");
    if (!right) ++shared.wrong_answers;
    ++shared.questions;
  }
  return 0;
}

// Hung threads hold the module lock, so nothing after them could run.
void WaitOrDie(const std::vector<HANDLE>& threads, const char* what) {
  const DWORD count = static_cast<DWORD>(threads.size());
  if (WaitForMultipleObjects(count, threads.data(), TRUE, kWaitLimitMs) == WAIT_OBJECT_0) return;
  std::fprintf(stderr, "FAILED: %s still running after %lu ms: deadlock or livelock\n", what, kWaitLimitMs);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
}

std::vector<Kind> Serial(const Shared& shared, const std::vector<Kind>& ending) {
  std::vector<Kind> order;
  for (const auto& sequence : shared.sequences) order.insert(order.end(), sequence.begin(), sequence.end());
  for (auto kind = ending.rbegin(); kind != ending.rend(); ++kind) {
    order.erase(std::find(order.rbegin(), order.rend(), *kind).base() - 1);
  }
  order.insert(order.end(), ending.begin(), ending.end());
  return order;
}

TEST(Concurrency, StartsFromFourThreadsEndAsASerialRun) {
  Shared shared;
  std::mt19937 rng(7);
  shared.sequences.resize(kThreads);
  for (auto& sequence : shared.sequences) {
    for (int i = 0; i < kStartsPerThread; ++i) sequence.push_back(static_cast<Kind>(rng() % 3));
  }

  Snapshot concurrent;
  {
    Scene scene;
    Prepare(scene);
    shared.dll = &scene.dll;
    std::vector<HANDLE> starters;
    for (int i = 0; i < kThreads; ++i) starters.push_back(CreateThread(nullptr, 0, Starter, &shared, 0, nullptr));
    HANDLE questioner = CreateThread(nullptr, 0, Questioner, &shared, 0, nullptr);
    WaitOrDie(starters, "the starting threads");
    shared.stop = true;
    WaitOrDie({questioner}, "the questioning thread");
    for (HANDLE thread : starters) CloseHandle(thread);
    CloseHandle(questioner);
    concurrent = Take(scene.firefox);

    // Four threads saved the same TOVK request: it is replayed once.
    OrlixDouble::Clear();
    scene.dll.Uninitialize();
    const Messages log = OrlixDouble::Messages();
    EXPECT_EQ(std::count(log.begin(), log.end(), L"Finished TOVK FF extension operation.\r\n"), 1);
  }
  EXPECT_EQ(shared.wrong_results, 0);
  EXPECT_EQ(shared.wrong_answers, 0) << "of " << shared.questions << " questions";
  EXPECT_GT(shared.questions, 0);

  // Every start rewrites the autoconfig file as a whole, except that DLP
  // keeps the certificate lines a ZARN start left. So a serial run's files
  // depend only on its last web start and on whether a DLP start followed
  // it: these four orders give every ending a serial run can have.
  std::vector<Snapshot> serial;
  for (const std::vector<Kind>& ending : {std::vector<Kind>{kZarn}, {kTovk}, {kZarn, kDlp}, {kTovk, kDlp}}) {
    Scene scene;
    Prepare(scene);
    for (Kind kind : Serial(shared, ending)) ASSERT_EQ(RunStart(scene.dll, kind), Wanted(kind));
    serial.push_back(Take(scene.firefox));
  }
  EXPECT_TRUE(std::find(serial.begin(), serial.end(), concurrent) != serial.end())
      << "no serial run leaves the autoconfig file as the threads did:\n" << concurrent[L"\\cv_mozilla_V2N.cfg"];
  // The loader and preference files do not depend on the order at all.
  for (const Snapshot& files : serial) {
    for (const auto& [name, bytes] : files) {
      if (name != L"\\cv_mozilla_V2N.cfg") {
        EXPECT_EQ(concurrent[name], bytes) << Narrow(name);
      }
    }
  }
}

}  // namespace
