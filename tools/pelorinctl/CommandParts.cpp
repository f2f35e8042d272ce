#include "CommandParts.h"

#include "Utf8.h"

namespace pelorinctl {

std::wstring FirefoxInstallDir(Library& library) {
  auto install_path = library.Find<GetFirefoxInstallPathFn>("get_firefox_install_path");
  return install_path != nullptr ? install_path() : std::wstring();
}

Value OptionalText(const std::optional<std::wstring>& text, const std::string& when_missing) {
  return text ? Value::String(ToUtf8(*text)) : Value::Null(when_missing);
}

}  // namespace pelorinctl
