// IsInlineProxyEnabled as the host calls it: the real network service, the
// real policy value, and the messages that reach the agent's log.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "NetworkService.h"
#include "PelorinDll.h"
#include "Policy.h"
#include "Registry.h"

using namespace testing_support;

namespace {

using Messages = std::vector<std::wstring>;
using Answer = std::pair<int32_t, Messages>;

// The export's answer and log, from a freshly loaded DLL.
Answer Ask() {
  PelorinDll dll;
  dll.Initialize();
  const int32_t answer = dll.InlineProxyEnabled();
  return {answer, OrlixDouble::Messages()};
}

std::wstring Repeat(const std::wstring& text, size_t times) {
  std::wstring all;
  for (size_t i = 0; i < times; ++i) all += text;
  return all;
}

TEST(InlineProxyExport, ServiceNotRunningLeavesThePolicyUnread) {
  RegistrySandbox registry;
  SetExtensionSettings(registry, kBlockDlpAddOn);
  const Answer not_running{0, {L"NetworkProxy service is NOT running"}};
  NetworkService::Remove();
  EXPECT_EQ(Ask(), not_running);
  NetworkService service;  // installed, stopped
  EXPECT_EQ(Ask(), not_running);
  service.StartPending();
  EXPECT_EQ(Ask(), not_running);
}

class InlineProxyRunning : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    service_ = std::make_unique<NetworkService>();
    service_->Start();
  }
  static void TearDownTestSuite() { service_.reset(); }

  static std::unique_ptr<NetworkService> service_;
};
std::unique_ptr<NetworkService> InlineProxyRunning::service_;

TEST_F(InlineProxyRunning, UnreadablePolicyIsLogged) {
  const Messages unreadable{L"Failed to read ExtensionSettings registry value."};
  struct Case {
    const char* what;
    bool key;
    DWORD type;  // 0: no value at all
    std::string bytes;
    Messages messages;
  } const cases[] = {
      {"no policy key", false, 0, "", {L"Unable to open registry ExtensionSettings."}},
      {"no value", true, 0, "", unreadable},
      {"REG_DWORD", true, REG_DWORD, std::string("\1\0\0\0", 4), unreadable},
      {"one byte", true, REG_SZ, "{", unreadable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    if (c.key) registry.CreateKey(kFirefoxPolicyKey);
    if (c.type != 0) {
      registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size()));
    }
    EXPECT_EQ(Ask(), Answer(0, c.messages));
  }
}

TEST_F(InlineProxyRunning, PolicyTextDecidesSilently) {
  const std::wstring blocked = kBlockDlpAddOn;
  const std::wstring nul(1, L'\0');
  struct Case {
    const char* what;
    std::wstring json;  // stored with a terminator unless `terminated` is false
    int32_t answer;
    DWORD type = REG_SZ;
    bool terminated = true;
  } const cases[] = {
      {"blocked", blocked, 1},
      {"blocked, no terminator: the closing brace is lost", blocked, 0, REG_SZ, false},
      {"blocked as a list of strings",
       L"{" + nul + L"\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}" + nul + L"}" + nul, 1, REG_MULTI_SZ},
      {"whitespace around the root", L" \t\r\n" + blocked + L" \r\n\t", 1},
      {"inside a longer text", L"{\"dlp@tervia.com\":{\"installation_mode\":\"force_blocked_now\"}}", 1},
      {"capital letter", L"{\"dlp@tervia.com\":{\"installation_mode\":\"Blocked\"}}", 0},
      {"allowed", L"{\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"}}", 0},
      {"escaped NUL cuts the string", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blo\\u0000cked\"}}", 0},
      {"name differs in case", L"{\"DLP@tervia.com\":{\"installation_mode\":\"blocked\"}}", 0},
      {"another add-on blocked", L"{\"x@tervia.com\":{\"installation_mode\":\"blocked\"}}", 0},
      {"no installation_mode", L"{\"dlp@tervia.com\":{\"blocked\":\"blocked\"}}", 0},
      {"first entry counts (allowed)",
       L"{\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"},\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}",
       0},
      {"first entry counts (blocked)",
       L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"},\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"}}",
       1},
      {"NUL after the object", blocked + nul + L"garbage", 1},
      {"NUL inside the object", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}" + nul + L"}", 0},
      {"empty text", L"", 0},
      {"not JSON", L"installation_mode blocked", 0},
      {"trailing comma", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\",}}", 0},
      {"comment", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}//", 0},
      {"root is an array", L"[" + blocked + L"]", 0},
      {"root is a string", L"\"blocked\"", 0},
      {"entry is a string", L"{\"dlp@tervia.com\":\"blocked\"}", 0},
      {"mode is an array", L"{\"dlp@tervia.com\":{\"installation_mode\":[\"blocked\"]}}", 0},
      {"100000 nested arrays", Repeat(L"[", 100000) + Repeat(L"]", 100000), 0},
      {"deep nesting beside the entry",
       L"{\"x\":" + Repeat(L"{\"a\":", 100000) + L"0" + Repeat(L"}", 100000) +
           L",\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    SetExtensionSettingsData(registry, c.terminated ? c.json + nul : c.json, c.type);
    EXPECT_EQ(Ask(), Answer(c.answer, {}));
  }
}

}  // namespace
