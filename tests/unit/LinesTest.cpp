// Line files: the bytes on disk after a rewrite, and what is printed when a
// file cannot be written.
#include <gtest/gtest.h>

#include "Capture.h"
#include "Files.h"
#include "lines/FileContent.h"
#include "lines/FileEdits.h"

using namespace testing_support;

namespace {

// Writing back drops empty lines and ends every line in LF; a CR before the
// LF belongs to the line and survives. Nothing to write leaves the file alone.
TEST(WriteLines, ReadSplitWriteBack) {
  const struct {
    const char* before;
    const char* after;
    int count;
  } cases[] = {
      {"a\r\nb\r\n", "a\r\nb\r\n", 2},
      {"a\n\nb", "a\nb\n", 2},
      {"\xC3\xA9t\xC3\xA9\r\n\r\n", "\xC3\xA9t\xC3\xA9\r\n\r\n", 2},
      {"\n\n", "\n\n", 0},
  };
  TempDir dir;
  for (const auto& c : cases) {
    WriteBytes(dir / L"prefs.js", c.before);
    pelorin::FileEdits files;
    EXPECT_EQ(pelorin::WriteLines(files, dir / L"prefs.js", files.Lines(dir / L"prefs.js")), c.count) << c.before;
    files.Commit();
    EXPECT_EQ(ReadBytes(dir / L"prefs.js"), c.after);
  }
}

TEST(FileContent, FailureNamesTheTargetAsUtf8AndCreatesNothing) {
  TempDir dir;
  const std::wstring folder = dir / L"D\u00e9j\u00e0 \u706b\U0001F98A";
  StdoutCapture out;
  EXPECT_FALSE(pelorin::SetFileContentW(folder + L"\\prefs.js", "x"));
  EXPECT_EQ(out.Text(), "SetFileContentW: CreateFile " + Narrow(dir.path()) +
                            "\\D\xC3\xA9j\xC3\xA0 \xE7\x81\xAB\xF0\x9F\xA6\x8A\\prefs.js failed with error 3\n");
}

// The new file takes the old one's place by a rename, which would leave an
// administrator's marks behind; they are carried over.
TEST(FileContent, ReplacedFileKeepsItsHiddenMark) {
  TempDir dir;
  const std::wstring target = dir / L"cv_mozilla_V2N.cfg";
  WriteBytes(target, "old\n");
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(pelorin::SetFileContentW(target, "new\n"));
  EXPECT_EQ(ReadBytes(target), "new\n");
  EXPECT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileEdits, CommitRemovesTheLeftoversOfTheFilesItRead) {
  TempDir dir;
  MakeDirectory(dir / L"pref");
  const std::wstring cfg = dir / L"a.cfg", first = dir / L"pref\\a.js", second = dir / L"pref\\b.js";
  for (const std::wstring& path : {cfg, first, second}) WriteBytes(path, "x\n");
  const std::wstring unread = dir / L"pref\\c.js";
  for (const std::wstring& path : {cfg, second, unread}) WriteBytes(pelorin::TemporaryPathFor(path), "half");

  pelorin::FileEdits files;
  for (const std::wstring& path : {cfg, first, second}) files.Content(path);
  files.Commit();

  EXPECT_FALSE(FileExists(pelorin::TemporaryPathFor(cfg)));
  EXPECT_FALSE(FileExists(pelorin::TemporaryPathFor(second)));
  EXPECT_TRUE(FileExists(pelorin::TemporaryPathFor(unread)));
}

}  // namespace
