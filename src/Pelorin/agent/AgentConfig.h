// Probes of the agent's own installation: only whether a configuration file
// of a given name is present in the folder named by "InstallPath" under
// HKLM\SOFTWARE\Tervia\Agent\. Nothing is read, nothing logged.
#pragma once

namespace pelorin {

bool IsClientConfigPresent();

// Whether "RvClientConfig.qcf" is present. The answer about the proxy
// configuration "PXYClientConfig.qcf" goes to `proxy_config` (may be null):
// false when the Rv file is present, true when only the proxy file is, and
// left alone otherwise.
bool IsRvClientConfigPresent(bool* proxy_config);

}  // namespace pelorin
