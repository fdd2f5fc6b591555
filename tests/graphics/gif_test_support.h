// Test support for the GIF writer: saving to memory, the reference pixels of
// an image, and what the independent decoders (Pillow, ImageMagick) read back
// from a file.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/formats/gif_writer.h"
#include "save_test_support.h"

namespace giftest {

// The whole file the writer produces for `images` (one image: no list).
inline std::vector<BYTE> GifBytes(CGifWriter& writer, std::vector<CGraphicsImage*> images) {
  CFileStream stream;
  EXPECT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  if (images.size() == 1) {
    writer.Write(stream, *images[0]);
  } else {
    writer.WriteSequence(stream, images.data(), DWORD(images.size()));
  }
  int fill = 0;
  const BYTE* data = static_cast<const BYTE*>(stream.GetData(&fill));
  std::vector<BYTE> bytes(data, data + fill);
  stream.Close();
  ::operator delete(const_cast<BYTE*>(data));
  return bytes;
}

inline std::vector<BYTE> GifBytes(const CGraphicsImage& image) {
  CGifWriter writer;
  return GifBytes(writer, {const_cast<CGraphicsImage*>(&image)});
}

inline std::string HexOf(const std::vector<BYTE>& bytes) {
  return savetest::Hex(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The image as a viewer shows it: RGBA bytes from the top row, palette
// entries for palette images, `transparent` with alpha 0; `width` x `height`
// from the top left, index 0 beyond the image.
inline std::vector<BYTE> ShownRgba(const CGraphicsImage& image, int width, int height,
                                   int transparent = -1) {
  std::vector<BYTE> rgba;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      DWORD index = 0;
      if (x < image.width && y < image.height) index = image.PixelGetFunc(image.Row(y), x);
      const RGBQUAD& entry = image.palette[index];
      rgba.insert(rgba.end(), {entry.rgbRed, entry.rgbGreen, entry.rgbBlue,
                               BYTE(int(index) == transparent ? 0 : 255)});
    }
  }
  return rgba;
}

// RGB of a true-colour image, from the top row.
inline std::vector<BYTE> TrueRgb(const CGraphicsImage& image) {
  std::vector<BYTE> rgb;
  for (int y = 0; y < image.height; ++y) {
    const BYTE* bgr = image.RowTo24Func(image.Row(y), &image);
    for (int x = 0; x < image.width; ++x)
      rgb.insert(rgb.end(), {bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]});
  }
  return rgb;
}

inline std::vector<BYTE> WithoutAlpha(const std::vector<BYTE>& rgba) {
  std::vector<BYTE> rgb;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
  return rgb;
}

struct DecodedFrame {
  std::string duration, disposal, transparency;
  std::string indices;  // hex, palette frames only
  std::string rgba;     // hex, Pillow
  std::string magick;   // hex RGB, ImageMagick
};

struct DecodedGif {
  int status = -1;  // 0 read, 77 a decoder is missing
  std::string format, loop, comment;
  int width = 0, height = 0, frameCount = 0;
  std::vector<DecodedFrame> frames;
  std::string errors;
};

inline DecodedFrame& FrameAt(DecodedGif& gif, size_t index) {
  if (gif.frames.size() <= index) gif.frames.resize(index + 1);
  return gif.frames[index];
}

// Runs gif_dump.py over the files; one result per file.
inline std::vector<DecodedGif> DecodeGifs(const std::vector<std::string>& paths) {
  std::string command = std::string(savetest::kPython) + " " + savetest::SourceDir() +
                        "/tests/graphics/gif_dump.py";
  for (const std::string& path : paths) command += " '" + path + "'";
  command += " 2>&1";
  std::vector<DecodedGif> gifs(paths.size());
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return gifs;
  std::string out;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  DecodedGif spare;
  DecodedGif* gif = &spare;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "file") {
      size_t index = 0;
      words >> index;
      gif = index < gifs.size() ? &gifs[index] : &spare;
    } else if (key == "format") {
      words >> gif->format;
    } else if (key == "size") {
      words >> gif->width >> gif->height;
    } else if (key == "frames") {
      words >> gif->frameCount;
    } else if (key == "loop") {
      words >> gif->loop;
    } else if (key == "comment") {
      words >> gif->comment;
      for (char& c : gif->comment) c = char(std::toupper(static_cast<unsigned char>(c)));
    } else if (key == "frame") {
      size_t index = 0;
      std::string name;
      words >> index;
      DecodedFrame& frame = FrameAt(*gif, index);
      while (words >> name) {
        std::string value;
        words >> value;
        if (name == "duration") frame.duration = value;
        if (name == "disposal") frame.disposal = value;
        if (name == "transparency") frame.transparency = value;
      }
    } else if (key == "indices" || key == "rgba" || key == "magick-rgb") {
      size_t index = 0;
      std::string hex;
      words >> index >> hex;
      DecodedFrame& frame = FrameAt(*gif, index);
      for (char& c : hex) c = char(std::toupper(static_cast<unsigned char>(c)));
      (key == "indices" ? frame.indices : key == "rgba" ? frame.rgba : frame.magick) = hex;
    } else {
      gif->errors += line + "\n";
    }
  }
  for (DecodedGif& each : gifs) each.status = code;
  if (code != 0 && !gifs.empty()) gifs[0].errors += spare.errors;
  return gifs;
}

inline DecodedGif DecodeGif(const std::string& path) {
  return DecodeGifs({path})[0];
}

// Decodes the file, skipping the test when a decoder is missing.
#define DECODE_GIF_OR_SKIP(var, path)                                      \
  giftest::DecodedGif var = giftest::DecodeGif(path);                      \
  if (var.status == 77 && std::getenv("CI") == nullptr)                    \
    GTEST_SKIP() << "GIF decoders missing";                                \
  ASSERT_EQ(var.status, 0) << var.errors;                                  \
  ASSERT_EQ(var.errors, "")

}  // namespace giftest

