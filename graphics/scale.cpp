// Resampling an image to a new size: point sampling, or area averaging in
// 1/256-pixel steps. The result is built in a separate image and taken over
// at the end, so the source may be this image and a failure changes nothing.
#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "graphics/image.h"

namespace {

// The source span of one output row or column in 1/256 pixel units.
struct Span {
  int64_t s0, s1;
};

// Output position i of `outSize` covers [s0, s1) of a source of `srcSize`.
// When enlarging, the first and last pixels of both line up.
std::vector<Span> AreaSpans(int srcSize, int outSize) {
  uint64_t a = static_cast<uint64_t>(srcSize), b = static_cast<uint64_t>(outSize);
  if (a < b) --a, --b;
  while (a != 0 && a % 2 == 0 && b % 2 == 0) a /= 2, b /= 2;
  // Keep the sums of the fixed-point walk within 31 bits, as the ratio of the
  // original sizes did.
  for (int n = std::bit_width((a * static_cast<uint64_t>(outSize) * 256) >> 31); n > 0; --n)
    a /= 2, b /= 2;
  if (b == 0) b = 1;
  const uint64_t step = a * 256;
  const int64_t limit = int64_t{srcSize} * 256;
  std::vector<Span> spans(static_cast<size_t>(outSize));
  for (int i = 0; i < outSize; ++i) {
    int64_t s0 = static_cast<int64_t>(i * step / b);
    int64_t s1 = static_cast<int64_t>((i * step + step) / b);
    s0 = std::min(s0, limit - 1);
    s1 = std::min(std::max(s1, s0 + 256), limit);
    spans[static_cast<size_t>(i)] = {s0, s1};
  }
  return spans;
}

// Weight of source pixel p inside [s0, s1).
inline uint64_t Weight(const Span& s, int64_t p) {
  return static_cast<uint64_t>(std::min(s.s1, (p + 1) * 256) - std::max(s.s0, p * 256));
}

void PointSample(const CGraphicsImage& src, CGraphicsImage& out) {
  std::vector<int> column(static_cast<size_t>(out.width));
  for (int x = 0; x < out.width; ++x)
    column[static_cast<size_t>(x)] =
        static_cast<int>(static_cast<uint64_t>(x) * static_cast<uint64_t>(src.width) / static_cast<uint64_t>(out.width));
  for (int y = 0; y < out.height; ++y) {
    const int sy = static_cast<int>(static_cast<uint64_t>(y) * static_cast<uint64_t>(src.height) /
                                    static_cast<uint64_t>(out.height));
    const BYTE* srow = src.Row(sy);
    BYTE* row = out.Row(y);
    if (out.bpp == 32) {
      const BYTE* from = src.bpp == 32 ? srow : reinterpret_cast<const BYTE*>(src.RowTo32Func(srow, &src));
      for (int x = 0; x < out.width; ++x) std::memcpy(row + 4 * x, from + 4 * column[static_cast<size_t>(x)], 4);
    } else if (out.bpp == 15 || out.bpp == 16 || out.bpp == 24) {
      const size_t n = out.bpp == 24 ? 3 : 2;
      for (int x = 0; x < out.width; ++x)
        std::memcpy(row + n * static_cast<size_t>(x), srow + n * static_cast<size_t>(column[static_cast<size_t>(x)]), n);
    } else {
      for (int x = 0; x < out.width; ++x)
        out.PixelSetFunc(row, x, src.PixelGetFunc(srow, column[static_cast<size_t>(x)]));
    }
  }
}

// Area averaging into a 24- or 32-bpp result. One row of accumulators per
// source column gathers the covered rows; the columns are then combined.
void AreaAverage(const CGraphicsImage& src, CGraphicsImage& out) {
  const std::vector<Span> cols = AreaSpans(src.width, out.width);
  const std::vector<Span> rows = AreaSpans(src.height, out.height);
  const bool keepAlpha = out.bpp == 32;
  // Fully transparent pixels must not darken their neighbours.
  const bool alphaWeighted = keepAlpha && src.GetAlphaUsage() == 2;
  const size_t n = static_cast<size_t>(src.width);
  // Per source column: blue, green, red and alpha sums, and the weight that
  // took part in the colour sums.
  std::vector<uint64_t> acc(5 * n);
  for (int y = 0; y < out.height; ++y) {
    const Span& rs = rows[static_cast<size_t>(y)];
    std::fill(acc.begin(), acc.end(), 0);
    uint64_t rowWeight = 0;
    for (int64_t sy = rs.s0 >> 8; sy * 256 < rs.s1; ++sy) {
      const uint64_t wr = Weight(rs, sy);
      rowWeight += wr;
      const DWORD* px = src.RowTo32Func(src.Row(static_cast<int>(sy)), &src);
      for (size_t x = 0; x < n; ++x) {
        const DWORD c = px[x];
        uint64_t* a = &acc[5 * x];
        a[3] += (c >> 24) * wr;
        if (alphaWeighted && (c >> 24) == 0) continue;
        a[0] += (c & 255) * wr;
        a[1] += ((c >> 8) & 255) * wr;
        a[2] += ((c >> 16) & 255) * wr;
        a[4] += wr;
      }
    }
    BYTE* row = out.Row(y);
    for (int x = 0; x < out.width; ++x) {
      const Span& cs = cols[static_cast<size_t>(x)];
      uint64_t sum[5] = {0, 0, 0, 0, 0};
      uint64_t total = 0;
      for (int64_t sx = cs.s0 >> 8; sx * 256 < cs.s1; ++sx) {
        const uint64_t wc = Weight(cs, sx);
        total += wc;
        for (int k = 0; k < 5; ++k) sum[k] += acc[5 * static_cast<size_t>(sx) + static_cast<size_t>(k)] * wc;
      }
      BYTE* p = row + (keepAlpha ? 4 : 3) * static_cast<size_t>(x);
      for (int k = 0; k < 3; ++k) p[k] = static_cast<BYTE>(sum[4] ? sum[k] / sum[4] : 0);
      if (keepAlpha) p[3] = static_cast<BYTE>(sum[3] / (total * rowWeight));
    }
  }
}

}  // namespace

