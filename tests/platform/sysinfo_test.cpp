#include "platform/sysinfo.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/screen.h"
#include "platform/sysinfo_gdi.h"
#include "platform/sysinfo_security.h"

namespace {

// Output of a shell command without its trailing newline.
std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string selfExe() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string hostName() {
  char buf[256] = {};
  gethostname(buf, sizeof buf - 1);
  return buf;
}

class StandInModules : public ::testing::Test {
 protected:
  void TearDown() override { platform::ResetStandInModules(); }
};

// --- last error and modules -------------------------------------------------

TEST(SysLastError, BelongsToTheCallingThread) {
  SysSetLastError(87);
  DWORD seen = 1;
  std::thread other([&] {
    seen = SysGetLastError();
    SysSetLastError(5);
  });
  other.join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(SysGetLastError(), 87u);
}

TEST_F(StandInModules, KernelIsLoadedOthersOnlyAfterLoading) {
  EXPECT_NE(SysGetModuleHandleA("KERNEL32"), nullptr);
  EXPECT_EQ(SysGetModuleHandleA("kernel32.dll"), SysGetModuleHandleA("Kernel32"));
  EXPECT_EQ(SysGetModuleHandleA("NETAPI32"), nullptr);
  EXPECT_EQ(SysGetLastError(), 126u);
  HMODULE netapi = SysLoadLibraryA("netapi32.DLL");
  ASSERT_NE(netapi, nullptr);
  EXPECT_EQ(SysLoadLibraryA("NETAPI32"), netapi);
  EXPECT_EQ(platform::StandInModuleLoadCount("netapi32"), 2);
  EXPECT_EQ(SysGetModuleHandleA("NetApi32.dll"), netapi);
  EXPECT_TRUE(SysFreeLibrary(netapi));
  EXPECT_TRUE(SysFreeLibrary(netapi));
  EXPECT_FALSE(SysFreeLibrary(netapi));
  EXPECT_EQ(SysGetModuleHandleA("NETAPI32"), nullptr);
  // The kernel library stays however often it is freed.
  EXPECT_TRUE(SysFreeLibrary(SysGetModuleHandleA("KERNEL32")));
  EXPECT_NE(SysGetModuleHandleA("KERNEL32"), nullptr);
}

TEST_F(StandInModules, HasNoAntialiasingLibrary) {
  EXPECT_EQ(SysLoadLibraryA("gdiplus.dll"), nullptr);
  EXPECT_EQ(SysGetLastError(), 126u);
  EXPECT_EQ(SysLoadLibraryA(nullptr), nullptr);
}

TEST_F(StandInModules, EntryPointsAreFoundByExactName) {
  HMODULE k = SysGetModuleHandleA("KERNEL32");
  struct Case {
    HMODULE module;
    const char* name;
    bool found;
  } cases[] = {
      {k, "IsWow64Process", true},
      {k, "Wow64DisableWow64FsRedirection", true},
      {k, "Wow64EnableWow64FsRedirection", true},
      {k, "Wow64RevertWow64FsRedirection", true},
      {k, "GetComputerNameExA", true},
      {k, "GetComputerNameExW", true},
      {k, "QueryFullProcessImageNameA", true},
      {k, "QueryFullProcessImageNameW", true},
      {k, "iswow64process", false},
      {k, "CheckTokenMembership", false},
      {k, "", false},
      {SysLoadLibraryA("ADVAPI32"), "CheckTokenMembership", true},
      {SysLoadLibraryA("NETAPI32"), "NetWkstaGetInfo", true},
      {SysLoadLibraryA("NETAPI32"), "NetApiBufferFree", true},
      {SysLoadLibraryA("PSAPI"), "GetModuleFileNameExA", true},
      {SysLoadLibraryA("PSAPI"), "GetModuleFileNameExW", true},
      {nullptr, "IsWow64Process", false},
  };
  for (const Case& c : cases) {
    SysSetLastError(0);
    FARPROC p = SysGetProcAddress(c.module, c.name);
    EXPECT_EQ(p != nullptr, c.found) << c.name;
    if (!c.found) {
      EXPECT_EQ(SysGetLastError(), c.module ? 127u : 126u) << c.name;
    }
  }
}

void fakeEntry() {}

TEST_F(StandInModules, TestsReplaceRemoveAndAddModules) {
  HMODULE k = SysGetModuleHandleA("KERNEL32");
  platform::SetStandInExport("KERNEL32", "IsWow64Process", nullptr);
  EXPECT_EQ(SysGetProcAddress(k, "IsWow64Process"), nullptr);
  platform::SetStandInExport("kernel32.dll", "IsWow64Process", &fakeEntry);
  EXPECT_EQ(SysGetProcAddress(k, "IsWow64Process"), &fakeEntry);
  platform::SetStandInExport("gdiplus.dll", "GdiplusStartup", &fakeEntry);
  HMODULE g = SysLoadLibraryA("GDIPLUS");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(SysGetProcAddress(g, "GdiplusStartup"), &fakeEntry);
  SysFreeLibrary(g);
  platform::SetStandInModuleMissing("PSAPI", true);
  EXPECT_EQ(SysLoadLibraryA("PSAPI"), nullptr);
  platform::ResetStandInModules();
  EXPECT_NE(SysGetProcAddress(k, "IsWow64Process"), &fakeEntry);
  EXPECT_EQ(SysLoadLibraryA("gdiplus"), nullptr);
  EXPECT_NE(SysLoadLibraryA("PSAPI"), nullptr);
}

// --- versions ---------------------------------------------------------------

// The first three numbers of uname(2)'s release.
void peerKernelVersion(DWORD v[3]) {
  struct utsname u;
  ASSERT_EQ(uname(&u), 0);
  v[0] = v[1] = v[2] = 0;
  unsigned a = 0, b = 0, c = 0;
  const int n = sscanf(u.release, "%u.%u.%u", &a, &b, &c);
  if (n >= 1) v[0] = a;
  if (n >= 2) v[1] = b;
  if (n >= 3) v[2] = c;
}

TEST(SysVersion, KernelVersionResourceHasTheVersionInfoLayout) {
  DWORD v[3];
  peerKernelVersion(v);
  DWORD size = 0;
  const auto* r = static_cast<const BYTE*>(
      SysLoadModuleResource(SysGetModuleHandleA("KERNEL32"), SYS_RT_VERSION, 1, &size));
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(size, 92u);
  auto word = [&](size_t at) { return static_cast<WORD>(r[at] | r[at + 1] << 8); };
  auto dword = [&](size_t at) { return static_cast<DWORD>(word(at) | word(at + 2) << 16); };
  EXPECT_EQ(word(0), 92);
  EXPECT_EQ(word(2), 52);
  EXPECT_EQ(word(4), 0);
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i < sizeof key; ++i) EXPECT_EQ(word(6 + 2 * i), key[i]) << i;
  EXPECT_EQ(dword(40), 0xFEEF04BDu);
  EXPECT_EQ(dword(44), 0x00010000u);
  EXPECT_EQ(dword(48), v[0] << 16 | v[1]);
  EXPECT_EQ(dword(52), v[2] << 16);
  EXPECT_EQ(dword(56), v[0] << 16 | v[1]);
  EXPECT_EQ(dword(60), v[2] << 16);
  EXPECT_EQ(SysLoadModuleResource(SysGetModuleHandleA("KERNEL32"), SYS_RT_VERSION, 2, &size),
            nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(SysGetLastError(), 1814u);
}

TEST(SysVersion, VersionBlockGivesTheKernelRelease) {
  DWORD v[3];
  peerKernelVersion(v);
  OSVERSIONINFOA info;
  std::memset(&info, 0xCC, sizeof info);
  info.dwOSVersionInfoSize = 148;
  ASSERT_TRUE(SysGetVersionExA(&info));
  EXPECT_EQ(info.dwMajorVersion, v[0]);
  EXPECT_EQ(info.dwMinorVersion, v[1]);
  EXPECT_EQ(info.dwBuildNumber, v[2]);
  EXPECT_EQ(info.dwPlatformId, 2u);
  EXPECT_EQ(std::string(info.szCSDVersion), run("uname -r"));
  info.dwOSVersionInfoSize = 156;
  EXPECT_FALSE(SysGetVersionExA(&info));
  EXPECT_EQ(SysGetLastError(), 87u);
  EXPECT_FALSE(SysGetVersionExA(nullptr));
}

// --- processes --------------------------------------------------------------

TEST(SysProcess, OpensExistingProcessesOnly) {
  HANDLE self = SysOpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, getpid());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(SysGetCurrentProcessId(), static_cast<DWORD>(getpid()));
  EXPECT_TRUE(SysCloseHandle(self));
  EXPECT_FALSE(SysCloseHandle(self));
  EXPECT_EQ(SysGetLastError(), 6u);
  EXPECT_TRUE(SysCloseHandle(SysGetCurrentProcess()));
  for (DWORD pid : {0u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
    SysSetLastError(0);
    EXPECT_EQ(SysOpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid), nullptr) << pid;
    EXPECT_EQ(SysGetLastError(), 87u) << pid;
  }
  EXPECT_EQ(SysOpenProcess(0, FALSE, getpid()), nullptr);
}

