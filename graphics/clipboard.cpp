// Clipboard exchange of images as packed DIBs (CF_DIB): header, colour table,
// colour masks, then the bottom-up rows exactly as the image stores them.
#include <cstring>

#include "graphics/image.h"
#include "graphics/pixel.h"
#include "platform/clipboard.h"
#include "platform/globalmem.h"

namespace {

template <class T>
T Load(const BYTE* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(BYTE* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Header sizes whose layout starts with the 40-byte header and, from 52
// bytes on, carries the three colour masks at offset 40.
bool KnownHeaderSize(DWORD size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// The image format of a DIB's bit count, compression and masks; 0 when the
// image cannot hold it.
int ImageBppOfDib(WORD bitCount, DWORD compression, const DWORD masks[3]) {
  auto masksAre = [masks](DWORD r, DWORD g, DWORD b) {
    return masks[0] == r && masks[1] == g && masks[2] == b;
  };
  if (compression == BI_RGB) {
    switch (bitCount) {
      case 1: case 4: case 8: case 24: case 32: return bitCount;
      case 16: return 15;  // 16-bit BI_RGB pixels are 5-5-5
      default: return 0;
    }
  }
  if (compression == BI_BITFIELDS) {
    if (bitCount == 16 && masksAre(0x7C00, 0x03E0, 0x001F)) return 15;
    if (bitCount == 16 && masksAre(0xF800, 0x07E0, 0x001F)) return 16;
    if (bitCount == 32 && masksAre(0xFF0000, 0x00FF00, 0x0000FF)) return 32;
  }
  return 0;
}

}  // namespace

bool CGraphicsImage::CopyToClipboard(HWND owner) {
  if (!HasPixels() || width == 0 || height == 0) return false;
  BITMAPINFOHEADER header = info->header;
  if (bpp > 8) {
    // True-colour headers never carry a colour table, here as on the image.
    info->header.biClrUsed = info->header.biClrImportant = 0;
    header.biClrUsed = header.biClrImportant = 0;
  }
  // No reader takes 2- or 12-bit DIBs: those go out as 4 and 24 bits.
  int blockBpp = bpp == 2 ? 4 : bpp == 12 ? 24 : bpp;
  int64_t blockStride = ImageStride(blockBpp, width);
  uint64_t pixelBytes = static_cast<uint64_t>(blockStride) * static_cast<uint64_t>(height);
  DWORD colours = 0;
  if (bpp <= 8) {
    // The table must match the header; a count the palette cannot back is
    // replaced by the format's full palette.
    colours = header.biClrUsed;
    if (colours == 0 || colours > paletteSize) colours = paletteSize;
    header.biClrUsed = colours;
    if (header.biClrImportant > colours) header.biClrImportant = colours;
  }
  if (blockBpp != bpp) {
    header.biBitCount = static_cast<WORD>(blockBpp);
    header.biCompression = BI_RGB;
  }
  header.biSizeImage = pixelBytes > 0xFFFFFFFFu ? 0 : static_cast<DWORD>(pixelBytes);
  const bool masks = header.biCompression == BI_BITFIELDS;
  const uint64_t tableBytes = uint64_t{4} * colours + (masks ? 12 : 0);
  const uint64_t total = sizeof(BITMAPINFOHEADER) + tableBytes + pixelBytes;

  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total);
  if (!block) return false;
  BYTE* out = static_cast<BYTE*>(GlobalLock(block));
  if (!out) {
    GlobalFree(block);
    return false;
  }
  std::memcpy(out, &header, sizeof header);
  BYTE* p = out + sizeof header;
  std::memcpy(p, palette, 4 * colours);
  if (masks) std::memcpy(p, palette, 12);  // 15 and 16 bpp keep their masks in the first slots
  p += tableBytes;
  if (bpp == 2) {
    for (int y = 0; y < height; ++y) {
      const BYTE* src = bottomRow + static_cast<int64_t>(y) * stride;
      BYTE* dst = p + static_cast<int64_t>(y) * blockStride;
      for (int x = 0; x < width; ++x) {
        DWORD index = PixelGetFunc(src, x);
        dst[x / 2] = static_cast<BYTE>(dst[x / 2] | index << ((x & 1) ? 0 : 4));
      }
    }
  } else if (bpp == 12) {
    for (int y = 0; y < height; ++y) {
      const BYTE* src = bottomRow + static_cast<int64_t>(y) * stride;
      std::memcpy(p + static_cast<int64_t>(y) * blockStride, RowTo24Func(src, this),
                  static_cast<size_t>(width) * 3);
    }
  } else {
    std::memcpy(p, bottomRow, imageBytes);
  }
  GlobalUnlock(block);

  if (!OpenClipboard(owner)) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  bool stored = SetClipboardData(CF_DIB, block) != nullptr;
  CloseClipboard();
  if (!stored) GlobalFree(block);
  return stored;
}

bool CGraphicsImage::PasteFromClipboard(HWND owner, BYTE flags) {
  if (!IsClipboardFormatAvailable(CF_DIB) && !IsClipboardFormatAvailable(CF_DIBV5)) return false;
  if (!OpenClipboard(owner)) return false;
  HANDLE block = GetClipboardData(CF_DIB);
  if (!block) block = GetClipboardData(CF_DIBV5);
  bool ok = false;
  if (block) {
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(block));
    if (data) {
      ok = ReadPackedDib(data, GlobalSize(block), flags);
      GlobalUnlock(block);
    }
  }
  CloseClipboard();
  return ok;
}

bool CGraphicsImage::ReadPackedDib(const BYTE* block, uint64_t size, BYTE flags) {
  if (!block || size < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER h = Load<BITMAPINFOHEADER>(block);
  // The block's own header size is honoured: the colour table follows it.
  if (!KnownHeaderSize(h.biSize) || size < h.biSize) return false;
  if (h.biWidth < 1 || h.biWidth > IMAGE_MAX_SIDE) return false;
  // Top-down DIBs (negative height) are not read.
  if (h.biHeight < 1 || h.biHeight > IMAGE_MAX_SIDE) return false;

  uint64_t offset = h.biSize;
  DWORD masks[3] = {0, 0, 0};
  if (h.biCompression == BI_BITFIELDS) {
    // Masks sit inside the longer headers, or after the 40-byte one.
    uint64_t at = h.biSize >= 52 ? 40 : offset;
    if (h.biSize < 52) offset += 12;
    if (size < at + 12) return false;
    for (int i = 0; i < 3; ++i) masks[i] = Load<DWORD>(block + at + 4 * i);
  }
  const int imageBpp = ImageBppOfDib(h.biBitCount, h.biCompression, masks);
  if (!imageBpp) return false;

  uint64_t colours = h.biClrUsed;
  if (colours == 0 && h.biBitCount <= 8) colours = uint64_t{1} << h.biBitCount;
  if (colours > 256) return false;
  const BYTE* table = block + offset;
  offset += 4 * colours;
  const uint64_t rowBytes = static_cast<uint64_t>(ImageStride(imageBpp, h.biWidth));
  const uint64_t pixelBytes = rowBytes * static_cast<uint64_t>(h.biHeight);
  if (size < offset || size - offset < pixelBytes) return false;

  // Built aside, so that a failure leaves this image as it was.
  CGraphicsImage made;
  if (!made.Create(imageBpp, h.biWidth, h.biHeight, IMAGE_NO_FILL, nullptr)) {
    return false;
  }
  // Entries are read only where they are colours: at 16 bits the first slots
  // hold the image's masks.
  if (h.biBitCount <= 8) {
    for (uint64_t i = 0; i < colours; ++i) {
      const BYTE* e = table + 4 * i;
      made.SetPaletteEntryRGBA(static_cast<int>(i), e[2], e[1], e[0], 0);
    }
  }
  std::memcpy(made.bottomRow, block + offset, pixelBytes);
  if (imageBpp == 32 && !(flags & 1)) {
    for (uint64_t i = 3; i < pixelBytes; i += 4) made.bottomRow[i] = 0;
  }
  SwapPixelState(made);
  return true;
}
