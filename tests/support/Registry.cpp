#include "Registry.h"

#include <stdexcept>

#include "Files.h"
#include "base/UniqueHandle.h"

namespace testing_support {

namespace {

// Sandboxed trees, deleted whole; the parents are left to the prefix.
const wchar_t* const kOwnedTrees[] = {kBrowserListKey, L"SOFTWARE\\Tervia", L"SOFTWARE\\Policies\\Mozilla"};

using pelorin::unique_hkey;

unique_hkey CreateOrOpen(const std::wstring& key) {
  unique_hkey handle;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, handle.put(),
                                nullptr);
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot create key " + Narrow(key));
  return handle;
}

unique_hkey OpenForReading(const std::wstring& key) {
  unique_hkey handle;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, handle.put());
  return handle;
}

}  // namespace

RegistrySandbox::RegistrySandbox() { Clear(); }
RegistrySandbox::~RegistrySandbox() { Clear(); }
void RegistrySandbox::Clear() {
  for (const wchar_t* tree : kOwnedTrees) DeleteTree(tree);
}

void RegistrySandbox::CreateKey(const std::wstring& key) { CreateOrOpen(key); }

void RegistrySandbox::DeleteTree(const std::wstring& key) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

void RegistrySandbox::SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value,
                                DWORD type) {
  SetRaw(key, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RegistrySandbox::SetRaw(const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                             DWORD bytes) {
  unique_hkey handle = CreateOrOpen(key);
  LONG status = RegSetValueExW(handle.get(), name.empty() ? nullptr : name.c_str(), 0, type,
                               static_cast<const BYTE*>(data), bytes);
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot set value " + Narrow(name));
}

void RegistrySandbox::SetUnits(const std::wstring& key, const std::wstring& name, DWORD type,
                               const std::wstring& data) {
  // Wine adds a terminator to string data that is followed by a NUL in
  // memory; a sentinel keeps it from doing so.
  const std::wstring buffer = data + L'X';
  SetRaw(key, name, type, buffer.data(), static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

void RegistrySandbox::SetDword(const std::wstring& key, const std::wstring& name, uint32_t value) {
  SetRaw(key, name, REG_DWORD, &value, sizeof value);
}

bool RegistrySandbox::KeyExists(const std::wstring& key) const { return static_cast<bool>(OpenForReading(key)); }

std::optional<std::wstring> RegistrySandbox::ReadString(const std::wstring& key, const std::wstring& name) const {
  unique_hkey handle = OpenForReading(key);
  if (!handle) return std::nullopt;
  DWORD type = 0, bytes = 0;
  LONG status = RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, nullptr, &bytes);
  std::wstring text;
  if (status == ERROR_SUCCESS) {
    text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    status = RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &bytes);
    text.resize(bytes / sizeof(wchar_t));
  }
  if (status != ERROR_SUCCESS) return std::nullopt;
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace testing_support