TEST(SysProcess, ImageNameFitsWithItsTerminatorOrNotAtAll) {
  const std::string exe = selfExe();
  ASSERT_FALSE(exe.empty());
  auto query = reinterpret_cast<QueryFullProcessImageNameAProc>(
      SysGetProcAddress(SysGetModuleHandleA("KERNEL32"), "QueryFullProcessImageNameA"));
  std::vector<char> buf(exe.size() + 8, 'x');
  DWORD size = static_cast<DWORD>(exe.size() + 1);
  ASSERT_TRUE(query(SysGetCurrentProcess(), 0, buf.data(), &size));
  EXPECT_EQ(size, exe.size());
  EXPECT_EQ(std::string(buf.data()), exe);
  size = static_cast<DWORD>(exe.size());
  EXPECT_FALSE(query(SysGetCurrentProcess(), 0, buf.data(), &size));
  EXPECT_EQ(SysGetLastError(), 122u);
  EXPECT_EQ(size, exe.size() + 1);
  size = 10;
  EXPECT_FALSE(query(reinterpret_cast<HANDLE>(0x1234), 0, buf.data(), &size));
  EXPECT_EQ(SysGetLastError(), 6u);
}

TEST(SysProcess, ModuleFileNameIsCutAsTheSystemCutsIt) {
  const std::string exe = selfExe();
  auto name = reinterpret_cast<GetModuleFileNameExAProc>(
      SysGetProcAddress(SysLoadLibraryA("PSAPI"), "GetModuleFileNameExA"));
  auto nameW = reinterpret_cast<GetModuleFileNameExWProc>(
      SysGetProcAddress(SysLoadLibraryA("PSAPI"), "GetModuleFileNameExW"));
  std::vector<char> buf(exe.size() + 8, 'x');
  EXPECT_EQ(name(SysGetCurrentProcess(), nullptr, buf.data(), static_cast<DWORD>(exe.size() + 1)),
            exe.size());
  EXPECT_EQ(std::string(buf.data()), exe);
  SysSetLastError(0);
  const DWORD cut = static_cast<DWORD>(exe.size());
  EXPECT_EQ(name(SysGetCurrentProcess(), nullptr, buf.data(), cut), cut);
  EXPECT_EQ(std::string(buf.data()), exe.substr(0, exe.size() - 1));
  EXPECT_EQ(SysGetLastError(), 122u);
  std::vector<wchar16> wide(exe.size() + 1);
  EXPECT_EQ(nameW(SysGetCurrentProcess(), nullptr, wide.data(), static_cast<DWORD>(wide.size())),
            exe.size());
  for (size_t i = 0; i < exe.size(); ++i)  // the build path is ASCII
    EXPECT_EQ(wide[i], static_cast<unsigned char>(exe[i])) << i;
  EXPECT_EQ(name(SysGetCurrentProcess(), reinterpret_cast<HMODULE>(16), buf.data(), 100), 0u);
  EXPECT_EQ(name(SysGetCurrentProcess(), nullptr, nullptr, 100), 0u);
  SysFreeLibrary(SysGetModuleHandleA("PSAPI"));
  SysFreeLibrary(SysGetModuleHandleA("PSAPI"));
}

