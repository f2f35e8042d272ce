#include "Library.h"

#include "Utf8.h"

#include <algorithm>

namespace pelorinctl {

Library::Library(const std::wstring& path)
    // The altered search path makes the DLL's own folder the place where its
    // Orlix.dll import is looked up first.
    : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
  if (!module_) {
    throw Failure("cannot load " + ToUtf8(path) + " (error " + std::to_string(GetLastError()) + ")");
  }
  Require<PelorinInitializeFn>("PelorinInitialize")();
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
