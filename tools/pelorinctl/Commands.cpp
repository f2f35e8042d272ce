#include <functional>
#include <optional>

#include "Commands.h"
#include "Console.h"
#include "FileWatch.h"

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
  for (const auto& [name, value] : pelorin::tool::ReadRecordValues()) {
    records.push_back({pelorin::WideToUtf8(name), pelorin::WideToUtf8(name), OptionalText(value, "(not set)")});
  }
  report.push_back({"agent_values", "Agent registry values", Value::Section(records)});

  std::optional<std::wstring> install_path = pelorin::tool::AgentInstallPath();
  report.push_back({"agent_install_path", "Agent install path", OptionalText(install_path, "(not set)")});
  std::vector<Field> files;
  for (const wchar_t* name : {L"ClientConfig.qcf", L"RvClientConfig.qcf", L"PXYClientConfig.qcf"}) {
    // Joined without a separator, as the library joins them.
    bool present = install_path && pelorin::tool::IsFilePresent(*install_path + name);
    files.push_back({pelorin::WideToUtf8(name), pelorin::WideToUtf8(name), Value::Bool(present, "present", "absent")});
  }
  report.push_back({"agent_config_files", "Agent configuration files", Value::Section(files)});
}

struct Start {
  const pelorin::ModeRow& row;
  std::function<int32_t()> call;
};

// The host's parameter blocks mean nothing to the library (it only copies
// and compares them), so the tool passes empty ones. Replay is the
// library's own business at unload: the host always passes 0.
Start BindStart(Library& library, const Options& options) {
  const std::wstring& loader = options.loader_name;
  const std::wstring& cfg = options.cfg_name;
  const pelorin::ModeRow& row = pelorin::RowOf(*options.mode);
  const std::string export_name = pelorin::WideToUtf8(row.export_name);
  switch (row.mode) {
    case Mode::kZarn: {
      auto fn = library.Require<PelorinZARNFFStartFn>(export_name.c_str());
      return {row, [=] {
                ZarnStartParams params;
                return fn(&params, loader, cfg, 0);
              }};
    }
    case Mode::kTovk: {
      auto fn = library.Require<PelorinTOVKFFStartFn>(export_name.c_str());
      return {row, [=] {
                TovkStartParams params;
                return fn(&params, loader, cfg, 0);
              }};
    }
    case Mode::kDlp: break;
  }
  auto fn = library.Require<PelorinDLPFFStartFn>(export_name.c_str());
  return {row, [=] { return fn(nullptr, loader, cfg); }};
}

// Explicit names need not match the listed patterns (a loader "x.txt").
std::vector<std::wstring> NamedFiles(const std::wstring& install_dir, const Options& options) {
  std::vector<std::wstring> files;
  if (!install_dir.empty() && !options.loader_name.empty()) {
    files.push_back(pelorin::tool::PrefDirOf(install_dir) + options.loader_name);
  }
  if (!install_dir.empty() && !options.cfg_name.empty()) files.push_back(install_dir + L"\\" + options.cfg_name);
  files.push_back(pelorin::tool::RecordedCfgPath());
  return files;
}

struct Verdict {
  std::string text;
  std::string failure;  // empty unless the library reported failure
};

// `refusal`: why the library refuses the start's names, or empty.
Verdict Judge(const Start& start, int32_t result, const std::string& refusal) {
  if (result == start.row.done_result) return {"done", ""};
  if (result == -1 && !refusal.empty()) return {"failed: " + refusal, refusal};
  if (result == -1) return {"failed: Firefox not found", "Firefox not found"};
  if (!start.row.web && result == start.row.skipped_result) {
    return {"skipped: the agent's RvClientConfig.qcf is present", ""};
  }
  return {"failed: unexpected result", "unexpected result"};
}

Value NameValue(const std::wstring& name) {
  return name.empty() ? Value::Null("(default)") : Value::String(pelorin::WideToUtf8(name));
}

// The files the library printed it could not write, read back through the
// failure line, the one contract of its standard output.
std::vector<pelorin::WriteFailure> ReadFailures(const std::string& printed) {
  std::vector<pelorin::WriteFailure> failures;
  size_t start = 0;
  while (start < printed.size()) {
    const size_t end = std::min(printed.find('\n', start), printed.size());
    if (auto failure = pelorin::ParseWriteFailure(std::string_view(printed).substr(start, end - start))) {
      failures.push_back(std::move(*failure));
    }
    start = end + 1;
  }
  return failures;
}

