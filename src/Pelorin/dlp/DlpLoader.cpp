#include "dlp/DlpLoader.h"

#include <algorithm>

#include "autoconfig/LoaderFile.h"
#include "autoconfig/LoaderLines.h"
#include "base/ModuleLock.h"
#include "lines/Lines.h"

namespace pelorin {

namespace {

// Removes the replaced lines in file order, so that the code tells which
// file the last of them named.
int32_t RemoveDlpLoaderLines(LineList& lines) {
  int32_t predecessor = DLP_NO_PREDECESSOR;
  for (auto line = lines.begin(); line != lines.end();) {
    line = IsDlpLoaderLine(*line, predecessor) ? lines.erase(line) : std::next(line);
  }
  return predecessor;
}

}  // namespace

bool IsDlpLoaderUpToDate(const std::wstring& path, const std::wstring& cfg_name) {
  ModuleLockGuard lock;
  if (!IsPresent(path)) return false;
  const LineList lines = ReadLines(path);
  return std::find(lines.begin(), lines.end(), FilenameLine(cfg_name)) != lines.end();
}

bool IsDlpLoaderLine(std::string_view line, int32_t& predecessor) {
  if (Contains(line, MARKER_TOVK_CFG)) {
    predecessor = DLP_PREDECESSOR_TOVK;
    return true;
  }
  if (Contains(line, MARKER_ZARN_CFG)) {
    predecessor = DLP_PREDECESSOR_ZARN;
    return true;
  }
  if (Contains(line, MARKER_V2N_CFG)) {
    predecessor = DLP_PREDECESSOR_SHARED;
    return true;
  }
  // A "cv_mozilla_dlp.cfg" line goes through its filename marker: DLP's own
  // older name needs no hand-over.
  return Contains(line, MARKER_OBSCURE_VALUE) || Contains(line, MARKER_FILENAME);
}

int32_t WriteDlpLoaderFile(std::wstring path, std::wstring& cfg_name) {
  ModuleLockGuard lock;
  std::string filename_line = FilenameLine(cfg_name);
  if (!IsPresent(path)) {
    CreateLoaderFile(path, filename_line);
    return 0;
  }

  LineList lines = ReadLines(path);
  const int32_t predecessor = RemoveDlpLoaderLines(lines);
  lines.emplace_back(PREF_LINE_OBSCURE_VALUE);
  // Firefox was reading the shared file under a web mode (or under this
  // name already): DLP takes that file over rather than naming a second one,
  // so the web modes' lines and DLP's end up side by side.
  if (predecessor != DLP_NO_PREDECESSOR) {
    cfg_name = DEFAULT_CFG_NAME;
    filename_line = FilenameLine(cfg_name);
  }
  lines.push_back(std::move(filename_line));
  WriteLines(lines, path);
  return 0;
}

}  // namespace pelorin
