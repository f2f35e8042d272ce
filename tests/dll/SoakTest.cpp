// Four threads of starts beside a questioner end as a serial run; hundreds of
// cycles give back the handles and memory they take.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

#include "Capture.h"
#include "Process.h"
#include "Scene.h"

using namespace testing_support;
namespace {

const std::string kForeign = "// mine \xE7\x81\xAB\r\npref(\"a\", 1);\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n";
constexpr int kStartsPerThread = 40;

// The agent's configuration makes every start rewrite its file.
struct Soak : Scene {
  Soak() {
    agent.AddFile(L"ClientConfig.qcf");
    WriteBytes(loader(), kForeign);
    WriteBytes(cfg(), kForeign);
  }
  // True when the start of that kind (0 ZARN, 1 TOVK, 2 DLP) gave its usual result.
  bool Start(int kind) {
    if (kind == 0) return dll->ZarnStart(nullptr, L"", L"", 0) == 0;
    if (kind == 1) return dll->TovkStart(nullptr, L"", L"", 0) == 0;
    return dll->DlpStart(nullptr, L"", L"") == 1;
  }
  // The first answer a serial run could not give, for the failure message.
  void Wrong(const std::string& what) {
    const std::lock_guard<std::mutex> guard(mutex);
    if (first_wrong.empty()) first_wrong = what;
  }
  std::mutex mutex;
  std::string first_wrong;
  std::atomic<int> starts_done{0};
  std::atomic<int> starters_done{0};
};

TEST(Soak, StartsFromFourThreadsEndAsASerialRun) {
  std::string concurrent;
  {
    Soak soak;
    auto starter = [](void* soak) -> DWORD {
      static std::atomic<int> next_kind{0};
      for (int i = 0; i < kStartsPerThread; ++i) {
        const int kind = next_kind++ % 3;
        if (!static_cast<Soak*>(soak)->Start(kind)) static_cast<Soak*>(soak)->Wrong("start " + std::to_string(kind));
        ++static_cast<Soak*>(soak)->starts_done;
      }
      ++static_cast<Soak*>(soak)->starters_done;
      return 0;
    };
    // Asks until the starters are done: each answer must be one a serial run could give.
    auto questioner = [](void* argument) -> DWORD {
      Soak& soak = *static_cast<Soak*>(argument);
      do {
        std::wstring loader_name;
        std::wstring cfg_name;
        // Until a start has rewritten it, the loader names the file it was given.
        const bool before_any_start = soak.starts_done == 0;
        const int found = soak.dll->GetFFVersionAndCfg(L"id", &loader_name, &cfg_name);
        const bool cfg_named =
            cfg_name == L"cv_mozilla_V2N.cfg" || (before_any_start && cfg_name == L"cv_mozilla_zarn.cfg");
        if (found != 1 || loader_name != L"!.js" || (!cfg_name.empty() && !cfg_named)) {
          soak.Wrong("version query " + std::to_string(found) + " " + Narrow(loader_name) + " " + Narrow(cfg_name));
        }
        if (soak.dll->InlineProxyEnabled() != 0) soak.Wrong("inline proxy");
      } while (soak.starters_done < 4);
      return 0;
    };
    // A start that raced another would fail a write, which it reports here.
    StdoutCapture out;
    pelorin::unique_handle threads[5];
    HANDLE waited_for[5];
    for (int index = 0; index < 5; ++index) {
      threads[index].reset(CreateThread(nullptr, 0, index < 4 ? +starter : +questioner, &soak, 0, nullptr));
      waited_for[index] = threads[index].get();
    }
    // A thread hung on the module lock must fail the test, not hang it.
    ASSERT_EQ(WaitForMultipleObjects(5, waited_for, TRUE, 60000), WAIT_OBJECT_0) << "deadlock or livelock";
    EXPECT_EQ(soak.first_wrong, "");
    EXPECT_EQ(out.Text(), "");
    concurrent = ReadBytes(soak.loader());
  }
  Soak serial;
  for (int i = 0; i < 4 * kStartsPerThread; ++i) ASSERT_TRUE(serial.Start(i % 3));
  EXPECT_EQ(concurrent, ReadBytes(serial.loader()));
}

// Wine counts no private usage: sum the committed private regions.
std::pair<long long, long long> HandlesAndPrivateBytes() {
  long long bytes = 0;
  MEMORY_BASIC_INFORMATION region;
  for (char* address = nullptr; VirtualQuery(address, &region, sizeof region);
       address = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += static_cast<long long>(region.RegionSize);
  }
  return {OpenHandles(), bytes};
}

TEST(Soak, CyclesGiveBackWhatTheyTake) {
  Soak soak;
  // Each file read in a cycle is 64 KB: one kept per call is 9 MB.
  const std::string big = kForeign + std::string(64 * 1024, 'x') + "\n";
  WriteBytes(soak.cfg(), big);
  std::pair<long long, long long> before;
  for (int cycle = -30; cycle < 150; ++cycle) {
    if (cycle == 0) before = HandlesAndPrivateBytes();  // after a warm-up
    if (!soak.Start((cycle + 30) % 3)) soak.Wrong("start");
    if (soak.dll->UninstallCleanUp(cycle % 2 == 0) != 0) soak.Wrong("cleanup");
    if (cycle % 10 == 0 && soak.dll->Uninitialize() != 0) soak.Wrong("uninitialize");
    OrlixDouble::Clear();  // the recording double keeps every message
  }
  const std::pair<long long, long long> after = HandlesAndPrivateBytes();
  EXPECT_EQ(soak.first_wrong, "");
  EXPECT_LE(after.first - before.first, 4);
  EXPECT_LE(after.second - before.second, 1 << 20);
}

}  // namespace
