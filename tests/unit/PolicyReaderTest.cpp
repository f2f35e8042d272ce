// Reading Firefox's ExtensionSettings policy value from the real registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Policy.h"
#include "Registry.h"
#include "proxy/PolicyReader.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

LONG Read(std::wstring& text, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirefoxPolicyKey, 0, access, &key) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot open the policy key";
    return -1;
  }
  LONG status = pelorin::read_extension_settings(key, text);
  RegCloseKey(key);
  return status;
}

TEST(PolicyReader, StringValuesBecomeTheirText) {
  struct Case {
    const char* what;
    DWORD type;
    std::wstring stored;
    std::wstring expected;
  };
  const Case cases[] = {
      {"REG_SZ with its terminator", REG_SZ, L"{\"a\":\"b\"}"s + L'\0', L"{\"a\":\"b\"}"},
      {"REG_SZ without terminator loses its last character", REG_SZ, L"{\"a\":\"b\"}", L"{\"a\":\"b\""},
      {"REG_MULTI_SZ strings each end in a line feed", REG_MULTI_SZ,
       L"{"s + L'\0' + L"\"a\":1" + L'\0' + L"}" + L'\0' + L'\0', L"{\n\"a\":1\n}\n"},
      {"only a terminator", REG_SZ, L"\0"s, L""},
      {"embedded NUL is kept", REG_SZ, L"{}"s + L'\0' + L"tail" + L'\0', L"{}"s + L'\0' + L"tail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    SetExtensionSettingsData(registry, c.stored, c.type);
    std::wstring text = L"previous";
    EXPECT_EQ(Read(text), 0);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(PolicyReader, OddByteCountRoundsDownBeforeDroppingTheLastCharacter) {
  RegistrySandbox registry;
  registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", REG_SZ, L"abc", 5);  // "ab" and half of "c"
  std::wstring text;
  EXPECT_EQ(Read(text), 0);
  EXPECT_EQ(text, L"a");
}

TEST(PolicyReader, FailuresLeaveTheTextAlone) {
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
    LONG status;
  };
  const Case cases[] = {
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, std::string("{\0}\0\0\0", 6), ERROR_INVALID_DATA},
      {"REG_DWORD", REG_DWORD, std::string("\1\0\0\0", 4), ERROR_INVALID_DATA},
      {"REG_BINARY", REG_BINARY, std::string("{\0}\0\0\0", 6), ERROR_INVALID_DATA},
      {"zero bytes", REG_SZ, std::string(), ERROR_INVALID_DATA},
      {"one byte", REG_SZ, std::string("{", 1), ERROR_INVALID_DATA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", c.type, c.bytes.data(),
                    static_cast<DWORD>(c.bytes.size()));
    std::wstring text = L"previous";
    EXPECT_EQ(Read(text), c.status);
    EXPECT_EQ(text, L"previous");
  }
}

TEST(PolicyReader, RegistryStatusIsPassedOn) {
  RegistrySandbox registry;
  registry.SetString(kFirefoxPolicyKey, L"Other", L"{}");
  std::wstring text = L"previous";
  EXPECT_EQ(Read(text), ERROR_FILE_NOT_FOUND);
  registry.SetString(kFirefoxPolicyKey, L"ExtensionSettings", L"{}");
  EXPECT_EQ(Read(text, KEY_SET_VALUE), ERROR_ACCESS_DENIED);
  EXPECT_EQ(text, L"previous");
}

}  // namespace
