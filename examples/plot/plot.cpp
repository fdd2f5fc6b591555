// plot 'Y = sin(X)*X' out.png [xmin xmax [width height]]
//
// Draws one formula of X as a curve chart and saves it; the extension of
// the output name picks the format (.png, .bmp, .jpg). The formula becomes
// the picture's comment. A formula that does not compile is reported with
// its position and no file is written.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "graphics/fonts/builtin_fonts.h"
#include "graphics/graphics.h"
#include "toolkit/format_file.h"

namespace {

constexpr DWORD kBackground = 0xFFFFFF;
constexpr DWORD kGrid = 0xE4E4E4;
constexpr DWORD kAxis = 0x404040;
constexpr DWORD kCurve = 0x1F5FBF;
constexpr DWORD kLabel = 0x202020;

// X is the only variable: one letter, not the start of a longer name.
int LookupX(void*, const char* text, double*, unsigned* index) {
  const unsigned char next = static_cast<unsigned char>(text[0] != 0 ? text[1] : 0);
  const bool alone = !(std::isalnum(next) || next == '_');
  if (text[0] != 'X' || !alone) return 0;
  *index = 0;
  return 1;
}

// "Y = expr" -> "expr": the compiler knows no assignment.
const char* Expression(const char* formula) {
  const char* p = formula;
  while (*p == ' ' || *p == '\t') ++p;
  const char* name = p;
  while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_') ++p;
  if (p == name) return formula;
  while (*p == ' ' || *p == '\t') ++p;
  if (p[0] != '=' || p[1] == '=') return formula;
  return p + 1;
}

// How many multiples of `step` lie in [lo, hi].
double TickCount(double lo, double hi, double step) {
  return std::floor(hi / step + 1e-9) - std::ceil(lo / step) + 1;
}

// The tick step of 1, 2 or 5 times a power of ten that puts about `count`
// ticks over [lo, hi], and never fewer than two.
double TickStep(double lo, double hi, int count) {
  const double range = hi - lo;
  const double raw = range / (count < 2 ? 2 : count);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  // Ranges of a few of the smallest subnormals have no finer power of ten.
  if (!(power > 0)) return range;
  // The first of 1, 2, 5, 10 times power not below raw, unless it leaves
  // fewer than two ticks: then the last below raw (at most range / 2).
  double below = power;
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    const double step = factor * power;
    if (step < raw) {
      below = step;
    } else {
      return TickCount(lo, hi, step) >= 2 ? step : below;
    }
  }
  return below;
}

// The multiples of `step` from lo to hi (at most a few hundred).
template <class Each>
void ForTicks(double lo, double hi, double step, Each&& each) {
  const double first = std::ceil(lo / step), last = std::floor(hi / step + 1e-9);
  for (int i = 0; i <= 400 && first + i <= last; ++i) each((first + i) * step);
}

// As many significant digits as tell neighbouring ticks apart (whole numbers
// up to six digits written out), so the rounding of the multiples of a step
// near the ends of the double range does not show.
void Label(char* out, size_t size, double value, double step) {
  if (std::fabs(value) < step * 1e-9) value = 0;
  int digits = 1;
  if (value != 0) {
    const int magnitude = int(std::floor(std::log10(std::fabs(value))));
    digits = magnitude - int(std::floor(std::log10(step))) + 1;
    digits = std::clamp(std::max(digits, std::min(magnitude + 1, 6)), 1, 17);
  }
  std::snprintf(out, size, "%.*g", digits, value);
}

// Draws `text` with its left edge at `x`, moved so it stays inside the
// picture with a margin of two pixels.
void LabelAt(CGraphicsImage& image, int x, int y, const char* text) {
  const int width = image.DrawText(0, TEXT_MEASURE_ONLY, text);
  image.DrawText(std::max(2, std::min(x, image.width - 2 - width)), y, text);
}

void PrintLatin1(std::FILE* to, const char* text) {
  FileUtf8Sink(to, text, int(std::strlen(text)));
}

struct Plot {
  double xmin, xmax, ymin, ymax;
  int left, top, right, bottom;  // the plot area, right and bottom exclusive
  // Where a value falls between lo and hi, kept near the area.
  static double Ratio(double v, double lo, double hi) {
    const double r = (v - lo) / (hi - lo);
    return r >= -1 ? (r <= 2 ? r : 2) : -1;
  }
  int Px(double x) const {
    return left + int(std::lround(Ratio(x, xmin, xmax) * (right - 1 - left)));
  }
  int Py(double y) const {
    return bottom - 1 - int(std::lround(Ratio(y, ymin, ymax) * (bottom - 1 - top)));
  }
};

