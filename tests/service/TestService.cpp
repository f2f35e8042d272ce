// A minimal Windows service for the tests: it runs until told to stop.
// Started with the argument "start-pending" it never leaves the start-pending
// state, so that the tests can see a service that exists but is not running.
#include <windows.h>

#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
HANDLE g_stop_event = nullptr;
SERVICE_STATUS g_status = {};

void Report(DWORD state) {
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted = state == SERVICE_STOPPED ? 0 : SERVICE_ACCEPT_STOP;
  g_status.dwWin32ExitCode = NO_ERROR;
  // A long hint keeps the manager from giving up on a pending service.
  g_status.dwWaitHint = state == SERVICE_START_PENDING ? 600000 : 0;
  SetServiceStatus(g_status_handle, &g_status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(g_stop_event);
    return NO_ERROR;
  }
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  return ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  g_status_handle = RegisterServiceCtrlHandlerExW(L"", &Control, nullptr);
  if (g_status_handle == nullptr) return;
  g_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool stay_pending = false;
  for (DWORD i = 0; i < argc; ++i) stay_pending = stay_pending || std::wcscmp(argv[i], L"start-pending") == 0;
  Report(stay_pending ? SERVICE_START_PENDING : SERVICE_RUNNING);
  WaitForSingleObject(g_stop_event, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  // An own-process service: the name in the table is not checked.
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, &ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
