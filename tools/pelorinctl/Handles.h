// Owning types for the handles the tool opens; the library's own set plus
// the loaded module.
#pragma once

#include <windows.h>

#include "pelorin/UniqueHandle.h"

namespace pelorinctl {

using unique_module = pelorin::unique_any<HMODULE, decltype(&::FreeLibrary), ::FreeLibrary>;
using pelorin::unique_file;
using pelorin::unique_find;

}  // namespace pelorinctl
