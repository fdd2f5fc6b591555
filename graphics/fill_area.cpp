#include "graphics/fill_clip.h"
#include "graphics/image.h"

namespace {

struct Clip {
  int x0, x1, y0, y1;
};

bool ClipRect(const CGraphicsImage& image, int x, int y, int w, int h, Clip& c) {
  return image.HasPixels() && ClipSpan(x, w, image.width, c.x0, c.x1) &&
         ClipSpan(y, h, image.height, c.y0, c.y1);
}

// Bit `bit` of v; bits outside 0..31 read as 0.
bool CheckerBit(uint32_t v, int bit) {
  return bit >= 0 && bit < 32 && ((v >> bit) & 1) != 0;
}

DWORD OntoBackground(DWORD pixel, DWORD background) {
  DWORD a = pixel >> 24;
  if (a == 255) return pixel;
  if (a == 0) return background & 0xFFFFFF;
  DWORD out = pixel & 0xFF000000u;
  for (int s = 0; s < 24; s += 8) {
    DWORD p = (pixel >> s) & 255, c = (background >> s) & 255;
    out |= (((p * a + c * (255 - a)) * 257) >> 16) << s;
  }
  return out;
}

}  // namespace

bool CGraphicsImage::FillRectAlpha(int x, int y, int w, int h, DWORD colour, int alpha) {
  if (alpha < 1) return true;
  if (alpha >= 255) return FillRect(x, y, w, h, colour);
  Clip c;
  if (bpp < 12 || w == 0 || !ClipRect(*this, x, y, w, h, c)) return false;
  DWORD keep = 256 - static_cast<DWORD>(alpha), add = static_cast<DWORD>(alpha) + 1;
  for (int row = c.y0; row < c.y1; ++row) {
    BYTE* r = Row(row);
    for (int px = c.x0; px < c.x1; ++px) {
      DWORD old = PixelGetFunc(r, px);
      DWORD out = old & 0xFF000000u;
      for (int s = 0; s < 24; s += 8)
        out |= ((((old >> s) & 255) * keep + ((colour >> s) & 255) * add) >> 8) << s;
      PixelSetFunc(r, px, out);
    }
  }
  return true;
}

bool CGraphicsImage::FillRectShader(int x, int y, int w, int h, DWORD arg,
                                    TriangleShaderFunc shader) {
  Clip c;
  if (!ClipRect(*this, x, y, w, h, c)) return false;
  for (int row = c.y0; row < c.y1; ++row) {
    BYTE* r = Row(row);
    for (int px = c.x0; px < c.x1; ++px) shader(this, r, px, row, arg);
  }
  return true;
}

bool CGraphicsImage::BlendOntoColor(int x, int y, int w, int h, DWORD colour) {
  Clip c;
  if (bpp != 32 || !ClipRect(*this, x, y, w, h, c)) return false;
  for (int row = c.y0; row < c.y1; ++row) {
    BYTE* r = Row(row);
    for (int px = c.x0; px < c.x1; ++px) PixelSetFunc(r, px, OntoBackground(PixelGetFunc(r, px), colour));
  }
  return true;
}

bool CGraphicsImage::BlendOntoChecker(int x, int y, int w, int h, DWORD colour1, DWORD colour2,
                                      int bit) {
  Clip c;
  if (bpp != 32 || !ClipRect(*this, x, y, w, h, c)) return false;
  for (int row = c.y0; row < c.y1; ++row) {
    BYTE* r = Row(row);
    uint32_t rowBits = static_cast<uint32_t>(row) + 1;
    for (int px = c.x0; px < c.x1; ++px) {
      uint32_t i = static_cast<uint32_t>(px - c.x0);
      DWORD background = CheckerBit(i ^ rowBits, bit) ? colour2 : colour1;
      PixelSetFunc(r, px, OntoBackground(PixelGetFunc(r, px), background));
    }
  }
  return true;
}

bool CGraphicsImage::FillChecker(int x, int y, int w, int h, DWORD colour1, DWORD colour2,
                                 int bit) {
  Clip c;
  if (!ClipRect(*this, x, y, w, h, c)) return false;
  for (int row = c.y0; row < c.y1; ++row) {
    BYTE* r = Row(row);
    uint32_t rowBits = static_cast<uint32_t>(row) + 1;
    for (int px = c.x0; px < c.x1; ++px) {
      uint32_t i = static_cast<uint32_t>(px - c.x0);
      PixelSetFunc(r, px, CheckerBit(i ^ rowBits, bit) ? colour2 : colour1);
    }
  }
  return true;
}
