// The shipped logging library: one well-formed UTF-8 line per call, from any
// number of threads, wherever the log is configured to go.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "Files.h"
#include "Orlix.h"

using namespace testing_support;

namespace {

// Sets an environment variable (nullptr: removes it) until destruction.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    had_ = length > 0 && length < 1024;
    if (had_) old_.assign(buffer, length);
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const wchar_t* name_;
  bool had_;
  std::wstring old_;
};

std::vector<std::string> Records(const std::wstring& path) {
  std::vector<std::string> records;
  std::istringstream in(ReadBytes(path));
  for (std::string line; std::getline(in, line);) records.push_back(line);
  return records;
}

TEST(Orlix, OneEscapedUtf8RecordPerCallAndNoFailureWhenUnwritable) {
  TempDir dir;
  ScopedEnvironment env(L"ORLIX_LOG_FILE", (dir / L"orlix.log").c_str());
  EXPECT_EQ(Orlix_PrintMessage(L"src/x.cpp", L"pelorin_debugf", 37, 1, L"Finished \u00e9\tstep.\r\n"), 0);
  EXPECT_EQ(Orlix_PrintMessage(L"src/x.cpp", L"other", 5, 2, L"bell\x07"), 0);

  const std::vector<std::string> records = Records(dir / L"orlix.log");
  ASSERT_EQ(records.size(), 2u);
  const std::regex first(
      R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} L1 \[\d+:\d+\] pelorin_debugf:37 Finished \xC3\xA9\\tstep\.\\r\\n\r$)");
  EXPECT_TRUE(std::regex_match(records[0], first)) << records[0];
  EXPECT_TRUE(std::regex_match(records[1], std::regex(R"(^.* L2 \[\d+:\d+\] other:5 bell\\x07\r$)"))) << records[1];

  ScopedEnvironment unwritable(L"ORLIX_LOG_FILE", dir.path().c_str());  // a directory cannot be opened for append
  EXPECT_EQ(Orlix_PrintMessage(nullptr, nullptr, 0, 0, nullptr), 0);
  EXPECT_EQ(Orlix_PrintMessage(L"s", L"f", 1, 1, L"lost"), 0);
}

TEST(Orlix, DefaultsToProgramDataAndCreatesTheFolders) {
  TempDir dir;
  ScopedEnvironment no_override(L"ORLIX_LOG_FILE", nullptr);
  ScopedEnvironment program_data(L"ProgramData", dir.path().c_str());
  Orlix_PrintMessage(L"s", L"f", 1, 1, L"hello");
  const std::vector<std::string> records = Records(dir / L"Tervia\\Logs\\Orlix.log");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].find("f:1 hello"), std::string::npos);
}

TEST(Orlix, ConcurrentCallersNeverInterleaveRecords) {
  TempDir dir;
  ScopedEnvironment env(L"ORLIX_LOG_FILE", (dir / L"orlix.log").c_str());
  constexpr int kThreads = 4, kPerThread = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      const std::wstring message = L"thread " + std::to_wstring(t) + L" " + std::wstring(200, L'x');
      for (int i = 0; i < kPerThread; ++i) Orlix_PrintMessage(L"s", L"worker", t, 1, message.c_str());
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::vector<std::string> records = Records(dir / L"orlix.log");
  ASSERT_EQ(records.size(), static_cast<size_t>(kThreads * kPerThread));
  const std::regex shape(R"(^.* L1 \[\d+:\d+\] worker:(\d) thread \1 x{200}\r$)");
  for (const std::string& record : records) ASSERT_TRUE(std::regex_match(record, shape)) << record;
}

}  // namespace
