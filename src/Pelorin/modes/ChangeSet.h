// An operation's whole change, decided before anything is written: each
// file's new bytes and each registry value to record, and the order in which
// they go in.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "agent/RegistryRecords.h"
#include "files/Content.h"
#include "files/FileContent.h"

namespace pelorin {

// In the order the applier writes them. The autoconfig file goes first, the
// loader file that names it after it, so that a loader never names a file
// that is not there; the strips of the other preference files go last, so
// that a failed loader write never leaves Firefox without any loader line.
enum class FileRole { kAutoconfig, kLoader, kStripped };

// The step and code of the failure line of a file that is not to be written.
struct Blocked {
  const char* step;
  unsigned long error;
};

struct FileChange {
  FileRole role;
  std::wstring path;
  const FileRead* before;  // as read, owned by the operation's inputs
  Content after;
  // The file, or a folder on its way, was refused as a second name: it is
  // reported as not written whatever its bytes, so that the host learns of
  // the link even where nothing would have changed.
  std::optional<Blocked> refused;

  // A missing file is created even when it is to be empty.
  bool Changed() const { return refused || before->outcome == FileRead::kMissing || !after.Equals(before->bytes); }
  // Why a changed file would not be written: refused, or not read whole,
  // when what was not read would be lost. Nullopt: it can be written.
  std::optional<Blocked> Blocker() const {
    if (refused) return refused;
    if (before->outcome == FileRead::kUnreadable) return Blocked{"ReadFile", before->error};
    return std::nullopt;
  }
};

// Recorded only once the file it describes is in place: FFCFG names an
// autoconfig file only when that file holds the mode's lines.
struct RecordChange {
  RecordName name;
  std::wstring value;
  FileRole file;
};

struct ChangeSet {
  std::vector<FileChange> files;  // in the order they were decided
  std::vector<RecordChange> records;
  // A web start found its autoconfig file complete: no later start of this
  // process writes one.
  bool cfg_found_up_to_date = false;
};

}  // namespace pelorin
