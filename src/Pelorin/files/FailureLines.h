// The lines the exports print on standard output when a file is not read or
// not written. The nine exports return only a number, so these lines are the
// library's only word to its host about each file; their format is a
// contract, and a host that reads them uses ParseWriteFailure:
//
//   "SetFileContentW: <step> <target> failed with error <code>\n"
//   "ReadFile failed, <code>\n"
//
// <step> is one word; <target> is the file's full path in UTF-8 and may hold
// spaces; <code> is the system's error code in decimal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelorin {

// Why a file was not written: the step that failed and the system's code.
struct FailedStep {
  const char* step = nullptr;
  unsigned long error = 0;
};

std::string WriteFailureLine(const FailedStep& failed, const std::wstring& path);
std::string ReadFailureLine(unsigned long error);

// A write failure line read back; nullopt for any other line. A trailing
// "\r" is ignored.
struct WriteFailure {
  std::string step;
  std::string target;  // UTF-8, as printed
  unsigned long error = 0;
};
std::optional<WriteFailure> ParseWriteFailure(std::string_view line);

}  // namespace pelorin
