// Line files: what reaches the disk byte for byte, and what is printed when
// a file cannot be written.
#include <gtest/gtest.h>

#include "Capture.h"
#include "Files.h"
#include "lines/Lines.h"

using namespace testing_support;
using pelorin::LineList;

namespace {

TEST(SplitString, AppendsEveryPieceBetweenDelimiters) {
  const struct {
    const char *text, *delimiter;
    LineList lines;  // after the piece already there
  } cases[] = {{"", "\n", {"kept"}},
               {"a\nb\n", "\n", {"kept", "a", "b", ""}},
               {"\n", "\n", {"kept", "", ""}},
               {"a\r\nb", "\n", {"kept", "a\r", "b"}},
               {"a\n\nb", "\n", {"kept", "a", "", "b"}},
               {"a\nb", "", {"kept", "a\nb"}}};
  for (const auto& c : cases) {
    LineList lines{"kept"};
    pelorin::SplitString(c.text, c.delimiter, lines);
    EXPECT_EQ(lines, c.lines) << c.text;
  }
}

// Writing back drops empty lines and ends every line in LF; a CR before the
// LF belongs to the line and survives.
TEST(WriteLines, ReadSplitWriteBack) {
  const struct {
    const char *before, *after;
    int count;
  } cases[] = {{"a\r\nb\r\n", "a\r\nb\r\n", 2},
               {"a\n\nb", "a\nb\n", 2},
               {"x", "x\n", 1},
               {"\xC3\xA9t\xC3\xA9\n", "\xC3\xA9t\xC3\xA9\n", 1},
               {"\n\n", "\n\n", 0}};
  TempDir dir;
  const std::wstring path = dir / L"prefs.js";
  for (const auto& c : cases) {
    WriteBytes(path, c.before);
    EXPECT_EQ(pelorin::WriteLines(pelorin::ReadLines(path), path), c.count) << c.before;
    EXPECT_EQ(ReadBytes(path), c.after);
  }
}

TEST(FileContent, FailuresPrintThePathAsUtf8AndCreateNothing) {
  TempDir dir;
  const std::wstring missing = dir / L"none.cfg";
  StdoutCapture append_out;
  EXPECT_FALSE(pelorin::AppendFileContentW(missing, "x"));
  EXPECT_EQ(append_out.Text(), "AppendFileContentW: CreateFile " + Narrow(missing) + " failed with error 2\n");
  EXPECT_FALSE(FileExists(missing));

  StdoutCapture set_out;
  EXPECT_FALSE(pelorin::SetFileContentW(dir / L"D\u00e9j\u00e0 \u706b\u72d0\\prefs.js", "x"));
  EXPECT_EQ(set_out.Text(), "SetFileContentW: CreateFile " + Narrow(dir.path()) +
                                "\\D\xC3\xA9j\xC3\xA0 \xE7\x81\xAB\xE7\x8B\x90\\prefs.js failed with error 3\n");

  // One write for the whole file, so one message; blank lines are not counted.
  StdoutCapture lines_out;
  EXPECT_EQ(pelorin::WriteLines(LineList{"a", "", "b"}, dir / L"missing\\prefs.js"), 2);
  EXPECT_EQ(lines_out.Text(),
            "SetFileContentW: CreateFile " + Narrow(dir.path()) + "\\missing\\prefs.js failed with error 3\n");
}

TEST(FileContent, SetTruncatesAndAppendExtendsReadOfDirectoryIsEmpty) {
  TempDir dir;
  const std::wstring path = dir / L"a.cfg";
  WriteBytes(path, "old content");
  EXPECT_TRUE(pelorin::SetFileContentW(path, "one\n"));
  EXPECT_TRUE(pelorin::AppendFileContentW(path, "two\n"));
  EXPECT_EQ(ReadBytes(path), "one\ntwo\n");

  StdoutCapture out;
  EXPECT_EQ(pelorin::ReadFileContentW(dir.path()), "");
  EXPECT_EQ(pelorin::ReadFileContentW(dir / L"missing.js"), "");
  EXPECT_EQ(out.Text(), "");
  EXPECT_FALSE(pelorin::IsPresent(dir.path()));
}

TEST(TextConversion, RoundTripsOutsideTheBasicPlaneAndLowersAsciiOnly) {
  const std::wstring wide = L"caf\u00e9 \u706b \U0001F98A";
  const std::string utf8 = "caf\xC3\xA9 \xE7\x81\xAB \xF0\x9F\xA6\x8A";
  EXPECT_EQ(pelorin::WideToUtf8(wide), utf8);
  EXPECT_EQ(pelorin::Utf8ToWide(utf8), wide);
  EXPECT_EQ(pelorin::WideToUtf8(L""), "");
  EXPECT_EQ(pelorin::Utf8ToWide(""), L"");
  EXPECT_EQ(pelorin::AsciiLower(L"FIREFOX.EXE \u00c9\u0130z"), L"firefox.exe \u00c9\u0130z");
}

}  // namespace
