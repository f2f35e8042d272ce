#include "files/TextConversion.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace pelorin {

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  // Three bytes per UTF-16 unit covers every code point, surrogate pairs
  // included (four bytes for two units).
  std::vector<char> buffer((wide.size() + 1) * 3, '\0');
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), buffer.data(),
                                  static_cast<int>(buffer.size()), nullptr, nullptr);
  if (bytes <= 0) return std::string();
  return std::string(buffer.data(), static_cast<size_t>(bytes));
}

std::wstring Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  std::vector<wchar_t> buffer(utf8.size() + 1, L'\0');
  int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), buffer.data(),
                                  static_cast<int>(buffer.size()));
  if (units <= 0) return std::wstring();
  return std::wstring(buffer.data(), static_cast<size_t>(units));
}

namespace {

wchar_t AsciiLowerOf(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

std::wstring AsciiLower(std::wstring text) {
  for (wchar_t& c : text) c = AsciiLowerOf(c);
  return text;
}

bool EndsWithAsciiLower(std::wstring_view text, std::wstring_view lowered_suffix) {
  if (text.size() < lowered_suffix.size()) return false;
  const std::wstring_view end = text.substr(text.size() - lowered_suffix.size());
  return std::equal(end.begin(), end.end(), lowered_suffix.begin(),
                    [](wchar_t c, wchar_t lowered) { return AsciiLowerOf(c) == lowered; });
}

}  // namespace pelorin
