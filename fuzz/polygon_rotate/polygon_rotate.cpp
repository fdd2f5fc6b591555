// Polygons, moved rectangles, rotation and the alpha and resolution helpers
// with arbitrary point lists, counts, angles, pivots and image sizes: no call
// may touch memory outside the pixels, call a shader outside the image,
// change the row padding or make an image beyond the stated limits.
//
// Input: format, width and height bytes of two images, then operations of
// one opcode byte and their arguments (little-endian 32-bit values; point
// lists as a count byte and a scale byte, then the coordinates).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/image.h"
#include "graphics/polygon.h"
#include "graphics/rotate.h"

#include "../byte_reader.h"

namespace {

using fuzz_support::Reader;

void Require(bool ok) {
  if (!ok) __builtin_trap();
}

void Shader(CGraphicsImage* im, BYTE* row, int x, int y, DWORD arg) {
  Require(x >= 0 && y >= 0 && x < im->width && y < im->height && row == im->Row(y));
  im->PixelSetFunc(row, x, arg);
}

constexpr int kFormats[] = {1, 2, 4, 8, 12, 15, 16, 24, 32};
constexpr BYTE kPadding = 0xA5;

int64_t UsedBytes(int bpp, int width) {
  if (bpp == 12) return (3 * int64_t{width} + 1) / 2;
  if (bpp == 15) return 2 * int64_t{width};
  return (int64_t{bpp} * width + 7) / 8;
}

void MarkPadding(CGraphicsImage& im) {
  const int64_t used = UsedBytes(im.bpp, im.width);
  for (int y = 0; y < im.height; ++y)
    std::memset(im.Row(y) + used, kPadding, static_cast<size_t>(im.stride - used));
}

void CheckPadding(const CGraphicsImage& im) {
  const int64_t used = UsedBytes(im.bpp, im.width);
  for (int y = 0; y < im.height; ++y)
    for (int64_t i = used; i < im.stride; ++i) Require(im.Row(y)[i] == kPadding);
}

// Coordinates near the image, far off it, or anywhere in the int range.
int Coordinate(Reader& in, uint8_t scale) {
  const int32_t v = in.Int();
  switch (scale & 3) {
    case 0: return v % 80 - 16;
    case 1: return v % 100000;
    case 2: return (v & 1) ? INT32_MAX - (v >> 24 & 0x7F) : INT32_MIN + (v >> 24 & 0x7F);
    default: return v;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  CGraphicsImage images[2];
  for (CGraphicsImage& im : images) {
    const int bpp = kFormats[in.Byte() % 9];
    const int w = in.Byte() % 48, h = in.Byte() % 48;
    if (!im.Create(bpp, w, h, IMAGE_NO_FILL, nullptr)) return 0;
    for (uint64_t i = 0; i < im.imageBytes; ++i) im.bottomRow[i] = static_cast<BYTE>(i * 37 + w);
    MarkPadding(im);
  }
  for (int ops = 0; in.size && ops < 32; ++ops) {
    const uint8_t op = in.Byte();
    CGraphicsImage& dst = images[op >> 7];
    switch (op % 8) {
      case 0:
      case 1: {
        const int count = in.Byte() % (POLYGON_MAX_POINTS + 6);
        const uint8_t scale = in.Byte();
        std::vector<int> points(2 * static_cast<size_t>(count) + 1);  // never empty
        for (int i = 0; i < 2 * count; ++i) points[i] = Coordinate(in, static_cast<uint8_t>(scale >> (2 * (i % 4))));
        const DWORD colour = static_cast<DWORD>(in.Int());
        // Counts beyond the points given must be refused before any is read.
        const int asked = (scale & 0x80) ? count : count + POLYGON_MAX_POINTS + 1;
        if (op % 8 == 0)
          dst.FillPolygon(points.data(), asked, colour);
        else
          dst.FillPolygonShader(points.data(), asked, colour, Shader);
        break;
      }
      case 2: {
        const int32_t a = in.Int(), b = in.Int(), c = in.Int(), d = in.Int(), e = in.Int(), f = in.Int();
        if (op & 0x40)
          dst.MoveRect(a % 64, b % 64, c % 64, d % 64, e % 64, f % 64);
        else
          dst.MoveRect(a, b, c, d, e, f);
        break;
      }
      case 3:
      case 4: {
        const CGraphicsImage& src = images[(op >> 6) & 1];
        const int angle = in.Int();
        const DWORD flags = in.Byte();
        const uint8_t scale = in.Byte();
        int px = Coordinate(in, scale), py = Coordinate(in, static_cast<uint8_t>(scale >> 2));
        const DWORD fill = static_cast<DWORD>(in.Int());
        const bool pivots = op % 8 == 3;
        const int srcW = src.width, srcH = src.height;
        if (srcW > 96 || srcH > 96) break;  // turns keep growing an image: keep runs quick
        if (dst.RotateFrom(src, angle, flags, pivots ? &px : nullptr, pivots ? &py : nullptr, fill)) {
          // The turned box of a w x h source is at most w + h + 2 wide.
          Require(dst.width <= srcW + srcH + 2 && dst.height <= srcW + srcH + 2);
          MarkPadding(dst);
        }
        break;
      }
      case 5: {
        const BYTE value = in.Byte();
        Require(dst.SetAlpha(value) == (dst.bpp == 32));
        if (dst.bpp == 32) Require(dst.HasAlpha() == (value != 0 && dst.width > 0 && dst.height > 0));
        break;
      }
      case 6: {
        const DWORD x = static_cast<DWORD>(in.Int()), y = static_cast<DWORD>(in.Int());
        if (dst.SetResolution(x, y)) {
          DWORD rx = 0, ry = 0;
          Require(dst.GetResolution(&rx, &ry) && rx == x && ry == y);
        }
        break;
      }
      default: {
        const int32_t a = in.Int(), b = in.Int();
        const BYTE* p = reinterpret_cast<const BYTE*>(&a);
        const int pts[2] = {a, b};
        dst.FillPolygon(pts, 1, p[0]);
        dst.FillPolygonShader(pts, 1, p[1], Shader);
        break;
      }
    }
    CheckPadding(images[0]);
    CheckPadding(images[1]);
  }
  return 0;
}
