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

// A relative target is replaced like an absolute one, and the temporary
// file's name is not one Firefox reads as a preference file.
TEST(FileContent, ReplacesARelativeTargetThroughATemporaryFileFirefoxSkips) {
  TempDir dir;
  WriteBytes(dir / L"prefs.js", "old\n");
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(dir.path().c_str());
  const bool replaced = pelorin::SetFileContentW(L"prefs.js", "new\n");
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(replaced);
  EXPECT_EQ(ReadBytes(dir / L"prefs.js"), "new\n");
  const std::wstring temporary = pelorin::TemporaryPathFor(L"prefs.js");
  EXPECT_NE(temporary.substr(temporary.size() - 3), L".js");
}

// A write killed between its temporary file and the swap leaves the
// temporary file behind; the next commit removes it beside every file it
// read and left unchanged, in any folder, and leaves other files' alone.
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
