// The agent's records of what the library changed, read back directly.
#include <gtest/gtest.h>

#include "Capture.h"
#include "Sandboxes.h"
#include "autoconfig/RegistryRecords.h"

using namespace testing_support;

namespace {

TEST(SaveCfgFilePath, StoresThePathAsPassedAndLogs) {
  RegistrySandbox registry;
  AgentInstall agent(registry);
  LogRecorder log;
  const std::wstring path = L"C:/Program Files\\Mozilla Firefox\\\\cv_mozilla_zarn.cfg";
  EXPECT_EQ(pelorin::SaveCfgFilePath(path), 0);
  EXPECT_EQ(registry.ReadString(kAgentCommonKey, L"FFCFG"), path);
  EXPECT_EQ(log.messages(), std::vector<std::wstring>{L"SaveCurrentCFGFilePath"});
}

TEST(SaveCfgFilePath, WithoutAgentKeyIsSilentAndCreatesNoKey) {
  RegistrySandbox registry;
  registry.CreateKey(kAgentKey);
  LogRecorder log;
  EXPECT_EQ(pelorin::SaveCfgFilePath(L"C:\\Firefox\\cv_mozilla_zarn.cfg"), 0);
  EXPECT_FALSE(registry.KeyExists(kAgentCommonKey));
  EXPECT_TRUE(log.messages().empty());
}

}  // namespace