TEST(SysProcess, NativeProcessIsNoWow64Guest) {
  auto isWow64 = reinterpret_cast<IsWow64ProcessProc>(
      SysGetProcAddress(SysGetModuleHandleA("KERNEL32"), "IsWow64Process"));
  BOOL wow64 = 7;
  ASSERT_TRUE(isWow64(SysGetCurrentProcess(), &wow64));
  // A 64-bit test program is native; a 32-bit one on a 64-bit kernel is a guest.
  const bool kernel64 = run("uname -m").find("64") != std::string::npos;
  EXPECT_EQ(wow64 != FALSE, sizeof(void*) == 4 && kernel64);
  EXPECT_FALSE(isWow64(reinterpret_cast<HANDLE>(0x1234), &wow64));
}

// --- computer names ---------------------------------------------------------

TEST(SysComputerName, KindsFollowTheHostName) {
  auto getName = reinterpret_cast<GetComputerNameExAProc>(
      SysGetProcAddress(SysGetModuleHandleA("KERNEL32"), "GetComputerNameExA"));
  const std::string host = hostName();
  const std::string shortName = host.substr(0, host.find('.'));
  std::string netbios = shortName.substr(0, 15);
  for (char& c : netbios) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  const std::string fqdn = run("hostname -f");
  const size_t dot = fqdn.find('.');
  const std::string domain = dot == std::string::npos ? "" : fqdn.substr(dot + 1);
  const std::string expected[8] = {netbios, shortName, domain, fqdn,
                                   netbios, shortName, domain, fqdn};
  for (int format = 0; format < 8; ++format) {
    char buf[300];
    DWORD size = sizeof buf;
    ASSERT_TRUE(getName(format, buf, &size)) << format;
    EXPECT_EQ(std::string(buf), expected[format]) << format;
    EXPECT_EQ(size, expected[format].size()) << format;
    // One too small: the size needed, terminator included.
    size = static_cast<DWORD>(expected[format].size());
    EXPECT_FALSE(getName(format, buf, &size));
    EXPECT_EQ(SysGetLastError(), 234u);
    EXPECT_EQ(size, expected[format].size() + 1);
  }
  DWORD size = 100;
  char buf[100];
  EXPECT_FALSE(getName(8, buf, &size));
  EXPECT_EQ(SysGetLastError(), 87u);
  EXPECT_FALSE(getName(-1, buf, &size));
  EXPECT_FALSE(getName(0, buf, nullptr));
}

