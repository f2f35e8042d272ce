#include "files/FileContent.h"

#include <windows.h>

#include <iterator>
#include <utility>
#include <vector>

#include "base/UniqueHandle.h"
#include "files/TextConversion.h"

namespace pelorin {

namespace {

// Marks the file as the library's and names its target; Firefox skips it
// because it does not end in ".js".
constexpr wchar_t kTemporarySuffix[] = L".pelorin-tmp";

// It never ends in ".js": Firefox reads every such file of defaults\pref.
std::wstring TemporaryPathFor(const std::wstring& path) { return path + kTemporarySuffix; }

// A write that stops short without an error is the volume running out of
// space; it counts as a failed write.
DWORD WriteWhole(HANDLE file, std::string_view bytes) {
  if (bytes.size() > MAXDWORD) return ERROR_FILE_TOO_LARGE;
  DWORD written = 0;
  if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return GetLastError();
  }
  return written == bytes.size() ? NO_ERROR : ERROR_DISK_FULL;
}

// Pieces are gathered into writes of this size, so that a file of many
// small kept runs is not written a line at a time; a larger piece is
// written as it is, straight from the bytes read.
constexpr size_t kWriteChunk = 64 * 1024;

DWORD WritePieces(HANDLE file, const Content& content) {
  std::string chunk;
  auto flush = [&] {
    const DWORD error = chunk.empty() ? NO_ERROR : WriteWhole(file, chunk);
    chunk.clear();
    return error;
  };
  for (std::string_view piece : content.pieces()) {
    if (chunk.size() + piece.size() > kWriteChunk) {
      if (const DWORD error = flush(); error != NO_ERROR) return error;
    }
    if (piece.size() >= kWriteChunk) {
      if (const DWORD error = WriteWhole(file, piece); error != NO_ERROR) return error;
      continue;
    }
    if (chunk.capacity() == 0) chunk.reserve(kWriteChunk);
    chunk += piece;
  }
  return flush();
}

// Antivirus and indexing software open a file that was just written, often
// without delete sharing, for a few to a few hundred milliseconds; a create
// or a rename in that window fails with a sharing violation or access
// denied. Each write tries such a step again within this budget, which stays
// small because the module lock is held meanwhile.
constexpr ULONGLONG kBriefHoldMs = 500;
constexpr DWORD kBriefHoldPauseMs = 50;

class HoldBudget {
 public:
  // Until `attempt` succeeds, fails otherwise than by a hold, or the budget
  // is spent; GetLastError() then tells the last failure.
  template <typename Attempt>
  bool Retry(Attempt attempt) const {
    for (;;) {
      if (attempt()) return true;
      const DWORD error = GetLastError();
      const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
      if (!held || GetTickCount64() - start_ >= kBriefHoldMs) {
        SetLastError(error);
        return false;
      }
      Sleep(kBriefHoldPauseMs);
    }
  }

