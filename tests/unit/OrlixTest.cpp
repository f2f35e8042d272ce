// The shipped logging library: one escaped UTF-8 record per call.
#include <gtest/gtest.h>
#include <windows.h>
#include <regex>
#include "Files.h"
#include "Orlix.h"

using namespace testing_support;
TEST(Orlix, OneEscapedUtf8RecordPerCallAndNoFailureWhenUnwritable) {
  TempDir dir;
  SetEnvironmentVariableW(L"ORLIX_LOG_FILE", (dir / L"orlix.log").c_str());
  EXPECT_EQ(Orlix_PrintMessage(L"src/x.cpp", L"pelorin_debugf", 37, 1, L"Finished \u00e9\tstep.\r\n"), 0);
  EXPECT_EQ(Orlix_PrintMessage(L"src/x.cpp", L"other", 5, 2, L"bell\x07"), 0);
  const std::regex records(
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} L1 \[\d+:\d+\] pelorin_debugf:37 Finished \xC3\xA9\\tstep\.\\r\\n\r\n)"
      R"(.* L2 \[\d+:\d+\] other:5 bell\\x07\r\n)");
  EXPECT_TRUE(std::regex_match(ReadBytes(dir / L"orlix.log"), records)) << ReadBytes(dir / L"orlix.log");

  // On a fresh machine the log's folders do not exist yet.
  SetEnvironmentVariableW(L"ORLIX_LOG_FILE", (dir / L"Tervia\\Logs\\Orlix.log").c_str());
  EXPECT_EQ(Orlix_PrintMessage(L"src/x.cpp", L"f", 1, 1, L"first"), 0);
  EXPECT_NE(ReadBytes(dir / L"Tervia\\Logs\\Orlix.log").find(" f:1 first\r\n"), std::string::npos);

  SetEnvironmentVariableW(L"ORLIX_LOG_FILE", dir.path().c_str());  // a directory cannot be opened for append
  EXPECT_EQ(Orlix_PrintMessage(nullptr, nullptr, 0, 0, nullptr), 0);
  SetEnvironmentVariableW(L"ORLIX_LOG_FILE", nullptr);
}
