// Drawing calls with arbitrary coordinates, colours, pens and texts on a
// small image of any format: no call may touch memory outside the pixels,
// call a shader outside the image, change the row padding or take long.
//
// Input: format byte, width byte, height byte, then operations of one
// opcode byte and up to six little-endian 32-bit arguments each.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/fonts/builtin_fonts.h"
#include "graphics/image.h"
#include "graphics/pen.h"

#include "../byte_reader.h"

namespace {

using fuzz_support::Reader;

void Shader(CGraphicsImage* im, BYTE* row, int x, int y, DWORD arg) {
  if (x < 0 || y < 0 || x >= im->width || y >= im->height || row != im->Row(y)) __builtin_trap();
  im->PixelSetFunc(row, x, arg);
}
DWORD Getter(CGraphicsImage* im, BYTE* row, int x, int y) {
  if (x < 0 || y < 0 || x >= im->width || y >= im->height) __builtin_trap();
  return im->PixelGetFunc(row, x);
}

const PixelWriterFunc kPens[] = {PixelWriterPlain,  PixelWriterSoft,      PixelWriterSoft32,
                                 PixelWriterSquare, PixelWriterCross,     PixelWriterDot,
                                 PixelWriterRound,  PixelWriterRoundLarge, PixelWriterRoundWide,
                                 PixelWriterDisc,   PixelWriterDotted,    PixelWriterDashed};
const BYTE* const kFonts[] = {BuiltinFont14, BuiltinFont24, BuiltinFont55};
const int kFormats[] = {1, 2, 4, 8, 12, 15, 16, 24, 32};

int64_t UsedBytes(int bpp, int width) {
  if (bpp == 12) return (3 * int64_t{width} + 1) / 2;
  if (bpp == 15) return 2 * int64_t{width};
  return (int64_t{bpp} * width + 7) / 8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  int bpp = kFormats[in.Byte() % 9];
  int width = 1 + in.Byte() % 48, height = 1 + in.Byte() % 48;
  CGraphicsImage im;
  if (!im.Create(bpp, width, height, 0, nullptr)) return 0;
  // Mark the row padding; drawing must leave it alone.
  int64_t used = UsedBytes(bpp, width);
  for (int y = 0; y < height; ++y) std::memset(im.Row(y) + used, 0xA5, static_cast<size_t>(im.stride - used));
  for (int ops = 0; in.size && ops < 64; ++ops) {
    uint8_t op = in.Byte();
    int32_t a = in.Int(), b = in.Int(), c = in.Int(), d = in.Int();
    DWORD colour = static_cast<DWORD>(in.Int());
    PixelWriterFunc pen = kPens[op / 32 % 12];
    switch (op % 16) {
      case 0: im.DrawLine(a, b, c, d, colour, pen, op & 0x80); break;
      case 1: im.DrawPlainLine(a, b, c, d, colour); break;
      case 2: im.DrawShaderLine(a, b, c, d, colour, Shader, op & 0x80); break;
      case 3: im.DrawSmoothLine(a, b, c, d, colour, op & 0x80); break;
      case 4: im.DrawRectOutline(a, b, c, d, colour); break;
      case 5: im.DrawRectPen(a, b, c, d, colour, pen); break;
      case 6: im.FillRect(a, b, c, d, colour); break;
      case 7: im.FillRectAlpha(a, b, c, d, colour, static_cast<int>(colour >> 24) - 8); break;
      case 8: im.FillRectShader(a, b, c, d, colour, Shader); break;
      case 9: {
        const int pts[6] = {a, b, c, d, static_cast<int>(colour), in.Int()};
        im.FillTriangle(pts, colour, Shader);
        break;
      }
      case 10: {
        const int pts[6] = {a, b, c, d, static_cast<int>(colour), in.Int()};
        im.FillTriangleColor(pts, colour);
        break;
      }
      case 11: im.FloodFill(a % 64, b % 64, colour); break;
      case 12: im.FloodFillCustom(a % 64, b % 64, colour, Shader, Getter, static_cast<DWORD>(c)); break;
      case 13: im.FillChecker(a, b, c, d, colour, ~colour, static_cast<int>(op) - 100); break;
      case 14:
        im.BlendOntoColor(a, b, c, d, colour);
        im.BlendOntoChecker(a, b, c, d, colour, ~colour, static_cast<int>(op) - 100);
        break;
      default: {
        char text[12];
        for (char& t : text) t = static_cast<char>(in.Byte());
        text[11] = 0;
        im.hAlign = static_cast<BYTE>(c);
        im.vAlign = static_cast<BYTE>(d & 3);
        im.SetCharSpacing(op & 0x20 ? static_cast<int8_t>(d >> 8) : d);
        im.SelectFont(kFonts[op / 16 % 3]);
        im.SetTextWriter(op & 0x40 ? pen : nullptr, colour, 0);
        im.SetTextWriter(op & 0x80 ? kPens[(op / 64) % 12] : nullptr, ~colour, 1);
        im.DrawText(a, b, text);
        break;
      }
    }
  }
  for (int y = 0; y < height; ++y)
    for (int64_t i = used; i < im.stride; ++i)
      if (im.Row(y)[i] != 0xA5) __builtin_trap();
  return 0;
}