 private:
  const ULONGLONG start_ = GetTickCount64();
};

// CREATE_NEW never opens a file that is there, so a file or a link planted
// under the temporary name is never written through; the reparse-point flag
// keeps the create from following one either.
unique_file CreateTemporary(const std::wstring& temporary, const HoldBudget& budget) {
  unique_file file;
  budget.Retry([&] {
    file.reset(CreateFileW(temporary.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return static_cast<bool>(file);
  });
  return file;
}

// The complete bytes in the temporary file, on disk before it takes the
// target's place: a crash after the swap must not leave an empty file.
std::optional<FailedStep> WriteTemporary(HANDLE file, const Content& content) {
  const DWORD error = WritePieces(file, content);
  if (error != NO_ERROR) return FailedStep{"WriteFile", error};
  if (!FlushFileBuffers(file)) return FailedStep{"FlushFileBuffers", GetLastError()};
  return std::nullopt;
}

// What ReplaceFileW would keep of the replaced file: its permissions and its
// hidden, system and archive marks. A rename alone would give the new file
// the folder's inherited permissions, undoing an administrator's own.
struct Protection {
  bool target_exists = false;
  DWORD attributes = 0;          // the marks kept
  std::vector<BYTE> descriptor;  // its DACL; empty when it could not be read
};

// Whether it is there and its marks as the operation read it; its DACL from
// one handle of the target, never through a link it may have become.
Protection ReadProtection(const std::wstring& target, const FileRead& before) {
  constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  Protection protection;
  protection.target_exists = before.outcome != FileRead::kMissing;
  protection.attributes = before.attributes & kKeptAttributes;
  if (!protection.target_exists) return protection;
  const unique_file file(CreateFileW(target.c_str(), READ_CONTROL,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // A directory in the way does not open as a file: without the replace flag
  // the rename then fails, as it must.
  if (!file) return protection;
  // Most DACLs fit the first guess, which spares asking for the size.
  DWORD needed = 1024;
  for (int attempt = 0; attempt < 2; ++attempt) {
    protection.descriptor.resize(needed);
    if (GetKernelObjectSecurity(file.get(), DACL_SECURITY_INFORMATION, protection.descriptor.data(), needed, &needed)) {
      return protection;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
  }
  protection.descriptor.clear();
  return protection;
}

// On the temporary file's own handle, before it is closed. Best effort: a
// Firefox file left stale would be worse than one that keeps the folder's
// permissions.
void CarryProtectionOver(const Protection& protection, HANDLE temporary) {
  if (protection.attributes != 0) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = protection.attributes;
    SetFileInformationByHandle(temporary, FileBasicInfo, &basic, sizeof basic);
  }
  if (!protection.descriptor.empty()) {
    SetKernelObjectSecurity(temporary, DACL_SECURITY_INFORMATION, const_cast<BYTE*>(protection.descriptor.data()));
  }
}

// One rename puts the new file in the target's place, so that a kill at any
// moment leaves one whole file under the target's name. Wine's ReplaceFileW
// moves the target aside first: a kill between its two moves left no target,
// and the next start created it afresh without the foreign lines. Without a
// replace flag, MoveFileExW fails rather than overwrite a file that appeared
// meanwhile.
std::optional<FailedStep> SwapIn(const std::wstring& temporary, const std::wstring& target, bool target_exists,
                                 const HoldBudget& budget) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (target_exists ? MOVEFILE_REPLACE_EXISTING : 0);
  if (budget.Retry([&] { return MoveFileExW(temporary.c_str(), target.c_str(), flags) != FALSE; })) {
    return std::nullopt;
  }
  return FailedStep{"MoveFileEx", GetLastError()};
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

// The failure lines' steps for a file or folder refused as a second name.
constexpr char kStepReparsePoint[] = "ReparsePoint";
constexpr char kStepHardLink[] = "HardLink";
constexpr char kStepFolderReparsePoint[] = "FolderReparsePoint";
constexpr char kStepReadFile[] = "ReadFile";

void Refuse(FileRead& result, const char* step, DWORD error) {
  result.outcome = FileRead::kRefused;
  result.step = step;
  result.error = error;
}

// `refuse_links`: the handle, not the path, tells a link, so the answer
// holds for the file actually read.
FileRead Read(const std::wstring& path, bool refuse_links) {
  FileRead result;
  // Opening first spares a lookup of the path for every file that opens,
  // and a missing file says so; a directory does not open either, nor does
  // a file another program holds, so other failures are told apart by the
  // attributes.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (refuse_links ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  unique_file file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!file) {
    result.error = GetLastError();
    const DWORD attributes = result.error == ERROR_FILE_NOT_FOUND || result.error == ERROR_PATH_NOT_FOUND
                                 ? INVALID_FILE_ATTRIBUTES
                                 : GetFileAttributesW(path.c_str());
    result.folder_in_place = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool present = attributes != INVALID_FILE_ATTRIBUTES && !result.folder_in_place;
    result.outcome = present ? FileRead::kUnreadable : FileRead::kMissing;
    return result;
  }
  result.outcome = FileRead::kUnreadable;

  // Not GetFileInformationByHandle: under Wine it also asks the volume for
  // its serial number, which took 0.6 ms a file, five times the read.
  FILE_STANDARD_INFO standard;
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard) ||
      !GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
    result.error = GetLastError();
    return result;
  }
  result.attributes = tag.FileAttributes;
  if (refuse_links && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    Refuse(result, kStepReparsePoint, ERROR_CANT_ACCESS_FILE);
    return result;
  }
  if (refuse_links && standard.NumberOfLinks > 1) {
    Refuse(result, kStepHardLink, ERROR_TOO_MANY_LINKS);
    return result;
  }
  // A preference file of 4 GiB or more is not Firefox's and cannot be held
  // in one read; it reads as unreadable rather than as a truncated copy.
  if (standard.EndOfFile.QuadPart > MAXDWORD) {
    result.error = ERROR_FILE_TOO_LARGE;
    return result;
  }
  const DWORD size = static_cast<DWORD>(standard.EndOfFile.QuadPart);

  result.bytes.resize(size);
  DWORD read = 0;
  if (!ReadFile(file.get(), &result.bytes[0], size, &read, nullptr)) {
    result.error = GetLastError();
    result.step = kStepReadFile;
    result.bytes.clear();
    return result;
  }
  // A file that shrank under the read is not known whole: rewritten from
  // part of it, it would lose the rest.
  if (read != size) {
    result.error = ERROR_READ_FAULT;
    result.bytes.clear();
    return result;
  }
  result.outcome = FileRead::kRead;
  return result;
}

}  // namespace

FileRead ReadFileRefusingLinks(const std::wstring& path) { return Read(path, true); }

FolderCheck CheckFolder(const std::wstring& path) {
  constexpr DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  const auto open = [&path](DWORD share) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, kFlags, nullptr);
  };
  FolderCheck check;
  check.held.reset(open(kShareAllButDelete));
  // Another program holding it with delete access leaves it checked, not held.
  if (!check.held && GetLastError() == ERROR_SHARING_VIOLATION) {
    check.held.reset(open(kShareAllButDelete | FILE_SHARE_DELETE));
  }
  // A folder that is not there fails the writes below it on their own.
  if (!check.held) return check;
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(check.held.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
    check.step = kStepFolderReparsePoint;
    check.error = GetLastError();
  } else if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    check.step = kStepFolderReparsePoint;
    check.error = ERROR_CANT_ACCESS_FILE;
  }
  return check;
}

