// Small pieces the commands share.
#pragma once

#include <optional>
#include <string>

#include "Library.h"
#include "Report.h"

namespace pelorinctl {

inline constexpr char kNotExported[] = "(unavailable: not exported by Pelorin.dll)";

// The library's answer; empty when Firefox is not found or the export is
// missing (Library remembers which).
std::wstring FirefoxInstallDir(Library& library);

Value OptionalText(const std::optional<std::wstring>& text, const std::string& when_missing);

}  // namespace pelorinctl
