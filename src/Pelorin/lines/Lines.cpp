#include "lines/Lines.h"

namespace pelorin {

void SplitString(std::string_view text, std::string_view delimiter, LineList& lines) {
  if (text.empty()) return;
  if (delimiter.empty()) {
    lines.push_back(text);
    return;
  }
  size_t start = 0;
  for (size_t found = text.find(delimiter); found != std::string_view::npos; found = text.find(delimiter, start)) {
    lines.push_back(text.substr(start, found - start));
    start = found + delimiter.size();
  }
  lines.push_back(text.substr(start));
}

LineList SplitLines(std::string_view text) {
  LineList lines;
  // One pass to size the array, so that a large file is not copied as the
  // array grows.
  lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  SplitString(text, "\n", lines);
  return lines;
}

std::string JoinLines(const LineList& lines) {
  size_t total = 0;
  for (Line line : lines) total += line.size() + 1;
  std::string text;
  text.reserve(total);
  for (Line line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

void DropTrailingEmptyLines(LineList& lines) {
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
}

}  // namespace pelorin