TEST(SysComputerName, WorkstationAnswerNamesTheNisDomainAsWorkgroup) {
  HMODULE netapi = SysLoadLibraryA("NETAPI32");
  auto get = reinterpret_cast<NetWkstaGetInfoProc>(SysGetProcAddress(netapi, "NetWkstaGetInfo"));
  auto release =
      reinterpret_cast<NetApiBufferFreeProc>(SysGetProcAddress(netapi, "NetApiBufferFree"));
  BYTE* raw = nullptr;
  ASSERT_EQ(get(nullptr, 100, &raw), 0u);
  const auto* info = reinterpret_cast<const WKSTA_INFO_100*>(raw);
  EXPECT_EQ(info->wki100_platform_id, 500u);
  std::ifstream domainFile("/proc/sys/kernel/domainname");
  std::string nis;
  std::getline(domainFile, nis);
  if (nis == "(none)" || nis.empty()) {
    EXPECT_EQ(info->wki100_langroup, nullptr);
  } else {
    ASSERT_NE(info->wki100_langroup, nullptr);
    EXPECT_EQ(std::u16string(info->wki100_langroup), std::u16string(nis.begin(), nis.end()));
  }
  std::string host = hostName();
  host = host.substr(0, host.find('.')).substr(0, 15);
  for (char& c : host) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(std::u16string(info->wki100_computername), std::u16string(host.begin(), host.end()));
  EXPECT_EQ(release(raw), 0u);
  EXPECT_EQ(get(nullptr, 101, &raw), 124u);
  EXPECT_EQ(raw, nullptr);
  wchar16 server[] = u"OTHER";
  EXPECT_EQ(get(server, 100, &raw), 50u);
  SysFreeLibrary(netapi);
}

// --- SIDs and tokens --------------------------------------------------------

