#include "lines/Lines.h"

#include <emmintrin.h>

namespace pelorin {

namespace {

// The position of the lowest set bit of a nonzero mask, written out because
// the compilers' bit-scan builtins differ.
unsigned LowestSetBit(unsigned mask) {
  unsigned position = 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++position;
  }
  return position;
}

// Calls `found` with the offset of each "\n" in `text`, in order. An
// autoconfig file can hold hundreds of thousands of lines, so sixteen bytes
// are compared at once (SSE2, which every x86-64 processor has).
template <typename Found>
void ForEachNewline(std::string_view text, Found found) {
  const __m128i newline = _mm_set1_epi8('\n');
  size_t offset = 0;
  for (; offset + 16 <= text.size(); offset += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + offset));
    for (unsigned mask = _mm_movemask_epi8(_mm_cmpeq_epi8(block, newline)); mask != 0; mask &= mask - 1) {
      found(offset + LowestSetBit(mask));
    }
  }
  for (; offset < text.size(); ++offset) {
    if (text[offset] == '\n') found(offset);
  }
}

}  // namespace

LineList SplitLines(std::string_view text) {
  LineList lines;
  if (text.empty()) return lines;
  // One pass to size the array, so that a large file is not copied as the
  // array grows.
  size_t count = 1;
  ForEachNewline(text, [&count](size_t) { ++count; });
  lines.reserve(count);
  size_t start = 0;
  ForEachNewline(text, [&](size_t newline) {
    lines.push_back(text.substr(start, newline - start));
    start = newline + 1;
  });
  lines.push_back(text.substr(start));
  return lines;
}

std::string JoinLines(const LineList& lines) {
  size_t total = 0;
  for (Line line : lines) total += line.size() + 1;
  // Sized once and filled by plain copies: appending checks the capacity
  // twice a line.
  std::string text(total, '\0');
  char* out = &text[0];
  for (Line line : lines) {
    out = std::copy(line.begin(), line.end(), out);
    *out++ = '\n';
  }
  return text;
}

void DropTrailingEmptyLines(LineList& lines) {
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
}

}  // namespace pelorin
