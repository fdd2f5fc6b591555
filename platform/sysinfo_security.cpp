// SIDs over Unix users and groups, tokens over process credentials, owners
// over stat, privileges over capabilities.
#include "platform/sysinfo_security.h"

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <strings.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fsops.h"
#include "platform/pathconv.h"
#include "platform/registry.h"
#include "platform/syserror.h"
#include "platform/sysinfo_exports.h"

namespace ps = platform::sysinfo;

const PrivilegeCapability kPrivilegeCapabilities[13] = {
    {"SeTakeOwnershipPrivilege", 9, CAP_CHOWN},
    {"SeRestorePrivilege", 18, CAP_DAC_OVERRIDE},
    {"SeBackupPrivilege", 17, CAP_DAC_READ_SEARCH},
    {"SeSecurityPrivilege", 8, CAP_AUDIT_CONTROL},
    {"SeAuditPrivilege", 21, CAP_AUDIT_WRITE},
    {"SeLockMemoryPrivilege", 4, CAP_IPC_LOCK},
    {"SeLoadDriverPrivilege", 10, CAP_SYS_MODULE},
    {"SeDebugPrivilege", 20, CAP_SYS_PTRACE},
    {"SeTcbPrivilege", 7, CAP_SYS_ADMIN},
    {"SeShutdownPrivilege", 19, CAP_SYS_BOOT},
    {"SeIncreaseBasePriorityPrivilege", 14, CAP_SYS_NICE},
    {"SeIncreaseQuotaPrivilege", 5, CAP_SYS_RESOURCE},
    {"SeSystemtimePrivilege", 12, CAP_SYS_TIME},
};

namespace {

constexpr size_t kSidHeader = 8;
constexpr BYTE kMaxSubAuthorities = 15;

using SidBytes = std::vector<BYTE>;

SidBytes makeSid(const SID_IDENTIFIER_AUTHORITY& authority, std::initializer_list<DWORD> subs) {
  SidBytes sid(kSidHeader + 4 * subs.size());
  sid[0] = 1;  // revision
  sid[1] = static_cast<BYTE>(subs.size());
  std::memcpy(sid.data() + 2, authority.Value, 6);
  size_t at = kSidHeader;
  for (DWORD s : subs) {
    std::memcpy(sid.data() + at, &s, 4);
    at += 4;
  }
  return sid;
}

SidBytes userSid(uid_t uid) {
  return makeSid(SECURITY_UNIX_AUTHORITY, {SECURITY_UNIX_USER_RID, static_cast<DWORD>(uid)});
}
SidBytes groupSid(gid_t gid) {
  return makeSid(SECURITY_UNIX_AUTHORITY, {SECURITY_UNIX_GROUP_RID, static_cast<DWORD>(gid)});
}
SidBytes adminsSid() {
  return makeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
}

bool sameSid(const BYTE* sid, const SidBytes& other) {
  return SysIsValidSid(const_cast<BYTE*>(sid)) && SysGetLengthSid(const_cast<BYTE*>(sid)) ==
                                                       other.size() &&
         std::memcmp(sid, other.data(), other.size()) == 0;
}

// A process's effective user and group and its supplementary groups.
struct Credentials {
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;
};

bool readCredentials(int pid, Credentials* out) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  if (!status) return false;
  std::string line;
  bool haveUid = false, haveGid = false;
  while (std::getline(status, line)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    unsigned long real, effective;
    if (key == "Uid:" && (fields >> real >> effective)) {
      out->uid = static_cast<uid_t>(effective);
      haveUid = true;
    } else if (key == "Gid:" && (fields >> real >> effective)) {
      out->gid = static_cast<gid_t>(effective);
      haveGid = true;
    } else if (key == "Groups:") {
      unsigned long g;
      while (fields >> g) out->groups.push_back(static_cast<gid_t>(g));
    }
  }
  return haveUid && haveGid;
}

