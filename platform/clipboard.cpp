#include "platform/clipboard.h"

#include <map>
#include <mutex>

#include "platform/faults.h"
#include "platform/globalmem.h"

namespace {

class Store {
 public:
  ~Store() {
    for (auto& entry : blocks) GlobalFree(entry.second);
  }

  std::mutex lock;
  bool open = false;
  HWND owner = nullptr;
  std::map<UINT, HGLOBAL> blocks;
};

// Freed at exit, so leak checkers see no block left behind.
Store store;

}  // namespace

BOOL OpenClipboard(HWND owner) {
  if (platform::TakeInjectedFault(platform::FaultPoint::OpenClipboard)) return FALSE;
  std::lock_guard guard(store.lock);
  if (store.open) return FALSE;
  store.open = true;
  store.owner = owner;
  return TRUE;
}

BOOL CloseClipboard() {
  std::lock_guard guard(store.lock);
  if (!store.open) return FALSE;
  store.open = false;
  store.owner = nullptr;
  return TRUE;
}

BOOL EmptyClipboard() {
  std::lock_guard guard(store.lock);
  if (!store.open) return FALSE;
  for (auto& entry : store.blocks) GlobalFree(entry.second);
  store.blocks.clear();
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE block) {
  if (platform::TakeInjectedFault(platform::FaultPoint::SetClipboardData)) return nullptr;
  std::lock_guard guard(store.lock);
  if (!store.open || !block) return nullptr;
  auto [it, inserted] = store.blocks.try_emplace(format, block);
  if (!inserted && it->second != block) {
    GlobalFree(it->second);
    it->second = block;
  }
  return block;
}

HANDLE GetClipboardData(UINT format) {
  std::lock_guard guard(store.lock);
  if (!store.open) return nullptr;
  auto it = store.blocks.find(format);
  return it == store.blocks.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  std::lock_guard guard(store.lock);
  return store.blocks.count(format) != 0;
}
