// Random exports over files of random foreign lines and stale copies of the
// library's own, the user and the agent changing things in between: after
// every step each file keeps exactly its foreign lines, in their order.
// PELORIN_SEED=<n> replays one seed; a failure prints the seed and the steps.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <map>
#include <random>
#include "Scene.h"
using namespace testing_support;
using namespace std::string_literals;
namespace {
const std::string kPieces[] = {kPrefObscure,
                               PrefFilename("cv_mozilla_zarn.cfg"),
                               PrefFilename("x.cfg"),
                               kCfgPkix,
                               kCfgProxyType,
                               "//",
                               "\r",
                               "lockPref(\"network.proxy.type\", 5);",
                               "\xE7\x81\xAB",
                               "// Added by Corvane V2N",
                               "pref(\"general.config.filename.x\", 1);",
                               "\xFF\0 x"s};
const char kStepLetters[] = "ZTDIUQEA";  // in the order of the switch below

TEST(ForeignLines, SurviveRandomOperations) {
  const char* replay = std::getenv("PELORIN_SEED");
  const unsigned seed = replay ? std::stoul(replay) : 20240611;
  std::mt19937 random(seed);
  auto pick = [&](size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); };
  Scene scene;
  scene.registry.SetString(kAgentCommonKey, L"FFCFG", scene.cfg());
  const std::wstring files[] = {scene.loader(), scene.firefox.pref(L"prefs.js"), scene.firefox.pref(L"custom.js"),
                                scene.cfg(), scene.firefox.file(L"custom.cfg")};
  const std::wstring loader_names[] = {L"", L"custom.js", L"!.js"};
  const std::wstring cfg_names[] = {L"", L"custom.cfg", L"cv_mozilla_V2N.cfg"};
  const std::wstring rv_config = scene.agent.dir() + L"\\RvClientConfig.qcf";
  std::map<std::wstring, std::vector<std::string>> expected;
  // The user inserts a line of random pieces anywhere.
  auto user_edit = [&](const std::wstring& file) {
    std::string text = FileExists(file) ? ReadBytes(file) : "";
    std::string line;
    const size_t pieces = 1 + pick(4);
    for (size_t i = 0; i < pieces; ++i) line += kPieces[pick(std::size(kPieces))];
    const size_t lf = text.find('\n', pick(text.size() + 1));
    text.insert(lf == std::string::npos ? 0 : lf + 1, line + "\n");
    WriteBytes(file, text);
    expected[file] = ForeignLines(text);
  };
  for (int i = 0; i < 30; ++i) user_edit(files[pick(std::size(files))]);
  std::string steps;
  for (int step = 1; step <= 1200; ++step) {
    const std::wstring& js = loader_names[pick(3)];
    const std::wstring& cfg = cfg_names[pick(3)];
    const TovkStartParams params{step % 2 ? L"a" : L"b", L"", L""};
    size_t kind = pick(9);
    if (kind == 8) kind = 6;  // edits twice as often
    steps += std::to_string(step) + ". " + kStepLetters[kind] + " " + Narrow(js) + "|" + Narrow(cfg) + "\n";
    bool usual = true;
    std::wstring loader_found;
    std::wstring cfg_found;
    switch (kind) {
      case 0: usual = scene.dll->ZarnStart(nullptr, js, cfg, step % 7 == 0) == 0; break;
      case 1: usual = scene.dll->TovkStart(&params, js, cfg, step % 5 == 0) == 0; break;
      case 2:  // 0 while the agent's DLP configuration is there
        usual = scene.dll->DlpStart(nullptr, js, cfg) == (FileExists(rv_config) ? 0 : 1);
        break;
      case 3: usual = scene.dll->Uninitialize() == 0; break;
      case 4: usual = scene.dll->UninstallCleanUp(step % 2) == 0; break;
      case 5: usual = scene.dll->GetFFVersionAndCfg(L"id", &loader_found, &cfg_found) == 1; break;
      case 6: user_edit(files[pick(std::size(files))]); break;
      default: {  // the agent's configuration comes or goes
        const std::wstring agent_file = step % 3 ? scene.agent.dir() + L"\\ClientConfig.qcf" : rv_config;
        if (!DeleteFileW(agent_file.c_str())) WriteBytes(agent_file, "");
      }
    }
    for (const auto& [file, foreign] : expected) {
      ASSERT_EQ(ForeignLines(FileExists(file) ? ReadBytes(file) : ""), foreign)
          << Narrow(file) << ", seed " << seed << ", steps (ZARN TOVK DLP Uninit cleanUp Query Edit Agent):\n"
          << steps;
    }
    ASSERT_TRUE(usual) << "seed " << seed << ", steps:\n" << steps;
  }
}
}  // namespace
