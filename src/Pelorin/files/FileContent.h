// Reading a file whole and replacing it whole. A file is never written in
// place: the new bytes go to a temporary file beside it, which then takes the
// target's place in one step, so that a full disk, a crash or a kill leaves
// either the old file or the new one, never a file cut off in the middle.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "base/UniqueHandle.h"
#include "files/Content.h"
#include "files/FailureLines.h"

namespace pelorin {

// Present: the attributes can be read and the path is not a directory.
bool IsPresent(const std::wstring& path);

// The whole file as bytes, read as Firefox reads it, through any link; a
// missing, unreadable or directory path reads as an empty string. Only for
// files the library reads and never replaces: a file it may replace is read
// by ReadFileRefusingLinks.
std::string ReadFileContentW(const std::wstring& path);

// The whole file as bytes, read as Firefox reads it, or nullopt when it is
// missing, a directory or cannot be read: for a reader that must tell an
// empty file from none.
std::optional<std::string> TryReadFileFollowingLinks(const std::wstring& path);

// A file the library may replace, read whole, or why not: a present file
// that cannot be read, or not read whole, is told from a missing one, and
// its bytes stay empty. A file that is a second name of another (a reparse
// point, or one of several hard links) is refused: its bytes may be anyone's,
// and a copy written in Firefox's folder would hand them to every user.
struct FileRead {
  enum Outcome { kMissing, kUnreadable, kRefused, kRead };
  Outcome outcome = kMissing;
  std::string bytes;
  DWORD error = 0;  // the system's code when not read
  // kRefused: the step its write failure line names. kUnreadable: "ReadFile"
  // when the read call itself failed, which the exports report in a line.
  const char* step = nullptr;
  DWORD attributes = 0;          // when opened
  bool folder_in_place = false;  // kMissing: a folder has the file's name
};
FileRead ReadFileRefusingLinks(const std::wstring& path);

// A folder the library is about to write below. A folder that is a reparse
// point (a junction, a mount point, a symbolic link) would take the writes
// elsewhere, so nothing is written below it; `step` then names why.
struct FolderCheck {
  const char* step = nullptr;  // null: writes may go below it
  unsigned long error = 0;
  // Open without delete sharing, so that on Windows the folder cannot be
  // renamed away and a link put in its place until the writes are done.
  unique_file held;
};
FolderCheck CheckFolder(const std::wstring& path);

// Replaces the file's content with `content`, creating the file when it is
// missing; nullopt when written. On failure the target keeps its old bytes
// (or stays missing), no temporary file of its making remains, and the
// answer names the step that failed. A sharing violation or access denied
// in creating the temporary file or swapping it in is tried again for about
// half a second in all. `before` is the target as the operation read it:
// whether it is there and what marks it has are not looked up again.
std::optional<FailedStep> SetFileContentW(const std::wstring& path, const Content& content, const FileRead& before);

// Whether a file name is that of a temporary file SetFileContentW makes,
// in any letter case.
bool IsTemporaryName(const std::wstring& name);

// A folder as the leftover bookkeeping names it: up to and including one
// final separator, either separator as a backslash, compared without regard
// to case. The listing that finds a folder's *.js files and the removal for
// each file in it meet on this key however each spelled the folder.
class FolderKey {
 public:
  static FolderKey OfFolder(const std::wstring& folder);
  // The folder that holds `path`; empty for a name alone.
  static FolderKey OfFile(const std::wstring& path);
  const std::wstring& path() const { return path_; }  // as spelled, with its separator
  bool operator<(const FolderKey& other) const { return key_ < other.key_; }
  bool operator==(const FolderKey& other) const { return key_ == other.key_; }

 private:
  explicit FolderKey(std::wstring path);
  std::wstring path_;
  std::wstring key_;
};

// Removes what a process killed in the middle of SetFileContentW left, for
// one target after another. Each folder is listed once for leftovers: under
// Wine a lookup of a name that is not there reads the whole folder, so a
// lookup per preference file grows with the square of their number.
class LeftoverRemover {
 public:
  // A folder the operation has listed already, with or without a leftover.
  void Know(const FolderKey& folder, bool holds_leftovers);
  void RemoveFor(const std::wstring& path);

 private:
  std::map<FolderKey, bool> holds_leftovers_;
};

}  // namespace pelorin
