#include "graphics/image.h"

#include <cstdlib>
#include <cstring>

#include "graphics/pixel.h"
#include "graphics/quantize.h"
#include "platform/screen.h"

namespace {

// Horizontal and vertical resolution written into every header: 120 dpi.
constexpr LONG kPixelsPerMeter = 4705;

}  // namespace

CGraphicsImage::CGraphicsImage() : info(new GraphicsInfoBlock) {
  palette = info->palette;
  Release();
}

CGraphicsImage::CGraphicsImage(const CGraphicsImage& src) : CGraphicsImage() { Copy(src); }

CGraphicsImage& CGraphicsImage::operator=(const CGraphicsImage& src) {
  Copy(src);
  return *this;
}

CGraphicsImage::~CGraphicsImage() {
  Release();
  delete info;
}

void CGraphicsImage::FreeQuantizerTables() {
  delete colourHistogram;
  delete colourBoxes;
  colourHistogram = nullptr;
  colourBoxes = nullptr;
}

void CGraphicsImage::InstallFormat(int bitsPerPixel) {
  const PixelFormat* f = FindPixelFormat(bitsPerPixel);
  if (!f) f = &EmptyPixelFormat();
  pixelInByteMask = f->pixelInByteMask;
  bytesPerUnit = f->bytesPerUnit;
  valueMask = f->valueMask;
  formatBit = f->formatBit;
  indexShift = f->indexShift;
  trueColor = f->trueColor;
  paletteSize = f->paletteSize;
  significantMask = f->significantMask;
  RowTo8Func = f->rowTo8;
  RowTo24Func = f->rowTo24;
  RowTo32Func = f->rowTo32;
  RowCopyTo8Func = f->rowCopyTo8;
  RowCopyTo24Func = f->rowCopyTo24;
  RowCopyTo32Func = f->rowCopyTo32;
  PixelGetFunc = f->pixelGet;
  PixelSetFunc = f->pixelSet;
  ColorToPixelFunc = f->colorToPixel;
}

void CGraphicsImage::Release() {
  FreeQuantizerTables();
  if (notOwned) {
    std::free(scratch);
  } else {
    std::free(pixelBlock);
  }
  if (dibSection) DeleteObject(dibSection);
  dibSection = nullptr;
  scratch = pixelBlock = bottomRow = topRow = nullptr;
  InstallFormat(0);
  width = height = bpp = 0;
  imageBytes = 0;
  stride = 0;
  notOwned = 0;
  lastError = IMAGE_ERROR_NONE;
  fontWord = 0;
  std::memset(info, 0, sizeof *info);
}

bool CGraphicsImage::Discard() {
  bool had = pixelBlock != nullptr && width != 0 && height != 0;
  Release();
  return had;
}

bool CGraphicsImage::Create(int bitsPerPixel, int w, int h, DWORD fill, void* bits) {
  Release();
  if (static_cast<unsigned>(w) > IMAGE_MAX_SIDE || static_cast<unsigned>(h) > IMAGE_MAX_SIDE) {
    lastError = IMAGE_ERROR_SIZE;
    return false;
  }
  if (!FindPixelFormat(bitsPerPixel)) {
    lastError = IMAGE_ERROR_BPP;
    return false;
  }
  InstallFormat(bitsPerPixel);
  bpp = bitsPerPixel;
  width = w;
  height = h;
  stride = ImageStride(bpp, w);
  imageBytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(h);
  if (paletteSize) SetDefaultPalette();

  auto outOfMemory = [this] {
    Release();
    lastError = IMAGE_ERROR_MEMORY;
    return false;
  };

  // Own memory is zeroed by the allocator: padding and unfilled pixels never
  // carry stale heap bytes into clipboard blocks or files.
  const uint64_t scratchBytes = static_cast<uint64_t>(w) * 4 + 8;
  if (!bits) {
    BYTE* block = static_cast<BYTE*>(std::calloc(imageBytes + stride + scratchBytes, 1));
    if (!block) return outOfMemory();
    pixelBlock = bottomRow = block;  // calloc memory is aligned beyond 4
    scratch = bottomRow + imageBytes + stride;
  } else {
    notOwned = 1;
    scratch = static_cast<BYTE*>(std::calloc(scratchBytes, 1));
    if (!scratch) return outOfMemory();
    if (bits != IMAGE_DIB_SECTION) pixelBlock = bottomRow = static_cast<BYTE*>(bits);
  }

  BITMAPINFOHEADER& hd = info->header;
  hd.biSize = sizeof(BITMAPINFOHEADER);
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biPlanes = 1;
  hd.biBitCount = static_cast<WORD>(bpp == 15 ? 16 : bpp);
  hd.biCompression = BI_RGB;
  // 0 is legal for BI_RGB; the size of a 32768 x 32768 x 32-bit image is 2^32.
  hd.biSizeImage = imageBytes > 0xFFFFFFFFu ? 0 : static_cast<DWORD>(imageBytes);
  hd.biXPelsPerMeter = hd.biYPelsPerMeter = kPixelsPerMeter;
  hd.biClrUsed = hd.biClrImportant = paletteSize;
  if (hd.biBitCount == 16) {
    hd.biCompression = BI_BITFIELDS;
    static constexpr DWORD kMasks[2][4] = {{0x7C00, 0x03E0, 0x001F, 0}, {0xF800, 0x07E0, 0x001F, 0}};
    std::memcpy(palette, kMasks[bpp == 16], sizeof kMasks[0]);
  }

  if (bits == IMAGE_DIB_SECTION) {
    HDC dc = GetDC(nullptr);
    void* dibBits = nullptr;
    dibSection = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS,
                                  &dibBits, nullptr, 0);
    if (dc) ReleaseDC(nullptr, dc);
    if (!dibSection) return outOfMemory();
    pixelBlock = bottomRow = static_cast<BYTE*>(dibBits);
  }
  topRow = h ? bottomRow + static_cast<int64_t>(h - 1) * stride : bottomRow;

  if (fill == IMAGE_NO_FILL) return true;
  if (fill == 0 || bpp == 8) {
    // Fresh own memory and DIB sections are zero already.
    bool alreadyZero = (fill & 0xFF) == 0 && (!notOwned || dibSection);
    if (!alreadyZero) std::memset(bottomRow, static_cast<int>(fill & 0xFF), imageBytes);
  } else {
    FillRect(0, 0, w, h, fill);
  }
  return true;
}

