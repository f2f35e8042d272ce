#include "CommandLine.h"

#include <algorithm>
#include <optional>

#include "ToolError.h"
#include "Utf8.h"

namespace pelorinctl {

namespace {

std::string Quoted(const std::wstring& arg) { return "'" + ToUtf8(arg) + "'"; }

bool IsOption(const std::wstring& arg) { return arg.size() > 1 && arg[0] == L'-'; }

std::optional<Command> CommandNamed(const std::wstring& name) {
  if (name == L"status") return Command::Status;
  if (name == L"start") return Command::Start;
  if (name == L"cleanup") return Command::Cleanup;
  return std::nullopt;
}

std::optional<Mode> ModeNamed(std::wstring name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; });
  if (name == L"zarn") return Mode::Zarn;
  if (name == L"tovk") return Mode::Tovk;
  if (name == L"dlp") return Mode::Dlp;
  return std::nullopt;
}

const wchar_t* CommandWord(Command command) {
  switch (command) {
    case Command::Start: return L"start";
    case Command::Cleanup: return L"cleanup";
    default: return L"status";
  }
}

class Parser {
 public:
  explicit Parser(const std::vector<std::wstring>& args) : args_(args) {}

  Options Parse() {
    for (index_ = 0; index_ < args_.size(); ++index_) {
      const std::wstring& arg = args_[index_];
      if (IsOption(arg)) {
        Option(arg);
      } else {
        Positional(arg);
      }
    }
    if (!command_) throw UsageError("no command given (try --help)");
    if (*command_ == Command::Start && !mode_) throw UsageError("start needs a mode: zarn, tovk or dlp");
    options_.command = *command_;
    if (mode_) options_.mode = *mode_;
    return options_;
  }

 private:
  void Positional(const std::wstring& arg) {
    if (!command_) {
      command_ = CommandNamed(arg);
      if (!command_) throw UsageError("unknown command " + Quoted(arg));
    } else if (*command_ == Command::Start && !mode_) {
      mode_ = ModeNamed(arg);
      if (!mode_) throw UsageError("unknown mode " + Quoted(arg) + " (expected zarn, tovk or dlp)");
    } else {
      throw UsageError("unexpected argument " + Quoted(arg));
    }
  }

  void Option(const std::wstring& arg) {
    size_t equals = arg.find(L'=');
    std::wstring name = arg.substr(0, equals);
    std::optional<std::wstring> inline_value;
    if (equals != std::wstring::npos) inline_value = arg.substr(equals + 1);

    if (name == L"--json") return Flag(name, inline_value, options_.json);
    if (name == L"-v" || name == L"--verbose") return Flag(name, inline_value, options_.verbose);
    bool starting = command_ == Command::Start;
    if (starting && name == L"--loader") return Value(name, inline_value, options_.loader_name);
    if (starting && name == L"--cfg") return Value(name, inline_value, options_.cfg_name);
    if (starting && name == L"--uninitialize") return Flag(name, inline_value, options_.uninitialize);
    if (command_ == Command::Cleanup && name == L"--only-proxy") {
      return Flag(name, inline_value, options_.only_proxy);
    }
    std::string where = command_ ? std::string(" for ") + ToUtf8(CommandWord(*command_)) : std::string();
    throw UsageError("unknown option " + Quoted(name) + where);
  }

  static void Flag(const std::wstring& name, const std::optional<std::wstring>& inline_value, bool& flag) {
    if (inline_value) throw UsageError("option " + ToUtf8(name) + " takes no value");
    flag = true;
  }

  // A following argument that looks like an option is not taken as the
  // value: "--loader --uninitialize" is almost certainly a mistake, and a name
  // that starts with "-" can still be given as --loader=-name.
  void Value(const std::wstring& name, const std::optional<std::wstring>& inline_value, std::wstring& value) {
    if (inline_value) {
      value = *inline_value;
      return;
    }
    if (index_ + 1 >= args_.size() || IsOption(args_[index_ + 1])) {
      throw UsageError("option " + ToUtf8(name) + " needs a value");
    }
    value = args_[++index_];
  }

  const std::vector<std::wstring>& args_;
  size_t index_ = 0;
  std::optional<Command> command_;
  std::optional<Mode> mode_;
  Options options_;
};

bool Asks(const std::vector<std::wstring>& args, std::initializer_list<const wchar_t*> names) {
  return std::any_of(args.begin(), args.end(), [&](const std::wstring& arg) {
    return std::any_of(names.begin(), names.end(), [&](const wchar_t* name) { return arg == name; });
  });
}

}  // namespace

Options ParseCommandLine(const std::vector<std::wstring>& args) {
  // Help and version win over everything else on the line, mistakes included.
  Options options;
  if (Asks(args, {L"--help", L"-h", L"/?"})) {
    options.command = Command::Help;
    return options;
  }
  if (Asks(args, {L"--version"})) {
    options.command = Command::Version;
    return options;
  }
  return Parser(args).Parse();
}

const char* ModeName(Mode mode) {
  switch (mode) {
    case Mode::Zarn: return "zarn";
    case Mode::Tovk: return "tovk";
    default: return "dlp";
  }
}

std::string UsageText() {
  return "Usage: pelorinctl [--json] [-v] COMMAND [OPTIONS]\n"
         "\n"
         "Drives Pelorin.dll (loaded from this program's folder) as the agent does.\n"
         "\n"
         "Commands:\n"
         "  status                      Firefox install directory, configured preference\n"
         "                              and autoconfig files, inline proxy state, the\n"
         "                              agent's registry values and configuration files\n"
         "  start zarn|tovk|dlp         put Firefox into a protection mode, then list the\n"
         "                              files and registry values that changed\n"
         "      --loader NAME           preference loader file name (default: the library's)\n"
         "      --cfg NAME              autoconfig file name (default: the library's)\n"
         "      --uninitialize          call PelorinUninitialize afterwards, as the agent\n"
         "                              does when it unloads the library\n"
         "  cleanup [--only-proxy]      take the library's lines (or only the proxy lines)\n"
         "                              out of the recorded autoconfig file\n"
         "\n"
         "Options:\n"
         "  --json                      print the report as JSON (UTF-8)\n"
         "  -v, --verbose               also print the log records the command produced\n"
         "  -h, --help                  print this help\n"
         "  --version                   print the version of Pelorin.dll\n"
         "\n"
         "Exit status: 0 success, 1 the library reported failure, 2 usage error.\n"
         "Messages the library prints itself go to standard error.\n";
}

}  // namespace pelorinctl
