#include "files/Content.h"

namespace pelorin {

namespace {

constexpr std::string_view kNewline = "\n";

// Whether the line is followed by a "\n" in `text`, the bytes it was cut from.
bool EndsInNewline(std::string_view text, Line line) {
  const char* end = line.data() + line.size();
  return end < text.data() + text.size() && *end == '\n';
}

}  // namespace

bool Content::Equals(std::string_view bytes) const {
  if (bytes.size() != size_) return false;
  size_t offset = 0;
  for (std::string_view piece : pieces_) {
    if (bytes.compare(offset, piece.size(), piece) != 0) return false;
    offset += piece.size();
  }
  return true;
}

std::string Content::Bytes() const {
  std::string bytes;
  bytes.reserve(size_);
  for (std::string_view piece : pieces_) bytes += piece;
  return bytes;
}

void ContentBuilder::Keep(Line line) {
  if (EndsInNewline(source_, line)) {
    Append(std::string_view(line.data(), line.size() + 1));
  } else {
    Append(line);
    Append(kNewline);
  }
}

void ContentBuilder::Add(std::string_view line) {
  Append(line);
  Append(kNewline);
}

void ContentBuilder::AddOwned(std::string line) {
  content_.owned_.push_back(std::move(line));
  Add(content_.owned_.back());
}

void ContentBuilder::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  std::vector<std::string_view>& pieces = content_.pieces_;
  content_.size_ += bytes.size();
  if (!pieces.empty() && pieces.back().data() + pieces.back().size() == bytes.data()) {
    pieces.back() = std::string_view(pieces.back().data(), pieces.back().size() + bytes.size());
  } else {
    pieces.push_back(bytes);
  }
}

}  // namespace pelorin
