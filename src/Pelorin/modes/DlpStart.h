// The DLP start: brings the loader file and the autoconfig file up to date
// for data-loss prevention, each only when its check finds it stale.
#pragma once

#include <cstdint>
#include <string>

namespace pelorin {

// The work of the export PelorinDLPFFStart. Empty names select "!.js" and
// "cv_mozilla_V2N.cfg". Returns -1 without Firefox, 0 when the agent's
// "RvClientConfig.qcf" is present, else 1.
int32_t DlpStart(const std::wstring& js_name, const std::wstring& cfg_name);

}  // namespace pelorin
