#include "platform/globalmem.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "platform/faults.h"

namespace {

struct Block {
  size_t size;
  unsigned locks;
  void* bytes;
};

struct Table {
  std::mutex lock;
  std::unordered_map<uintptr_t, Block> blocks;
  uintptr_t nextId = 0x1000;
};

// Never destroyed: blocks may be freed from other objects' destructors at
// exit (the clipboard store), after a static table would already be gone.
Table& table() {
  static Table* t = new Table;
  return *t;
}

uintptr_t key(HGLOBAL block) { return reinterpret_cast<uintptr_t>(block); }

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  if (platform::TakeInjectedFault(platform::FaultPoint::GlobalAlloc)) return nullptr;
  // A zero-byte block still gets a unique address to lock.
  size_t allocated = bytes ? bytes : 1;
  void* p = (flags & GMEM_ZEROINIT) ? std::calloc(allocated, 1) : std::malloc(allocated);
  if (!p) return nullptr;
  Table& t = table();
  std::lock_guard guard(t.lock);
  uintptr_t id = t.nextId;
  t.nextId += 8;
  t.blocks.emplace(id, Block{bytes, 0, p});
  return reinterpret_cast<HGLOBAL>(id);
}

void* GlobalLock(HGLOBAL block) {
  if (platform::TakeInjectedFault(platform::FaultPoint::GlobalLock)) return nullptr;
  Table& t = table();
  std::lock_guard guard(t.lock);
  auto it = t.blocks.find(key(block));
  if (it == t.blocks.end()) return nullptr;
  ++it->second.locks;
  return it->second.bytes;
}

BOOL GlobalUnlock(HGLOBAL block) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  auto it = t.blocks.find(key(block));
  if (it == t.blocks.end() || it->second.locks == 0) return FALSE;
  return --it->second.locks != 0;
}

size_t GlobalSize(HGLOBAL block) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  auto it = t.blocks.find(key(block));
  return it == t.blocks.end() ? 0 : it->second.size;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  void* bytes = nullptr;
  {
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.blocks.find(key(block));
    if (it == t.blocks.end()) return block;
    bytes = it->second.bytes;
    t.blocks.erase(it);
  }
  std::free(bytes);
  return nullptr;
}

namespace platform {
size_t GlobalLiveBlocks() {
  Table& t = table();
  std::lock_guard guard(t.lock);
  return t.blocks.size();
}
}  // namespace platform
