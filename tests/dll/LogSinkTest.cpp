// The log sink as the agent's logging library sees it: five arguments, one
// call per message, the message untouched.
#include <gtest/gtest.h>

#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

TEST(LogSink, HandsEachMessageOverWithFixedOrigin) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  PelorinDll dll;
  ASSERT_NE(dll.TovkStart, nullptr);
  dll.Initialize();
  TovkStartParams params;
  ASSERT_EQ(dll.TovkStart(&params, L"", L"", 1), 0);

  std::vector<LogRecord> records = OrlixDouble::Records();
  ASSERT_FALSE(records.empty());
  const LogRecord& last = records.back();
  EXPECT_EQ(last.source_path, L"src/Pelorin/Pelorin.cpp");
  EXPECT_EQ(last.function, L"pelorin_debugf");
  EXPECT_EQ(last.line, 37);
  EXPECT_EQ(last.level, 1);
  // The trailing CR LF belongs to the message and is passed through.
  EXPECT_EQ(last.message, L"Finished TOVK FF extension operation.\r\n");
}

TEST(LogSink, MessagesBeforeInitializeAreDroppedAndLaterOnesKeepFlowing) {
  RegistrySandbox registry;  // no Firefox: each start logs one failure
  PelorinDll dll;
  ZarnStartParams params;
  ASSERT_EQ(dll.ZarnStart(&params, L"", L"", 0), -1);
  EXPECT_TRUE(OrlixDouble::Messages().empty());

  dll.Initialize();
  ASSERT_EQ(dll.ZarnStart(&params, L"", L"", 0), -1);
  dll.Uninitialize();
  ASSERT_EQ(dll.ZarnStart(&params, L"", L"", 0), -1);
  EXPECT_EQ(OrlixDouble::Messages(), (std::vector<std::wstring>{L"PelorinZARNFFStart firefox install path is empty.",
                                                                 L"PelorinZARNFFStart firefox install path is empty."}));
}

}  // namespace
