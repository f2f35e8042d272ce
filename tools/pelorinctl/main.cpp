// pelorinctl: runs Pelorin.dll's operations from a command line and reports
// what they found and changed.
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "Library.h"
#include "LogTail.h"
#include "ProgramFolder.h"
#include "ToolError.h"
#include "Version.h"

using namespace pelorinctl;

namespace {

Outcome Dispatch(Library& library, const Options& options) {
  switch (options.command) {
    case Command::Start: return RunStart(library, options);
    case Command::Cleanup: return RunCleanup(library, options);
    default: return RunStatus(library);
  }
}

int RunCommand(const Options& options) {
  LogTail log;
  Outcome outcome;
  {
    LibraryOutputToStderr redirect;
    Library library(LibraryPath());
    outcome = Dispatch(library, options);
  }
  if (options.verbose) outcome.report.push_back({"log", "Log records", Value::List(log.NewRecords())});
  WriteOut(options.json ? RenderJson(outcome.report) : RenderText(outcome.report));
  if (outcome.failure.empty()) return kExitSuccess;
  WriteErr("pelorinctl: " + outcome.failure + "\n");
  return kExitFailure;
}

int Run(const Options& options) {
  switch (options.command) {
    case Command::Help:
      WriteOut(UsageText());
      return kExitSuccess;
    case Command::Version:
      WriteOut("Pelorin.dll " + ModuleVersion(LibraryPath()) + "\n");
      return kExitSuccess;
    default:
      return RunCommand(options);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  PrepareStreams();
  try {
    return Run(ParseCommandLine(std::vector<std::wstring>(argv + 1, argv + argc)));
  } catch (const ToolError& error) {
    WriteErr(std::string("pelorinctl: ") + error.what() + "\n");
    return error.exit_code();
  } catch (const std::exception& error) {
    WriteErr(std::string("pelorinctl: ") + error.what() + "\n");
    return kExitFailure;
  }
}
