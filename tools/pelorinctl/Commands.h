// The three commands that drive the library. Each returns its report and,
// when the library reported a failure, a one-line description of it.
#pragma once

#include <string>

#include "CommandLine.h"
#include "Library.h"
#include "Report.h"

namespace pelorinctl {

struct Outcome {
  Report report;
  std::string failure;  // empty on success
};

Outcome RunStatus(Library& library);
Outcome RunStart(Library& library, const Options& options);
Outcome RunCleanup(Library& library, const Options& options);

}  // namespace pelorinctl
