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

// Each mode's lines as a file holds them, each ended by "\n".
inline const std::string kProxy = kCfgProxyType + "\n" + kCfgNoProxies + "\n";
inline const std::string kRoots = kCfgEnterpriseRoots + "\n";
inline const std::string kScopes = kCfgAutoDisableScopes + "\n" + kCfgEnabledScopes + "\n";
inline const std::string kTovkLines = kProxy + kRoots;
inline const std::string kZarnLines = kCfgPkix + "\n" + kCfgBuiltinCerts + "\n" + kTovkLines;
// DLP's, at the end of an autoconfig file.
inline std::string DlpCfgTail(bool inline_proxy) { return kScopes + (inline_proxy ? kProxy : "") + kRoots; }

// A loader file's two lines naming `cfg_name`.
inline std::string Loader(const std::string& cfg_name) { return kPrefObscure + "\n" + PrefFilename(cfg_name) + "\n"; }
inline const std::string kV2nLoader = Loader("cv_mozilla_V2N.cfg");

}  // namespace testing_support
