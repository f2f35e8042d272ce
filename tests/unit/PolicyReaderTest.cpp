// The ExtensionSettings policy value: which shapes are read, and as what text.
#include <gtest/gtest.h>
#include <windows.h>
#include "Registry.h"
#include "proxy/PolicyReader.h"

using namespace testing_support;
using namespace std::string_literals;
namespace {

TEST(PolicyReader, ValuesAndTheirText) {
  const std::wstring kPrevious = L"previous";  // left alone when nothing is read
  const struct {
    DWORD type;  // 0: no value
    std::string bytes;
    LONG status;
    std::wstring text;
  } cases[] = {
      {REG_SZ, Utf16Bytes(L"{\"a\":\"b\"}"s + L'\0'), 0, L"{\"a\":\"b\"}"},
      {REG_SZ, Utf16Bytes(L"{\"a\":\"b\"}"), 0, L"{\"a\":\"b\""},  // no terminator: the last character is lost
      {REG_MULTI_SZ, Utf16Bytes(L"{"s + L'\0' + L"\"a\":1" + L'\0' + L"}" + L'\0' + L'\0'), 0, L"{\n\"a\":1\n}\n"},
      {REG_SZ, Utf16Bytes(L"{}") + "}", 0, L"{"},  // an odd last byte goes with the last character
      {REG_SZ, Utf16Bytes(L"{}"s + L'\0' + L"tail" + L'\0'), 0, L"{}"s + L'\0' + L"tail"},
      {REG_EXPAND_SZ, Utf16Bytes(L"{}"s + L'\0'), ERROR_INVALID_DATA, kPrevious},
      {REG_SZ, "", ERROR_INVALID_DATA, kPrevious},  // no room even for a terminator
      {0, "", ERROR_FILE_NOT_FOUND, kPrevious},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.CreateKey(kFirefoxPolicyKey);
    if (c.type != 0) {
      registry.SetBytes(kFirefoxPolicyKey, L"ExtensionSettings", c.type, c.bytes);
    }
    pelorin::unique_hkey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirefoxPolicyKey, 0, KEY_READ, key.put()), ERROR_SUCCESS);
    HKEY opened = key.get();
    std::wstring text = kPrevious;
    EXPECT_EQ(pelorin::read_extension_settings(opened, text), c.status) << "row " << &c - cases;
    EXPECT_EQ(text, c.text) << "row " << &c - cases;
  }
}
}  // namespace
