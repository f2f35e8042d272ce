// The preference loader file in defaults\pref: it names the autoconfig file.
#pragma once

#include <cstdint>
#include <string>

namespace pelorin {

// Creates or brings up to date the loader file, keeping every foreign line
// and recording replaced foreign loader lines. A missing file is created only
// when `replay` is 0. Returns 0.
int WriteLoaderFile(std::wstring path, const std::wstring& cfg_name, int32_t mode, int32_t replay);

// A new loader file: the obscure line, then `filename_line`, each ended.
void CreateLoaderFile(const std::wstring& path, const std::string& filename_line);

// Removes the library's loader lines from one preference file; a foreign
// obscure-value line stays. A missing file is left missing. Returns 1.
int StripLoaderLines(const std::wstring& path);

// The autoconfig file name the loader file configures, or an empty string.
std::wstring ReadLoaderCfgName(const std::wstring& path);

}  // namespace pelorin
