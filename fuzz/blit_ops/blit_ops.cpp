// Scaling, blitting and conversions between two small images of any format,
// with arbitrary positions, sizes, flags and modes, an image often being its
// own source: no call may touch memory outside the pixels, and a failed call
// must leave its image as it was.
//
// Input: format, width and height bytes of both images, then operations of
// one opcode byte, one byte choosing the source and up to five little-endian
// 32-bit arguments each.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/blit.h"
#include "graphics/image.h"

#include "../byte_reader.h"

namespace {

using fuzz_support::Reader;

constexpr int kFormats[] = {1, 2, 4, 8, 12, 15, 16, 24, 32};

// Sizes stay small so that every input runs quickly; some are negative or
// beyond the largest side to reach the range checks.
int Side(int32_t v) {
  if (!(v & 0x100)) return v & 63;
  return (v & 1) ? -(v & 0xFF) - 1 : IMAGE_MAX_SIDE + 1 + (v & 0xFF);
}

std::vector<BYTE> Snapshot(const CGraphicsImage& im) {
  std::vector<BYTE> v(reinterpret_cast<const BYTE*>(im.info), reinterpret_cast<const BYTE*>(im.info) + 1064);
  if (im.HasPixels()) v.insert(v.end(), im.bottomRow, im.bottomRow + im.imageBytes);
  v.push_back(static_cast<BYTE>(im.bpp));
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  CGraphicsImage images[2];
  for (CGraphicsImage& im : images) {
    const int bpp = kFormats[in.Byte() % 9];
    const int w = in.Byte() % 40, h = in.Byte() % 40;
    if (!im.Create(bpp, w, h, 0, nullptr)) return 0;
    for (uint64_t i = 0; i < im.imageBytes; ++i) im.bottomRow[i] = static_cast<BYTE>(i * 37 + w);
    for (int i = 0; i < 256; ++i) im.SetPaletteEntry(i, static_cast<DWORD>(i) * 0x3F1D2B17u);
  }
  for (int ops = 0; in.size && ops < 24; ++ops) {
    const uint8_t op = in.Byte();
    const uint8_t pick = in.Byte();
    CGraphicsImage& dst = images[pick & 1];
    const CGraphicsImage& src = images[(pick >> 1) & 1];
    const int32_t a = in.Int(), b = in.Int(), c = in.Int(), d = in.Int();
    const std::vector<BYTE> before = Snapshot(dst);
    bool ok = true;
    switch (op % 17) {
      case 0: ok = dst.Scale(src, Side(a), Side(b), c); break;
      case 1: ok = dst.DrawImage(src, a % 64, b % 64, static_cast<DWORD>(c)); break;
      case 2: ok = dst.DrawImage(src, a, b, 0); break;
      case 3: ok = dst.DrawImageAlpha(src, a % 64, b % 64); break;
      case 4: ok = dst.DrawImageMasked(src, a % 64, b % 64, images[(pick >> 2) & 1]); break;
      case 5: ok = dst.CompositeFrom(src, a % 64, b % 64); break;
      case 6: ok = dst.CropFrom(src, a % 64, b % 64, Side(c) * ((d & 1) ? -1 : 1), Side(d >> 1)); break;
      case 7: ok = dst.RotateQuarterFrom(src, a, b & 1, c & 1); break;
      case 8: dst.Scroll(a % 80, b % 80, (c & 1) ? IMAGE_NO_FILL : static_cast<DWORD>(d)); break;
      case 9: ok = dst.ConvertFrom(src, a % 40); break;
      case 10: {
        DWORD colours[256];
        for (int i = 0; i < 256; ++i) colours[i] = static_cast<DWORD>(i) * static_cast<DWORD>(d);
        ok = dst.MapToPalette(src, static_cast<DWORD>(a), (b & 1) ? colours : nullptr);
        break;
      }
      case 11: ok = dst.ToGrey(); break;
      case 12: ok = dst.GreyFrom(src); break;
      case 13: ok = dst.GreyImageFrom(src); break;
      case 14: ok = dst.ThresholdFrom(src); break;
      case 15: ok = dst.AlphaMaskFrom(src, a, static_cast<DWORD>(b)); break;
      default: ok = dst.FlattenAlpha(static_cast<DWORD>(a)); break;
    }
    // Whole-image operations that fail must not have changed anything.
    const bool makesAnew = op % 17 == 0 || (op % 17 >= 6 && op % 17 <= 7) || (op % 17 >= 9 && op % 17 <= 15);
    if (!ok && makesAnew && Snapshot(dst) != before) __builtin_trap();
  }
  return 0;
}
