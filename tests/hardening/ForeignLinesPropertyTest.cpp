// Random exports over files of random foreign lines and stale copies of the library's own, the user and the
// agent changing things in between: after every step each file keeps exactly its foreign lines, in their order.
// PELORIN_SEED=<n> replays one seed; a failure prints the seed and the steps.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <map>
#include <random>
#include "Scene.h"
using namespace testing_support;
using namespace std::string_literals;
TEST(ForeignLines, SurviveRandomOperations) {
  const unsigned seed = std::getenv("PELORIN_SEED") ? std::stoul(std::getenv("PELORIN_SEED")) : 20240611;
  std::mt19937 rng(seed);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  const std::string kPieces[] = {kPrefObscure, PrefFilename("cv_mozilla_zarn.cfg"), PrefFilename("x.cfg"), kCfgPkix,
                                 kCfgProxyType, "//", "\r", "lockPref(\"network.proxy.type\", 5);", "\xE7\x81\xAB",
                                 "// Added by Corvane V2N", "pref(\"general.config.filename.x\", 1);", "\xFF\0 x"s};
  hardening::Scene s;
  const std::wstring files[] = {s.loader(), s.firefox.pref(L"prefs.js"), s.firefox.pref(L"custom.js"), s.cfg(),
                                s.firefox.file(L"custom.cfg")};
  const std::wstring kJs[] = {L"", L"custom.js", L"!.js"}, kCfg[] = {L"", L"custom.cfg", L"cv_mozilla_V2N.cfg"};
  std::map<std::wstring, std::vector<std::string>> expected;
  auto user_edit = [&](const std::wstring& file) {  // the user inserts a line of random pieces anywhere
    std::string text = FileExists(file) ? ReadBytes(file) : "", line;
    for (size_t i = 0, n = 1 + pick(4); i < n; ++i) line += kPieces[pick(std::size(kPieces))];
    const size_t lf = text.find('\n', pick(text.size() + 1));
    WriteBytes(file, text.insert(lf == std::string::npos ? 0 : lf + 1, line + "\n"));
    expected[file] = hardening::ForeignLines(text);
  };
  for (int i = 0; i < 30; ++i) user_edit(files[pick(std::size(files))]);
  std::string steps;
  for (int step = 1; step <= 2000; ++step) {
    const std::wstring &js = kJs[pick(3)], &cfg = kCfg[pick(3)], rv = s.agent.dir() + L"\\RvClientConfig.qcf";
    std::wstring a, b, agent_file = step % 3 ? s.agent.dir() + L"\\ClientConfig.qcf" : rv;
    const TovkStartParams params{step % 2 ? L"a" : L"b", L"", L""};
    const size_t roll = pick(9), kind = roll == 8 ? 6 : roll;  // edits twice as often
    steps += std::to_string(step) + ". " + "ZTDIUQEA"[kind] + " " + Narrow(js) + "|" + Narrow(cfg) + "\n";
    const int32_t result = kind == 0 ? s.dll.ZarnStart(nullptr, js, cfg, step % 7 == 0)
                           : kind == 1 ? s.dll.TovkStart(&params, js, cfg, step % 5 == 0)
                           : kind == 2 ? s.dll.DlpStart(nullptr, js, cfg) - !FileExists(rv)
                           : kind == 3 ? s.dll.Uninitialize() : kind == 4 ? s.dll.UninstallCleanUp(step % 2)
                           : kind == 5 ? s.dll.GetFFVersionAndCfg(L"id", &a, &b) - 1
                           : kind == 6 ? (user_edit(files[pick(std::size(files))]), 0)
                           : DeleteFileW(agent_file.c_str()) ? 0 : (WriteBytes(agent_file, ""), 0);
    for (const auto& [file, foreign] : expected)
      ASSERT_EQ(hardening::ForeignLines(FileExists(file) ? ReadBytes(file) : ""), foreign)
          << Narrow(file) << ", seed " << seed << ", steps (ZARN TOVK DLP Uninit cleanUp Query Edit Agent):\n" << steps;
    ASSERT_EQ(result, 0) << "seed " << seed << ", steps:\n" << steps;
  }
}
