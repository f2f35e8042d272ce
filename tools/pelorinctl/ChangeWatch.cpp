#include "ChangeWatch.h"

#include "Utf8.h"

namespace pelorinctl {

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
    watch_.AddFolder(install_dir + L"\\defaults\\pref");
    watch_.AddFolder(install_dir, L"*.cfg");
  }
  for (const std::wstring& path : extra_files) {
    if (!path.empty()) watch_.AddFile(path);
  }
  files_before_ = watch_.Take();
  records_before_ = ReadRecordValues();
}

std::vector<Field> ChangeWatch::Changes() const {
  std::vector<Field> files;
  for (const Change& change : Compare(files_before_, watch_.Take())) {
    std::string path = ToUtf8(change.path);
    files.push_back({path, path, Value::String(change.kind)});
  }
  std::vector<Field> records;
  RecordValues records_after = ReadRecordValues();
  for (size_t i = 0; i < records_after.size(); ++i) {
    std::string kind = RecordChange(records_before_[i].second, records_after[i].second);
    std::string name = ToUtf8(records_after[i].first);
    if (!kind.empty()) records.push_back({name, name, Value::String(kind)});
  }
  return {{"changed_files", "Changed files", Value::Section(files)},
          {"changed_registry_values", "Changed registry values", Value::Section(records)}};
}

}  // namespace pelorinctl
