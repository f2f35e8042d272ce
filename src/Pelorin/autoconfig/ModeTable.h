// The library's modes, one row each: the names by which the host tool, the
// log and the check know a mode, the autoconfig lines it writes, and how its
// lines are recognised in an autoconfig file. Writers, the cleanup, the
// check and the host tool all read this table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelorin {

enum class Mode {
  kZarn,  // direct-connect web protection
  kTovk,  // proxy-connect web protection
  kDlp,   // data-loss prevention
};
// The table has a row for each, in the enum's order; ModeTable.cpp asserts it.
inline constexpr size_t kModeCount = 3;

// Autoconfig line constants in the order a mode writes them.
class LineSet {
 public:
  constexpr LineSet() = default;
  template <size_t kCount>
  constexpr LineSet(const std::string_view (&lines)[kCount]) : lines_(lines), count_(kCount) {}
  constexpr LineSet(const std::string_view* lines, size_t count) : lines_(lines), count_(count) {}

  constexpr const std::string_view* begin() const { return lines_; }
  constexpr const std::string_view* end() const { return lines_ + count_; }
  constexpr bool empty() const { return count_ == 0; }

 private:
  const std::string_view* lines_ = nullptr;
  size_t count_ = 0;
};

struct ModeRow {
  Mode mode;
  const char* name;  // pelorinctl's argument and the check's report
  // Which start writes the mode: the web modes share one writer, DLP has its
  // own, with its own checks and messages.
  bool web;
  const wchar_t* export_name;
  const wchar_t* not_found_message;  // logged when Firefox is not registered
  const wchar_t* finished_message;   // logged after a start; null: none
  const wchar_t* edit_message;       // logged when the web writer edits a file; null: none
  // The export's result for a start that did its work, and for one the
  // agent's configuration stopped (DLP alone stops so).
  int32_t done_result;
  int32_t skipped_result;
  // Replayed by PelorinUninitialize: the proxy-connect starts alone.
  bool saved_for_replay;
  // The autoconfig name the mode's earlier loaders gave, quoted as a loader
  // line holds it: such a line is the library's, and the strip removes it.
  std::string_view cfg_marker;

  // The lines, in the order they are written: `base` always; `agent` while
  // the agent's configuration asks for them (DLP: always, see `web`);
  // `inline_proxy` after those while the inline proxy is in force; then
  // `closing`.
  LineSet base;
  LineSet agent;
  LineSet inline_proxy;
  LineSet closing;

  // Recognition: a line of `marks` anywhere in a file names this mode; else
  // the first of the library's lines names the mode that leads with it.
  LineSet marks;
  LineSet leads;
};

const ModeRow& RowOf(Mode mode);
// The row named `name` ("zarn", "tovk", "dlp"), or null.
const ModeRow* FindMode(std::string_view name);

// Every row, in the order of the enum.
const ModeRow* ModesBegin();
const ModeRow* ModesEnd();

// Every line constant any mode writes, and the lines the inline proxy adds.
LineSet AllModeLines();
LineSet InlineProxyLines();
// The base lines of every web mode: a web start takes out those of the
// other mode, so that switching from one to the other leaves no stale lock.
LineSet WebBaseLines();

}  // namespace pelorin
