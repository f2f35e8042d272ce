// Firefox installs registered besides the one the library manages.
#pragma once

#include <string>
#include <vector>

#include "check/Check.h"

namespace pelorin {

// One finding per registration of a Firefox outside `managed_dir` (which may
// be empty when no Firefox is managed).
std::vector<Finding> FindOtherInstalls(const std::wstring& managed_dir);

}  // namespace pelorin
