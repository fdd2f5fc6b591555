// File information the shell gives: system icon indices and type names,
// drive types, the system folder and the millisecond tick count.
//
// The system image list of this host is a fixed table of our own; the small
// and the large list share its indices:
//   0 file without an icon of its own, 1 folder, 2 open folder, 3 fixed
//   drive (and the host root), 4 removable drive, 5 network drive, 6 CD
//   drive, 7 computer, 8 network, 9 server, 10 share, 11 desktop, 12 link;
//   16 + i for the i-th extension of SysKnownIconExtension.
// Type names (Latin-1): "Dateiordner" for folders, "<EXT>-Datei" for a file
// with an extension (the extension upper-cased), "Datei" without one;
// drives by type: "Lokaler Datentr\344ger", "Wechseldatentr\344ger",
// "Netzlaufwerk", "CD-Laufwerk"; "Systemordner" for the computer, network
// and desktop, "Computer" for a server, "Freigabe" for a share,
// "Verkn\374pfung" for a symbolic link named by an item-ID list.
#pragma once

#include "platform/types.h"

struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;

inline constexpr UINT SYS_SHGFI_SMALLICON = 0x1;
inline constexpr UINT SYS_SHGFI_OPENICON = 0x2;
inline constexpr UINT SYS_SHGFI_PIDL = 0x8;
inline constexpr UINT SYS_SHGFI_USEFILEATTRIBUTES = 0x10;
inline constexpr UINT SYS_SHGFI_TYPENAME = 0x400;
inline constexpr UINT SYS_SHGFI_SYSICONINDEX = 0x4000;

enum : int {
  SYS_ICON_FILE = 0, SYS_ICON_FOLDER = 1, SYS_ICON_FOLDER_OPEN = 2, SYS_ICON_DRIVE_FIXED = 3,
  SYS_ICON_DRIVE_REMOVABLE = 4, SYS_ICON_DRIVE_REMOTE = 5, SYS_ICON_DRIVE_CDROM = 6,
  SYS_ICON_COMPUTER = 7, SYS_ICON_NETWORK = 8, SYS_ICON_SERVER = 9, SYS_ICON_SHARE = 10,
  SYS_ICON_DESKTOP = 11, SYS_ICON_LINK = 12, SYS_ICON_FIRST_EXTENSION = 16,
};

// The extensions that have icons of their own (lower case), in index
// order; null past the last.
const char* SysKnownIconExtension(int i);

// The two image lists (values to compare, never to follow).
inline HIMAGELIST const SYS_IMAGELIST_LARGE = reinterpret_cast<HIMAGELIST>(uintptr_t(0x51A0));
inline HIMAGELIST const SYS_IMAGELIST_SMALL = reinterpret_cast<HIMAGELIST>(uintptr_t(0x51A1));

struct SysShellFileInfo {
  int iconIndex;
  char typeName[80];
};

// Facts of a file, a folder or a drive root named by path. With
// SYS_SHGFI_USEFILEATTRIBUTES the disk is not asked: attributes
// (SYS_ATTR_*) and the name decide; else the path must exist. Answers
// SYS_SHGFI_SYSICONINDEX with the image list (small or large by
// SYS_SHGFI_SMALLICON) and SYS_SHGFI_TYPENAME with nonzero; 0 on failure.
uintptr_t SysGetFileInfo(const char* path, DWORD attributes, SysShellFileInfo* info, UINT flags);
// The same for an absolute item-ID list (SYS_SHGFI_PIDL).
uintptr_t SysGetFileInfoOfList(const void* list, SysShellFileInfo* info, UINT flags);
// Calls of the two functions above so far.
long SysShellInfoQueries();

inline constexpr UINT SYS_DRIVE_UNKNOWN = 0;
inline constexpr UINT SYS_DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT SYS_DRIVE_REMOVABLE = 2;
inline constexpr UINT SYS_DRIVE_FIXED = 3;
inline constexpr UINT SYS_DRIVE_REMOTE = 4;
inline constexpr UINT SYS_DRIVE_CDROM = 5;

// The type of the drive whose root is named ("C:\", "C:", "c:/"): a lent
// drive is fixed unless SysSetDriveType said otherwise; others have no root.
UINT SysGetDriveType(const char* root);
// The test seam: the type a lent drive reports (0: back to fixed).
void SysSetDriveType(int letter, UINT type);

// The system folder: this host has none, so 0 (out emptied when size >= 1).
int SysGetSystemDirectory(char* out, int size);

// Milliseconds since an arbitrary start, wrapping at 2^32. A test may set a
// clock of its own (null: the real one again).
DWORD SysGetTickCount();
void SysSetTickSource(DWORD (*source)());
