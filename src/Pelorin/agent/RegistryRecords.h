// What the library changed in Firefox, recorded under the agent's key
// HKLM\SOFTWARE\Tervia\Agent\Common\ (opened, never created). Registry
// failures are silent.
#pragma once

#include <string>

namespace pelorin {

// FFCFG := the autoconfig path, as passed. Logs "SaveCurrentCFGFilePath"
// whenever the key could be opened. Returns 0.
int SaveCfgFilePath(const std::wstring& path);

// FFObscure / FFJSFile := the foreign loader lines a writer replaced, each
// only when non-empty. Returns true.
bool SavePreviousLoaderLines(std::string obscure_line, std::string filename_line);

// FFCFG as recorded, or an empty string when the key or the value is missing.
std::wstring ReadCfgFilePath();

}  // namespace pelorin
