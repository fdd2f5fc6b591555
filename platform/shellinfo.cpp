#include "platform/shellinfo.h"

#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>
#include <string>

#include "platform/findfile.h"
#include "platform/shellns.h"

namespace {

constexpr const char* kIconExtensions[] = {
    "txt", "zlv", "htm", "html", "png", "jpg", "jpeg", "gif", "bmp",
    "tif", "tiff", "ico", "exe", "lnk", "pdf", "zip",
};

struct DriveKind {
  int icon;
  const char* typeName;
};
// Indexed by SYS_DRIVE_*; unknown kinds look like fixed drives.
constexpr DriveKind kDriveKinds[] = {
    {SYS_ICON_DRIVE_FIXED, "Lokaler Datentr\344ger"},   // unknown
    {SYS_ICON_DRIVE_FIXED, "Lokaler Datentr\344ger"},   // no root
    {SYS_ICON_DRIVE_REMOVABLE, "Wechseldatentr\344ger"},
    {SYS_ICON_DRIVE_FIXED, "Lokaler Datentr\344ger"},
    {SYS_ICON_DRIVE_REMOTE, "Netzlaufwerk"},
    {SYS_ICON_DRIVE_CDROM, "CD-Laufwerk"},
    {SYS_ICON_DRIVE_FIXED, "Lokaler Datentr\344ger"},   // RAM disk
};

std::atomic<long> g_queries{0};
std::atomic<DWORD (*)()> g_tickSource{nullptr};
UINT g_driveTypes[26];

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool IsLink(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// "X:" with at most one separator behind it: the letter, else 0.
int DriveRootLetter(const char* path) {
  if (path == nullptr || path[0] == 0 || path[1] != ':') return 0;
  unsigned c = static_cast<unsigned char>(path[0]) | 0x20u;
  if (c - 'a' >= 26u) return 0;
  if (path[2] != 0 && !(IsSep(path[2]) && path[3] == 0)) return 0;
  return int(c - 32);
}

void SetText(char* out, const char* text) {
  size_t n = strlen(text);
  if (n > 79) n = 79;
  memcpy(out, text, n);
  out[n] = 0;
}

// "<EXT>-Datei" or "Datei" for the last component of path.
void FileTypeName(const char* path, char* out) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (IsSep(*p)) name = p + 1;
  const char* dot = strrchr(name, '.');
  if (dot == nullptr || dot[1] == 0) {
    SetText(out, "Datei");
    return;
  }
  std::string text;
  for (const char* p = dot + 1; *p && text.size() < 72; ++p)
    text += char(unsigned(static_cast<unsigned char>(*p) - 'a') < 26u ? *p - 32 : *p);
  text += "-Datei";
  SetText(out, text.c_str());
}

int FileIcon(const char* path) {
  const char* dot = strrchr(path, '.');
  if (dot == nullptr || strpbrk(dot, "\\/")) return SYS_ICON_FILE;
  for (int i = 0; SysKnownIconExtension(i); ++i)
    if (strcasecmp(dot + 1, SysKnownIconExtension(i)) == 0) return SYS_ICON_FIRST_EXTENSION + i;
  return SYS_ICON_FILE;
}

uintptr_t Answer(SysShellFileInfo* info, int icon, const char* typeName, UINT flags) {
  if (flags & SYS_SHGFI_SYSICONINDEX) info->iconIndex = icon;
  if (flags & SYS_SHGFI_TYPENAME) SetText(info->typeName, typeName);
  if (flags & SYS_SHGFI_SYSICONINDEX)
    return reinterpret_cast<uintptr_t>((flags & SYS_SHGFI_SMALLICON) ? SYS_IMAGELIST_SMALL
                                                                      : SYS_IMAGELIST_LARGE);
  return 1;
}

uintptr_t PathInfo(const char* path, DWORD attributes, SysShellFileInfo* info, UINT flags) {
  if (int letter = DriveRootLetter(path)) {
    char root[4] = {char(letter), ':', '\\', 0};
    UINT type = SysGetDriveType(root);
    if (type == SYS_DRIVE_NO_ROOT_DIR && !(flags & SYS_SHGFI_USEFILEATTRIBUTES)) return 0;
    const DriveKind& kind = kDriveKinds[type < 7 ? type : 0];
    return Answer(info, kind.icon, kind.typeName, flags);
  }
  if (!(flags & SYS_SHGFI_USEFILEATTRIBUTES)) {
    SysFindData data;
    if (!SysGetFileAttributesEx(path, &data, nullptr)) return 0;
    attributes = data.attributes;
    if (strcmp(path, "/") == 0) return Answer(info, SYS_ICON_DRIVE_FIXED, kDriveKinds[3].typeName, flags);
  }
  if (attributes != SYS_ATTR_INVALID && (attributes & SYS_ATTR_DIRECTORY))
    return Answer(info, (flags & SYS_SHGFI_OPENICON) ? SYS_ICON_FOLDER_OPEN : SYS_ICON_FOLDER,
                  "Dateiordner", flags);
  char typeName[80];
  FileTypeName(path, typeName);
  return Answer(info, FileIcon(path), typeName, flags);
}

}  // namespace

