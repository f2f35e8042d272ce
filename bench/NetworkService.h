// The agent's network service as a real service in the prefix's Service
// Control Manager, backed by bin\pelorin_test_service.exe; and the inline
// proxy switched on the way the library detects it. Every wait is bounded: a
// failure throws std::runtime_error instead of hanging.
#pragma once

#include "Registry.h"

namespace testing_support {

inline constexpr wchar_t kNetworkServiceName[] = L"cvtelonetworksvc";

// Construction removes any leftover and installs the service, stopped;
// destruction removes it.
class NetworkService : NoCopy {
 public:
  NetworkService() {
    Remove();
    Poll("creating", [] { return Create(); });
  }
  ~NetworkService() {
    try {
      Remove();
    } catch (const std::exception&) {
    }  // the next construction cleans up
  }

  // A service manager that has just come up can drop a service created a
  // moment before, or fail its first start: both go away on a second try.
  void Start() {
    Poll("starting", [] {
      const Handle service = Open();
      if (!service)
        Create();
      else if (State(service) == SERVICE_STOPPED)
        StartServiceW(service.get(), 0, nullptr);
      return service && State(service) == SERVICE_RUNNING;
    });
  }
  static void Remove() {  // if installed
    if (const Handle service = Open()) {
      StopAndWait(service);
      DeleteService(service.get());
    }
    Poll("removing", [] { return !Open(); });
  }

 private:
  using Handle = pelorin::unique_sc_handle;

  template <typename Done>
  static void Poll(const std::string& what, Done done) {
    for (const ULONGLONG deadline = GetTickCount64() + 20000; !done(); Sleep(50)) {
      if (GetTickCount64() > deadline) throw std::runtime_error("network service: " + what + " timed out");
    }
  }
  static SC_HANDLE Manager() {  // one for the whole process
    static const Handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) throw std::runtime_error("network service: no service manager");
    return manager.get();
  }
  static Handle Open() { return Handle(OpenServiceW(Manager(), kNetworkServiceName, SERVICE_ALL_ACCESS)); }
  static bool Create() {
    const std::wstring command = L"\"" + ExecutableDir() + L"\\pelorin_test_service.exe\"";
    return static_cast<bool>(Handle(CreateServiceW(Manager(), kNetworkServiceName, kNetworkServiceName,
                                                   SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                   SERVICE_ERROR_IGNORE, command.c_str(), 0, 0, 0, 0, 0)));
  }
  static DWORD State(const Handle& service) {
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.get(), &status)) throw std::runtime_error("network service: no status");
    return status.dwCurrentState;
  }
  static void StopAndWait(const Handle& service) {
    SERVICE_STATUS status;
    Poll("stopping", [&] {
      const DWORD state = State(service);
      if (state == SERVICE_RUNNING) ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
      return state == SERVICE_STOPPED;
    });
  }
};

// An ExtensionSettings policy that blocks the agent's DLP add-on.
inline constexpr wchar_t kBlockDlpAddOn[] = L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}";

inline void SetExtensionSettings(RegistrySandbox& registry, const std::wstring& json) {
  registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", json);
}

// The inline proxy in force: the network service running and the DLP add-on
// blocked. The service goes at destruction, the policy with the sandbox.
struct InlineProxyOn {
  explicit InlineProxyOn(RegistrySandbox& registry) {
    service.Start();
    SetExtensionSettings(registry, kBlockDlpAddOn);
  }
  NetworkService service;
};

}  // namespace testing_support
