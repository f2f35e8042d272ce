// The check, against files and registry values set up by hand: Firefox's
// rules as established with Firefox ESR (the end-to-end test holds the
// verdicts and the mode against Firefox itself), and the registry findings
// the Linux Firefox cannot see.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include "CfgText.h"
#include "Sandboxes.h"
#include "check/Check.h"
#include "check/FolderAccess.h"
#include "files/TextConversion.h"

using namespace testing_support;
namespace {

constexpr wchar_t kClientsKey[] = L"SOFTWARE\\Clients\\StartMenuInternet";
// Sorts after FIREFOX.EXE, the registration the library manages.
constexpr wchar_t kOtherFirefox[] = L"Zeta Firefox";
const std::string kAllTovk = "network.proxy.type,network.proxy.no_proxies_on,security.enterprise_roots.enabled";

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
    WriteBytes(firefox_.pref(L"!.js"), kV2nLoader);
    WriteBytes(firefox_.file(L"cv_mozilla_V2N.cfg"), "//\n" + kTovkLines);
  }
  ~Check() override { DeleteOtherRegistrations(); }

  // "<preferences that fail> / <finding codes>", each list comma-separated.
  static std::string Verdicts(pelorin::Mode mode = pelorin::Mode::kTovk) {
    const pelorin::CheckResult result = pelorin::CheckFirefox(mode);
    std::string failing;
    std::string codes;
    for (const pelorin::PrefVerdict& pref : result.prefs) {
      if (!pref.holds) failing += (failing.empty() ? "" : ",") + pref.name;
    }
    for (const pelorin::Finding& finding : result.findings) codes += (codes.empty() ? "" : ",") + finding.code;
    return failing + " / " + codes;
  }

  RegistrySandbox registry_;
  FirefoxInstall firefox_;
};

TEST_F(Check, AutoconfigStatementsAsFirefoxRunsThem) {
  const struct {
    std::string content, expected;
    pelorin::Mode mode = pelorin::Mode::kTovk;
  } cases[] = {
      // A lock ignores later defaults, user values and their clearing, and earlier locks.
      {"//\nlockPref(\"network.proxy.type\", 1);\n" + kTovkLines +
           "defaultPref(\"network.proxy.type\", 1);\n"
           "pref(\"network.proxy.type\", 1);\nclearPref(\"network.proxy.no_proxies_on\");\n",
       " / "},
      {kTovkLines, "network.proxy.type / cfg-line-missing"},  // Firefox skips the first line
      {"//\r\n" + kCfgProxyType + "\r\n" + kCfgNoProxies + "\r\n" + kCfgEnterpriseRoots, " / "},
      {"//\n" + kTovkLines + "lockPref(\"a\", 1); // cut in the comm", " / "},
      {"//\n" + kTovkLines + "lockPref(\"a\", 1); lockPref(\"network.proxy.ty", kAllTovk + " / cfg-cut-off"},
      // Without a lock, a cleared user value leaves the default in force.
      {"//\npref(\"extensions.autoDisableScopes\", 1);\nclearPref(\"extensions.autoDisableScopes\");\n" +
           DlpCfgTail(false),
       " / ", pelorin::Mode::kDlp},
  };
  for (const auto& c : cases) {
    WriteBytes(firefox_.file(L"cv_mozilla_V2N.cfg"), c.content);
    EXPECT_EQ(Verdicts(c.mode), c.expected) << c.content;
  }
}

// The finding names the line an administrator must remove, counted from 1
// as an editor counts.
TEST_F(Check, AForeignLineIsNamedByItsLineNumber) {
  WriteBytes(firefox_.file(L"cv_mozilla_V2N.cfg"), "//\n" + kTovkLines + "\nlockPref(\"network.proxy.type\", 1);\n");
  const pelorin::CheckResult result = pelorin::CheckFirefox(pelorin::Mode::kTovk);
  ASSERT_EQ(result.findings.size(), 1u);
  EXPECT_EQ(result.findings[0].message,
            "Line 6, lockPref(\"network.proxy.type\", 1);, changes network.proxy.type after the library's line: "
            "remove it.");
}

