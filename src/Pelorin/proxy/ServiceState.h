// Whether a Windows service is running, asked of the Service Control Manager.
// Failures come back as results with an English description, never thrown
// and never logged: the caller decides what they are worth.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/UniqueHandle.h"

namespace pelorin {

// The manager's handle and the service's close the same way.
using service_handle = unique_sc_handle;

// `value` is empty or 0 whenever `failed` is 1; `message` is empty whenever
// `failed` is 0.
template <typename Value = int32_t>
struct service_result {
  Value value{};
  int32_t failed = 0;
  std::wstring message;
};

class service_state_query {
 public:
  explicit service_state_query(std::wstring name);

  // 1 when the service is in SERVICE_RUNNING; pending and paused are not.
  service_result<> is_running();

  // Opens the manager, then the service, each only while still empty.
  service_result<> ensure_open();
  service_result<service_handle> open_manager();
  service_result<service_handle> open_service();
  service_result<> query_status(SERVICE_STATUS_PROCESS& status);

  SC_HANDLE manager() const noexcept { return manager_.get(); }
  SC_HANDLE service() const noexcept { return service_.get(); }

 private:
  // Declared manager first: members are destroyed in reverse, so the
  // service handle is closed before the manager that opened it.
  service_handle manager_;
  service_handle service_;
  std::wstring name_;
};

}  // namespace pelorin