TEST(SysSecurity, SidsHaveThePublishedByteLayout) {
  PSID sid = nullptr;
  ASSERT_TRUE(SysAllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, 32, 544, 0, 0, 0, 0, 0, 0,
                                          &sid));
  const BYTE expected[] = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 0x02, 0, 0};
  ASSERT_EQ(SysGetLengthSid(sid), sizeof expected);
  EXPECT_EQ(std::memcmp(sid, expected, sizeof expected), 0);
  PSID same = nullptr, other = nullptr;
  SysAllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, 32, 544, 0, 0, 0, 0, 0, 0, &same);
  SysAllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, 32, 545, 0, 0, 0, 0, 0, 0, &other);
  EXPECT_TRUE(SysEqualSid(sid, same));
  EXPECT_FALSE(SysEqualSid(sid, other));
  EXPECT_FALSE(SysEqualSid(sid, nullptr));
  for (BYTE count : {0, 9}) {
    PSID bad = reinterpret_cast<PSID>(1);
    EXPECT_FALSE(SysAllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, count, 1, 2, 3, 4, 5, 6, 7,
                                             8, &bad));
    EXPECT_EQ(bad, nullptr);
    EXPECT_EQ(SysGetLastError(), 87u);
  }
  SysFreeSid(sid);
  SysFreeSid(same);
  SysFreeSid(other);
}

// The gids and names `id` reports, and whether the process may act as root.
struct PeerIdentity {
  std::vector<unsigned> gids;
  bool admin;
};

PeerIdentity peerIdentity() {
  PeerIdentity p;
  std::istringstream gids(run("id -G"));
  unsigned g;
  while (gids >> g) p.gids.push_back(g);
  std::istringstream names(run("id -Gn"));
  std::string name;
  p.admin = run("id -u") == "0";
  while (names >> name) p.admin |= name == "sudo" || name == "wheel" || name == "admin";
  return p;
}

TEST(SysSecurity, TokenListsTheGroupsIdReports) {
  const PeerIdentity peer = peerIdentity();
  HANDLE token = nullptr;
  ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD need = 0;
  EXPECT_FALSE(SysGetTokenInformation(token, TokenGroups, nullptr, 0, &need));
  EXPECT_EQ(SysGetLastError(), 122u);
  std::vector<uint64_t> buf((need + 7) / 8);
  // One byte short fails; the exact size succeeds.
  EXPECT_FALSE(SysGetTokenInformation(token, TokenGroups, buf.data(), need - 1, &need));
  ASSERT_TRUE(SysGetTokenInformation(token, TokenGroups, buf.data(), need, &need));
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buf.data());
  const SID_AND_ATTRIBUTES* entry = groups->Groups;
  std::vector<unsigned> gids;
  bool admin = false;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const auto* s = static_cast<const BYTE*>(entry[i].Sid);
    EXPECT_EQ(entry[i].Attributes, 7u);
    DWORD sub[2];
    std::memcpy(sub, s + 8, 8);
    if (s[7] == 22 && sub[0] == 2) gids.push_back(sub[1]);
    else if (s[7] == 5 && sub[0] == 32 && sub[1] == 544) admin = true;
    else ADD_FAILURE() << "unexpected SID";
  }
  std::sort(gids.begin(), gids.end());
  std::vector<unsigned> expected = peer.gids;
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(gids, expected);
  EXPECT_EQ(admin, peer.admin);
  EXPECT_FALSE(SysGetTokenInformation(token, 1, buf.data(), need, &need));
  EXPECT_EQ(SysGetLastError(), 87u);
  EXPECT_TRUE(SysCloseHandle(token));

  ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), READ_CONTROL, &token));
  EXPECT_FALSE(SysGetTokenInformation(token, TokenGroups, buf.data(), need, &need));
  EXPECT_EQ(SysGetLastError(), 5u);
  SysCloseHandle(token);
  EXPECT_FALSE(SysOpenProcessToken(reinterpret_cast<HANDLE>(0x77), TOKEN_QUERY, &token));
  EXPECT_EQ(token, nullptr);
  EXPECT_EQ(SysGetLastError(), 6u);
}

