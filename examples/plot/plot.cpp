// plot 'Y = sin(X)*X' out.png [xmin xmax [width height]]
//
// Draws one formula of X as a curve chart and saves it; the extension of
// the output name picks the format. The formula becomes the picture's
// comment. A formula that does not compile is reported with its position
// and no file is written. Text comes in and goes out as UTF-8; the
// libraries read and write Latin-1.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
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

// The extensions SaveImage writes.
constexpr const char* kFormats = "png gif bmp jpg jpeg tif tiff pnm xwd xpm eps ps prn zera";

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

void PrintLatin1(std::FILE* to, const char* text) {
  FileUtf8Sink(to, text, int(std::strlen(text)));
}

// The UTF-8 text as Latin-1 (a byte that starts no sequence stands for
// itself, as a Latin-1 terminal sends it); false with the 1-based position
// and code of the first character Latin-1 lacks.
bool Utf8ToLatin1(const char* text, std::string* out, int* position, DWORD* code) {
  out->clear();
  while (*text != 0) {
    text += Utf8DecodeChar(text, code);
    if (*code == 0 || *code > 0xFF) {
      *position = int(out->size()) + 1;
      return false;
    }
    out->push_back(char(*code));
  }
  return true;
}

// A value range with the power of two that brings its larger end near 1:
// spans and ratios are taken of the scaled ends (exactly scaled), so ranges
// near the largest doubles do not overflow and subnormal ones keep their
// digits.
struct Axis {
  double lo, hi;
  int shift;
  static Axis Of(double lo, double hi) {
    int exponent = 0;
    std::frexp(std::max(std::fabs(lo), std::fabs(hi)), &exponent);
    return {lo, hi, -exponent};
  }
  double Scaled(double v) const { return std::ldexp(v, shift); }
  double ScaledSpan() const { return Scaled(hi) - Scaled(lo); }
  // fraction * (hi - lo), which may exceed the double range only as infinity.
  double Part(double fraction) const { return std::ldexp(ScaledSpan() * fraction, -shift); }
  // Where v falls between lo and hi, kept near the range.
  double Ratio(double v) const {
    const double r = (Scaled(v) - Scaled(lo)) / ScaledSpan();
    return r >= -1 ? (r <= 2 ? r : 2) : -1;
  }
};

// How many multiples of `step` lie in [lo, hi].
double TickCount(double lo, double hi, double step) {
  return std::floor(hi / step + 1e-9) - std::ceil(lo / step) + 1;
}

// The tick step of 1, 2 or 5 times a power of ten that puts about `count`
// ticks over the axis, and never fewer than two.
double TickStep(const Axis& axis, int count) {
  const double raw = axis.Part(1.0 / (count < 2 ? 2 : count));
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  // Ranges of a few of the smallest subnormals have no finer power of ten:
  // the step is then a multiple of the smallest double.
  if (!(power > 0)) return std::max(raw, std::numeric_limits<double>::denorm_min());
  // The first of 1, 2, 5, 10 times power not below raw, unless it leaves
  // fewer than two ticks: then the last below raw (at most range / 2).
  double below = power;
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    const double step = factor * power;
    if (step < raw) {
      below = step;
    } else {
      return TickCount(axis.lo, axis.hi, step) >= 2 ? step : below;
    }
  }
  return below;
}

// The multiples of `step` from lo to hi (at most a few hundred).
template <class Each>
void ForTicks(const Axis& axis, double step, Each&& each) {
  const double first = std::ceil(axis.lo / step), last = std::floor(axis.hi / step + 1e-9);
  for (int i = 0; i <= 400 && first + i <= last; ++i) each((first + i) * step);
}