// The failed files, and the outcome and failure they make of a run that
// otherwise succeeded.
void AddFailures(const std::vector<pelorin::WriteFailure>& failures, const std::string& what, Outcome& outcome,
                 Report& report) {
  std::vector<Value> items;
  for (const pelorin::WriteFailure& failure : failures) {
    items.push_back(Value::Section({{"path", "", Value::String(failure.target, failure.target + ":")},
                                    {"step", "", Value::String(failure.step, failure.step + " failed")},
                                    {"error", "", Value::Int(failure.error)}}));
    items.back().fields.back().value.shown = "with error " + std::to_string(failure.error);
  }
  report.push_back({"failed_files", "Files not written", Value::List(std::move(items))});
  if (failures.empty() || !outcome.failure.empty()) return;
  const std::string not_written = std::to_string(failures.size()) + " file(s) not written";
  outcome.failure = what + ": " + not_written;
  for (Field& field : report) {
    if (field.key == "outcome") field.value = Value::String("failed: " + not_written);
  }
}

// "@@ -a,b +c,d @@" hunks with three lines of context, as diff -u prints them.
std::vector<std::string> UnifiedDiff(const pelorin::tool::PlannedFile& file) {
  constexpr size_t kContext = 3;
  const std::string path = pelorin::WideToUtf8(file.path);
  std::vector<std::string> out{"--- " + (file.created ? std::string("/dev/null") : path), "+++ " + path};
  const std::vector<pelorin::tool::DiffLine>& lines = file.lines;
  // Line numbers before each line, old and new.
  std::vector<size_t> old_number(lines.size() + 1), new_number(lines.size() + 1);
  std::vector<size_t> changed;
  for (size_t i = 0; i < lines.size(); ++i) {
    old_number[i + 1] = old_number[i] + (lines[i].kind != '+' ? 1 : 0);
    new_number[i + 1] = new_number[i] + (lines[i].kind != '-' ? 1 : 0);
    if (lines[i].kind != ' ') changed.push_back(i);
  }
  auto start = [](size_t before, size_t count) { return std::to_string(count == 0 ? before : before + 1); };
  for (size_t k = 0; k < changed.size();) {
    // Changes closer than twice the context share a hunk.
    size_t last = changed[k];
    const size_t begin = last >= kContext ? last - kContext : 0;
    while (++k < changed.size() && changed[k] - last <= 2 * kContext + 1) last = changed[k];
    const size_t end = std::min(last + kContext + 1, lines.size());
    const size_t old_count = old_number[end] - old_number[begin];
    const size_t new_count = new_number[end] - new_number[begin];
    out.push_back("@@ -" + start(old_number[begin], old_count) + "," + std::to_string(old_count) + " +" +
                  start(new_number[begin], new_count) + "," + std::to_string(new_count) + " @@");
    for (size_t line = begin; line < end; ++line) out.push_back(lines[line].kind + lines[line].text);
  }
  return out;
}

Value OptionalValue(const std::optional<std::wstring>& value) {
  return value ? Value::String(pelorin::WideToUtf8(*value)) : Value::Null("(not set)");
}

}  // namespace

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
  LibraryOutput printed;
  int32_t result = start.call();
  if (uninitialize != nullptr) uninitialize();

  Outcome outcome;
  outcome.library_output = printed.Take();
  const std::vector<pelorin::WriteFailure> failures = ReadFailures(outcome.library_output);
  const std::string export_name = pelorin::WideToUtf8(start.row.export_name);
  Verdict verdict = Judge(start, result, pelorin::tool::NameRefusal(options.loader_name, options.cfg_name));
  if (!verdict.failure.empty()) {
    outcome.failure = export_name + " returned " + std::to_string(result) + " (" + verdict.failure + ")";
  }

  Report& report = outcome.report;
  report.push_back({"mode", "Mode", Value::String(start.row.name)});
  report.push_back({"loader_name", "Loader file name", NameValue(options.loader_name)});
  report.push_back({"cfg_name", "Autoconfig file name", NameValue(options.cfg_name)});
  report.push_back({"result", "Result", Value::Int(result)});
  report.push_back({"outcome", "Outcome", Value::String(verdict.text)});
  report.push_back({"uninitialized", "Uninitialized", Value::Bool(uninitialize != nullptr)});
  for (Field& field : watch.Changes()) report.push_back(std::move(field));
  AddFailures(failures, export_name, outcome, report);
  return outcome;
}

