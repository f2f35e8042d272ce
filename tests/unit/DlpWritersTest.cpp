// The DLP loader and autoconfig writers, byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Capture.h"
#include "CfgText.h"
#include "Policy.h"
#include "Sandboxes.h"
#include "dlp/DlpAutoconfig.h"
#include "dlp/DlpLoader.h"

using namespace testing_support;
using namespace pelorin;
using ::testing::Contains;
using ::testing::Not;

namespace {

class DlpWriters : public ::testing::Test {
 protected:
  RegistrySandbox registry_;
  AgentInstall agent_{registry_};
  TempDir dir_;
  LogRecorder log_;
  std::wstring cfg_ = dir_ / L"dlp.cfg";
  std::wstring loader_ = dir_ / L"!.js";
};

TEST_F(DlpWriters, AutoconfigFileGetsDlpLinesAtItsEnd) {
  struct Case {
    std::optional<std::string> before;  // nullopt: no file
    std::string after;
  };
  auto check = [&](const Case& c) {
    SCOPED_TRACE(c.before.value_or("(none)"));
    if (c.before) WriteBytes(cfg_, *c.before);
    EXPECT_FALSE(IsDlpAutoconfigUpToDate(cfg_));
    WriteDlpAutoconfigFile(cfg_);
    EXPECT_EQ(ReadBytes(cfg_), c.after);
    EXPECT_TRUE(IsDlpAutoconfigUpToDate(cfg_));
    DeleteFileW(cfg_.c_str());
  };
  const Case without_proxy[] = {
      {"", DlpCfgTail(false)},
      {"//\nA\n\nB\n\n\n", "//\nA\n\nB\n" + DlpCfgTail(false)},
      {"//\n" + DlpCfgTail(true) + kCfgPkix + "\n", "//\n" + kCfgPkix + "\n" + DlpCfgTail(false)},
      {"// x\r\n" + kCfgEnterpriseRoots + "\r\n", "// x\r\n" + DlpCfgTail(false)},
  };
  for (const Case& c : without_proxy) check(c);
  const std::wstring creating = L"FF extension CFG file do not exists. Creating one.";
  EXPECT_THAT(log_.messages(), Not(Contains(creating)));

  InlineProxyOn proxy(registry_);
  // A proxy line without the banner is not the library's: neither counted nor removed.
  const std::string bannerless = "lockPref(\"network.proxy.type\", 5);";
  const Case with_proxy[] = {
      {std::nullopt, "//\n" + DlpCfgTail(true)},
      {"//\n" + bannerless + "\n" + kCfgNoProxies + "\n" + DlpCfgTail(false),
       "//\n" + bannerless + "\n" + DlpCfgTail(true)},
  };
  for (const Case& c : with_proxy) check(c);
  EXPECT_THAT(log_.messages(), Contains(creating));
  EXPECT_THAT(log_.messages(), Contains(L"Inline proxy enabled. Locking proxy settings"));
}

TEST_F(DlpWriters, LoaderFileEndsInTheTwoDlpLines) {
  const struct {
    std::string before;
    std::wstring cfg_in;
    std::string after;
    std::wstring cfg_out;
  } cases[] = {
      // A line naming the shared file hands over to it.
      {PrefFilename("cv_mozilla_V2N.cfg") + "\nA\n", L"custom.cfg",
       "A\n" + kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n", L"cv_mozilla_V2N.cfg"},
      {"\nA\r\n\n" + PrefFilename("cv_mozilla_dlp.cfg") + "\npref(\"general.config.obscure_value\", 1);\n\nB",
       L"custom.cfg", "A\r\nB\n" + kPrefObscure + "\n" + PrefFilename("custom.cfg") + "\n", L"custom.cfg"},
      // CR LF lines do not count as up to date until rewritten.
      {kPrefObscure + "\r\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\r\n", L"cv_mozilla_V2N.cfg",
       kPrefObscure + "\n" + PrefFilename("cv_mozilla_V2N.cfg") + "\n", L"cv_mozilla_V2N.cfg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    WriteBytes(loader_, c.before);
    EXPECT_FALSE(IsDlpLoaderUpToDate(loader_, c.cfg_in));
    std::wstring cfg_name = c.cfg_in;
    WriteDlpLoaderFile(loader_, cfg_name);
    EXPECT_EQ(ReadBytes(loader_), c.after);
    EXPECT_EQ(cfg_name, c.cfg_out);
    EXPECT_TRUE(IsDlpLoaderUpToDate(loader_, cfg_name));
  }
}

}  // namespace