bool CGraphicsImage::Scale(const CGraphicsImage& src, int newWidth, int newHeight, int flags) {
  if (!src.HasPixels() || src.width <= 0 || src.height <= 0) return false;
  CGraphicsImage out;
  if (newWidth == src.width && newHeight == src.height) {
    if (flags & IMAGE_SCALE_TO_32) {
      if (!out.Create(32, newWidth, newHeight, IMAGE_NO_FILL, nullptr)) return false;
      for (int y = 0; y < newHeight; ++y)
        std::memcpy(out.Row(y), src.RowTo32Func(src.Row(y), &src), 4 * static_cast<size_t>(newWidth));
    } else if (!out.Copy(src)) {
      return false;
    }
  } else {
    const int format = (flags & IMAGE_SCALE_TO_32) || src.bpp == 32 ? 32
                       : (flags & IMAGE_SCALE_SMOOTH)                ? 24
                                                                     : src.bpp;
    if (!out.Create(format, newWidth, newHeight, IMAGE_NO_FILL, nullptr)) return false;
    std::memcpy(out.palette, src.palette, sizeof(RGBQUAD) * src.paletteSize);
    if (newWidth > 0 && newHeight > 0) {
      if (flags & IMAGE_SCALE_SMOOTH)
        AreaAverage(src, out);
      else
        PointSample(src, out);
    }
  }
  AdoptPixels(out);
  return true;
}

int CGraphicsImage::GetAlphaUsage() const {
  if (!HasPixels()) return 0;
  // Any value strictly between 0 and 255, or any two that differ, is varying.
  auto judge = [](auto&& next, uint64_t count) {
    int first = -1;
    for (uint64_t i = 0; i < count; ++i) {
      const int a = next(i);
      if (a != 0 && a != 255) return 2;
      if (first < 0) first = a;
      if (a != first) return 2;
    }
    return first == 255 ? 1 : 0;
  };
  if (bpp == 32) {
    const uint64_t w = static_cast<uint64_t>(width);
    return judge(
        [&](uint64_t i) {
          const uint64_t k = w * static_cast<uint64_t>(height) - 1 - i;
          return int{Row(static_cast<int>(k / w))[4 * (k % w) + 3]};
        },
        w * static_cast<uint64_t>(height));
  }
  if (bpp <= 8)
    return judge([&](uint64_t i) { return int{palette[paletteSize - 1 - i].rgbReserved}; }, paletteSize);
  return 0;
}
