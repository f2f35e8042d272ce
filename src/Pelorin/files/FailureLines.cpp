#include "files/FailureLines.h"

#include <cstdlib>

#include "files/TextConversion.h"

namespace pelorin {

namespace {
constexpr std::string_view kWritePrefix = "SetFileContentW: ";
constexpr std::string_view kFailedWith = " failed with error ";
}  // namespace

std::string WriteFailureLine(const FailedStep& failed, const std::wstring& path) {
  return std::string(kWritePrefix) + failed.step + " " + WideToUtf8(path) + std::string(kFailedWith) +
         std::to_string(static_cast<long>(failed.error)) + "\n";
}

std::string ReadFailureLine(unsigned long error) {
  return "ReadFile failed, " + std::to_string(static_cast<long>(error)) + "\n";
}

std::optional<WriteFailure> ParseWriteFailure(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t failed = line.rfind(kFailedWith);
  const size_t step_end = line.find(' ', kWritePrefix.size());
  if (line.substr(0, kWritePrefix.size()) != kWritePrefix || failed == std::string_view::npos || step_end >= failed) {
    return std::nullopt;
  }
  const std::string code(line.substr(failed + kFailedWith.size()));
  if (code.empty() || code.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return WriteFailure{std::string(line.substr(kWritePrefix.size(), step_end - kWritePrefix.size())),
                      std::string(line.substr(step_end + 1, failed - step_end - 1)),
                      std::strtoul(code.c_str(), nullptr, 10)};
}

}  // namespace pelorin
