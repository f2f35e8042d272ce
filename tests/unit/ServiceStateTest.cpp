// The service query against the test prefix's real Service Control Manager.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

#include "NetworkService.h"
#include "proxy/ServiceState.h"

using namespace testing_support;
using pelorin::service_state_query;

namespace {

// Replaces one entry of this executable's import table while alive. The
// library's objects are linked into the executable, so its Windows calls go
// through that table and can be watched there.
class ImportPatch {
 public:
  ImportPatch(const char* function, void* replacement) : slot_(FindSlot(function)), original_(*slot_) {
    Write(replacement);
  }
  ~ImportPatch() { Write(original_); }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  void* original() const { return original_; }

 private:
  static void** FindSlot(const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); module->Name;
         ++module) {
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
      auto* slots = reinterpret_cast<void**>(base + module->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(name->Name), function) == 0) return slots;
      }
    }
    throw std::runtime_error(std::string("not imported: ") + function);
  }

  void Write(void* value) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, old, &old);
  }

  void** slot_;
  void* original_;
};

struct Calls {
  int open_manager = 0;
  int open_service = 0;
  std::vector<SC_HANDLE> closed;
};
Calls g_calls;
ImportPatch* g_open_manager_patch = nullptr;
ImportPatch* g_open_service_patch = nullptr;
ImportPatch* g_close_patch = nullptr;

SC_HANDLE WINAPI CountOpenManager(const wchar_t* machine, const wchar_t* database, DWORD access) {
  ++g_calls.open_manager;
  return reinterpret_cast<decltype(&OpenSCManagerW)>(g_open_manager_patch->original())(machine, database, access);
}

SC_HANDLE WINAPI CountOpenService(SC_HANDLE manager, const wchar_t* name, DWORD access) {
  ++g_calls.open_service;
  return reinterpret_cast<decltype(&OpenServiceW)>(g_open_service_patch->original())(manager, name, access);
}

BOOL WINAPI RecordClose(SC_HANDLE handle) {
  g_calls.closed.push_back(handle);
  return reinterpret_cast<decltype(&CloseServiceHandle)>(g_close_patch->original())(handle);
}

// Watches the manager calls made while alive; the test fixtures' own calls
// go through the same table, so keep them outside a watch.
class ServiceCallWatch {
 public:
  ServiceCallWatch()
      : open_manager_("OpenSCManagerW", reinterpret_cast<void*>(&CountOpenManager)),
        open_service_("OpenServiceW", reinterpret_cast<void*>(&CountOpenService)),
        close_("CloseServiceHandle", reinterpret_cast<void*>(&RecordClose)) {
    g_calls = Calls();
    g_open_manager_patch = &open_manager_;
    g_open_service_patch = &open_service_;
    g_close_patch = &close_;
  }
 private:
  ImportPatch open_manager_;
  ImportPatch open_service_;
  ImportPatch close_;
};

void ExpectResult(const pelorin::service_result<>& result, int32_t value, int32_t failed,
                  const std::wstring& message) {
  EXPECT_EQ(result.value, value);
  EXPECT_EQ(result.failed, failed);
  EXPECT_EQ(result.message, message);
}

TEST(ServiceState, NotInstalledKeepsTheManagerOpenAndClosesItAlone) {
  NetworkService::Remove();
  ServiceCallWatch watch;
  SC_HANDLE manager = nullptr;
  {
    service_state_query query(L"cvtelonetworksvc");
    ExpectResult(query.is_running(), 0, 1,
                 L"Cannot determine state of 'cvtelonetworksvc' due to the following error: "
                 L"Cannot open 'cvtelonetworksvc' service (1060)");
    manager = query.manager();
    EXPECT_NE(manager, nullptr);
    EXPECT_EQ(query.service(), nullptr);
  }
  EXPECT_EQ(g_calls.closed, std::vector<SC_HANDLE>{manager});
}

TEST(ServiceState, OnlyTheRunningStateCountsAsRunning) {
  NetworkService service;
  service_state_query installed(L"cvtelonetworksvc");
  ExpectResult(installed.is_running(), 0, 0, L"");  // stopped

  service.StartPending();
  ExpectResult(service_state_query(L"cvtelonetworksvc").is_running(), 0, 0, L"");
  service.Stop();

  service.Start();
  ExpectResult(service_state_query(L"cvtelonetworksvc").is_running(), 1, 0, L"");
}

TEST(ServiceState, OpensOnceQueriesEachTimeAndClosesServiceBeforeManager) {
  NetworkService service;
  service.Start();
  SC_HANDLE manager = nullptr;
  SC_HANDLE opened = nullptr;
  {
    std::optional<ServiceCallWatch> watch(std::in_place);
    service_state_query query(L"cvtelonetworksvc");
    ExpectResult(query.is_running(), 1, 0, L"");
    ExpectResult(query.is_running(), 1, 0, L"");
    EXPECT_EQ(g_calls.open_manager, 1);
    EXPECT_EQ(g_calls.open_service, 1);
    manager = query.manager();
    opened = query.service();

    watch.reset();  // the fixture's own calls are not the query's
    service.Stop();
    watch.emplace();
    ExpectResult(query.is_running(), 0, 0, L"");  // the same handles see the stop
    EXPECT_EQ(g_calls.open_manager, 0);
    EXPECT_EQ(g_calls.open_service, 0);
  }  // the query goes before the watch
  EXPECT_EQ(g_calls.closed, (std::vector<SC_HANDLE>{opened, manager}));
}

TEST(ServiceState, InnerStepsDescribeTheirOwnFailures) {
  // No handles yet: Windows rejects the null handle itself.
  service_state_query query(L"no such");
  SERVICE_STATUS_PROCESS status = {};
  ExpectResult(query.query_status(status), 0, 1, L"Cannot obtain information about the service (6)");
  pelorin::service_result<pelorin::service_handle> opened = query.open_service();
  EXPECT_FALSE(opened.value);
  EXPECT_EQ(opened.failed, 1);
  EXPECT_EQ(opened.message, L"Cannot open 'no such' service (6)");
}

}  // namespace
