// Drawing benchmark: the chart renderer's hot paths on a 1920 x 1080 x 32 bpp
// image against cairo on an ARGB32 image surface without antialiasing, one
// thread, in one run. For every workload it prints both times, the ratio
// ours / cairo (target < 1.0) and both sides' painted-pixel counts; the
// off-screen workload prints our cost per painted pixel against the same
// shapes on screen (target <= 2.0).
//
//   draw_bench           full run
//   draw_bench --check   one small round: both sides must paint comparable
//                        pixel counts (catches a broken workload, not speed)
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "graphics/fonts/builtin_fonts.h"
#include "graphics/image.h"
#include "graphics/pen.h"

namespace {

constexpr int kW = 1920, kH = 1080;
constexpr DWORD kBackground = 0x00FFFFFF;

double Seconds(const std::function<void()>& work, const std::function<void()>& reset, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    reset();
    auto t0 = std::chrono::steady_clock::now();
    work();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

long Painted(const CGraphicsImage& im) {
  long n = 0;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) n += (im.PixelGetFunc(im.Row(y), x) & 0xFFFFFF) != kBackground;
  return n;
}

long Painted(cairo_surface_t* s) {
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  long n = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      uint32_t p;
      std::memcpy(&p, data + static_cast<size_t>(y) * stride + 4 * x, 4);
      n += (p & 0xFFFFFF) != kBackground;
    }
  return n;
}

struct Side {
  CGraphicsImage image;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  Side() {
    image.Create(32, kW, kH, kBackground, nullptr);
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  }
  ~Side() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  void ClearOurs() { image.FillRect(0, 0, kW, kH, kBackground); }
  void ClearCairo() {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_restore(cr);
  }
};

struct Result {
  const char* name;
  double ours, cairo;
  long oursPainted, cairoPainted;
};

void Print(const Result& r) {
  std::printf("%-34s ours %9.3f ms  cairo %9.3f ms  ratio %5.2f  painted %8ld / %8ld\n", r.name,
              r.ours * 1e3, r.cairo * 1e3, r.ours / r.cairo, r.oursPainted, r.cairoPainted);
}

// --- Full-frame fill ---