bool CGraphicsImage::Copy(const CGraphicsImage& src) {
  if (&src == this) return true;
  Release();
  progressFunc = src.progressFunc;
  progressUser = src.progressUser;
  if (!Create(src.bpp, src.width, src.height, IMAGE_NO_FILL, nullptr)) return false;
  std::memcpy(info, src.info, sizeof *info);
  if (imageBytes) std::memcpy(bottomRow, src.bottomRow, imageBytes);
  return true;
}

void CGraphicsImage::SwapPixelState(CGraphicsImage& o) {
  using std::swap;
  swap(colourHistogram, o.colourHistogram);
  swap(colourBoxes, o.colourBoxes);
  swap(lastError, o.lastError);
  swap(info, o.info);
  swap(palette, o.palette);
  swap(scratch, o.scratch);
  swap(pixelBlock, o.pixelBlock);
  swap(bottomRow, o.bottomRow);
  swap(topRow, o.topRow);
  swap(width, o.width);
  swap(height, o.height);
  swap(imageBytes, o.imageBytes);
  swap(bpp, o.bpp);
  swap(stride, o.stride);
  swap(pixelInByteMask, o.pixelInByteMask);
  swap(bytesPerUnit, o.bytesPerUnit);
  swap(valueMask, o.valueMask);
  swap(formatBit, o.formatBit);
  swap(indexShift, o.indexShift);
  swap(trueColor, o.trueColor);
  swap(paletteSize, o.paletteSize);
  swap(significantMask, o.significantMask);
  swap(notOwned, o.notOwned);
  swap(dibSection, o.dibSection);
  swap(RowTo8Func, o.RowTo8Func);
  swap(RowTo24Func, o.RowTo24Func);
  swap(RowTo32Func, o.RowTo32Func);
  swap(RowCopyTo8Func, o.RowCopyTo8Func);
  swap(RowCopyTo24Func, o.RowCopyTo24Func);
  swap(RowCopyTo32Func, o.RowCopyTo32Func);
  swap(PixelGetFunc, o.PixelGetFunc);
  swap(PixelSetFunc, o.PixelSetFunc);
  swap(ColorToPixelFunc, o.ColorToPixelFunc);
}

bool CGraphicsImage::Swap(CGraphicsImage& o) {
  if (&o == this) return true;
  using std::swap;
  SwapPixelState(o);
  swap(font, o.font);
  swap(fontWord, o.fontWord);
  swap(tableStart, o.tableStart);
  swap(fontFlags, o.fontFlags);
  swap(firstChar, o.firstChar);
  swap(lastChar, o.lastChar);
  swap(hAlign, o.hAlign);
  swap(vAlign, o.vAlign);
  swap(yOffset, o.yOffset);
  swap(m0, o.m0);
  swap(m1, o.m1);
  swap(m2, o.m2);
  swap(charSpacing, o.charSpacing);
  swap(spacingSetting, o.spacingSetting);
  swap(inkColour, o.inkColour);
  swap(backColour, o.backColour);
  swap(inkPen, o.inkPen);
  swap(backPen, o.backPen);
  swap(dashPattern, o.dashPattern);
  swap(dotPattern, o.dotPattern);
  swap(progressFunc, o.progressFunc);
  swap(progressUser, o.progressUser);
  return true;
}

void CGraphicsImage::SetProgressCallback(ProgressFunc fn, DWORD user) {
  progressFunc = fn;
  progressUser = user;
}

void CGraphicsImage::Progress(DWORD percent, DWORD a, DWORD b) {
  if (!progressFunc) return;
  if (percent > 100) percent = 100;
  BYTE abort = 0;
  progressFunc(this, progressUser, a, b, percent, &abort);
  if (abort) throw 1;
}
