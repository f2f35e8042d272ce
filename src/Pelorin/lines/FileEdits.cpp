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
  file.existed = ReadFileIfPresent(path, file.original);
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

void FileEdits::Commit() {
  LeftoverRemover leftovers;
  for (const File& file : files_) {
    // A missing file that is given empty content is still to be created.
    const bool changed = file.edited && (!file.existed || file.current != file.original);
    if (changed) {
      SetFileContentW(file.path, file.current);
    } else {
      leftovers.RemoveFor(file.path);
    }
  }
}

int WriteLines(FileEdits& files, const std::wstring& path, const LineList& lines) {
  int count = 0;
  size_t total = 0;
  for (Line line : lines) {
    if (line.empty()) continue;
    total += line.size() + 1;
    ++count;
  }
  if (count == 0) return 0;
  // Sized once and filled by plain copies, as JoinLines.
  std::string text(total, '\0');
  char* out = &text[0];
  for (Line line : lines) {
    if (line.empty()) continue;
    out = std::copy(line.begin(), line.end(), out);
    *out++ = '\n';
  }
  files.SetContent(path, std::move(text));
  return count;
}

}  // namespace pelorin
