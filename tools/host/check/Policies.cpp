#include "check/Policies.h"

#include <windows.h>

#include <utility>

#include "base/Registry.h"
#include "base/UniqueHandle.h"
#include "files/FileContent.h"
#include "files/TextConversion.h"
#include "proxy/PolicyReader.h"
#include "rapidjson/document.h"

namespace pelorin {

namespace {

constexpr wchar_t kPolicyKeyName[] = L"HKLM\\SOFTWARE\\Policies\\Mozilla\\Firefox";

using Json = rapidjson::Value;
using Allocator = rapidjson::Document::AllocatorType;

// Established with Firefox ESR: each Proxy mode sets network.proxy.type so,
// replacing an autoconfig lock's value while the lock stays.
constexpr std::pair<const char*, const char*> kProxyModes[] = {
    {"none", "0"}, {"manual", "1"}, {"autoConfig", "2"}, {"autoDetect", "4"}, {"system", "5"}};

// Established with Firefox ESR: the Preferences policy replaces the value
// of these, also under an autoconfig lock, with Status "default", "locked"
// or a bare value; "user" sets a user value, which wins over the default an
// autoconfig file gives but not over its lock; "clear" changes neither; and
// the security.* preferences are not accepted at all.
constexpr const char* kPreferencesPolicyPrefs[] = {"network.proxy.type", "network.proxy.no_proxies_on",
                                                   "extensions.install.requireBuiltInCerts",
                                                   "extensions.autoDisableScopes", "extensions.enabledScopes"};

// Windows policies keep booleans as DWORD 0 or 1.
bool Truthy(const Json& value) {
  if (value.IsBool()) return value.GetBool();
  return value.IsNumber() && value.GetDouble() != 0;
}

std::optional<PrefValue> ToPrefValue(const Json& value) {
  if (value.IsBool()) return PrefValue{PrefValue::Kind::kBool, value.GetBool() ? "true" : "false"};
  if (value.IsInt64()) return PrefValue{PrefValue::Kind::kNumber, std::to_string(value.GetInt64())};
  if (value.IsString()) return PrefValue{PrefValue::Kind::kString, value.GetString()};
  return std::nullopt;
}

const Json* Member(const Json& object, const char* name) {
  if (!object.IsObject()) return nullptr;
  auto found = object.FindMember(name);
  return found == object.MemberEnd() ? nullptr : &found->value;
}

void AddProxy(const Json& proxy, const std::wstring& source, std::vector<PolicySetting>& settings) {
  if (const Json* mode = Member(proxy, "Mode"); mode != nullptr && mode->IsString()) {
    for (const auto& [name, type] : kProxyModes) {
      if (mode->GetString() == std::string(name)) {
        settings.push_back({"network.proxy.type", {PrefValue::Kind::kNumber, type}, source});
      }
    }
  }
  // Established with Firefox ESR: Passthrough becomes no_proxies_on.
  if (const Json* passthrough = Member(proxy, "Passthrough"); passthrough != nullptr && passthrough->IsString()) {
    settings.push_back({"network.proxy.no_proxies_on", {PrefValue::Kind::kString, passthrough->GetString()}, source});
  }
}

void AddPreferences(const Json& preferences, const std::wstring& source, std::vector<PolicySetting>& settings) {
  for (const char* pref : kPreferencesPolicyPrefs) {
    const Json* entry = Member(preferences, pref);
    if (entry == nullptr) continue;
    const Json* value = entry;
    bool user_value = false;
    if (entry->IsObject()) {
      const Json* status = Member(*entry, "Status");
      const std::string kind = status != nullptr && status->IsString() ? status->GetString() : "";
      if (kind == "clear") continue;
      user_value = kind == "user";
      value = Member(*entry, "Value");
      if (value == nullptr) continue;
    }
    if (std::optional<PrefValue> converted = ToPrefValue(*value))
      settings.push_back({pref, *converted, source, user_value});
  }
}

// `key` names the registry key the policies came from, and is empty for a
// policies.json `file`.
std::vector<PolicySetting> SettingsFrom(const Json& policies, const std::wstring& key, const std::wstring& file) {
  auto source = [&](const wchar_t* policy) { return key.empty() ? file : key + L"\\" + policy; };
  std::vector<PolicySetting> settings;
  if (const Json* proxy = Member(policies, "Proxy")) AddProxy(*proxy, source(L"Proxy"), settings);
  if (const Json* certificates = Member(policies, "Certificates")) {
    if (const Json* roots = Member(*certificates, "ImportEnterpriseRoots")) {
      settings.push_back({"security.enterprise_roots.enabled",
                          {PrefValue::Kind::kBool, Truthy(*roots) ? "true" : "false"},
                          source(L"Certificates")});
    }
  }
  if (const Json* preferences = Member(policies, "Preferences")) {
    AddPreferences(*preferences, source(L"Preferences"), settings);
  }
  return settings;
}

// Firefox maps the policy key to JSON: subkeys become objects, DWORDs
// numbers, strings stay strings unless they hold JSON (the form of the
// Preferences policy).
void KeyToJson(HKEY key, Json& object, Allocator& allocator) {
  DWORD longest_name = 0;
  DWORD longest_subkey = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest_subkey, nullptr, nullptr, &longest_name,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return;
  }
  std::wstring name(longest_name + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD name_length = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key, index, &name[0], &name_length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring value_name = name.substr(0, name_length);
    const RegistryRead read =
        ReadRegistryValue(key, value_name.c_str(), {REG_DWORD, REG_SZ, REG_MULTI_SZ}, kAnyRegistryLength);
    if (read.status != ERROR_SUCCESS || !read.value) continue;
    const RegistryValue& value = *read.value;
    Json member_name(WideToUtf8(value_name).c_str(), allocator);
    if (value.type == REG_DWORD) {
      if (value.bytes != sizeof(DWORD)) continue;
      const DWORD number = static_cast<DWORD>(value.units[0]) | (static_cast<DWORD>(value.units[1]) << 16);
      object.AddMember(member_name, Json(static_cast<unsigned>(number)), allocator);
    } else {
      std::wstring text = value.units;
      for (wchar_t& unit : text) {
        if (unit == L'\0') unit = L'\n';
      }
      const std::string utf8 = WideToUtf8(text.substr(0, text.find_last_not_of(L'\n') + 1));
      // Parsed into the key's own pool and moved, not copied: a copy recurses
      // once per level of nesting, and a policy value may nest deeper than
      // any stack.
      rapidjson::Document parsed(&allocator);
      if (!parsed.Parse<rapidjson::kParseIterativeFlag>(utf8.c_str()).HasParseError() && parsed.IsObject()) {
        object.AddMember(member_name, parsed.Move(), allocator);
      } else {
        object.AddMember(member_name, Json(utf8.c_str(), allocator), allocator);
      }
    }
  }
  std::wstring subkey(longest_subkey + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(subkey.size());
    if (RegEnumKeyExW(key, index, &subkey[0], &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    unique_hkey child;
    if (RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ, child.put()) != ERROR_SUCCESS) continue;
    Json child_object(rapidjson::kObjectType);
    KeyToJson(child.get(), child_object, allocator);
    object.AddMember(Json(WideToUtf8(subkey.substr(0, length)).c_str(), allocator), child_object, allocator);
  }
}

}  // namespace

std::vector<PolicySetting> ReadPolicySettings(const std::wstring& install_dir) {
  std::vector<PolicySetting> settings;
  unique_hkey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirefoxPolicyKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
    rapidjson::Document registry(rapidjson::kObjectType);
    KeyToJson(key.get(), registry, registry.GetAllocator());
    settings = SettingsFrom(registry, kPolicyKeyName, std::wstring());
  }
  // Established with Firefox ESR: a policies.json that is not valid JSON is
  // ignored whole, and the autoconfig values stand.
  const std::wstring file = install_dir + L"\\distribution\\policies.json";
  if (std::optional<std::string> text = TryReadFileFollowingLinks(file)) {
    rapidjson::Document document;
    // Iterative: a deeply nested text must not exhaust the stack.
    if (!document.Parse<rapidjson::kParseIterativeFlag>(text->c_str()).HasParseError()) {
      if (const Json* policies = Member(document, "policies")) {
        for (PolicySetting& setting : SettingsFrom(*policies, std::wstring(), file))
          settings.push_back(std::move(setting));
      }
    }
  }
  return settings;
}

}  // namespace pelorin