// Firefox reads defaults\pref from the greatest name to the least, then
// browser\defaults\preferences; the last value read wins.
TEST_F(Check, LoaderFilesInFirefoxsReadingOrder) {
  for (const wchar_t* dir : {L"browser", L"browser\\defaults", L"browser\\defaults\\preferences"}) {
    MakeDirectory(firefox_.file(dir));
  }
  const std::string other = PrefFilename("other.cfg") + "\n";
  const struct {
    const wchar_t* file;
    std::string content, expected;
  } cases[] = {
      {L"defaults\\pref\\!!.JS", other, kAllTovk + " / loader-overridden,cfg-missing"},
      {L"browser\\defaults\\preferences\\zz.js", other, kAllTovk + " / loader-overridden,cfg-missing"},
      {L"defaults\\pref\\!.js", PrefFilename("cv_mozilla_V2N.cfg"), kAllTovk + " / loader-obscure-value"},
  };
  for (const auto& c : cases) {
    WriteBytes(firefox_.file(c.file), c.content);
    EXPECT_EQ(Verdicts(), c.expected) << Narrow(c.file);
    DeleteFileW(firefox_.file(c.file).c_str());
    WriteBytes(firefox_.pref(L"!.js"), kV2nLoader);
  }
}

TEST_F(Check, PoliciesThatWinOverTheLocks) {
  const std::wstring proxy = std::wstring(kFirefoxPolicyKey) + L"\\Proxy";
  const std::wstring certificates = std::wstring(kFirefoxPolicyKey) + L"\\Certificates";
  const struct {
    std::wstring key, name, text;  // REG_MULTI_SZ when the name is Preferences, else REG_SZ
    std::string expected;
  } cases[] = {
      {proxy, L"Mode", L"system", " / "},
      {proxy, L"Passthrough", L"intranet", "network.proxy.no_proxies_on / policy-overrides"},
      {kFirefoxPolicyKey, L"Preferences", L"{\"network.proxy.type\": {\"Value\": 1, \"Status\": \"user\"}}", " / "},
      {kFirefoxPolicyKey, L"Preferences", L"{\"network.proxy.type\": {\"Value\": 1}}",
       "network.proxy.type / policy-overrides"},
  };
  for (const auto& c : cases) {
    registry_.DeleteTree(kFirefoxPolicyKey);
    registry_.SetString(c.key, c.name, c.text, c.name == L"Preferences" ? REG_MULTI_SZ : REG_SZ);
    EXPECT_EQ(Verdicts(), c.expected) << "row " << &c - cases;
  }
  EXPECT_EQ(pelorin::CheckFirefox(pelorin::Mode::kTovk).findings.at(0).subject,
            L"HKLM\\SOFTWARE\\Policies\\Mozilla\\Firefox\\Preferences");
  registry_.DeleteTree(kFirefoxPolicyKey);
  // Windows policies keep booleans as DWORDs: 1 agrees with the lock, 0 does not.
  registry_.SetDword(certificates, L"ImportEnterpriseRoots", 1);
  EXPECT_EQ(Verdicts(), " / ");
  registry_.SetDword(certificates, L"ImportEnterpriseRoots", 0);
  EXPECT_EQ(Verdicts(), "security.enterprise_roots.enabled / policy-overrides");
  // The same policies in the file beside Firefox.
  registry_.DeleteTree(kFirefoxPolicyKey);
  MakeDirectory(firefox_.file(L"distribution"));
  WriteBytes(firefox_.file(L"distribution\\policies.json"), "{\"policies\": {\"Proxy\": {\"Mode\": \"none\"}}}");
  EXPECT_EQ(Verdicts(), "network.proxy.type / policy-overrides");
}

TEST_F(Check, RegisteredInstalls) {
  FirefoxInstall other(L"Other Firefox");
  const std::wstring command = L"\"" + other.file(L"firefox.exe") + L"\"";
  const struct {
    HKEY root;
    const wchar_t* key;
    std::wstring subject;
  } cases[] = {
      {HKEY_CURRENT_USER, kClientsKey, L"HKCU\\SOFTWARE\\Clients\\StartMenuInternet\\Zeta Firefox"},
      {HKEY_LOCAL_MACHINE, kBrowserListKey, L"HKLM\\SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet\\Zeta Firefox"},
  };
  for (const auto& c : cases) {
    DeleteOtherRegistrations();
    registry_.DeleteTree(std::wstring(kBrowserListKey) + L"\\" + kOtherFirefox);
    pelorin::unique_hkey key;
    const std::wstring path = std::wstring(c.key) + L"\\" + kOtherFirefox + L"\\shell\\open\\command";
    ASSERT_EQ(RegCreateKeyExW(c.root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr), 0);
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    const pelorin::CheckResult result = pelorin::CheckFirefox(pelorin::Mode::kTovk);
    ASSERT_EQ(result.findings.size(), 1u) << "row " << &c - cases;
    EXPECT_EQ(result.findings[0].code + " " + Narrow(result.findings[0].subject), "other-install " + Narrow(c.subject));
  }
  registry_.DeleteTree(kBrowserListKey);
  EXPECT_EQ(Verdicts(), kAllTovk + " / firefox-not-registered");
  registry_.SetString(std::wstring(kBrowserListKey) + L"\\FIREFOX.EXE\\shell\\open\\command", L"",
                      L"\"C:\\nowhere\\firefox.exe\"");
  EXPECT_EQ(Verdicts(), kAllTovk + " / install-folder-missing");
}

