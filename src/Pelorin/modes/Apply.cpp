#include "modes/Apply.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <utility>

#include "agent/RegistryRecords.h"
#include "files/FileContent.h"

namespace pelorin {

namespace {

FileOutcome Write(const FileChange& change) {
  if (!change.Changed()) return FileOutcome::kUnchanged;
  if (const std::optional<Blocked> blocked = change.Blocker()) {
    PrintWriteFailure(blocked->step, change.path, blocked->error);
    return FileOutcome::kFailed;
  }
  return SetFileContentW(change.path, change.after, *change.before) ? FileOutcome::kWritten : FileOutcome::kFailed;
}

bool InPlace(FileOutcome outcome) { return outcome == FileOutcome::kUnchanged || outcome == FileOutcome::kWritten; }

}  // namespace

std::vector<FileOutcome> Apply(const ChangeSet& changes, const std::vector<std::wstring>& read_paths,
                               LeftoverRemover leftovers) {
  for (const std::wstring& path : read_paths) leftovers.RemoveFor(path);

  const std::vector<FileChange>& files = changes.files;
  std::vector<size_t> order(files.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&files](size_t a, size_t b) { return files[a].role < files[b].role; });
  std::vector<FileOutcome> outcomes(files.size(), FileOutcome::kNotTried);
  bool failed = false;
  for (size_t index : order) {
    if (failed && files[index].Changed()) continue;
    outcomes[index] = Write(files[index]);
    failed = failed || outcomes[index] == FileOutcome::kFailed;
  }

  std::vector<std::pair<RecordName, std::wstring>> records;
  for (const RecordChange& record : changes.records) {
    bool in_place = false;
    for (size_t index = 0; index < files.size(); ++index) {
      if (files[index].role == record.file) in_place = InPlace(outcomes[index]);
    }
    if (in_place) records.emplace_back(record.name, record.value);
  }
  WriteRecords(records);
  return outcomes;
}

}  // namespace pelorin
