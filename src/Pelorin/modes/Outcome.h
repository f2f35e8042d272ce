// An operation's outcome, one type from decision to report: the plan fills
// it from what it reads (each file's new bytes, each registry value to
// record with the one it replaces, the messages), the applier completes it
// (what became of each write), and only the edges render it: the exports
// log its messages and print its failure lines, the dry run shows it as
// text and JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "agent/RegistryRecords.h"
#include "base/Messages.h"
#include "files/Content.h"
#include "files/FileContent.h"

namespace pelorin {

// In the order the applier writes them. The autoconfig file goes first, the
// loader file that names it after it, so that a loader never names a file
// that is not there; the strips of the other preference files go last, so
// that a failed loader write never leaves Firefox without any loader line.
enum class FileRole { kAutoconfig, kLoader, kStripped };

enum class FileState {
  kPlanned,    // not applied (yet)
  kUnchanged,  // its new bytes are its old ones: not written
  kWritten,
  kFailed,    // `failure` says why; it keeps its old bytes
  kNotTried,  // an earlier write failed; it keeps its old bytes
};

struct FileChange {
  FileRole role;
  std::wstring path;
  const FileRead* before;  // as read, owned by the operation's inputs
  Content after;
  // The file, or a folder on its way, was refused as a second name: it is
  // reported as not written whatever its bytes, so that the host learns of
  // the link even where nothing would have changed.
  std::optional<FailedStep> refused{};
  FileState state = FileState::kPlanned;
  std::optional<FailedStep> failure{};  // set by the applier with kFailed

  bool Created() const { return before->outcome == FileRead::kMissing; }
  // A missing file is created even when it is to be empty.
  bool Changed() const { return refused || Created() || !after.Equals(before->bytes); }
  // Why a changed file would not be written: refused, or not read whole,
  // when what was not read would be lost. Nullopt: it can be written.
  std::optional<FailedStep> Blocker() const {
    if (refused) return refused;
    if (before->outcome == FileRead::kUnreadable) return FailedStep{"ReadFile", before->error};
    // The rename that would put the file there fails so, as it must: a
    // folder is never replaced. Not trying spares a temporary file, and a
    // dry run tells it as the start will.
    if (before->folder_in_place) return FailedStep{"MoveFileEx", ERROR_ALREADY_EXISTS};
    return std::nullopt;
  }
};

// Recorded only once the file it describes is in place: FFCFG names an
// autoconfig file only when that file holds the mode's lines.
struct RecordChange {
  RecordName name;
  std::wstring value;
  FileRole file;
  std::optional<std::wstring> before;  // as recorded when planned; nullopt: not set
  bool written = false;                // set by the applier
};

struct Outcome {
  int32_t result = 0;             // as the export returns it
  std::vector<FileChange> files;  // in the order they were decided
  std::vector<RecordChange> records;
  Messages messages;  // as the export logs them, in order
  // A web start found its autoconfig file complete: no later start of this
  // process writes one.
  bool cfg_found_up_to_date = false;
};

}  // namespace pelorin
