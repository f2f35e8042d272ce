// Probes of the agent's own installation: only whether a configuration file
// of a given name is present in the folder named by "InstallPath" under
// HKLM\SOFTWARE\Tervia\Agent\. Nothing is read, nothing logged.
#pragma once

#include <cstdint>

namespace pelorin {

// 1 when "ClientConfig.qcf" is present, else 0.
int32_t IsClientConfigPresent();

// 1 when "RvClientConfig.qcf" is present (then *flag := 0); else 0, with
// *flag := 1 when "PXYClientConfig.qcf" is present. `flag` may be null and
// is otherwise left alone.
int32_t IsRvClientConfigPresent(uint32_t* flag);

}  // namespace pelorin
