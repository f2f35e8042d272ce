// What each start and the cleanup cost, beside the floor: the same files
// read once and written once with the same care (a temporary file beside the
// target, every byte written, FlushFileBuffers, one rename), plus each
// registry and service query the operation needs, made once, all with plain
// Win32 calls. Autoconfig files of 10, 1 000 and 100 000 foreign lines,
// preference folders of 1, 50 and 500 files.
//
// Three tables: every call finding its files out of date (the harness puts
// them back before each call, outside the timed region); the same for
// autoconfig files of 200 000 and 400 000 lines; and a start repeated on a
// machine already up to date, beside a read-only floor. Prints Markdown.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "CfgText.h"
#include "Files.h"
#include "NetworkService.h"
#include "PelorinDll.h"
#include "Sandboxes.h"
#include "pelorin/UniqueHandle.h"

using namespace testing_support;

namespace {

constexpr int kMinRuns = 7;
constexpr int kMaxRuns = 31;
constexpr double kMinSeconds = 1.5;

// 2001-01-01: every file and folder is set to this last-write time before
// a timed call, so any write during the call shows, whatever the file
// system's time resolution.
constexpr ULONGLONG kStamp = 126227808000000000ULL;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "bench: %s failed (error %lu)\n", what, GetLastError());
  std::exit(2);
}

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

// ---- The floor's pieces, each a plain Win32 call sequence ----

void LookUpFirefox() {
  pelorin::unique_hkey browsers;
  Require(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBrowserListKey, 0, KEY_READ, browsers.put()) == ERROR_SUCCESS,
          "opening the browser list");
  wchar_t name[MAX_PATH];
  DWORD length = MAX_PATH;
  Require(RegEnumKeyExW(browsers.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS,
          "listing the browsers");
  wchar_t command[MAX_PATH];
  DWORD bytes = sizeof command;
  const std::wstring command_key = std::wstring(name, length) + L"\\shell\\open\\command";
  Require(RegGetValueW(browsers.get(), command_key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, command, &bytes) ==
              ERROR_SUCCESS,
          "reading Firefox's command");
}

// The agent's InstallPath, and whether `file` exists in that folder.
void CheckAgentFile(const wchar_t* file) {
  pelorin::unique_hkey agent;
  Require(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentKey, 0, KEY_QUERY_VALUE, agent.put()) == ERROR_SUCCESS,
          "opening the agent key");
  wchar_t folder[MAX_PATH];
  DWORD bytes = sizeof folder;
  Require(RegQueryValueExW(agent.get(), L"InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(folder), &bytes) ==
              ERROR_SUCCESS,
          "reading InstallPath");
  GetFileAttributesW((std::wstring(folder) + file).c_str());
}

// The network service's state through the Service Control Manager, then the
// ExtensionSettings policy, read once into a buffer large enough for it.
void QueryInlineProxy() {
  const pelorin::unique_sc_handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  Require(static_cast<bool>(manager), "opening the service manager");
  const pelorin::unique_sc_handle service(OpenServiceW(manager.get(), kNetworkServiceName, SERVICE_QUERY_STATUS));
  Require(static_cast<bool>(service), "opening the network service");
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  Require(QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                               &needed) &&
              status.dwCurrentState == SERVICE_RUNNING,
          "finding the network service running");

  pelorin::unique_hkey policies;
  Require(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirefoxPolicyKey, 0, KEY_QUERY_VALUE, policies.put()) == ERROR_SUCCESS,
          "opening the policy key");
  wchar_t text[1024];
  DWORD bytes = sizeof text;
  Require(RegQueryValueExW(policies.get(), L"ExtensionSettings", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                           &bytes) == ERROR_SUCCESS,
          "reading ExtensionSettings");
}

void ReadRecordedCfgPath() {
  pelorin::unique_hkey common;
  Require(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_QUERY_VALUE, common.put()) == ERROR_SUCCESS,
          "opening the Common key");
  wchar_t path[MAX_PATH];
  DWORD bytes = sizeof path;
  Require(RegQueryValueExW(common.get(), L"FFCFG", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &bytes) ==
              ERROR_SUCCESS,
          "reading FFCFG");
}

