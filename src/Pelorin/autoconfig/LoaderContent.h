// What the preference files become: the loader file that names the
// autoconfig file, and the other preference files with the library's loader
// lines taken out. Nothing here reads or writes a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "files/Content.h"

namespace pelorin {

// A new loader file: the obscure line, then `filename_line`.
Content NewLoaderFile(std::string filename_line);

struct LoaderEdit {
  Content content;
  // Foreign values of the two preferences that the edit replaces, recorded
  // for the agent; empty when there was none.
  std::string previous_obscure;
  std::string previous_filename;
};

// An existing loader file with every loader line of the library replaced by
// its two lines at the end; other lines stay in order, blank ones go.
// `stripped`: the file is one the strip goes through first, so the lines the
// strip removes are not seen (nor recorded).
LoaderEdit EditLoaderFile(std::string_view bytes, std::string filename_line, bool stripped);

// A preference file without the library's loader lines (a foreign
// obscure-value line stays), or nullopt when it holds none: a file without
// them is someone else's and stays byte for byte.
std::optional<Content> StripLoaderLines(std::string_view bytes);

// DLP's check: some line is `filename_line` exactly.
bool NamesCfgFile(std::string_view bytes, std::string_view filename_line);

struct DlpLoaderEdit {
  Content content;
  // The file named one of the known autoconfig files: the DLP start takes
  // over the shared one instead of naming a second.
  bool shared_name = false;
};

// The DLP loader: the obscure line and the filename line after every line
// kept. The filename line names the shared autoconfig file when the file was
// handed over from a web mode, else `cfg_name`.
DlpLoaderEdit EditDlpLoaderFile(std::string_view bytes, const std::wstring& cfg_name, bool stripped);

// The autoconfig file name the last filename line configures, or an empty
// string.
std::wstring CfgNameOfLoader(std::string_view bytes);

}  // namespace pelorin
