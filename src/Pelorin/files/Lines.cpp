#include "files/Lines.h"

#include <cstring>

namespace pelorin {

LineList SplitLines(std::string_view text) {
  LineList lines;
  // One pass to size the array, so that a large file is not copied as the
  // array grows.
  size_t count = 1;
  ForEachNewline(text, [&count](size_t) { ++count; });
  lines.reserve(text.empty() ? 0 : count);
  ForEachLine(text, [&lines](Line line) { lines.push_back(line); });
  return lines;
}

// Sixteen candidate positions at once: those whose first and last bytes
// match the needle's; only they are compared whole.
std::vector<size_t> FindAll(std::string_view text, std::string_view needle) {
  std::vector<size_t> found;
  const size_t length = needle.size();
  if (length < 2 || text.size() < length) return found;
  const __m128i first = _mm_set1_epi8(needle.front());
  const __m128i last = _mm_set1_epi8(needle.back());
  const size_t end = text.size() - length + 1;  // one past the last start
  size_t offset = 0;
  for (; offset + 16 <= end; offset += 16) {
    const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + offset));
    const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + offset + length - 1));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, last))));
    for (; mask != 0; mask &= mask - 1) {
      const size_t at = offset + detail::LowestSetBit(mask);
      if (std::memcmp(text.data() + at + 1, needle.data() + 1, length - 2) == 0) found.push_back(at);
    }
  }
  for (; offset < end; ++offset) {
    if (text.compare(offset, length, needle) == 0) found.push_back(offset);
  }
  return found;
}

MarkedLines::MarkedLines(std::string_view text, std::string_view marker) : text_(text), found_(FindAll(text, marker)) {}

bool MarkedLines::Holds(Line line) {
  const size_t begin = static_cast<size_t>(line.data() - text_.data());
  while (next_ < found_.size() && found_[next_] < begin) ++next_;
  return next_ < found_.size() && found_[next_] < begin + line.size();
}

}  // namespace pelorin
