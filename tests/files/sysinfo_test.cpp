#include "files/sysinfo.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "files/sysinfo_impl.h"
#include "platform/faults.h"
#include "platform/gdi.h"
#include "platform/globalmem.h"
#include "platform/registry.h"
#include "platform/screen.h"

namespace {

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

std::string linkTarget(const std::string& link) {
  char buf[4096];
  const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string shortHostName() {
  char buf[256] = {};
  gethostname(buf, sizeof buf - 1);
  std::string h = buf;
  return h.substr(0, h.find('.'));
}

std::u16string widen(const std::string& s) {
  std::u16string w;
  for (char c : s) w.push_back(static_cast<unsigned char>(c));
  return w;
}

// Every test starts with nothing cached and the stand-in's own modules.
class SysInfo : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    while (SmoothDrawShutdown()) {
    }
    Reset();
  }
  static void Reset() {
    sysinfo_detail::ForgetCaches();
    platform::ResetStandInModules();
    platform::ClearInjectedFaults();
  }
};

// --- versions ---------------------------------------------------------------

DWORD peerVersionWord() {
  const std::string release = run("uname -r");
  unsigned major = 0, minor = 0;
  sscanf(release.c_str(), "%u.%u", &major, &minor);
  return major << 16 | minor;
}

TEST_F(SysInfo, VersionsAreTheKernelReleaseAsMajorShiftedOverMinor) {
  struct utsname u;
  ASSERT_EQ(uname(&u), 0);
  unsigned major = 0, minor = 0;
  sscanf(u.release, "%u.%u", &major, &minor);
  EXPECT_EQ(GetWindowsVersion(), (major << 16) | minor);
  EXPECT_EQ(GetWindowsVersion(), (major << 16) | minor);
  EXPECT_EQ(GetKernel32Version(), peerVersionWord());
  EXPECT_EQ(GetKernel32Version(), peerVersionWord());
}

// A VS_VERSIONINFO block with the signature at `signatureAt`.
std::vector<BYTE> versionBlock(size_t signatureAt, DWORD productMs, const char* key = "VS_VERSION_INFO") {
  std::vector<BYTE> b(signatureAt + 52, 0);
  for (size_t i = 0; key[i]; ++i) b[6 + 2 * i] = static_cast<BYTE>(key[i]);
  const DWORD sig = 0xFEEF04BD;
  std::memcpy(b.data() + signatureAt, &sig, 4);
  std::memcpy(b.data() + signatureAt + 16, &productMs, 4);
  return b;
}

