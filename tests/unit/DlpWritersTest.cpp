// The DLP loader and autoconfig writers, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Capture.h"
#include "CfgText.h"
#include "Policy.h"
#include "Sandboxes.h"
#include "dlp/DlpAutoconfig.h"
#include "dlp/DlpLoader.h"

using namespace testing_support;
using namespace pelorin;

namespace {

class DlpWriters : public ::testing::Test {
 protected:
  bool Logged(const std::wstring& message) const {
    const auto& all = log_.messages();
    return std::find(all.begin(), all.end(), message) != all.end();
  }

  RegistrySandbox registry_;
  AgentInstall agent_{registry_};
  TempDir dir_;
  LogRecorder log_;
  std::wstring cfg_ = dir_ / L"dlp.cfg";
  std::wstring loader_ = dir_ / L"!.js";
};

TEST_F(DlpWriters, NewAutoconfigFileLocksProxyWhileInlineProxyIsOn) {
  InlineProxyOn proxy(registry_);
  WriteDlpAutoconfigFile(cfg_);
  EXPECT_EQ(ReadBytes(cfg_), "//\n" + DlpCfgTail(true));
  EXPECT_TRUE(Logged(L"Inline proxy enabled. Locking proxy settings"));
  EXPECT_TRUE(IsDlpAutoconfigUpToDate(cfg_));
}

TEST_F(DlpWriters, ExistingAutoconfigFileGetsDlpLinesAtItsEnd) {
  const std::pair<std::string, std::string> cases[] = {
      {"", DlpCfgTail(false)},
      {"//\nA\n\nB\n\n\n", "//\nA\n\nB\n" + DlpCfgTail(false)},
      {"//\n" + DlpCfgTail(true) + kCfgPkix + "\n", "//\n" + kCfgPkix + "\n" + DlpCfgTail(false)},
      {"// x\r\n" + kCfgEnterpriseRoots + "\r\n", "// x\r\n" + DlpCfgTail(false)},
  };
  for (const auto& [before, after] : cases) {
    SCOPED_TRACE(before);
    WriteBytes(cfg_, before);
    EXPECT_FALSE(IsDlpAutoconfigUpToDate(cfg_));
    WriteDlpAutoconfigFile(cfg_);
    EXPECT_EQ(ReadBytes(cfg_), after);
    EXPECT_TRUE(IsDlpAutoconfigUpToDate(cfg_));
  }
  EXPECT_FALSE(Logged(L"FF extension CFG file do not exists. Creating one."));
}

TEST_F(DlpWriters, BannerlessProxyLineIsNeitherCountedNorRemoved) {
  InlineProxyOn proxy(registry_);
  const std::string bannerless = "lockPref(\"network.proxy.type\", 5);";
  WriteBytes(cfg_, "//\n" + bannerless + "\n" + kCfgNoProxies + "\n" + DlpCfgTail(false));
  EXPECT_FALSE(IsDlpAutoconfigUpToDate(cfg_));
  WriteDlpAutoconfigFile(cfg_);
  EXPECT_EQ(ReadBytes(cfg_), "//\n" + bannerless + "\n" + DlpCfgTail(true));
}

TEST_F(DlpWriters, LoaderLinesOfKnownFilesHandOverToTheSharedName) {
  struct Case {
    std::string before, after;
    std::wstring cfg_name;
  };
  const std::string v2n_tail = kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n";
  const Case cases[] = {
      {"A\n" + PrefFilename("cv_mozilla_zarn.cfg") + "\nB\n", "A\nB\n" + v2n_tail, L"cv_mozilla_V2N.cfg"},
      {PrefFilename("cv_mozilla_V2N.cfg") + "\nA\n", "A\n" + v2n_tail, L"cv_mozilla_V2N.cfg"},
      {"\nA\r\n\n" + PrefFilename("cv_mozilla_dlp.cfg") + "\npref(\"general.config.obscure_value\", 1);\n\nB",
       "A\r\nB\n" + kPrefObscure + "\n" + PrefFilename("custom.cfg") + "\n", L"custom.cfg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    WriteBytes(loader_, c.before);
    std::wstring cfg_name = L"custom.cfg";
    WriteDlpLoaderFile(loader_, cfg_name);
    EXPECT_EQ(ReadBytes(loader_), c.after);
    EXPECT_EQ(cfg_name, c.cfg_name);
  }
}

TEST_F(DlpWriters, CrLfLoaderFileIsUpToDateOnceRewritten) {
  WriteBytes(loader_, kPrefObscure + "\r\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\r\n");
  std::wstring cfg_name = L"cv_mozilla_V2N.cfg";
  EXPECT_FALSE(IsDlpLoaderUpToDate(loader_, cfg_name));
  WriteDlpLoaderFile(loader_, cfg_name);
  EXPECT_EQ(ReadBytes(loader_), kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n");
  EXPECT_TRUE(IsDlpLoaderUpToDate(loader_, cfg_name));
}

}  // namespace
