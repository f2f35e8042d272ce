// IsInlineProxyEnabled as the host calls it: the real network service, the
// real policy value, and the messages that reach the agent's log.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "NetworkService.h"
#include "PelorinDll.h"
#include "Policy.h"
#include "Registry.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

using Messages = std::vector<std::wstring>;

// Calls the export in a freshly loaded DLL; the log goes to `messages`.
int32_t AskDll(Messages& messages) {
  PelorinDll dll;
  EXPECT_NE(dll.InlineProxyEnabled, nullptr);
  if (dll.InlineProxyEnabled == nullptr) return -1;
  dll.Initialize();
  int32_t answer = dll.InlineProxyEnabled();
  messages = OrlixDouble::Messages();
  return answer;
}

std::wstring Nested(size_t depth, const std::wstring& open, const std::wstring& inner, const std::wstring& close) {
  std::wstring text;
  for (size_t i = 0; i < depth; ++i) text += open;
  text += inner;
  for (size_t i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(InlineProxyExport, ServiceNotRunningLeavesThePolicyUnread) {
  RegistrySandbox registry;
  SetExtensionSettings(registry, kBlockDlpAddOn);
  Messages messages;

  NetworkService::Remove();
  EXPECT_EQ(AskDll(messages), 0);
  EXPECT_EQ(messages, Messages{L"NetworkProxy service is NOT running"});

  NetworkService service;  // installed, stopped
  EXPECT_EQ(AskDll(messages), 0);
  EXPECT_EQ(messages, Messages{L"NetworkProxy service is NOT running"});

  service.StartPending();
  EXPECT_EQ(AskDll(messages), 0);
  EXPECT_EQ(messages, Messages{L"NetworkProxy service is NOT running"});
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
  Messages messages;
  {
    RegistrySandbox registry;  // no policy key
    EXPECT_EQ(AskDll(messages), 0);
    EXPECT_EQ(messages, Messages{L"Unable to open registry ExtensionSettings."});
  }
  struct Case {
    const char* what;
    DWORD type;  // 0: no value at all
    std::string bytes;
  };
  const Case cases[] = {
      {"no value", 0, ""},
      {"REG_DWORD", REG_DWORD, std::string("\1\0\0\0", 4)},
      {"one byte", REG_SZ, "{"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    registry.CreateKey(kFirefoxPolicyKey);
    if (c.type != 0) {
      registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", c.type, c.bytes.data(),
                      static_cast<DWORD>(c.bytes.size()));
    }
    EXPECT_EQ(AskDll(messages), 0);
    EXPECT_EQ(messages, Messages{L"Failed to read ExtensionSettings registry value."});
  }
}

TEST_F(InlineProxyRunning, PolicyTextDecidesSilently) {
  const std::wstring kBlocked = kBlockDlpAddOn;
  struct Case {
    const char* what;
    std::wstring data;  // stored as is, REG_SZ unless `type` says otherwise
    int32_t answer;
    DWORD type = REG_SZ;
  };
  const Case cases[] = {
      {"blocked", kBlocked + L'\0', 1},
      {"blocked, no terminator: the closing brace is lost", kBlocked, 0},
      {"blocked as a list of strings",
       L"{"s + L'\0' + L"\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}" + L'\0' + L"}" + L'\0' + L'\0', 1,
       REG_MULTI_SZ},
      {"whitespace around the root", L" \t\r\n" + kBlocked + L" \r\n\t" + L'\0', 1},
      {"inside a longer text", L"{\"dlp@tervia.com\":{\"installation_mode\":\"force_blocked_now\"}}"s + L'\0', 1},
      {"capital letter", L"{\"dlp@tervia.com\":{\"installation_mode\":\"Blocked\"}}"s + L'\0', 0},
      {"allowed", L"{\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"}}"s + L'\0', 0},
      {"escaped NUL cuts the string", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blo\\u0000cked\"}}"s + L'\0', 0},
      {"name differs in case", L"{\"DLP@tervia.com\":{\"installation_mode\":\"blocked\"}}"s + L'\0', 0},
      {"another add-on blocked", L"{\"x@tervia.com\":{\"installation_mode\":\"blocked\"}}"s + L'\0', 0},
      {"no installation_mode", L"{\"dlp@tervia.com\":{\"blocked\":\"blocked\"}}"s + L'\0', 0},
      {"first entry counts (allowed)",
       L"{\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"},"
       L"\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}"s + L'\0', 0},
      {"first entry counts (blocked)",
       L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"},"
       L"\"dlp@tervia.com\":{\"installation_mode\":\"allowed\"}}"s + L'\0', 1},
      {"NUL after the object", kBlocked + L'\0' + L"garbage" + L'\0', 1},
      {"NUL inside the object", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}"s + L'\0' + L"}" + L'\0', 0},
      {"empty text", L"\0"s, 0},
      {"not JSON", L"installation_mode blocked"s + L'\0', 0},
      {"trailing comma", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\",}}"s + L'\0', 0},
      {"comment", L"{\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}//"s + L'\0', 0},
      {"root is an array", L"[" + kBlocked + L"]" + L'\0', 0},
      {"root is a string", L"\"blocked\""s + L'\0', 0},
      {"entry is a string", L"{\"dlp@tervia.com\":\"blocked\"}"s + L'\0', 0},
      {"mode is an array", L"{\"dlp@tervia.com\":{\"installation_mode\":[\"blocked\"]}}"s + L'\0', 0},
      {"100000 nested arrays", Nested(100000, L"[", L"", L"]") + L'\0', 0},
      {"deep nesting beside the entry",
       L"{\"x\":" + Nested(100000, L"{\"a\":", L"0", L"}") + L",\"dlp@tervia.com\":{\"installation_mode\":\"blocked\"}}" +
           L'\0',
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    SetExtensionSettingsData(registry, c.data, c.type);
    Messages messages;
    EXPECT_EQ(AskDll(messages), c.answer);
    EXPECT_EQ(messages, Messages{});
  }
}

TEST(InlineProxyExport, InlineProxyOnFixture) {
  RegistrySandbox registry;
  InlineProxyOn on(registry);
  Messages messages;
  EXPECT_EQ(AskDll(messages), 1);
  EXPECT_EQ(messages, Messages{});
}

}  // namespace