TEST_F(SysInfo, ProductVersionIsFoundWithinEighteenWordsBehindTheKey) {
  struct Case {
    std::vector<BYTE> block;
    DWORD expected;
  } cases[] = {
      {versionBlock(40, 0x000A0000), 0x000A0000},
      {versionBlock(36, 0x00060001), 0x00060001},           // right behind the key
      {versionBlock(36 + 2 * 17, 0x00050002), 0x00050002},  // the 18th position
      {versionBlock(36 + 2 * 18, 0x00050002), 0},           // one further: not looked at
      {versionBlock(40, 0x000A0000, "VS_VERSION_INFX"), 0},
      {versionBlock(40, 0x000A0000, "vs_version_info"), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(sysinfo_detail::ProductVersionFromResource(c.block.data(),
                                                         static_cast<DWORD>(c.block.size())),
              c.expected);
  // Blocks cut short are read only as far as they go.
  const std::vector<BYTE> full = versionBlock(40, 0x000A0000);
  for (DWORD size = 0; size < 60; ++size) {
    std::vector<BYTE> cut(full.begin(), full.begin() + size);
    EXPECT_EQ(sysinfo_detail::ProductVersionFromResource(cut.data(), size), 0u) << size;
  }
  EXPECT_EQ(sysinfo_detail::ProductVersionFromResource(full.data(), 60), 0x000A0000u);
  EXPECT_EQ(sysinfo_detail::ProductVersionFromResource(nullptr, 100), 0u);
}

TEST_F(SysInfo, KernelVersionIsAskedAgainUntilItIsFound) {
  platform::SetStandInResource("KERNEL32", SYS_RT_VERSION, 1, nullptr, 0);
  EXPECT_EQ(GetKernel32Version(), 0u);
  const std::vector<BYTE> bad = versionBlock(40, 0x00030004, "VS_VERSION_INFX");
  platform::SetStandInResource("KERNEL32", SYS_RT_VERSION, 1, bad.data(),
                               static_cast<DWORD>(bad.size()));
  EXPECT_EQ(GetKernel32Version(), 0u);
  const std::vector<BYTE> good = versionBlock(40, 0x00030004);
  platform::SetStandInResource("KERNEL32", SYS_RT_VERSION, 1, good.data(),
                               static_cast<DWORD>(good.size()));
  EXPECT_EQ(GetKernel32Version(), 0x00030004u);
  // Found once, it is kept.
  platform::SetStandInResource("KERNEL32", SYS_RT_VERSION, 1, nullptr, 0);
  EXPECT_EQ(GetKernel32Version(), 0x00030004u);
}

// --- WOW64 ------------------------------------------------------------------

int wow64Calls = 0;
BOOL fakeIsWow64Process(HANDLE, BOOL* wow64) {
  ++wow64Calls;
  *wow64 = TRUE;
  return TRUE;
}

TEST_F(SysInfo, NativeProcessIsNoWow64GuestAndTheAnswerIsKept) {
  EXPECT_EQ(IsWow64(), sizeof(void*) == 4 && run("uname -m").find("64") != std::string::npos);
  platform::SetStandInExport("KERNEL32", "IsWow64Process",
                             reinterpret_cast<FARPROC>(&fakeIsWow64Process));
  wow64Calls = 0;
  EXPECT_EQ(IsWow64(), sizeof(void*) == 4);  // the first answer stays
  EXPECT_EQ(wow64Calls, 0);
  sysinfo_detail::ForgetCaches();
  EXPECT_TRUE(IsWow64());
  EXPECT_TRUE(IsWow64());
  EXPECT_EQ(wow64Calls, 1);
  sysinfo_detail::ForgetCaches();
  platform::SetStandInExport("KERNEL32", "IsWow64Process", nullptr);
  EXPECT_FALSE(IsWow64());
}

// Records the redirection entry points' calls as letters: D(isable), E(nable
// with its argument), R(evert with the value Disable saved).
std::string redirectionCalls;
bool redirectionFails = false;
BOOL fakeDisable(void** old) {
  redirectionCalls += "D";
  *old = reinterpret_cast<void*>(0x5A);
  return !redirectionFails;
}
BYTE fakeEnable(BYTE enable) {
  redirectionCalls += enable ? "E1" : "E0";
  return !redirectionFails;
}
BOOL fakeRevert(void* old) {
  redirectionCalls += old == reinterpret_cast<void*>(0x5A) ? "R" : "r";
  return !redirectionFails;
}

void useFakeRedirection() {
  platform::SetStandInExport("KERNEL32", "Wow64DisableWow64FsRedirection",
                             reinterpret_cast<FARPROC>(&fakeDisable));
  platform::SetStandInExport("KERNEL32", "Wow64EnableWow64FsRedirection",
                             reinterpret_cast<FARPROC>(&fakeEnable));
  platform::SetStandInExport("KERNEL32", "Wow64RevertWow64FsRedirection",
                             reinterpret_cast<FARPROC>(&fakeRevert));
}

TEST_F(SysInfo, RedirectionSwitchIsCounted) {
  struct Case {
    std::vector<int> modes;
    std::vector<bool> results;
    const char* calls;
  } cases[] = {
      {{1, 1, 0, 0}, {true, true, true, true}, "DR"},
      {{1, 0, 1, 0}, {true, true, true, true}, "DRDR"},
      {{-1, 0}, {true, true}, "E1r"},
      {{1, -1, 0, 0}, {true, true, true, true}, "DR"},
      {{0}, {false}, ""},
      {{1, 0, 0}, {true, true, false}, "DR"},
      {{5, -5, 7, 0, 0, 0}, {true, true, true, true, true, true}, "DR"},
  };
  for (const Case& c : cases) {
    sysinfo_detail::ForgetCaches();
    useFakeRedirection();
    redirectionCalls.clear();
    for (size_t i = 0; i < c.modes.size(); ++i)
      EXPECT_EQ(SetWow64FsRedirection(c.modes[i]), c.results[i]) << c.calls << " step " << i;
    EXPECT_EQ(redirectionCalls, c.calls);
  }
}

TEST_F(SysInfo, FailedFirstSwitchHoldsNothing) {
  useFakeRedirection();
  redirectionCalls.clear();
  redirectionFails = true;
  EXPECT_FALSE(SetWow64FsRedirection(1));
  redirectionFails = false;
  EXPECT_FALSE(SetWow64FsRedirection(0));  // nothing to release, nothing reverted
  EXPECT_TRUE(SetWow64FsRedirection(1));
  EXPECT_TRUE(SetWow64FsRedirection(0));
  EXPECT_EQ(redirectionCalls, "DDR");
}

TEST_F(SysInfo, RedirectionWithoutEntryPointsFails) {
  for (const char* name : {"Wow64DisableWow64FsRedirection", "Wow64EnableWow64FsRedirection",
                           "Wow64RevertWow64FsRedirection"})
    platform::SetStandInExport("KERNEL32", name, nullptr);
  EXPECT_FALSE(SetWow64FsRedirection(1));
  EXPECT_FALSE(SetWow64FsRedirection(-1));
  EXPECT_FALSE(SetWow64FsRedirection(0));
}

TEST_F(SysInfo, RedirectionOnLinuxSucceedsAndChangesNothing) {
  EXPECT_TRUE(SetWow64FsRedirection(1));
  EXPECT_TRUE(SetWow64FsRedirection(0));
  EXPECT_TRUE(SetWow64FsRedirection(-1));
  EXPECT_TRUE(SetWow64FsRedirection(0));
  EXPECT_FALSE(SetWow64FsRedirection(0));
}

// --- administrators ---------------------------------------------------------

bool peerAdmin() {
  bool admin = run("id -u") == "0";
  std::istringstream names(run("id -Gn"));
  std::string name;
  while (names >> name) admin |= name == "sudo" || name == "wheel" || name == "admin";
  return admin;
}

BOOL fakeMembership(HANDLE, void*, BOOL* member) {
  *member = TRUE;
  return TRUE;
}

TEST_F(SysInfo, AdministratorsAreRootAndTheSudoGroups) {
  const bool admin = peerAdmin();
  EXPECT_EQ(IsTokenAdmin(nullptr), admin);
  EXPECT_EQ(IsUserAdmin(), admin);
  EXPECT_EQ(IsUserAdmin(), admin);
  EXPECT_EQ(platform::StandInModuleLoadCount("ADVAPI32"), 1);  // loaded once
  HANDLE token = nullptr;
  ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_QUERY, &token));
  EXPECT_EQ(IsTokenAdmin(token), admin);
  // The caller's token stays open.
  EXPECT_TRUE(SysCloseHandle(token));
  ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), READ_CONTROL, &token));
  EXPECT_FALSE(IsTokenAdmin(token));  // groups cannot be read
  SysCloseHandle(token);
  EXPECT_FALSE(IsTokenAdmin(reinterpret_cast<HANDLE>(0x99)));
}

