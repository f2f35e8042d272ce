#include "check/FolderAccess.h"

#include <sddl.h>

#include <algorithm>
#include <iterator>

#include "base/Registry.h"
#include "base/UniqueHandle.h"

namespace pelorin {

namespace {

constexpr const wchar_t* kTrusted[] = {L"S-1-5-18", L"S-1-5-32-544",
                                       L"S-1-5-80-956008885-3425770349-4205376447-1632187004-4248036098"};
// CREATOR OWNER and CREATOR GROUP stand for whoever creates a file there,
// and only those who may add files can: they are judged by that right.
constexpr const wchar_t* kCreators[] = {L"S-1-3-0", L"S-1-3-1"};
constexpr wchar_t kOwnerRights[] = L"S-1-3-4";
constexpr wchar_t kEveryone[] = L"S-1-1-0";

// On the folder itself: add a file or a folder (a link among them), delete
// any child, delete or rename the folder, or change who may.
constexpr ACCESS_MASK kFolderRights =
    FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
// On a file that inherits the entry, such as a new autoconfig file.
constexpr ACCESS_MASK kFileRights = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER;

std::wstring SidText(PSID sid) {
  unique_hlocal text;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(text.put()))) return std::wstring();
  return static_cast<const wchar_t*>(text.get());
}

template <size_t kCount>
bool IsOneOf(const std::wstring& sid, const wchar_t* const (&sids)[kCount]) {
  return std::find(std::begin(sids), std::end(sids), sid) != std::end(sids);
}

// A SID string as Windows spells it, or the SID of an account name; empty
// for neither.
std::wstring AccountSid(const std::wstring& entry) {
  unique_hlocal sid;
  if (ConvertStringSidToSidW(entry.c_str(), sid.put())) return SidText(sid.get());
  BYTE found[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof found;
  wchar_t domain[256];
  DWORD domain_size = 256;
  SID_NAME_USE use;
  if (!LookupAccountNameW(nullptr, entry.c_str(), found, &size, domain, &domain_size, &use)) return std::wstring();
  return SidText(found);
}

}  // namespace

std::wstring AccountName(const std::wstring& sid_text) {
  unique_hlocal sid;
  if (!ConvertStringSidToSidW(sid_text.c_str(), sid.put())) return sid_text;
  wchar_t name[256];
  wchar_t domain[256];
  DWORD name_size = 256;
  DWORD domain_size = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid.get(), name, &name_size, domain, &domain_size, &use)) return sid_text;
  return domain_size > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

std::vector<std::wstring> TrustedWriters() {
  const RegistryRead read = ReadRegistryValue(HKEY_LOCAL_MACHINE, kTrustedWritersKey, kTrustedWritersValue,
                                              {REG_SZ, REG_MULTI_SZ}, kAnyRegistryLength);
  std::vector<std::wstring> sids;
  if (!read.value) return sids;
  const std::wstring& units = read.value->units;
  for (size_t start = 0; start < units.size();) {
    const size_t end = std::min(units.find(L'\0', start), units.size());
    const std::wstring sid = AccountSid(units.substr(start, end - start));
    if (!sid.empty()) sids.push_back(sid);
    start = end + 1;
  }
  return sids;
}

std::vector<std::wstring> FolderWriters(PSECURITY_DESCRIPTOR descriptor, const std::vector<std::wstring>& trusted) {
  std::vector<std::wstring> writers;
  const auto add = [&writers, &trusted](const std::wstring& sid) {
    if (!sid.empty() && !IsOneOf(sid, kTrusted) && std::find(trusted.begin(), trusted.end(), sid) == trusted.end() &&
        std::find(writers.begin(), writers.end(), sid) == writers.end()) {
      writers.push_back(sid);
    }
  };
  PSID owner_sid = nullptr;
  BOOL defaulted = FALSE;
  GetSecurityDescriptorOwner(descriptor, &owner_sid, &defaulted);
  const std::wstring owner = SidText(owner_sid);
  BOOL present = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  // Without a DACL Windows lets everyone do everything.
  if (!present || dacl == nullptr) {
    add(kEveryone);
    return writers;
  }
  GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  bool owner_rights_named = false;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, index, reinterpret_cast<void**>(&header))) continue;
    // Deny entries are not weighed: whether one covers a given user turns on
    // group memberships the descriptor does not show, and a warning too many
    // is better than none.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) continue;
    const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    std::wstring sid = SidText(const_cast<DWORD*>(&ace->SidStart));
    if (sid == kOwnerRights) {
      owner_rights_named = true;
      sid = owner;
    }
    if (IsOneOf(sid, kCreators)) continue;
    ACCESS_MASK mask = ace->Mask;
    MapGenericMask(&mask, &mapping);
    ACCESS_MASK relevant = 0;
    if ((header->AceFlags & INHERIT_ONLY_ACE) == 0) relevant |= kFolderRights;
    if ((header->AceFlags & OBJECT_INHERIT_ACE) != 0) relevant |= kFileRights;
    if ((mask & relevant) != 0) add(sid);
  }
  // An owner may always change the permissions, unless an OWNER RIGHTS
  // entry says what it may do.
  if (!owner_rights_named) add(owner);
  return writers;
}

}  // namespace pelorin
