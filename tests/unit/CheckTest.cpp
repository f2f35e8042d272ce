// The check, against files and registry values set up by hand: Firefox's
// rules as established with Firefox ESR (the end-to-end test holds the
// verdicts against Firefox itself), and the registry findings the Linux
// Firefox cannot see.
#include <gtest/gtest.h>

#include <functional>

#include "CfgText.h"
#include "Sandboxes.h"
#include "check/Check.h"

using namespace testing_support;
namespace {

constexpr wchar_t kPolicyName[] = L"HKLM\\SOFTWARE\\Policies\\Mozilla\\Firefox";
constexpr wchar_t kClientsKey[] = L"SOFTWARE\\Clients\\StartMenuInternet";
// Sorts after FIREFOX.EXE, the registration the library manages.
constexpr wchar_t kOtherFirefox[] = L"Zeta Firefox";
const std::string kTovkLines = kCfgProxyType + "\n" + kCfgNoProxies + "\n" + kCfgEnterpriseRoots + "\n";
const std::string kLoader = kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n";

// The other registrations a test may make, in the 64-bit view and per user.
void DeleteOtherRegistrations() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegDeleteTreeW(root, (std::wstring(kClientsKey) + L"\\" + kOtherFirefox).c_str());
  }
}

class Check : public ::testing::Test {
 protected:
  Check() {
    DeleteOtherRegistrations();
    firefox_.Register(registry_);
    WriteBytes(firefox_.pref(L"!.js"), kLoader);
    WriteBytes(firefox_.file(L"cv_mozilla_V2N.cfg"), "//\n" + kTovkLines);
  }
  ~Check() override { DeleteOtherRegistrations(); }

  // "<preferences that fail> / <finding codes>", each list comma-separated.
  static std::string Summary(const pelorin::CheckResult& result) {
    std::string failing;
    std::string codes;
    for (const pelorin::PrefVerdict& pref : result.prefs) {
      if (!pref.holds) failing += (failing.empty() ? "" : ",") + pref.name;
    }
    for (const pelorin::Finding& finding : result.findings) codes += (codes.empty() ? "" : ",") + finding.code;
    return failing + " / " + codes;
  }
  static std::string CheckTovk() { return Summary(pelorin::CheckFirefox(pelorin::CheckMode::kTovk)); }

  RegistrySandbox registry_;
  FirefoxInstall firefox_;
};

const std::string kAllTovk = "network.proxy.type,network.proxy.no_proxies_on,security.enterprise_roots.enabled";

TEST_F(Check, AutoconfigStatementsAsFirefoxRunsThem) {
  const struct {
    std::string content, expected;
  } cases[] = {
      {"//\n" + kTovkLines, " / "},
      {"//\n" + kTovkLines + "lockPref(\"network.proxy.type\", 1);\n", "network.proxy.type / cfg-foreign-line"},
      {"//\n" + kTovkLines + "unlockPref(\"security.enterprise_roots.enabled\");\n",
       "security.enterprise_roots.enabled / cfg-foreign-line"},
      // A lock ignores later defaults, user values and their clearing, and earlier locks.
      {"//\nlockPref(\"network.proxy.type\", 1);\n" + kTovkLines +
           "defaultPref(\"network.proxy.type\", 1);\n"
           "pref(\"network.proxy.type\", 1);\nclearPref(\"network.proxy.no_proxies_on\");\n",
       " / "},
      {kTovkLines, "network.proxy.type / cfg-line-missing"},  // Firefox skips the first line
      {"//\r\n" + kCfgProxyType + "\r\n" + kCfgNoProxies + "\r\n" + kCfgEnterpriseRoots, " / "},
      {"//\n" + kTovkLines + "lockPref(\"a\", 1); // cut in the comm", " / "},
      {"//\n" + kTovkLines + "lockPref(\"a\", 1); lockPref(\"network.proxy.ty", kAllTovk + " / cfg-cut-off"},
  };
  for (const auto& c : cases) {
    WriteBytes(firefox_.file(L"cv_mozilla_V2N.cfg"), c.content);
    EXPECT_EQ(CheckTovk(), c.expected) << c.content;
  }
}

TEST_F(Check, LoaderFilesInFirefoxsReadingOrder) {
  MakeDirectory(firefox_.file(L"browser"));
  MakeDirectory(firefox_.file(L"browser\\defaults"));
  MakeDirectory(firefox_.file(L"browser\\defaults\\preferences"));
  const std::string other = PrefFilename("other.cfg") + "\n";
  const struct {
    const wchar_t* file;
    std::string content, expected;
  } cases[] = {
      {L"defaults\\pref\\Z.js", other, " / "},
      {L"defaults\\pref\\zz.js", "pref(\"general.config.obscure_value\", 1);\n", " / "},
      {L"defaults\\pref\\!!.js", other, kAllTovk + " / loader-overridden,cfg-missing"},
      {L"defaults\\pref\\ .js", "pref(\"general.config.obscure_value\", 13);\n", kAllTovk + " / loader-overridden"},
      {L"browser\\defaults\\preferences\\zz.js", other, kAllTovk + " / loader-overridden,cfg-missing"},
      {L"defaults\\pref\\!.js", PrefFilename("cv_mozilla_V2N.cfg"), kAllTovk + " / loader-obscure-value"},
      {L"defaults\\pref\\!.js", kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg").substr(0, 40),
       kAllTovk + " / loader-missing"},  // cut off in the name
  };
  for (const auto& c : cases) {
    WriteBytes(firefox_.file(c.file), c.content);
    EXPECT_EQ(CheckTovk(), c.expected) << Narrow(c.file);
    DeleteFileW(firefox_.file(c.file).c_str());
    WriteBytes(firefox_.pref(L"!.js"), kLoader);
  }
}

