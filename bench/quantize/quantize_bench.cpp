// Quantize and the GIF save that calls it, beside ImageMagick
// (`convert in.ppm +dither -colors 256 out.gif`, a whole program run) and
// Pillow's median cut (open, quantize(256, MEDIANCUT), save, timed inside
// Python), on four 24-bit pictures:
//   plasma  1920x1080 plasma:fractal, about a million colours;
//   photo   the rose: photograph scaled to 1920x1080;
//   chart   a 1920x1080 chart of 40 colours;
//   hald    hald:8, 512x512, every one of 262,144 colours once.
// Prints the best of several alternating runs: our Quantize, our GIF save,
// the peers' times, our save time / ImageMagick's, and each GIF's mean error
// per channel against the source as ImageMagick decodes it, so a speed
// change cannot hide a quality change. Targets: plasma quantised in under
// 1 s; the GIF save at most 1.5 times ImageMagick's time on every picture.
//
//   quantize_bench [--check] [--reference] [--runs n] [folder]
// --check: small pictures, one run, fails unless our GIFs decode to the
// quantised colours. --reference: also quantises each picture with the old
// list-walking quantiser and says whether the results are identical (the
// plasma picture takes minutes).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "graphics/graphics.h"
#include "quantize_reference.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// The RGB bytes of any picture ImageMagick reads, row by row from the top.
bool ReadRgb(const std::string& path, int* w, int* h, std::vector<BYTE>* rgb) {
  const std::string command =
      "/usr/bin/convert " + Quote(path) + " -strip -type TrueColor -depth 8 ppm:- 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return false;
  int max = 0;
  bool ok = std::fscanf(p, "P6 %d %d %d", w, h, &max) == 3 && max == 255 && std::fgetc(p) != EOF;
  if (ok) {
    rgb->resize(size_t(*w) * size_t(*h) * 3);
    ok = std::fread(rgb->data(), 1, rgb->size(), p) == rgb->size();
  }
  return pclose(p) == 0 && ok;
}

void WritePpm(const std::string& path, int w, int h, const std::vector<BYTE>& rgb) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << w << " " << h << "\n255\n";
  out.write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
}

void ToImage(int w, int h, const std::vector<BYTE>& rgb, CGraphicsImage& image) {
  image.Create(24, w, h, 0, nullptr);
  for (int y = 0; y < h; ++y) {
    BYTE* row = image.Row(y);
    const BYTE* s = rgb.data() + size_t(y) * size_t(w) * 3;
    for (int x = 0; x < w; ++x, s += 3, row += 3) {
      row[0] = s[2];
      row[1] = s[1];
      row[2] = s[0];
    }
  }
}

// A line chart with a frame, a grid and 37 curves, each drawn in a colour of
// its own without smoothing: 40 colours in all.
std::vector<BYTE> Chart(int w, int h) {
  CGraphicsImage image;
  image.Create(24, w, h, 0xFFFFFF, nullptr);
  for (int x = w / 24; x < w; x += w / 24) image.DrawLine(x, 0, x, h - 1, 0xD8D8D8, PixelWriterPlain, true);
  for (int y = h / 18; y < h; y += h / 18) image.DrawLine(0, y, w - 1, y, 0xD8D8D8, PixelWriterPlain, true);
  image.DrawRectOutline(0, 0, w, h, 0x202020);
  for (int c = 0; c < 37; ++c) {
    const DWORD colour = DWORD(40 + c * 5) << 16 | DWORD((c * 67) % 200) << 8 | DWORD(220 - c * 4);
    for (int x = 1, lastY = 0; x < w - 1; ++x) {
      const double t = x * 12.0 / w;
      const int y = int(h / 2 + h * (0.1 + c * 0.009) * std::sin(t * (1 + 0.07 * c) + c));
      if (x > 1) image.DrawLine(x - 1, lastY, x, y, colour, PixelWriterPlain, true);
      lastY = y;
    }
  }
  std::vector<BYTE> rgb(size_t(w) * size_t(h) * 3);
  for (int y = 0; y < h; ++y) {
    const BYTE* row = image.Row(y);
    BYTE* d = rgb.data() + size_t(y) * size_t(w) * 3;
    for (int x = 0; x < w; ++x, row += 3, d += 3) {
      d[0] = row[2];
      d[1] = row[1];
      d[2] = row[0];
    }
  }
  return rgb;
}