// The agent's records: the foreign loader line a web start replaced (when
// there is one) and the autoconfig file's path, under one open key.
void WriteRecords(const std::wstring& loader_line, const std::wstring& cfg_path) {
  pelorin::unique_hkey common;
  Require(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentCommonKey, 0, KEY_SET_VALUE, common.put()) == ERROR_SUCCESS,
          "opening the Common key");
  auto set = [&common](const wchar_t* name, const std::wstring& text) {
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    Require(RegSetValueExW(common.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
                ERROR_SUCCESS,
            "writing a record");
  };
  if (!loader_line.empty()) set(L"FFJSFile", loader_line);
  set(L"FFCFG", cfg_path);
}

std::string ReadWhole(const std::wstring& path) {
  const pelorin::unique_file file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  Require(static_cast<bool>(file), "opening a file to read");
  LARGE_INTEGER size;
  Require(GetFileSizeEx(file.get(), &size), "sizing a file");
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  Require(ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size(),
          "reading a file");
  return bytes;
}

// Lists the folder's *.js files and reads each one.
void ReadPrefFolder(const std::wstring& pref_dir) {
  WIN32_FIND_DATAW entry;
  const pelorin::unique_find find(FindFirstFileW((pref_dir + L"\\*.js").c_str(), &entry));
  Require(static_cast<bool>(find), "listing the preference folder");
  do {
    ReadWhole(pref_dir + L"\\" + entry.cFileName);
  } while (FindNextFileW(find.get(), &entry));
}

void WriteDurably(const std::wstring& path, const std::string& bytes) {
  const std::wstring temporary = path + L".floor-tmp";
  pelorin::unique_file file(
      CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  Require(static_cast<bool>(file), "creating a temporary file");
  DWORD written = 0;
  Require(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size(),
          "writing a temporary file");
  Require(FlushFileBuffers(file.get()), "flushing a temporary file");
  file.reset();  // closed before the rename, as the library does
  Require(MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
          "replacing a file");
}

// Plain write with a flush, for putting the files back between calls.
void Restore(const std::wstring& path, const std::string& bytes) {
  const pelorin::unique_file file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Require(static_cast<bool>(file), "restoring a file");
  DWORD written = 0;
  Require(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr), "restoring a file");
  FlushFileBuffers(file.get());
}

// ---- Counting what a call writes ----

ULONGLONG Ticks(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void SetStamp(const std::wstring& path, DWORD flags) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const pelorin::unique_file handle(
      CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr));
  Require(static_cast<bool>(handle), "opening a path to stamp");
  FILETIME stamp = {static_cast<DWORD>(kStamp), static_cast<DWORD>(kStamp >> 32)};
  Require(SetFileTime(handle.get(), nullptr, nullptr, &stamp), "stamping a path");
}

struct Writes {
  ULONGLONG bytes = 0;      // the sizes of the files written, as they now are
  int folders_changed = 0;  // a file created, renamed or removed in them
};

// Adds up and stamps again the files of `folder` that do not carry the stamp.
void InspectFiles(const std::wstring& folder, Writes& writes) {
  WIN32_FIND_DATAW entry;
  const pelorin::unique_find find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  Require(static_cast<bool>(find), "listing a folder");
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (Ticks(entry.ftLastWriteTime) == kStamp) continue;
    writes.bytes += (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    SetStamp(folder + L"\\" + entry.cFileName, 0);
  } while (FindNextFileW(find.get(), &entry));
}

// Looks at each folder and every file in it: what does not carry the stamp
// was written since the last look, and is stamped again.
Writes Inspect(const std::vector<std::wstring>& folders) {
  Writes writes;
  for (const std::wstring& folder : folders) {
    InspectFiles(folder, writes);
    WIN32_FILE_ATTRIBUTE_DATA data;
    Require(GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data), "reading a folder's time");
    if (Ticks(data.ftLastWriteTime) != kStamp) {
      ++writes.folders_changed;
      SetStamp(folder, FILE_FLAG_BACKUP_SEMANTICS);
    }
  }
  return writes;
}

