// Feeds arbitrary headers and bytes to the DIB imports (FromDib and
// FromPackedDib), each part in a block of exactly the size the call may
// read, so any read beyond it faults. An image that comes out must survive
// the trip through a device bitmap with the colours the screen keeps, and a
// smoothing copy; no bitmap or device context may be left behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "graphics/dib_read.h"
#include "graphics/image.h"
#include "platform/gdi.h"
#include "platform/screen.h"

namespace {

// A copy of `size` bytes in a heap block of exactly that size.
std::unique_ptr<BYTE[]> Exact(const uint8_t* data, size_t size) {
  std::unique_ptr<BYTE[]> p(new BYTE[size ? size : 1]);
  if (size) std::memcpy(p.get(), data, size);
  return p;
}

void CheckImage(const CGraphicsImage& image) {
  // Large images are checked along a few rows only, to keep runs fast.
  const int step = image.height > 64 ? image.height - 1 : 1;
  HBITMAP bmp = const_cast<CGraphicsImage&>(image).CreateDeviceBitmap(nullptr);
  if (!bmp) std::abort();
  CGraphicsImage back;
  if (!back.FromDeviceBitmap(nullptr, bmp) || back.bpp != 32 || back.width != image.width ||
      back.height != image.height) {
    std::abort();
  }
  DeleteObject(bmp);
  for (int y = 0; y < image.height; y += step) {
    const DWORD* want = image.RowTo32Func(image.Row(y), &image);
    const DWORD* got = back.RowTo32Func(back.Row(y), &back);
    for (int x = 0; x < image.width; ++x) {
      const DWORD shown = image.bpp == 32 ? want[x] : want[x] & 0xFFFFFF;
      if (got[x] != shown) std::abort();
    }
  }
  if (image.width <= 64 && image.height <= 64) {
    CGraphicsImage smooth;
    if (!smooth.CreateSmoothed(image, static_cast<BYTE>(image.width * 7), 24)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 + sizeof(BITMAPINFOHEADER)) return 0;
  const size_t bitmaps = platform::GdiLiveObjects();
  const size_t contexts = platform::LiveDeviceContexts();
  const bool packed = data[0] & 1;
  ++data;
  --size;
  BITMAPINFOHEADER h;
  std::memcpy(&h, data, sizeof h);
  CGraphicsImage image;
  bool ok;
  if (packed) {
    // The block must hold what its header places; biSizeImage is cut to the
    // pixel bytes present, as a caller would state them.
    PackedDibLayout layout;
    if (!LocatePackedDib(h, &layout) || size < layout.pixelOffset) return 0;
    const uint64_t present = size - layout.pixelOffset;
    if (h.biSizeImage > present) h.biSizeImage = static_cast<DWORD>(present);
    auto block = Exact(data, size);
    std::memcpy(block.get(), &h, sizeof h);
    ok = image.FromPackedDib(reinterpret_cast<const BITMAPINFO*>(block.get()));
  } else {
    // Header, then a colour table of 1 << bit count entries at 8 bits or
    // fewer (when the bytes are there), then the bits.
    data += sizeof h;
    size -= sizeof h;
    const size_t tableBytes = h.biBitCount <= 8 ? size_t{4} << h.biBitCount : 0;
    std::unique_ptr<BYTE[]> table;
    if (tableBytes && size >= tableBytes) {
      table = Exact(data, tableBytes);
      data += tableBytes;
      size -= tableBytes;
    }
    if (h.biSizeImage > size) h.biSizeImage = static_cast<DWORD>(size);
    auto header = Exact(reinterpret_cast<const uint8_t*>(&h), sizeof h);
    auto bits = Exact(data, h.biSizeImage);
    ok = image.FromDib(reinterpret_cast<const BITMAPINFOHEADER*>(header.get()), bits.get(),
                       reinterpret_cast<const DWORD*>(table.get()));
  }
  if (ok) {
    CheckImage(image);
  } else if (image.HasPixels()) {
    std::abort();  // a refused DIB leaves the image empty
  }
  if (platform::GdiLiveObjects() != bitmaps || platform::LiveDeviceContexts() != contexts)
    std::abort();
  return 0;
}
