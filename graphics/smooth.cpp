// The smoothing copy: every pixel becomes the weighted mean of its 3 x 3
// neighbourhood (corners 1, edges 2, centre n - 12, sum n).
#include <algorithm>
#include <vector>

#include "graphics/colour.h"
#include "graphics/image.h"

namespace {

// The first palette entry nearest to `colour` by ColorDistance, as
// MapToPalette matches; runs of one colour reuse the last answer.
class NearestEntry {
 public:
  explicit NearestEntry(const CGraphicsImage& image) : image_(image) {}
  DWORD Index(DWORD colour) {
    if (valid_ && colour == last_) return index_;
    int best = -1;
    for (DWORD i = 0; i < image_.paletteSize && best != 0; ++i) {
      const RGBQUAD& q = image_.palette[i];
      const int d =
          ColorDistance(colour, DWORD{q.rgbRed} << 16 | DWORD{q.rgbGreen} << 8 | q.rgbBlue);
      if (best < 0 || d < best) best = d, index_ = i;
    }
    last_ = colour;
    valid_ = true;
    return index_;
  }

 private:
  const CGraphicsImage& image_;
  DWORD last_ = 0;
  DWORD index_ = 0;
  bool valid_ = false;
};

}  // namespace

bool CGraphicsImage::CreateSmoothed(const CGraphicsImage& src, BYTE strength, int newBpp) {
  if (!src.HasPixels() || src.width == 0 || src.height == 0) {
    if (HasPixels()) Release();
    return false;
  }
  return WithSeparateSource(src, [&](const CGraphicsImage& s) {
    if (!Create(newBpp, s.width, s.height, IMAGE_NO_FILL, nullptr)) return false;
    const DWORD n = strength >= 11 ? DWORD{strength} + 1 : 12;
    const DWORD centre = n - 12;
    const int w = s.width;
    // Three rows of source colours: above, this one, below.
    std::vector<DWORD> rows(3 * static_cast<size_t>(w));
    auto load = [&](int y, DWORD* to) {
      const DWORD* from = s.RowTo32Func(s.Row(y), &s);
      std::copy(from, from + w, to);
    };
    DWORD* above = rows.data();
    DWORD* here = above + w;
    DWORD* below = here + w;
    load(0, here);
    if (s.height > 1) load(1, below);
    NearestEntry nearest(*this);
    for (int y = 0; y < s.height; ++y) {
      const bool up = y > 0, down = y + 1 < s.height;
      BYTE* out = Row(y);
      for (int x = 0; x < w; ++x) {
        const DWORD c = here[x];
        const bool left = x > 0, right = x + 1 < w;
        // Neighbours outside the image count with the centre's colour.
        const DWORD edges[4] = {left ? here[x - 1] : c, right ? here[x + 1] : c, up ? above[x] : c,
                                down ? below[x] : c};
        const DWORD corners[4] = {up && left ? above[x - 1] : c, up && right ? above[x + 1] : c,
                                  down && left ? below[x - 1] : c,
                                  down && right ? below[x + 1] : c};
        // Red and blue are summed side by side in 16-bit lanes, green apart;
        // at most 256 x 255 per channel, so no lane overflows.
        DWORD rb = centre * (c & 0xFF00FF), g = centre * (c & 0xFF00);
        for (int k = 0; k < 4; ++k) {
          rb += 2 * (edges[k] & 0xFF00FF) + (corners[k] & 0xFF00FF);
          g += 2 * (edges[k] & 0xFF00) + (corners[k] & 0xFF00);
        }
        const DWORD colour = ((rb >> 16) / n) << 16 | ((g >> 8) / n) << 8 | (rb & 0xFFFF) / n;
        PixelSetFunc(out, x, trueColor ? colour : nearest.Index(colour));
      }
      // Roll the rows down by one.
      DWORD* spare = above;
      above = here;
      here = below;
      below = spare;
      if (y + 2 < s.height) load(y + 2, below);
    }
    return true;
  });
}
