// The autoconfig file in DLP mode: the two scope lines, the two proxy lines
// while the inline proxy is in force, and the enterprise-roots line.
#pragma once

#include <string>
#include <string_view>

#include "lines/FileEdits.h"

namespace pelorin {

// The three DLP lines are there as whole lines, and the two proxy lines are
// there exactly when the inline proxy is in force.
bool IsDlpAutoconfigUpToDate(FileEdits& files, const std::wstring& path);

// Creates the file or replaces the DLP lines at its end, then records the
// path in FFCFG.
void WriteDlpAutoconfigFile(FileEdits& files, const std::wstring& path);

// The line holds one of the five DLP line constants, banner included.
bool IsDlpAutoconfigLine(std::string_view line);

}  // namespace pelorin
