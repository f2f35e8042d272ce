// The agent's registry names, in one place: its installer creates the keys,
// the library only reads them and writes values under Common.
#pragma once

namespace pelorin {

// The agent's installer writes InstallPath with a trailing backslash.
inline constexpr wchar_t kAgentKey[] = L"SOFTWARE\\Tervia\\Agent\\";
inline constexpr wchar_t kAgentInstallPathValue[] = L"InstallPath";

inline constexpr wchar_t kAgentCommonKey[] = L"SOFTWARE\\Tervia\\Agent\\Common\\";
inline constexpr wchar_t kCfgPathValue[] = L"FFCFG";
inline constexpr wchar_t kObscureLineValue[] = L"FFObscure";
inline constexpr wchar_t kFilenameLineValue[] = L"FFJSFile";

}  // namespace pelorin
