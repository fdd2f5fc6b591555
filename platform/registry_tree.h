// The registry's tree in memory, shared by the key functions and the store
// file's reader and writer.
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

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::string name;
  Key* parent = nullptr;
  bool deleted = false;
  std::vector<Value> values;                 // in the order first written
  std::vector<std::shared_ptr<Key>> subkeys;  // sorted by FoldCompare of the names
};

// The Latin-1 capital of a name byte; names compare by it.
unsigned char FoldByte(char c);

// Orders names without regard to Latin-1 letter case.
int FoldCompare(const std::string& a, const std::string& b);
bool FoldEqual(const std::string& a, const std::string& b);

// Index of the subkey named `name`, or the position where it would go with
// *found false.
size_t FindSubKey(const Key& key, const std::string& name, bool* found);
Value* FindValue(Key& key, const std::string& name);

// The predefined roots in the order of their handle values.
constexpr uintptr_t kRootHandles[] = {0x80000000, 0x80000001, 0x80000002,
                                      0x80000003, 0x80000005, 0x80000006};
constexpr size_t kRootCount = sizeof(kRootHandles) / sizeof(kRootHandles[0]);

// Store file: every root's tree. Saved key file: one key's tree.
std::string WriteStoreImage(const std::shared_ptr<Key> (&roots)[kRootCount]);
bool ReadStoreImage(const BYTE* data, size_t size, std::shared_ptr<Key> (&roots)[kRootCount]);
std::string WriteKeyImage(const Key& key);
// Fills `key` (whose name is kept) from a saved key file.
bool ReadKeyImage(const BYTE* data, size_t size, Key& key);

// Disk access. 0 or an error code; a missing file reads as ERROR_FILE_NOT_FOUND.
LONG ReadWholeFile(const std::string& path, std::string* out);
// Writes beside the target and renames over it, creating missing folders.
LONG WriteFileAtomic(const std::string& path, const std::string& bytes);
// Writes a file that must not exist yet.
LONG WriteNewFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
LONG RenameFile(const std::string& from, const std::string& to);
// $XDG_CONFIG_HOME/zelvaro/registry.dat, or ~/.config/zelvaro/registry.dat.
std::string DefaultStorePath();

}  // namespace platform::registry_detail