// ---- One workload ----

enum class Kind { kZarn, kTovk, kDlp, kCleanup };

struct Operation {
  const char* name;
  Kind kind;
  std::function<int32_t(PelorinDll&)> call;
};

// A registered Firefox whose autoconfig file holds `lines` foreign lines
// and some of the library's lines, and whose preference folder holds
// `pref_files` files of 20 foreign lines each, the loader file "!.js" among
// them naming another autoconfig file. The agent is installed with its
// configuration (ClientConfig.qcf) and its inline proxy is in force (the
// network service running, the DLP add-on blocked), so that the starts
// make every query they can. In these files every operation finds work.
class Workload {
 public:
  Workload(int lines, int pref_files) : agent_(registry_) {
    firefox_.Register(registry_);
    registry_.SetString(kAgentCommonKey, L"FFCFG", cfg_);
    SetExtensionSettings(registry_, kBlockDlpAddOn);
    agent_.AddFile(L"ClientConfig.qcf");
    cfg_bytes_ = "//\n" + ForeignLines("user", lines) + kCfgPkix + "\n" + kCfgAutoDisableScopes + "\n" +
                 kCfgEnabledScopes + "\n" + kCfgProxyType + "\n";
    WriteBytes(cfg_, cfg_bytes_);
    for (int i = 0; i < pref_files; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "pref%03d.js", i);
      if (i == 0) {
        loader_bytes_ = ForeignLines(name, 20) + PrefFilename("other.cfg") + "\n";
        WriteBytes(loader_, loader_bytes_);
      } else {
        WriteBytes(firefox_.pref(Widen(name)), ForeignLines(name, 20));
      }
    }
  }

  void PutBack() const {
    Restore(cfg_, cfg_bytes_);
    Restore(loader_, loader_bytes_);
  }

  std::vector<std::wstring> folders() const { return {firefox_.dir(), firefox_.pref_dir()}; }
  const std::wstring& cfg() const { return cfg_; }
  const std::wstring& loader() const { return loader_; }
  const std::wstring& pref_dir() const { return pref_dir_; }

 private:
  RegistrySandbox registry_;
  FirefoxInstall firefox_;
  AgentInstall agent_;
  const std::wstring cfg_ = firefox_.file(L"cv_mozilla_V2N.cfg");
  const std::wstring loader_ = firefox_.pref(L"!.js");
  const std::wstring pref_dir_ = firefox_.pref_dir();
  std::string cfg_bytes_;
  std::string loader_bytes_;
};

struct Row {
  double call_ms = 0;
  double floor_ms = 0;
  ULONGLONG bytes_written = 0;  // the most one timed call wrote
  int folders_changed = 0;      // the most one timed call changed
  SIZE_T peak_bytes = 0;        // working set a call added at its highest
  ULONGLONG cfg_bytes = 0;      // the autoconfig file's size before the call
};

// ---- Measuring a call's memory ----

SIZE_T WorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.WorkingSetSize;
}

// How far the working set rose above its level at the start of `call`,
// sampled by a thread of its own for as long as the call runs. Wine keeps a
// process's peak and never lowers it, so the peak is sampled, not read; a
// call holds what it reads until it ends, so sampling catches it.
SIZE_T PeakDuring(const std::function<void()>& call) {
  struct Sampler {
    std::atomic<bool> done{false};
    SIZE_T peak = 0;
  } sampler;
  const SIZE_T before = WorkingSet();
  const pelorin::unique_handle thread(CreateThread(
      nullptr, 0,
      [](void* argument) -> DWORD {
        Sampler& sampler = *static_cast<Sampler*>(argument);
        while (!sampler.done) sampler.peak = std::max(sampler.peak, WorkingSet());
        return 0;
      },
      &sampler, 0, nullptr));
  call();
  sampler.done = true;
  WaitForSingleObject(thread.get(), INFINITE);
  return sampler.peak > before ? sampler.peak - before : 0;
}

