// Line files: what reaches the disk byte for byte, and what is printed when
// a file cannot be written.
#include <gtest/gtest.h>

#include "Capture.h"
#include "Files.h"
#include "lines/Lines.h"

using namespace testing_support;
using pelorin::LineList;

namespace {

struct SplitCase {
  const char* text;
  LineList lines;
};

class SplitStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, CutsOnEveryLineFeedAndKeepsTheLastPiece) {
  LineList lines{"kept"};
  pelorin::SplitString(GetParam().text, "\n", lines);
  LineList expected{"kept"};
  expected.insert(expected.end(), GetParam().lines.begin(), GetParam().lines.end());
  EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, SplitStringTest,
                         ::testing::Values(SplitCase{"", {}}, SplitCase{"a\nb", {"a", "b"}},
                                           SplitCase{"a\nb\n", {"a", "b", ""}}, SplitCase{"\n", {"", ""}},
                                           SplitCase{"a\r\nb\r\n", {"a\r", "b\r", ""}},
                                           SplitCase{"a\n\nb", {"a", "", "b"}}));

TEST(SplitString, EmptyDelimiterAppendsTheTextWhole) {
  LineList lines;
  pelorin::SplitString("a\nb", "", lines);
  EXPECT_EQ(lines, LineList{"a\nb"});
}

struct RoundTrip {
  const char* name;
  std::string before;
  std::string after;
  int count;
};

class WriteLinesTest : public ::testing::TestWithParam<RoundTrip> {};

// Reading, splitting and writing back drops empty lines and ends every line
// in LF; a CR before the LF belongs to the line and survives.
TEST_P(WriteLinesTest, ReadSplitWriteBack) {
  TempDir dir;
  std::wstring path = dir / L"prefs.js";
  WriteBytes(path, GetParam().before);
  int count = pelorin::WriteLines(pelorin::ReadLines(path), path);
  EXPECT_EQ(count, GetParam().count);
  EXPECT_EQ(ReadBytes(path), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WriteLinesTest,
    ::testing::Values(RoundTrip{"CrLf", "a\r\nb\r\n", "a\r\nb\r\n", 2}, RoundTrip{"InnerBlank", "a\n\nb", "a\nb\n", 2},
                      RoundTrip{"NoFinalLf", "x", "x\n", 1}, RoundTrip{"Utf8", "\xC3\xA9t\xC3\xA9\n", "\xC3\xA9t\xC3\xA9\n", 1},
                      RoundTrip{"OnlyBlanksLeaveFile", "\n\n", "\n\n", 0}),
    [](const ::testing::TestParamInfo<RoundTrip>& info) { return info.param.name; });

TEST(WriteLines, CountsLinesEvenWhenTheWriteFails) {
  TempDir dir;
  std::wstring missing_folder = dir / L"missing\\prefs.js";
  StdoutCapture out;
  EXPECT_EQ(pelorin::WriteLines(LineList{"a", "", "b"}, missing_folder), 2);
  std::string printed = out.Text();
  // One write for the whole file, so one message.
  EXPECT_EQ(printed.find("SetFileContentW: CreateFile "), 0u) << printed;
  EXPECT_EQ(printed.find("SetFileContentW", 1), std::string::npos) << printed;
  EXPECT_FALSE(FileExists(missing_folder));
}

TEST(FileContent, SetTruncatesAndAppendExtends) {
  TempDir dir;
  std::wstring path = dir / L"a.cfg";
  WriteBytes(path, "old content");
  EXPECT_TRUE(pelorin::SetFileContentW(path, "", 0));
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_TRUE(pelorin::AppendFileContentW(path, "one\n"));
  EXPECT_TRUE(pelorin::AppendFileContentW(path, "two\n"));
  EXPECT_EQ(ReadBytes(path), "one\ntwo\n");
}

TEST(FileContent, AppendToMissingFilePrintsAndCreatesNothing) {
  TempDir dir;
  std::wstring path = dir / L"none.cfg";
  StdoutCapture out;
  EXPECT_FALSE(pelorin::AppendFileContentW(path, "x"));
  EXPECT_EQ(out.Text(), "AppendFileContentW: CreateFile " + Narrow(path) + " failed with error 2\n");
  EXPECT_FALSE(FileExists(path));
}

TEST(FileContent, FailureMessageCarriesNonAsciiPathAsUtf8) {
  TempDir dir;
  std::wstring path = dir.path() + L"\\D\u00e9j\u00e0 \u706b\u72d0\\prefs.js";  // folder does not exist
  StdoutCapture out;
  EXPECT_FALSE(pelorin::SetFileContentW(path, "x"));
  std::string expected_path = Narrow(dir.path()) + "\\D\xC3\xA9j\xC3\xA0 \xE7\x81\xAB\xE7\x8B\x90\\prefs.js";
  EXPECT_EQ(out.Text(), "SetFileContentW: CreateFile " + expected_path + " failed with error 3\n");
}

TEST(FileContent, DirectoryOrMissingPathReadsEmptyAndPrintsNothing) {
  TempDir dir;
  StdoutCapture out;
  EXPECT_EQ(pelorin::ReadFileContentW(dir.path()), "");
  EXPECT_EQ(pelorin::ReadFileContentW(dir / L"missing.js"), "");
  EXPECT_EQ(out.Text(), "");
  EXPECT_FALSE(pelorin::IsPresent(dir.path()));
}

TEST(TextConversion, RoundTripsOutsideTheBasicPlane) {
  std::wstring wide = L"caf\u00e9 \u706b \U0001F98A";
  std::string utf8 = "caf\xC3\xA9 \xE7\x81\xAB \xF0\x9F\xA6\x8A";
  EXPECT_EQ(pelorin::WideToUtf8(wide), utf8);
  EXPECT_EQ(pelorin::Utf8ToWide(utf8), wide);
  EXPECT_EQ(pelorin::WideToUtf8(L""), "");
  EXPECT_EQ(pelorin::Utf8ToWide(""), L"");
}

TEST(TextConversion, AsciiLowerLeavesOtherLettersAlone) {
  EXPECT_EQ(pelorin::AsciiLower(L"FIREFOX.EXE \u00c9\u0130z"), L"firefox.exe \u00c9\u0130z");
}

}  // namespace