TEST_F(SysInfo, UserAdminAsksTheSystemOnlyWhereItCan) {
  platform::SetStandInExport("ADVAPI32", "CheckTokenMembership",
                             reinterpret_cast<FARPROC>(&fakeMembership));
  EXPECT_TRUE(IsUserAdmin());
  sysinfo_detail::ForgetCaches();
  platform::SetStandInExport("ADVAPI32", "CheckTokenMembership", nullptr);
  EXPECT_FALSE(IsUserAdmin());
  sysinfo_detail::ForgetCaches();
  platform::ResetStandInModules();
  platform::SetStandInModuleMissing("ADVAPI32", true);
  EXPECT_FALSE(IsUserAdmin());
}

// --- owners -----------------------------------------------------------------

class OwnerTest : public SysInfo {
 protected:
  void SetUp() override {
    SysInfo::SetUp();
    char pattern[] = "/tmp/zelvaro-sysinfo-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = dir_ + "/owned.txt";
    std::ofstream(file_) << "x";
    owner_ = run("stat -c %U " + file_);
    domain_ = shortHostName();
  }
  void TearDown() override {
    platform::RegistryUseStoreFile((dir_ + "/after/registry.dat").c_str());
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
    EXPECT_FALSE(error) << error.message();
    SysInfo::TearDown();
  }
  std::string dir_, file_, owner_, domain_;
};

TEST_F(OwnerTest, FileOwnerFitsOnlyWithItsTerminator) {
  const DWORD a = static_cast<DWORD>(owner_.size()), d = static_cast<DWORD>(domain_.size());
  struct Case {
    DWORD accountSize, domainSize;
    bool withAccount, withDomain;
    int expected;
  } cases[] = {
      {a + 1, d + 1, true, true, 0},   // exact fit
      {a, d + 1, true, true, -3},      // no room for the account's terminator
      {a + 1, d, true, true, -3},
      {0, 0, true, true, -3},
      {0, d + 1, false, true, 0},      // no account asked for
      {a + 1, 0, true, false, 0},
      {0, 0, false, false, 0},
      {200, 200, true, true, 0},
  };
  for (const Case& c : cases) {
    char account[256], domain[256];
    std::memset(account, 'q', sizeof account);
    std::memset(domain, 'q', sizeof domain);
    EXPECT_EQ(GetObjectOwnerA(file_.c_str(), SE_FILE_OBJECT, c.withAccount ? account : nullptr,
                              c.accountSize, c.withDomain ? domain : nullptr, c.domainSize),
              c.expected)
        << c.accountSize << " " << c.domainSize;
    if (c.expected == 0 && c.withAccount) {
      EXPECT_EQ(std::string(account), owner_);
    }
    if (c.expected == 0 && c.withDomain) {
      EXPECT_EQ(std::string(domain), domain_);
    }
    if (c.expected != 0) {
      EXPECT_EQ(account[0], 'q');  // untouched on failure
    }
  }
}

TEST_F(OwnerTest, WideOwnerNamesTheSameAccount) {
  wchar16 account[64], domain[64];
  const std::u16string name = widen(owner_);
  ASSERT_EQ(GetObjectOwnerW(widen(file_).c_str(), SE_FILE_OBJECT, account, 64, domain, 64), 0);
  EXPECT_EQ(std::u16string(account), name);
  EXPECT_EQ(std::u16string(domain), widen(domain_));
  EXPECT_EQ(GetObjectOwnerW(widen(file_).c_str(), SE_FILE_OBJECT, account,
                            static_cast<DWORD>(name.size()), domain, 64),
            -3);
}

TEST_F(OwnerTest, EveryFailureHasItsCode) {
  char account[64], domain[64];
  const std::string missing = dir_ + "/missing";
  EXPECT_EQ(GetObjectOwnerA(missing.c_str(), SE_FILE_OBJECT, account, 64, domain, 64), -1);
  EXPECT_EQ(GetObjectOwnerA(file_.c_str(), 2, account, 64, domain, 64), -1);
  if (geteuid() == 0) {
    // An owner without an account.
    ASSERT_EQ(chown(file_.c_str(), 0x7FFFFF00, 0x7FFFFF00), 0);
    EXPECT_EQ(GetObjectOwnerA(file_.c_str(), SE_FILE_OBJECT, account, 64, domain, 64), -2);
    ASSERT_EQ(chown(file_.c_str(), 0, 0), 0);
  }
  platform::FailNextCall(platform::FaultPoint::GlobalAlloc);
  EXPECT_EQ(GetObjectOwnerA(file_.c_str(), SE_FILE_OBJECT, account, 64, domain, 64), -4);
  const size_t blocks = platform::GlobalLiveBlocks();
  EXPECT_EQ(GetObjectOwnerA(file_.c_str(), SE_FILE_OBJECT, account, 64, domain, 64), 0);
  EXPECT_EQ(platform::GlobalLiveBlocks(), blocks);  // temporaries freed
}

TEST_F(OwnerTest, ProcessOwnerByHandle) {
  char account[64], domain[64];
  ASSERT_EQ(GetObjectOwnerA(SysGetCurrentProcess(), OWNER_BY_HANDLE | SE_KERNEL_OBJECT, account,
                            64, domain, 64),
            0);
  EXPECT_EQ(std::string(account), run("id -un"));
  HANDLE limited = SysOpenProcess(PROCESS_QUERY_INFORMATION, FALSE, getpid());
  EXPECT_EQ(GetObjectOwnerA(limited, OWNER_BY_HANDLE | SE_KERNEL_OBJECT, account, 64, domain, 64),
            -1);
  SysCloseHandle(limited);
}

