#include "autoconfig/LoaderContent.h"

#include "autoconfig/LoaderLines.h"
#include "autoconfig/ModeTable.h"
#include "files/TextConversion.h"

namespace pelorin {

namespace {

bool Contains(Line line, std::string_view marker) { return line.find(marker) != std::string_view::npos; }

// `web_only`: a name only a web mode gives.
bool NamesLibraryCfg(Line line, bool web_only) {
  if (Contains(line, kMarkerV2nCfg)) return true;
  for (const ModeRow* row = ModesBegin(); row != ModesEnd(); ++row) {
    if ((row->web || !web_only) && Contains(line, row->cfg_marker)) return true;
  }
  return false;
}

// Lines the strip removes. A foreign obscure-value line stays: it
// configures nothing on its own.
bool IsStrippedLine(Line line) { return NamesLibraryCfg(line, false) || Contains(line, kMarkerFilename); }

bool IsLoaderLine(Line line) { return IsStrippedLine(line) || Contains(line, kMarkerObscureValue); }

// `shared` is set when the line named an autoconfig file a web mode writes,
// which DLP then takes over.
bool IsDlpLoaderLine(Line line, bool& shared) {
  if (NamesLibraryCfg(line, true)) {
    shared = true;
    return true;
  }
  // A "cv_mozilla_dlp.cfg" line goes through its filename marker: DLP's own
  // older name needs no hand-over.
  return Contains(line, kMarkerObscureValue) || Contains(line, kMarkerFilename);
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

Content NewLoaderFile(std::string filename_line) {
  ContentBuilder out{std::string_view()};
  out.Add(PREF_LINE_OBSCURE_VALUE);
  out.AddOwned(std::move(filename_line));
  return out.Take();
}

// The content does not depend on the web mode: both load their cfg through
// the same two preferences.
LoaderEdit EditLoaderFile(std::string_view bytes, std::string filename_line, bool stripped) {
  LoaderEdit edit;
  ContentBuilder out(bytes);
  ForEachLine(bytes, [&](Line line) {
    if (stripped && IsStrippedLine(line)) return;
    // The foreign values of the two preferences, so the agent can tell what
    // it overrode. A filename line naming the default cfg is the library's
    // own.
    if (Contains(line, kMarkerObscureValue)) {
      if (line != PREF_LINE_OBSCURE_VALUE) edit.previous_obscure = line;
    } else if (Contains(line, kMarkerFilename) && line != filename_line && !Contains(line, kMarkerV2nCfg)) {
      edit.previous_filename = line;
    }
    if (!line.empty() && !IsLoaderLine(line)) out.Keep(line);
  });
  out.Add(PREF_LINE_OBSCURE_VALUE);
  out.AddOwned(std::move(filename_line));
  edit.content = out.Take();
  return edit;
}

std::optional<Content> StripLoaderLines(std::string_view bytes) {
  ContentBuilder out(bytes);
  bool stripped = false;
  std::vector<Line> blanks;  // the blank tail goes
  ForEachLine(bytes, [&](Line line) {
    if (IsStrippedLine(line)) {
      stripped = true;
    } else if (line.empty()) {
      blanks.push_back(line);
    } else {
      for (Line blank : blanks) out.Keep(blank);
      blanks.clear();
      out.Keep(line);
    }
  });
  if (!stripped) return std::nullopt;
  return out.Take();
}

bool NamesCfgFile(std::string_view bytes, std::string_view filename_line) {
  bool found = false;
  ForEachLine(bytes, [&](Line line) { found = found || line == filename_line; });
  return found;
}

DlpLoaderEdit EditDlpLoaderFile(std::string_view bytes, const std::wstring& cfg_name, bool stripped) {
  DlpLoaderEdit edit;
  ContentBuilder out(bytes);
  // Removed in file order, so that the last of them tells which file it named.
  bool shared = false;
  ForEachLine(bytes, [&](Line line) {
    if (stripped && IsStrippedLine(line)) return;
    if (!IsDlpLoaderLine(line, shared) && !line.empty()) out.Keep(line);
  });
  // Firefox was reading the shared file under a web mode (or under this
  // name already): DLP takes that file over rather than naming a second one,
  // so the web modes' lines and DLP's end up side by side.
  edit.shared_name = shared;
  out.Add(PREF_LINE_OBSCURE_VALUE);
  out.AddOwned(FilenameLine(edit.shared_name ? std::wstring(kDefaultCfgName) : cfg_name));
  edit.content = out.Take();
  return edit;
}

std::wstring CfgNameOfLoader(std::string_view bytes) {
  // Firefox applies preferences in file order, so the last one is in force.
  Line last;
  bool found = false;
  ForEachLine(bytes, [&](Line line) {
    if (Contains(line, kMarkerFilename)) {
      last = line;
      found = true;
    }
  });
  return found ? CfgNameFromLine(last) : std::wstring();
}

}  // namespace pelorin
