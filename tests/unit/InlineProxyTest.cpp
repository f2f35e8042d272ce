// Whether the inline proxy is in force: the network service's state, asked of
// a Service Control Manager faked through the import table, and Firefox's
// ExtensionSettings policy in the registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <utility>
#include <vector>

#include "FakeInputs.h"
#include "ImportSlot.h"
#include "Registry.h"
#include "proxy/InlineProxy.h"
#include "proxy/ServiceState.h"

using namespace testing_support;
// The library is linked into this executable: its calls go through these slots.
extern "C" decltype(&OpenSCManagerW) __imp_OpenSCManagerW;
extern "C" decltype(&OpenServiceW) __imp_OpenServiceW;
extern "C" decltype(&QueryServiceStatusEx) __imp_QueryServiceStatusEx;
extern "C" decltype(&CloseServiceHandle) __imp_CloseServiceHandle;

namespace {

// What the faked manager answers; 0 for an open that succeeds.
struct Scm {
  static inline DWORD manager_error = 0, service_error = 0, query_error = 0, state = SERVICE_RUNNING;
  static inline std::vector<uintptr_t> closed;

  static SC_HANDLE Handle(uintptr_t value) { return reinterpret_cast<SC_HANDLE>(value); }
  static SC_HANDLE WINAPI OpenManager(LPCWSTR, LPCWSTR, DWORD) {
    SetLastError(manager_error);
    return manager_error == 0 ? Handle(1) : nullptr;
  }
  static SC_HANDLE WINAPI OpenService(SC_HANDLE manager, LPCWSTR name, DWORD) {
    SetLastError(service_error);
    return manager == Handle(1) && std::wstring(name) == L"cvtelonetworksvc" && service_error == 0 ? Handle(2)
                                                                                                   : nullptr;
  }
  static BOOL WINAPI Query(SC_HANDLE service, SC_STATUS_TYPE, BYTE* buffer, DWORD size, DWORD*) {
    if (service != Handle(2) || size < sizeof(SERVICE_STATUS_PROCESS) || query_error != 0) {
      SetLastError(query_error);
      return FALSE;
    }
    reinterpret_cast<SERVICE_STATUS_PROCESS*>(buffer)->dwCurrentState = state;
    return TRUE;
  }
  static BOOL WINAPI Close(SC_HANDLE handle) {
    closed.push_back(reinterpret_cast<uintptr_t>(handle));
    return TRUE;
  }
};

// The fake manager in place for one scope, however the scope ends.
struct FakeScm {
  FakeScm() {
    Scm::manager_error = Scm::service_error = Scm::query_error = 0;
    Scm::state = SERVICE_RUNNING;
    Scm::closed.clear();
    Swap();
  }
  ~FakeScm() { Swap(); }
  // The slots are read-only once loaded.
  void Swap() {
    open_manager = Exchange(__imp_OpenSCManagerW, open_manager);
    open_service = Exchange(__imp_OpenServiceW, open_service);
    query = Exchange(__imp_QueryServiceStatusEx, query);
    close = Exchange(__imp_CloseServiceHandle, close);
  }
  template <typename Function>
  static Function Exchange(Function& slot, Function function) {
    const Function old = slot;
    SetImportSlot(slot, function);
    return old;
  }
  decltype(&OpenSCManagerW) open_manager = &Scm::OpenManager;
  decltype(&OpenServiceW) open_service = &Scm::OpenService;
  decltype(&QueryServiceStatusEx) query = &Scm::Query;
  decltype(&CloseServiceHandle) close = &Scm::Close;
};

// Only SERVICE_RUNNING is running: pending and paused states are not, nor a
// manager or a service that cannot be opened or asked. Every handle opened
// is closed, the service's before the manager's.
TEST(ServiceState, OnlyARunningServiceRuns) {
  const struct {
    DWORD manager_error, service_error, query_error, state;
    bool running;
    std::vector<uintptr_t> closed;
  } rows[] = {
      {0, 0, 0, SERVICE_RUNNING, true, {2, 1}},
      {0, 0, 0, SERVICE_STOPPED, false, {2, 1}},
      {0, 0, 0, SERVICE_START_PENDING, false, {2, 1}},
      {0, 0, 0, SERVICE_STOP_PENDING, false, {2, 1}},
      {0, 0, 0, SERVICE_CONTINUE_PENDING, false, {2, 1}},
      {0, 0, 0, SERVICE_PAUSE_PENDING, false, {2, 1}},
      {0, 0, 0, SERVICE_PAUSED, false, {2, 1}},
      {ERROR_ACCESS_DENIED, 0, 0, SERVICE_RUNNING, false, {}},
      {0, ERROR_SERVICE_DOES_NOT_EXIST, 0, SERVICE_RUNNING, false, {1}},
      {0, 0, ERROR_ACCESS_DENIED, SERVICE_RUNNING, false, {2, 1}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeScm scm;
    Scm::manager_error = row.manager_error;
    Scm::service_error = row.service_error;
    Scm::query_error = row.query_error;
    Scm::state = row.state;
    {
      pelorin::service_state_query query(L"cvtelonetworksvc");
      EXPECT_EQ(query.is_running().value, row.running);
      EXPECT_EQ(query.is_running().value, row.running);  // asked again: nothing opened twice
    }
    EXPECT_EQ(Scm::closed, row.closed);
  }
}

// With the service running, the policy decides, exactly as written: the
// DLP add-on's first entry, its installation_mode holding "blocked". Each
// step that stops the decision says why; a policy text is parsed silently.
TEST(InlineProxy, ServiceThenPolicyDecide) {
  const std::wstring blocked = L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}";
  auto entry = [](const std::wstring& id, const std::wstring& mode) {
    return L"\"" + id + L"\":{\"installation_mode\":\"" + mode + L"\"}";
  };
  const std::wstring dlp = L"dlp@tervia.com";
  enum { kStopped, kNoKey, kNoValue, kText, kMultiText };
  const struct {
    int setup;
    std::wstring json;
    bool answer;
    std::vector<std::wstring> messages;
  } rows[] = {
      {kStopped, blocked, false, {L"NetworkProxy service is NOT running"}},
      {kNoKey, L"", false, {L"Unable to open registry ExtensionSettings."}},
      {kNoValue, L"", false, {L"Failed to read ExtensionSettings registry value."}},
      {kText, blocked, true, {}},
      {kMultiText, blocked, true, {}},
      {kText, L"{" + entry(dlp, L"force_blocked_now") + L"}", true, {}},
      {kText, L"{" + entry(dlp, L"Blocked") + L"}", false, {}},
      {kText, L"{" + entry(L"DLP@tervia.com", L"blocked") + L"}", false, {}},
      {kText, L"{" + entry(dlp, L"allowed") + L"," + entry(dlp, L"blocked") + L"}", false, {}},
      {kText, L"{" + entry(dlp, L"blocked") + L"," + entry(dlp, L"allowed") + L"}", true, {}},
      {kText, L"{\"dlp@tervia.com\":\"blocked\"}", false, {}},
      {kText, L"installation_mode blocked", false, {}},
      {kText, std::wstring(100000, L'[') + std::wstring(100000, L']'), false, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeScm scm;
    if (row.setup == kStopped) Scm::state = SERVICE_STOPPED;
    RegistrySandbox registry;
    if (row.setup == kNoValue) registry.CreateKey(kFirefoxPolicyKey);
    // A list of strings reads as the strings one after another, each ended.
    if (row.setup == kMultiText)
      registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", row.json + L'\0', REG_MULTI_SZ);
    if (row.setup == kText || row.setup == kStopped)
      registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", row.json);
    LogRecorder log;
    EXPECT_EQ(pelorin::IsInlineProxyEnabled(), row.answer);
    EXPECT_EQ(LogRecorder::Messages(), row.messages);
  }
}

// Handles open in this process: Wine counts none, so each value is tried.
long OpenHandles() {
  long handles = 0;
  DWORD flags = 0;
  for (uintptr_t value = 4; value < (1u << 16); value += 4) {
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
  }
  return handles;
}

// The agent asks at every start: the policy key is given back each time.
TEST(InlineProxy, GivesBackThePolicyKey) {
  FakeScm scm;
  RegistrySandbox registry;
  registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", L"{}");
  LogRecorder log;
  const long before = OpenHandles();
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(pelorin::IsInlineProxyEnabled());
  EXPECT_EQ(OpenHandles(), before);
}

}  // namespace
