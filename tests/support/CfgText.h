// The library's preference lines as Firefox is to see them, written out by
// hand so that expected file contents never come from the code under test.
#pragma once

#include <string>

namespace testing_support {

inline const std::string kCfgPkix =
    "lockPref(\"security.use_mozillapkix_verification\", false); // Added by Corvane V2N";
inline const std::string kCfgBuiltinCerts =
    "lockPref(\"extensions.install.requireBuiltInCerts\", false); // Added by Corvane V2N";
inline const std::string kCfgProxyType = "lockPref(\"network.proxy.type\", 5); // Added by Corvane V2N";
inline const std::string kCfgNoProxies = "lockPref(\"network.proxy.no_proxies_on\", \"\"); // Added by Corvane V2N";
inline const std::string kCfgEnterpriseRoots =
    "lockPref(\"security.enterprise_roots.enabled\", true); // Added by Corvane V2N";
inline const std::string kCfgAutoDisableScopes =
    "defaultPref(\"extensions.autoDisableScopes\", 0); // Added by Corvane V2N";
inline const std::string kCfgEnabledScopes = "defaultPref(\"extensions.enabledScopes\", 15); // Added by Corvane V2N";

inline const std::string kPrefObscure = "pref(\"general.config.obscure_value\", 0);";
inline std::string PrefFilename(const std::string& cfg_name) {
  return "pref(\"general.config.filename\", \"" + cfg_name + "\");";
}

// DLP's lines at the end of an autoconfig file, each ended by "\n".
inline std::string DlpCfgTail(bool inline_proxy) {
  return kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n" +
         (inline_proxy ? kCfgProxyType + "\n" + kCfgNoProxies + "\n" : std::string()) + kCfgEnterpriseRoots + "\n";
}

}  // namespace testing_support
