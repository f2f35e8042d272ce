// Who may change what lies in a folder. Whoever may add, change or delete
// files in Firefox's folder can rewrite the locks, or plant a link for the
// agent, which runs as SYSTEM, to read or write through.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pelorin {

// Where an administrator names the accounts, besides SYSTEM, Administrators
// and TrustedInstaller, that may change Firefox's folders: an account that
// deploys Firefox, say. REG_MULTI_SZ (or REG_SZ for one) of account names
// ("CONTOSO\\deploy") or SIDs.
inline constexpr wchar_t kTrustedWritersKey[] = L"SOFTWARE\\Policies\\Tervia\\Pelorin";
inline constexpr wchar_t kTrustedWritersValue[] = L"TrustedWriters";

// The accounts named there, as SID strings; an entry that names no account
// is left out, so the finding still names that account's SID.
std::vector<std::wstring> TrustedWriters();

// "BUILTIN\Users" for S-1-5-32-545; the SID itself when it names no account.
std::wstring AccountName(const std::wstring& sid);

// The accounts and groups, as SID strings, each once, that `descriptor`
// (with its owner and DACL) lets add, change or delete files in its folder,
// or in the files that inherit its entries, or change its permissions; none
// but SYSTEM, Administrators, TrustedInstaller and `trusted` should.
std::vector<std::wstring> FolderWriters(PSECURITY_DESCRIPTOR descriptor, const std::vector<std::wstring>& trusted);

}  // namespace pelorin
