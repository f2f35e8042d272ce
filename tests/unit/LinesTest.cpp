#include <gtest/gtest.h>

#include "Capture.h"
#include "Files.h"
#include "lines/Lines.h"

using namespace testing_support;
using pelorin::LineList;

namespace {

TEST(SplitString, CutsOnEveryDelimiter) {
  LineList lines;
  pelorin::SplitString("a\nb\n", "\n", lines);
  EXPECT_EQ(lines, (LineList{"a", "b", ""}));
}

}  // namespace
