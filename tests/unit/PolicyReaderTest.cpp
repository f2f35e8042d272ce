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

LONG Read(std::wstring& text) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirefoxPolicyKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  const LONG status = pelorin::read_extension_settings(key, text);
  RegCloseKey(key);
  return status;
}

// Bytes of a wide text, exactly its code units.
std::string Bytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

TEST(PolicyReader, ValuesAndTheirText) {
  const std::wstring kPrevious = L"previous";
  const struct {
    const char* what;
    DWORD type;  // 0: no value
    std::string bytes;
    LONG status;
    std::wstring text;  // kPrevious: left alone
  } cases[] = {
      {"REG_SZ with its terminator", REG_SZ, Bytes(L"{\"a\":\"b\"}"s + L'\0'), 0, L"{\"a\":\"b\"}"},
      {"REG_SZ without terminator loses its last character", REG_SZ, Bytes(L"{\"a\":\"b\"}"), 0, L"{\"a\":\"b\""},
      {"REG_MULTI_SZ strings each end in a line feed", REG_MULTI_SZ,
       Bytes(L"{"s + L'\0' + L"\"a\":1" + L'\0' + L"}" + L'\0' + L'\0'), 0, L"{\n\"a\":1\n}\n"},
      {"two bytes: only a terminator", REG_SZ, Bytes(L"\0"s), 0, L""},
      {"embedded NUL is kept", REG_SZ, Bytes(L"{}"s + L'\0' + L"tail" + L'\0'), 0, L"{}"s + L'\0' + L"tail"},
      {"odd byte count rounds down first", REG_SZ, Bytes(L"abc").substr(0, 5), 0, L"a"},
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, Bytes(L"{}"s + L'\0'), ERROR_INVALID_DATA, kPrevious},
      {"REG_DWORD", REG_DWORD, std::string("\1\0\0\0", 4), ERROR_INVALID_DATA, kPrevious},
      {"REG_BINARY", REG_BINARY, Bytes(L"{}"s + L'\0'), ERROR_INVALID_DATA, kPrevious},
      {"zero bytes", REG_SZ, "", ERROR_INVALID_DATA, kPrevious},
      {"one byte", REG_SZ, "{", ERROR_INVALID_DATA, kPrevious},
      {"no value", 0, "", ERROR_FILE_NOT_FOUND, kPrevious},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    // Wine adds a terminator to string data followed by a NUL in memory; the
    // sentinel keeps it from doing so.
    const std::string buffer = c.bytes + "XX";
    registry.CreateKey(kFirefoxPolicyKey);
    if (c.type != 0) {
      registry.SetRaw(kFirefoxPolicyKey, L"ExtensionSettings", c.type, buffer.data(),
                      static_cast<DWORD>(c.bytes.size()));
    }
    std::wstring text = kPrevious;
    EXPECT_EQ(Read(text), c.status);
    EXPECT_EQ(text, c.text);
  }
}

}  // namespace
