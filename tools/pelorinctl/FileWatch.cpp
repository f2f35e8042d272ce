#include "FileWatch.h"

#include <windows.h>

#include <optional>

#include "Library.h"

namespace pelorinctl {

namespace {

uint64_t Join(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

std::wstring Lower(std::wstring path) {
  if (!path.empty()) CharLowerBuffW(&path[0], static_cast<DWORD>(path.size()));
  return path;
}

// FNV-1a: enough to tell a rewrite with equal bytes from a real change.
uint64_t HashContent(HANDLE file) {
  uint64_t hash = 14695981039346656037ull;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    for (DWORD i = 0; i < read; ++i) {
      hash ^= static_cast<unsigned char>(buffer[i]);
      hash *= 1099511628211ull;
    }
  }
  return hash;
}

std::optional<FileState> ReadState(const std::wstring& path) {
  unique_file file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    // A file that exists but cannot be opened still counts as present.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    FileState state;
    state.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    state.write_time = Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    return state;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  FileState state;
  state.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
  state.write_time = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
  state.content_hash = HashContent(file.get());
  return state;
}

void Record(Snapshot& snapshot, const std::wstring& path) {
  std::wstring key = Lower(path);
  if (snapshot.files.count(key) != 0) return;
  std::optional<FileState> state = ReadState(path);
  if (state) snapshot.files.emplace(key, std::make_pair(path, *state));
}

std::wstring FolderOf(const std::wstring& pattern) {
  size_t slash = pattern.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : pattern.substr(0, slash + 1);
}

}  // namespace

void FileWatch::AddFile(const std::wstring& path) { files_.push_back(path); }

void FileWatch::AddFolder(const std::wstring& folder, const std::wstring& pattern) {
  patterns_.push_back(folder + (folder.back() == L'\\' ? L"" : L"\\") + pattern);
}

Snapshot FileWatch::Take() const {
  Snapshot snapshot;
  for (const std::wstring& path : files_) Record(snapshot, path);
  for (const std::wstring& pattern : patterns_) {
    WIN32_FIND_DATAW entry;
    unique_find find(FindFirstFileW(pattern.c_str(), &entry));
    if (!find) continue;
    std::wstring folder = FolderOf(pattern);
    do {
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) Record(snapshot, folder + entry.cFileName);
    } while (FindNextFileW(find.get(), &entry));
  }
  return snapshot;
}

std::vector<Change> Compare(const Snapshot& before, const Snapshot& after) {
  std::vector<Change> changes;
  for (const auto& [key, entry] : after.files) {
    auto old = before.files.find(key);
    if (old == before.files.end()) {
      changes.push_back({entry.first, "created"});
      continue;
    }
    const FileState& was = old->second.second;
    const FileState& now = entry.second;
    if (was.size != now.size || was.content_hash != now.content_hash) {
      changes.push_back({entry.first, "modified"});
    } else if (was.write_time != now.write_time) {
      changes.push_back({entry.first, "rewritten"});
    }
  }
  for (const auto& [key, entry] : before.files) {
    if (after.files.count(key) == 0) changes.push_back({entry.first, "deleted"});
  }
  return changes;
}

namespace {

std::string RecordChange(const std::optional<std::wstring>& before, const std::optional<std::wstring>& after) {
  if (!before && after) return "created";
  if (before && !after) return "deleted";
  if (before && after && *before != *after) return "modified";
  return std::string();
}

}  // namespace

ChangeWatch::ChangeWatch(const std::wstring& install_dir, const std::vector<std::wstring>& extra_files) {
  if (!install_dir.empty()) {
    // The loader file and the files it is stripped from live in
    // defaults\pref; autoconfig files beside firefox.exe.
    watch_.AddFolder(pelorin::tool::PrefDirOf(install_dir));
    watch_.AddFolder(install_dir, L"*.cfg");
  }
  for (const std::wstring& path : extra_files) {
    if (!path.empty()) watch_.AddFile(path);
  }
  files_before_ = watch_.Take();
  records_before_ = pelorin::tool::ReadRecordValues();
}

std::vector<Field> ChangeWatch::Changes() const {
  std::vector<Field> files;
  for (const Change& change : Compare(files_before_, watch_.Take())) {
    std::string path = pelorin::WideToUtf8(change.path);
    files.push_back({path, path, Value::String(change.kind)});
  }
  std::vector<Field> records;
  const std::vector<pelorin::tool::RecordValue> records_after = pelorin::tool::ReadRecordValues();
  for (size_t i = 0; i < records_after.size(); ++i) {
    std::string kind = RecordChange(records_before_[i].value, records_after[i].value);
    std::string name = pelorin::WideToUtf8(records_after[i].name);
    if (!kind.empty()) records.push_back({name, name, Value::String(kind)});
  }
  return {{"changed_files", "Changed files", Value::Section(files)},
          {"changed_registry_values", "Changed registry values", Value::Section(records)}};
}

}  // namespace pelorinctl
