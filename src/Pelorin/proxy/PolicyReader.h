// Firefox's "ExtensionSettings" enterprise policy, read as one wide text.
#pragma once

#include <windows.h>

#include <string>

namespace pelorin {

// Firefox's enterprise policies under HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kFirefoxPolicyKey[] = L"SOFTWARE\\Policies\\Mozilla\\Firefox";

// Reads "ExtensionSettings" from the open Firefox policies key (left open).
// A REG_SZ value is taken as stored; a REG_MULTI_SZ list becomes its strings,
// each followed by a line feed. Returns 0 and fills `text`, or the registry's
// status, or ERROR_INVALID_DATA for any other type or a value too short to
// hold a terminator; on failure `text` is left as it was.
LONG read_extension_settings(HKEY& key, std::wstring& text);

}  // namespace pelorin
