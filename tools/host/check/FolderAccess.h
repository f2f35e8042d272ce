// Who may change what lies in a folder. Whoever may add, change or delete
// files in Firefox's folder can rewrite the locks, or plant a link for the
// agent, which runs as SYSTEM, to read or write through.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pelorin {

// The accounts and groups, as SID strings, each once, that `descriptor`
// (with its owner and DACL) lets add, change or delete files in its folder,
// or in the files that inherit its entries, or change its permissions; none
// but SYSTEM, Administrators and TrustedInstaller should.
std::vector<std::wstring> FolderWriters(PSECURITY_DESCRIPTOR descriptor);

}  // namespace pelorin
