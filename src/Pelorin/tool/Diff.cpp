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
  size_t i = 0;
  size_t j = 0;
  auto remove = [&] { lines.push_back({'-', std::string(old_lines[i++].text)}); };
  auto add = [&] { lines.push_back({'+', std::string(new_lines[j++].text)}); };
  while (i < old_lines.size() || j < new_lines.size()) {
    if (i < old_lines.size() && !std::binary_search(kept.begin(), kept.end(), old_lines[i].offset)) {
      remove();
    } else if (j < new_lines.size() && origins[j] == kAdded) {
      add();
    } else if (i < old_lines.size() && j < new_lines.size() && origins[j] == old_lines[i].offset) {
      lines.push_back({' ', std::string(new_lines[j++].text)});
      ++i;
    } else if (i < old_lines.size()) {  // kept lines out of order: never made, shown plainly
      remove();
    } else {
      add();
    }
  }
  return lines;
}

}  // namespace pelorin::tool
