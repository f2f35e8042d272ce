#include "proxy/ServiceState.h"

#include <utility>

namespace pelorin {

service_state_query::service_state_query(std::wstring name) : name_(std::move(name)) {}

bool service_state_query::ensure_open() {
  if (!manager_) manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager_) return false;
  if (!service_) service_.reset(OpenServiceW(manager_.get(), name_.c_str(), SERVICE_ALL_ACCESS));
  return static_cast<bool>(service_);
}

service_result service_state_query::is_running() {
  if (!ensure_open()) return {false};
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                            &needed)) {
    return {false};
  }
  return {status.dwCurrentState == SERVICE_RUNNING};
}

}  // namespace pelorin
