// Whether the agent's inline proxy is in force for Firefox: its network
// service runs and Firefox's ExtensionSettings policy blocks the DLP add-on.
#pragma once

#include <cstdint>

#include "base/Messages.h"

namespace pelorin {

// The DLP add-on's Firefox identifier, looked up in ExtensionSettings.
inline constexpr wchar_t kDlpAddOnId[] = L"dlp@tervia.com";

// Takes no lock and keeps no state; adds its failures to `messages`.
bool IsInlineProxyEnabled(Messages& messages);

}  // namespace pelorin
