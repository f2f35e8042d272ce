#include "tool/Diff.h"

#include <algorithm>
#include <string>

namespace pelorin::tool {

namespace {

constexpr size_t kAdded = std::string_view::npos;

struct TextLine {
  size_t offset;
  std::string_view text;
};

// The lines as a person counts them: no empty line after a final "\n".
std::vector<TextLine> LinesOf(std::string_view bytes) {
  std::vector<TextLine> lines;
  ForEachLine(bytes, [&](Line line) { lines.push_back({static_cast<size_t>(line.data() - bytes.data()), line}); });
  if (!lines.empty() && lines.back().text.empty() && bytes.back() == '\n') lines.pop_back();
  return lines;
}

// For each new line, the offset of the old line it was kept from, or kAdded.
std::vector<size_t> OriginsOf(const std::vector<TextLine>& new_lines, std::string_view before, const Content& after) {
  std::vector<size_t> origins;
  size_t piece_begin = 0;
  auto piece = after.pieces().begin();
  for (const TextLine& line : new_lines) {
    while (piece != after.pieces().end() && piece_begin + piece->size() <= line.offset) {
      piece_begin += piece->size();
      ++piece;
    }
    const bool kept = piece != after.pieces().end() && piece->data() >= before.data() &&
                      piece->data() + piece->size() <= before.data() + before.size();
    origins.push_back(kept ? static_cast<size_t>(piece->data() - before.data()) + line.offset - piece_begin : kAdded);
  }
  return origins;
}

// Between two kept lines, the old lines that went and the new ones that
// came: a line the edit took out and put back (the library moves its own
// lines to the end) is shown as kept where the two agree, as diff would.
void AppendChange(const std::vector<std::string>& removed, const std::vector<std::string>& added,
                  std::vector<DiffLine>& lines) {
  constexpr size_t kMostCells = 1 << 20;  // beyond, the change is shown whole
  const size_t n = removed.size();
  const size_t m = added.size();
  if (n * m > kMostCells) {
    for (const std::string& line : removed) lines.push_back({'-', line});
    for (const std::string& line : added) lines.push_back({'+', line});
    return;
  }
  std::vector<size_t> common((n + 1) * (m + 1), 0);  // of removed[i..] and added[j..]
  for (size_t i = n; i-- > 0;) {
    for (size_t j = m; j-- > 0;) {
      common[i * (m + 1) + j] = removed[i] == added[j]
                                    ? common[(i + 1) * (m + 1) + j + 1] + 1
                                    : std::max(common[(i + 1) * (m + 1) + j], common[i * (m + 1) + j + 1]);
    }
  }
  size_t i = 0;
  size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && removed[i] == added[j] && common[i * (m + 1) + j] > 0) {
      lines.push_back({' ', added[j++]});
      ++i;
    } else if (i < n && (j == m || common[(i + 1) * (m + 1) + j] >= common[i * (m + 1) + j + 1])) {
      lines.push_back({'-', removed[i++]});
    } else {
      lines.push_back({'+', added[j++]});
    }
  }
}

}  // namespace

std::vector<DiffLine> DiffLines(std::string_view before, const Content& after) {
  const std::string now = after.Bytes();
  const std::vector<TextLine> old_lines = LinesOf(before);
  const std::vector<TextLine> new_lines = LinesOf(now);
  const std::vector<size_t> origins = OriginsOf(new_lines, before, after);
  std::vector<size_t> kept;  // in order, as the edits keep lines in order
  for (size_t origin : origins) {
    if (origin != kAdded) kept.push_back(origin);
  }

  std::vector<DiffLine> lines;
  std::vector<std::string> removed;
  std::vector<std::string> added;
  size_t i = 0;
  size_t j = 0;
  while (i < old_lines.size() || j < new_lines.size()) {
    const bool old_kept = i < old_lines.size() && std::binary_search(kept.begin(), kept.end(), old_lines[i].offset);
    if (i < old_lines.size() && !old_kept) {
      removed.emplace_back(old_lines[i++].text);
    } else if (j < new_lines.size() && origins[j] == kAdded) {
      added.emplace_back(new_lines[j++].text);
    } else if (i < old_lines.size() && j < new_lines.size() && origins[j] == old_lines[i].offset) {
      AppendChange(removed, added, lines);
      removed.clear();
      added.clear();
      lines.push_back({' ', std::string(new_lines[j++].text)});
      ++i;
    } else if (i < old_lines.size()) {  // kept lines out of order: never made, shown plainly
      removed.emplace_back(old_lines[i++].text);
    } else {
      added.emplace_back(new_lines[j++].text);
    }
  }
  AppendChange(removed, added, lines);
  return lines;
}

}  // namespace pelorin::tool