TEST_F(Check, ModeFromTheLibrarysLines) {
  const struct {
    std::string lines;
    const char* mode;
  } cases[] = {
      {kCfgEnterpriseRoots + "\n" + kCfgBuiltinCerts + "\n", "zarn"},
      {kTovkLines + kCfgAutoDisableScopes + "\n", "tovk"},  // a web start with the agent's configuration
      {DlpCfgTail(true), "dlp"},
      {"lockPref(\"network.proxy.type\", 5);\n", ""},
  };
  for (const auto& c : cases) {
    WriteBytes(firefox_.file(L"cv_mozilla_V2N.cfg"), "//\n" + c.lines);
    const pelorin::CheckResult result = pelorin::CheckFirefox(std::nullopt);
    const std::string mode = result.mode ? pelorin::CheckModeName(*result.mode) : "";
    EXPECT_EQ(mode, c.mode) << c.lines;
    EXPECT_EQ(mode.empty(), Summary(result).find("mode-unknown") != std::string::npos) << Summary(result);
  }
}

TEST_F(Check, RegistryPoliciesThatWinOverTheLocks) {
  const std::wstring proxy = std::wstring(kFirefoxPolicyKey) + L"\\Proxy";
  const std::wstring certificates = std::wstring(kFirefoxPolicyKey) + L"\\Certificates";
  const struct {
    std::function<void(RegistrySandbox&)> set;
    std::string expected;
  } cases[] = {
      {[&](RegistrySandbox& r) { r.SetString(proxy, L"Mode", L"system"); }, " / "},
      {[&](RegistrySandbox& r) {
         r.SetString(proxy, L"Mode", L"none");
         r.SetDword(proxy, L"Locked", 1);
       },
       "network.proxy.type / policy-overrides"},
      {[&](RegistrySandbox& r) { r.SetString(proxy, L"Passthrough", L"intranet"); },
       "network.proxy.no_proxies_on / policy-overrides"},
      {[&](RegistrySandbox& r) { r.SetDword(certificates, L"ImportEnterpriseRoots", 1); }, " / "},
      {[&](RegistrySandbox& r) { r.SetDword(certificates, L"ImportEnterpriseRoots", 0); },
       "security.enterprise_roots.enabled / policy-overrides"},
      {[&](RegistrySandbox& r) {
         r.SetString(kFirefoxPolicyKey, L"Preferences",
                     L"{\"network.proxy.type\": {\"Value\": 1, \"Status\": \"user\"}}");
       },
       " / "},
      {[&](RegistrySandbox& r) {
         r.SetString(kFirefoxPolicyKey, L"Preferences", L"{\"network.proxy.type\": {\"Value\": 1}}", REG_MULTI_SZ);
       },
       "network.proxy.type / policy-overrides"},
  };
  for (const auto& c : cases) {
    registry_.DeleteTree(kFirefoxPolicyKey);
    c.set(registry_);
    EXPECT_EQ(CheckTovk(), c.expected) << "row " << &c - cases;
  }
  EXPECT_EQ(pelorin::CheckFirefox(pelorin::CheckMode::kTovk).findings.at(0).subject,
            std::wstring(kPolicyName) + L"\\Preferences");
}

TEST_F(Check, RegisteredInstalls) {
  FirefoxInstall other(L"Other Firefox");
  const std::wstring command = L"\"" + firefox_.file(L"firefox.exe") + L"\"";
  const std::wstring other_command = L"\"" + other.file(L"firefox.exe") + L"\"";
  const struct {
    HKEY root;
    REGSAM view;
    const wchar_t* key;
    std::wstring command, subject, expected;
  } cases[] = {
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kClientsKey, command, L"", L" / "},
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kClientsKey, other_command,
       L"HKLM\\SOFTWARE\\Clients\\StartMenuInternet\\Zeta Firefox", L" / other-install"},
      {HKEY_CURRENT_USER, 0, kClientsKey, other_command, L"HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Zeta Firefox",
       L" / other-install"},
      {HKEY_LOCAL_MACHINE, 0, kBrowserListKey, other_command,
       L"HKLM\\SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet\\Zeta Firefox", L" / other-install"},
  };
  for (const auto& c : cases) {
    DeleteOtherRegistrations();
    registry_.DeleteTree(std::wstring(kBrowserListKey) + L"\\" + kOtherFirefox);
    pelorin::unique_hkey key;
    const std::wstring path = std::wstring(c.key) + L"\\" + kOtherFirefox + L"\\shell\\open\\command";
    ASSERT_EQ(
        RegCreateKeyExW(c.root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | c.view, nullptr, key.put(), nullptr), 0);
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(c.command.c_str()),
                   static_cast<DWORD>((c.command.size() + 1) * sizeof(wchar_t)));
    const pelorin::CheckResult result = pelorin::CheckFirefox(pelorin::CheckMode::kTovk);
    EXPECT_EQ(Widen(Summary(result)), c.expected) << "row " << &c - cases;
    if (!result.findings.empty()) {
      EXPECT_EQ(result.findings[0].subject, c.subject);
    }
  }
  registry_.DeleteTree(kBrowserListKey);
  EXPECT_EQ(CheckTovk(), kAllTovk + " / firefox-not-registered");
  registry_.SetString(std::wstring(kBrowserListKey) + L"\\FIREFOX.EXE\\shell\\open\\command", L"",
                      L"\"C:\\nowhere\\firefox.exe\"");
  EXPECT_EQ(CheckTovk(), kAllTovk + " / install-folder-missing");
}

}  // namespace
