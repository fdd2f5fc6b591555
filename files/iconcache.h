// Per-extension icons and type names of the shell, remembered once per
// extension, and the cached drive icons, drive mask and system image lists.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/shellinfo.h"
#include "platform/types.h"
#include "toolkit/pointerarray.h"
#include "toolkit/recordarray.h"

// One extension: key = its first 8 characters (A-Z lower-cased, bytes from
// 0x80 up as 0xFF, zero-padded). icon[] is indexed by the shell flag bits
// 0-1 (bit 0 small, bit 1 open): large, small, large open, small open; -1 =
// not asked yet. typeName: the shell's type name in the string store; null =
// not asked yet.
struct FileIconEntry {
  char key[8];
  int icon[4];
  const char* typeName;
};

inline constexpr int ICONCACHE_BUCKETS = 27;

class CFileIconCache {
 public:
  // Constant-initialised, so the program's one cache is ready before any
  // static constructor of another file may ask it.
  constexpr CFileIconCache() = default;
  ~CFileIconCache();
  CFileIconCache(const CFileIconCache&) = delete;
  CFileIconCache& operator=(const CFileIconCache&) = delete;

  // Finds or creates the entry of an extension (without its dot); null only
  // when memory runs out. The entry stays valid until Clear.
  FileIconEntry* GetEntry(const char* extension);
  FileIconEntry* GetEntryW(const wchar16* extension);
  // An owned copy of length bytes of text, terminated; valid until Clear.
  const char* InternString(const char* text, uint32_t length);
  // Frees every bucket, the bucket table and the string store.
  void Clear();

  // The bucket of a key: 1-26 for a-z, else 0.
  static int BucketOf(const char key[8]);
  // The key of an extension as GetEntry builds it.
  static void MakeKey(const char* extension, char key[8]);
  static void MakeKeyW(const wchar16* extension, char key[8]);
  // For inspection: the bucket array of index b (null when not created yet)
  // and the string store (null before the first InternString).
  const CRecordArray* Bucket(int b) const;
  const CPointerArray* StringStore() const;

 private:
  FileIconEntry* Lookup(const char key[8]);

  CRecordArray** buckets_ = nullptr;
  CPointerArray* strings_ = nullptr;
  mutable std::mutex lock_;
};

// The program's one cache.
extern CFileIconCache g_fileIconCache;

// The icon index of a file of that name and attributes (SYS_ATTR_*), asked
// from the shell once per extension and flag combination (flags bits 0-1:
// small, open); -1 when the shell has none.
int GetFileIconIndex(const char* name, DWORD attributes, uint32_t flags);
// The shell's type name of a file of that name and attributes, asked once
// per extension and kept in the cache's string store; "" when none.
const char* GetFileTypeName(const char* name, DWORD attributes);

// Icon index of a drive's root (flags bit 0: small); -2 for a letter that
// is no drive letter, -1 when the shell has none.
int GetDriveIconIndex(char letter, uint32_t flags);
// The present drives (bit 0 = A), cached for a second.
uint32_t GetLogicalDrivesCached();
// The system drive's letter (upper case), found once.
char GetSystemDriveLetter();
// The folder icon's index, -1 on failure.
int GetDirectoryIconIndex(uint32_t flags);
// The system image list: the small one for a non-zero argument, the large
// one for 0.
HIMAGELIST GetSystemImageList(int which);
// Forgets the drive, drive-mask, system-drive and image-list caches.
void ResetDriveIconCache();
