#include "autoconfig/ModeTable.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "autoconfig/CfgLines.h"

namespace pelorin {

namespace {

constexpr std::string_view kZarnBase[] = {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS, CFG_LINE_PROXY_TYPE,
                                          CFG_LINE_NO_PROXIES, CFG_LINE_ENTERPRISE_ROOTS};
constexpr std::string_view kTovkBase[] = {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES, CFG_LINE_ENTERPRISE_ROOTS};
constexpr std::string_view kScopes[] = {CFG_LINE_AUTO_DISABLE_SCOPES, CFG_LINE_ENABLED_SCOPES};
constexpr std::string_view kProxy[] = {CFG_LINE_PROXY_TYPE, CFG_LINE_NO_PROXIES};
constexpr std::string_view kRoots[] = {CFG_LINE_ENTERPRISE_ROOTS};
constexpr std::string_view kCertificates[] = {CFG_LINE_PKIX, CFG_LINE_BUILTIN_CERTS};

// ZARN alone writes the certificate lines. DLP writes its scope lines first,
// TOVK its proxy and enterprise-roots lines.
constexpr ModeRow kModes[] = {
    {Mode::kZarn,
     "zarn",
     true,
     L"PelorinZARNFFStart",
     L"PelorinZARNFFStart firefox install path is empty.",
     nullptr,
     nullptr,
     0,
     0,
     false,
     "\"cv_mozilla_zarn.cfg\"",
     kZarnBase,
     kScopes,
     kProxy,
     kRoots,
     kCertificates,
     {}},
    {Mode::kTovk,
     "tovk",
     true,
     L"PelorinTOVKFFStart",
     L"PelorinTOVKFFStart firefox install path is empty.",
     L"Finished TOVK FF extension operation.\r\n",
     L"FF config all_lines.push_back",
     0,
     0,
     true,
     "\"cv_mozilla_tovk.cfg\"",
     kTovkBase,
     kScopes,
     kProxy,
     kRoots,
     {},
     kTovkBase},
    {Mode::kDlp,
     "dlp",
     false,
     L"PelorinDLPFFStart",
     L"firefox install path is empty.",
     L"Finished DLP FF extension operation.",
     nullptr,
     1,
     0,
     false,
     "\"cv_mozilla_dlp.cfg\"",
     {},
     kScopes,
     kProxy,
     kRoots,
     {},
     kScopes},
};

constexpr bool RowsFollowTheEnum() {
  for (size_t index = 0; index < std::size(kModes); ++index) {
    if (static_cast<size_t>(kModes[index].mode) != index) return false;
  }
  return std::size(kModes) == kModeCount && static_cast<size_t>(Mode::kDlp) + 1 == kModeCount;
}
static_assert(RowsFollowTheEnum(), "one row for each mode, in the order of the enum");

// The lines of the rows `chosen`, each once, in the order the rows name them.
template <typename Chosen>
std::vector<std::string_view> Collect(Chosen chosen) {
  std::vector<std::string_view> lines;
  for (const ModeRow& row : kModes) {
    for (LineSet set : chosen(row)) {
      for (std::string_view line : set) {
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
      }
    }
  }
  return lines;
}

}  // namespace

const ModeRow& RowOf(Mode mode) { return kModes[static_cast<size_t>(mode)]; }

const ModeRow* FindMode(std::string_view name) {
  for (const ModeRow& row : kModes) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

const ModeRow* ModesBegin() { return std::begin(kModes); }
const ModeRow* ModesEnd() { return std::end(kModes); }

LineSet AllModeLines() {
  static const std::vector<std::string_view> lines = Collect([](const ModeRow& row) {
    return std::vector<LineSet>{row.base, row.agent, row.inline_proxy, row.closing};
  });
  return LineSet(lines.data(), lines.size());
}

LineSet InlineProxyLines() { return kProxy; }

LineSet WebBaseLines() {
  static const std::vector<std::string_view> lines =
      Collect([](const ModeRow& row) { return row.web ? std::vector<LineSet>{row.base} : std::vector<LineSet>{}; });
  return LineSet(lines.data(), lines.size());
}

}  // namespace pelorin
