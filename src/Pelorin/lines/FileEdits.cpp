#include "lines/FileEdits.h"

#include <algorithm>
#include <utility>

#include "lines/FileContent.h"

namespace pelorin {

FileEdits::File& FileEdits::Get(const std::wstring& path) {
  const auto [position, inserted] = index_.emplace(AsciiLower(path), files_.size());
  if (!inserted) return files_[position->second];
  File file;
  file.path = path;
  FileRead read = ReadWholeFile(path);
  file.existed = read.outcome != FileRead::kMissing;
  file.read_error = read.outcome == FileRead::kUnreadable ? read.error : NO_ERROR;
  file.original = std::move(read.bytes);
  files_.push_back(std::move(file));
  return files_.back();
}

bool FileEdits::IsPresent(const std::wstring& path) {
  const File& file = Get(path);
  return file.existed || file.edited;
}

std::string_view FileEdits::Content(const std::wstring& path) {
  const File& file = Get(path);
  return file.edited ? file.current : file.original;
}

const LineList& FileEdits::Lines(const std::wstring& path) {
  File& file = Get(path);
  if (!file.lines) file.lines = SplitLines(file.edited ? file.current : file.original);
  return *file.lines;
}

void FileEdits::SetContent(const std::wstring& path, std::string bytes) {
  File& file = Get(path);
  file.current = std::move(bytes);
  file.edited = true;
  file.lines.reset();
}

// Backwards: the autoconfig file is used last and written first, the loader
// file that names it after it, so that a loader never names a file that is
// not there. The first failure stops the writes: the files not yet written
// keep their old bytes, which agree with one another.
void FileEdits::Commit() {
  bool failed = false;
  for (auto file = files_.rbegin(); file != files_.rend() && !failed; ++file) {
    if (!file->Changed()) continue;
    // A file that could not be read whole would lose what was not read.
    if (file->read_error != NO_ERROR) {
      PrintWriteFailure("ReadFile", file->path, file->read_error);
      failed = true;
    } else {
      failed = !SetFileContentW(file->path, file->current);
    }
  }
  LeftoverRemover leftovers;
  for (const File& file : files_) {
    if (!file.Changed()) leftovers.RemoveFor(file.path);
  }
}

int WriteLines(FileEdits& files, const std::wstring& path, const LineList& lines) {
  LineList non_empty;
  non_empty.reserve(lines.size());
  for (Line line : lines) {
    if (!line.empty()) non_empty.push_back(line);
  }
  if (non_empty.empty()) return 0;
  files.SetContent(path, JoinLines(non_empty));
  return static_cast<int>(non_empty.size());
}

}  // namespace pelorin
