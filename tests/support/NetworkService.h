// The agent's network service as a real Windows service in the test prefix's
// Service Control Manager, backed by bin\pelorin_test_service.exe.
#pragma once

#include <windows.h>

namespace testing_support {

inline constexpr wchar_t kNetworkServiceName[] = L"cvtelonetworksvc";

// Construction removes any leftover of an earlier run and installs the
// service, stopped. Destruction stops and removes it. Every wait is bounded;
// a failure throws std::runtime_error instead of hanging.
class NetworkService {
 public:
  NetworkService();
  ~NetworkService();
  NetworkService(const NetworkService&) = delete;
  NetworkService& operator=(const NetworkService&) = delete;

  void Start();         // returns once the service reports SERVICE_RUNNING
  void StartPending();  // returns once it sits in SERVICE_START_PENDING, where it stays
  void Stop();          // returns once it reports SERVICE_STOPPED

  // Stops and deletes the service when installed, and waits until it is gone.
  static void Remove();
};

}  // namespace testing_support