TEST_F(OwnerTest, RegistryKeyNamedWithItsRoot) {
  platform::RegistryUseStoreFile((dir_ + "/registry.dat").c_str());
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KX\\Owned", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  char account[64], domain[64];
  for (const char* name : {"HKEY_CURRENT_USER\\Software\\KX\\Owned",
                           "hkey_current_user\\Software\\KX", "CURRENT_USER\\Software"}) {
    ASSERT_EQ(GetObjectOwnerA(name, SE_REGISTRY_KEY, account, 64, domain, 64), 0) << name;
    EXPECT_EQ(std::string(account), run("id -un"));
  }
  EXPECT_EQ(GetObjectOwnerA("HKEY_CURRENT_USER\\Software\\KX\\Missing", SE_REGISTRY_KEY, account,
                            64, domain, 64),
            -1);
  EXPECT_EQ(GetObjectOwnerA("HKEY_NOWHERE\\Software", SE_REGISTRY_KEY, account, 64, domain, 64),
            -1);
}

TEST_F(SysInfo, RegistryRootPrefixIsSpeltAsTheSecurityFunctionsWantIt) {
  struct Case {
    const char* path;
    size_t skipped;
  } cases[] = {
      {"hkey_local_machine\\Software", 11},  // machine\Software
      {"HKEY_LOCAL_MACHINE", 11},
      {"HKEY_CURRENT_USER\\X", 5},
      {"HKEY_CLASSES_ROOT\\.zlv", 5},
      {"HKEY_USERS\\.DEFAULT", 5},
      {"HKEY_CURRENT_CONFIG\\System", 13},  // CONFIG\System
      {"Hkey_Current_Config", 13},
      {"Software", 0},
      {"HKEY", 0},
      {"HKEY-LOCAL_MACHINE", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SkipRegistryRootPrefix(c.path), c.path + c.skipped) << c.path;
    const std::u16string wide = widen(c.path);
    EXPECT_EQ(SkipRegistryRootPrefixW(wide.c_str()), wide.c_str() + c.skipped) << c.path;
  }
  EXPECT_STREQ(SkipRegistryRootPrefix("hkey_local_machine\\Software"), "machine\\Software");
  EXPECT_EQ(SkipRegistryRootPrefix(nullptr), nullptr);
  EXPECT_EQ(SkipRegistryRootPrefixW(nullptr), nullptr);
  // A wide letter beyond ASCII does not fold onto one.
  EXPECT_EQ(*SkipRegistryRootPrefixW(u"HKE\u0179_USERS"), u'H');
}

// --- privileges -------------------------------------------------------------

