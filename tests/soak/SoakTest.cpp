// Four threads of starts beside a questioner end as a serial run; 10 000 cycles give back handles and memory.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <cstdio>
#include "NetworkService.h"
#include "Policy.h"
#include "Scene.h"
using namespace testing_support;
namespace hardening {
const std::string kForeign = "// mine \xE7\x81\xAB\r\npref(\"a\", 1);\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\n";
struct Soak : Scene {  // the agent's configuration makes every start rewrite its file
  Soak() { agent.AddFile(L"ClientConfig.qcf"), WriteBytes(loader(), kForeign), WriteBytes(cfg(), kForeign); }
  int32_t Start(int kind) {  // 0 when the start answered as it should
    return kind == 0 ? dll.ZarnStart(nullptr, L"", L"", 0)
           : kind == 1 ? dll.TovkStart(nullptr, L"", L"", 0) : dll.DlpStart(nullptr, L"", L"") - 1;
  }
  std::atomic<int> next{0}, wrong{0}, questions{0}, done{0};
};
DWORD WINAPI Worker(void* arg) {  // four starters and a questioner
  Soak& s = *static_cast<Soak*>(arg);
  const int t = s.next++;
  for (int i = 0; t < 4 && i < 100; ++i) s.wrong += s.Start((t + i) % 3) != 0;
  if (t < 4) return ++s.done, 0;
  for (std::wstring js, cfg; s.done < 4 || s.questions == 0; ++s.questions)
    s.wrong += s.dll.GetFFVersionAndCfg(L"id", &js, &cfg) != 1 || js != L"!.js" ||
               !(cfg.empty() || cfg == L"cv_mozilla_V2N.cfg") || s.dll.InlineProxyEnabled() != 0;
  return 0;
}

TEST(Soak, StartsFromFourThreadsEndAsASerialRun) {
  std::string concurrent;
  {
    Soak s;
    HANDLE threads[5];
    for (HANDLE& t : threads) t = CreateThread(nullptr, 0, Worker, &s, 0, nullptr);
    if (WaitForMultipleObjects(5, threads, TRUE, 180000) != WAIT_OBJECT_0) {  // a hung thread holds the module lock
      std::fprintf(stderr, "FAILED: threads still running after 180 s: deadlock or livelock\n");
      std::fflush(stderr), TerminateProcess(GetCurrentProcess(), 3);
    }
    for (HANDLE t : threads) CloseHandle(t);
    EXPECT_EQ(s.wrong, 0) << "of " << s.questions << " questions and 400 starts";
    concurrent = ReadBytes(s.loader());
  }
  Soak serial;
  for (int i = 0; i < 400; ++i) ASSERT_EQ(serial.Start((i / 100 + i % 100) % 3), 0);
  EXPECT_EQ(concurrent, ReadBytes(serial.loader()));
}

TEST(Soak, TenThousandCyclesGiveBackWhatTheyTake) {
  Soak s;
  NetworkService service;  // the proxy check then reads and parses the policy each time
  service.Start();
  SetExtensionSettings(s.registry, L"{\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"}}");
  // Wine counts neither handles nor private usage: try each handle value, sum committed private regions.
  auto usage = [] {
    long long handles = 0, bytes = 0;
    DWORD flags;
    MEMORY_BASIC_INFORMATION r;
    for (uintptr_t v = 4; v < (1u << 20); v += 4) handles += GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags);
    for (char* a = nullptr; VirtualQuery(a, &r, sizeof r); a = static_cast<char*>(r.BaseAddress) + r.RegionSize)
      bytes += r.State == MEM_COMMIT && r.Type == MEM_PRIVATE ? static_cast<long long>(r.RegionSize) : 0;
    return std::make_pair(handles, bytes);
  };
  std::pair<long long, long long> before;
  for (int i = -300; i < 10000; ++i) {  // 300 rounds to warm up
    std::wstring js, cfg;
    if (i == 0) before = usage();
    s.wrong += s.Start((i + 300) % 3) != 0 || s.dll.UninstallCleanUp(i % 2 == 0) != 0;
    if (i % 10 == 0) s.wrong += s.dll.GetFFVersionAndCfg(L"id", &js, &cfg) != 1 || s.dll.Uninitialize() != 0;
    OrlixDouble::Clear();  // the recording double keeps every message
  }
  const auto after = usage();
  EXPECT_EQ(s.wrong, 0);
  EXPECT_LE(after.first - before.first, 4);
  EXPECT_LE(after.second - before.second, 1 << 20);
  EXPECT_EQ(ForeignLines(ReadBytes(s.loader()) + ReadBytes(s.cfg())), ForeignLines(kForeign + kForeign));
}
}  // namespace hardening