size_t CountColours(const std::vector<BYTE>& rgb) {
  std::vector<bool> seen(size_t{1} << 24);
  size_t n = 0;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    const size_t c = size_t{rgb[i]} << 16 | size_t{rgb[i + 1]} << 8 | rgb[i + 2];
    if (!seen[c]) {
      seen[c] = true;
      ++n;
    }
  }
  return n;
}

// Mean absolute difference per channel; -1 when the sizes differ.
double MeanError(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
  if (a.size() != b.size() || a.empty()) return -1;
  uint64_t sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += uint64_t(std::abs(int(a[i]) - int(b[i])));
  return double(sum) / double(a.size());
}

struct Picture {
  std::string name;
  std::string make;  // ImageMagick arguments; empty: the chart
  int w, h;
};

constexpr const char* kPillow = R"(
import sys, time
from PIL import Image
src, out, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
best = 1e9
for _ in range(runs):
    t = time.perf_counter()
    im = Image.open(src)
    im.load()
    im.quantize(256, method=Image.Quantize.MEDIANCUT).save(out)
    best = min(best, time.perf_counter() - t)
print(best)
)";

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv,
                       "usage: quantize_bench [--check] [--reference] [--runs n] [folder]\n"
                       "  Quantize and the GIF save beside ImageMagick and Pillow; scratch files\n"
                       "  in a new folder inside `folder` (/dev/shm where it exists, else .)\n"
                       "  --check      small pictures, one run, our GIFs must decode right\n"
                       "  --reference  also compare with the old list-walking quantiser\n"
                       "  --runs n     the best of n runs (default 3)\n",
                       {"--check", "--reference", "--runs="}, 1);
  const bool check = args.Has("--check"), reference = args.Has("--reference");
  const char* runsText = args.Value("--runs=", "3");
  char* end = nullptr;
  const long runsValue = std::strtol(runsText, &end, 10);
  if (*runsText == 0 || *end != 0 || runsValue < 1 || runsValue > 1000) {
    args.Refuse(std::string("--runs '") + runsText + "' is no count from 1 to 1000");
  }
  int runs = int(runsValue);
  const std::string base =
      args.Plain(0, std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : ".");
  if (!Run("test -x /usr/bin/convert")) {
    std::printf("ImageMagick missing\n");
    return 77;
  }
  if (check) runs = 1;
  std::string tmpl = base + "/quantize_bench.XXXXXX";
  if (!mkdtemp(tmpl.data())) {
    std::perror(tmpl.c_str());
    return 2;
  }
  const std::string dir = tmpl;
  const bool pillow = Run("/usr/bin/python3 -c 'import PIL'");
  std::ofstream(dir + "/pillow.py") << kPillow;

  const int w = check ? 192 : 1920, h = check ? 108 : 1080;
  const std::string size = std::to_string(w) + "x" + std::to_string(h);
  const std::vector<Picture> pictures = {
      {"plasma", "-seed 1 -size " + size + " plasma:fractal", w, h},
      {"photo", "rose: -resize " + size + "!", w, h},
      {"chart", "", w, h},
      {"hald", check ? "hald:4" : "hald:8", 0, 0}};

  std::printf("%-7s %9s %7s | %9s %9s %9s %9s | %6s | %7s %7s %7s\n", "picture", "size", "colours",
              "Quantize", "our GIF", "convert", "Pillow", "ratio", "err us", "err IM", "err PIL");
  int failures = 0;
  for (const Picture& pic : pictures) {
    const std::string src = dir + "/" + pic.name + ".ppm";
    int pw = pic.w, ph = pic.h;
    std::vector<BYTE> rgb;
    if (pic.make.empty()) {
      rgb = Chart(pw, ph);
      WritePpm(src, pw, ph, rgb);
    } else if (!Run("/usr/bin/convert " + pic.make + " -strip -type TrueColor -depth 8 " + Quote(src)) ||
               !ReadRgb(src, &pw, &ph, &rgb)) {
      std::printf("%-7s could not be made\n", pic.name.c_str());
      ++failures;
      continue;
    }
    CGraphicsImage image;
    ToImage(pw, ph, rgb, image);

    const std::string ours = dir + "/" + pic.name + "-ours.gif";
    const std::string magick = dir + "/" + pic.name + "-im.gif";
    const std::string pil = dir + "/" + pic.name + "-pil.gif";
    double tQuant = 1e9, tGif = 1e9, tMagick = 1e9, tPil = -1;
    CGraphicsImage quantised;
    for (int r = 0; r < runs; ++r) {  // alternating, so load on the machine falls on all alike
      auto t0 = std::chrono::steady_clock::now();
      if (!quantised.Quantize(image)) ++failures;
      tQuant = std::min(tQuant, Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      if (SaveImage(ours.c_str(), image, nullptr) != 0) ++failures;
      tGif = std::min(tGif, Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      if (!Run("/usr/bin/convert " + Quote(src) + " +dither -colors 256 " + Quote(magick))) ++failures;
      tMagick = std::min(tMagick, Seconds(t0));
    }
    if (pillow) {
      const std::string command = "/usr/bin/python3 " + Quote(dir + "/pillow.py") + " " + Quote(src) + " " +
                                  Quote(pil) + " " + std::to_string(runs);
      if (FILE* p = popen(command.c_str(), "r")) {
        if (std::fscanf(p, "%lf", &tPil) != 1) tPil = -1;
        pclose(p);
      }
    }

    // Every GIF as ImageMagick decodes it; ours must show the quantised colours.
    std::vector<BYTE> expected(rgb.size());
    for (int y = 0; y < ph; ++y) {
      for (int x = 0; x < pw; ++x) {
        const RGBQUAD& q = quantised.palette[quantised.Row(y)[x]];
        BYTE* d = expected.data() + (size_t(y) * size_t(pw) + size_t(x)) * 3;
        d[0] = q.rgbRed;
        d[1] = q.rgbGreen;
        d[2] = q.rgbBlue;
      }
    }
    auto errorOf = [&](const std::string& gif) {
      int gw = 0, gh = 0;
      std::vector<BYTE> decoded;
      return ReadRgb(gif, &gw, &gh, &decoded) ? MeanError(decoded, rgb) : -1.0;
    };
    int gw = 0, gh = 0;
    std::vector<BYTE> decoded;
    if (!ReadRgb(ours, &gw, &gh, &decoded) || decoded != expected) {
      std::printf("%-7s our GIF does not show the quantised picture\n", pic.name.c_str());
      ++failures;
    }
    const double errUs = MeanError(decoded, rgb), errIm = errorOf(magick);
    const double errPil = pillow ? errorOf(pil) : -1;
    std::printf("%-7s %9s %7zu | %8.3fs %8.3fs %8.3fs %8.3fs | %6.2f | %7.3f %7.3f %7.3f\n",
                pic.name.c_str(), (std::to_string(pw) + "x" + std::to_string(ph)).c_str(),
                CountColours(rgb), tQuant, tGif, tMagick, tPil, tGif / tMagick, errUs, errIm, errPil);
    if (!check && pic.name == "plasma" && tQuant >= 1.0) std::printf("  plasma target missed: Quantize %.3f s\n", tQuant);
    if (!check && tGif > 1.5 * tMagick) std::printf("  ratio target missed\n");

    if (reference) {
      CGraphicsImage old;
      const auto t0 = std::chrono::steady_clock::now();
      const bool ok = quantref::Quantize(old, image);
      const bool same = ok && std::equal(old.bottomRow, old.bottomRow + old.imageBytes, quantised.bottomRow) &&
                        std::equal(old.palette, old.palette + 256, quantised.palette,
                                   [](const RGBQUAD& a, const RGBQUAD& b) {
                                     return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen &&
                                            a.rgbBlue == b.rgbBlue && a.rgbReserved == b.rgbReserved;
                                   });
      std::printf("  old quantiser: %.1f s, %s\n", Seconds(t0), same ? "identical" : "DIFFERENT");
      if (!same) ++failures;
    }
  }
  std::filesystem::remove_all(dir);
  return failures ? 1 : 0;
}
