// Pelorin.dll: the exported interface and the log sink.
#define PELORIN_BUILDING
#include "Pelorin.h"

#include <windows.h>

#include "Orlix.h"
#include "base/Boundary.h"
#include "base/Log.h"
#include "firefox/InstallPath.h"

namespace {

// What the agent's log viewer shows as the origin of every record.
constexpr wchar_t kSourcePath[] = L"src/Pelorin/Pelorin.cpp";
constexpr int kSinkLine = 37;
constexpr int kMessageLevel = 1;

}  // namespace

// The log sink: exactly one call into the agent's logging library per
// message, the message handed over unchanged.
extern "C" void pelorin_debugf(const wchar_t* message) {
  Orlix_PrintMessage(kSourcePath, L"pelorin_debugf", kSinkLine, kMessageLevel, message);
}

// The entry point does no work: all module-wide state is created and
// destroyed by static initialisation and destruction.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" {

int32_t PelorinInitialize() {
  pelorin::SetLogFunction(&pelorin_debugf);
  return 0;
}

std::wstring get_firefox_install_path() {
  return pelorin::CatchAtBoundary(std::wstring(), [] { return pelorin::FindFirefoxInstallPath(); });
}

}  // extern "C"
