#include "platform/bitmap.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "platform/faults.h"

namespace {

struct GdiObject {
  void* bits;
  size_t mappedBytes;
  BITMAPINFOHEADER header;
};

struct Table {
  std::mutex lock;
  std::unordered_map<uintptr_t, GdiObject> objects;
  uintptr_t nextId = 0x2000;
};

Table& table() {
  static Table* t = new Table;
  return *t;
}

bool acceptedFormat(WORD bitCount, DWORD compression) {
  switch (bitCount) {
    case 1: case 4: case 8: case 24:
      return compression == BI_RGB;
    case 16: case 32:
      return compression == BI_RGB || compression == BI_BITFIELDS;
    default:
      return false;
  }
}

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits,
                         HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if (platform::TakeInjectedFault(platform::FaultPoint::CreateDIBSection)) return nullptr;
  if (!info || !bits || section || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS))
    return nullptr;
  BITMAPINFOHEADER h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || !acceptedFormat(h.biBitCount, h.biCompression))
    return nullptr;
  if (h.biWidth <= 0 || h.biHeight == 0) return nullptr;
  // Negative heights are top-down bitmaps of the same size.
  int64_t rows = h.biHeight < 0 ? -int64_t{h.biHeight} : int64_t{h.biHeight};
  int64_t stride = ((int64_t{h.biWidth} * h.biBitCount + 31) / 32) * 4;
  // More than the address space can map is refused before it can overflow.
  if (rows > (int64_t{1} << 46) / stride) return nullptr;
  size_t bytes = static_cast<size_t>(stride * rows);
  // Anonymous mappings are page-aligned, zeroed, and cost nothing until touched.
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  Table& t = table();
  std::lock_guard guard(t.lock);
  uintptr_t id = t.nextId;
  t.nextId += 8;
  t.objects.emplace(id, GdiObject{p, bytes, h});
  *bits = p;
  return reinterpret_cast<HBITMAP>(id);
}

BOOL DeleteObject(HGDIOBJ object) {
  GdiObject found;
  {
    Table& t = table();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(object));
    if (it == t.objects.end()) return FALSE;
    found = it->second;
    t.objects.erase(it);
  }
  munmap(found.bits, found.mappedBytes);
  return TRUE;
}

namespace platform {
size_t GdiLiveObjects() {
  Table& t = table();
  std::lock_guard guard(t.lock);
  return t.objects.size();
}
}  // namespace platform
