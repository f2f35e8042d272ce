// What the agent's registry keys say, read with the library's own reader and
// names but without loading the DLL that is being diagnosed.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "agent/AgentKeys.h"

namespace pelorinctl {

// The values the library records under the agent's Common key.
inline constexpr const wchar_t* kRecordValueNames[] = {pelorin::kCfgPathValue, pelorin::kObscureLineValue,
                                                       pelorin::kFilenameLineValue};
inline constexpr const wchar_t* kAgentConfigFiles[] = {L"ClientConfig.qcf", L"RvClientConfig.qcf",
                                                       L"PXYClientConfig.qcf"};

// Each value of kRecordValueNames in that order; nullopt when missing or
// not a string.
using RecordValues = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>;
RecordValues ReadRecordValues();

// FFCFG as the cleanup reads it: the autoconfig file the library wrote
// last; empty when not set.
std::wstring ReadRecordedCfgPath();

// The agent's "InstallPath", as stored (normally with a trailing backslash).
std::optional<std::wstring> ReadAgentInstallPath();

// Whether install path + name is a file, joined without a separator as the
// library joins them, so the answer matches what the library sees.
bool IsAgentFilePresent(const std::wstring& install_path, const std::wstring& name);

}  // namespace pelorinctl
