#include <optional>

#include "AgentState.h"
#include "CommandParts.h"
#include "Commands.h"
#include "Utf8.h"

namespace pelorinctl {

namespace {

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
    std::wstring dir = FirefoxInstallDir(library);
    value = dir.empty() ? Value::Null("(not found)") : Value::String(ToUtf8(dir));
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
    records.push_back({ToUtf8(name), ToUtf8(name), OptionalText(value, "(not set)")});
  }
  report.push_back({"agent_values", "Agent registry values", Value::Section(records)});

  std::optional<std::wstring> install_path = ReadAgentInstallPath();
  report.push_back({"agent_install_path", "Agent install path", OptionalText(install_path, "(not set)")});
  std::vector<Field> files;
  for (const wchar_t* name : kAgentConfigFiles) {
    bool present = install_path && IsAgentFilePresent(*install_path, name);
    files.push_back({ToUtf8(name), ToUtf8(name), Value::Bool(present, "present", "absent")});
  }
  report.push_back({"agent_config_files", "Agent configuration files", Value::Section(files)});
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

}  // namespace pelorinctl
