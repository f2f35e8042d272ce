// Whether the inline proxy is in force: the network service's state, asked of
// a Service Control Manager faked through the import table, then Firefox's
// ExtensionSettings policy in the registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "FakeInputs.h"
#include "ImportSlot.h"
#include "Process.h"
#include "Registry.h"
#include "proxy/InlineProxy.h"

using namespace testing_support;
// The library is linked into this executable: its calls go through these slots.
extern "C" decltype(&OpenSCManagerW) __imp_OpenSCManagerW;
extern "C" decltype(&OpenServiceW) __imp_OpenServiceW;
extern "C" decltype(&QueryServiceStatusEx) __imp_QueryServiceStatusEx;
extern "C" decltype(&CloseServiceHandle) __imp_CloseServiceHandle;

namespace {

// The faked manager's answers: handle 1 is the manager, 2 the service; an
// error of 0 lets that call succeed.
DWORD g_manager_error, g_service_error, g_query_error, g_state;
std::vector<uintptr_t> g_closed;

SC_HANDLE WINAPI OpenManager(LPCWSTR, LPCWSTR, DWORD) {
  SetLastError(g_manager_error);
  return g_manager_error == 0 ? reinterpret_cast<SC_HANDLE>(1) : nullptr;
}
SC_HANDLE WINAPI OpenService(SC_HANDLE manager, LPCWSTR name, DWORD) {
  SetLastError(g_service_error);
  const bool opened = reinterpret_cast<uintptr_t>(manager) == 1 && std::wstring(name) == L"cvtelonetworksvc";
  return opened && g_service_error == 0 ? reinterpret_cast<SC_HANDLE>(2) : nullptr;
}
BOOL WINAPI Query(SC_HANDLE service, SC_STATUS_TYPE, BYTE* status, DWORD size, DWORD*) {
  SetLastError(g_query_error);
  if (reinterpret_cast<uintptr_t>(service) != 2 || size < sizeof(SERVICE_STATUS_PROCESS) || g_query_error != 0) {
    return FALSE;
  }
  reinterpret_cast<SERVICE_STATUS_PROCESS*>(status)->dwCurrentState = g_state;
  return TRUE;
}
BOOL WINAPI Close(SC_HANDLE handle) {
  g_closed.push_back(reinterpret_cast<uintptr_t>(handle));
  return TRUE;
}

// The fake manager in place for one scope, however the scope ends; it
// answers that the service runs.
struct FakeScm {
  FakeScm() {
    g_manager_error = g_service_error = g_query_error = 0;
    g_state = SERVICE_RUNNING;
    g_closed.clear();
    Swap();
  }
  ~FakeScm() { Swap(); }
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
  decltype(&OpenSCManagerW) open_manager = &OpenManager;
  decltype(&OpenServiceW) open_service = &OpenService;
  decltype(&QueryServiceStatusEx) query = &Query;
  decltype(&CloseServiceHandle) close = &Close;
};

// Only SERVICE_RUNNING is running: pending and paused states are not, nor a
// manager or a service that cannot be opened or asked; every handle opened
// is closed, the service's first. Then the policy decides, exactly as
// written: a string or a list of strings (read one after another, each
// ended), its last character taken for the terminator; the DLP add-on's
// first entry, its installation_mode holding "blocked". Each step that stops
// the decision says why; a policy text is parsed silently. The agent asks at
// every start: the policy key is given back each time.
TEST(InlineProxy, ServiceStateThenPolicy) {
  const std::wstring blocked = L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}";
  auto entry = [](const std::wstring& id, const std::wstring& mode) {
    return L"\"" + id + L"\":{\"installation_mode\":\"" + mode + L"\"}";
  };
  auto text = [](const std::wstring& json) { return Utf16Bytes(json + L'\0'); };
  const std::wstring dlp = L"dlp@tervia.com";
  const std::wstring stopped = L"NetworkProxy service is NOT running";
  const std::wstring unread = L"Failed to read ExtensionSettings registry value.";
  constexpr DWORD kNoKey = ~0u;  // a type of 0: the key without the value
  const struct {
    DWORD state;
    DWORD manager_error, service_error, query_error;
    DWORD type;
    std::string bytes;
    bool answer;
    std::wstring message;
  } rows[] = {
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(blocked), true, L""},
      {SERVICE_STOPPED, 0, 0, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_START_PENDING, 0, 0, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_STOP_PENDING, 0, 0, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_CONTINUE_PENDING, 0, 0, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_PAUSE_PENDING, 0, 0, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_PAUSED, 0, 0, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_RUNNING, ERROR_ACCESS_DENIED, 0, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_RUNNING, 0, ERROR_SERVICE_DOES_NOT_EXIST, 0, REG_SZ, text(blocked), false, stopped},
      {SERVICE_RUNNING, 0, 0, ERROR_ACCESS_DENIED, REG_SZ, text(blocked), false, stopped},
      {SERVICE_RUNNING, 0, 0, 0, kNoKey, "", false, L"Unable to open registry ExtensionSettings."},
      {SERVICE_RUNNING, 0, 0, 0, 0, "", false, unread},
      {SERVICE_RUNNING, 0, 0, 0, REG_EXPAND_SZ, text(blocked), false, unread},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, "", false, unread},                // no room even for a terminator
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, Utf16Bytes(blocked), false, L""},  // its last "}" read as the terminator
      {SERVICE_RUNNING, 0, 0, 0, REG_MULTI_SZ,
       text(L"{\"dlp@tervia.com\":") + text(L"{\"installation_mode\":") + text(L"\"blocked\"}}") + text(L""), true,
       L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(L"{" + entry(dlp, L"force_blocked_now") + L"}"), true, L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(L"{" + entry(dlp, L"Blocked") + L"}"), false, L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(L"{" + entry(L"DLP@tervia.com", L"blocked") + L"}"), false, L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(L"{" + entry(dlp, L"allowed") + L"," + entry(dlp, L"blocked") + L"}"),
       false, L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(L"{" + entry(dlp, L"blocked") + L"," + entry(dlp, L"allowed") + L"}"),
       true, L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(L"{\"dlp@tervia.com\":\"blocked\"}"), false, L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(L"installation_mode blocked"), false, L""},
      {SERVICE_RUNNING, 0, 0, 0, REG_SZ, text(std::wstring(100000, L'[') + std::wstring(100000, L']')), false, L""},
  };
  long handles = -1;  // after the first row, which opens the registry's own handles
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    FakeScm scm;
    g_state = row.state;
    g_manager_error = row.manager_error;
    g_service_error = row.service_error;
    g_query_error = row.query_error;
    RegistrySandbox registry;
    if (row.type != kNoKey) registry.CreateKey(kFirefoxPolicyKey);
    if (row.type != kNoKey && row.type != 0)
      registry.SetBytes(kFirefoxPolicyKey, L"ExtensionSettings", row.type, row.bytes);
    pelorin::Messages messages;
    EXPECT_EQ(pelorin::IsInlineProxyEnabled(messages), row.answer);
    EXPECT_EQ(messages, row.message.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{row.message});
    const std::vector<uintptr_t> opened = {2, 1};  // what each row opened, closed in this order
    const size_t open_count = row.manager_error != 0 ? 0 : row.service_error != 0 ? 1 : 2;
    EXPECT_EQ(g_closed, std::vector<uintptr_t>(opened.end() - open_count, opened.end()));
    if (handles < 0) handles = OpenHandles();
  }
  EXPECT_EQ(OpenHandles(), handles);
}

}  // namespace