TEST(SysSecurity, AccountNamesComeFromTheUserDatabase) {
  PSID user = nullptr;
  const DWORD uid = static_cast<DWORD>(geteuid());
  ASSERT_TRUE(SysAllocateAndInitializeSid(&SECURITY_UNIX_AUTHORITY, 2, 1, uid, 0, 0, 0, 0, 0, 0,
                                          &user));
  const std::string name = run("id -un");
  std::string host = hostName();
  host = host.substr(0, host.find('.'));
  DWORD nameSize = 0, domainSize = 0;
  int use = 0;
  EXPECT_FALSE(SysLookupAccountSidA(nullptr, user, nullptr, &nameSize, nullptr, &domainSize, &use));
  EXPECT_EQ(SysGetLastError(), 122u);
  EXPECT_EQ(nameSize, name.size() + 1);
  EXPECT_EQ(domainSize, host.size() + 1);
  std::vector<char> a(nameSize), d(domainSize);
  DWORD shortName = nameSize - 1;
  EXPECT_FALSE(SysLookupAccountSidA("", user, a.data(), &shortName, d.data(), &domainSize, &use));
  EXPECT_EQ(shortName, nameSize);
  ASSERT_TRUE(SysLookupAccountSidA("", user, a.data(), &nameSize, d.data(), &domainSize, &use));
  EXPECT_EQ(std::string(a.data()), name);
  EXPECT_EQ(std::string(d.data()), host);
  EXPECT_EQ(nameSize, name.size());
  EXPECT_EQ(use, SidTypeUser);
  EXPECT_FALSE(SysLookupAccountSidA("REMOTE", user, a.data(), &nameSize, d.data(), &domainSize,
                                    &use));
  EXPECT_EQ(SysGetLastError(), 50u);
  SysFreeSid(user);

  PSID unmapped = nullptr;
  SysAllocateAndInitializeSid(&SECURITY_UNIX_AUTHORITY, 2, 1, 0x7FFFFF00, 0, 0, 0, 0, 0, 0,
                              &unmapped);
  DWORD n = 0, m = 0;
  EXPECT_FALSE(SysLookupAccountSidA(nullptr, unmapped, nullptr, &n, nullptr, &m, &use));
  EXPECT_EQ(SysGetLastError(), 1332u);
  SysFreeSid(unmapped);

  PSID admins = nullptr;
  SysAllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins);
  wchar16 wa[20], wd[10];
  n = 20;
  m = 10;
  ASSERT_TRUE(SysLookupAccountSidW(nullptr, admins, wa, &n, wd, &m, &use));
  EXPECT_EQ(std::u16string(wa), u"Administrators");
  EXPECT_EQ(std::u16string(wd), u"BUILTIN");
  EXPECT_EQ(use, SidTypeAlias);
  SysFreeSid(admins);
}

TEST(SysSecurity, FileOwnerIsStatsUid) {
  char dir[] = "/tmp/zelvaro-owner-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/f";
  std::ofstream(file) << "x";
  PSID owner = nullptr, group = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_EQ(SysGetNamedSecurityInfoA(file.c_str(), SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                                     &owner, &group, nullptr, nullptr, &sd),
            0u);
  DWORD sub[2];
  std::memcpy(sub, static_cast<BYTE*>(owner) + 8, 8);
  EXPECT_EQ(sub[0], 1u);
  EXPECT_EQ(std::to_string(sub[1]), run("stat -c %u " + file));
  std::memcpy(sub, static_cast<BYTE*>(group) + 8, 8);
  EXPECT_EQ(sub[0], 2u);
  EXPECT_EQ(std::to_string(sub[1]), run("stat -c %g " + file));
  SysLocalFree(sd);
  struct Case {
    std::string name;
    DWORD error;
  } failures[] = {{std::string(dir) + "/missing", 2}, {file + "/below", 3}, {"", 3}};
  for (const Case& c : failures)
    EXPECT_EQ(SysGetNamedSecurityInfoA(c.name.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                       &owner, nullptr, nullptr, nullptr, &sd),
              c.error)
        << c.name;
  EXPECT_EQ(SysGetNamedSecurityInfoA(file.c_str(), 2, OWNER_SECURITY_INFORMATION, &owner,
                                     nullptr, nullptr, nullptr, &sd),
            87u);
  EXPECT_EQ(SysGetNamedSecurityInfoA(file.c_str(), SE_FILE_OBJECT, 4, &owner, nullptr, nullptr,
                                     nullptr, &sd),
            87u);
  unlink(file.c_str());
  rmdir(dir);
}

