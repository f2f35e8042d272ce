#include "lines/FileContent.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/UniqueHandle.h"
#include "lines/FileCalls.h"
#include "lines/Lines.h"

namespace pelorin {

namespace {

// Marks the file as the library's and names its target; Firefox skips it
// because it does not end in ".js".
constexpr wchar_t kTemporarySuffix[] = L".pelorin-tmp";

// The host reads these messages from its standard output; flushing keeps
// them in order with its own output and survives an abrupt exit.
bool PrintFailure(const char* step, const std::wstring& path, DWORD error) {
  std::printf("SetFileContentW: %s %s failed with error %ld\n", step, WideToUtf8(path).c_str(),
              static_cast<long>(error));
  std::fflush(stdout);
  return false;
}

// A write that stops short without an error is the volume running out of
// space; it counts as a failed write.
DWORD WriteWhole(HANDLE file, std::string_view bytes) {
  if (bytes.size() > MAXDWORD) return ERROR_FILE_TOO_LARGE;
  DWORD written = 0;
  if (!ActiveFileCalls().write_file(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return GetLastError();
  }
  return written == bytes.size() ? NO_ERROR : ERROR_DISK_FULL;
}

// The complete bytes in the temporary file, on disk before it takes the
// target's place: a crash after the swap must not leave an empty file.
bool WriteTemporary(const std::wstring& temporary, const std::wstring& target, std::string_view bytes) {
  unique_file file(ActiveFileCalls().create_file(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return PrintFailure("CreateFile", target, GetLastError());
  const DWORD error = WriteWhole(file.get(), bytes);
  if (error != NO_ERROR) return PrintFailure("WriteFile", target, error);
  if (!ActiveFileCalls().flush_file_buffers(file.get()))
    return PrintFailure("FlushFileBuffers", target, GetLastError());
  return true;
}

// What ReplaceFileW would keep of the replaced file: its permissions and its
// hidden, system and archive marks. A rename alone would give the new file
// the folder's inherited permissions, undoing an administrator's own. Best
// effort: a Firefox file left stale would be worse than one that keeps the
// folder's permissions.
void CarryProtectionOver(const std::wstring& target, const std::wstring& temporary) {
  constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeptAttributes) != 0) {
    SetFileAttributesW(temporary.c_str(), attributes & kKeptAttributes);
  }
  DWORD needed = 0;
  GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return;
  std::vector<BYTE> descriptor(needed);
  if (GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) {
    SetFileSecurityW(temporary.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
  }
}

// One rename puts the new file in the target's place, so that a kill at any
// moment leaves one whole file under the target's name. Wine's ReplaceFileW
// moves the target aside first: a kill between its two moves left no target,
// and the next start created it afresh without the foreign lines. Without a
// replace flag, MoveFileExW fails rather than overwrite a file that appeared
// meanwhile.
bool SwapIn(const std::wstring& temporary, const std::wstring& target) {
  DWORD flags = MOVEFILE_WRITE_THROUGH;
  if (IsPresent(target)) {
    CarryProtectionOver(target, temporary);
    flags |= MOVEFILE_REPLACE_EXISTING;
  }
  if (ActiveFileCalls().move_file(temporary.c_str(), target.c_str(), flags)) return true;
  return PrintFailure("MoveFileEx", target, GetLastError());
}

// Up to and including the last separator; empty for a name alone.
std::wstring FolderOf(const std::wstring& path) {
  const size_t last = path.find_last_of(L"\\/:");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

// A folder that cannot be listed counts as holding some, so that nothing is
// left behind for want of a listing.
bool HoldsLeftovers(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  unique_find search(FindFirstFileW((folder + L"*" + kTemporarySuffix).c_str(), &entry));
  return search || GetLastError() != ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool IsPresent(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {

enum class ReadOutcome { kMissing, kUnreadable, kRead };

ReadOutcome ReadInto(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  // Opening first spares a lookup of the path for every file that opens,
  // and a missing file says so; a directory does not open either, nor does
  // a file another program holds, so other failures are told apart by the
  // attributes.
  unique_file file(ActiveFileCalls().create_file(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    const bool present = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && IsPresent(path);
    return present ? ReadOutcome::kUnreadable : ReadOutcome::kMissing;
  }

  // A preference file of 4 GiB or more is not Firefox's and cannot be held
  // in one read; it reads as unreadable rather than as a truncated copy.
  // GetFileSize reports failure only through GetLastError, because its
  // failure value is also a valid low half of a size.
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD size = GetFileSize(file.get(), &high);
  if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0) return ReadOutcome::kUnreadable;

  bytes.resize(size);
  DWORD read = 0;
  if (!ActiveFileCalls().read_file(file.get(), &bytes[0], size, &read, nullptr)) {
    std::printf("ReadFile failed, %ld\n", static_cast<long>(GetLastError()));
    std::fflush(stdout);
    bytes.clear();
    return ReadOutcome::kUnreadable;
  }
  bytes.resize(read);
  return ReadOutcome::kRead;
}

}  // namespace

std::string ReadFileContentW(const std::wstring& path) {
  std::string bytes;
  ReadInto(path, bytes);
  return bytes;
}

std::optional<std::string> TryReadFileContentW(const std::wstring& path) {
  std::string bytes;
  if (ReadInto(path, bytes) != ReadOutcome::kRead) return std::nullopt;
  return bytes;
}

bool ReadFileIfPresent(const std::wstring& path, std::string& bytes) {
  return ReadInto(path, bytes) != ReadOutcome::kMissing;
}

std::wstring TemporaryPathFor(const std::wstring& path) { return path + kTemporarySuffix; }

void LeftoverRemover::RemoveFor(const std::wstring& path) {
  const std::wstring folder = FolderOf(path);
  const auto [found, inserted] = holds_leftovers_.emplace(folder, false);
  if (inserted) found->second = HoldsLeftovers(folder);
  if (found->second) DeleteFileW(TemporaryPathFor(path).c_str());
}

bool SetFileContentW(const std::wstring& path, std::string_view bytes) {
  const std::wstring temporary = TemporaryPathFor(path);
  if (WriteTemporary(temporary, path, bytes) && SwapIn(temporary, path)) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

}  // namespace pelorin