uint64_t effectiveCapabilities() {
  std::ifstream status("/proc/thread-self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("CapEff:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  return 0;
}

// Each case on a thread of its own: capabilities belong to threads.
TEST_F(SysInfo, PrivilegeSwitchesItsCapability) {
  std::thread([] {
    if (!(effectiveCapabilities() & (1ull << 25))) GTEST_SKIP() << "no CAP_SYS_TIME";
    HANDLE token = nullptr;
    ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    EXPECT_TRUE(SetTokenPrivilege(token, "SeSystemtimePrivilege", false));
    EXPECT_FALSE(effectiveCapabilities() & (1ull << 25));
    EXPECT_TRUE(SetTokenPrivilege(token, "SeSystemtimePrivilege", true));
    EXPECT_TRUE(effectiveCapabilities() & (1ull << 25));
    EXPECT_FALSE(SetTokenPrivilege(token, "SeNoSuchPrivilege", true));
    EXPECT_FALSE(SetTokenPrivilege(token, nullptr, true));
    SysCloseHandle(token);
    ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_FALSE(SetTokenPrivilege(token, "SeSystemtimePrivilege", true));
    SysCloseHandle(token);
  }).join();
}

TEST_F(SysInfo, PrivilegeNotHeldIsReportedAsFailure) {
  std::thread([] {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ASSERT_EQ(syscall(SYS_capget, &header, data), 0);
    data[0].permitted &= ~(1u << 25);
    data[0].effective &= ~(1u << 25);
    ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
    HANDLE token = nullptr;
    ASSERT_TRUE(SysOpenProcessToken(SysGetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    EXPECT_FALSE(SetTokenPrivilege(token, "SeSystemtimePrivilege", true));
    EXPECT_EQ(SysGetLastError(), 1300u);
    EXPECT_TRUE(SetTokenPrivilege(token, "SeSystemtimePrivilege", false));
    SysCloseHandle(token);
  }).join();
}

// --- computer names ---------------------------------------------------------

std::string peerName(int format) {
  const std::string shortName = shortHostName();
  const std::string fqdn = run("hostname -f");
  const size_t dot = fqdn.find('.');
  std::string netbios = shortName.substr(0, 15);
  for (char& c : netbios) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  switch (format % 4) {
    case 0: return netbios;
    case 1: return shortName;
    case 2: return dot == std::string::npos ? "" : fqdn.substr(dot + 1);
    default: return fqdn;
  }
}

TEST_F(SysInfo, ComputerNameOfEachKindFitsWithItsTerminator) {
  for (int format = 0; format < 8; ++format) {
    const std::string name = peerName(format);
    const int len = static_cast<int>(name.size());
    char buf[300];
    EXPECT_EQ(GetNetworkComputerName(buf, sizeof buf, format), len) << format;
    EXPECT_EQ(std::string(buf), name);
    std::memset(buf, 'q', sizeof buf);
    EXPECT_EQ(GetNetworkComputerName(buf, len + 1, format), len) << format;
    EXPECT_EQ(std::string(buf), name);
    if (len == 0) continue;
    std::memset(buf, 'q', sizeof buf);
    EXPECT_EQ(GetNetworkComputerName(buf, len, format), 0) << format;
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(SysGetLastError(), 234u);
    wchar16 wide[300];
    EXPECT_EQ(GetNetworkComputerNameW(wide, len + 1, format), len);
    EXPECT_EQ(std::u16string(wide), widen(name));
  }
}

TEST_F(SysInfo, ComputerNameRefusesBadArguments) {
  char buf[64] = "untouched";
  EXPECT_EQ(GetNetworkComputerName(buf, 0, 0), 0);
  EXPECT_EQ(SysGetLastError(), 87u);
  EXPECT_STREQ(buf, "untouched");
  EXPECT_EQ(GetNetworkComputerName(buf, -5, 0), 0);
  EXPECT_EQ(GetNetworkComputerName(nullptr, 64, 0), 0);
  EXPECT_EQ(SysGetLastError(), 87u);
  EXPECT_EQ(GetNetworkComputerName(buf, 64, 8), 0);
  EXPECT_EQ(SysGetLastError(), 87u);
  EXPECT_EQ(buf[0], 0);
  wchar16 wide[4] = u"abc";
  EXPECT_EQ(GetNetworkComputerNameW(wide, 0, 1), 0);
  EXPECT_EQ(SysGetLastError(), 87u);
  EXPECT_EQ(GetNetworkComputerNameW(nullptr, 4, 1), 0);
  sysinfo_detail::ForgetCaches();
  platform::SetStandInExport("KERNEL32", "GetComputerNameExA", nullptr);
  EXPECT_EQ(GetNetworkComputerName(buf, 64, 1), 0);
  EXPECT_EQ(SysGetLastError(), 120u);
  EXPECT_EQ(buf[0], 0);
}

TEST_F(SysInfo, WorkgroupIsTheNisDomain) {
  std::ifstream domainFile("/proc/sys/kernel/domainname");
  std::string nis;
  std::getline(domainFile, nis);
  if (nis == "(none)") nis.clear();
  char buf[256] = "x";
  EXPECT_EQ(GetNetworkComputerName(buf, sizeof buf, COMPUTER_NAME_WORKGROUP),
            static_cast<int>(nis.size()));
  EXPECT_EQ(std::string(buf), nis);
  EXPECT_EQ(platform::StandInModuleLoadCount("NETAPI32"), 1);
  GetNetworkComputerName(buf, sizeof buf, COMPUTER_NAME_WORKGROUP);
  EXPECT_EQ(platform::StandInModuleLoadCount("NETAPI32"), 1);  // looked up once
}

// A workstation answer with a chosen workgroup, and a count of the answers
// not yet freed.
std::u16string fakeGroup;
DWORD fakeStatus = 0;
int fakeAnswersOut = 0;
DWORD fakeWkstaGetInfo(wchar16* server, DWORD level, BYTE** buffer) {
  EXPECT_EQ(server, nullptr);
  EXPECT_EQ(level, 100u);
  *buffer = nullptr;
  if (fakeStatus) return fakeStatus;
  auto* info = new WKSTA_INFO_100{};
  info->wki100_langroup = fakeGroup.empty() ? nullptr : fakeGroup.data();
  *buffer = reinterpret_cast<BYTE*>(info);
  ++fakeAnswersOut;
  return 0;
}
DWORD fakeBufferFree(void* buffer) {
  delete static_cast<WKSTA_INFO_100*>(buffer);
  --fakeAnswersOut;
  return 0;
}

TEST_F(SysInfo, WorkgroupFitsWithItsTerminatorOrOverflows) {
  platform::SetStandInExport("NETAPI32", "NetWkstaGetInfo",
                             reinterpret_cast<FARPROC>(&fakeWkstaGetInfo));
  platform::SetStandInExport("NETAPI32", "NetApiBufferFree",
                             reinterpret_cast<FARPROC>(&fakeBufferFree));
  fakeGroup = u"WORKGROUP";
  fakeStatus = 0;
  fakeAnswersOut = 0;
  char buf[32];
  EXPECT_EQ(GetNetworkComputerName(buf, 10, COMPUTER_NAME_WORKGROUP), 9);
  EXPECT_STREQ(buf, "WORKGROUP");
  std::memset(buf, 'q', sizeof buf);
  EXPECT_EQ(GetNetworkComputerName(buf, 9, COMPUTER_NAME_WORKGROUP), 0);
  EXPECT_EQ(SysGetLastError(), 111u);
  EXPECT_EQ(buf[0], 0);
  wchar16 wide[10];
  EXPECT_EQ(GetNetworkComputerNameW(wide, 10, COMPUTER_NAME_WORKGROUP), 9);
  EXPECT_EQ(std::u16string(wide), u"WORKGROUP");
  fakeGroup = u"B\u00FCro\u0141";  // Latin-1 ü kept, Ł beyond it
  EXPECT_EQ(GetNetworkComputerName(buf, sizeof buf, COMPUTER_NAME_WORKGROUP), 5);
  EXPECT_STREQ(buf, "B\374ro?");
  fakeGroup.clear();
  EXPECT_EQ(GetNetworkComputerName(buf, sizeof buf, COMPUTER_NAME_WORKGROUP), 0);
  EXPECT_EQ(buf[0], 0);
  fakeStatus = 2123;
  EXPECT_EQ(GetNetworkComputerName(buf, sizeof buf, COMPUTER_NAME_WORKGROUP), 0);
  EXPECT_EQ(SysGetLastError(), 2123u);
  EXPECT_EQ(fakeAnswersOut, 0);  // every answer freed
  fakeStatus = 0;
}

TEST_F(SysInfo, WorkgroupWithoutTheNetworkLibrary) {
  platform::SetStandInExport("NETAPI32", "NetWkstaGetInfo", nullptr);
  char buf[16] = "x";
  EXPECT_EQ(GetNetworkComputerName(buf, sizeof buf, COMPUTER_NAME_WORKGROUP), 0);
  EXPECT_EQ(SysGetLastError(), 120u);
  EXPECT_EQ(buf[0], 0);
  sysinfo_detail::ForgetCaches();
  platform::ResetStandInModules();
  platform::SetStandInModuleMissing("NETAPI32", true);
  EXPECT_EQ(GetNetworkComputerName(buf, sizeof buf, COMPUTER_NAME_WORKGROUP), 0);
  EXPECT_EQ(SysGetLastError(), 120u);
}

// --- process image paths ----------------------------------------------------

TEST_F(SysInfo, OwnImagePathEndsWithTheWow64Flag) {
  const std::string exe = linkTarget("/proc/self/exe");
  const int len = static_cast<int>(exe.size());
  std::vector<char> buf(exe.size() + 10, 'q');
  ASSERT_EQ(GetProcessImagePath(getpid(), buf.data(), len + 3), len);
  EXPECT_EQ(std::string(buf.data()), exe);
  EXPECT_EQ(buf[exe.size() + 1], 0);  // a native process
  std::fill(buf.begin(), buf.end(), 'q');
  EXPECT_EQ(GetProcessImagePath(getpid(), buf.data(), len + 2), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(SysGetLastError(), 122u);
  std::vector<wchar16> wide(exe.size() + 3);
  ASSERT_EQ(GetProcessImagePathW(getpid(), wide.data(), len + 3), len);
  EXPECT_EQ(std::u16string(wide.data()), widen(exe));
}

TEST_F(SysInfo, ImagePathOfAnotherProcess) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sleep", "sleep", "5", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the child runs the new program.
  const std::string link = "/proc/" + std::to_string(child) + "/exe";
  const std::string self = linkTarget("/proc/self/exe");
  for (int i = 0; i < 500 && linkTarget(link) == self; ++i) usleep(2000);
  const std::string expected = linkTarget(link);
  char buf[4096];
  EXPECT_EQ(GetProcessImagePath(static_cast<DWORD>(child), buf, sizeof buf),
            static_cast<int>(expected.size()));
  EXPECT_EQ(std::string(buf), expected);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  // Gone: no process to open.
  std::memset(buf, 'q', 16);
  EXPECT_EQ(GetProcessImagePath(static_cast<DWORD>(child), buf, sizeof buf), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(SysGetLastError(), 87u);
}

TEST_F(SysInfo, ImagePathRefusesSmallBuffers) {
  struct Case {
    int size;
    bool emptied;
  } cases[] = {{2, true}, {1, true}, {0, false}, {-1, false}};
  for (const Case& c : cases) {
    char buf[4] = {'q', 'q', 'q', 'q'};
    SysSetLastError(0);
    EXPECT_EQ(GetProcessImagePath(getpid(), buf, c.size), 0) << c.size;
    EXPECT_EQ(SysGetLastError(), 87u) << c.size;
    EXPECT_EQ(buf[0], c.emptied ? 0 : 'q') << c.size;
  }
  EXPECT_EQ(GetProcessImagePath(getpid(), nullptr, 100), 0);
  EXPECT_EQ(SysGetLastError(), 87u);
}

TEST_F(SysInfo, ImagePathFallsBackToTheModuleFileName) {
  platform::SetStandInExport("KERNEL32", "QueryFullProcessImageNameA", nullptr);
  const std::string exe = linkTarget("/proc/self/exe");
  const int len = static_cast<int>(exe.size());
  std::vector<char> buf(exe.size() + 3, 'q');
  EXPECT_EQ(GetProcessImagePath(getpid(), buf.data(), len + 3), len);
  EXPECT_EQ(std::string(buf.data()), exe);
  EXPECT_EQ(platform::StandInModuleLoadCount("PSAPI"), 1);
  // A path the fallback would cut short is no path.
  std::fill(buf.begin(), buf.end(), 'q');
  EXPECT_EQ(GetProcessImagePath(getpid(), buf.data(), len + 2), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(SysGetLastError(), 122u);
  platform::SetStandInExport("PSAPI", "GetModuleFileNameExA", nullptr);
  sysinfo_detail::ForgetCaches();
  EXPECT_EQ(GetProcessImagePath(getpid(), buf.data(), len + 3), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(SysGetLastError(), 50u);
}

TEST_F(SysInfo, ImagePathCarriesTheProcessWow64Flag) {
  platform::SetStandInExport("KERNEL32", "IsWow64Process",
                             reinterpret_cast<FARPROC>(&fakeIsWow64Process));
  char buf[4096];
  const int len = GetProcessImagePath(getpid(), buf, sizeof buf);
  ASSERT_GT(len, 0);
  EXPECT_EQ(buf[len], 0);
  EXPECT_EQ(buf[len + 1], 1);
}

// --- antialiased lines --------------------------------------------------------

TEST_F(SysInfo, WithoutGdiplusLinesUseTheContextsPens) {
  EXPECT_EQ(SmoothDrawStartup(), 0);
  EXPECT_EQ(SmoothDrawStartup(), 0);
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HANDLE g = CreateSmoothGraphics(dc);
  EXPECT_EQ(g, static_cast<HANDLE>(dc));
  HANDLE pen = CreateSmoothPen(2, 0x0000FF);
  ASSERT_NE(pen, nullptr);
  int width = 0;
  COLORREF colour = 0;
  ASSERT_TRUE(platform::PenOf(pen, &width, &colour));
  EXPECT_EQ(width, 2);
  EXPECT_EQ(colour, 0x0000FFu);
  HPEN mine = SysCreatePen(PS_SOLID, 1, 0);
  HGDIOBJ original = SysSelectObject(dc, mine);
  EXPECT_TRUE(SmoothDrawLine(g, pen, 1, 2, 30, 40));
  int x = 0, y = 0;
  ASSERT_TRUE(platform::CurrentPosition(dc, &x, &y));
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  EXPECT_EQ(SysSelectObject(dc, original), mine);  // the caller's pen is back
  EXPECT_TRUE(DeleteSmoothPen(pen));
  EXPECT_TRUE(SysDeleteObject(mine));
  EXPECT_TRUE(DeleteSmoothGraphics(g));  // started, though not available
  ReleaseDC(nullptr, dc);
  EXPECT_FALSE(SmoothDrawLine(g, pen, 0, 0, 1, 1));  // a dead context
  EXPECT_EQ(SmoothDrawShutdown(), 1);
  EXPECT_EQ(SmoothDrawShutdown(), 1);
  EXPECT_EQ(SmoothDrawShutdown(), 0);
  EXPECT_FALSE(DeleteSmoothGraphics(g));  // not started
}

// A GDI+ of the test's own that records what it is asked.
struct FakeGdiplus {
  int startups = 0, shutdowns = 0, status = 0;
  UINT version = 0;
  UINT_PTR shutdownToken = 0;
  int smoothing = -1;
  DWORD penColour = 0;
  float penWidth = 0;
  int penUnit = -1;
  std::string lines;
} fake;
GpGraphics* const kGraphics = reinterpret_cast<GpGraphics*>(0x6000);
GpPen* const kPen = reinterpret_cast<GpPen*>(0x7000);

int fakeStartup(UINT_PTR* token, const GdiplusStartupInput* input, void* output) {
  ++fake.startups;
  fake.version = input->GdiplusVersion;
  EXPECT_EQ(input->DebugEventCallback, nullptr);
  EXPECT_EQ(output, nullptr);
  *token = 0xABC;
  return fake.status;
}
void fakeShutdown(UINT_PTR token) {
  ++fake.shutdowns;
  fake.shutdownToken = token;
}
int fakeCreateFromHdc(HDC, GpGraphics** g) {
  *g = kGraphics;
  return 0;
}
int fakeDeleteGraphics(GpGraphics* g) { return g == kGraphics ? 0 : 2; }
int fakeSetSmoothing(GpGraphics*, int mode) {
  fake.smoothing = mode;
  return 0;
}
int fakeDrawEllipse(GpGraphics*, GpPen*, int, int, int, int) { return 0; }
int fakeDrawLine(GpGraphics* g, GpPen* pen, int x1, int y1, int x2, int y2) {
  fake.lines += std::to_string(x1) + "," + std::to_string(y1) + "-" + std::to_string(x2) + "," +
                std::to_string(y2);
  return g == kGraphics && pen == kPen ? 0 : 2;
}
int fakeCreatePen(DWORD argb, float width, int unit, GpPen** pen) {
  fake.penColour = argb;
  fake.penWidth = width;
  fake.penUnit = unit;
  *pen = kPen;
  return 0;
}
int fakeSetPenColor(GpPen*, DWORD) { return 0; }
int fakeDeletePen(GpPen* pen) { return pen == kPen ? 0 : 2; }

void installFakeGdiplus() {
  fake = FakeGdiplus{};
  const struct {
    const char* name;
    FARPROC proc;
  } exports[] = {
      {"GdiplusStartup", reinterpret_cast<FARPROC>(&fakeStartup)},
      {"GdiplusShutdown", reinterpret_cast<FARPROC>(&fakeShutdown)},
      {"GdipCreateFromHDC", reinterpret_cast<FARPROC>(&fakeCreateFromHdc)},
      {"GdipDeleteGraphics", reinterpret_cast<FARPROC>(&fakeDeleteGraphics)},
      {"GdipSetSmoothingMode", reinterpret_cast<FARPROC>(&fakeSetSmoothing)},
      {"GdipDrawEllipseI", reinterpret_cast<FARPROC>(&fakeDrawEllipse)},
      {"GdipDrawLineI", reinterpret_cast<FARPROC>(&fakeDrawLine)},
      {"GdipCreatePen1", reinterpret_cast<FARPROC>(&fakeCreatePen)},
      {"GdipSetPenColor", reinterpret_cast<FARPROC>(&fakeSetPenColor)},
      {"GdipDeletePen", reinterpret_cast<FARPROC>(&fakeDeletePen)},
  };
  for (const auto& e : exports) platform::SetStandInExport("gdiplus.dll", e.name, e.proc);
}

TEST_F(SysInfo, WithGdiplusLinesAreAntialiased) {
  installFakeGdiplus();
  ASSERT_EQ(SmoothDrawStartup(), 1);
  EXPECT_EQ(fake.version, 1u);
  EXPECT_EQ(platform::StandInModuleLoadCount("gdiplus"), 1);
  HDC dc = GetDC(nullptr);
  HANDLE g = CreateSmoothGraphics(dc);
  EXPECT_EQ(g, static_cast<HANDLE>(kGraphics));
  EXPECT_EQ(fake.smoothing, 4);
  HANDLE pen = CreateSmoothPen(2, 0x0000FF);
  EXPECT_EQ(pen, static_cast<HANDLE>(kPen));
  EXPECT_EQ(fake.penColour, 0xFFFF0000u);  // opaque red
  EXPECT_EQ(fake.penWidth, 2.0f);
  EXPECT_EQ(fake.penUnit, 2);
  CreateSmoothPen(1, 0x00123456);
  EXPECT_EQ(fake.penColour, 0xFF563412u);
  EXPECT_TRUE(SmoothDrawLine(g, pen, 1, 2, 3, 4));
  EXPECT_EQ(fake.lines, "1,2-3,4");
  EXPECT_FALSE(SmoothDrawLine(g, nullptr, 0, 0, 0, 0));
  EXPECT_TRUE(DeleteSmoothPen(pen));
  EXPECT_TRUE(DeleteSmoothGraphics(g));
  ReleaseDC(nullptr, dc);
  // Started twice and ended once, it stays loaded; the last end unloads it.
  EXPECT_EQ(SmoothDrawStartup(), 1);
  EXPECT_EQ(fake.startups, 1);
  EXPECT_EQ(SmoothDrawShutdown(), 1);
  EXPECT_EQ(fake.shutdowns, 0);
  EXPECT_EQ(platform::StandInModuleLoadCount("gdiplus"), 1);
  EXPECT_EQ(SmoothDrawShutdown(), 1);
  EXPECT_EQ(fake.shutdowns, 1);
  EXPECT_EQ(fake.shutdownToken, 0xABCu);
  EXPECT_EQ(platform::StandInModuleLoadCount("gdiplus"), 0);
  EXPECT_EQ(SmoothDrawShutdown(), 0);
}

TEST_F(SysInfo, IncompleteOrFailingGdiplusIsNotAvailable) {
  installFakeGdiplus();
  platform::SetStandInExport("gdiplus.dll", "GdipSetPenColor", nullptr);
  EXPECT_EQ(SmoothDrawStartup(), 0);
  EXPECT_EQ(fake.startups, 0);
  EXPECT_EQ(platform::StandInModuleLoadCount("gdiplus"), 0);
  EXPECT_EQ(SmoothDrawShutdown(), 1);
  installFakeGdiplus();
  fake.status = 3;
  EXPECT_EQ(SmoothDrawStartup(), 0);
  EXPECT_EQ(fake.startups, 1);
  EXPECT_EQ(platform::StandInModuleLoadCount("gdiplus"), 0);
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(CreateSmoothGraphics(dc), static_cast<HANDLE>(dc));
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(SmoothDrawShutdown(), 1);
  EXPECT_EQ(fake.shutdowns, 0);
}

}  // namespace

// --- bitmap headers ---------------------------------------------------------

namespace {

struct DibInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

// A DIB section of the given depth whose colour table counts up from
// (1, 2, 3).
HBITMAP makeSection(LONG width, LONG height, WORD bits) {
  DibInfo info{};
  info.header = BITMAPINFOHEADER{40, width, height, 1, bits, BI_RGB, 0, 0, 0, 0, 0};
  for (int i = 0; i < 256; ++i)
    info.colours[i] = RGBQUAD{static_cast<BYTE>(i + 1), static_cast<BYTE>(i + 2),
                              static_cast<BYTE>(i + 3), 0};
  void* pixels = nullptr;
  return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels,
                          nullptr, 0);
}

TEST(BitmapHeader, GivesHeaderAndAsManyColoursAsAsked) {
  struct Case {
    WORD bits;
    DWORD maxColours;
    DWORD copied;
  } cases[] = {
      {4, 16, 16}, {4, 3, 3}, {4, 100, 16}, {1, 256, 2}, {8, 256, 256}, {8, 300, 256},
      {8, 0, 0},   {24, 256, 0}, {32, 5, 0},
  };
  for (const Case& c : cases) {
    HBITMAP bmp = makeSection(7, -5, c.bits);
    ASSERT_NE(bmp, nullptr);
    DibInfo out;
    std::memset(&out, 0xEE, sizeof out);
    ASSERT_TRUE(GetBitmapHeader(bmp, reinterpret_cast<BITMAPINFO*>(&out), c.maxColours));
    EXPECT_EQ(out.header.biSize, 40u);
    EXPECT_EQ(out.header.biWidth, 7);
    EXPECT_EQ(out.header.biHeight, 5);  // the size, whatever the row order
    EXPECT_EQ(out.header.biPlanes, 1);
    EXPECT_EQ(out.header.biBitCount, c.bits);
    for (DWORD i = 0; i < c.copied; ++i) {
      EXPECT_EQ(out.colours[i].rgbBlue, static_cast<BYTE>(i + 1)) << c.bits << " " << i;
      EXPECT_EQ(out.colours[i].rgbRed, static_cast<BYTE>(i + 3)) << c.bits << " " << i;
    }
    if (c.copied < 256) {
      EXPECT_EQ(out.colours[c.copied].rgbBlue, 0xEE) << c.bits;  // nothing behind
    }
    DeleteObject(bmp);
  }
}

TEST(BitmapHeader, RefusesMissingBitmapsWithZeroHeader) {
  DibInfo out;
  std::memset(&out, 0xEE, sizeof out);
  EXPECT_FALSE(GetBitmapHeader(nullptr, reinterpret_cast<BITMAPINFO*>(&out), 16));
  const BYTE* b = reinterpret_cast<const BYTE*>(&out);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[40], 0xEE);
  std::memset(&out, 0xEE, sizeof out);
  EXPECT_FALSE(GetBitmapHeader(reinterpret_cast<HBITMAP>(0x1234), reinterpret_cast<BITMAPINFO*>(&out), 16));
  EXPECT_EQ(out.header.biSize, 0u);
  HBITMAP bmp = makeSection(1, 1, 8);
  EXPECT_FALSE(GetBitmapHeader(bmp, nullptr, 0));
  DeleteObject(bmp);
}

TEST(BitmapHeader, DimensionsInEitherForm) {
  HBITMAP bmp = makeSection(640, 480, 24);
  DWORD w = 0, h = 0, bits = 0;
  EXPECT_TRUE(GetBitmapDimensions(bmp, &w, &h, &bits));
  EXPECT_EQ(w, 640u);
  EXPECT_EQ(h, 480u);
  EXPECT_EQ(bits, 24u);
  EXPECT_TRUE(GetBitmapDimensions(bmp, nullptr, &h, nullptr));
  SIZE size{0, 0};
  EXPECT_TRUE(GetBitmapDimensions(bmp, &size));
  EXPECT_EQ(size.cx, 640);
  EXPECT_EQ(size.cy, 480);
  DeleteObject(bmp);
  HDC dc = GetDC(nullptr);
  HBITMAP screen = CreateCompatibleBitmap(dc, 3, 2);
  ReleaseDC(nullptr, dc);
  EXPECT_TRUE(GetBitmapDimensions(screen, &w, &h, &bits));
  EXPECT_EQ(bits, 32u);
  DeleteObject(screen);
  w = h = bits = 9;
  EXPECT_FALSE(GetBitmapDimensions(screen, &w, &h, &bits));  // deleted
  EXPECT_EQ(w + h + bits, 0u);
  EXPECT_FALSE(GetBitmapDimensions(nullptr, &size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(size.cy, 0);
}

}  // namespace
