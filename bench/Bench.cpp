// What each start and the cleanup cost, beside what the same files cost to
// read once and write once with plain Win32 calls (the I/O floor), for
// autoconfig files of 10, 1 000 and 100 000 foreign lines and preference
// folders of 1, 50 and 500 files. Prints a Markdown table.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CfgText.h"
#include "Files.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

constexpr int kMinRuns = 5;
constexpr int kMaxRuns = 31;
constexpr double kMinSeconds = 1.0;

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string ForeignLines(const char* prefix, int count) {
  std::string text;
  char line[96];
  for (int i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "pref(\"%s.setting%06d\", \"a value of some length\");\n", prefix, i);
    text += line;
  }
  return text;
}

// The floor: every file read whole once and written once.
void ReadAndWrite(const std::vector<std::pair<std::wstring, std::string>>& files) {
  std::string buffer;
  for (const auto& [path, bytes] : files) {
    DWORD done = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      buffer.resize(GetFileSize(file, nullptr));
      ReadFile(file, &buffer[0], static_cast<DWORD>(buffer.size()), &done, nullptr);
      CloseHandle(file);
    }
    file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
  }
}

struct Operation {
  const char* name;
  std::function<int32_t(PelorinDll&)> call;
  bool uses_pref_folder;
};

struct Timing {
  double call_ms;
  double floor_ms;
};

// One workload: a registered Firefox whose autoconfig file holds `lines`
// foreign lines and some stale lines of the library, and whose preference
// folder holds `pref_files` files (the loader file among them, naming
// another autoconfig file). None of the operations finds its files up to
// date, so each call does all its work; the floor puts the files back.
Timing Measure(const Operation& op, int lines, int pref_files) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  AgentInstall agent(registry);
  firefox.Register(registry);
  const std::wstring cfg = firefox.file(L"cv_mozilla_V2N.cfg");
  registry.SetString(kAgentCommonKey, L"FFCFG", cfg);

  std::vector<std::pair<std::wstring, std::string>> touched;
  touched.emplace_back(cfg, "//\n" + ForeignLines("user", lines) + kCfgPkix + "\n" + kCfgAutoDisableScopes + "\n" +
                                kCfgEnabledScopes + "\n" + kCfgProxyType + "\n");
  for (int i = 0; i < pref_files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "pref%03d.js", i);
    std::wstring path = firefox.pref(i == 0 ? L"!.js" : Widen(name));
    std::string text = ForeignLines(name, 20) + (i == 0 ? PrefFilename("other.cfg") + "\n" : "");
    if (op.uses_pref_folder) {
      touched.emplace_back(path, text);
    } else {
      WriteBytes(path, text);
    }
  }
  ReadAndWrite(touched);  // creates the files

  PelorinDll dll;
  dll.Initialize();
  std::vector<double> calls, floors;
  const double started = Now();
  while (static_cast<int>(calls.size()) < kMaxRuns &&
         (static_cast<int>(calls.size()) < kMinRuns || Now() - started < kMinSeconds)) {
    double t = Now();
    ReadAndWrite(touched);
    floors.push_back(Now() - t);
    t = Now();
    op.call(dll);
    calls.push_back(Now() - t);
    OrlixDouble::Clear();
  }
  return Timing{Median(calls) * 1000, Median(floors) * 1000};
}

}  // namespace

int main() {
  const Operation operations[] = {
      {"PelorinZARNFFStart", [](PelorinDll& dll) { return dll.ZarnStart(nullptr, L"", L"", 0); }, true},
      {"PelorinTOVKFFStart", [](PelorinDll& dll) { return dll.TovkStart(nullptr, L"", L"", 0); }, true},
      {"PelorinDLPFFStart", [](PelorinDll& dll) { return dll.DlpStart(nullptr, L"", L""); }, true},
      {"PelorinUninstallCleanUp", [](PelorinDll& dll) { return dll.UninstallCleanUp(false); }, false},
  };
  std::printf("| operation | autoconfig lines | pref files | median per call (ms) | I/O floor (ms) | ratio |\n");
  std::printf("|---|---:|---:|---:|---:|---:|\n");
  for (const Operation& op : operations) {
    for (int lines : {10, 1000, 100000}) {
      for (int pref_files : {1, 50, 500}) {
        if (!op.uses_pref_folder && pref_files != 1) continue;
        const Timing row = Measure(op, lines, pref_files);
        std::printf("| %s | %d | %s | %.2f | %.2f | %.1f |\n", op.name, lines,
                    op.uses_pref_folder ? std::to_string(pref_files).c_str() : "-", row.call_ms, row.floor_ms,
                    row.call_ms / row.floor_ms);
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