const char* SysKnownIconExtension(int i) {
  constexpr int n = int(sizeof kIconExtensions / sizeof kIconExtensions[0]);
  return i >= 0 && i < n ? kIconExtensions[i] : nullptr;
}

uintptr_t SysGetFileInfo(const char* path, DWORD attributes, SysShellFileInfo* info, UINT flags) {
  ++g_queries;
  if (path == nullptr || path[0] == 0 || info == nullptr) return 0;
  return PathInfo(path, attributes, info, flags);
}

uintptr_t SysGetFileInfoOfList(const void* list, SysShellFileInfo* info, UINT flags) {
  ++g_queries;
  if (list == nullptr || info == nullptr) return 0;
  // The last ID decides; an empty list is the desktop.
  const BYTE* p = static_cast<const BYTE*>(list);
  const BYTE* last = nullptr;
  for (;;) {
    WORD cb = WORD(p[0] | (p[1] << 8));
    if (cb == 0) break;
    if (cb < 3) return 0;
    last = p;
    p += cb;
  }
  if (last == nullptr) return Answer(info, SYS_ICON_DESKTOP, "Systemordner", flags);
  const char* name = reinterpret_cast<const char*>(last + 3);
  switch (last[2]) {
    case SYS_ID_SPECIAL:
      return Answer(info, strcmp(name, "Netzwerksumgebung") == 0 ? SYS_ICON_NETWORK : SYS_ICON_COMPUTER,
                    "Systemordner", flags);
    case SYS_ID_SERVER: return Answer(info, SYS_ICON_SERVER, "Computer", flags);
    case SYS_ID_SHARE: return Answer(info, SYS_ICON_SHARE, "Freigabe", flags);
    default: break;
  }
  char path[SYS_MAX_PATH];
  if (!SysGetPathFromIdList(static_cast<const BYTE*>(list), path)) return 0;
  DWORD attributes = 0;
  if (last[2] == SYS_ID_FILE) {
    std::string host;
    if (SysHostPathOf(path, host) && IsLink(host))
      return Answer(info, SYS_ICON_LINK, "Verkn\374pfung", flags);
  }
  return PathInfo(path, attributes, info, flags & ~SYS_SHGFI_USEFILEATTRIBUTES);
}

long SysShellInfoQueries() { return g_queries.load(); }

UINT SysGetDriveType(const char* root) {
  int letter = DriveRootLetter(root);
  if (letter == 0) return SYS_DRIVE_NO_ROOT_DIR;
  char host[4096];
  if (SysGetDriveRoot(letter, host, sizeof host) == 0) return SYS_DRIVE_NO_ROOT_DIR;
  UINT type = g_driveTypes[letter - 'A'];
  return type ? type : SYS_DRIVE_FIXED;
}

void SysSetDriveType(int letter, UINT type) {
  unsigned c = unsigned(letter) | 0x20u;
  if (c - 'a' < 26u) g_driveTypes[c - 'a'] = type;
}

int SysGetSystemDirectory(char* out, int size) {
  if (size >= 1 && out) out[0] = 0;
  return 0;
}

DWORD SysGetTickCount() {
  if (DWORD (*source)() = g_tickSource.load()) return source();
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return DWORD(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}

void SysSetTickSource(DWORD (*source)()) { g_tickSource.store(source); }
