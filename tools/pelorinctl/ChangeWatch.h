// What a start or a cleanup changed: the files the library may write in the
// Firefox installation and the values it records under the agent's key.
#pragma once

#include <string>
#include <vector>

#include "AgentState.h"
#include "FileWatch.h"
#include "Report.h"

namespace pelorinctl {

class ChangeWatch {
 public:
  // Takes the "before" state at once. `install_dir` may be empty (Firefox
  // not found); `extra_files` are paths outside the usual places.
  ChangeWatch(const std::wstring& install_dir, const std::vector<std::wstring>& extra_files);

  // The fields "changed_files" and "changed_registry_values", against the
  // state at this moment.
  std::vector<Field> Changes() const;

 private:
  FileWatch watch_;
  Snapshot files_before_;
  RecordValues records_before_;
};

}  // namespace pelorinctl
