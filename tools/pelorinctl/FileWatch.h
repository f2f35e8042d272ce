// Which files a command changed: the state of a set of paths before and
// after, compared by presence, size, write time and a hash of the content.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Report.h"
#include "tool/Tool.h"

namespace pelorinctl {

struct FileState {
  uint64_t size = 0;
  uint64_t write_time = 0;
  uint64_t content_hash = 0;
};

// Keyed by the lower-cased path (Windows paths ignore case); each entry keeps
// the path as first met.
struct Snapshot {
  std::map<std::wstring, std::pair<std::wstring, FileState>> files;
};

class FileWatch {
 public:
  void AddFile(const std::wstring& path);
  // Every file of the folder, listed afresh at each snapshot so that files
  // created in between are seen.
  void AddFolder(const std::wstring& folder, const std::wstring& pattern = L"*");

  Snapshot Take() const;

 private:
  std::vector<std::wstring> files_;
  std::vector<std::wstring> patterns_;
};

struct Change {
  std::wstring path;
  // "created", "deleted", "modified", or "rewritten" when only the write time
  // moved and the bytes are the same.
  std::string kind;
};

std::vector<Change> Compare(const Snapshot& before, const Snapshot& after);

// What a start or a cleanup changed: the files the library may write in the
// Firefox installation and the values it records under the agent's key.
class ChangeWatch {
 public:
  // Takes the "before" state at once. `install_dir` may be empty (Firefox
  // not found); `extra_files` are paths outside the usual places.
  ChangeWatch(const std::wstring& install_dir, const std::vector<std::wstring>& extra_files);

  // The fields "changed_files" and "changed_registry_values", against the
  // state at this moment. A file the library failed to write keeps its
  // bytes, so it is not among them.
  std::vector<Field> Changes() const;

 private:
  FileWatch watch_;
  Snapshot files_before_;
  std::vector<pelorin::tool::RecordValue> records_before_;
};

}  // namespace pelorinctl
