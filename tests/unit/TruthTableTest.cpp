// The check held to what Debian's Firefox ESR made of a few hundred small
// installs, recorded by scripts/firefox-truth: for each, every preference
// the check judges must hold exactly where Firefox showed its value (and
// its lock, for a locked one), and the verdict must be "starts locked"
// exactly where every one held. The end-to-end test replays a sample
// against the live Firefox, so a Firefox that changed shows there.
#include <gtest/gtest.h>

#include "Sandboxes.h"
#include "check/Check.h"
#include "files/TextConversion.h"
#include "rapidjson/document.h"

using namespace testing_support;
namespace {

using Json = rapidjson::Value;

std::string Text(const Json& value) { return std::string(value.GetString(), value.GetStringLength()); }

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// As scripts/firefox-truth wrote the file for Firefox.
std::string Encoded(const Json& file) {
  std::string text = Text(file["text"]);
  const std::string eol = Text(file["eol"]), encoding = Text(file["encoding"]);
  if (eol != "lf") ReplaceAll(text, "\n", eol == "crlf" ? "\r\n" : "\r");
  if (encoding == "utf-8-bom") return "\xEF\xBB\xBF" + text;
  if (encoding != "utf-16") return text;
  const std::wstring wide = pelorin::Utf8ToWide(text);
  return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

void LayOut(const FirefoxInstall& firefox, const Json& files) {
  for (const Json& file : files.GetArray()) {
    std::wstring path = pelorin::Utf8ToWide(Text(file["path"]));
    for (size_t slash = path.find(L'/'); slash != std::wstring::npos; slash = path.find(L'/', slash + 1)) {
      path[slash] = L'\\';
      MakeDirectory(firefox.file(path.substr(0, slash)));
    }
    WriteBytes(firefox.file(path), Encoded(file));
  }
}

// Whether Firefox reported the mode's value, and its lock where the mode locks it.
bool InForce(const pelorin::PrefVerdict& pref, const Json& firefox) {
  const Json& reported = firefox["prefs"][pref.name.c_str()];
  const Json& value = reported[0];
  const bool same =
      (value.IsBool() && pref.value.text == (value.GetBool() ? "true" : "false") &&
       pref.value.kind == pelorin::PrefValue::Kind::kBool) ||
      (value.IsInt() && pref.value.kind == pelorin::PrefValue::Kind::kNumber &&
       pref.value.text == std::to_string(value.GetInt())) ||
      (value.IsString() && pref.value.kind == pelorin::PrefValue::Kind::kString && pref.value.text == Text(value));
  return same && (reported[1].GetBool() || !pref.lock);
}

// What the check says that Firefox contradicts; empty when they agree.
std::string Disagreement(const Json& scenario) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  LayOut(firefox, scenario["files"]);
  const pelorin::Mode mode = pelorin::FindMode(Text(scenario["mode"]))->mode;
  const Json& truth = scenario["firefox"];
  const bool blocked = truth["blocked"].GetBool();
  // The mode's preferences, with the values the check holds them to.
  const std::vector<pelorin::PrefVerdict> prefs = pelorin::CheckFirefox(mode).prefs;
  bool all_hold = true;
  for (const pelorin::PrefVerdict& pref : prefs) all_hold = all_hold && !blocked && InForce(pref, truth);

  const pelorin::CheckResult result =
      pelorin::CheckFirefox(scenario["mode_given"].GetBool() ? std::optional<pelorin::Mode>(mode) : std::nullopt);
  std::string wrong;
  if (result.AllHold() != all_hold) wrong += std::string(" starts locked: check ") + (all_hold ? "no" : "yes");
  if (result.mode && *result.mode != mode) wrong += std::string(" mode: ") + pelorin::RowOf(*result.mode).name;
  if (!result.mode || *result.mode != mode) return wrong;
  for (const pelorin::PrefVerdict& pref : result.prefs) {
    if (pref.holds != (!blocked && InForce(pref, truth)))
      wrong += " " + pref.name + (pref.holds ? " holds" : " fails") + " in the check";
  }
  return wrong;
}

TEST(FirefoxTruth, CheckAgreesWithEveryRecordedScenario) {
  rapidjson::Document table;
  ASSERT_FALSE(table.Parse(ReadBytes(pelorin::Utf8ToWide(PELORIN_TRUTH_TABLE)).c_str()).HasParseError());
  const Json& scenarios = table["scenarios"];
  ASSERT_GE(scenarios.Size(), 300u);
  std::string disagreements;
  for (const Json& scenario : scenarios.GetArray()) {
    const std::string wrong = Disagreement(scenario);
    if (!wrong.empty()) {
      disagreements +=
          Text(scenario["name"]) + (scenario["mode_given"].GetBool() ? " (--mode)" : "") + ":" + wrong + "\n";
    }
  }
  EXPECT_EQ(disagreements, "") << "against Firefox " << Text(table["firefox_version"]);
}

}  // namespace
