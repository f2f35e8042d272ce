// pelorinctl: runs Pelorin.dll's operations from a command line and reports
// what they found and changed, or checks whether Firefox will start locked.
#include <CLI/CLI.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "BuildInfo.h"
#include "Commands.h"
#include "Compliance.h"
#include "Console.h"
#include "Library.h"
#include "LogTail.h"
#include "tool/Tool.h"

using namespace pelorinctl;

namespace {

struct Command {
  CLI::App* status = nullptr;
  CLI::App* start = nullptr;
  CLI::App* cleanup = nullptr;
  CLI::App* check = nullptr;
  std::string mode;
  std::string loader_name;
  std::string cfg_name;
  Options options;
  bool json = false;
  bool verbose = false;
  bool version = false;
  bool intune_rules = false;
  std::string more_info_url = "https://www.tervia.com/agent/firefox-compliance";
};

void Define(CLI::App& app, Command& command) {
  // Options of the whole tool may also follow the command's name.
  app.fallthrough();
  app.require_subcommand(0, 1);
  app.add_flag("--json", command.json, "print the report as JSON (UTF-8)");
  app.add_flag("-v,--verbose", command.verbose, "also print the log records the command produced");
  app.add_flag("--version", command.version,
               "print the version of Pelorin.dll, and the commit and the date this tool was built from");
  std::vector<std::string> names;
  for (const pelorin::ModeRow* row = pelorin::ModesBegin(); row != pelorin::ModesEnd(); ++row)
    names.push_back(row->name);
  const auto mode_names = CLI::IsMember(names, CLI::ignore_case);
  // CLI11 takes the next argument as the value even when it is one of the
  // tool's options; any other name, "-x.cfg" too, is a file name.
  const auto file_name = CLI::Validator(
      [&app](const std::string& name) {
        const std::string option = name.substr(0, name.find('='));
        bool known = name.rfind('-', 0) == 0 && app.get_option_no_throw(option) != nullptr;
        for (const CLI::App* command : app.get_subcommands([](CLI::App*) { return true; }))
          known = known || (name.rfind('-', 0) == 0 && command->get_option_no_throw(option) != nullptr);
        return known ? "a file name, not an option, is needed" : "";
      },
      "NAME");

  command.status = app.add_subcommand("status",
                                      "Firefox install directory, configured preference and autoconfig "
                                      "files, inline proxy state, the agent's registry values and files");
  command.start = app.add_subcommand("start",
                                     "put Firefox into a protection mode, then list the files and "
                                     "registry values that changed");
  command.start->add_option("mode", command.mode, "zarn, tovk or dlp")->required()->transform(mode_names);
  command.start->add_option("--loader", command.loader_name, "preference loader file name (default: the library's)")
      ->check(file_name);
  command.start->add_option("--cfg", command.cfg_name, "autoconfig file name (default: the library's)")
      ->check(file_name);
  auto* uninitialize =
      command.start->add_flag("--uninitialize", command.options.uninitialize,
                              "call PelorinUninitialize afterwards, as the agent does when it unloads the library");
  command.start
      ->add_flag("--dry-run", command.options.dry_run,
                 "print what the start would change (a diff of each file, each registry value), writing nothing")
      ->excludes(uninitialize);
  command.cleanup = app.add_subcommand("cleanup", "take the library's lines out of the recorded autoconfig file");
  command.cleanup->add_flag("--only-proxy", command.options.only_proxy, "take out only the proxy lines");
  command.cleanup->add_flag("--dry-run", command.options.dry_run,
                            "print what the cleanup would change (a diff of the file), writing nothing");
  command.check = app.add_subcommand("check",
                                     "whether Firefox will start with the mode's preferences locked, and "
                                     "what stands in the way; reads only. Exit status 0: every lock will "
                                     "hold, 1: a finding stands in the way, 2: usage error or the check "
                                     "failed");
  command.check->add_option("--mode", command.mode, "zarn, tovk or dlp (default: read from the autoconfig file)")
      ->transform(mode_names);
  command.check
      ->add_option("--format", command.options.format,
                   "text (default), json, intune (one line of JSON, exit status 0 whenever the check ran), "
                   "configmgr (Compliant or NonCompliant: codes, exit status 0 whenever the check ran) or summary "
                   "(one line naming every finding code)")
      ->check(CLI::IsMember({"text", "json", "intune", "configmgr", "summary"}));
  command.check->add_flag("--record", command.options.record,
                          "also write the verdict's settings under "
                          "HKLM\\SOFTWARE\\Tervia\\Agent\\Compliance\\Firefox; exit status 2 when it cannot");
  auto* rules = command.check->add_flag("--intune-rules", command.intune_rules,
                                        "print Intune's compliance rules file for --format intune, and check nothing");
  command.check->add_option("--more-info-url", command.more_info_url, "the rules' MoreInfoUrl")->needs(rules);
}

int RunCommand(Command& command) {
  Options& options = command.options;
  options.loader_name = pelorin::Utf8ToWide(command.loader_name);
  options.cfg_name = pelorin::Utf8ToWide(command.cfg_name);
  if (!command.mode.empty()) options.mode = pelorin::FindMode(command.mode)->mode;

  Outcome outcome;
  std::vector<std::string> records;
  if (command.check->parsed() && command.intune_rules) {
    WriteOut(IntuneRules(command.more_info_url));
    return kExitSuccess;
  }
  if (command.check->parsed()) {
    outcome = RunCheck(options);
  } else if (options.dry_run) {
    outcome = RunDryRun(options, command.cleanup->parsed());
    records = outcome.log;
  } else {
    // Whatever else the library prints must not mix with the report.
    LibraryOutput printed;
    Library library(LibraryPath());
    LogTail log;
    if (command.start->parsed()) {
      outcome = RunStart(library, options);
    } else if (command.cleanup->parsed()) {
      outcome = RunCleanup(library, options);
    } else {
      outcome = RunStatus(library);
    }
    records = log.NewRecords();
    outcome.library_output = printed.Take() + outcome.library_output;
  }
  if (command.verbose) outcome.report.push_back({"log", "Log records", Value::Strings(records)});
  if (!outcome.printed.empty()) {
    WriteOut(outcome.printed);
  } else {
    const bool json = command.json || options.format == "json";
    WriteOut(json ? RenderJson(outcome.report) : RenderText(outcome.report));
  }
  WriteErr(outcome.library_output);
  if (outcome.failure.empty()) return kExitSuccess;
  // A one-line format already says it, and a reader may take both streams.
  if (outcome.printed.empty()) WriteErr("pelorinctl: " + outcome.failure + "\n");
  return kExitFailure;
}

int Run(CLI::App& app, Command& command, std::vector<std::string> arguments) {
  try {
    app.parse(arguments);
  } catch (const CLI::CallForHelp&) {
    WriteOut(app.help());
    return kExitSuccess;
  } catch (const CLI::ParseError& error) {
    WriteErr(std::string("pelorinctl: ") + error.what() + "\n");
    return kExitUsage;
  }
  if (command.version) {
    WriteOut("Pelorin.dll " + ModuleVersion(LibraryPath()) +
             "\npelorinctl " PELORIN_VERSION ", commit " PELORIN_COMMIT ", built " PELORIN_BUILD_DATE "\n");
    return kExitSuccess;
  }
  if (app.get_subcommands().empty()) {
    WriteErr("pelorinctl: no command given (try --help)\n");
    return kExitUsage;
  }
  return RunCommand(command);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  PrepareStreams();
  CLI::App app("Drives Pelorin.dll (loaded from this program's folder) as the agent does.", "pelorinctl");
  Command command;
  std::vector<std::string> arguments;
  // CLI11 takes the arguments last first.
  for (int index = argc - 1; index > 0; --index) arguments.push_back(pelorin::WideToUtf8(argv[index]));
  try {
    Define(app, command);
    return Run(app, command, std::move(arguments));
  } catch (const ToolError& error) {
    WriteErr(std::string("pelorinctl: ") + error.what() + "\n");
    return error.ExitCode();
  } catch (const std::exception& error) {
    WriteErr(std::string("pelorinctl: ") + error.what() + "\n");
    // A check that cannot finish must not read as a finding.
    return command.check != nullptr && command.check->parsed() ? kExitUsage : kExitFailure;
  }
}
