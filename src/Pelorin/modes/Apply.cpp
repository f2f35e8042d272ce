#include "modes/Apply.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <utility>

#include "agent/RegistryRecords.h"
#include "files/FileContent.h"

namespace pelorin {

namespace {

void Write(FileChange& change) {
  if (!change.Changed()) {
    change.state = FileState::kUnchanged;
    return;
  }
  change.failure = change.Blocker();
  if (!change.failure) change.failure = SetFileContentW(change.path, change.after, *change.before);
  change.state = change.failure ? FileState::kFailed : FileState::kWritten;
}

bool InPlace(FileState state) { return state == FileState::kUnchanged || state == FileState::kWritten; }

void WriteFiles(std::vector<FileChange>& files) {
  std::vector<size_t> order(files.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&files](size_t a, size_t b) { return files[a].role < files[b].role; });
  bool failed = false;
  for (size_t index : order) {
    if (failed && files[index].Changed()) {
      files[index].state = FileState::kNotTried;
      continue;
    }
    Write(files[index]);
    failed = failed || files[index].state == FileState::kFailed;
  }
}

// Each record whose file is in place, and "SaveCurrentCFGFilePath" once
// FFCFG is set.
void WriteRecordsOfFilesInPlace(Outcome& outcome) {
  std::vector<std::pair<RecordName, std::wstring>> records;
  std::vector<RecordChange*> recorded;
  for (RecordChange& record : outcome.records) {
    bool in_place = false;
    for (const FileChange& file : outcome.files) {
      if (file.role == record.file) in_place = InPlace(file.state);
    }
    if (!in_place) continue;
    records.emplace_back(record.name, record.value);
    recorded.push_back(&record);
  }
  const std::vector<bool> written = WriteRecords(records);
  for (size_t index = 0; index < recorded.size(); ++index) {
    recorded[index]->written = written[index];
    if (written[index] && recorded[index]->name == RecordName::kCfgPath) {
      outcome.messages.push_back(L"SaveCurrentCFGFilePath");
    }
  }
}

}  // namespace

void Apply(Outcome& outcome, const std::vector<std::wstring>& read_paths, LeftoverRemover leftovers) {
  for (const std::wstring& path : read_paths) leftovers.RemoveFor(path);
  WriteFiles(outcome.files);
  WriteRecordsOfFilesInPlace(outcome);
}

}  // namespace pelorin
