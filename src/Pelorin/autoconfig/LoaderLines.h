// The loader file's lines: the two preferences that make Firefox read the
// autoconfig file, and the markers by which the library's loader lines are
// recognised in any preference file (substring search on raw bytes, the
// double quotes included).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelorin {

// No banner: Firefox's preference parser sees this file, and the value must
// read exactly so for the obscure-value check to pass.
inline constexpr std::string_view PREF_LINE_OBSCURE_VALUE = "pref(\"general.config.obscure_value\", 0);";

// Each mode's own older name is its row's `cfg_marker`; this one, the
// default name, every web mode shares.
inline constexpr std::string_view kMarkerV2nCfg = "\"cv_mozilla_V2N.cfg\"";
inline constexpr std::string_view kMarkerObscureValue = "\"general.config.obscure_value\"";
inline constexpr std::string_view kMarkerFilename = "\"general.config.filename\"";

inline constexpr wchar_t kDefaultLoaderName[] = L"!.js";
inline constexpr wchar_t kDefaultCfgName[] = L"cv_mozilla_V2N.cfg";

// An empty name selects the default; any other is used as given, once
// FindRefusedName has let it through.
inline std::wstring NameOrDefault(const std::wstring& name, const wchar_t* fallback) {
  return name.empty() ? std::wstring(fallback) : name;
}

// Why `name` is not one plain file name ("holds a path separator"), or null
// when it is. Firefox takes general.config.filename only as a plain name in
// its own folder; a separator, a drive or ".." would lead the library's
// write out of that folder, and a quote or a control character would change
// the loader line itself.
const char* NameFault(std::wstring_view name);

// The first of a start's two names that is not plain, as given, and why;
// nullopt when both are (an empty name selects its default).
struct RefusedName {
  std::wstring name;
  const char* fault;
};
std::optional<RefusedName> FindRefusedName(const std::wstring& loader_name, const std::wstring& cfg_name);
// "refused the file name \"a\\b.cfg\": it holds a path separator"
std::wstring RefusalSentence(const RefusedName& refused);

// pref("general.config.filename", "<name>"); with the name in UTF-8, not
// escaped: a plain name needs no escape.
std::string FilenameLine(const std::wstring& cfg_name);

}  // namespace pelorin
