#include "autoconfig/LoaderFile.h"

#include <string_view>

#include "agent/RegistryRecords.h"
#include "autoconfig/LoaderLines.h"
#include "base/ModuleLock.h"
#include "firefox/PrefDirectory.h"
#include "lines/FileContent.h"
#include "lines/Lines.h"

namespace pelorin {

namespace {

bool NamesLibraryCfg(std::string_view line) {
  return Contains(line, kMarkerTovkCfg) || Contains(line, kMarkerZarnCfg) || Contains(line, kMarkerDlpCfg) ||
         Contains(line, kMarkerV2nCfg);
}

// Lines the stripper removes. A foreign obscure-value line stays: it
// configures nothing on its own.
bool IsStrippedLine(std::string_view line) { return NamesLibraryCfg(line) || Contains(line, kMarkerFilename); }

bool IsLoaderLine(std::string_view line) { return IsStrippedLine(line) || Contains(line, kMarkerObscureValue); }

// The foreign values of the two preferences, recorded before the lines are
// replaced, so the agent can tell what it overrode. A filename line naming
// the default cfg is the library's own and is not recorded.
void RecordForeignLoaderLines(const LineList& lines, const std::string& filename_line) {
  std::string previous_obscure;
  std::string previous_filename;
  for (Line line : lines) {
    if (Contains(line, kMarkerObscureValue)) {
      if (line != PREF_LINE_OBSCURE_VALUE) previous_obscure = line;
    } else if (Contains(line, kMarkerFilename) && line != filename_line && !Contains(line, kMarkerV2nCfg)) {
      previous_filename = line;
    }
  }
  SavePreviousLoaderLines(previous_obscure, previous_filename);
}

// The first quoted text between the comma and the closing parenthesis of
// pref("general.config.filename", "<name>"); the line is not parsed further.
std::wstring CfgNameFromLine(Line line) {
  const size_t comma = line.find(',');
  if (comma == Line::npos) return std::wstring();
  const size_t paren = line.find(')', comma + 1);
  if (paren == Line::npos) return std::wstring();
  const Line value = line.substr(comma + 1, paren - comma - 1);
  const size_t open = value.find('"');
  if (open == Line::npos) return std::wstring();
  const size_t close = value.find('"', open + 1);
  if (close == Line::npos) return std::wstring();
  return Utf8ToWide(std::string(value.substr(open + 1, close - open - 1)));
}

}  // namespace

void CreateLoaderFile(FileEdits& files, const std::wstring& path, const std::string& filename_line) {
  files.SetContent(path, std::string(PREF_LINE_OBSCURE_VALUE) + "\n" + filename_line + "\n");
}

// The content does not depend on the mode: both web modes load their cfg
// through the same two preferences.
void WriteLoaderFile(FileEdits& files, const std::wstring& path, const std::wstring& cfg_name, bool replay) {
  ModuleLockGuard lock;
  const std::string filename_line = FilenameLine(cfg_name);

  if (!files.IsPresent(path)) {
    // A replay at unload must not bring back a loader file that someone
    // removed since the start.
    if (!replay) CreateLoaderFile(files, path, filename_line);
    return;
  }

  LineList lines = files.Lines(path);
  RecordForeignLoaderLines(lines, filename_line);
  RemoveLinesIf(lines, IsLoaderLine);
  lines.push_back(PREF_LINE_OBSCURE_VALUE);
  lines.push_back(filename_line);
  WriteLines(files, path, lines);
}

void StripLoaderLines(FileEdits& files, const std::wstring& path) {
  ModuleLockGuard lock;
  if (!files.IsPresent(path)) return;

  LineList lines = files.Lines(path);
  const size_t before = lines.size();
  RemoveLinesIf(lines, IsStrippedLine);
  // Someone else's file without the library's lines is not the library's to
  // tidy: it stays byte for byte.
  if (lines.size() == before) return;
  DropTrailingEmptyLines(lines);
  files.SetContent(path, JoinLines(lines));
}

void StripPrefDirectory(FileEdits& files, const std::wstring& install_dir) {
  ModuleLockGuard lock;
  const std::wstring pref_dir = install_dir + L"\\defaults\\pref\\";
  PrefNameSet names;
  ListPrefJsFiles(pref_dir, names);
  for (const std::wstring& name : names) StripLoaderLines(files, pref_dir + name);
  StripLoaderLines(files, pref_dir + kChannelPrefsName);
}

std::wstring ReadLoaderCfgName(const std::wstring& path) {
  const std::string content = ReadFileContentW(path);
  const LineList lines = SplitLines(content);
  // Firefox applies preferences in file order, so the last one is in force.
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (Contains(*it, kMarkerFilename)) return CfgNameFromLine(*it);
  }
  return std::wstring();
}

}  // namespace pelorin