Result FullFrameFill(Side& s, int reps) {
  double ours = Seconds([&] { s.image.FillRect(0, 0, kW, kH, 0x00336699); }, [&] { s.ClearOurs(); }, reps);
  double cairo = Seconds(
      [&] {
        cairo_set_operator(s.cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgb(s.cr, 0x33 / 255.0, 0x66 / 255.0, 0x99 / 255.0);
        cairo_rectangle(s.cr, 0, 0, kW, kH);
        cairo_fill(s.cr);
        cairo_set_operator(s.cr, CAIRO_OPERATOR_OVER);
      },
      [&] { s.ClearCairo(); }, reps);
  return {"full-frame fill", ours, cairo, Painted(s.image), Painted(s.surface)};
}

// --- Curves and grid ---

int CurveY(int k, int x) {
  const double amp[3] = {300, 220, 400}, freq[3] = {0.011, 0.023, 0.0047}, phase[3] = {0, 1, 2};
  return static_cast<int>(std::lround(540 + amp[k] * std::sin(x * freq[k] + phase[k])));
}

Result Curves(Side& s, int reps, int columns) {
  const PixelWriterFunc pens[3] = {PixelWriterPlain, PixelWriterSoft, PixelWriterDashed};
  const DWORD colours[3] = {0x00C00000, 0x000000C0, 0x00008000};
  auto ours = [&] {
    for (int x = 0; x < kW; x += 64) s.image.DrawLine(x, 0, x, kH - 1, 0x00C0C0C0, PixelWriterPlain, true);
    for (int y = 0; y < kH; y += 64) s.image.DrawLine(0, y, kW - 1, y, 0x00C0C0C0, PixelWriterPlain, true);
    for (int k = 0; k < 3; ++k)
      for (int x = 0; x + 1 < columns; ++x)
        s.image.DrawLine(x, CurveY(k, x), x + 1, CurveY(k, x + 1), colours[k], pens[k], false);
  };
  auto cairo = [&] {
    cairo_set_line_width(s.cr, 1);
    cairo_set_source_rgb(s.cr, 0.75, 0.75, 0.75);
    for (int x = 0; x < kW; x += 64) {
      cairo_move_to(s.cr, x + 0.5, 0);
      cairo_line_to(s.cr, x + 0.5, kH);
    }
    for (int y = 0; y < kH; y += 64) {
      cairo_move_to(s.cr, 0, y + 0.5);
      cairo_line_to(s.cr, kW, y + 0.5);
    }
    cairo_stroke(s.cr);
    for (int k = 0; k < 3; ++k) {
      double r = ((colours[k] >> 16) & 255) / 255.0, g = ((colours[k] >> 8) & 255) / 255.0,
             b = (colours[k] & 255) / 255.0;
      if (k == 1) {
        cairo_set_source_rgba(s.cr, r, g, b, 0.6);
        cairo_set_line_width(s.cr, 3);
      } else {
        cairo_set_source_rgb(s.cr, r, g, b);
        cairo_set_line_width(s.cr, 1);
      }
      const double dash[2] = {4, 4};
      cairo_set_dash(s.cr, dash, k == 2 ? 2 : 0, 0);
      cairo_move_to(s.cr, 0.5, CurveY(k, 0) + 0.5);
      for (int x = 1; x < columns; ++x) cairo_line_to(s.cr, x + 0.5, CurveY(k, x) + 0.5);
      cairo_stroke(s.cr);
    }
    cairo_set_dash(s.cr, nullptr, 0, 0);
  };
  double t1 = Seconds(ours, [&] { s.ClearOurs(); }, reps);
  double t2 = Seconds(cairo, [&] { s.ClearCairo(); }, reps);
  return {"3 curves + grid (plain/soft/dash)", t1, t2, Painted(s.image), Painted(s.surface)};
}

// --- Shaded triangles ---

struct Vertex {
  float x, y, z, r, g, b;
};

// Plane a*x + b*y + c through three vertex values.
struct Plane {
  float a, b, c;
  float At(int x, int y) const { return a * x + b * y + c; }
};
Plane PlaneOf(const Vertex* v, float Vertex::*field) {
  float x1 = v[1].x - v[0].x, y1 = v[1].y - v[0].y, x2 = v[2].x - v[0].x, y2 = v[2].y - v[0].y;
  float f1 = v[1].*field - v[0].*field, f2 = v[2].*field - v[0].*field;
  float det = x1 * y2 - x2 * y1;
  if (std::fabs(det) < 1e-6f) return {0, 0, v[0].*field};
  float a = (f1 * y2 - f2 * y1) / det, b = (x1 * f2 - x2 * f1) / det;
  return {a, b, v[0].*field - a * v[0].x - b * v[0].y};
}

struct ShadeState {
  Plane z, r, g, b;
  std::vector<float> depth;
  int row = -1;  // the row the values below belong to
  float zRow, rRow, gRow, bRow;
} g_shade;

int Channel(float v) { return std::clamp(static_cast<int>(v), 0, 255); }

// Depth test and Gouraud colour from the triangle's planes, evaluated once
// per row and stepped along x; the image is 32 bpp, so the pixel is stored
// directly into the row given.
void DepthShader(CGraphicsImage*, BYTE* row, int x, int y, DWORD) {
  ShadeState& s = g_shade;
  if (y != s.row) {
    s.row = y;
    s.zRow = s.z.b * y + s.z.c;
    s.rRow = s.r.b * y + s.r.c;
    s.gRow = s.g.b * y + s.g.c;
    s.bRow = s.b.b * y + s.b.c;
  }
  float z = s.zRow + s.z.a * x;
  float& d = s.depth[static_cast<size_t>(y) * kW + x];
  if (z >= d) return;
  d = z;
  uint32_t c = static_cast<uint32_t>(Channel(s.rRow + s.r.a * x)) << 16 |
               static_cast<uint32_t>(Channel(s.gRow + s.g.a * x)) << 8 |
               static_cast<uint32_t>(Channel(s.bRow + s.b.a * x));
  std::memcpy(row + 4 * x, &c, 4);
}

// A height field seen in perspective: depth 1 at the front row to 3 at the
// back, so the triangles run from about 45 pixels in front to about 5 at
// the back.
std::vector<Vertex> ProjectedGrid(int cols, int rows) {
  std::vector<Vertex> v;
  for (int j = 0; j <= rows; ++j)
    for (int i = 0; i <= cols; ++i) {
      float depth = 1.0f + 2.0f * static_cast<float>(j) / static_cast<float>(rows);
      float h = 20.0f * std::sin(i * 0.07f) * std::cos(j * 0.11f) / depth;
      float px = kW / 2.0f + (static_cast<float>(i) - cols / 2.0f) * 9.5f / depth;
      float py = 1000.0f - 450.0f * std::log(depth) - h;
      v.push_back({px, py, depth, 60.0f + 190.0f * i / cols, 120.0f + h * 4.0f, 250.0f - 200.0f * j / rows});
    }
  return v;
}

Result Triangles(Side& s, int reps, int cols, int rows) {
  std::vector<Vertex> grid = ProjectedGrid(cols, rows);
  std::vector<std::array<int, 3>> tris;
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i) {
      int a = j * (cols + 1) + i, b = a + 1, c = a + cols + 1, d = c + 1;
      tris.push_back({a, b, d});
      tris.push_back({a, d, c});
    }
  auto ours = [&] {
    std::fill(g_shade.depth.begin(), g_shade.depth.end(), 1e30f);
    for (const auto& t : tris) {
      Vertex v[3] = {grid[t[0]], grid[t[1]], grid[t[2]]};
      g_shade.z = PlaneOf(v, &Vertex::z);
      g_shade.r = PlaneOf(v, &Vertex::r);
      g_shade.g = PlaneOf(v, &Vertex::g);
      g_shade.b = PlaneOf(v, &Vertex::b);
      g_shade.row = -1;
      int pts[6];
      for (int k = 0; k < 3; ++k) {
        pts[2 * k] = static_cast<int>(std::lround(v[k].x));
        pts[2 * k + 1] = static_cast<int>(std::lround(v[k].y));
      }
      s.image.FillTriangle(pts, 0, DepthShader);
    }
  };
  auto cairo = [&] {
    for (const auto& t : tris) {
      const Vertex& a = grid[t[0]];
      cairo_set_source_rgb(s.cr, a.r / 255.0, std::clamp(a.g, 0.0f, 255.0f) / 255.0, a.b / 255.0);
      cairo_move_to(s.cr, std::lround(grid[t[0]].x), std::lround(grid[t[0]].y));
      cairo_line_to(s.cr, std::lround(grid[t[1]].x), std::lround(grid[t[1]].y));
      cairo_line_to(s.cr, std::lround(grid[t[2]].x), std::lround(grid[t[2]].y));
      cairo_close_path(s.cr);
      cairo_fill(s.cr);
    }
  };
  g_shade.depth.assign(static_cast<size_t>(kW) * kH, 1e30f);
  double t1 = Seconds(ours, [&] { s.ClearOurs(); }, reps);
  double t2 = Seconds(cairo, [&] { s.ClearCairo(); }, reps);
  static char name[64];
  std::snprintf(name, sizeof name, "%zu shaded triangles", tris.size());
  return {name, t1, t2, Painted(s.image), Painted(s.surface)};
}

