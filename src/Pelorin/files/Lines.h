// Lines of Firefox's text files: raw UTF-8 bytes, never decoded, cut on "\n".
// A line is a view into the bytes of the file it came from, so going through
// a file of a million lines allocates nothing per line.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <string_view>
#include <vector>

namespace pelorin {

// One line of a file without its "\n"; a "\r" before the "\n" stays.
using Line = std::string_view;
// In file order. The views must not outlive the bytes they were cut from.
using LineList = std::vector<Line>;

namespace detail {

// The position of the lowest set bit of a nonzero mask, written out because
// the compilers' bit-scan builtins differ.
inline unsigned LowestSetBit(unsigned mask) {
  unsigned position = 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++position;
  }
  return position;
}

}  // namespace detail

// Calls `found` with the offset of each "\n" in `text`, in order. An
// autoconfig file can hold hundreds of thousands of lines, so sixteen bytes
// are compared at once (SSE2, which every x86-64 processor has).
template <typename Found>
void ForEachNewline(std::string_view text, Found&& found) {
  const __m128i newline = _mm_set1_epi8('\n');
  size_t offset = 0;
  for (; offset + 16 <= text.size(); offset += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + offset));
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, newline))); mask != 0;
         mask &= mask - 1) {
      found(offset + detail::LowestSetBit(mask));
    }
  }
  for (; offset < text.size(); ++offset) {
    if (text[offset] == '\n') found(offset);
  }
}

// Calls `visit(line)` for each piece of `text` cut on "\n": the piece after
// the last "\n" is one even when empty, and an empty text has none.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  if (text.empty()) return;
  size_t start = 0;
  ForEachNewline(text, [&](size_t newline) {
    visit(text.substr(start, newline - start));
    start = newline + 1;
  });
  visit(text.substr(start));
}

// The same pieces as a list, for a reader that goes back and forth.
LineList SplitLines(std::string_view text);

// Every offset at which `needle` (two bytes or more, no "\n") starts in
// `text`, in order.
std::vector<size_t> FindAll(std::string_view text, std::string_view needle);

// Which lines of a text hold a marker, found in one pass over the whole text
// and then asked line by line in file order: a file of a hundred thousand
// lines with four of the library's is searched once, not line by line.
class MarkedLines {
 public:
  MarkedLines(std::string_view text, std::string_view marker);

  // `line` is a view into the text, asked after every line before it.
  bool Holds(Line line);

 private:
  std::string_view text_;
  std::vector<size_t> found_;
  size_t next_ = 0;
};

}  // namespace pelorin
