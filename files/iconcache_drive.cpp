// The process-wide caches beside the icon cache: drive icons, the drive
// mask, the system drive and the system image lists. Plain values for the UI
// thread, without a lock.
#include <cstring>

#include "files/iconcache.h"
#include "platform/findfile.h"
#include "platform/pathsys.h"

namespace {

constexpr DWORD kDriveIconExpiry = 3000;  // ms for drives that are not fixed
constexpr DWORD kDriveMaskExpiry = 1000;
constexpr UINT kIconByAttributes = SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_USEFILEATTRIBUTES;

struct DriveSlot {
  BYTE type;  // 0: never asked
  int icon[2];  // large, small
  DWORD tick[2];
  bool fetched[2];
};

DriveSlot g_drives[26];
DWORD g_driveMask = 0;
DWORD g_driveMaskTick = 0;
char g_systemDrive = 0;
HIMAGELIST g_imageLists[2];  // non-zero argument, zero argument

}  // namespace

int GetDriveIconIndex(char letter, uint32_t flags) {
  unsigned i = (static_cast<unsigned char>(letter) & ~0x20u) - 'A';
  if (i >= 26) return -2;
  int size = (flags & 1) ? 1 : 0;
  DriveSlot& drive = g_drives[i];
  if (drive.fetched[size]) {
    if (drive.type == SYS_DRIVE_FIXED) return drive.icon[size];
    if (drive.type != 0 && SysGetTickCount() - drive.tick[size] < kDriveIconExpiry)
      return drive.icon[size];
  }
  char root[4] = {char('A' + i), ':', '\\', 0};
  SysShellFileInfo info;
  if (SysGetFileInfo(root, SYS_ATTR_DIRECTORY, &info, kIconByAttributes | (size ? SYS_SHGFI_SMALLICON : 0)) == 0)
    return -1;
  drive.type = BYTE(SysGetDriveType(root));
  drive.icon[size] = info.iconIndex;
  drive.tick[size] = SysGetTickCount();
  drive.fetched[size] = true;
  return info.iconIndex;
}

uint32_t GetLogicalDrivesCached() {
  DWORD now = SysGetTickCount();
  if (g_driveMask != 0 && now - g_driveMaskTick < kDriveMaskExpiry) return g_driveMask;
  g_driveMask = SysGetLogicalDrives();
  g_driveMaskTick = now;
  return g_driveMask;
}

char GetSystemDriveLetter() {
  if (g_systemDrive != 0) return g_systemDrive;
  char folder[SYS_MAX_PATH];
  unsigned first = 26;
  if (SysGetSystemDirectory(folder, sizeof folder) > 1 && folder[1] == ':')
    first = (static_cast<unsigned char>(folder[0]) & ~0x20u) - 'A';
  if (first >= 26) {
    uint32_t mask = GetLogicalDrivesCached();
    first = 2;
    while (first < 26 && !(mask & (uint32_t(1) << first))) ++first;
    if (first == 26) first = 2;
  }
  g_systemDrive = char('A' + first);
  return g_systemDrive;
}

int GetDirectoryIconIndex(uint32_t flags) {
  SysShellFileInfo info;
  if (SysGetFileInfo("folder", SYS_ATTR_DIRECTORY, &info, flags | kIconByAttributes) == 0) return -1;
  return info.iconIndex;
}

HIMAGELIST GetSystemImageList(int which) {
  HIMAGELIST& slot = g_imageLists[which != 0 ? 0 : 1];
  if (slot == nullptr) {
    static const BYTE kEmptyList[2] = {0, 0};
    SysShellFileInfo info;
    UINT size = which != 0 ? SYS_SHGFI_SMALLICON : 0;
    slot = reinterpret_cast<HIMAGELIST>(
        SysGetFileInfoOfList(kEmptyList, &info, SYS_SHGFI_SYSICONINDEX | SYS_SHGFI_PIDL | size));
  }
  return slot;
}

void ResetDriveIconCache() {
  memset(g_drives, 0, sizeof g_drives);
  g_driveMask = 0;
  g_driveMaskTick = 0;
  g_systemDrive = 0;
  g_imageLists[0] = g_imageLists[1] = nullptr;
}
