// The loader file in DLP mode: PREF_LINE_OBSCURE_VALUE and the filename line
// after every line kept. A loader line of a web mode hands the DLP start
// over to the shared autoconfig name "cv_mozilla_V2N.cfg".
#pragma once

#include <string>
#include <string_view>

#include "lines/FileEdits.h"

namespace pelorin {

// Which autoconfig file the last recognised loader line named.
enum class DlpPredecessor { kNone, kTovk, kZarn, kShared };

// Some line equals the filename line for `cfg_name` byte for byte.
bool IsDlpLoaderUpToDate(FileEdits& files, const std::wstring& path, const std::wstring& cfg_name);

// Creates the file or merges the two DLP lines into it. May replace
// `cfg_name` by "cv_mozilla_V2N.cfg".
void WriteDlpLoaderFile(FileEdits& files, const std::wstring& path, std::wstring& cfg_name);

// A loader line the writer replaces; sets `predecessor` when the line names
// one of the known autoconfig files, and leaves it alone otherwise.
bool IsDlpLoaderLine(std::string_view line, DlpPredecessor& predecessor);

}  // namespace pelorin
