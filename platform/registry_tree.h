// A registry tree in memory, as saved key files and older store files hold
// it, and the file access of the store.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace platform::registry_detail {

constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;
constexpr int kMaxDepth = 512;
// The most data one value may hold, checked when it is written; saved key
// files are read up to the same size.
constexpr size_t kMaxValueData = size_t{256} << 20;
constexpr size_t kMaxFileSize = size_t{256} << 20;

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::string name;
  Key* parent = nullptr;
  std::vector<Value> values;                 // in the order first written
  std::vector<std::shared_ptr<Key>> subkeys;  // sorted by FoldCompare of the names
};

// The Latin-1 capital of a name byte; names compare by it.
unsigned char FoldByte(char c);

// Orders names without regard to Latin-1 letter case.
int FoldCompare(const std::string& a, const std::string& b);
bool FoldEqual(const std::string& a, const std::string& b);

// The predefined roots in the order of their handle values.
constexpr uintptr_t kRootHandles[] = {0x80000000, 0x80000001, 0x80000002,
                                      0x80000003, 0x80000005, 0x80000006};
constexpr size_t kRootCount = sizeof(kRootHandles) / sizeof(kRootHandles[0]);

// Older store file: every root's tree. Saved key file: one key's tree.
std::string WriteStoreImage(const std::shared_ptr<Key> (&roots)[kRootCount]);
bool ReadStoreImage(const BYTE* data, size_t size, std::shared_ptr<Key> (&roots)[kRootCount]);
std::string WriteKeyImage(const Key& key);
// Fills `key` (whose name is kept) from a saved key file.
bool ReadKeyImage(const BYTE* data, size_t size, Key& key);

// Disk access. 0 or an error code; a missing file reads as ERROR_FILE_NOT_FOUND.
LONG ReadWholeFile(const std::string& path, std::string* out);
bool FileExists(const std::string& path);

// A file written whole under a hidden temporary name beside its own
// (".name.tmp") and locked until it takes that name, so that it never
// appears half written, and a writer of the same name waits for the one
// before instead of writing over its temporary. A leftover of a writer that
// was killed is written over, unless the store waits to name it (the caller
// asks first). Discarded unless placed.
class HeldTemporary {
 public:
  HeldTemporary() = default;
  HeldTemporary(const HeldTemporary&) = delete;
  HeldTemporary& operator=(const HeldTemporary&) = delete;
  ~HeldTemporary() { Discard(); }

  static std::string NameFor(const std::string& path);
  LONG Write(const std::string& path, const std::string& bytes);
  // Gives the temporary the name `path`, which must not exist.
  LONG Place(const std::string& path);
  void Discard();

 private:
  std::string temp_;
  int fd_ = -1;
};
// Gives the temporary `temp` a killed writer left the name `path`, which
// must not exist: ERROR_FILE_NOT_FOUND when there is no such temporary
// (any more), ERROR_BUSY when a live writer holds it and names it itself.
LONG PlaceLeftover(const std::string& temp, const std::string& path);
// The caller's file name as the same file is named from any folder.
std::string HostPath(const char* file);
// $XDG_CONFIG_HOME/zelvaro/registry.db, or ~/.config/zelvaro/registry.db.
std::string DefaultStorePath();
// Creates every missing folder above the file, private to the user.
void MakeParents(const std::string& path);
// The Win32 code of an errno value.
LONG FromErrno(int err, LONG fallback);

}  // namespace platform::registry_detail