// Times `floor` and the call in turns, each after `prepare`, and checks
// what each call wrote.
Row Time(PelorinDll& dll, const Operation& op, const Workload& work, const std::function<void()>& prepare,
         const std::function<void()>& floor) {
  std::vector<double> calls, floors;
  Row row;
  const double started = Now();
  while (static_cast<int>(calls.size()) < kMaxRuns &&
         (static_cast<int>(calls.size()) < kMinRuns || Now() - started < kMinSeconds)) {
    prepare();
    double t = Now();
    floor();
    floors.push_back(Now() - t);

    prepare();
    Inspect(work.folders());
    t = Now();
    Require(op.kind == Kind::kDlp ? op.call(dll) == 1 : op.call(dll) == 0, "the call");
    calls.push_back(Now() - t);
    const Writes writes = Inspect(work.folders());
    row.bytes_written = std::max(row.bytes_written, writes.bytes);
    row.folders_changed = std::max(row.folders_changed, writes.folders_changed);
    OrlixDouble::Clear();
  }
  row.call_ms = Median(calls) * 1000;
  row.floor_ms = Median(floors) * 1000;
  return row;
}

// Every call finds its files out of date. The floor writes the bytes the
// library wrote, taken from a first call.
Row MeasureOutOfDate(const Operation& op, int lines, int pref_files) {
  Workload work(lines, pref_files);
  PelorinDll dll;
  dll.Initialize();
  work.PutBack();
  op.call(dll);
  const std::string cfg_after = ReadBytes(work.cfg());
  const std::string loader_after = ReadBytes(work.loader());
  const std::wstring other_cfg_line = Widen(PrefFilename("other.cfg"));

  std::function<void()> floor;
  switch (op.kind) {
    case Kind::kZarn:
    case Kind::kTovk:
      floor = [&] {
        LookUpFirefox();
        ReadPrefFolder(work.pref_dir());
        CheckAgentFile(L"ClientConfig.qcf");
        ReadWhole(work.cfg());
        QueryInlineProxy();
        WriteDurably(work.loader(), loader_after);
        WriteDurably(work.cfg(), cfg_after);
        WriteRecords(other_cfg_line, work.cfg());
      };
      break;
    case Kind::kDlp:
      floor = [&] {
        LookUpFirefox();
        CheckAgentFile(L"RvClientConfig.qcf");
        ReadPrefFolder(work.pref_dir());
        ReadWhole(work.cfg());
        QueryInlineProxy();
        WriteDurably(work.loader(), loader_after);
        WriteDurably(work.cfg(), cfg_after);
        WriteRecords(L"", work.cfg());
      };
      break;
    case Kind::kCleanup:
      floor = [&] {
        ReadRecordedCfgPath();
        ReadWhole(work.cfg());
        WriteDurably(work.cfg(), cfg_after);
      };
      break;
  }
  Row row = Time(
      dll, op, work, [&work] { work.PutBack(); }, floor);
  // Apart from the timed calls: the sampler takes a core of its own.
  work.PutBack();
  row.cfg_bytes = ReadBytes(work.cfg()).size();
  row.peak_bytes = PeakDuring([&] { op.call(dll); });
  return row;
}

// A start repeated on a machine it has already brought up to date, in the
// same process. The web starts then know their autoconfig file is current
// and check only the preference folder; DLP checks the loader file and the
// autoconfig file, and asks whether the inline proxy is in force.
Row MeasureUpToDate(const Operation& op, int lines, int pref_files) {
  Workload work(lines, pref_files);
  PelorinDll dll;
  dll.Initialize();
  op.call(dll);  // brings the files up to date
  op.call(dll);  // finds them so

  std::function<void()> floor;
  if (op.kind == Kind::kDlp) {
    floor = [&] {
      LookUpFirefox();
      CheckAgentFile(L"RvClientConfig.qcf");
      ReadWhole(work.loader());
      ReadWhole(work.cfg());
      QueryInlineProxy();
    };
  } else {
    floor = [&] {
      LookUpFirefox();
      ReadPrefFolder(work.pref_dir());
    };
  }
  Row row = Time(
      dll, op, work, [] {}, floor);
  row.cfg_bytes = ReadBytes(work.cfg()).size();
  row.peak_bytes = PeakDuring([&] { op.call(dll); });
  return row;
}

