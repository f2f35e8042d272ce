// A file's new bytes as pieces: runs of the bytes it was read from, left
// where they are, and the lines the library adds. Writing the pieces one
// after another gives the new file, so an edit of a large file copies
// nothing and keeps no list of its lines.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "files/Lines.h"

namespace pelorin {

class Content {
 public:
  Content() = default;
  Content(Content&&) = default;
  Content& operator=(Content&&) = default;
  // The pieces point into the owned lines: a copy would point into another's.
  Content(const Content&) = delete;
  Content& operator=(const Content&) = delete;

  const std::vector<std::string_view>& pieces() const { return pieces_; }
  size_t size() const { return size_; }

  bool Equals(std::string_view bytes) const;
  // The bytes in one string: for a dry run's report and for tests.
  std::string Bytes() const;

 private:
  friend class ContentBuilder;

  std::vector<std::string_view> pieces_;
  // Lines made at run time (a filename line naming the host's file). A
  // deque keeps each in place as more are added, and a move keeps them too.
  std::deque<std::string> owned_;
  size_t size_ = 0;
};

// Builds a file's new bytes from lines of `source` (the bytes read) and
// added lines, each line followed by "\n".
class ContentBuilder {
 public:
  explicit ContentBuilder(std::string_view source) : source_(source) {}

  // A line of the source, with the "\n" that follows it there (or a new one
  // when it is the source's unended last line).
  void Keep(Line line);
  // A line of static storage, such as a line constant.
  void Add(std::string_view line);
  void AddOwned(std::string line);

  Content Take() { return std::move(content_); }

 private:
  // Grows the last piece when `bytes` follow it directly in memory.
  void Append(std::string_view bytes);

  std::string_view source_;
  Content content_;
};

}  // namespace pelorin