Outcome RunCleanup(Library& library, const Options& options) {
  auto cleanup = library.Require<PelorinUninstallCleanUpFn>("PelorinUninstallCleanUp");
  // The cleanup works on the file FFCFG names, wherever that is.
  ChangeWatch watch(library.FirefoxInstallDir(), {pelorin::tool::RecordedCfgPath()});
  LibraryOutput printed;
  int32_t result = cleanup(options.only_proxy);

  Outcome outcome;
  outcome.library_output = printed.Take();
  const std::vector<pelorin::WriteFailure> failures = ReadFailures(outcome.library_output);
  if (result != 0) outcome.failure = "PelorinUninstallCleanUp returned " + std::to_string(result);
  Report& report = outcome.report;
  report.push_back({"only_proxy", "Only proxy lines", Value::Bool(options.only_proxy)});
  report.push_back({"result", "Result", Value::Int(result)});
  report.push_back({"outcome", "Outcome", Value::String(result == 0 ? "done" : "failed: unexpected result")});
  for (Field& field : watch.Changes()) report.push_back(std::move(field));
  AddFailures(failures, "PelorinUninstallCleanUp", outcome, report);
  return outcome;
}

Outcome RunDryRun(const Options& options, bool cleanup) {
  const pelorin::tool::DryRun run =
      cleanup ? pelorin::tool::PlanCleanup(options.only_proxy)
              : pelorin::tool::PlanStart(*options.mode, options.loader_name, options.cfg_name);
  Outcome outcome;
  Report& report = outcome.report;
  if (cleanup) {
    report.push_back({"only_proxy", "Only proxy lines", Value::Bool(options.only_proxy)});
  } else {
    const pelorin::ModeRow& row = pelorin::RowOf(*options.mode);
    report.push_back({"mode", "Mode", Value::String(row.name)});
    report.push_back({"loader_name", "Loader file name", NameValue(options.loader_name)});
    report.push_back({"cfg_name", "Autoconfig file name", NameValue(options.cfg_name)});
    if (run.result == -1) {
      std::string why = pelorin::tool::NameRefusal(options.loader_name, options.cfg_name);
      if (why.empty()) why = "Firefox not found";
      outcome.failure = pelorin::WideToUtf8(row.export_name) + " would return -1 (" + why + ")";
    }
  }
  report.push_back({"result", "Result", Value::Int(run.result)});
  report.push_back({"outcome", "Outcome", Value::String("dry run: nothing written")});

  std::vector<Value> files;
  for (const pelorin::tool::PlannedFile& file : run.files) {
    const std::string path = pelorin::WideToUtf8(file.path);
    std::string action = file.created ? "created" : "modified";
    if (file.not_written) {
      action =
          "not written: " + file.not_written->step + " failed with error " + std::to_string(file.not_written->error);
    }
    files.push_back(Value::Section({{"path", "", Value::String(path, path + ":")},
                                    {"action", "", Value::String(action)},
                                    {"diff", "", Value::Strings(UnifiedDiff(file))}}));
  }
  report.push_back({"planned_files", "Planned file changes", Value::List(std::move(files))});
  std::vector<Value> records;
  for (const pelorin::tool::PlannedRecord& record : run.records) {
    const std::string name = pelorin::WideToUtf8(record.name);
    Value before = OptionalValue(record.before);
    before.shown = (before.kind == Value::Kind::Null ? before.shown : pelorin::WideToUtf8(*record.before)) + " ->";
    records.push_back(Value::Section({{"name", "", Value::String(name, name + ":")},
                                      {"old", "", before},
                                      {"new", "", Value::String(pelorin::WideToUtf8(record.after))}}));
  }
  report.push_back({"planned_registry_values", "Planned registry values", Value::List(std::move(records))});
  for (const std::wstring& message : run.messages) outcome.log.push_back(pelorin::WideToUtf8(message));
  return outcome;
}

}  // namespace pelorinctl
