// The agent's registry names, in one place: its installer creates the keys,
// the library only reads them and writes values under Common.
#pragma once

namespace pelorin {

// The agent's installer writes InstallPath with a trailing backslash.
inline constexpr wchar_t AGENT_KEY[] = L"SOFTWARE\\Tervia\\Agent\\";
inline constexpr wchar_t AGENT_INSTALL_PATH_VALUE[] = L"InstallPath";

inline constexpr wchar_t AGENT_COMMON_KEY[] = L"SOFTWARE\\Tervia\\Agent\\Common\\";
inline constexpr wchar_t CFG_PATH_VALUE[] = L"FFCFG";
inline constexpr wchar_t OBSCURE_LINE_VALUE[] = L"FFObscure";
inline constexpr wchar_t FILENAME_LINE_VALUE[] = L"FFJSFile";

}  // namespace pelorin
