// Triangles are filled row by row between the outermost Bresenham points of
// their three edges, each edge walked from its upper end down, both ends of
// every span included (so an edge shared by two triangles is painted by
// both). Edges are jumped to the first visible row by division, and a
// shallow edge gives each row's run of points in O(1), so the cost is
// bounded by the visible part whatever the vertices.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "graphics/image.h"
#include "graphics/line_walk.h"

namespace {

class EdgeWalker {
 public:
  // The edge from (x0, y0) down to (x1, y1), y0 <= y1, positioned on row
  // max(y0, firstRow). False when it ends above firstRow.
  bool Start(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t firstRow) {
    int64_t dx = std::llabs(x1 - x0), dy = y1 - y0;
    xStep_ = x1 < x0 ? -1 : 1;
    xMajor_ = !(dx < dy);
    dmajor_ = xMajor_ ? dx : dy;
    dminor_ = xMajor_ ? dy : dx;
    e_ = (dmajor_ - dminor_ + 1) / 2;
    x_ = x0;
    y_ = y0;
    left_ = dmajor_;
    yEnd_ = y1;
    if (y1 < firstRow) return false;
    if (y0 < firstRow) {
      int64_t rows = firstRow - y0;
      if (xMajor_) {
        int64_t steps = StepsForMinor(dmajor_, dminor_, e_, rows);
        e_ = JumpWalk(dmajor_, dminor_, e_, steps).error;
        x_ += steps * xStep_;
        left_ -= steps;
      } else {
        WalkJump jump = JumpWalk(dmajor_, dminor_, e_, rows);
        e_ = jump.error;
        x_ += jump.minorSteps * xStep_;
        left_ -= rows;
      }
      y_ = firstRow;
    }
    return true;
  }

  int64_t Row() const { return y_; }
  int64_t LastRow() const { return yEnd_; }

  // The outermost x of the points on the current row; moves to the next row.
  void TakeRow(int64_t& lo, int64_t& hi) {
    int64_t first = x_, count;
    if (!xMajor_) {
      count = 1;
    } else if (dminor_ == 0) {
      count = left_ + 1;
    } else {
      // Points up to the first one whose error is < 1; then the row changes.
      int64_t extra = e_ > 0 ? (e_ + dminor_ - 1) / dminor_ : 0;
      count = std::min(extra, left_) + 1;
    }
    int64_t last = first + (count - 1) * xStep_;
    lo = std::min({lo, first, last});
    hi = std::max({hi, first, last});
    // The step after the last point of the row.
    int64_t eLast = xMajor_ ? e_ - (count - 1) * dminor_ : e_;
    if (eLast < 1) {
      e_ = eLast + dmajor_ - dminor_;
      if (!xMajor_) x_ += xStep_;
    } else {
      e_ = eLast - dminor_;
    }
    if (xMajor_) x_ = last + xStep_;
    left_ -= xMajor_ ? count : 1;
    ++y_;
  }

 private:
  int64_t x_ = 0, y_ = 0, yEnd_ = 0, left_ = 0;
  int64_t dmajor_ = 0, dminor_ = 0, e_ = 0;
  int xStep_ = 1;
  bool xMajor_ = false;
};

// Runs span(y, x0, x1) for every row of the triangle that lies on the image,
// the span clamped to the image. False when the triangle's bounds miss it.
template <class Span>
bool WalkTriangle(const CGraphicsImage& image, const int pts[6], Span&& span) {
  int top = 0;
  for (int i = 1; i < 3; ++i)
    if (pts[2 * i + 1] < pts[2 * top + 1]) top = i;
  int a = (top + 1) % 3, b = (top + 2) % 3;
  int64_t xs[3], ys[3];
  for (int i = 0; i < 3; ++i) {
    xs[i] = pts[2 * i];
    ys[i] = pts[2 * i + 1];
  }
  int64_t yMax = std::max({ys[0], ys[1], ys[2]});
  int64_t xMin = std::min({xs[0], xs[1], xs[2]}), xMax = std::max({xs[0], xs[1], xs[2]});
  if (ys[top] >= image.height || yMax < 0 || xMin >= image.width || xMax < 0) return false;
  int upper = ys[a] <= ys[b] ? a : b, lower = upper == a ? b : a;
  int64_t firstRow = std::max<int64_t>(ys[top], 0);
  int64_t lastRow = std::min<int64_t>(yMax, image.height - 1);
  EdgeWalker edges[3];
  bool live[3] = {
      edges[0].Start(xs[top], ys[top], xs[a], ys[a], firstRow),
      edges[1].Start(xs[top], ys[top], xs[b], ys[b], firstRow),
      edges[2].Start(xs[upper], ys[upper], xs[lower], ys[lower], firstRow),
  };
  for (int64_t y = firstRow; y <= lastRow; ++y) {
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (int i = 0; i < 3; ++i)
      if (live[i] && edges[i].Row() == y && y <= edges[i].LastRow()) edges[i].TakeRow(lo, hi);
    if (lo > hi || lo >= image.width || hi < 0) continue;
    span(static_cast<int>(y), static_cast<int>(std::max<int64_t>(lo, 0)),
         static_cast<int>(std::min<int64_t>(hi, image.width - 1)));
  }
  return true;
}

}  // namespace

bool CGraphicsImage::FillTriangle(const int pts[6], DWORD arg, TriangleShaderFunc shader) {
  return WalkTriangle(*this, pts, [&](int y, int x0, int x1) {
    BYTE* row = Row(y);
    for (int x = x0; x <= x1; ++x) shader(this, row, x, y, arg);
  });
}

bool CGraphicsImage::FillTriangleColor(const int pts[6], DWORD colour) {
  return WalkTriangle(*this, pts,
                      [&](int y, int x0, int x1) { FillRowSpan(Row(y), x0, x1 + 1, colour); });
}
