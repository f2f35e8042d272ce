// The service query against the prefix's real manager, and the policy value.
#include <gtest/gtest.h>
#include <windows.h>
#include <tuple>
#include <vector>
#include "NetworkService.h"
#include "Registry.h"
#include "proxy/PolicyReader.h"
#include "proxy/ServiceState.h"

using namespace testing_support;
using namespace std::string_literals;
// The library is linked into this executable: its calls go through these slots.
extern "C" decltype(&OpenServiceW) __imp_OpenServiceW;
extern "C" decltype(&CloseServiceHandle) __imp_CloseServiceHandle;
namespace {
template <typename Function>
void SetSlot(Function& slot, Function value) {
  DWORD old = 0;
  VirtualProtect(&slot, sizeof value, PAGE_READWRITE, &old);
  slot = value;
  VirtualProtect(&slot, sizeof value, old, &old);
}
const auto kOpenService = __imp_OpenServiceW;
const auto kClose = __imp_CloseServiceHandle;
int g_opened = 0;
std::vector<SC_HANDLE> g_closed;
SC_HANDLE WINAPI CountOpen(SC_HANDLE scm, const wchar_t* name, DWORD access) { return ++g_opened, kOpenService(scm, name, access); }
BOOL WINAPI RecordClose(SC_HANDLE handle) { return g_closed.push_back(handle), kClose(handle); }
void Expect(const pelorin::service_result& result, int32_t value, int32_t failed) {
  EXPECT_EQ(std::make_tuple(result.value, result.failed), std::make_tuple(value, failed));
}

TEST(ServiceState, RunningStoppedNotInstalledAndHandlesOpenedOnce) {
  NetworkService::Remove();
  Expect(pelorin::service_state_query(L"cvtelonetworksvc").is_running(), 0, 1);
  NetworkService service;
  service.Start();
  SC_HANDLE manager = nullptr, opened = nullptr;
  {
    pelorin::service_state_query query(L"cvtelonetworksvc");
    Expect(query.is_running(), 1, 0);
    manager = query.manager(), opened = query.service();
    service.Stop();
    SetSlot(__imp_OpenServiceW, &CountOpen);
    Expect(query.is_running(), 0, 0);  // the same handles see the stop
    SetSlot(__imp_OpenServiceW, kOpenService);
    EXPECT_EQ(g_opened, 0);
    SetSlot(__imp_CloseServiceHandle, &RecordClose);
  }
  SetSlot(__imp_CloseServiceHandle, kClose);
  EXPECT_EQ(g_closed, (std::vector<SC_HANDLE>{opened, manager}));
}

TEST(PolicyReader, ValuesAndTheirText) {
  auto bytes = [](const std::wstring& t) { return std::string(reinterpret_cast<const char*>(t.data()), t.size() * 2); };
  const std::wstring kPrevious = L"previous";  // left alone when nothing is read
  const struct {
    DWORD type;  // 0: no value
    std::string bytes;
    LONG status;
    std::wstring text;
  } cases[] = {
      {REG_SZ, bytes(L"{\"a\":\"b\"}"s + L'\0'), 0, L"{\"a\":\"b\"}"},
      {REG_SZ, bytes(L"{\"a\":\"b\"}"), 0, L"{\"a\":\"b\""},  // no terminator: the last character is lost
      {REG_MULTI_SZ, bytes(L"{"s + L'\0' + L"\"a\":1" + L'\0' + L"}" + L'\0' + L'\0'), 0, L"{\n\"a\":1\n}\n"},
      {REG_SZ, bytes(L"\0"s), 0, L""},
      {REG_SZ, bytes(L"{}") + "}", 0, L"{"},  // an odd last byte goes with the last character
      {REG_SZ, bytes(L"{}"s + L'\0' + L"tail" + L'\0'), 0, L"{}"s + L'\0' + L"tail"},
      {REG_EXPAND_SZ, bytes(L"{}"s + L'\0'), ERROR_INVALID_DATA, kPrevious},
      {REG_BINARY, bytes(L"{}"s + L'\0'), ERROR_INVALID_DATA, kPrevious},
      {REG_DWORD, "\x01\0\0\0", ERROR_INVALID_DATA, kPrevious},
      {REG_SZ, "", ERROR_INVALID_DATA, kPrevious},   // no room even for a terminator
      {REG_SZ, "{", ERROR_INVALID_DATA, kPrevious},
      {0, "", ERROR_FILE_NOT_FOUND, kPrevious},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.CreateKey(kFirefoxPolicyKey);
    const std::string buffer = c.bytes + "XX";  // else Wine terminates string data followed by a NUL
    if (c.type) registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", c.type, buffer.data(), DWORD(c.bytes.size()));
    pelorin::unique_hkey owned;
    std::wstring text = kPrevious;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirefoxPolicyKey, 0, KEY_READ, owned.put()), ERROR_SUCCESS);
    HKEY key = owned.get();
    EXPECT_EQ(pelorin::read_extension_settings(key, text), c.status) << "row " << &c - cases;
    EXPECT_EQ(text, c.text) << "row " << &c - cases;
  }
}
}  // namespace