std::string ReadFileContentW(const std::wstring& path) { return Read(path, false).bytes; }

std::optional<std::string> TryReadFileFollowingLinks(const std::wstring& path) {
  FileRead read = Read(path, false);
  if (read.outcome != FileRead::kRead) return std::nullopt;
  return std::move(read.bytes);
}

// The suffix alone names no target's temporary file.
bool IsTemporaryName(const std::wstring& name) {
  return name.size() > std::size(kTemporarySuffix) - 1 && EndsWithAsciiLower(name, kTemporarySuffix);
}

FolderKey::FolderKey(std::wstring path) : path_(std::move(path)), key_(AsciiLower(path_)) {
  for (wchar_t& c : key_) {
    if (c == L'/') c = L'\\';
  }
}

FolderKey FolderKey::OfFolder(const std::wstring& folder) {
  const bool ends_in_separator = !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
  return FolderKey(folder.empty() || ends_in_separator ? folder : folder + L'\\');
}

// A drive-relative name ("C:x") is held by the drive's current folder, "C:".
FolderKey FolderKey::OfFile(const std::wstring& path) {
  const size_t last = path.find_last_of(L"\\/:");
  return FolderKey(last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1));
}

void LeftoverRemover::Know(const FolderKey& folder, bool holds_leftovers) {
  holds_leftovers_.insert_or_assign(folder, holds_leftovers);
}

void LeftoverRemover::RemoveFor(const std::wstring& path) {
  const FolderKey folder = FolderKey::OfFile(path);
  const auto [found, inserted] = holds_leftovers_.emplace(folder, false);
  if (inserted) found->second = HoldsLeftovers(folder.path());
  // DeleteFileW removes a link by its own name, never what it points to.
  if (found->second) DeleteFileW(TemporaryPathFor(path).c_str());
}

std::optional<FailedStep> SetFileContentW(const std::wstring& path, const Content& content, const FileRead& before) {
  const std::wstring temporary = TemporaryPathFor(path);
  const HoldBudget budget;
  unique_file file = CreateTemporary(temporary, budget);
  // A file that was there already is not this write's to remove.
  if (!file) return FailedStep{"CreateFile", GetLastError()};
  std::optional<FailedStep> failed = WriteTemporary(file.get(), content);
  if (!failed) CarryProtectionOver(ReadProtection(path, before), file.get());
  file.reset();
  if (!failed) failed = SwapIn(temporary, path, before.outcome != FileRead::kMissing, budget);
  if (failed) DeleteFileW(temporary.c_str());
  return failed;
}

}  // namespace pelorin