std::string groupName(gid_t gid) {
  std::vector<char> buffer(4096);
  struct group entry, *found = nullptr;
  while (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
    buffer.resize(buffer.size() * 2);
  return found ? found->gr_name : std::string();
}

std::string userName(uid_t uid) {
  std::vector<char> buffer(4096);
  struct passwd entry, *found = nullptr;
  while (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
    buffer.resize(buffer.size() * 2);
  return found ? found->pw_name : std::string();
}

// The groups a token lists: the effective group, the supplementary groups,
// then the administrators' group when the process may act as root.
std::vector<SidBytes> tokenGroups(const Credentials& c) {
  std::vector<gid_t> gids{c.gid};
  for (gid_t g : c.groups)
    if (std::find(gids.begin(), gids.end(), g) == gids.end()) gids.push_back(g);
  bool admin = c.uid == 0;
  std::vector<SidBytes> sids;
  for (gid_t g : gids) {
    const std::string name = groupName(g);
    if (name == "sudo" || name == "wheel" || name == "admin") admin = true;
    sids.push_back(groupSid(g));
  }
  if (admin) sids.push_back(adminsSid());
  return sids;
}

// The credentials behind a token that may be queried; false with the last
// error set.
bool queryCredentials(const ps::KernelObject& token, Credentials* c) {
  if (!(token.access & TOKEN_QUERY)) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return false;
  }
  if (!readCredentials(token.pid, c)) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);  // the process has gone
    return false;
  }
  return true;
}

