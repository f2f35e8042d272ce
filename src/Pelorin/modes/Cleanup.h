// Uninstall cleanup: takes the library's lines out of the autoconfig file
// recorded in FFCFG. The loader file and the registry values stay as they
// are.
#pragma once

namespace pelorin {

// The work of the export PelorinUninstallCleanUp: cleans the file named by
// FFCFG, or only its proxy lines; without the key or the value nothing
// happens.
void UninstallCleanUp(bool only_proxy);

}  // namespace pelorin
