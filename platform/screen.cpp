#include "platform/screen.h"

#include <cstdint>
#include <mutex>
#include <unordered_set>

#include "platform/faults.h"

namespace {

struct Table {
  std::mutex lock;
  std::unordered_set<uintptr_t> live;
  uintptr_t nextId = 0x3000;
};

Table& table() {
  static Table* t = new Table;
  return *t;
}

}  // namespace

HDC GetDC(HWND) {
  if (platform::TakeInjectedFault(platform::FaultPoint::GetDC)) return nullptr;
  Table& t = table();
  std::lock_guard guard(t.lock);
  uintptr_t id = t.nextId;
  t.nextId += 8;
  t.live.insert(id);
  return reinterpret_cast<HDC>(id);
}

int ReleaseDC(HWND, HDC dc) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  return t.live.erase(reinterpret_cast<uintptr_t>(dc)) ? 1 : 0;
}

int GetDeviceCaps(HDC dc, int index) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  if (!t.live.count(reinterpret_cast<uintptr_t>(dc))) return 0;
  switch (index) {
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    default: return 0;
  }
}

namespace platform {
size_t LiveDeviceContexts() {
  Table& t = table();
  std::lock_guard guard(t.lock);
  return t.live.size();
}
}  // namespace platform
