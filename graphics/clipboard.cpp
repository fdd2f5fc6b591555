// Clipboard exchange of images as packed DIBs (CF_DIB): header, colour table,
// colour masks, then the bottom-up rows exactly as the image stores them.
#include <cstring>

#include "graphics/dib_read.h"
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
  if (!KnownDibHeaderSize(h.biSize) || size < h.biSize) return false;
  if (h.biWidth < 1 || h.biWidth > IMAGE_MAX_SIDE) return false;
  // Top-down DIBs (negative height) are not read.
  if (h.biHeight < 1 || h.biHeight > IMAGE_MAX_SIDE) return false;

  PackedDibLayout layout;
  if (!LocatePackedDib(h, &layout)) return false;
  DWORD masks[3] = {0, 0, 0};
  if (h.biCompression == BI_BITFIELDS) {
    if (size < layout.maskOffset + 12) return false;
    for (int i = 0; i < 3; ++i) masks[i] = Load<DWORD>(block + layout.maskOffset + 4 * i);
  }
  const int imageBpp = ImageBppOfDib(h.biBitCount, h.biCompression, masks);
  if (!imageBpp) return false;

  const uint64_t rowBytes = static_cast<uint64_t>(ImageStride(imageBpp, h.biWidth));
  const uint64_t pixelBytes = rowBytes * static_cast<uint64_t>(h.biHeight);
  if (size < layout.pixelOffset || size - layout.pixelOffset < pixelBytes) return false;

  // Built aside, so that a failure leaves this image as it was. Entries are
  // read only where they are colours: at 16 bits the first slots hold the
  // image's masks.
  CGraphicsImage made;
  if (!BuildImageFromDib(made, imageBpp, h.biWidth, h.biHeight, block + layout.tableOffset,
                         h.biBitCount <= 8 ? layout.tableEntries : 0, false,
                         block + layout.pixelOffset)) {
    return false;
  }
  if (imageBpp == 32 && !(flags & 1)) {
    for (uint64_t i = 3; i < pixelBytes; i += 4) made.bottomRow[i] = 0;
  }
  SwapPixelState(made);
  return true;
}
