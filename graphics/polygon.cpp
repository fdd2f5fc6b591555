// Filled polygons. Vertices lie on pixel corners and every row is sampled
// through its pixel centres, half a pixel below a whole y: no sample row ever
// passes through a vertex, so the crossings of a row pair up unambiguously
// (even-odd) and a horizontal edge never crosses one. A pixel is filled when
// its centre lies in [left crossing, right crossing), the rule that lets
// polygons sharing an edge tile without gaps or pixels painted twice.
//
// Each edge walks down its rows with an integer x and an error term, so the
// per-row work is additions only; edges are jumped to the first visible row
// by division, and the rows walked are those of the image, so far vertices
// cost nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "graphics/image.h"
#include "graphics/polygon.h"

namespace {

// Division rounding toward minus infinity, and the matching remainder.
inline int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
inline int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// One non-horizontal edge, from its upper end (x0, y0) down to row y1
// (exclusive). On row y = y0 + k the first pixel whose centre lies at or
// right of the crossing is
//   X(k) = x0 + ceil(((2k + 1) dx - dy) / (2 dy)) = x0 + floor(M(k) / D)
// with M(k) = 2k dx + dx + dy - 1 and D = 2 dy; x holds X and rem the
// remainder M(k) mod D, both moved row by row by 2 dx = step D + stepRem.
class PolygonEdge {
 public:
  void Set(int64_t xa, int64_t ya, int64_t xb, int64_t yb) {
    if (yb < ya) std::swap(xa, xb), std::swap(ya, yb);
    x0_ = xa;
    y0_ = ya;
    y1_ = yb;
    dx_ = xb - xa;
    dy_ = yb - ya;
    d_ = 2 * dy_;
    step_ = FloorDiv(dx_, dy_);
    stepRem_ = 2 * FloorMod(dx_, dy_);
    started_ = false;
  }

  bool Spans(int64_t y) const { return y >= y0_ && y < y1_; }

  // The crossing of row y, which the edge spans. Rows must come in order;
  // the first one may lie anywhere in the edge.
  int64_t CrossingAt(int64_t y) {
    if (!started_) {
      StartAt(y - y0_);
      started_ = true;
    } else {
      x_ += step_;
      rem_ += stepRem_;
      if (rem_ >= d_) {
        rem_ -= d_;
        ++x_;
      }
    }
    return x_;
  }

 private:
  // M(k) = (q0 + k step) D + r0 + 2 k R with R = dx mod dy: every product
  // stays within 64 bits although k and the sides reach 2^32.
  void StartAt(int64_t k) {
    const int64_t m0 = dx_ + dy_ - 1;
    int64_t q = FloorDiv(m0, d_), r = FloorMod(m0, d_);
    q += k * step_;
    const uint64_t p = static_cast<uint64_t>(k) * static_cast<uint64_t>(stepRem_ / 2);
    const uint64_t dy = static_cast<uint64_t>(dy_);
    q += static_cast<int64_t>(p / dy);
    r += 2 * static_cast<int64_t>(p % dy);  // < 2 D
    if (r >= d_) {
      r -= d_;
      ++q;
    }
    x_ = x0_ + q;
    rem_ = r;
  }

