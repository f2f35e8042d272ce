// The autoconfig file's line constants. Each is its preference text, one
// blank and the banner; the banner is what tells the library's own lines
// from a user's, so every comparison uses a constant whole, banner included.
//
// The constants are literals, so they exist before any code of the module
// runs and never change.
#pragma once

#include <string_view>

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

// Every constant ends in it: a line without it holds none of them.
inline constexpr std::string_view kCfgBanner = PELORIN_CFG_BANNER;

#undef PELORIN_CFG_BANNER

}  // namespace pelorin