TEST(SysSecurity, ProcessOwnerNeedsReadControl) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_EQ(SysGetSecurityInfo(SysGetCurrentProcess(), SE_KERNEL_OBJECT,
                               OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &sd),
            0u);
  DWORD sub[2];
  std::memcpy(sub, static_cast<BYTE*>(owner) + 8, 8);
  EXPECT_EQ(std::to_string(sub[1]), run("id -u"));
  SysLocalFree(sd);
  HANDLE p = SysOpenProcess(PROCESS_QUERY_INFORMATION, FALSE, getpid());
  EXPECT_EQ(SysGetSecurityInfo(p, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                               nullptr, nullptr, &sd),
            5u);
  SysCloseHandle(p);
  EXPECT_EQ(SysGetSecurityInfo(reinterpret_cast<HANDLE>(0x77), SE_KERNEL_OBJECT,
                               OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &sd),
            6u);
  EXPECT_EQ(SysGetSecurityInfo(SysGetCurrentProcess(), SE_FILE_OBJECT,
                               OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &sd),
            87u);
}

// --- privileges -------------------------------------------------------------

TEST(SysPrivileges, EachPrivilegeStandsForItsCapability) {
  struct Row {
    const char* name;
    DWORD luid;
    int capability;
  } rows[] = {
      {"SeTakeOwnershipPrivilege", 9, 0},        {"SeRestorePrivilege", 18, 1},
      {"SeBackupPrivilege", 17, 2},              {"SeSecurityPrivilege", 8, 30},
      {"SeAuditPrivilege", 21, 29},              {"SeLockMemoryPrivilege", 4, 14},
      {"SeLoadDriverPrivilege", 10, 16},         {"SeDebugPrivilege", 20, 19},
      {"SeTcbPrivilege", 7, 21},                 {"SeShutdownPrivilege", 19, 22},
      {"SeIncreaseBasePriorityPrivilege", 14, 23}, {"SeIncreaseQuotaPrivilege", 5, 24},
      {"SeSystemtimePrivilege", 12, 25},
  };
  ASSERT_EQ(std::size(rows), std::size(kPrivilegeCapabilities));
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_STREQ(kPrivilegeCapabilities[i].name, rows[i].name);
    EXPECT_EQ(kPrivilegeCapabilities[i].luid, rows[i].luid) << rows[i].name;
    EXPECT_EQ(kPrivilegeCapabilities[i].capability, rows[i].capability) << rows[i].name;
    LUID luid{99, 99};
    ASSERT_TRUE(SysLookupPrivilegeValueA(nullptr, rows[i].name, &luid));
    EXPECT_EQ(luid.LowPart, rows[i].luid);
    EXPECT_EQ(luid.HighPart, 0);
  }
  LUID luid;
  EXPECT_TRUE(SysLookupPrivilegeValueA("", "sesystemtimeprivilege", &luid));
  EXPECT_FALSE(SysLookupPrivilegeValueA(nullptr, "SeCreateSymbolicLinkPrivilege", &luid));
  EXPECT_EQ(SysGetLastError(), 1313u);
  EXPECT_FALSE(SysLookupPrivilegeValueA("REMOTE", "SeDebugPrivilege", &luid));
  EXPECT_EQ(SysGetLastError(), 50u);
}

