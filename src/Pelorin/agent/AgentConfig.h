// Probes of the agent's own installation: only whether a configuration file
// of a given name is present in the folder named by "InstallPath" under
// HKLM\SOFTWARE\Tervia\Agent\. Nothing is read, nothing logged.
#pragma once

namespace pelorin {

bool IsClientConfigPresent();

// Whether "RvClientConfig.qcf" is present. The start that asks it reads
// nothing else of the agent's proxy configuration, so that is not probed.
bool IsRvClientConfigPresent();

}  // namespace pelorin
