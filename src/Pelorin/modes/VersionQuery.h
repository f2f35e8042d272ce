// Which loader file Firefox's defaults\pref holds and which autoconfig file
// it names, as the host asks through PelorinGetFFVersionAndCfg.
#pragma once

#include <string>

namespace pelorin {

// The work of the export PelorinGetFFVersionAndCfg: creates defaults\pref
// when missing, reports the first *.js file and the cfg name it configures.
int GetFFVersionAndCfg(const std::wstring& id, std::wstring* loader_name, std::wstring* cfg_name);

}  // namespace pelorin
