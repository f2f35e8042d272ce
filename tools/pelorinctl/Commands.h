// The commands. Each returns its report and, when something stands in the
// way (the library reported failure, a file was not written, a finding of
// the check), a one-line description of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Library.h"
#include "Report.h"
#include "tool/Tool.h"

namespace pelorinctl {

using pelorin::Mode;

struct Options {
  std::optional<Mode> mode;  // always set for start
  std::wstring loader_name;  // empty: the library's default
  std::wstring cfg_name;     // empty: the library's default
  bool uninitialize = false;
  bool only_proxy = false;
  bool dry_run = false;
  std::string format;   // check: text, json, intune, configmgr or summary
  bool record = false;  // check: mirror the verdict in the registry
};

struct Outcome {
  Report report;
  std::string failure;           // empty on success
  std::string library_output;    // what the library printed, for standard error
  std::vector<std::string> log;  // a dry run's log records, as it would write them
  std::string printed;           // what a fleet format prints instead of the report
};

Outcome RunStatus(Library& library);
Outcome RunStart(Library& library, const Options& options);
Outcome RunCleanup(Library& library, const Options& options);
// Read only: the library's own decision code, linked in, without the DLL.
Outcome RunDryRun(const Options& options, bool cleanup);
// Reads only: the library's check, linked in, without loading the DLL.
Outcome RunCheck(const Options& options);

}  // namespace pelorinctl
