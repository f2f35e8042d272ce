// The registry reader on its own: the types and lengths it takes, and values
// rewritten between its size query and its data read. Each value's own rule
// is tested where that value is used.
#include <gtest/gtest.h>
#include <windows.h>
#include <optional>
#include <string>
#include <vector>
#include "Registry.h"
#include "base/Registry.h"

using namespace testing_support;
using namespace std::string_literals;
// The library is linked into this executable: its calls go through this slot.
extern "C" decltype(&RegQueryValueExW) __imp_RegQueryValueExW;
namespace {
constexpr wchar_t kValueName[] = L"Probe";

std::string Bytes(const std::wstring& units) {
  return std::string(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(wchar_t));
}

// Stores exactly `bytes`: the sentinel after them keeps Wine from adding a
// terminator to string data.
void SetExactly(RegistrySandbox& registry, DWORD type, const std::string& bytes) {
  const std::string buffer = bytes + "XX";
  registry.SetRaw(kAgentKey, kValueName, type, buffer.data(), static_cast<DWORD>(bytes.size()));
}

pelorin::unique_hkey OpenAgentKey() {
  pelorin::unique_hkey key;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put());
  return key;
}

TEST(ReadRegistryValue, TypesAndLengths) {
  const DWORD kVendorType = 0x1234;
  const pelorin::RegistryTypes kAny = pelorin::RegistryTypes::Any();
  const struct {
    const char* what;
    DWORD type;  // 0: no value
    std::string bytes;
    pelorin::RegistryTypes types;
    size_t max_units;
    LONG status;
    std::optional<std::wstring> units;
  } cases[] = {
      {"no terminator added", REG_SZ, Bytes(L"ab"), {REG_SZ}, 2, ERROR_SUCCESS, L"ab"},
      {"one unit too long", REG_SZ, Bytes(L"abc"), {REG_SZ}, 2, ERROR_MORE_DATA, std::nullopt},
      {"odd byte is the low byte of a unit", REG_BINARY, "a\0b"s, kAny, 2, ERROR_SUCCESS, L"ab"},
      {"odd byte too long", REG_BINARY, "a\0b"s, kAny, 1, ERROR_MORE_DATA, std::nullopt},
      {"a DWORD as two units", REG_DWORD, "A\0B\0"s, kAny, 2, ERROR_SUCCESS, L"AB"},
      {"a vendor's type", kVendorType, Bytes(L"x"), kAny, 1, ERROR_SUCCESS, L"x"},
      {"a vendor's type, not listed", kVendorType, Bytes(L"x"), {REG_SZ, REG_MULTI_SZ}, 1, ERROR_UNSUPPORTED_TYPE,
       std::nullopt},
      {"second listed type", REG_MULTI_SZ, Bytes(L"x"s + L'\0'), {REG_SZ, REG_MULTI_SZ}, 2, ERROR_SUCCESS,
       L"x"s + L'\0'},
      {"REG_EXPAND_SZ is not REG_SZ", REG_EXPAND_SZ, Bytes(L"x"), {REG_SZ}, 1, ERROR_UNSUPPORTED_TYPE, std::nullopt},
      {"empty data", REG_SZ, "", {REG_SZ}, 0, ERROR_SUCCESS, L""},
      {"absent", 0, "", {REG_SZ}, pelorin::kAnyRegistryLength, ERROR_SUCCESS, std::nullopt},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.CreateKey(kAgentKey);
    if (c.type != 0) SetExactly(registry, c.type, c.bytes);
    const pelorin::RegistryRead read =
        pelorin::ReadRegistryValue(OpenAgentKey().get(), kValueName, c.types, c.max_units);
    EXPECT_EQ(read.status, c.status) << c.what;
    EXPECT_EQ(read.value.has_value(), c.units.has_value()) << c.what;
    if (read.value && c.units) {
      EXPECT_EQ(read.value->units, *c.units) << c.what;
      EXPECT_EQ(read.value->bytes, c.bytes.size()) << c.what;
      EXPECT_EQ(read.value->type, c.type) << c.what;
    }
  }
}

// Before each data read (never before the size query) the value becomes the
// next of these texts, or is deleted for nullopt.
std::vector<std::optional<std::wstring>> g_rewrites;
const auto kQueryValue = __imp_RegQueryValueExW;
LONG WINAPI RewriteBeforeDataRead(HKEY key, const wchar_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                                  DWORD* bytes) {
  if (data != nullptr && !g_rewrites.empty()) {
    const std::optional<std::wstring> next = g_rewrites.front();
    g_rewrites.erase(g_rewrites.begin());
    if (next) {
      const DWORD size = static_cast<DWORD>((next->size() + 1) * sizeof(wchar_t));
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(next->c_str()), size);
    } else {
      RegDeleteValueW(key, name);
    }
  }
  return kQueryValue(key, name, reserved, type, data, bytes);
}

// Puts the rewriting query into the slot for one scope.
class RewritingQuery {
 public:
  RewritingQuery() { Set(&RewriteBeforeDataRead); }
  ~RewritingQuery() { Set(kQueryValue); }

 private:
  static void Set(decltype(kQueryValue) function) {
    DWORD old = 0;
    VirtualProtect(&__imp_RegQueryValueExW, sizeof function, PAGE_READWRITE, &old);
    __imp_RegQueryValueExW = function;
    VirtualProtect(&__imp_RegQueryValueExW, sizeof function, old, &old);
  }
};

TEST(ReadRegistryValue, ValueChangedBetweenSizeQueryAndRead) {
  std::vector<std::optional<std::wstring>> endless_growth;
  for (int length = 10; length < 30; ++length) endless_growth.push_back(std::wstring(length, L'g'));
  const struct {
    const char* what;
    std::vector<std::optional<std::wstring>> rewrites;
    LONG status;
    std::optional<std::wstring> text;  // read with its terminator
  } cases[] = {
      {"grew", {L"a longer text than the first"}, ERROR_SUCCESS, L"a longer text than the first"},
      {"shrank", {L"tiny"}, ERROR_SUCCESS, L"tiny"},
      {"grew past the limit", {std::wstring(40, L'g')}, ERROR_MORE_DATA, std::nullopt},
      {"deleted", {std::nullopt}, ERROR_SUCCESS, std::nullopt},
      {"grew before every read", endless_growth, ERROR_MORE_DATA, std::nullopt},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.SetString(kAgentKey, kValueName, L"first");
    pelorin::unique_hkey key = OpenAgentKey();
    g_rewrites = c.rewrites;
    pelorin::RegistryRead read;
    {
      RewritingQuery rewriting;
      read = pelorin::ReadRegistryValue(key.get(), kValueName, {REG_SZ}, 32);
    }
    EXPECT_EQ(read.status, c.status) << c.what;
    const std::optional<std::wstring> expected_units = c.text ? std::optional(*c.text + L'\0') : std::nullopt;
    EXPECT_EQ(read.value ? std::optional(read.value->units) : std::nullopt, expected_units) << c.what;
  }
}
}  // namespace
