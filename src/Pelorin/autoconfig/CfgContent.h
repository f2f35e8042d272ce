// What the autoconfig file becomes: checked and edited from its bytes, as
// each mode and the cleanup want it. Nothing here reads or writes a file;
// the messages a writer logs are logged as it decides.
#pragma once

#include <functional>
#include <string_view>

#include "autoconfig/ModeTable.h"
#include "base/Messages.h"
#include "files/Content.h"

namespace pelorin {

// Whether the agent's inline proxy is in force. Asked only where the answer
// matters, and each time it is: every asking adds its own failure messages.
using InlineProxyQuestion = std::function<bool()>;

// The mode's lines are there as whole lines (a line that lost its banner or
// kept a "\r" does not count), and the proxy pair exactly when the inline
// proxy is in force. `agent_config`: the agent's configuration is installed,
// which a web mode answers with the agent lines too.
bool CfgHoldsModeLines(std::string_view bytes, const ModeRow& row, bool agent_config,
                       const InlineProxyQuestion& inline_proxy);

// A new autoconfig file: a bare "//" first line (Firefox skips the first
// line), then the mode's lines.
Content NewCfgFile(const ModeRow& row, bool agent_config, const InlineProxyQuestion& inline_proxy, Messages& messages);

// An existing file with the mode's lines in place of older copies; every
// other line stays in order. A web mode drops blank lines and puts a bare
// "//" first; DLP keeps both and drops only the blank tail.
Content EditCfgFile(std::string_view bytes, const ModeRow& row, bool agent_config,
                    const InlineProxyQuestion& inline_proxy, Messages& messages);

// The uninstall cleanup: without the library's lines, or only without the
// proxy pair; blank lines dropped and a bare "//" first.
Content CleanCfgFile(std::string_view bytes, bool only_proxy, Messages& messages);

}  // namespace pelorin