// Files a start would refuse, and a name Firefox cannot use: the check names
// the file.
TEST_F(Check, LinksAndNamesThatAreNotPlain) {
  const std::string not_plain =
      kAllTovk + " / loader-name-not-plain defaults\\pref\\!.js,loader-wrong-file defaults\\pref\\!.js";
  const struct {
    std::string name;       // in the loader's filename line, as written there
    const wchar_t* linked;  // given a second name outside Firefox's folder
    std::string expected;
  } rows[] = {
      {"cv_mozilla_V2N.cfg", L"cv_mozilla_V2N.cfg", " / file-is-link cv_mozilla_V2N.cfg"},
      {"cv_mozilla_V2N.cfg", L"defaults\\pref\\!.js", " / file-is-link defaults\\pref\\!.js"},
      {"sub/x.cfg", nullptr, not_plain},
      {"..\\\\cv_mozilla_V2N.cfg", nullptr, not_plain},  // a backslash escape
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    WriteBytes(firefox_.pref(L"!.js"), Loader(row.name));
    TempDir elsewhere;
    if (row.linked != nullptr)
      CreateHardLinkW((elsewhere / L"link").c_str(), firefox_.file(row.linked).c_str(), nullptr);
    std::string findings;
    for (const pelorin::Finding& finding : pelorin::CheckFirefox(pelorin::Mode::kTovk).findings) {
      findings += (findings.empty() ? "" : ",") + finding.code + " " +
                  Narrow(finding.subject.substr(firefox_.dir().size() + 1));
    }
    EXPECT_EQ(Verdicts().substr(0, Verdicts().find(" / ")) + " / " + findings, row.expected);
  }
}

// What an attacker or a broken tool may leave in the files and the policy
// key the check reads gives an answer, never a crash or a hang: nesting
// deeper than any stack, huge lines, NUL bytes and random bytes.
TEST_F(Check, HostileInputGivesAnAnswer) {
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  std::string noise(1 << 16, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::string none = "\"Proxy\": {\"Mode\": \"none\"}";
  const struct {
    const wchar_t* file;  // below Firefox's folder; null: the registry's Preferences policy
    std::string bytes, expected;
  } rows[] = {
      {L"distribution\\policies.json", "{\"policies\": {" + none + ", \"x\": " + deep + "}}",
       "network.proxy.type / policy-overrides"},
      {L"distribution\\policies.json", "{\"policies\": " + deep.substr(0, 200000), " / "},
      {L"distribution\\policies.json", noise, " / "},
      {L"distribution\\policies.json", "{\"policies\": {" + none + "}}" + std::string(1 << 22, ' '),
       "network.proxy.type / policy-overrides"},
      {nullptr, "{\"network.proxy.type\": {\"Value\": 1, \"x\": " + deep + "}}",
       "network.proxy.type / policy-overrides"},
      {nullptr, deep.substr(0, 200000), " / "},
      {L"cv_mozilla_V2N.cfg", "//\n" + kTovkLines + "// " + std::string(1 << 22, 'x') + "\n", " / "},
      {L"cv_mozilla_V2N.cfg", "//\n" + kTovkLines + noise + "\n//\n", ""},
      {L"defaults\\pref\\!.js", kV2nLoader + std::string(1 << 22, '/') + "\n", " / "},
      {L"defaults\\pref\\!.js", noise + ";" + kV2nLoader, " / "},
  };
  MakeDirectory(firefox_.file(L"distribution"));
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    registry_.DeleteTree(kFirefoxPolicyKey);
    DeleteFileW(firefox_.file(L"distribution\\policies.json").c_str());
    WriteBytes(firefox_.pref(L"!.js"), kV2nLoader);
    WriteBytes(firefox_.file(L"cv_mozilla_V2N.cfg"), "//\n" + kTovkLines);
    if (row.file == nullptr) {
      registry_.SetString(kFirefoxPolicyKey, L"Preferences", pelorin::Utf8ToWide(row.bytes));
    } else {
      WriteBytes(firefox_.file(row.file), row.bytes);
    }
    const std::string verdicts = Verdicts();
    if (!row.expected.empty()) {
      EXPECT_EQ(verdicts, row.expected);
    }
  }
}

