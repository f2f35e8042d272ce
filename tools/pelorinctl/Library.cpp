#include "Library.h"

#include <algorithm>

#include "Console.h"
#include "tool/Tool.h"

namespace pelorinctl {

std::wstring LibraryPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return L".\\Pelorin.dll";
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      size_t slash = path.find_last_of(L"\\/");
      return (slash == std::wstring::npos ? L"." : path.substr(0, slash)) + L"\\Pelorin.dll";
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ModuleVersion(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> data(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    throw Failure("cannot read the version of " + pelorin::WideToUtf8(path));
  }
  std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                        std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                        std::to_string(HIWORD(fixed->dwFileVersionLS));
  if (LOWORD(fixed->dwFileVersionLS) != 0) version += "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
  return version;
}

Library::Library(const std::wstring& path)
    // The altered search path makes the DLL's own folder the place where its
    // Orlix.dll import is looked up first.
    : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
  if (!module_) {
    throw Failure("cannot load " + pelorin::WideToUtf8(path) + " (error " + std::to_string(GetLastError()) + ")");
  }
  Require<PelorinInitializeFn>("PelorinInitialize")();
}

std::wstring Library::FirefoxInstallDir() {
  auto install_path = Find<GetFirefoxInstallPathFn>("get_firefox_install_path");
  return install_path != nullptr ? install_path() : std::wstring();
}

FARPROC Library::Address(const char* name) {
  FARPROC address = GetProcAddress(module_.get(), name);
  if (address == nullptr && std::find(missing_.begin(), missing_.end(), name) == missing_.end()) {
    missing_.push_back(name);
  }
  return address;
}

std::string Library::MissingMessage(const std::vector<std::string>& names) {
  std::string message = "Pelorin.dll does not export ";
  for (size_t i = 0; i < names.size(); ++i) message += (i == 0 ? "" : ", ") + names[i];
  return message;
}

}  // namespace pelorinctl