bool tokenOf(HANDLE token, ps::KernelObject* object) {
  if (!ps::FindKernelObject(token, object) || object->kind != ps::KernelObject::Token) {
    SysSetLastError(SYS_ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

// One block holding the owner's and the group's SIDs.
DWORD describe(uid_t uid, gid_t gid, PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
               PSECURITY_DESCRIPTOR* descriptor) {
  const SidBytes o = userSid(uid), g = groupSid(gid);
  auto* block = static_cast<BYTE*>(std::malloc(o.size() + g.size()));
  if (!block) return 8;  // not enough memory
  std::memcpy(block, o.data(), o.size());
  std::memcpy(block + o.size(), g.data(), g.size());
  if (owner) *owner = block;
  if (group) *group = block + o.size();
  if (dacl) *dacl = nullptr;
  if (sacl) *sacl = nullptr;
  *descriptor = block;
  return 0;
}

// The registry key of a name such as "MACHINE\Software\X": 0 when it exists.
DWORD registryKeyExists(const char* name) {
  static const struct {
    const char* root;
    HKEY key;
  } roots[] = {{"CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"CURRENT_USER", HKEY_CURRENT_USER},
               {"MACHINE", HKEY_LOCAL_MACHINE},     {"USERS", HKEY_USERS},
               {"CONFIG", HKEY_CURRENT_CONFIG}};
  const char* slash = std::strchr(name, '\\');
  const size_t rootLen = slash ? static_cast<size_t>(slash - name) : std::strlen(name);
  for (const auto& r : roots) {
    if (rootLen != std::strlen(r.root) || strncasecmp(name, r.root, rootLen) != 0) continue;
    HKEY key;
    const LONG rc = RegOpenKeyExA(r.key, slash ? slash + 1 : "", 0, KEY_READ, &key);
    if (rc == ERROR_SUCCESS) RegCloseKey(key);
    return static_cast<DWORD>(rc);
  }
  return SYS_ERROR_NOT_FOUND;
}

DWORD namedSecurityInfo(const char* name, int objectType, PSID* owner, PSID* group, PACL* dacl,
                        PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
  struct stat st;
  if (objectType == SE_FILE_OBJECT) {
    if (!name[0]) return SYS_ERROR_PATH_NOT_FOUND;
    if (stat(name, &st) != 0) return SysErrorFromErrno(errno, name);
    return describe(st.st_uid, st.st_gid, owner, group, dacl, sacl, descriptor);
  }
  if (objectType == SE_REGISTRY_KEY) {
    const DWORD rc = registryKeyExists(name);
    if (rc != 0) return rc;
    // Every key lives in the one store file, so its owner owns them all.
    if (stat(platform::RegistryStoreFile().c_str(), &st) == 0)
      return describe(st.st_uid, st.st_gid, owner, group, dacl, sacl, descriptor);
    return describe(geteuid(), getegid(), owner, group, dacl, sacl, descriptor);
  }
  return SYS_ERROR_INVALID_PARAMETER;
}

DWORD securityArguments(DWORD securityInfo, PSECURITY_DESCRIPTOR* descriptor) {
  if (!descriptor) return SYS_ERROR_INVALID_PARAMETER;
  *descriptor = nullptr;
  if (securityInfo & ~(OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION))
    return SYS_ERROR_INVALID_PARAMETER;
  return 0;
}

// capget and capset on the calling thread.
struct Capabilities {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};

  bool get() { return syscall(SYS_capget, &header, data) == 0; }
  bool set() { return syscall(SYS_capset, &header, data) == 0; }
  bool permitted(int cap) const { return data[cap / 32].permitted & (1u << (cap % 32)); }
  void effective(int cap, bool on) {
    if (on) data[cap / 32].effective |= 1u << (cap % 32);
    else data[cap / 32].effective &= ~(1u << (cap % 32));
  }
};

const PrivilegeCapability* privilegeByLuid(const LUID& luid) {
  for (const PrivilegeCapability& p : kPrivilegeCapabilities)
    if (luid.HighPart == 0 && luid.LowPart == p.luid) return &p;
  return nullptr;
}

template <typename Char>
BOOL lookupAccountSid(bool localSystem, PSID sid, Char* name, DWORD* nameSize, Char* domain,
                      DWORD* domainSize, int* use) {
  if (!localSystem) {
    SysSetLastError(SYS_ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (!nameSize || !domainSize || !SysIsValidSid(sid)) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* bytes = static_cast<const BYTE*>(sid);
  std::string account, where;
  int kind = 0;
  DWORD subs[2] = {0, 0};
  if (bytes[1] == 2) std::memcpy(subs, bytes + kSidHeader, 8);
  if (sameSid(bytes, adminsSid())) {
    account = "Administrators";
    where = "BUILTIN";
    kind = SidTypeAlias;
  } else if (bytes[1] == 2 && std::memcmp(bytes + 2, SECURITY_UNIX_AUTHORITY.Value, 6) == 0 &&
             (subs[0] == SECURITY_UNIX_USER_RID || subs[0] == SECURITY_UNIX_GROUP_RID)) {
    const bool isUser = subs[0] == SECURITY_UNIX_USER_RID;
    account = isUser ? userName(static_cast<uid_t>(subs[1])) : groupName(static_cast<gid_t>(subs[1]));
    const std::string host = ps::HostName();
    where = host.substr(0, host.find('.'));
    kind = isUser ? SidTypeUser : SidTypeGroup;
  }
  if (account.empty()) {
    SysSetLastError(SYS_ERROR_NONE_MAPPED);
    return FALSE;
  }
  std::basic_string<Char> a, d;
  if constexpr (sizeof(Char) == 1) {
    a = account;
    d = where;
  } else {
    a = ps::Utf8ToUtf16(account);
    d = ps::Utf8ToUtf16(where);
  }
  if (!name || *nameSize <= a.size() || !domain || *domainSize <= d.size()) {
    *nameSize = static_cast<DWORD>(a.size() + 1);
    *domainSize = static_cast<DWORD>(d.size() + 1);
    SysSetLastError(SYS_ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  ps::CopyOut(a, name, nameSize, SYS_ERROR_INSUFFICIENT_BUFFER);
  ps::CopyOut(d, domain, domainSize, SYS_ERROR_INSUFFICIENT_BUFFER);
  if (use) *use = kind;
  return TRUE;
}

}  // namespace

// --- SIDs -------------------------------------------------------------------

BOOL SysAllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count,
                                 DWORD s0, DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5,
                                 DWORD s6, DWORD s7, PSID* sid) {
  if (!sid || !authority || count < 1 || count > 8) {
    if (sid) *sid = nullptr;
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
  auto* block = static_cast<BYTE*>(std::malloc(kSidHeader + 4u * count));
  if (!block) {
    *sid = nullptr;
    SysSetLastError(8);  // not enough memory
    return FALSE;
  }
  block[0] = 1;
  block[1] = count;
  std::memcpy(block + 2, authority->Value, 6);
  std::memcpy(block + kSidHeader, subs, 4u * count);
  *sid = block;
  return TRUE;
}

void* SysFreeSid(PSID sid) {
  std::free(sid);
  return nullptr;
}

BOOL SysIsValidSid(PSID sid) {
  const auto* b = static_cast<const BYTE*>(sid);
  return b && b[0] == 1 && b[1] <= kMaxSubAuthorities;
}

DWORD SysGetLengthSid(PSID sid) {
  return SysIsValidSid(sid) ? static_cast<DWORD>(kSidHeader + 4u * static_cast<BYTE*>(sid)[1])
                            : 0;
}

BOOL SysEqualSid(PSID a, PSID b) {
  if (!SysIsValidSid(a) || !SysIsValidSid(b)) return FALSE;
  const DWORD n = SysGetLengthSid(a);
  return n == SysGetLengthSid(b) && std::memcmp(a, b, n) == 0;
}

// --- tokens -----------------------------------------------------------------

BOOL SysOpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  ps::KernelObject object;
  if (!token) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *token = nullptr;
  if (!ps::FindKernelObject(process, &object) || object.kind != ps::KernelObject::Process) {
    SysSetLastError(SYS_ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Credentials c;
  if (!readCredentials(object.pid, &c)) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *token = ps::AddKernelObject(ps::KernelObject{ps::KernelObject::Token, object.pid, access});
  return TRUE;
}

BOOL SysGetTokenInformation(HANDLE token, int infoClass, void* info, DWORD size,
                            DWORD* returnLength) {
  ps::KernelObject object;
  if (!tokenOf(token, &object)) return FALSE;
  if (!returnLength || infoClass != TokenGroups) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Credentials c;
  if (!queryCredentials(object, &c)) return FALSE;
  const std::vector<SidBytes> sids = tokenGroups(c);
  const size_t head = offsetof(TOKEN_GROUPS, Groups) + sids.size() * sizeof(SID_AND_ATTRIBUTES);
  size_t need = head;
  for (const SidBytes& s : sids) need += s.size();
  *returnLength = static_cast<DWORD>(need);
  if (!info || size < need) {
    SysSetLastError(SYS_ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* groups = static_cast<TOKEN_GROUPS*>(info);
  auto* bytes = static_cast<BYTE*>(info);
  groups->GroupCount = static_cast<DWORD>(sids.size());
  SID_AND_ATTRIBUTES* entries = groups->Groups;  // as many as there are groups
  size_t at = head;
  for (size_t i = 0; i < sids.size(); ++i) {
    std::memcpy(bytes + at, sids[i].data(), sids[i].size());
    entries[i].Sid = bytes + at;
    entries[i].Attributes = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT |
                                   SE_GROUP_ENABLED;
    at += sids[i].size();
  }
  return TRUE;
}

namespace platform::sysinfo {

BOOL CheckTokenMembership(HANDLE token, void* sid, BOOL* isMember) {
  KernelObject object{KernelObject::Token, static_cast<int>(getpid()), TOKEN_QUERY};
  if (token && !tokenOf(token, &object)) return FALSE;
  if (!isMember || !SysIsValidSid(sid)) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Credentials c;
  if (!queryCredentials(object, &c)) return FALSE;
  const auto* wanted = static_cast<const BYTE*>(sid);
  *isMember = sameSid(wanted, userSid(c.uid));
  for (const SidBytes& s : tokenGroups(c))
    if (sameSid(wanted, s)) *isMember = TRUE;
  return TRUE;
}

}  // namespace platform::sysinfo

// --- owners -----------------------------------------------------------------

DWORD SysGetSecurityInfo(HANDLE handle, int objectType, DWORD securityInfo, PSID* owner,
                         PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
  if (DWORD rc = securityArguments(securityInfo, descriptor)) return rc;
  ps::KernelObject object;
  if (objectType != SE_KERNEL_OBJECT) return SYS_ERROR_INVALID_PARAMETER;
  if (!ps::FindKernelObject(handle, &object)) return SYS_ERROR_INVALID_HANDLE;
  if (!(object.access & READ_CONTROL)) return SYS_ERROR_ACCESS;
  Credentials c;
  if (!readCredentials(object.pid, &c)) return SYS_ERROR_INVALID_HANDLE;  // gone
  return describe(c.uid, c.gid, owner, group, dacl, sacl, descriptor);
}

DWORD SysGetNamedSecurityInfoA(const char* name, int objectType, DWORD securityInfo,
                               PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                               PSECURITY_DESCRIPTOR* descriptor) {
  if (DWORD rc = securityArguments(securityInfo, descriptor)) return rc;
  if (!name) return SYS_ERROR_INVALID_PARAMETER;
  return namedSecurityInfo(name, objectType, owner, group, dacl, sacl, descriptor);
}

DWORD SysGetNamedSecurityInfoW(const wchar16* name, int objectType, DWORD securityInfo,
                               PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                               PSECURITY_DESCRIPTOR* descriptor) {
  if (DWORD rc = securityArguments(securityInfo, descriptor)) return rc;
  if (!name) return SYS_ERROR_INVALID_PARAMETER;
  std::string utf8;
  // A name with a lone surrogate has no spelling on this system.
  if (!PathToUtf8(name, utf8)) return SYS_ERROR_NOT_FOUND;
  return namedSecurityInfo(utf8.c_str(), objectType, owner, group, dacl, sacl, descriptor);
}

void* SysLocalFree(void* block) {
  std::free(block);
  return nullptr;
}

BOOL SysLookupAccountSidA(const char* systemName, PSID sid, char* name, DWORD* nameSize,
                          char* domain, DWORD* domainSize, int* use) {
  return lookupAccountSid(!systemName || !systemName[0], sid, name, nameSize, domain,
                          domainSize, use);
}

BOOL SysLookupAccountSidW(const wchar16* systemName, PSID sid, wchar16* name, DWORD* nameSize,
                          wchar16* domain, DWORD* domainSize, int* use) {
  return lookupAccountSid(!systemName || !systemName[0], sid, name, nameSize, domain,
                          domainSize, use);
}

// --- privileges -------------------------------------------------------------

BOOL SysLookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) {
  if (systemName && systemName[0]) {
    SysSetLastError(SYS_ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (!name || !luid) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (const PrivilegeCapability& p : kPrivilegeCapabilities)
    if (strcasecmp(name, p.name) == 0) {
      *luid = LUID{p.luid, 0};
      return TRUE;
    }
  SysSetLastError(SYS_ERROR_NO_SUCH_PRIVILEGE);
  return FALSE;
}

BOOL SysAdjustTokenPrivileges(HANDLE token, BOOL disableAll, const TOKEN_PRIVILEGES* newState,
                              DWORD, TOKEN_PRIVILEGES* previous, DWORD* returnLength) {
  ps::KernelObject object;
  if (returnLength) *returnLength = 0;
  if (!tokenOf(token, &object)) return FALSE;
  if (previous || (!disableAll && !newState)) {
    SysSetLastError(SYS_ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!(object.access & TOKEN_ADJUST_PRIVILEGES) || object.pid != getpid()) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return FALSE;
  }
  Capabilities caps;
  if (!caps.get()) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return FALSE;
  }
  bool notAll = false;
  if (disableAll) {
    for (const PrivilegeCapability& p : kPrivilegeCapabilities) caps.effective(p.capability, false);
  } else {
    const LUID_AND_ATTRIBUTES* entries = newState->Privileges;  // PrivilegeCount of them
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& entry = entries[i];
      const PrivilegeCapability* p = privilegeByLuid(entry.Luid);
      if (!p) {
        SysSetLastError(SYS_ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
      }
      const bool enable = entry.Attributes & SE_PRIVILEGE_ENABLED;
      if (enable && !caps.permitted(p->capability)) notAll = true;
      else caps.effective(p->capability, enable);
    }
  }
  if (!caps.set()) {
    SysSetLastError(SYS_ERROR_ACCESS);
    return FALSE;
  }
  SysSetLastError(notAll ? SYS_ERROR_NOT_ALL_ASSIGNED : 0);
  return TRUE;
}
