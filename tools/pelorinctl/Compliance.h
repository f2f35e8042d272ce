// The check's verdict as one flat set of named, typed settings, the shape
// that fleet tools read: Intune's custom compliance, Configuration
// Manager's discovery scripts, and registry readers (Wazuh, osquery, OVAL)
// through the registry mirror. A name never changes meaning; a new meaning
// gets a new name, and SchemaVersion counts such changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tool/Tool.h"

namespace pelorinctl {

enum class SettingType { kBoolean, kInt64, kString };

struct Setting {
  std::string name;
  SettingType type = SettingType::kBoolean;
  bool flag = false;
  int64_t number = 0;
  std::string text;
};

inline constexpr int64_t kComplianceSchemaVersion = 1;

// Intune's names for the types: Boolean, Int64, String.
const char* TypeName(SettingType type);

// Every setting, in the documented order, for this verdict.
std::vector<Setting> ComplianceSettings(const pelorin::CheckResult& result);

// One compressed line of JSON, setting name to value.
std::string IntuneLine(const std::vector<Setting>& settings);
// Intune's rules file: every rule is a setting with the value it must have,
// and the finding's own sentence as its remediation.
std::string IntuneRules(const std::string& more_info_url);
// "Compliant", or "NonCompliant: " and the finding codes.
std::string ConfigMgrLine(const pelorin::CheckResult& result);
// One line, at most 2 048 characters, that names every finding code.
std::string SummaryLine(const pelorin::CheckResult& result);

// Writes the settings, a CheckedAt time and nothing else under
// HKLM\SOFTWARE\Tervia\Agent\Compliance\Firefox, and removes the values
// of settings this run did not write. Throws a ToolError (exit status 2)
// when a value cannot be written.
inline constexpr wchar_t kComplianceKey[] = L"SOFTWARE\\Tervia\\Agent\\Compliance\\Firefox";
void RecordCompliance(const std::vector<Setting>& settings);

// The finding codes, sorted, each once.
std::vector<std::string> FindingCodes(const pelorin::CheckResult& result);

}  // namespace pelorinctl
