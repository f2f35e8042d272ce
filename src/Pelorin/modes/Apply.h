// The one applier: writes an operation's change set in a safe order.
#pragma once

#include <string>
#include <vector>

#include "files/FileContent.h"
#include "modes/ChangeSet.h"

namespace pelorin {

enum class FileOutcome {
  kUnchanged,  // its new bytes are its old ones: not written
  kWritten,
  kFailed,    // its failure line printed; it keeps its old bytes
  kNotTried,  // an earlier write failed
};

// Files first, by role (the autoconfig file, the loader file, the strips);
// the first failure stops the writes, so the files not written keep old
// bytes that agree with one another. Then each record whose file is in
// place, written or already holding its new bytes. `read_paths`: every file
// the operation read, whose leftover temporary files go first; `leftovers`
// knows the folders the operation listed already. Returns each file's
// outcome, in the order of `changes.files`.
std::vector<FileOutcome> Apply(const ChangeSet& changes, const std::vector<std::wstring>& read_paths,
                               LeftoverRemover leftovers);

}  // namespace pelorin
