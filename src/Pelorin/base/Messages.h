// The messages an operation logs, gathered as data in the order it decides
// them. The exports log them; a dry run shows them; nothing swaps the log
// slot to catch them.
#pragma once

#include <string>
#include <vector>

namespace pelorin {

using Messages = std::vector<std::wstring>;

}  // namespace pelorin
