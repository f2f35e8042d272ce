// Firefox's enterprise policies that give one of the library's preferences a
// value: from HKLM\SOFTWARE\Policies\Mozilla\Firefox and from the install's
// distribution\policies.json.
#pragma once

#include <string>
#include <vector>

#include "check/Statements.h"

namespace pelorin {

struct PolicySetting {
  std::string pref;
  PrefValue value;
  std::wstring source;  // the registry key or the policies.json file
  // A user value (Status "user"): it wins over a default, not over a lock.
  bool user_value = false;
};

std::vector<PolicySetting> ReadPolicySettings(const std::wstring& install_dir);

}  // namespace pelorin
