#include "proxy/ServiceState.h"

#include <utility>

namespace pelorin {

namespace {

std::wstring Code(DWORD error) { return std::to_wstring(static_cast<unsigned long>(error)); }

service_result<> Failure(std::wstring message) { return service_result<>{0, 1, std::move(message)}; }

service_result<> StateUnknown(const std::wstring& name, const std::wstring& cause) {
  return Failure(L"Cannot determine state of '" + name + L"' due to the following error: " + cause);
}

}  // namespace

service_state_query::service_state_query(std::wstring name) : name_(std::move(name)) {}

service_result<service_handle> service_state_query::open_manager() {
  service_handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    DWORD error = GetLastError();
    return {service_handle(), 1, L"Cannot open SCManager (" + Code(error) + L")"};
  }
  return {std::move(manager), 0, std::wstring()};
}

service_result<service_handle> service_state_query::open_service() {
  service_handle service(OpenServiceW(manager_.get(), name_.c_str(), SERVICE_ALL_ACCESS));
  if (!service) {
    DWORD error = GetLastError();
    return {service_handle(), 1, L"Cannot open '" + name_ + L"' service (" + Code(error) + L")"};
  }
  return {std::move(service), 0, std::wstring()};
}

service_result<> service_state_query::ensure_open() {
  if (!manager_) {
    service_result<service_handle> opened = open_manager();
    if (opened.failed) return Failure(std::move(opened.message));
    manager_ = std::move(opened.value);
  }
  if (!service_) {
    service_result<service_handle> opened = open_service();
    if (opened.failed) return Failure(std::move(opened.message));
    service_ = std::move(opened.value);
  }
  return {1, 0, std::wstring()};
}

service_result<> service_state_query::query_status(SERVICE_STATUS_PROCESS& status) {
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                            sizeof status, &needed)) {
    DWORD error = GetLastError();
    return Failure(L"Cannot obtain information about the service (" + Code(error) + L")");
  }
  return {1, 0, std::wstring()};
}

service_result<> service_state_query::is_running() {
  service_result<> opened = ensure_open();
  if (opened.failed) return StateUnknown(name_, opened.message);
  SERVICE_STATUS_PROCESS status = {};
  service_result<> queried = query_status(status);
  if (queried.failed) return StateUnknown(name_, queried.message);
  return {status.dwCurrentState == SERVICE_RUNNING ? 1 : 0, 0, std::wstring()};
}

}  // namespace pelorin
