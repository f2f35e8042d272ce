// Pelorin.dll: the exported interface and the log sink.
#include "Pelorin.h"

#include <windows.h>

#include "Orlix.h"
#include "base/Boundary.h"
#include "base/Log.h"
#include "firefox/InstallPath.h"
#include "modes/Operations.h"
#include "modes/VersionQuery.h"

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
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" {

int32_t PelorinInitialize() {
  pelorin::SetLogFunction(&pelorin_debugf);
  return 0;
}

int32_t PelorinUninitialize() {
  return pelorin::CatchAtBoundary(0, [] {
    pelorin::ReplaySavedRequests();
    return 0;
  });
}

// The direct-connect start's parameters are never saved, so never read.
int32_t PelorinZARNFFStart(const ZarnStartParams*, const std::wstring& loader_name, const std::wstring& cfg_name,
                           int32_t replay) {
  return pelorin::CatchAtBoundary(
      -1, [&] { return pelorin::StartWeb(pelorin::Mode::kZarn, {}, loader_name, cfg_name, replay != 0); });
}

int32_t PelorinTOVKFFStart(const TovkStartParams* params, const std::wstring& loader_name, const std::wstring& cfg_name,
                           int32_t replay) {
  return pelorin::CatchAtBoundary(-1, [&] {
    // A null block is saved as three empty strings.
    const TovkStartParams copied = params != nullptr ? *params : TovkStartParams();
    const pelorin::StartParams strings = {copied.value1, copied.value2, copied.value3};
    return pelorin::StartWeb(pelorin::Mode::kTovk, strings, loader_name, cfg_name, replay != 0);
  });
}

std::wstring get_firefox_install_path() {
  return pelorin::CatchAtBoundary(std::wstring(), [] { return pelorin::FindFirefoxInstallPath(); });
}

int32_t PelorinGetFFVersionAndCfg(const std::wstring& id, std::wstring* loader_name, std::wstring* cfg_name) {
  return pelorin::CatchAtBoundary(0, [&] { return pelorin::GetFFVersionAndCfg(id, loader_name, cfg_name); });
}

// -1 when cut short (out of memory): 0 and 1 both tell the host the call
// reached its answer, while Firefox is then not known to be in DLP mode.
int32_t PelorinDLPFFStart(const void*, const std::wstring& js_name, const std::wstring& cfg_name) {
  return pelorin::CatchAtBoundary(-1, [&] { return pelorin::StartDlp(js_name, cfg_name); });
}

int32_t PelorinUninstallCleanUp(bool only_proxy) {
  return pelorin::CatchAtBoundary(0, [only_proxy] {
    pelorin::UninstallCleanUp(only_proxy);
    return 0;
  });
}

int32_t IsInlineProxyEnabled() {
  return pelorin::CatchAtBoundary(0, [] { return pelorin::InlineProxyEnabled() ? 1 : 0; });
}

}  // extern "C"