void DrawAxes(CGraphicsImage& image, const Plot& plot) {
  char text[64];
  image.SetTextWriter(PixelWriterPlain, kLabel, 0);
  const double xstep = TickStep(plot.xmin, plot.xmax, (plot.right - plot.left) / 90);
  image.hAlign = 0;
  ForTicks(plot.xmin, plot.xmax, xstep, [&](double t) {
    const int x = plot.Px(t);
    image.DrawLine(x, plot.top, x, plot.bottom - 1, kGrid, PixelWriterPlain, true);
    image.DrawLine(x, plot.bottom, x, plot.bottom + 4, kAxis, PixelWriterPlain, true);
    Label(text, sizeof text, t, xstep);
    LabelAt(image, x - image.DrawText(0, TEXT_MEASURE_ONLY, text) / 2, plot.bottom + 6, text);
  });
  const double ystep = TickStep(plot.ymin, plot.ymax, (plot.bottom - plot.top) / 60);
  ForTicks(plot.ymin, plot.ymax, ystep, [&](double t) {
    const int y = plot.Py(t);
    image.DrawLine(plot.left, y, plot.right - 1, y, kGrid, PixelWriterPlain, true);
    image.DrawLine(plot.left - 5, y, plot.left - 1, y, kAxis, PixelWriterPlain, true);
    Label(text, sizeof text, t, ystep);
    LabelAt(image, plot.left - 8 - image.DrawText(0, TEXT_MEASURE_ONLY, text), y - 7, text);
  });
  // The zero lines where they fall inside, the frame around.
  if (plot.xmin < 0 && plot.xmax > 0) {
    const int x = plot.Px(0);
    image.DrawLine(x, plot.top, x, plot.bottom - 1, kAxis, PixelWriterPlain, true);
  }
  if (plot.ymin < 0 && plot.ymax > 0) {
    const int y = plot.Py(0);
    image.DrawLine(plot.left, y, plot.right - 1, y, kAxis, PixelWriterPlain, true);
  }
  image.DrawRectOutline(plot.left, plot.top, plot.right - plot.left, plot.bottom - plot.top, kAxis);
}

int Usage() {
  std::fprintf(stderr,
               "usage: plot 'Y = formula of X' out.png|out.bmp|out.jpg [xmin xmax [width "
               "height]]\n"
               "  xmin < xmax (default -10 10); width 120-32768 and height 80-32768 pixels\n"
               "  (default 800 600)\n");
  return 2;
}

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == 0 && std::isfinite(*value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5 && argc != 7) return Usage();
  const char* formula = argv[1];
  const char* output = argv[2];
  double xmin = -10, xmax = 10, w = 800, h = 600;
  if (argc >= 5 && (!ParseNumber(argv[3], &xmin) || !ParseNumber(argv[4], &xmax) ||
                    !(xmin < xmax) || !std::isfinite(xmax - xmin)))
    return Usage();
  if (argc == 7 && (!ParseNumber(argv[5], &w) || !ParseNumber(argv[6], &h) || w < 120 || h < 80 ||
                    w > 32768 || h > 32768))
    return Usage();
  const int width = int(w), height = int(h);

  CFormulaProgram program;
  program.Reset(1, LookupX, nullptr);
  const char* expression = Expression(formula);
  const char* error = nullptr;
  if (!program.Compile(expression, &error)) {
    const long column = error != nullptr ? long(error - formula) : 0;
    std::fprintf(stderr, "plot: the formula does not compile at character %ld:\n  ", column + 1);
    PrintLatin1(stderr, formula);
    std::fprintf(stderr, "\n  %*s^\n", int(column), "");
    return 1;
  }

  // One sample per pixel column of the plot area.
  Plot plot = {xmin, xmax, 0, 0, 64, 12, width - 16, height - 30};
  const int columns = plot.right - plot.left;
  std::vector<double> ys(size_t(columns), NAN);
  double lo = INFINITY, hi = -INFINITY;
  for (int i = 0; i < columns; ++i) {
    double x = xmin + (xmax - xmin) * i / (columns - 1);
    program.SetValues(&x, 1);
    int ok = 1;
    const double y = program.Evaluate(&ok);
    if (ok == 0 || !std::isfinite(y)) continue;
    ys[size_t(i)] = y;
    lo = std::min(lo, y);
    hi = std::max(hi, y);
  }
  if (!(lo <= hi)) lo = -1, hi = 1;  // nothing finite
  // Within +-1e300 hi - lo and the margins stay finite; both ends are
  // clamped alike so that values all beyond a limit keep lo <= hi.
  lo = std::clamp(lo, -1e300, 1e300);
  hi = std::clamp(hi, -1e300, 1e300);
  if (hi - lo < 1e-12 * std::max(1.0, std::fabs(hi))) {
    const double pad = std::max(1.0, std::fabs(hi) * 1e-3);  // 1 would vanish beside 1e300
    lo -= pad;
    hi += pad;
  }
  const double margin = (hi - lo) * 0.05;
  plot.ymin = lo - margin;
  plot.ymax = hi + margin;

  CGraphicsImage image;
  if (!image.Create(32, width, height, kBackground, nullptr)) {
    std::fprintf(stderr, "plot: no memory for a %dx%d picture\n", width, height);
    return 3;
  }
  image.SelectFont(BuiltinFont14);
  DrawAxes(image, plot);
  // The curve, broken wherever the formula has no value.
  for (int i = 1; i < columns; ++i) {
    const double a = ys[size_t(i - 1)], b = ys[size_t(i)];
    if (std::isnan(a) || std::isnan(b)) continue;
    image.DrawSmoothLine(plot.left + i - 1, plot.Py(a), plot.left + i, plot.Py(b), kCurve, true);
  }
  image.hAlign = 0;
  image.DrawText(plot.left + 6, plot.top + 4, formula);

  if (SaveImage(output, image, formula) != 0) {
    std::fprintf(stderr, "plot: %s: ", output);
    PrintLatin1(stderr, GraphicsErrorText);
    std::fprintf(stderr, "\n");
    return 3;
  }
  return 0;
}
