// The one applier: writes an operation's planned outcome in a safe order.
#pragma once

#include <string>
#include <vector>

#include "files/FileContent.h"
#include "modes/Outcome.h"

namespace pelorin {

// Files first, by role (the autoconfig file, the loader file, the strips);
// the first failure stops the writes, so the files not written keep old
// bytes that agree with one another. Then each record whose file is in
// place, written or already holding its new bytes. `read_paths`: every file
// the operation read, whose leftover temporary files go first; `leftovers`
// knows the folders the operation listed already. Completes `outcome`:
// each file's state and failure, each record's, and the messages of what
// was recorded.
void Apply(Outcome& outcome, const std::vector<std::wstring>& read_paths, LeftoverRemover leftovers);

}  // namespace pelorin
