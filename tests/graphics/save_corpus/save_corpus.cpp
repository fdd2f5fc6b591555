// Writes the picture set that save_check.py hands to independent decoders:
// every depth at awkward widths as BMP, PNG, JPEG, PNM, XWD and EPS through
// SaveImage, each with the pixels it must decode to as raw RGBA, listed in
// manifest.txt.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "../test_images.h"
#include "graphics/globals.h"
#include "graphics/save.h"

namespace {

const char kComment[] = "Zelvaro Testbild \344\366\374";

bool WriteReference(const std::string& path, const CGraphicsImage& image, bool alpha) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::vector<BYTE> rgba(size_t(image.width) * 4);
  for (int y = 0; y < image.height; ++y) {
    const BYTE* bgr = image.RowTo24Func(image.Row(y), &image);
    for (int x = 0; x < image.width; ++x) {
      rgba[4 * x] = bgr[3 * x + 2];
      rgba[4 * x + 1] = bgr[3 * x + 1];
      rgba[4 * x + 2] = bgr[3 * x];
      rgba[4 * x + 3] = alpha ? image.Row(y)[4 * x + 3] : 255;
    }
    std::fwrite(rgba.data(), 1, rgba.size(), out);
  }
  return std::fclose(out) == 0;
}

// A smooth picture for the lossy format: gradients over a soft disc.
void Smooth(CGraphicsImage& image, int bpp, int width, int height) {
  image.Create(bpp, width, height, 0, nullptr);
  const int levels = bpp <= 8 ? 1 << bpp : 0;
  for (int i = 0; i < levels; ++i) {
    const DWORD g = DWORD(i * 255 / (levels - 1));
    image.SetPaletteEntry(i, g << 16 | g << 8 | g);
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double fx = double(x) / width, fy = double(y) / height;
      const double d = 1.0 - 4.0 * ((fx - 0.5) * (fx - 0.5) + (fy - 0.5) * (fy - 0.5));
      const double disc = d > 0 ? d : 0;
      const DWORD value = levels != 0
                              ? DWORD(std::lround((0.6 * fx + 0.4 * disc) * (levels - 1)))
                              : DWORD(255 * fx) << 16 | DWORD(255 * fy) << 8 | DWORD(255 * disc);
      image.PixelSetFunc(image.Row(y), x, value);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: save_corpus <folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::FILE* manifest = std::fopen((folder + "/manifest.txt").c_str(), "w");
  if (manifest == nullptr) return 1;
  int failures = 0;
  // name format width height reference mode comment(0/1)
  auto save = [&](const std::string& stem, const char* ext, const CGraphicsImage& image, int option,
                  bool alpha, const char* mode) {
    const std::string name = stem + ext;
    SetGraphicsSaveOption(option);
    // Of these formats only PNG and JPEG keep a comment.
    const bool comment = std::string(ext) == ".png" || std::string(ext) == ".jpg";
    if (SaveImage((folder + "/" + name).c_str(), image, comment ? kComment : nullptr) != 0) {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), GraphicsErrorText);
      ++failures;
      return;
    }
    const std::string reference = name + ".rgba";
    if (!WriteReference(folder + "/" + reference, image, alpha)) ++failures;
    std::fprintf(manifest, "%s %s %d %d %s %s %d\n", name.c_str(), ext + 1, image.width,
                 image.height, reference.c_str(), mode, comment ? 1 : 0);
  };
  std::mt19937 rng(2026);
  for (int bpp : kAllFormats) {
    for (int width : {1, 3, 5, 7, 33}) {
      const std::string stem = "d" + std::to_string(bpp) + "w" + std::to_string(width);
      CGraphicsImage image;
      image.Create(bpp, width, 6, IMAGE_NO_FILL, nullptr);
      Randomise(image, rng);
      if (bpp != 2) save(stem, ".bmp", image, -2, false, "exact");
      save(stem, ".png", image, -2, false, "exact");
      // The bit formats show index 1 as white or black whatever the palette:
      // black and white entries, in both orders.
      CGraphicsImage mono;
      if (bpp == 1) {
        mono.Copy(image);
        mono.SetPaletteEntry(width % 2, 0x000000);
        mono.SetPaletteEntry(1 - width % 2, 0xFFFFFF);
      }
      const CGraphicsImage& uncompressed = bpp == 1 ? mono : image;
      save(stem, ".pnm", uncompressed, -2, false, "exact");
      save(stem, ".xwd", image, -2, false, "exact");
      save(stem, ".eps", uncompressed, -2, false, "render");
      if (bpp == 8) {
        CGraphicsImage grey;
        grey.Copy(image);
        for (int i = 0; i < 256; ++i) grey.SetPaletteEntry(i, DWORD(i) * 0x010101);
        save(stem + "g", ".eps", grey, -2, false, "render");
      }
      if (bpp == 32) {
        save(stem + "a", ".png", image, 0, true, "exact");
        save(stem + "x", ".bmp", image, 0, false, "exact");
      }
      CGraphicsImage smooth;
      Smooth(smooth, bpp, 56 + 8 * width, 48);
      save(stem + "s", ".jpg", smooth, -2, false, "psnr");
    }
  }
  SetGraphicsSaveOption(-2);
  std::fclose(manifest);
  return failures == 0 ? 0 : 1;
}
