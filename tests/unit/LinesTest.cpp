// A file replaced whole: what is printed when it cannot be, and what it keeps.
#include <gtest/gtest.h>

#include "Capture.h"
#include "Files.h"
#include "files/FileContent.h"

using namespace testing_support;

namespace {

// One line as a file's whole content.
pelorin::Content Line(std::string_view text) {
  pelorin::ContentBuilder builder{std::string_view()};
  builder.Add(text);
  return builder.Take();
}

TEST(FileContent, FailureNamesTheTargetAsUtf8AndCreatesNothing) {
  TempDir dir;
  const std::wstring folder = dir / L"D\u00e9j\u00e0 \u706b\U0001F98A";
  StdoutCapture out;
  EXPECT_FALSE(pelorin::SetFileContentW(folder + L"\\prefs.js", Line("x")));
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
  EXPECT_TRUE(pelorin::SetFileContentW(target, Line("new")));
  EXPECT_EQ(ReadBytes(target), "new\n");
  EXPECT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
