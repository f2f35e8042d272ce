// The two ways a run ends early: a command line the tool cannot use, and a
// library (or system) failure that leaves nothing sensible to report.
#pragma once

#include <stdexcept>
#include <string>

namespace pelorinctl {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

class ToolError : public std::runtime_error {
 public:
  ToolError(int exit_code, const std::string& message) : std::runtime_error(message), exit_code_(exit_code) {}
  int exit_code() const { return exit_code_; }

 private:
  int exit_code_;
};

inline ToolError UsageError(const std::string& message) { return ToolError(kExitUsage, message); }
inline ToolError Failure(const std::string& message) { return ToolError(kExitFailure, message); }

}  // namespace pelorinctl
