// The agent keeps the DLL loaded for months: ten thousand start and cleanup
// cycles in one process must give back every handle and every byte they
// take.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "NetworkService.h"
#include "Policy.h"
#include "Scene.h"

using namespace testing_support;
using namespace hardening;

namespace {

constexpr int kWarmUp = 300;
constexpr int kCycles = 10000;
constexpr long kHandleSlack = 4;
constexpr long long kByteSlack = 1 << 20;

// Wine answers GetProcessHandleCount with 0; the handle table is then
// counted by asking for each handle value in turn.
long HandleCount() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return static_cast<long>(count);
  long open = 0;
  for (uintptr_t value = 4; value < (1u << 20); value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
  }
  return open;
}

// Likewise its private-usage counter reads 0: the committed private pages
// are then summed region by region.
long long PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  auto* plain = reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters);
  if (GetProcessMemoryInfo(GetCurrentProcess(), plain, sizeof counters) && counters.PrivateUsage > 0) {
    return static_cast<long long>(counters.PrivateUsage);
  }
  size_t committed = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* address = nullptr; VirtualQuery(address, &region, sizeof region) == sizeof region;
       address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
  }
  return static_cast<long long>(committed);
}

TEST(Resources, TenThousandCyclesGiveBackWhatTheyTake) {
  Scene scene;
  // Every path taken: the agent's configuration makes each start rewrite
  // its file, and with the service running and a policy that does not
  // block the add-on the proxy check reads and parses the policy each time.
  scene.agent.AddFile(L"ClientConfig.qcf");
  NetworkService service;
  service.Start();
  SetExtensionSettings(scene.registry, L"{\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"}}");
  const std::string kForeign = "// mine \xE7\x81\xAB\r\npref(\"a\", 1);\n";
  const std::wstring files[] = {scene.loader(), scene.firefox.pref(L"prefs.js"), scene.cfg()};
  for (const std::wstring& file : files) WriteBytes(file, kForeign);

  int wrong = 0;
  auto cycle = [&](int i) {
    const int32_t result = i % 3 == 0   ? scene.dll.ZarnStart(nullptr, L"", L"", 0)
                           : i % 3 == 1 ? scene.dll.TovkStart(nullptr, L"", L"", 0)
                                        : scene.dll.DlpStart(nullptr, L"", L"") - 1;
    if (result != 0 || scene.dll.UninstallCleanUp(i % 2 == 0) != 0) ++wrong;
    std::wstring loader, cfg;
    if (i % 10 == 0 && (scene.dll.GetFFVersionAndCfg(L"id", &loader, &cfg) != 1 ||
                        scene.dll.InlineProxyEnabled() != 0 || scene.dll.Uninitialize() != 0)) {
      ++wrong;
    }
    OrlixDouble::Clear();  // the recording double keeps every message
  };

  for (int i = 0; i < kWarmUp; ++i) cycle(i);
  const long handles_before = HandleCount();
  const long long bytes_before = PrivateBytes();
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < kCycles; ++i) cycle(i);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const long handles_after = HandleCount();
  const long long bytes_after = PrivateBytes();

  std::printf("%d cycles in %.1f s; handles %ld -> %ld; private bytes %lld -> %lld\n", kCycles, seconds,
              handles_before, handles_after, bytes_before, bytes_after);
  EXPECT_EQ(wrong, 0);
  EXPECT_LE(handles_after - handles_before, kHandleSlack);
  EXPECT_LE(bytes_after - bytes_before, kByteSlack);
  for (const std::wstring& file : files) EXPECT_EQ(ForeignLines(ReadBytes(file)), ForeignLines(kForeign));
}

}  // namespace
