#include "NetworkService.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "Files.h"
#include "base/UniqueHandle.h"

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;
using Handle = pelorin::unique_sc_handle;
constexpr auto kWaitLimit = std::chrono::seconds(20);
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr int kAttempts = 4;

[[noreturn]] void Fail(const std::string& what, DWORD code) {
  throw std::runtime_error("network service: " + what + " failed (" + std::to_string(code) + ")");
}

Handle OpenManager() {
  Handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) Fail("OpenSCManagerW", GetLastError());
  return manager;
}

// Empty with the error code in `error` when the service is not there.
Handle OpenNetworkService(const Handle& manager, DWORD& error) {
  Handle service(OpenServiceW(manager.get(), kNetworkServiceName, SERVICE_ALL_ACCESS));
  error = service ? ERROR_SUCCESS : GetLastError();
  return service;
}

DWORD CurrentState(const Handle& service) {
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                            &needed)) {
    Fail("QueryServiceStatusEx", GetLastError());
  }
  return status.dwCurrentState;
}

// Polls `done` until it holds; `what` and the last code name the failure.
template <typename Done>
void WaitFor(const std::string& what, Done done) {
  const auto deadline = Clock::now() + kWaitLimit;
  for (DWORD code = 0; !done(code); std::this_thread::sleep_for(kPoll)) {
    if (Clock::now() > deadline) Fail("waiting for " + what, code);
  }
}

void WaitForState(const Handle& service, DWORD wanted) {
  WaitFor("state " + std::to_string(wanted), [&](DWORD& state) { return (state = CurrentState(service)) == wanted; });
}

void StopAndWait(const Handle& service) {
  SERVICE_STATUS status = {};
  if (CurrentState(service) != SERVICE_STOPPED && !ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
      GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
    Fail("ControlService(stop)", GetLastError());
  }
  WaitForState(service, SERVICE_STOPPED);
}

void Create(const Handle& manager) {
  const std::wstring command = L"\"" + ExecutableDir() + L"\\pelorin_test_service.exe\"";
  // An earlier instance may still be on its way out.
  WaitFor("the creation", [&](DWORD& error) {
    Handle service(CreateServiceW(manager.get(), kNetworkServiceName, kNetworkServiceName, SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    error = service ? ERROR_SUCCESS : GetLastError();
    if (!service && error != ERROR_SERVICE_MARKED_FOR_DELETE) Fail("CreateServiceW", error);
    return static_cast<bool>(service);
  });
}

// A service manager that has just come up can drop a service created a moment
// before, or time out on its first start: both go away on a second try.
void StartWithArguments(DWORD argc, const wchar_t** argv, DWORD wanted) {
  Handle manager = OpenManager();
  DWORD error = 0;
  for (int attempt = 1;; ++attempt) {
    if (attempt > kAttempts) Fail("starting the service", error);
    Handle service = OpenNetworkService(manager, error);
    if (!service) {
      if (error != ERROR_SERVICE_DOES_NOT_EXIST) Fail("OpenServiceW", error);
      Create(manager);
    } else if (CurrentState(service) == SERVICE_STOPPED && !StartServiceW(service.get(), argc, argv)) {
      error = GetLastError();
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    } else {
      return WaitForState(service, wanted);
    }
  }
}

}  // namespace

NetworkService::NetworkService() {
  Remove();
  Create(OpenManager());
}

NetworkService::~NetworkService() {
  try {
    Remove();
  } catch (const std::exception&) {
    // A destructor must not throw; the next construction cleans up.
  }
}

void NetworkService::Start() { StartWithArguments(0, nullptr, SERVICE_RUNNING); }

void NetworkService::StartPending() {
  const wchar_t* argv[] = {kNetworkServiceName, L"start-pending"};
  StartWithArguments(2, argv, SERVICE_START_PENDING);
}

void NetworkService::Stop() {
  Handle manager = OpenManager();
  DWORD error = 0;
  Handle service = OpenNetworkService(manager, error);
  if (!service) Fail("OpenServiceW", error);
  StopAndWait(service);
}

void NetworkService::Remove() {
  Handle manager = OpenManager();
  DWORD error = 0;
  if (Handle service = OpenNetworkService(manager, error)) {
    StopAndWait(service);
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
      Fail("DeleteService", GetLastError());
    }
  } else if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
    return;
  } else {
    Fail("OpenServiceW", error);
  }
  WaitFor("the deletion",
          [&](DWORD& code) { return !OpenNetworkService(manager, code) && code == ERROR_SERVICE_DOES_NOT_EXIST; });
}

}  // namespace testing_support
