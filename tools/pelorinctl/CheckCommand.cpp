#include <algorithm>

#include "Commands.h"
#include "Compliance.h"
#include "Console.h"
#include "tool/Tool.h"

namespace pelorinctl {

namespace {

std::string Padded(std::string text, size_t width) {
  text.resize(std::max(text.size(), width), ' ');
  return text;
}

Value PathOrNone(const std::wstring& path, const char* when_empty) {
  return path.empty() ? Value::Null(when_empty) : Value::String(pelorin::WideToUtf8(path));
}

// Typed as Firefox types it, so that a script can compare it with what
// Firefox reports.
Value PrefValueOf(const pelorin::PrefValue& value) {
  Value typed = Value::String(value.text);
  if (value.kind == pelorin::PrefValue::Kind::kNumber) typed = Value::Int(std::stoll(value.text));
  if (value.kind == pelorin::PrefValue::Kind::kBool) typed = Value::Bool(value.text == "true");
  typed.shown = pelorin::ValueText(value);
  return typed;
}

}  // namespace

Outcome RunCheck(const Options& options) {
  const pelorin::CheckResult result = pelorin::CheckFirefox(options.mode);
  Outcome outcome;
  Report& report = outcome.report;
  Value mode = Value::Null("(unknown)");
  if (result.mode) {
    const char* source = result.mode_from_file ? " (from the autoconfig file)" : "";
    const char* name = pelorin::RowOf(*result.mode).name;
    mode = Value::String(name, name + std::string(source));
  }
  report.push_back({"mode", "Mode", mode});
  report.push_back({"firefox_install_dir", "Firefox install directory", PathOrNone(result.install_dir, "(not found)")});
  report.push_back({"loader_file", "Loader file", PathOrNone(result.loader_file, "(none)")});
  report.push_back({"autoconfig_file", "Autoconfig file", PathOrNone(result.autoconfig_file, "(none)")});

  std::vector<Value> prefs;
  for (const pelorin::PrefVerdict& pref : result.prefs) {
    Value value = PrefValueOf(pref.value);
    value.shown = Padded(value.shown, 5);
    prefs.push_back(Value::Section({{"name", "", Value::String(pref.name, Padded(pref.name, 38))},
                                    {"value", "", value},
                                    {"locked", "", Value::Bool(pref.lock, "locked", "default")},
                                    {"holds", "", Value::Bool(pref.holds, "holds", "DOES NOT HOLD")}}));
  }
  report.push_back({"preferences", "Preferences", Value::List(prefs)});

  std::vector<Value> findings;
  for (const pelorin::Finding& finding : result.findings) {
    const std::string subject = pelorin::WideToUtf8(finding.subject);
    findings.push_back(Value::Section({{"code", "", Value::String(finding.code, "[" + finding.code + "]")},
                                       {"subject", "", Value::String(subject, subject + ":")},
                                       {"message", "", Value::String(finding.message)}}));
  }
  report.push_back({"findings", "Findings", Value::List(findings)});
  report.push_back({"locked", "Firefox starts locked", Value::Bool(result.AllHold())});

  const std::vector<Setting> settings = ComplianceSettings(result);
  if (options.record) RecordCompliance(settings);
  // Fleet tools read a non-zero exit as a failed script, not as a finding.
  if (options.format == "intune") {
    outcome.printed = IntuneLine(settings);
  } else if (options.format == "configmgr") {
    outcome.printed = ConfigMgrLine(result);
  } else if (!result.AllHold()) {
    outcome.failure = std::to_string(result.findings.size()) + " finding(s) stand in the way of the mode's locks";
  }
  if (options.format == "summary") outcome.printed = SummaryLine(result);
  return outcome;
}

}  // namespace pelorinctl
