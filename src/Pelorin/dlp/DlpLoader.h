// The loader file in DLP mode: PREF_LINE_OBSCURE_VALUE and the filename line
// after every line kept. A loader line of a web mode hands the DLP start
// over to the shared autoconfig name "cv_mozilla_V2N.cfg".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

// Which autoconfig file the last recognised loader line named.
inline constexpr int32_t DLP_NO_PREDECESSOR = 0;
inline constexpr int32_t DLP_PREDECESSOR_TOVK = 1;
inline constexpr int32_t DLP_PREDECESSOR_ZARN = 2;
inline constexpr int32_t DLP_PREDECESSOR_SHARED = 3;

// Some line equals the filename line for `cfg_name` byte for byte.
bool IsDlpLoaderUpToDate(const std::wstring& path, const std::wstring& cfg_name);

// Creates the file or merges the two DLP lines into it. May replace
// `cfg_name` by "cv_mozilla_V2N.cfg". Returns 0.
int32_t WriteDlpLoaderFile(std::wstring path, std::wstring& cfg_name);

// A loader line the writer replaces; sets `predecessor` when the line names
// one of the known autoconfig files, and leaves it alone otherwise.
bool IsDlpLoaderLine(std::string_view line, int32_t& predecessor);

}  // namespace pelorin
