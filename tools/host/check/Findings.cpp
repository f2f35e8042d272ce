#include "check/Findings.h"

#include <iterator>

namespace pelorin {

namespace {

const FindingKind kFindingKinds[] = {
    {"firefox-not-registered",
     "No Firefox is registered on this machine, so the agent controls none: install Firefox or repair its "
     "registration."},
    {"install-folder-missing",
     "Firefox's registered install folder does not exist: reinstall Firefox or repair its registration."},
    {"loader-missing",
     "No preference file names an autoconfig file, so Firefox runs none: run the mode's start to write the loader "
     "file."},
    {"loader-name-not-plain",
     "The loader names an autoconfig file that is not a plain name in Firefox's own folder, which Firefox does not "
     "run: run the mode's start again."},
    {"loader-wrong-file", "The loader names another autoconfig file than the agent's: run the mode's start again."},
    {"loader-overridden",
     "A preference file that Firefox reads after the agent's loader changes the autoconfig settings: remove its "
     "general.config lines."},
    {"loader-obscure-value",
     "general.config.obscure_value is not 0, so Firefox skips the autoconfig file: run the mode's start again."},
    {"cfg-missing", "The autoconfig file does not exist: run the mode's start again."},
    {"cfg-unreadable", "The autoconfig file cannot be read: give Firefox's users read access to it."},
    {"cfg-cut-off",
     "The autoconfig file's last line is cut off, so Firefox stops at start with an autoconfig error: run the "
     "mode's start again."},
    {"cfg-undefined-call",
     "The autoconfig file calls a function autoconfig does not define, so Firefox stops at start with an autoconfig "
     "error: remove that line."},
    {"cfg-line-missing", "The autoconfig file lacks one of the mode's lines: run the mode's start again."},
    {"cfg-foreign-line",
     "A line after the agent's in the autoconfig file changes one of the agent's preferences: remove it."},
    {"policy-overrides",
     "An enterprise policy gives one of the agent's preferences another value, which wins over the lock: remove "
     "that policy setting."},
    {"file-is-link",
     "The loader or autoconfig file is a link, which the agent neither reads nor replaces: delete it and run the "
     "mode's start again."},
    {"folder-writable",
     "An account other than SYSTEM, Administrators, TrustedInstaller and those named in TrustedWriters may change "
     "files in Firefox's folders: take that right away."},
    {"mode-unknown",
     "The autoconfig file holds none of the agent's lines, so the mode cannot be told: run the mode's start, or "
     "name the mode."},
    {"other-install",
     "Another Firefox is registered and is not under the agent's control: uninstall it or bring it under control."},
};

}  // namespace

const FindingKind* FindingKindsBegin() { return std::begin(kFindingKinds); }
const FindingKind* FindingKindsEnd() { return std::end(kFindingKinds); }

const FindingKind* FindFindingKind(std::string_view code) {
  for (const FindingKind& kind : kFindingKinds) {
    if (code == kind.code) return &kind;
  }
  return nullptr;
}

}  // namespace pelorin