// As many significant digits as tell neighbouring ticks apart (whole numbers
// up to six digits written out), so the rounding of the multiples of a step
// near the ends of the double range does not show.
std::string Label(double value, double step) {
  if (std::fabs(value) < step * 1e-9) value = 0;
  int digits = 1;
  if (value != 0) {
    const int magnitude = int(std::floor(std::log10(std::fabs(value))));
    digits = magnitude - int(std::floor(std::log10(step))) + 1;
    digits = std::clamp(std::max(digits, std::min(magnitude + 1, 6)), 1, 17);
  }
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

int TextWidth(CGraphicsImage& image, const char* text) {
  return image.DrawText(0, TEXT_MEASURE_ONLY, text);
}

// Draws `text` with its left edge at `x`, moved so it stays inside the
// picture with a margin of two pixels.
void LabelAt(CGraphicsImage& image, int x, int y, const char* text) {
  image.DrawText(std::max(2, std::min(x, image.width - 2 - TextWidth(image, text))), y, text);
}

// `text` cut at the end, with "...", to at most `width` pixels.
std::string Fitted(CGraphicsImage& image, std::string text, int width) {
  if (TextWidth(image, text.c_str()) <= width) return text;
  while (!text.empty() && TextWidth(image, (text + "...").c_str()) > width) text.pop_back();
  return text + "...";
}

struct Plot {
  Axis x, y;
  int left, top, right, bottom;  // the plot area, right and bottom exclusive
  double Fx(double v) const { return left + x.Ratio(v) * (right - 1 - left); }
  double Fy(double v) const { return bottom - 1 - y.Ratio(v) * (bottom - 1 - top); }
  int Px(double v) const { return int(std::lround(Fx(v))); }
  int Py(double v) const { return int(std::lround(Fy(v))); }
};

struct Tick {
  double value;
  std::string text;
};

std::vector<Tick> Ticks(const Axis& axis, int count) {
  std::vector<Tick> ticks;
  const double step = TickStep(axis, count);
  ForTicks(axis, step, [&](double t) { ticks.push_back({t, Label(t, step)}); });
  return ticks;
}

void DrawGrid(CGraphicsImage& image, const Plot& plot, const std::vector<Tick>& xticks,
              const std::vector<Tick>& yticks) {
  image.SetTextWriter(PixelWriterPlain, kLabel, 0);
  image.hAlign = 0;
  // Labels wider than the space between ticks (long numbers in narrow
  // pictures) would run into each other: one that would come closer than
  // 8 pixels to the last one drawn is left out.
  int labelEnd = -8;
  for (const Tick& t : xticks) {
    const int x = plot.Px(t.value);
    image.DrawLine(x, plot.top, x, plot.bottom - 1, kGrid, PixelWriterPlain, true);
    image.DrawLine(x, plot.bottom, x, plot.bottom + 4, kAxis, PixelWriterPlain, true);
    const int width = TextWidth(image, t.text.c_str());
    const int at = std::max(2, std::min(x - width / 2, image.width - 2 - width));
    if (at < labelEnd + 8) continue;
    image.DrawText(at, plot.bottom + 6, t.text.c_str());
    labelEnd = at + width;
  }
  for (const Tick& t : yticks) {
    const int y = plot.Py(t.value);
    image.DrawLine(plot.left, y, plot.right - 1, y, kGrid, PixelWriterPlain, true);
    image.DrawLine(plot.left - 5, y, plot.left - 1, y, kAxis, PixelWriterPlain, true);
    // A label the margin cannot hold (only in the narrowest pictures) is left out.
    const int x = plot.left - 8 - TextWidth(image, t.text.c_str());
    if (x >= 2) image.DrawText(x, y - 7, t.text.c_str());
  }
  if (plot.x.lo < 0 && plot.x.hi > 0) {
    const int x = plot.Px(0);
    image.DrawLine(x, plot.top, x, plot.bottom - 1, kAxis, PixelWriterPlain, true);
  }
  if (plot.y.lo < 0 && plot.y.hi > 0) {
    const int y = plot.Py(0);
    image.DrawLine(plot.left, y, plot.right - 1, y, kAxis, PixelWriterPlain, true);
  }
}

// Cuts the segment (x0, y0)-(x1, y1) to the rectangle (Liang-Barsky); false
// when nothing of it lies inside.
bool Clip(double& x0, double& y0, double& x1, double& y1, double xlo, double ylo, double xhi,
          double yhi) {
  const double dx = x1 - x0, dy = y1 - y0;
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - xlo, xhi - x0, y0 - ylo, yhi - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  x1 = x0 + t1 * dx, y1 = y0 + t1 * dy;
  x0 += t0 * dx, y0 += t0 * dy;
  return true;
}

// The curve through samples spread evenly over the plot area, broken
// wherever the formula has no value, kept inside the frame: a smooth line's
// edge pixels fall at most on the frame, which is drawn over it afterwards.
// A value with none beside it is drawn as a dot, as no line reaches it.
void DrawCurve(CGraphicsImage& image, const Plot& plot, const std::vector<double>& ys) {
  const double step = double(plot.right - 1 - plot.left) / double(ys.size() - 1);
  for (size_t i = 0; i < ys.size(); ++i) {
    if (std::isnan(ys[i])) continue;
    size_t from = i;
    if (i > 0 && !std::isnan(ys[i - 1])) {
      from = i - 1;
    } else if (i + 1 < ys.size() && !std::isnan(ys[i + 1])) {
      continue;  // the line to the next value starts here
    }
    const double a = ys[from], b = ys[i];
    double x0 = plot.left + step * double(from), y0 = plot.Fy(a), x1 = plot.left + step * double(i),
           y1 = plot.Fy(b);
    if (from == i) x0 -= 1, x1 += 1;
    if (!Clip(x0, y0, x1, y1, plot.left + 1, plot.top + 1, plot.right - 2, plot.bottom - 2))
      continue;
    image.DrawSmoothLine(int(std::lround(x0)), int(std::lround(y0)), int(std::lround(x1)),
                         int(std::lround(y1)), kCurve, true);
  }
  image.DrawRectOutline(plot.left, plot.top, plot.right - plot.left, plot.bottom - plot.top, kAxis);
}

int Usage(std::FILE* to, int status) {
  std::fprintf(to,
               "usage: plot 'Y = formula of X' out.png [xmin xmax [width height]]\n"
               "  formats by extension: %s\n"
               "  xmin < xmax (default -10 10); width 120-32768 and height 80-32768 pixels\n"
               "  (default 800 600)\n",
               kFormats);
  return status;
}

// The argument as a number; false after saying why not.
bool ParseNumber(const char* name, const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  if (end != text && *end == 0 && std::isfinite(*value)) return true;
  std::fprintf(stderr, "plot: %s '%s' is not a finite number\n", name, text);
  return false;
}

bool ParseSize(const char* name, const char* text, int lowest, int* size) {
  double value = 0;
  if (!ParseNumber(name, text, &value)) return false;
  const char* problem = value < lowest ? "below" : value > 32768 ? "above" : nullptr;
  if (problem != nullptr) {
    std::fprintf(stderr, "plot: %s %s is %s %d\n", name, text, problem,
                 value < lowest ? lowest : 32768);
    return false;
  }
  if (value != std::floor(value)) {
    std::fprintf(stderr, "plot: %s %s is not a whole number of pixels\n", name, text);
    return false;
  }
  *size = int(value);
  return true;
}

// Why a file call failed, from the last error it left.
const char* Reason(DWORD error) {
  struct Entry {
    DWORD code;
    const char* text;
  };
  static constexpr Entry kReasons[] = {
      {2, "the file was not found"},
      {3, "the folder does not exist"},
      {5, "access denied"},
      {8, "not enough memory"},
      {19, "the file system is read-only"},
      {32, "the file is in use by another program"},
      {112, "the disk is full"},
      {123, "the name is not valid"},
      {206, "the name is too long"},
      {223, "the file is too large"},
      {1117, "an input/output error"},
      {1295, "the disk quota is exceeded"},
      {1921, "too many symbolic links"},
  };
  for (const Entry& e : kReasons) {
    if (e.code == error) return e.text;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return Usage(stdout, 0);
  if (argc != 3 && argc != 5 && argc != 7) {
    if (argc > 1) std::fprintf(stderr, "plot: expected 2, 4 or 6 arguments, not %d\n", argc - 1);
    return Usage(stderr, 2);
  }
  const char* output = argv[2];
  double xmin = -10, xmax = 10;
  int width = 800, height = 600;
  if (argc >= 5) {
    if (!ParseNumber("xmin", argv[3], &xmin) || !ParseNumber("xmax", argv[4], &xmax))
      return Usage(stderr, 2);
    if (!(xmin < xmax)) {
      std::fprintf(stderr, "plot: xmin %s is not below xmax %s\n", argv[3], argv[4]);
      return Usage(stderr, 2);
    }
  }
  if (argc == 7 && (!ParseSize("width", argv[5], 120, &width) ||
                    !ParseSize("height", argv[6], 80, &height)))
    return Usage(stderr, 2);

  std::string formula;
  int position = 0;
  DWORD code = 0;
  if (!Utf8ToLatin1(argv[1], &formula, &position, &code)) {
    std::fprintf(stderr, "plot: character %d of the formula (U+%04X) is not a Latin-1 character\n",
                 position, unsigned(code));
    return 1;
  }
  CFormulaProgram program;
  program.Reset(1, LookupX, nullptr);
  const char* error = nullptr;
  if (!program.Compile(Expression(formula.c_str()), &error)) {
    const long column = error != nullptr ? long(error - formula.c_str()) : 0;
    std::fprintf(stderr, "plot: the formula does not compile at character %ld:\n  ", column + 1);
    PrintLatin1(stderr, formula.c_str());
    std::fprintf(stderr, "\n  %*s^\n", int(column), "");
    return 1;
  }

  // Samples for the widest plot area: its left edge waits for the width of
  // the y labels, which wait for the samples.
  const int top = 20, bottom = height - 30, right = width - 16;
  std::vector<double> ys(size_t(right - 24), NAN);
  double lo = INFINITY, hi = -INFINITY;
  for (size_t i = 0; i < ys.size(); ++i) {
    double x = std::lerp(xmin, xmax, double(i) / double(ys.size() - 1));
    program.SetValues(&x, 1);
    int ok = 1;
    const double y = program.Evaluate(&ok);
    if (ok == 0 || !std::isfinite(y)) continue;
    ys[i] = y;
    lo = std::min(lo, y);
    hi = std::max(hi, y);
  }
  const bool none = !(lo <= hi);
  if (none) lo = -1, hi = 1;
  // A curve flat within the rounding of its value gets an axis around it.
  constexpr double kMax = std::numeric_limits<double>::max();
  const Axis data = Axis::Of(lo, hi);
  if (!(data.ScaledSpan() > 1e-12 * data.Scaled(std::max(std::fabs(lo), std::fabs(hi))))) {
    const double pad =
        hi == 0 ? 1 : std::max(std::fabs(hi) * 1e-3, 4 * std::numeric_limits<double>::denorm_min());
    lo = std::max(lo - pad, -kMax);
    hi = std::min(hi + pad, kMax);
  }
  // At least the smallest double: 5% of a span of a few subnormals rounds
  // to 0, which would lay the highest and lowest values on the frame.
  const double margin =
      std::max(Axis::Of(lo, hi).Part(0.05), std::numeric_limits<double>::denorm_min());
  const Axis yaxis = Axis::Of(std::max(lo - margin, -kMax), std::min(hi + margin, kMax));

  CGraphicsImage image;
  if (!image.Create(32, width, height, kBackground, nullptr)) {
    std::fprintf(stderr, "plot: no memory for a %dx%d picture\n", width, height);
    return 3;
  }
  image.SelectFont(BuiltinFont14);
  const std::vector<Tick> yticks = Ticks(yaxis, (bottom - top) / 60);
  int widest = 0;
  for (const Tick& t : yticks) widest = std::max(widest, TextWidth(image, t.text.c_str()));
  const int left = std::clamp(widest + 10, 24, width / 2);
  const Plot plot = {Axis::Of(xmin, xmax), yaxis, left, top, right, bottom};
  DrawGrid(image, plot, Ticks(plot.x, (right - left) / 90), yticks);
  DrawCurve(image, plot, ys);

  std::string title = formula;
  if (none) {
    title += " has no finite value here";
    std::fprintf(stderr, "plot: the formula has no finite value from %s to %s\n",
                 argc >= 5 ? argv[3] : "-10", argc >= 5 ? argv[4] : "10");
  }
  title = Fitted(image, title, width - 4);
  LabelAt(image, left, 3, title.c_str());

  SysSetLastError(0);
  const int saved = SaveImage(output, image, formula.c_str());
  if (saved != SAVE_IMAGE_OK) {
    std::fprintf(stderr, "plot: %s: ", output);
    PrintLatin1(stderr, GraphicsErrorText);
    const char* reason = saved == SAVE_IMAGE_FAILED ? Reason(SysGetLastError()) : nullptr;
    if (reason != nullptr) std::fprintf(stderr, ": %s", reason);
    if (saved == SAVE_IMAGE_UNKNOWN_FORMAT) std::fprintf(stderr, " (formats: %s)", kFormats);
    std::fprintf(stderr, "\n");
    return 3;
  }
  return 0;
}
