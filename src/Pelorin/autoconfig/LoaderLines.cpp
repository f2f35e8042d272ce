#include "autoconfig/LoaderLines.h"

#include <initializer_list>

#include "files/TextConversion.h"

namespace pelorin {

const char* NameFault(std::wstring_view name) {
  if (name.empty()) return "is empty";
  if (name == L"." || name == L"..") return "is \".\" or \"..\"";
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'/') return "holds a path separator";
    if (c == L':') return "holds a drive colon";
    if (c == L'"') return "holds a double quote";
    if (c < 0x20 || c == 0x7f) return "holds a control character";
  }
  return nullptr;
}

std::optional<RefusedName> FindRefusedName(const std::wstring& loader_name, const std::wstring& cfg_name) {
  for (const std::wstring* name : {&loader_name, &cfg_name}) {
    if (name->empty()) continue;
    if (const char* fault = NameFault(*name)) return RefusedName{*name, fault};
  }
  return std::nullopt;
}

std::wstring RefusalSentence(const RefusedName& refused) {
  return L"refused the file name \"" + refused.name + L"\": it " + Utf8ToWide(refused.fault);
}

std::string FilenameLine(const std::wstring& cfg_name) {
  return "pref(\"general.config.filename\", \"" + WideToUtf8(cfg_name) + "\");";
}

}  // namespace pelorin
