// Bitmap resources of the program's own file, and its module handle.
#include <cstring>

#include "platform/gdi.h"
#include "platform/gdi_object.h"
#include "platform/resource.h"

namespace {

// The program's module handle; the value a Windows executable commonly has.
HINSTANCE const kProgramModule = reinterpret_cast<HINSTANCE>(uintptr_t{0x400000});

// The resource key of a LoadBitmapA name: an id, "#<decimal>" (an id below
// 65536), or a text.
bool KeyOfName(const char* name, ResourceKey* key) {
  if (IS_INTRESOURCE(name)) {
    *key = ResourceKey::Id(static_cast<WORD>(reinterpret_cast<uintptr_t>(name)));
    return true;
  }
  if (name[0] != '#') {
    *key = ResourceKey::Text(name);
    return true;
  }
  DWORD id = 0;
  const char* p = name + 1;
  if (*p == 0) return false;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    id = id * 10 + static_cast<DWORD>(*p - '0');
    if (id > 0xFFFF) return false;
  }
  *key = ResourceKey::Id(static_cast<WORD>(id));
  return true;
}

template <class T>
T Load(const BYTE* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// A bitmap object holding the packed DIB `data` of `size` bytes; null when
// the DIB is malformed or shorter than its header claims.
HBITMAP BitmapOfPackedDib(const BYTE* data, uint64_t size) {
  using namespace platform;
  if (size < sizeof(BITMAPINFOHEADER)) return nullptr;
  const BITMAPINFOHEADER h = Load<BITMAPINFOHEADER>(data);
  // Header sizes that begin with the 40-byte header; from 52 bytes on they
  // carry the masks at byte 40, the 40-byte one right behind it.
  if (!KnownHeaderSize(h.biSize)) return nullptr;
  if (h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
    return nullptr;
  uint64_t offset = h.biSize;
  GdiBitmap b;
  b.compression = h.biCompression;
  if (h.biCompression == BI_BITFIELDS) {
    if (h.biSize == 40) offset += 12;
    if (size < 52) return nullptr;
    std::memcpy(b.masks, data + 40, sizeof b.masks);
  }
  if (!LayoutOf(h.biBitCount, h.biCompression, b.masks, &b.format.layout)) return nullptr;
  // The table the header counts; true-colour DIBs may carry one too, which
  // only moves the pixels back.
  uint64_t colours = h.biClrUsed;
  if (colours == 0 && h.biBitCount <= 8) colours = uint64_t{1} << h.biBitCount;
  if (colours > 256 || size < offset + 4 * colours) return nullptr;
  if (h.biBitCount <= 8) {
    const uint64_t kept =
        colours < (uint64_t{1} << h.biBitCount) ? colours : uint64_t{1} << h.biBitCount;
    b.format.colourCount = static_cast<int>(kept);
    std::memcpy(b.format.colours, data + offset, 4 * kept);
  }
  offset += 4 * colours;
  b.format.bitCount = h.biBitCount;
  b.format.width = h.biWidth;
  b.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  b.topDown = h.biHeight < 0;
  const uint64_t stride = static_cast<uint64_t>(DibStride(h.biWidth, h.biBitCount));
  if ((size - offset) / stride < static_cast<uint64_t>(b.height)) return nullptr;
  if (!AllocateBitmapPixels(b)) return nullptr;
  std::memcpy(b.bits, data + offset, b.mappedBytes);
  return AddBitmap(b);
}

}  // namespace

HINSTANCE GetModuleHandleA(const char* name) {
  return name ? nullptr : kProgramModule;
}

HBITMAP LoadBitmapA(HINSTANCE module, const char* name) {
  if (module != kProgramModule) return nullptr;
  ResourceKey key;
  if (!KeyOfName(name, &key)) return nullptr;
  const BYTE* data = nullptr;
  DWORD size = 0;
  if (!ResourceFind(ResourceKey::Id(RESOURCE_TYPE_BITMAP), key, &data, &size)) return nullptr;
  return BitmapOfPackedDib(data, size);
}