// --- Labels ---

Result Labels(Side& s, int reps, int count) {
  std::mt19937 rng(5);
  const char alphabet[] = "0123456789.-+e xyzXYZ=";
  struct Label {
    std::string text;
    int x, y;
    bool large;
  };
  std::vector<Label> labels;
  for (int i = 0; i < count; ++i) {
    std::string t;
    int n = 6 + static_cast<int>(rng() % 5);
    for (int k = 0; k < n; ++k) t += alphabet[rng() % (sizeof alphabet - 1)];
    labels.push_back({t, static_cast<int>(rng() % (kW - 200)), 30 + static_cast<int>(rng() % (kH - 60)), i % 2 == 1});
  }
  long measured = 0;
  auto ours = [&] {
    s.image.SetTextWriter(PixelWriterPlain, 0, 0);
    s.image.SetTextWriter(nullptr, 0, 1);
    for (const Label& l : labels) {
      s.image.SelectFont(l.large ? BuiltinFont24 : BuiltinFont14);
      measured += s.image.DrawText(0, TEXT_MEASURE_ONLY, l.text.c_str());
      s.image.DrawText(l.x, l.y, l.text.c_str());
    }
  };
  auto cairo = [&] {
    cairo_select_font_face(s.cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(s.cr, 0, 0, 0);
    for (const Label& l : labels) {
      cairo_set_font_size(s.cr, l.large ? 19 : 10);
      cairo_text_extents_t ext;
      cairo_text_extents(s.cr, l.text.c_str(), &ext);
      measured += static_cast<long>(ext.x_advance);
      cairo_move_to(s.cr, l.x, l.y + (l.large ? 19 : 10));
      cairo_show_text(s.cr, l.text.c_str());
    }
  };
  cairo();  // warm-up: font lookup and glyph cache
  double t1 = Seconds(ours, [&] { s.ClearOurs(); }, reps);
  double t2 = Seconds(cairo, [&] { s.ClearCairo(); }, reps);
  static char name[64];
  std::snprintf(name, sizeof name, "%d labels (14/24 vs 10/19 px)", count);
  return {name, t1, t2, Painted(s.image), Painted(s.surface)};
}

// --- Shapes reaching far off the image ---

void OffScreen(Side& s, int reps, int count, bool check) {
  std::mt19937 rng(9);
  struct Shape {
    double cx, cy, ux, uy, width;
  };
  std::vector<Shape> shapes;
  for (int i = 0; i < count; ++i) {
    double a = (rng() % 36000) * M_PI / 18000;
    shapes.push_back({200.0 + rng() % (kW - 400), 200.0 + rng() % (kH - 400), std::cos(a), std::sin(a),
                      5.0 + rng() % 36});
  }
  // Lines through the image and slim triangles across it, their far
  // vertices `reach` pixels from the centre.
  auto draw = [&](double reach, bool triangles) {
    for (const Shape& sh : shapes) {
      auto X = [&](double along, double across) { return static_cast<int>(std::lround(sh.cx + along * sh.ux - across * sh.uy)); };
      auto Y = [&](double along, double across) { return static_cast<int>(std::lround(sh.cy + along * sh.uy + across * sh.ux)); };
      if (!triangles) {
        s.image.DrawLine(X(-reach, 0), Y(-reach, 0), X(reach, 0), Y(reach, 0), 0x00204080, PixelWriterPlain, true);
      } else {
        // Twice the width at the far base, so about `width` across the image.
        const int pts[6] = {X(-reach, sh.width), Y(-reach, sh.width), X(-reach, -sh.width),
                            Y(-reach, -sh.width), X(reach, 0), Y(reach, 0)};
        s.image.FillTriangleColor(pts, 0x00804020);
      }
    }
  };
  for (bool triangles : {false, true}) {
    double far = Seconds([&] { draw(1e8, triangles); }, [&] { s.ClearOurs(); }, reps);
    long farPainted = Painted(s.image);
    double near = Seconds([&] { draw(2400, triangles); }, [&] { s.ClearOurs(); }, reps);
    long nearPainted = Painted(s.image);
    double perFar = far / std::max(farPainted, 1L), perNear = near / std::max(nearPainted, 1L);
    std::printf("%-34s off-screen %8.3f ms (%8ld px, %6.2f ns/px)  on-screen %8.3f ms (%8ld px, %6.2f ns/px)  ratio %5.2f\n",
                triangles ? "1000 triangles, vertices 1e8 out" : "1000 lines, ends 1e8 out", far * 1e3,
                farPainted, perFar * 1e9, near * 1e3, nearPainted, perNear * 1e9, perFar / perNear);
    if (check && (farPainted == 0 || nearPainted == 0)) std::printf("CHECK FAILED: nothing painted\n");
  }
}

}  // namespace

