// Line files: the bytes on disk, and what is printed when one cannot be written.
#include <gtest/gtest.h>
#include "Capture.h"
#include "Files.h"
#include "lines/Lines.h"

using namespace testing_support;
namespace {
// Writing back drops empty lines and ends every line in LF; a CR before the
// LF belongs to the line and survives. Nothing to write leaves the file alone.
TEST(WriteLines, ReadSplitWriteBack) {
  const struct {
    const char *before, *after;
    int count;
  } cases[] = {{"a\r\nb\r\n", "a\r\nb\r\n", 2},
               {"a\n\nb", "a\nb\n", 2},
               {"\xC3\xA9t\xC3\xA9\r\n\r\n", "\xC3\xA9t\xC3\xA9\r\n\r\n", 2},
               {"\n\n", "\n\n", 0}};
  TempDir dir;
  for (const auto& c : cases) {
    WriteBytes(dir / L"prefs.js", c.before);
    EXPECT_EQ(pelorin::WriteLines(pelorin::ReadLines(dir / L"prefs.js"), dir / L"prefs.js"), c.count) << c.before;
    EXPECT_EQ(ReadBytes(dir / L"prefs.js"), c.after);
  }
}

TEST(FileContent, FailuresPrintThePathAsUtf8AndCreateNothing) {
  TempDir dir;
  StdoutCapture append_out;
  EXPECT_FALSE(pelorin::AppendFileContentW(dir / L"none.cfg", "x"));
  EXPECT_EQ(append_out.Text(), "AppendFileContentW: CreateFile " + Narrow(dir.path()) + "\\none.cfg failed with error 2\n");
  EXPECT_FALSE(FileExists(dir / L"none.cfg"));

  StdoutCapture set_out;
  EXPECT_FALSE(pelorin::SetFileContentW(dir / L"D\u00e9j\u00e0 \u706b\U0001F98A\\prefs.js", "x"));
  EXPECT_EQ(set_out.Text(), "SetFileContentW: CreateFile " + Narrow(dir.path()) +
                                "\\D\xC3\xA9j\xC3\xA0 \xE7\x81\xAB\xF0\x9F\xA6\x8A\\prefs.js failed with error 3\n");
}
}  // namespace