  int64_t x0_ = 0, y0_ = 0, y1_ = 0, dx_ = 0, dy_ = 0, d_ = 1;
  int64_t step_ = 0, stepRem_ = 0;
  int64_t x_ = 0, rem_ = 0;
  bool started_ = false;
};

struct Bounds {
  int64_t x0, y0, x1, y1;
};

Bounds PointBounds(const int* points, int count) {
  Bounds b{points[0], points[1], points[0], points[1]};
  for (int i = 1; i < count; ++i) {
    b.x0 = std::min<int64_t>(b.x0, points[2 * i]);
    b.x1 = std::max<int64_t>(b.x1, points[2 * i]);
    b.y0 = std::min<int64_t>(b.y0, points[2 * i + 1]);
    b.y1 = std::max<int64_t>(b.y1, points[2 * i + 1]);
  }
  return b;
}

// The shape of a polygon call before any row is filled.
enum class PolygonKind { Refused, Point, Line, Area };

PolygonKind Classify(const CGraphicsImage& image, const int* points, int count, Bounds& b) {
  if (!points || count <= 0 || count > POLYGON_MAX_POINTS) return PolygonKind::Refused;
  if (count == 1) return PolygonKind::Point;
  b = PointBounds(points, count);
  if (count == 2) return PolygonKind::Line;
  if (!image.HasPixels() || b.x1 < 0 || b.y1 < 0 || b.x0 >= image.width || b.y0 >= image.height)
    return PolygonKind::Refused;
  if (b.x0 == b.x1 || b.y0 == b.y1) return PolygonKind::Line;
  return PolygonKind::Area;
}

// Calls span(y, x0, x1) with the filled columns [x0, x1) of every image row
// the polygon covers, rows top to bottom and spans left to right.
template <class Span>
void WalkPolygon(const CGraphicsImage& image, const int* points, int count, const Bounds& b,
                 Span&& span) {
  PolygonEdge edges[POLYGON_MAX_POINTS];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const int j = i + 1 == count ? 0 : i + 1;
    if (points[2 * i + 1] == points[2 * j + 1]) continue;  // crosses no sample row
    edges[n++].Set(points[2 * i], points[2 * i + 1], points[2 * j], points[2 * j + 1]);
  }
  const int64_t first = std::max<int64_t>(b.y0, 0);
  const int64_t end = std::min<int64_t>(b.y1, image.height);  // the bottom row is out
  int64_t crossings[POLYGON_MAX_POINTS];
  for (int64_t y = first; y < end; ++y) {
    int k = 0;
    for (int i = 0; i < n; ++i)
      if (edges[i].Spans(y)) crossings[k++] = edges[i].CrossingAt(y);
    std::sort(crossings, crossings + k);
    // A closed outline crosses a row an even number of times.
    for (int i = 0; i + 1 < k; i += 2) {
      const int64_t x0 = std::max<int64_t>(crossings[i], 0);
      const int64_t x1 = std::min<int64_t>(crossings[i + 1], image.width);
      if (x0 < x1) span(static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1));
    }
  }
}

// The steps shared by both fills: refusals, a single point through
// `point(row, x, y)`, lines through `line(x1, y1, x2, y2)`, then the spans.
template <class Point, class Line, class Span>
bool FillPolygonWith(CGraphicsImage& image, const int* points, int count, Point&& point, Line&& line,
                     Span&& span) {
  Bounds b{};
  switch (Classify(image, points, count, b)) {
    case PolygonKind::Refused:
      return false;
    case PolygonKind::Point: {
      const int x = points[0], y = points[1];
      if (static_cast<unsigned>(x) >= static_cast<unsigned>(image.width) ||
          static_cast<unsigned>(y) >= static_cast<unsigned>(image.height))
        return false;
      point(image.Row(y), x, y);
      return true;
    }
    case PolygonKind::Line:
      if (count == 2) return line(points[0], points[1], points[2], points[3]);
      // Every point on one row or column: the box is that line.
      return line(static_cast<int>(b.x0), static_cast<int>(b.y0), static_cast<int>(b.x1),
                  static_cast<int>(b.y1));
    case PolygonKind::Area:
      break;
  }
  WalkPolygon(image, points, count, b, span);
  return true;
}

}  // namespace

bool CGraphicsImage::FillPolygon(const int* points, int count, DWORD colour) {
  return FillPolygonWith(
      *this, points, count, [&](BYTE* row, int x, int) { PixelSetFunc(row, x, colour); },
      [&](int x1, int y1, int x2, int y2) { return DrawPlainLine(x1, y1, x2, y2, colour); },
      [&](int y, int x0, int x1) { FillRowSpan(Row(y), x0, x1, colour); });
}

bool CGraphicsImage::FillPolygonShader(const int* points, int count, DWORD arg,
                                       TriangleShaderFunc shader) {
  if (!shader) return false;
  return FillPolygonWith(
      *this, points, count, [&](BYTE* row, int x, int y) { shader(this, row, x, y, arg); },
      [&](int x1, int y1, int x2, int y2) { return DrawShaderLine(x1, y1, x2, y2, arg, shader, true); },
      [&](int y, int x0, int x1) {
        BYTE* row = Row(y);
        for (int x = x0; x < x1; ++x) shader(this, row, x, y, arg);
      });
}

