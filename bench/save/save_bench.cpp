// SaveImage against the libraries used directly, on a 1920x1080 32-bit
// chart-like picture (grid, three curves, labels), all files in one folder:
//   .png  against libpng with its default level and filters, no comment;
//   .jpg  against libjpeg at quality 75;
//   .bmp  against one write() of the finished file's bytes.
// Each pair must first write byte-identical files. Prints SaveImage time /
// direct time per format (the best of several alternating runs); targets:
// PNG and JPEG within 1.1, BMP within 1.2.
//
//   save_bench [--check] [folder]      (folder: $HOME, else .)
// --check compares the outputs once and times nothing. The files go into a
// new folder inside `folder`, by default where a user's pictures go, since a
// safe save costs most on a disk (ext4 starts writing a file that replaces
// another at once); the output names the folder and its file system. A
// last line shows how much of the BMP time is the replacement of the old
// file (a new temporary file renamed over it) rather than the writing.
#include <fcntl.h>
#include <png.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "graphics/fonts/builtin_fonts.h"
#include "graphics/formats/jpeg_lib.h"
#include "graphics/graphics.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Chart(CGraphicsImage& image) {
  image.Create(32, kWidth, kHeight, 0xFFFFFF, nullptr);
  for (int x = 80; x < kWidth - 20; x += 90)
    image.DrawLine(x, 20, x, kHeight - 40, 0xE0E0E0, PixelWriterPlain, true);
  for (int y = 20; y < kHeight - 40; y += 60)
    image.DrawLine(80, y, kWidth - 20, y, 0xE0E0E0, PixelWriterPlain, true);
  image.DrawRectOutline(80, 20, kWidth - 100, kHeight - 60, 0x404040);
  const DWORD colours[3] = {0x1F5FBF, 0xBF3F1F, 0x2F9F3F};
  for (int c = 0; c < 3; ++c) {
    int lastY = 0;
    for (int x = 80; x < kWidth - 20; ++x) {
      const double t = (x - 80) / 200.0;
      const int y =
          int(kHeight / 2 + (200 + 80 * c) * std::sin(t * (1 + 0.4 * c)) * std::cos(t / (3 + c)));
      if (x > 80) image.DrawSmoothLine(x - 1, lastY, x, y, colours[c], true);
      lastY = y;
    }
  }
  image.SelectFont(BuiltinFont14);
  image.SetTextWriter(PixelWriterPlain, 0x202020, 0);
  char label[32];
  for (int x = 80, i = -10; x < kWidth - 20; x += 90, ++i) {
    std::snprintf(label, sizeof label, "%d", i);
    image.DrawText(x - 6, kHeight - 34, label);
  }
  for (int y = 20, i = 9; y < kHeight - 40; y += 60, --i) {
    std::snprintf(label, sizeof label, "%.1f", i * 0.5);
    image.DrawText(30, y - 7, label);
  }
}

// libpng directly: RGB, its default compression and filters, the fourth
// byte of each pixel stripped by the library itself.
void DirectPng(const std::string& path, const CGraphicsImage& image) {
  FILE* out = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::exit(4);
  png_init_io(png, out);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < kHeight; ++y) png_write_row(png, image.Row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(out);
}

// libjpeg directly: quality 75 from the pixels as they lie.
void DirectJpeg(const std::string& path, const CGraphicsImage& image) {
  FILE* out = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, out);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 75, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = image.Row(int(cinfo.next_scanline));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(out);
}

// The kind of file system holding `path`, by its magic number.
std::string FileSystemName(const std::string& path) {
  struct statfs info = {};
  if (::statfs(path.c_str(), &info) != 0) return "file system unknown";
  static constexpr struct {
    unsigned long magic;
    const char* name;
  } kNames[] = {{0xEF53, "ext2/3/4"},    {0x01021994, "tmpfs"},     {0x58465342, "xfs"},
                {0x9123683E, "btrfs"},   {0x794C7630, "overlayfs"}, {0x2FC12FC1, "zfs"},
                {0x6969, "nfs"},         {0xFF534D42, "cifs"},      {0x65735546, "fuse"},
                {0x5346544E, "ntfs"},    {0x4D44, "fat"}};
  for (const auto& n : kNames) {
    if (n.magic == static_cast<unsigned long>(info.f_type)) return n.name;
  }
  char text[40];
  std::snprintf(text, sizeof text, "file system 0x%lX", static_cast<unsigned long>(info.f_type));
  return text;
}

// The finished BMP file's bytes in one write.
void DirectBmp(const std::string& path, const std::vector<char>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::exit(5);
  ::close(fd);
}

