// Owning types for the handles the tool opens; the library's own set plus
// the loaded module.
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace pelorinctl {

struct module_traits {
  using type = HMODULE;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::FreeLibrary(h); }
};

using unique_module = pelorin::unique_any<module_traits>;
using pelorin::unique_file;
using pelorin::unique_find;
using pelorin::unique_hkey;

}  // namespace pelorinctl
