#include "autoconfig/DlpLoader.h"

#include <algorithm>

#include "autoconfig/LoaderFile.h"
#include "autoconfig/LoaderLines.h"
#include "base/ModuleLock.h"

namespace pelorin {

namespace {

// Removes the replaced lines in file order, so that the result tells which
// file the last of them named.
DlpPredecessor RemoveDlpLoaderLines(LineList& lines) {
  DlpPredecessor predecessor = DlpPredecessor::kNone;
  LineList kept;
  kept.reserve(lines.size());
  for (Line line : lines) {
    if (!IsDlpLoaderLine(line, predecessor)) kept.push_back(line);
  }
  lines.swap(kept);
  return predecessor;
}

}  // namespace

bool IsDlpLoaderUpToDate(FileEdits& files, const std::wstring& path, const std::wstring& cfg_name) {
  ModuleLockGuard lock;
  if (!files.IsPresent(path)) return false;
  const LineList& lines = files.Lines(path);
  return std::find(lines.begin(), lines.end(), FilenameLine(cfg_name)) != lines.end();
}

bool IsDlpLoaderLine(std::string_view line, DlpPredecessor& predecessor) {
  if (Contains(line, kMarkerTovkCfg)) {
    predecessor = DlpPredecessor::kTovk;
    return true;
  }
  if (Contains(line, kMarkerZarnCfg)) {
    predecessor = DlpPredecessor::kZarn;
    return true;
  }
  if (Contains(line, kMarkerV2nCfg)) {
    predecessor = DlpPredecessor::kShared;
    return true;
  }
  // A "cv_mozilla_dlp.cfg" line goes through its filename marker: DLP's own
  // older name needs no hand-over.
  return Contains(line, kMarkerObscureValue) || Contains(line, kMarkerFilename);
}

void WriteDlpLoaderFile(FileEdits& files, const std::wstring& path, std::wstring& cfg_name) {
  ModuleLockGuard lock;
  if (!files.IsPresent(path)) {
    CreateLoaderFile(files, path, FilenameLine(cfg_name));
    return;
  }

  LineList lines = files.Lines(path);
  // Firefox was reading the shared file under a web mode (or under this
  // name already): DLP takes that file over rather than naming a second one,
  // so the web modes' lines and DLP's end up side by side.
  if (RemoveDlpLoaderLines(lines) != DlpPredecessor::kNone) cfg_name = kDefaultCfgName;
  const std::string filename_line = FilenameLine(cfg_name);
  lines.push_back(PREF_LINE_OBSCURE_VALUE);
  lines.push_back(filename_line);
  WriteLines(files, path, lines);
}

}  // namespace pelorin
