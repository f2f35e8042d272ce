#include "Compliance.h"

#include <algorithm>
#include <cctype>

#include "Library.h"
#include "check/Findings.h"
#include "rapidjson/stringbuffer.h"
#include "rapidjson/writer.h"

namespace pelorinctl {

namespace {

// Each preference any mode sets. A mode that does not set one leaves its
// setting true, so that one rule serves every mode.
constexpr std::pair<const char*, const char*> kPrefSettings[] = {
    {"network.proxy.type", "ProxyTypeHolds"},
    {"network.proxy.no_proxies_on", "NoProxiesOnHolds"},
    {"security.enterprise_roots.enabled", "EnterpriseRootsHolds"},
    {"security.use_mozillapkix_verification", "PkixVerificationHolds"},
    {"extensions.install.requireBuiltInCerts", "RequireBuiltInCertsHolds"},
    {"extensions.autoDisableScopes", "AutoDisableScopesHolds"},
    {"extensions.enabledScopes", "EnabledScopesHolds"},
};

constexpr size_t kSummaryLimit = 2048;

// "cfg-cut-off" -> "CfgCutOff": the setting that is true while that finding stands.
std::string FindingSetting(const std::string& code) {
  std::string name;
  bool upper = true;
  for (char c : code) {
    if (c == '-') {
      upper = true;
      continue;
    }
    name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    upper = false;
  }
  return name;
}

Setting Boolean(const std::string& name, bool flag) { return {name, SettingType::kBoolean, flag, 0, ""}; }
Setting Int64(const std::string& name, int64_t number) { return {name, SettingType::kInt64, false, number, ""}; }
Setting String(const std::string& name, const std::string& text) {
  return {name, SettingType::kString, false, 0, text};
}

std::string Joined(const std::vector<std::string>& codes) {
  std::string joined;
  for (const std::string& code : codes) joined += (joined.empty() ? "" : ",") + code;
  return joined;
}

// `codes`: the verdict's finding codes.
bool Found(const std::vector<std::string>& codes) {
  for (const char* absent : {"firefox-not-registered", "install-folder-missing"}) {
    if (std::find(codes.begin(), codes.end(), absent) != codes.end()) return false;
  }
  return true;
}

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void Key(JsonWriter& writer, const std::string& text) {
  writer.Key(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
}

void Text(JsonWriter& writer, const std::string& text) {
  writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
}

void Rule(JsonWriter& writer, const std::string& name, const std::string& url, const std::string& title,
          const std::string& description, bool operand) {
  writer.StartObject();
  Key(writer, "SettingName");
  Text(writer, name);
  Key(writer, "Operator");
  Text(writer, "IsEquals");
  Key(writer, "DataType");
  Text(writer, "Boolean");
  Key(writer, "Operand");
  writer.Bool(operand);
  Key(writer, "MoreInfoUrl");
  Text(writer, url);
  Key(writer, "RemediationStrings");
  writer.StartArray();
  writer.StartObject();
  Key(writer, "Language");
  Text(writer, "en_US");
  Key(writer, "Title");
  Text(writer, title);
  Key(writer, "Description");
  Text(writer, description);
  writer.EndObject();
  writer.EndArray();
  writer.EndObject();
}

}  // namespace

const char* TypeName(SettingType type) {
  switch (type) {
    case SettingType::kBoolean: return "Boolean";
    case SettingType::kInt64: return "Int64";
    case SettingType::kString: return "String";
  }
  return "";
}

std::vector<std::string> FindingCodes(const pelorin::CheckResult& result) {
  std::vector<std::string> codes;
  for (const pelorin::Finding& finding : result.findings) codes.push_back(finding.code);
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return codes;
}

std::vector<Setting> ComplianceSettings(const pelorin::CheckResult& result) {
  const std::vector<std::string> codes = FindingCodes(result);
  for (const std::string& code : codes) {
    if (pelorin::FindFindingKind(code) == nullptr)
      throw ToolError(kExitUsage, "the check reported an unknown finding " + code);
  }
  std::vector<Setting> settings = {
      Int64("SchemaVersion", kComplianceSchemaVersion),
      Boolean("FirefoxFound", Found(codes)),
      Boolean("FirefoxStartsLocked", result.AllHold()),
      String("Mode", result.mode ? pelorin::RowOf(*result.mode).name : ""),
      Int64("FindingCount", static_cast<int64_t>(result.findings.size())),
      String("FindingCodes", Joined(codes)),
  };
  for (const pelorin::PrefVerdict& pref : result.prefs) {
    const auto known = std::find_if(std::begin(kPrefSettings), std::end(kPrefSettings),
                                    [&](const auto& row) { return pref.name == row.first; });
    if (known == std::end(kPrefSettings)) throw ToolError(kExitUsage, "no compliance setting for " + pref.name);
  }
  for (const auto& [pref_name, setting] : kPrefSettings) {
    bool holds = true;
    for (const pelorin::PrefVerdict& pref : result.prefs) {
      if (pref.name == pref_name) holds = pref.holds;
    }
    settings.push_back(Boolean(setting, holds));
  }
  for (const pelorin::FindingKind* kind = pelorin::FindingKindsBegin(); kind != pelorin::FindingKindsEnd(); ++kind) {
    settings.push_back(
        Boolean(FindingSetting(kind->code), std::find(codes.begin(), codes.end(), kind->code) != codes.end()));
  }
  return settings;
}

std::string IntuneLine(const std::vector<Setting>& settings) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  writer.StartObject();
  for (const Setting& setting : settings) {
    Key(writer, setting.name);
    switch (setting.type) {
      case SettingType::kBoolean: writer.Bool(setting.flag); break;
      case SettingType::kInt64: writer.Int64(setting.number); break;
      case SettingType::kString: Text(writer, setting.text); break;
    }
  }
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

std::string IntuneRules(const std::string& more_info_url) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  writer.StartObject();
  Key(writer, "Rules");
  writer.StartArray();
  Rule(writer, "FirefoxStartsLocked", more_info_url, "Firefox does not start with the agent's locks in force.",
       "Run pelorinctl check on the device: each finding it reports says what stands in the way and what to do.", true);
  for (const pelorin::FindingKind* kind = pelorin::FindingKindsBegin(); kind != pelorin::FindingKindsEnd(); ++kind) {
    Rule(writer, FindingSetting(kind->code), more_info_url, std::string("Finding ") + kind->code + ".", kind->remedy,
         false);
  }
  writer.EndArray();
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

std::string ConfigMgrLine(const pelorin::CheckResult& result) {
  if (result.AllHold()) return "Compliant\n";
  return "NonCompliant: " + Joined(FindingCodes(result)) + "\n";
}

std::string SummaryLine(const pelorin::CheckResult& result) {
  const std::string mode = result.mode ? pelorin::RowOf(*result.mode).name : "unknown";
  std::string line;
  if (result.AllHold()) {
    line = "Firefox starts locked (mode " + mode + "): no finding.";
  } else {
    line = "Firefox does not start locked (mode " + mode + "): " + std::to_string(result.findings.size()) +
           " finding(s): " + Joined(FindingCodes(result)) + ".";
  }
  // Intune keeps only the first 2 048 characters; the codes come first and
  // are short, so only a path could make the line longer, and none is in it.
  if (line.size() > kSummaryLimit) line.resize(kSummaryLimit);
  return line + "\n";
}

}  // namespace pelorinctl
