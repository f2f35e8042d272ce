// The autoconfig file's line constants. Each is its preference text, one
// blank and the banner; the banner is what tells the library's own lines
// from a user's, so every comparison uses a constant whole, banner included.
//
// The constants are literals, so they exist before any code of the module
// runs and never change.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "lines/Lines.h"

namespace pelorin {

#define PELORIN_CFG_BANNER "// Added by Corvane V2N"

inline constexpr std::string_view CFG_LINE_AUTO_DISABLE_SCOPES =
    "defaultPref(\"extensions.autoDisableScopes\", 0); " PELORIN_CFG_BANNER;
inline constexpr std::string_view CFG_LINE_ENABLED_SCOPES =
    "defaultPref(\"extensions.enabledScopes\", 15); " PELORIN_CFG_BANNER;
inline constexpr std::string_view CFG_LINE_PKIX =
    "lockPref(\"security.use_mozillapkix_verification\", false); " PELORIN_CFG_BANNER;
inline constexpr std::string_view CFG_LINE_BUILTIN_CERTS =
    "lockPref(\"extensions.install.requireBuiltInCerts\", false); " PELORIN_CFG_BANNER;
inline constexpr std::string_view CFG_LINE_PROXY_TYPE = "lockPref(\"network.proxy.type\", 5); " PELORIN_CFG_BANNER;
inline constexpr std::string_view CFG_LINE_NO_PROXIES =
    "lockPref(\"network.proxy.no_proxies_on\", \"\"); " PELORIN_CFG_BANNER;
inline constexpr std::string_view CFG_LINE_ENTERPRISE_ROOTS =
    "lockPref(\"security.enterprise_roots.enabled\", true); " PELORIN_CFG_BANNER;

#undef PELORIN_CFG_BANNER

// Firefox skips the first line of an autoconfig file whatever it holds, so
// the library keeps a bare comment there.
inline constexpr std::string_view kCfgFirstLine = "//";

// Presence: a whole line equal to the constant; a line that lost its banner
// or kept a "\r" is not ours.
inline bool HasLine(const LineList& lines, std::string_view constant) {
  return std::find(lines.begin(), lines.end(), constant) != lines.end();
}

// Containment: a line holding any of the constants, so that a copy with a
// trailing "\r" or text around it is still recognised.
inline bool ContainsAny(std::string_view line, std::initializer_list<std::string_view> constants) {
  for (std::string_view constant : constants) {
    if (line.find(constant) != std::string_view::npos) return true;
  }
  return false;
}

inline void RemoveContainingAny(LineList& lines, std::initializer_list<std::string_view> constants) {
  RemoveLinesIf(lines, [constants](Line line) { return ContainsAny(line, constants); });
}

inline void EnsureBareFirstLine(LineList& lines) {
  if (lines.empty() || lines.front() != kCfgFirstLine) lines.insert(lines.begin(), kCfgFirstLine);
}

}  // namespace pelorin
