#include "proxy/InlineProxy.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "base/UniqueHandle.h"
#include "proxy/PolicyReader.h"
#include "proxy/ServiceState.h"
#include "rapidjson/document.h"

namespace pelorin {

namespace {

constexpr wchar_t kNetworkServiceName[] = L"cvtelonetworksvc";

using PolicyDocument = rapidjson::GenericDocument<rapidjson::UTF16<wchar_t>>;
using PolicyValue = PolicyDocument::ValueType;

// The member named `name` when `object` is an object that has one: the first
// of that name, compared code unit by code unit.
const PolicyValue* FindMember(const PolicyValue& object, const wchar_t* name) {
  if (!object.IsObject()) return nullptr;
  auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

// Iterative parsing: a deeply nested text must not exhaust the stack. The
// pool allocator frees the whole document at once, without walking it.
bool BlocksDlpAddOn(const std::wstring& text) {
  PolicyDocument document;
  document.Parse<rapidjson::kParseIterativeFlag>(text.c_str());
  if (document.HasParseError()) return false;
  const PolicyValue* entry = FindMember(document, kDlpAddOnId);
  if (entry == nullptr) return false;
  const PolicyValue* mode = FindMember(*entry, L"installation_mode");
  if (mode == nullptr || !mode->IsString()) return false;
  return std::wstring_view(mode->GetString()).find(L"blocked") != std::wstring_view::npos;
}

}  // namespace

bool IsInlineProxyEnabled(Messages& messages) {
  // Lives to the end of the call, its handles closed after the policy key.
  service_state_query service(kNetworkServiceName);
  if (!service.is_running().value) {
    messages.push_back(L"NetworkProxy service is NOT running");
    return false;
  }
  unique_hkey policies;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirefoxPolicyKey, 0, KEY_ALL_ACCESS, policies.put()) != ERROR_SUCCESS) {
    messages.push_back(L"Unable to open registry ExtensionSettings.");
    return false;
  }
  HKEY key = policies.get();
  std::wstring text;
  if (read_extension_settings(key, text) != ERROR_SUCCESS) {
    messages.push_back(L"Failed to read ExtensionSettings registry value.");
    return false;
  }
  return BlocksDlpAddOn(text);
}

}  // namespace pelorin