void Saved(const std::string& path, const CGraphicsImage& image) {
  if (SaveImage(path.c_str(), image, nullptr) != 0) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), GraphicsErrorText);
    std::exit(3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const BenchArgs args(argc, argv,
                       "usage: save_bench [--check] [folder]\n"
                       "  SaveImage against libpng, libjpeg and one write(), in a new folder\n"
                       "  inside `folder` (default $HOME, else .)\n"
                       "  --check  compare the outputs once, time nothing\n",
                       {"--check"}, 1);
  const bool check = args.Has("--check");
  const char* home = std::getenv("HOME");
  std::string folder =
      std::string(args.Plain(0, home != nullptr && *home != 0 ? home : ".")) + "/save_bench.XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) {
    std::perror(folder.c_str());
    return 2;
  }
  std::printf("files in %s (%s)\n", folder.c_str(), FileSystemName(folder).c_str());
  CGraphicsImage image;
  Chart(image);

  struct Pair {
    const char* name;
    double target;
    std::string ours, theirs;
  } pairs[] = {{"png", 1.1, folder + "/ours.png", folder + "/direct.png"},
               {"jpg", 1.1, folder + "/ours.jpg", folder + "/direct.jpg"},
               {"bmp", 1.2, folder + "/ours.bmp", folder + "/direct.bmp"}};
  // The BMP peer writes what SaveImage wrote, once it is known to be right.
  Saved(pairs[2].ours, image);
  const std::vector<char> bmpBytes = ReadAll(pairs[2].ours);
  auto direct = [&](int i) {
    if (i == 0) DirectPng(pairs[0].theirs, image);
    if (i == 1) DirectJpeg(pairs[1].theirs, image);
    if (i == 2) DirectBmp(pairs[2].theirs, bmpBytes);
  };
  bool same = true;
  for (int i = 0; i < 3; ++i) {
    Saved(pairs[i].ours, image);
    direct(i);
    if (ReadAll(pairs[i].ours) != ReadAll(pairs[i].theirs)) {
      std::printf("%s: SaveImage and the direct write differ\n", pairs[i].name);
      same = false;
    }
  }
  // The BMP bytes checked independently of SaveImage: header and one pixel.
  if (bmpBytes.size() != 54 + size_t(kWidth) * 3 * kHeight || bmpBytes[0] != 'B' ||
      bmpBytes[28] != 24) {
    std::printf("bmp: unexpected file\n");
    same = false;
  }
  if (!same) return 1;
  if (check) {
    std::printf("save_bench: all pairs byte-identical\n");
    std::filesystem::remove_all(folder);
    return 0;
  }
  bool met = true;
  for (int i = 0; i < 3; ++i) {
    const int rounds = i == 2 ? 21 : 7;
    double best[2] = {1e9, 1e9};
    for (int r = 0; r < rounds; ++r) {
      for (int side = 0; side < 2; ++side) {
        const bool oursFirst = r % 2 == 0;
        const bool ours = (side == 0) == oursFirst;
        const auto start = std::chrono::steady_clock::now();
        if (ours)
          Saved(pairs[i].ours, image);
        else
          direct(i);
        const double t = Seconds(start);
        best[ours ? 0 : 1] = std::min(best[ours ? 0 : 1], t);
      }
    }
    const double ratio = best[0] / best[1];
    met = met && ratio <= pairs[i].target;
    std::printf("%s: SaveImage %.2f ms, direct %.2f ms, ratio %.3f (target %.1f)\n", pairs[i].name,
                best[0] * 1e3, best[1] * 1e3, ratio, pairs[i].target);
  }
  // What the replacement costs: the BMP writer into a stream over the target
  // itself, against the same one write.
  double inPlace = 1e9, plain = 1e9;
  for (int r = 0; r < 21; ++r) {
    auto start = std::chrono::steady_clock::now();
    CFileStream stream(32768);
    if (!stream.Open(pairs[2].ours.c_str(), STREAM_MODE_CREATE)) return 3;
    CBmpWriter writer;
    writer.Write(stream, image);
    if (!stream.Close()) return 3;
    inPlace = std::min(inPlace, Seconds(start));
    start = std::chrono::steady_clock::now();
    direct(2);
    plain = std::min(plain, Seconds(start));
  }
  std::printf("bmp written in place (no temporary file): %.2f ms, direct %.2f ms, ratio %.3f\n",
              inPlace * 1e3, plain * 1e3, inPlace / plain);
  std::filesystem::remove_all(folder);
  std::printf(met ? "all targets met\n" : "a target was missed\n");
  return 0;
}
