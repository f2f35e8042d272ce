#include <functional>
#include <optional>

#include "AgentState.h"
#include "Commands.h"
#include "Console.h"
#include "FileWatch.h"
#include "lines/Lines.h"

namespace pelorinctl {

namespace {

inline constexpr char kNotExported[] = "(unavailable: not exported by Pelorin.dll)";

Value OptionalText(const std::optional<std::wstring>& text, const std::string& when_missing) {
  return text ? Value::String(pelorin::WideToUtf8(*text)) : Value::Null(when_missing);
}

// Only the library's test for an empty argument looks at it.
constexpr wchar_t kQueryId[] = L"pelorinctl";
// The outputs are written only when there is something to report. No file
// name contains '?', so an output still holding it was left untouched.
constexpr wchar_t kUnreported[] = L"?";

std::optional<std::wstring> Reported(const std::wstring& output) {
  if (output == kUnreported) return std::nullopt;
  return output;
}

void AddInstallDir(Library& library, Report& report) {
  Value value = Value::Null(kNotExported);
  if (library.Find<GetFirefoxInstallPathFn>("get_firefox_install_path") != nullptr) {
    std::wstring dir = library.FirefoxInstallDir();
    value = dir.empty() ? Value::Null("(not found)") : Value::String(pelorin::WideToUtf8(dir));
  }
  report.push_back({"firefox_install_dir", "Firefox install directory", value});
}

// Returns a failure description, or an empty string.
std::string AddConfiguredFiles(Library& library, Report& report) {
  Value first = Value::Null(kNotExported);
  Value cfg = Value::Null(kNotExported);
  std::string failure;
  if (auto query = library.Find<PelorinGetFFVersionAndCfgFn>("PelorinGetFFVersionAndCfg")) {
    std::wstring loader_name = kUnreported;
    std::wstring cfg_name = kUnreported;
    if (query(kQueryId, &loader_name, &cfg_name) != 1) failure = "PelorinGetFFVersionAndCfg reported failure";
    first = OptionalText(Reported(loader_name), "(none)");
    std::optional<std::wstring> named = Reported(cfg_name);
    cfg = named && named->empty() ? Value::String("", "(none named)") : OptionalText(named, "(none)");
  }
  report.push_back({"first_pref_file", "First preference file", first});
  report.push_back({"configured_cfg", "Autoconfig file it names", cfg});
  return failure;
}

void AddInlineProxy(Library& library, Report& report) {
  Value value = Value::Null(kNotExported);
  if (auto enabled = library.Find<IsInlineProxyEnabledFn>("IsInlineProxyEnabled")) {
    value = Value::Bool(enabled() != 0);
  }
  report.push_back({"inline_proxy", "Inline proxy in force", value});
}

void AddAgent(Report& report) {
  std::vector<Field> records;
  for (const auto& [name, value] : ReadRecordValues()) {
    records.push_back({pelorin::WideToUtf8(name), pelorin::WideToUtf8(name), OptionalText(value, "(not set)")});
  }
  report.push_back({"agent_values", "Agent registry values", Value::Section(records)});

  std::optional<std::wstring> install_path = ReadAgentInstallPath();
  report.push_back({"agent_install_path", "Agent install path", OptionalText(install_path, "(not set)")});
  std::vector<Field> files;
  for (const wchar_t* name : kAgentConfigFiles) {
    bool present = install_path && IsAgentFilePresent(*install_path, name);
    files.push_back({pelorin::WideToUtf8(name), pelorin::WideToUtf8(name), Value::Bool(present, "present", "absent")});
  }
  report.push_back({"agent_config_files", "Agent configuration files", Value::Section(files)});
}

struct Start {
  const char* export_name;
  std::function<int32_t()> call;
  int32_t done;     // the result of a complete run
  int32_t skipped;  // the result of a run the agent's configuration stopped
};

// The host's parameter blocks mean nothing to the library (it only copies
// and compares them), so the tool passes empty ones. Replay is the
// library's own business at unload: the host always passes 0.
Start BindStart(Library& library, const Options& options) {
  const std::wstring& loader = options.loader_name;
  const std::wstring& cfg = options.cfg_name;
  switch (*options.mode) {
    case Mode::Zarn: {
      auto fn = library.Require<PelorinZARNFFStartFn>("PelorinZARNFFStart");
      return {"PelorinZARNFFStart",
              [=] {
                ZarnStartParams params;
                return fn(&params, loader, cfg, 0);
              },
              0, 0};
    }
    case Mode::Tovk: {
      auto fn = library.Require<PelorinTOVKFFStartFn>("PelorinTOVKFFStart");
      return {"PelorinTOVKFFStart",
              [=] {
                TovkStartParams params;
                return fn(&params, loader, cfg, 0);
              },
              0, 0};
    }
    default: {
      auto fn = library.Require<PelorinDLPFFStartFn>("PelorinDLPFFStart");
      return {"PelorinDLPFFStart", [=] { return fn(nullptr, loader, cfg); }, 1, 0};
    }
  }
}

// Explicit names may point anywhere (the library uses them verbatim).
std::vector<std::wstring> NamedFiles(const std::wstring& install_dir, const Options& options) {
  std::vector<std::wstring> files;
  if (!install_dir.empty() && !options.loader_name.empty()) {
    files.push_back(install_dir + L"\\defaults\\pref\\" + options.loader_name);
  }
  if (!install_dir.empty() && !options.cfg_name.empty()) files.push_back(install_dir + L"\\" + options.cfg_name);
  files.push_back(ReadRecordedCfgPath());
  return files;
}

struct Verdict {
  std::string text;
  std::string failure;  // empty unless the library reported failure
};

Verdict Judge(const Start& start, Mode mode, int32_t result) {
  if (result == start.done) return {"done", ""};
  if (result == -1) return {"failed: Firefox not found", "Firefox not found"};
  if (mode == Mode::Dlp && result == start.skipped) return {"skipped: the agent's RvClientConfig.qcf is present", ""};
  return {"failed: unexpected result", "unexpected result"};
}

Value NameValue(const std::wstring& name) {
  return name.empty() ? Value::Null("(default)") : Value::String(pelorin::WideToUtf8(name));
}

}  // namespace

const char* ModeName(Mode mode) {
  switch (mode) {
    case Mode::Zarn: return "zarn";
    case Mode::Tovk: return "tovk";
    default: return "dlp";
  }
}

Outcome RunStatus(Library& library) {
  Outcome outcome;
  AddInstallDir(library, outcome.report);
  outcome.failure = AddConfiguredFiles(library, outcome.report);
  AddInlineProxy(library, outcome.report);
  AddAgent(outcome.report);
  if (!library.missing().empty()) outcome.failure = Library::MissingMessage(library.missing());
  return outcome;
}

Outcome RunStart(Library& library, const Options& options) {
  Start start = BindStart(library, options);
  PelorinUninitializeFn uninitialize =
      options.uninitialize ? library.Require<PelorinUninitializeFn>("PelorinUninitialize") : nullptr;

  std::wstring install_dir = library.FirefoxInstallDir();
  ChangeWatch watch(install_dir, NamedFiles(install_dir, options));
  int32_t result = start.call();
  if (uninitialize != nullptr) uninitialize();

  Outcome outcome;
  Verdict verdict = Judge(start, *options.mode, result);
  if (!verdict.failure.empty()) {
    outcome.failure =
        std::string(start.export_name) + " returned " + std::to_string(result) + " (" + verdict.failure + ")";
  }

  Report& report = outcome.report;
  report.push_back({"mode", "Mode", Value::String(ModeName(*options.mode))});
  report.push_back({"loader_name", "Loader file name", NameValue(options.loader_name)});
  report.push_back({"cfg_name", "Autoconfig file name", NameValue(options.cfg_name)});
  report.push_back({"result", "Result", Value::Int(result)});
  report.push_back({"outcome", "Outcome", Value::String(verdict.text)});
  report.push_back({"uninitialized", "Uninitialized", Value::Bool(uninitialize != nullptr)});
  for (Field& field : watch.Changes()) report.push_back(std::move(field));
  return outcome;
}

Outcome RunCleanup(Library& library, const Options& options) {
  auto cleanup = library.Require<PelorinUninstallCleanUpFn>("PelorinUninstallCleanUp");
  // The cleanup works on the file FFCFG names, wherever that is.
  ChangeWatch watch(library.FirefoxInstallDir(), {ReadRecordedCfgPath()});
  int32_t result = cleanup(options.only_proxy);

  Outcome outcome;
  if (result != 0) outcome.failure = "PelorinUninstallCleanUp returned " + std::to_string(result);
  Report& report = outcome.report;
  report.push_back({"only_proxy", "Only proxy lines", Value::Bool(options.only_proxy)});
  report.push_back({"result", "Result", Value::Int(result)});
  report.push_back({"outcome", "Outcome", Value::String(result == 0 ? "done" : "failed: unexpected result")});
  for (Field& field : watch.Changes()) report.push_back(std::move(field));
  return outcome;
}

}  // namespace pelorinctl
