// The service query against the test prefix's real Service Control Manager.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <vector>

#include "ImportPatch.h"
#include "NetworkService.h"
#include "proxy/ServiceState.h"

using namespace testing_support;
using pelorin::service_state_query;

namespace {

struct Calls {
  int open_manager = 0, open_service = 0;
  std::vector<SC_HANDLE> closed;
} g_calls;

// Counts the manager calls made while alive; the fixtures' own calls go
// through the same table, so keep them outside a watch.
class ServiceCallWatch {
 public:
  ServiceCallWatch() {
    g_calls = Calls();
    self = this;
  }

 private:
  static SC_HANDLE WINAPI OpenManager(const wchar_t* machine, const wchar_t* database, DWORD access) {
    ++g_calls.open_manager;
    return self->open_manager_.original<decltype(&OpenSCManagerW)>()(machine, database, access);
  }
  static SC_HANDLE WINAPI OpenService(SC_HANDLE manager, const wchar_t* name, DWORD access) {
    ++g_calls.open_service;
    return self->open_service_.original<decltype(&OpenServiceW)>()(manager, name, access);
  }
  static BOOL WINAPI Close(SC_HANDLE handle) {
    g_calls.closed.push_back(handle);
    return self->close_.original<decltype(&CloseServiceHandle)>()(handle);
  }

  static inline ServiceCallWatch* self = nullptr;
  ImportPatch open_manager_{"OpenSCManagerW", reinterpret_cast<void*>(&OpenManager)};
  ImportPatch open_service_{"OpenServiceW", reinterpret_cast<void*>(&OpenService)};
  ImportPatch close_{"CloseServiceHandle", reinterpret_cast<void*>(&Close)};
};

template <typename Value>
void ExpectResult(const pelorin::service_result<Value>& result, bool value, int32_t failed,
                  const std::wstring& message) {
  EXPECT_EQ(static_cast<bool>(result.value), value);
  EXPECT_EQ(result.failed, failed);
  EXPECT_EQ(result.message, message);
}

pelorin::service_result<> IsRunning() { return service_state_query(L"cvtelonetworksvc").is_running(); }

TEST(ServiceState, OnlyTheRunningStateCountsAsRunning) {
  NetworkService::Remove();
  ExpectResult(IsRunning(), 0, 1,
               L"Cannot determine state of 'cvtelonetworksvc' due to the following error: "
               L"Cannot open 'cvtelonetworksvc' service (1060)");
  NetworkService service;
  ExpectResult(IsRunning(), 0, 0, L"");  // stopped
  service.StartPending();
  ExpectResult(IsRunning(), 0, 0, L"");
  service.Stop();
  service.Start();
  ExpectResult(IsRunning(), 1, 0, L"");
}

TEST(ServiceState, OpensOnceQueriesEachTimeAndClosesServiceBeforeManager) {
  NetworkService::Remove();
  SC_HANDLE manager = nullptr, opened = nullptr;
  {
    ServiceCallWatch watch;
    {
      service_state_query query(L"cvtelonetworksvc");
      query.is_running();
      manager = query.manager();
      EXPECT_NE(manager, nullptr);
      EXPECT_EQ(query.service(), nullptr);
    }
    EXPECT_EQ(g_calls.closed, std::vector<SC_HANDLE>{manager});
  }

  NetworkService service;
  service.Start();
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
  ExpectResult(query.open_service(), false, 1, L"Cannot open 'no such' service (6)");
}

}  // namespace