// The calling thread's effective capabilities, as the kernel reports them.
uint64_t effectiveCapabilities() {
  std::ifstream status("/proc/thread-self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("CapEff:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  return 0;
}

TOKEN_PRIVILEGES onePrivilege(DWORD luid, DWORD attributes) {
  TOKEN_PRIVILEGES p;
  p.PrivilegeCount = 1;
  p.Privileges[0].Luid = LUID{luid, 0};
  p.Privileges[0].Attributes = attributes;
  return p;
}

// Capabilities belong to threads: each case runs on its own, so the test
// program keeps its own.
TEST(SysPrivileges, AdjustingRaisesAndClearsEffectiveCapabilities) {
  std::thread([] {
    if (!(effectiveCapabilities() & (1ull << 25))) GTEST_SKIP() << "no CAP_SYS_TIME";
    HANDLE token = nullptr;
    ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES off = onePrivilege(12, 0), on = onePrivilege(12, SE_PRIVILEGE_ENABLED);
    DWORD length = 5;
    ASSERT_TRUE(SysAdjustTokenPrivileges(token, FALSE, &off, sizeof off, nullptr, &length));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(SysGetLastError(), 0u);
    EXPECT_FALSE(effectiveCapabilities() & (1ull << 25));
    ASSERT_TRUE(SysAdjustTokenPrivileges(token, FALSE, &on, sizeof on, nullptr, nullptr));
    EXPECT_TRUE(effectiveCapabilities() & (1ull << 25));
    TOKEN_PRIVILEGES unknown = onePrivilege(35, SE_PRIVILEGE_ENABLED);
    EXPECT_FALSE(SysAdjustTokenPrivileges(token, FALSE, &unknown, sizeof unknown, nullptr, nullptr));
    EXPECT_EQ(SysGetLastError(), 1313u);
    TOKEN_PRIVILEGES previous;
    EXPECT_FALSE(SysAdjustTokenPrivileges(token, FALSE, &on, sizeof on, &previous, nullptr));
    EXPECT_EQ(SysGetLastError(), 87u);
    SysCloseHandle(token);

    ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_FALSE(SysAdjustTokenPrivileges(token, FALSE, &off, sizeof off, nullptr, nullptr));
    EXPECT_EQ(SysGetLastError(), 5u);
    SysCloseHandle(token);
    EXPECT_FALSE(SysAdjustTokenPrivileges(nullptr, FALSE, &off, sizeof off, nullptr, nullptr));
    EXPECT_EQ(SysGetLastError(), 6u);
  }).join();
}

TEST(SysPrivileges, APrivilegeNotPermittedIsNotAssigned) {
  std::thread([] {
    // Drop CAP_SYS_TIME from this thread's permitted set.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ASSERT_EQ(syscall(SYS_capget, &header, data), 0);
    data[0].permitted &= ~(1u << 25);
    data[0].effective &= ~(1u << 25);
    ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
    HANDLE token = nullptr;
    ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES on = onePrivilege(12, SE_PRIVILEGE_ENABLED);
    EXPECT_TRUE(SysAdjustTokenPrivileges(token, FALSE, &on, sizeof on, nullptr, nullptr));
    EXPECT_EQ(SysGetLastError(), 1300u);
    EXPECT_FALSE(effectiveCapabilities() & (1ull << 25));
    SysCloseHandle(token);
  }).join();
}

TEST(SysPrivileges, OnlyTheOwnProcessIsAdjusted) {
  HANDLE init = SysOpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 1);
  ASSERT_NE(init, nullptr);
  HANDLE token = nullptr;
  ASSERT_TRUE(SysOpenProcessToken(init, TOKEN_ADJUST_PRIVILEGES, &token));
  TOKEN_PRIVILEGES on = onePrivilege(12, SE_PRIVILEGE_ENABLED);
  EXPECT_FALSE(SysAdjustTokenPrivileges(token, FALSE, &on, sizeof on, nullptr, nullptr));
  EXPECT_EQ(SysGetLastError(), 5u);
  SysCloseHandle(token);
  SysCloseHandle(init);
}

// --- pens -------------------------------------------------------------------

TEST(SysPens, SelectedPenCannotBeDeleted) {
  const size_t before = platform::LivePens();
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HPEN pen = SysCreatePen(PS_SOLID, 3, 0x00123456);
  ASSERT_NE(pen, nullptr);
  EXPECT_EQ(platform::LivePens(), before + 1);
  int width = 0;
  COLORREF colour = 0;
  ASSERT_TRUE(platform::PenOf(pen, &width, &colour));
  EXPECT_EQ(width, 3);
  EXPECT_EQ(colour, 0x00123456u);
  HGDIOBJ own = SysSelectObject(dc, pen);
  ASSERT_NE(own, nullptr);
  EXPECT_FALSE(SysDeleteObject(pen));
  EXPECT_TRUE(SysMoveToEx(dc, 4, 5, nullptr));
  EXPECT_TRUE(SysLineTo(dc, -7, 9));
  int x = 0, y = 0;
  ASSERT_TRUE(platform::CurrentPosition(dc, &x, &y));
  EXPECT_EQ(x, -7);
  EXPECT_EQ(y, 9);
  EXPECT_EQ(SysSelectObject(dc, own), pen);
  EXPECT_FALSE(SysDeleteObject(own));
  EXPECT_TRUE(SysDeleteObject(pen));
  EXPECT_FALSE(SysDeleteObject(pen));
  EXPECT_EQ(platform::LivePens(), before);
  EXPECT_EQ(SysSelectObject(dc, pen), nullptr);
  ReleaseDC(nullptr, dc);
  EXPECT_FALSE(SysLineTo(dc, 1, 1));
  EXPECT_EQ(SysCreatePen(1, 1, 0), nullptr);
  EXPECT_EQ(SysCreatePen(PS_SOLID, -1, 0), nullptr);
}

}  // namespace
