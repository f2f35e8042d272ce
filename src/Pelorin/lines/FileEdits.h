// The files one operation reads and rewrites. Each file is read once, on
// first use; every step of the operation then edits the bytes the step
// before left; at the end each file is written once, and only when its bytes
// changed. So a check and the write after it see the same bytes, and a start
// that finds everything up to date writes nothing.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lines/Lines.h"

namespace pelorin {

class FileEdits {
 public:
  FileEdits() = default;
  FileEdits(const FileEdits&) = delete;
  FileEdits& operator=(const FileEdits&) = delete;

  // Whether the file was present when it was read, or has been given content.
  bool IsPresent(const std::wstring& path);

  // The bytes as edited so far; empty for a missing or unreadable file.
  std::string_view Content(const std::wstring& path);
  // Those bytes cut into lines, cut once until the content changes: a check
  // and the edit after it share the cut.
  const LineList& Lines(const std::wstring& path);

  // The file's new bytes. Views into its earlier bytes become invalid.
  void SetContent(const std::wstring& path, std::string bytes);

  // Writes every changed file, the last used first, until one fails.
  void Commit();

 private:
  struct File {
    std::wstring path;
    bool existed = false;  // when it was read
    bool edited = false;
    unsigned long read_error = 0;  // present but not read whole
    std::string original;
    std::string current;
    std::optional<LineList> lines;  // views into original or current

    // A missing file that is given empty content is still to be created.
    bool Changed() const { return edited && (!existed || current != original); }
  };

  File& Get(const std::wstring& path);

  // A deque: adding a file must not move the others, whose lines are views.
  std::deque<File> files_;
  // Windows compares paths without regard to case, so "Custom.JS" named by
  // the host and "custom.js" found by the scan are one file.
  std::map<std::wstring, size_t> index_;
};

// Writes the non-empty lines, each followed by "\n", as the file's new
// content and returns how many there are. A list without a non-empty line
// leaves the file as it was.
int WriteLines(FileEdits& files, const std::wstring& path, const LineList& lines);

}  // namespace pelorin