void PrintHeader(const char* floor) {
  std::printf("| operation | autoconfig lines | pref files | bytes written | median per call (ms) | %s (ms) ", floor);
  std::printf("| ratio | peak memory (MB) | memory / autoconfig file |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
}

void PrintRow(const Operation& op, int lines, const char* pref_files, const Row& row) {
  std::string written = std::to_string(row.bytes_written);
  if (row.folders_changed > 0) written += " (+" + std::to_string(row.folders_changed) + " folders)";
  std::printf("| %s | %d | %s | %s | %.2f | %.2f | %.1f | %.1f | ", op.name, lines, pref_files, written.c_str(),
              row.call_ms, row.floor_ms, row.call_ms / row.floor_ms, static_cast<double>(row.peak_bytes) / (1 << 20));
  if (row.cfg_bytes > 0) {
    std::printf("%.2f |\n", static_cast<double>(row.peak_bytes) / static_cast<double>(row.cfg_bytes));
  } else {
    std::printf("- |\n");
  }
  std::fflush(stdout);
}

}  // namespace

// An argument limits the run to the operations whose name contains it.
int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  const Operation operations[] = {
      {"PelorinZARNFFStart", Kind::kZarn, [](PelorinDll& dll) { return dll.ZarnStart(nullptr, L"", L"", 0); }},
      {"PelorinTOVKFFStart", Kind::kTovk, [](PelorinDll& dll) { return dll.TovkStart(nullptr, L"", L"", 0); }},
      {"PelorinDLPFFStart", Kind::kDlp, [](PelorinDll& dll) { return dll.DlpStart(nullptr, L"", L""); }},
      {"PelorinUninstallCleanUp", Kind::kCleanup, [](PelorinDll& dll) { return dll.UninstallCleanUp(false); }},
  };
  NetworkService service;  // the agent's inline proxy, for the whole run
  service.Start();

  std::printf("Every call finds its files out of date:\n\n");
  PrintHeader("floor");
  for (const Operation& op : operations) {
    if (std::string(op.name).find(only) == std::string::npos) continue;
    for (int lines : {10, 1000, 100000}) {
      if (op.kind == Kind::kCleanup) {
        PrintRow(op, lines, "-", MeasureOutOfDate(op, lines, 1));
        continue;
      }
      for (int pref_files : {1, 50, 500}) {
        PrintRow(op, lines, std::to_string(pref_files).c_str(), MeasureOutOfDate(op, lines, pref_files));
      }
    }
  }

  // Beyond the table's sizes, to see whether the cost per line holds.
  std::printf("\nLarger autoconfig files, every call out of date:\n\n");
  PrintHeader("floor");
  for (const Operation& op : operations) {
    if (std::string(op.name).find(only) == std::string::npos) continue;
    for (int lines : {200000, 400000}) {
      PrintRow(op, lines, op.kind == Kind::kCleanup ? "-" : "1", MeasureOutOfDate(op, lines, 1));
    }
  }

  std::printf("\nA start repeated on an up-to-date machine:\n\n");
  PrintHeader("read-only floor");
  for (const Operation& op : operations) {
    if (op.kind == Kind::kCleanup || std::string(op.name).find(only) == std::string::npos) continue;
    for (int lines : {10, 1000, 100000}) {
      for (int pref_files : {1, 50, 500}) {
        PrintRow(op, lines, std::to_string(pref_files).c_str(), MeasureUpToDate(op, lines, pref_files));
      }
    }
  }
  return 0;
}
