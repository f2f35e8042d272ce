// Will Firefox start with the mode's preferences locked? The check reads
// what Firefox will read at its next start (its registration, defaults\pref,
// the autoconfig file, the enterprise policies) and writes nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "autoconfig/ModeTable.h"
#include "check/Statements.h"

namespace pelorin {

struct PrefVerdict {
  std::string name;
  PrefValue value;   // the mode's value
  bool lock = true;  // false: the mode sets a default (the DLP scope lines)
  // A lock holds when Firefox will report the value and the lock; a default
  // when Firefox will report the value.
  bool holds = false;
};

struct Finding {
  std::string code;      // stable, for scripts
  std::wstring subject;  // the file or registry value concerned
  std::string message;   // one sentence an administrator can act on
};

struct CheckResult {
  std::optional<Mode> mode;  // empty when neither given nor found
  bool mode_from_file = false;
  std::wstring install_dir;
  std::wstring loader_file;      // the file whose filename line Firefox keeps
  std::wstring autoconfig_file;  // the file Firefox will load
  std::vector<PrefVerdict> prefs;
  std::vector<Finding> findings;

  bool AllHold() const { return findings.empty(); }
};

// Without a mode, the mode is taken from the autoconfig file's lines.
CheckResult CheckFirefox(std::optional<Mode> mode);

}  // namespace pelorin
