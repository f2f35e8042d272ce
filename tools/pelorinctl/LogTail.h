// The log records one command produced. The agent's log is left where it
// is: the tool notes its size before the command and afterwards reads what
// was appended, keeping the records of its own process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorinctl {

class LogTail {
 public:
  // Asks the Orlix.dll that Pelorin.dll loaded where it writes; without one
  // there are no records.
  LogTail();
  // The records (one UTF-8 line each, without line end) appended since
  // construction by this process.
  std::vector<std::string> NewRecords() const;

 private:
  std::wstring path_;
  uint64_t start_;
};

}  // namespace pelorinctl
