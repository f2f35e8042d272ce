// The commands. Each returns its report and, when something stands in the
// way (the library reported failure, a finding of the check), a one-line
// description of it.
#pragma once

#include <optional>
#include <string>

#include "Library.h"
#include "Report.h"

namespace pelorinctl {

enum class Mode { Zarn, Tovk, Dlp };

struct Options {
  std::optional<Mode> mode;  // always set for start
  std::wstring loader_name;  // empty: the library's default
  std::wstring cfg_name;     // empty: the library's default
  bool uninitialize = false;
  bool only_proxy = false;
};

struct Outcome {
  Report report;
  std::string failure;  // empty on success
};

const char* ModeName(Mode mode);

Outcome RunStatus(Library& library);
Outcome RunStart(Library& library, const Options& options);
Outcome RunCleanup(Library& library, const Options& options);
// Reads only: the library's check, linked in, without loading the DLL.
Outcome RunCheck(const Options& options);

}  // namespace pelorinctl