TEST(FolderWriters, BesidesSystemAdministratorsAndTrustedInstaller) {
  const std::wstring ti = L"S-1-5-80-956008885-3425770349-4205376447-1632187004-4248036098";
  const std::wstring user = L"S-1-5-21-1-2-3-1001";
  const struct {
    std::wstring sddl;
    std::wstring writers;
  } rows[] = {
      // As Firefox's installer leaves C:\Program Files\Mozilla Firefox.
      {L"O:" + ti + L"D:PAI(A;OICIIO;GA;;;S-1-3-0)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)" +
           L"(A;OICI;0x1200a9;;;S-1-15-2-1)(A;CIIO;GA;;;" + ti + L")(A;;FA;;;" + ti + L")",
       L""},
      {L"O:BAD:(A;OICI;0x1301bf;;;BU)(A;;FA;;;BU)(A;;0x2;;;WD)", L"S-1-5-32-545,S-1-1-0"},
      {L"O:BAD:(A;;0x40;;;AU)", L"S-1-5-11"},                              // delete any child
      {L"O:BAD:(A;OIIO;FW;;;WD)", L"S-1-1-0"},                             // every new file writable
      {L"O:BAD:(A;CIIO;FA;;;BU)(A;;0x1200a9;;;BU)", L""},                  // subfolders only
      {L"O:BAD:(A;;GW;;;BU)", L"S-1-5-32-545"},                            // generic write
      {L"O:BAD:(A;;0x40000;;;S-1-5-4)", L"S-1-5-4"},                       // may rewrite the DACL
      {L"O:" + user + L"D:(A;OICI;FA;;;SY)", user},                        // an owner may too
      {L"O:" + user + L"D:(A;;0x1200a9;;;S-1-3-4)(A;OICI;FA;;;SY)", L""},  // unless OWNER RIGHTS says otherwise
      {L"O:BA", L"S-1-1-0"},                                               // no DACL at all
      // Accounts trusted by name (BUILTIN\Guests) and by SID are not listed.
      {L"O:BAD:(A;;FA;;;BG)(A;;FA;;;BU)(A;;FA;;;S-1-5-21-1-2-3-1002)", L"S-1-5-32-545"},
  };
  // The prefix's own setting, which trusts the account the tests run as, is
  // put back at once.
  RegistrySandbox registry;
  const std::wstring key = pelorin::kTrustedWritersKey, value = pelorin::kTrustedWritersValue;
  const std::optional<std::wstring> kept = registry.ReadString(key, value);
  const auto trusted_as = [&](const std::wstring& text, DWORD type) {
    registry.SetString(key, value, text, type);
    return pelorin::TrustedWriters();
  };
  EXPECT_EQ(trusted_as(L"BUILTIN\\Guests", REG_SZ), std::vector<std::wstring>{L"S-1-5-32-546"});
  const wchar_t nul = L'\0';
  const std::vector<std::wstring> trusted = trusted_as(
      L"BUILTIN\\Guests" + (nul + std::wstring(L"no such account")) + nul + L"S-1-5-21-1-2-3-1002" + nul, REG_MULTI_SZ);
  if (kept) registry.SetString(key, value, *kept, REG_MULTI_SZ);
  // The finding names each writer as an administrator knows it.
  EXPECT_EQ(pelorin::AccountName(L"S-1-5-32-545") + L"|" + pelorin::AccountName(L"S-1-5-21-1-2-3-1002"),
            L"BUILTIN\\Users|S-1-5-21-1-2-3-1002");
  for (const auto& row : rows) {
    pelorin::unique_hlocal descriptor;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(row.sddl.c_str(), SDDL_REVISION_1,
                                                                     descriptor.put(), nullptr))
        << Narrow(row.sddl);
    std::wstring writers;
    for (const std::wstring& sid : pelorin::FolderWriters(descriptor.get(), trusted))
      writers += (writers.empty() ? L"" : L",") + sid;
    EXPECT_EQ(Narrow(writers), Narrow(row.writers)) << Narrow(row.sddl);
  }
}

}  // namespace
