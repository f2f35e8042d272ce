// What the agent's registry keys say, read by the tool itself so that the
// report does not depend on the library it is diagnosing.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pelorinctl {

// The values the library records under the agent's Common key.
inline constexpr const wchar_t* kRecordValueNames[] = {L"FFCFG", L"FFObscure", L"FFJSFile"};
inline constexpr const wchar_t* kAgentConfigFiles[] = {L"ClientConfig.qcf", L"RvClientConfig.qcf",
                                                       L"PXYClientConfig.qcf"};

// Each value of kRecordValueNames in that order; nullopt when missing or
// not a string.
using RecordValues = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>;
RecordValues ReadRecordValues();

// FFCFG: the autoconfig file the library wrote last; empty when not set.
std::wstring ReadRecordedCfgPath();

// The agent's "InstallPath", as stored (normally with a trailing backslash).
std::optional<std::wstring> ReadAgentInstallPath();

// Whether install path + name is a file, joined without a separator as the
// library joins them, so the answer matches what the library sees.
bool IsAgentFilePresent(const std::wstring& install_path, const std::wstring& name);

}  // namespace pelorinctl
