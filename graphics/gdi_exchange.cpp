// Pictures between images and the window system's bitmaps: a device bitmap
// made from an image, an image read back from any bitmap or bitmap resource,
// and an image made from a DIB in memory. Every import builds its result
// aside and takes it over at the end, so the source may be this image's own
// DIB section or pixels.
#include <cstring>

#include "graphics/dib_read.h"
#include "graphics/image.h"
#include "graphics/pixel.h"
#include "platform/gdi.h"
#include "platform/screen.h"

namespace {

// The image format of a bitmap as GetDIBits describes it; 0 when none fits.
int ImageBppOfBitmap(const GraphicsInfoBlock& block) {
  const BITMAPINFOHEADER& h = block.header;
  if (h.biBitCount != 16) return h.biBitCount;
  DWORD masks[3];
  std::memcpy(masks, block.palette, sizeof masks);
  // 16-bit pixels are 5-5-5 unless masks say 5-6-5.
  return h.biCompression == BI_BITFIELDS && masks[0] == 0xF800 && masks[1] == 0x07E0 ? 16 : 15;
}

}  // namespace

HBITMAP CGraphicsImage::CreateDeviceBitmap(HWND wnd) {
  if (!HasPixels() || width == 0 || height == 0) return nullptr;
  // 2- and 12-bit rows are no DIB format the window system reads: they go
  // as 24 bits, which keeps every colour.
  const CGraphicsImage* from = this;
  CGraphicsImage wide;
  if (bpp == 2 || bpp == 12) {
    if (!wide.ConvertFrom(*this, 24)) return nullptr;
    from = &wide;
  }
  HDC dc = GetDC(wnd);
  if (!dc) return nullptr;
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  if (!bitmap) {
    ReleaseDC(wnd, dc);
    return nullptr;
  }
  const int lines = SetDIBits(dc, bitmap, 0, static_cast<UINT>(height), from->bottomRow,
                              reinterpret_cast<const BITMAPINFO*>(from->info), DIB_RGB_COLORS);
  ReleaseDC(wnd, dc);
  if (lines == 0) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

bool CGraphicsImage::FromDeviceBitmap(HWND wnd, HBITMAP bmp) {
  HDC dc = bmp ? GetDC(wnd) : nullptr;
  if (!dc) {
    Release();
    return false;
  }
  GraphicsInfoBlock block{};
  block.header.biSize = sizeof(BITMAPINFOHEADER);
  block.header.biPlanes = 1;
  CGraphicsImage made;
  bool ok =
      GetDIBits(dc, bmp, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&block), DIB_RGB_COLORS) > 0;
  const int rows = block.header.biHeight;
  if (ok) ok = block.header.biWidth != 0 && rows != 0;
  if (ok)
    ok = made.Create(ImageBppOfBitmap(block), block.header.biWidth, rows, IMAGE_NO_FILL, nullptr);
  if (ok) {
    // The rows are asked for in exactly the image's layout: its header and,
    // at 16 bits, its masks.
    GraphicsInfoBlock request = *made.info;
    ok = GetDIBits(dc, bmp, 0, static_cast<UINT>(rows), made.bottomRow,
                   reinterpret_cast<BITMAPINFO*>(&request), DIB_RGB_COLORS) > 0;
    if (ok && made.bpp <= 8) {
      for (DWORD i = 0; i < made.paletteSize; ++i) made.palette[i] = request.palette[i];
    }
  }
  ReleaseDC(wnd, dc);
  if (!ok) {
    Release();
    return false;
  }
  AdoptPixels(made);
  return true;
}

namespace {

// The image of an uncompressed DIB with `entries` colours at `table`; false
// for what FromDib refuses.
bool ImageOfDib(CGraphicsImage& made, const BITMAPINFOHEADER& h, const BYTE* bits,
                const BYTE* table, uint64_t entries) {
  if (!bits || h.biPlanes != 1 || h.biCompression != BI_RGB) return false;
  if (h.biWidth == 0 || h.biHeight == 0) return false;
  // The library's own headers also say 2 and 12 bits.
  const DWORD noMasks[3] = {0, 0, 0};
  const int bpp = h.biBitCount == 2 || h.biBitCount == 12
                      ? h.biBitCount
                      : ImageBppOfDib(h.biBitCount, BI_RGB, noMasks);
  if (!bpp || h.biWidth < 0 || h.biWidth > IMAGE_MAX_SIDE || h.biHeight < -IMAGE_MAX_SIDE ||
      h.biHeight > IMAGE_MAX_SIDE) {
    return false;
  }
  // biSizeImage is the only word on how many bytes `bits` holds.
  const uint64_t rows = static_cast<uint64_t>(h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight);
  if (h.biSizeImage < static_cast<uint64_t>(ImageStride(bpp, h.biWidth)) * rows) return false;
  if (h.biBitCount > 8) entries = 0;
  return BuildImageFromDib(made, bpp, h.biWidth, h.biHeight, table, table ? entries : 0, true,
                           bits);
}

}  // namespace

bool CGraphicsImage::FromDib(const BITMAPINFOHEADER* header, const BYTE* bits,
                             const DWORD* colours) {
  CGraphicsImage made;
  if (!header) {
    Release();
    return false;
  }
  BITMAPINFOHEADER h;
  std::memcpy(&h, header, sizeof h);
  const uint64_t entries = h.biBitCount <= 8 ? uint64_t{1} << h.biBitCount : 0;
  if (!ImageOfDib(made, h, bits, reinterpret_cast<const BYTE*>(colours), entries)) {
    Release();
    return false;
  }
  AdoptPixels(made);
  return true;
}

bool CGraphicsImage::FromPackedDib(const BITMAPINFO* packed) {
  CGraphicsImage made;
  BITMAPINFOHEADER h{};
  PackedDibLayout layout{};
  if (packed) std::memcpy(&h, packed, sizeof h);
  // The colour table follows a header of any known size and holds the
  // entries the header counts; the bits follow the table. The palette takes
  // no more entries than the bit count has indices.
  if (!packed || !LocatePackedDib(h, &layout)) {
    Release();
    return false;
  }
  const BYTE* base = reinterpret_cast<const BYTE*>(packed);
  uint64_t entries = layout.tableEntries;
  if (h.biBitCount <= 8 && entries > (uint64_t{1} << h.biBitCount))
    entries = uint64_t{1} << h.biBitCount;
  if (!ImageOfDib(made, h, base + layout.pixelOffset, base + layout.tableOffset, entries)) {
    Release();
    return false;
  }
  AdoptPixels(made);
  return true;
}

bool CGraphicsImage::LoadBitmapResource(const char* name, HINSTANCE module) {
  HBITMAP bitmap = LoadBitmapA(module ? module : GetModuleHandleA(nullptr), name);
  if (!bitmap) return false;
  const bool ok = FromDeviceBitmap(nullptr, bitmap);
  DeleteObject(bitmap);
  return ok;
}
