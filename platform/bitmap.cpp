#include "platform/bitmap.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/faults.h"
#include "platform/gdi_object.h"

namespace platform {
namespace {

struct Table {
  std::mutex lock;
  std::unordered_map<uintptr_t, GdiBitmap> objects;
  uintptr_t nextId = 0x2000;
};

Table& table() {
  static Table* t = new Table;
  return *t;
}

// Every format the stand-in holds; masks count only for BI_BITFIELDS.
struct LayoutRow {
  int bitCount;
  DWORD compression;
  DWORD masks[3];
  PixelLayout layout;
};

constexpr LayoutRow kLayouts[] = {
    {1, BI_RGB, {}, PixelLayout::Index1},
    {4, BI_RGB, {}, PixelLayout::Index4},
    {8, BI_RGB, {}, PixelLayout::Index8},
    {16, BI_RGB, {}, PixelLayout::Rgb555},
    {24, BI_RGB, {}, PixelLayout::Rgb24},
    {32, BI_RGB, {}, PixelLayout::Rgb32},
    {16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}, PixelLayout::Rgb555},
    {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, PixelLayout::Rgb565},
    {32, BI_BITFIELDS, {0xFF0000, 0x00FF00, 0x0000FF}, PixelLayout::Rgb32},
};

}  // namespace

bool LayoutOf(int bitCount, DWORD compression, const DWORD masks[3], PixelLayout* layout) {
  for (const LayoutRow& row : kLayouts) {
    if (row.bitCount != bitCount || row.compression != compression) continue;
    if (compression == BI_BITFIELDS &&
        (masks[0] != row.masks[0] || masks[1] != row.masks[1] || masks[2] != row.masks[2]))
      continue;
    *layout = row.layout;
    return true;
  }
  return false;
}

bool KnownHeaderSize(DWORD size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool AllocateBitmapPixels(GdiBitmap& b) {
  const int64_t stride = DibStride(b.format.width, b.format.bitCount);
  b.format.stride = stride;
  if (b.format.width <= 0 || b.height <= 0) return false;
  // More than the address space can map is refused before it can overflow.
  if (b.height > (int64_t{1} << 46) / stride) return false;
  const size_t bytes = static_cast<size_t>(stride * b.height);
  // Anonymous mappings are page-aligned, zeroed, and cost nothing until touched.
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
  b.bits = static_cast<BYTE*>(p);
  b.mappedBytes = bytes;
  return true;
}

HBITMAP AddBitmap(const GdiBitmap& b) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  uintptr_t id = t.nextId;
  t.nextId += 8;
  t.objects.emplace(id, b);
  return reinterpret_cast<HBITMAP>(id);
}

BitmapTableLock::BitmapTableLock(HGDIOBJ handle) : found_(nullptr) {
  Table& t = table();
  t.lock.lock();
  auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it != t.objects.end()) found_ = &it->second;
}

BitmapTableLock::~BitmapTableLock() {
  table().lock.unlock();
}

size_t GdiLiveObjects() {
  Table& t = table();
  std::lock_guard guard(t.lock);
  return t.objects.size();
}

}  // namespace platform

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
  using namespace platform;
  if (bits) *bits = nullptr;
  if (TakeInjectedFault(FaultPoint::CreateDIBSection)) return nullptr;
  if (!info || !bits || section || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS))
    return nullptr;
  const BITMAPINFOHEADER h = info->bmiHeader;
  if (!KnownHeaderSize(h.biSize)) return nullptr;
  const BYTE* raw = reinterpret_cast<const BYTE*>(info);
  GdiBitmap b;
  b.compression = h.biCompression;
  // The masks sit at byte 40 both behind the 40-byte header and inside the
  // longer ones.
  if (h.biCompression == BI_BITFIELDS) std::memcpy(b.masks, raw + 40, sizeof b.masks);
  if (!LayoutOf(h.biBitCount, h.biCompression, b.masks, &b.format.layout)) return nullptr;
  if (h.biWidth <= 0 || h.biHeight == 0) return nullptr;
  b.format.bitCount = h.biBitCount;
  b.format.width = h.biWidth;
  // Negative heights are top-down bitmaps of the same size.
  const int64_t rows = h.biHeight < 0 ? -int64_t{h.biHeight} : int64_t{h.biHeight};
  if (rows > INT32_MAX) return nullptr;
  b.height = static_cast<int>(rows);
  b.topDown = h.biHeight < 0;
  if (h.biBitCount <= 8) {
    // The table as the header counts it; palette-index tables (DIB_PAL_COLORS)
    // have no colours to keep, so the section's colours stay black.
    const DWORD full = DWORD{1} << h.biBitCount;
    const DWORD count = h.biClrUsed == 0 || h.biClrUsed > full ? full : h.biClrUsed;
    b.format.colourCount = static_cast<int>(count);
    if (usage == DIB_RGB_COLORS) std::memcpy(b.format.colours, raw + h.biSize, 4 * count);
  }
  if (!AllocateBitmapPixels(b)) return nullptr;
  *bits = b.bits;
  return AddBitmap(b);
}

BOOL DeleteObject(HGDIOBJ object) {
  using namespace platform;
  GdiBitmap found;
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