int Run(int argc, char** argv) {
  static constexpr const char* kWorkloads[] = {"fill", "curves", "triangles", "labels",
                                               "offscreen"};
  const BenchArgs args(argc, argv, "usage: draw_bench [--check] [fill|curves|triangles|labels|offscreen]\n"
                       "  the chart renderer's hot paths against cairo; a workload name runs\n"
                       "  only that one\n"
                       "  --check  one small round: both sides must paint comparable pixel counts\n", {"--check"}, 1);
  const bool check = args.Has("--check");
  const char* only = args.Plain(0, nullptr);
  if (only != nullptr && std::none_of(std::begin(kWorkloads), std::end(kWorkloads),
                                      [&](const char* w) { return std::strcmp(w, only) == 0; })) {
    args.Refuse(std::string("unknown workload '") + only + "'");
  }
  auto wanted = [&](const char* name) { return !only || std::strcmp(only, name) == 0; };
  Side side;
  int reps = check ? 1 : 10;
  std::vector<Result> results;
  if (wanted("fill")) results.push_back(FullFrameFill(side, check ? 1 : 50));
  if (wanted("curves")) results.push_back(Curves(side, reps, kW));
  if (wanted("triangles")) results.push_back(Triangles(side, check ? 1 : 5, 200, 100));
  if (wanted("labels")) results.push_back(Labels(side, reps, 200));
  bool ok = true;
  for (const Result& r : results) {
    Print(r);
    // Both sides draw the same work: painted counts within a factor of 3.
    if (r.oursPainted * 3 < r.cairoPainted || r.cairoPainted * 3 < r.oursPainted || r.oursPainted == 0) {
      std::printf("  painted counts differ too much\n");
      ok = false;
    }
  }
  if (wanted("offscreen")) OffScreen(side, check ? 1 : 5, 1000, check);
  return check && !ok ? 1 : 0;
}

int main(int argc, char** argv) {
  int rc = Run(argc, argv);
  // Drop cairo's font and glyph caches, so leak checkers see a clean exit.
  cairo_debug_reset_static_data();
  return rc;
}
