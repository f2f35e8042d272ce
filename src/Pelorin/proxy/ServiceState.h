// Whether a Windows service is running, asked of the Service Control Manager.
// Failures come back as results, never thrown and never logged: the caller
// decides what they are worth.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/UniqueHandle.h"

namespace pelorin {

// The manager's handle and the service's close the same way.
using service_handle = unique_sc_handle;

// A failure answers false: whoever asks only needs to know whether the
// service runs.
struct service_result {
  bool value = false;
};

class service_state_query {
 public:
  explicit service_state_query(std::wstring name);

  // True when the service is in SERVICE_RUNNING; pending and paused are not,
  // nor a manager or service that cannot be opened or asked.
  service_result is_running();

 private:
  // Opens the manager, then the service, each only while still empty: a
  // later call reuses what an earlier one opened.
  bool ensure_open();

  // Declared manager first: members are destroyed in reverse, so the
  // service handle is closed before the manager that opened it.
  service_handle manager_;
  service_handle service_;
  std::wstring name_;
};

}  // namespace pelorin
