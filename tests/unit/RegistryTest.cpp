// The registry reader on its own: values rewritten between its size query
// and its data read.
#include <gtest/gtest.h>
#include <windows.h>
#include <optional>
#include <string>
#include <vector>
#include "ImportSlot.h"
#include "Registry.h"
#include "base/Registry.h"

using namespace testing_support;
// The library is linked into this executable: its calls go through this slot.
extern "C" decltype(&RegQueryValueExW) __imp_RegQueryValueExW;
namespace {
constexpr wchar_t kValueName[] = L"Probe";

pelorin::unique_hkey OpenAgentKey() {
  pelorin::unique_hkey key;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAgentKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put());
  return key;
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
      {"grew past the limit", {std::wstring(40, L'g')}, ERROR_MORE_DATA, std::nullopt},
      {"deleted", {std::nullopt}, ERROR_SUCCESS, std::nullopt},
      {"grew before every read", endless_growth, ERROR_MORE_DATA, std::nullopt},
  };
  for (const auto& c : cases) {
    RegistrySandbox registry;
    registry.SetString(kAgentKey, kValueName, L"first");
    pelorin::unique_hkey key = OpenAgentKey();
    g_rewrites = c.rewrites;
    SetImportSlot(__imp_RegQueryValueExW, &RewriteBeforeDataRead);
    const pelorin::RegistryRead read = pelorin::ReadRegistryValue(key.get(), kValueName, {REG_SZ}, 32);
    SetImportSlot(__imp_RegQueryValueExW, kQueryValue);
    EXPECT_EQ(read.status, c.status) << c.what;
    EXPECT_EQ(read.value.has_value(), c.text.has_value()) << c.what;
    if (read.value && c.text) {
      EXPECT_EQ(read.value->units, *c.text + L'\0') << c.what;
    }
  }
}
}  // namespace
