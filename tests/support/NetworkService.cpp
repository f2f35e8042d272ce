#include "NetworkService.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "Files.h"

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWaitLimit = std::chrono::seconds(20);
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr int kAttempts = 4;

class Handle {
 public:
  explicit Handle(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  SC_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  SC_HANDLE handle_;
};

[[noreturn]] void Fail(const std::string& what, DWORD code) {
  throw std::runtime_error("network service: " + what + " failed (" + std::to_string(code) + ")");
}

SC_HANDLE OpenManager() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) Fail("OpenSCManagerW", GetLastError());
  return manager;
}

// Null with the error code in `error` when the service is not there.
SC_HANDLE OpenNetworkService(SC_HANDLE manager, DWORD& error) {
  SC_HANDLE service = OpenServiceW(manager, kNetworkServiceName, SERVICE_ALL_ACCESS);
  error = service == nullptr ? GetLastError() : ERROR_SUCCESS;
  return service;
}

DWORD CurrentState(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                            &needed)) {
    Fail("QueryServiceStatusEx", GetLastError());
  }
  return status.dwCurrentState;
}

void WaitForState(SC_HANDLE service, DWORD wanted) {
  auto deadline = Clock::now() + kWaitLimit;
  DWORD state = CurrentState(service);
  while (state != wanted) {
    if (Clock::now() > deadline) Fail("waiting for state " + std::to_string(wanted), state);
    std::this_thread::sleep_for(kPoll);
    state = CurrentState(service);
  }
}

void WaitUntilGone(SC_HANDLE manager) {
  auto deadline = Clock::now() + kWaitLimit;
  for (;;) {
    DWORD error = 0;
    Handle service(OpenNetworkService(manager, error));
    if (!service && error == ERROR_SERVICE_DOES_NOT_EXIST) return;
    if (Clock::now() > deadline) Fail("waiting for the deletion", error);
    std::this_thread::sleep_for(kPoll);
  }
}

void StopAndWait(SC_HANDLE service) {
  if (CurrentState(service) == SERVICE_STOPPED) return;
  SERVICE_STATUS status = {};
  if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    DWORD error = GetLastError();
    if (error != ERROR_SERVICE_NOT_ACTIVE) Fail("ControlService(stop)", error);
  }
  WaitForState(service, SERVICE_STOPPED);
}

void Create(SC_HANDLE manager) {
  std::wstring command = L"\"" + ExecutableDir() + L"\\pelorin_test_service.exe\"";
  auto deadline = Clock::now() + kWaitLimit;
  for (;;) {
    Handle service(CreateServiceW(manager, kNetworkServiceName, kNetworkServiceName, SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (service) return;
    DWORD error = GetLastError();
    // An earlier instance may still be on its way out.
    if (error != ERROR_SERVICE_MARKED_FOR_DELETE || Clock::now() > deadline) Fail("CreateServiceW", error);
    std::this_thread::sleep_for(kPoll);
  }
}

// A service manager that has just come up can drop a service created a moment
// before, or time out on its first start: both go away on a second try.
void StartWithArguments(DWORD argc, const wchar_t** argv, DWORD wanted) {
  Handle manager(OpenManager());
  DWORD error = 0;
  for (int attempt = 1;; ++attempt) {
    if (attempt > kAttempts) Fail("starting the service", error);
    Handle service(OpenNetworkService(manager.get(), error));
    if (!service) {
      if (error != ERROR_SERVICE_DOES_NOT_EXIST) Fail("OpenServiceW", error);
      Create(manager.get());
      continue;
    }
    if (CurrentState(service.get()) == SERVICE_STOPPED && !StartServiceW(service.get(), argc, argv)) {
      error = GetLastError();
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      continue;
    }
    WaitForState(service.get(), wanted);
    return;
  }
}

}  // namespace

NetworkService::NetworkService() {
  Remove();
  Handle manager(OpenManager());
  Create(manager.get());
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
  Handle manager(OpenManager());
  DWORD error = 0;
  Handle service(OpenNetworkService(manager.get(), error));
  if (!service) Fail("OpenServiceW", error);
  StopAndWait(service.get());
}

DWORD NetworkService::State() {
  Handle manager(OpenManager());
  DWORD error = 0;
  Handle service(OpenNetworkService(manager.get(), error));
  if (!service) return 0;
  return CurrentState(service.get());
}

void NetworkService::Remove() {
  Handle manager(OpenManager());
  {
    DWORD error = 0;
    Handle service(OpenNetworkService(manager.get(), error));
    if (!service) {
      if (error == ERROR_SERVICE_DOES_NOT_EXIST) return;
      Fail("OpenServiceW", error);
    }
    StopAndWait(service.get());
    if (!DeleteService(service.get())) {
      error = GetLastError();
      if (error != ERROR_SERVICE_MARKED_FOR_DELETE) Fail("DeleteService", error);
    }
  }
  WaitUntilGone(manager.get());
}

}  // namespace testing_support
