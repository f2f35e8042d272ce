// The preference loader file in defaults\pref: it names the autoconfig file.
#pragma once

#include <string>

#include "lines/FileEdits.h"

namespace pelorin {

// Creates or brings up to date the loader file, keeping every foreign line
// and recording replaced foreign loader lines. A missing file is created only
// outside a replay.
void WriteLoaderFile(FileEdits& files, const std::wstring& path, const std::wstring& cfg_name, bool replay);

// A new loader file: the obscure line, then `filename_line`, each ended.
void CreateLoaderFile(FileEdits& files, const std::wstring& path, const std::string& filename_line);

// Removes the library's loader lines from one preference file; a foreign
// obscure-value line stays. A missing file is left missing.
void StripLoaderLines(FileEdits& files, const std::wstring& path);

// Strips every *.js file of the installation's defaults\pref and then
// "channel-prefs.js", so that only the loader file written next names an
// autoconfig file.
void StripPrefDirectory(FileEdits& files, const std::wstring& install_dir);

// The autoconfig file name the loader file configures, or an empty string.
std::wstring ReadLoaderCfgName(const std::wstring& path);

}  // namespace pelorin
