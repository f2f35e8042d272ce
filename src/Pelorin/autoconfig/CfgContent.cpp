#include "autoconfig/CfgContent.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "autoconfig/CfgLines.h"

namespace pelorin {

namespace {

// Firefox ignores the first line of an autoconfig file, so the library keeps
// a bare comment there rather than a line someone relies on.
constexpr std::string_view kCfgFirstLine = "//";

// The agent lines (with the inline proxy lines and the closing ones) belong
// to the agent's configuration; DLP is that configuration.
bool AgentLinesApply(const ModeRow& row, bool agent_config) { return !row.web || agent_config; }

bool ContainsAny(Line line, std::initializer_list<LineSet> sets) {
  for (LineSet set : sets) {
    for (std::string_view constant : set) {
      if (line.find(constant) != std::string_view::npos) return true;
    }
  }
  return false;
}

// The constants standing as whole lines in a file: only lines holding the
// banner can be one, and the banner is searched for once in the whole file.
class WholeLines {
 public:
  explicit WholeLines(std::string_view bytes) {
    for (size_t at : FindAll(bytes, kCfgBanner)) {
      const size_t newline_before = at == 0 ? std::string_view::npos : bytes.rfind('\n', at - 1);
      const size_t begin = newline_before == std::string_view::npos ? 0 : newline_before + 1;
      const size_t end = std::min(bytes.find('\n', at), bytes.size());
      lines_.push_back(bytes.substr(begin, end - begin));
    }
  }
  bool HasAll(LineSet set) const {
    return std::all_of(set.begin(), set.end(), [this](std::string_view line) { return Has(line); });
  }
  bool HasAny(LineSet set) const {
    return std::any_of(set.begin(), set.end(), [this](std::string_view line) { return Has(line); });
  }

 private:
  bool Has(std::string_view constant) const {
    return std::find(lines_.begin(), lines_.end(), constant) != lines_.end();
  }

  std::vector<std::string_view> lines_;
};

enum class Blank { kDropAll, kDropTrailing };

// The lines of `bytes` that hold none of `removed` (banner included), in
// order; the blank ones as `blank` says. With `bare_first_line`, a bare "//"
// goes before them unless the first of them is one.
ContentBuilder KeepLines(std::string_view bytes, std::initializer_list<LineSet> removed, Blank blank,
                         bool bare_first_line) {
  ContentBuilder out(bytes);
  MarkedLines marked(bytes, kCfgBanner);
  bool first = true;
  std::vector<Line> blanks;  // kept only once a line with text follows
  ForEachLine(bytes, [&](Line line) {
    if (marked.Holds(line) && ContainsAny(line, removed)) return;
    if (first && bare_first_line && line != kCfgFirstLine) out.Add(kCfgFirstLine);
    first = false;
    if (line.empty()) {
      if (blank == Blank::kDropTrailing) blanks.push_back(line);
      return;
    }
    for (Line kept : blanks) out.Keep(kept);
    blanks.clear();
    out.Keep(line);
  });
  if (first && bare_first_line) out.Add(kCfgFirstLine);
  return out;
}

void AddLines(ContentBuilder& out, LineSet lines) {
  for (std::string_view line : lines) out.Add(line);
}

}  // namespace

bool CfgHoldsModeLines(std::string_view bytes, const ModeRow& row, bool agent_config,
                       const InlineProxyQuestion& inline_proxy) {
  if (bytes.empty()) return false;
  const WholeLines lines(bytes);
  if (!lines.HasAll(row.base)) return false;
  if (!AgentLinesApply(row, agent_config)) return true;
  if (!lines.HasAll(row.agent) || !lines.HasAll(row.closing)) return false;
  // Firefox is to be locked to the system proxy only while the agent's
  // inline proxy is in force: a lock left from earlier is as stale as a
  // missing one.
  if (inline_proxy()) return lines.HasAll(row.inline_proxy);
  return !lines.HasAny(row.inline_proxy);
}

Content NewCfgFile(const ModeRow& row, bool agent_config, const InlineProxyQuestion& inline_proxy, Messages& messages) {
  if (!row.web) messages.push_back(L"FF extension CFG file do not exists. Creating one.");
  ContentBuilder out{std::string_view()};
  out.Add(kCfgFirstLine);
  AddLines(out, row.base);
  if (AgentLinesApply(row, agent_config)) {
    AddLines(out, row.agent);
    if (inline_proxy()) {
      if (!row.web) messages.push_back(L"Inline proxy enabled. Locking proxy settings");
      AddLines(out, row.inline_proxy);
    }
    AddLines(out, row.closing);
    if (row.web) messages.push_back(L"FF config add proxy setting for DLP");
  }
  return out.Take();
}

Content EditCfgFile(std::string_view bytes, const ModeRow& row, bool agent_config,
                    const InlineProxyQuestion& inline_proxy, Messages& messages) {
  if (!row.web) {
    ContentBuilder out = KeepLines(bytes, {row.agent, row.inline_proxy, row.closing}, Blank::kDropTrailing, false);
    AddLines(out, row.agent);
    if (inline_proxy()) AddLines(out, row.inline_proxy);
    AddLines(out, row.closing);
    return out.Take();
  }
  // Without the agent's configuration, scope lines are a user's or an
  // earlier run's, and stay where they are.
  const bool agent = AgentLinesApply(row, agent_config);
  ContentBuilder out = KeepLines(bytes, {WebBaseLines(), agent ? row.agent : LineSet()}, Blank::kDropAll, true);
  AddLines(out, row.base);
  if (row.edit_message != nullptr) messages.push_back(row.edit_message);
  if (agent) {
    AddLines(out, row.agent);
    if (inline_proxy()) AddLines(out, row.inline_proxy);
    messages.push_back(L"FF config all_lines.push_back for DLP");
  }
  return out.Take();
}

Content CleanCfgFile(std::string_view bytes, bool only_proxy, Messages& messages) {
  if (only_proxy) messages.push_back(L"Unlocking only proxy settings.");
  return KeepLines(bytes, {only_proxy ? InlineProxyLines() : AllModeLines()}, Blank::kDropAll, true).Take();
}

}  // namespace pelorin
