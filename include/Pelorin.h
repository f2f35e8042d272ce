// Pelorin.dll: brings the locally installed Firefox under the endpoint
// agent's control through Firefox's autoconfig mechanism.
//
// Calling order: load the DLL, call PelorinInitialize once before anything
// else, call the other exports as needed, call PelorinUninitialize before
// unloading. Strings cross the boundary as std::wstring objects, so the host
// must be built against the same C++ standard library as the DLL.
#pragma once

#include <cstdint>
#include <string>

#if defined(PELORIN_BUILDING)
#define PELORIN_API
#else
#define PELORIN_API __declspec(dllimport)
#endif

#if defined(_MSC_VER)
#pragma warning(push)
// get_firefox_install_path returns a std::wstring with C linkage on purpose:
// the export name stays undecorated while the host keeps a C++ result.
#pragma warning(disable : 4190)
#endif

// Parameter blocks of the two web-protection starts. The library only copies
// and compares them; their meaning belongs to the host.
struct ZarnStartParams {
  std::wstring value1;
  std::wstring value2;
  std::wstring value3;
  std::wstring value4;
  std::wstring value5;
};

struct TovkStartParams {
  std::wstring value1;
  std::wstring value2;
  std::wstring value3;
};

extern "C" {

// Installs the log sink. Returns 0.
PELORIN_API int32_t PelorinInitialize();

// Replays the saved proxy-connect starts with the replay flag set. Returns 0.
PELORIN_API int32_t PelorinUninitialize();

// The Firefox installation directory without a trailing backslash, or an
// empty string when Firefox is not registered.
PELORIN_API std::wstring get_firefox_install_path();

// Reports the first preference file of Firefox's defaults\pref directory and
// the autoconfig file name it configures. `id` must be non-empty; either
// output may be null and is written only when there is something to report.
// Returns 0 when `id` is empty or PelorinInitialize has not run, else 1.
PELORIN_API int32_t PelorinGetFFVersionAndCfg(const std::wstring& id, std::wstring* loader_name,
                                              std::wstring* cfg_name);

// Direct-connect (ZARN) and proxy-connect (TOVK) starts. Empty names select
// "!.js" and "cv_mozilla_V2N.cfg". `replay` is 0 for the host. Returns 0, or
// -1 when Firefox is not found.
PELORIN_API int32_t PelorinZARNFFStart(const ZarnStartParams* params, const std::wstring& loader_name,
                                       const std::wstring& cfg_name, int32_t replay);
PELORIN_API int32_t PelorinTOVKFFStart(const TovkStartParams* params, const std::wstring& loader_name,
                                       const std::wstring& cfg_name, int32_t replay);

// Data-loss-prevention start. Returns 1 when it ran to its end, 0 when the
// agent's RvClientConfig.qcf is present, -1 when Firefox is not found.
PELORIN_API int32_t PelorinDLPFFStart(const void* reserved, const std::wstring& js_name, const std::wstring& cfg_name);

// Removes the library's lines (or only the proxy lines) from the autoconfig
// file recorded in the agent's registry key. Returns 0.
PELORIN_API int32_t PelorinUninstallCleanUp(bool only_proxy);

// 1 when the agent's inline proxy is in force for Firefox, else 0.
PELORIN_API int32_t IsInlineProxyEnabled();

}  // extern "C"

// Pointer types for hosts that bind the exports with GetProcAddress.
typedef int32_t (*PelorinInitializeFn)();
typedef int32_t (*PelorinUninitializeFn)();
typedef std::wstring (*GetFirefoxInstallPathFn)();
typedef int32_t (*PelorinGetFFVersionAndCfgFn)(const std::wstring&, std::wstring*, std::wstring*);
typedef int32_t (*PelorinZARNFFStartFn)(const ZarnStartParams*, const std::wstring&, const std::wstring&, int32_t);
typedef int32_t (*PelorinTOVKFFStartFn)(const TovkStartParams*, const std::wstring&, const std::wstring&, int32_t);
typedef int32_t (*PelorinDLPFFStartFn)(const void*, const std::wstring&, const std::wstring&);
typedef int32_t (*PelorinUninstallCleanUpFn)(bool);
typedef int32_t (*IsInlineProxyEnabledFn)();

#if defined(_MSC_VER)
#pragma warning(pop)
#endif
