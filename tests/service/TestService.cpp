// A minimal Windows service for the tests: it runs until told to stop.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
HANDLE g_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);

void Report(DWORD state) {
  SERVICE_STATUS status = {
      SERVICE_WIN32_OWN_PROCESS, state, state == SERVICE_STOPPED ? 0u : SERVICE_ACCEPT_STOP, NO_ERROR, 0, 0, 0};
  SetServiceStatus(g_status_handle, &status);
}

void WINAPI Control(DWORD control) {
  if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) return;
  Report(SERVICE_STOP_PENDING);
  SetEvent(g_stop_event);
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  if ((g_status_handle = RegisterServiceCtrlHandlerW(L"", &Control)) == nullptr) return;
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop_event, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  wchar_t name[] = L"";  // an own-process service: the name is not checked
  SERVICE_TABLE_ENTRYW table[] = {{name, &ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
