// Builds a small image of any depth from the input and writes it with the
// BMP, PNG, JPEG or GIF writer into a memory stream: no input may fault, BMP
// sizes must add up, PNG must read back to the same pixels through libpng,
// JPEG must read back at its size through libjpeg, and GIF (one image or an
// animation) must read back to the colours of its palette, or of its
// quantised copy, through a reader of its own.
//
// Input: depth, width, height, switches, comment length, comment, then the
// bytes poured over the pixels and palette. Switches: writer (0 BMP, 1 PNG,
// 2 JPEG by the value modulo 3, GIF when the low two bits are both set), then
// per writer an option, a depth or sequence bit, a comment bit and three
// more bits.
#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gif_check.h"
#include "graphics/formats/bmp_writer.h"
#include "graphics/formats/gif_writer.h"
#include "graphics/formats/jpeg_lib.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/png_writer.h"

namespace {

constexpr int kDepths[] = {1, 2, 4, 8, 12, 15, 16, 24, 32};

struct Cursor {
  const BYTE* data;
  size_t size, at;
};

void ReadPng(png_structp png, png_bytep out, size_t count) {
  auto* c = static_cast<Cursor*>(png_get_io_ptr(png));
  if (c->at + count > c->size) png_error(png, "truncated");
  std::memcpy(out, c->data + c->at, count);
  c->at += count;
}

// The decoded rows (palette indices one per byte, or RGB / RGBA).
bool DecodePng(Cursor& cursor, png_structp png, png_infop info,
               std::vector<std::vector<BYTE>>& rows) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_read_fn(png, &cursor, ReadPng);
  png_read_info(png, info);
  png_set_packing(png);
  png_read_update_info(png, info);
  rows.assign(png_get_image_height(png, info), std::vector<BYTE>(png_get_rowbytes(png, info)));
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  png_read_image(png, pointers.data());
  png_read_end(png, info);
  return true;
}

void CheckPng(const BYTE* data, size_t size, const CGraphicsImage& image, bool alpha) {
  Cursor cursor = {data, size, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<std::vector<BYTE>> rows;
  const bool ok = DecodePng(cursor, png, info, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok || int(rows.size()) != image.height) std::abort();
  for (int y = 0; y < image.height; ++y) {
    const BYTE* row = image.Row(y);
    if (image.bpp <= 8) {
      for (int x = 0; x < image.width; ++x)
        if (rows[size_t(y)][size_t(x)] != image.PixelGetFunc(row, x)) std::abort();
      continue;
    }
    const BYTE* bgr = image.RowTo24Func(row, &image);
    const int step = alpha ? 4 : 3;
    for (int x = 0; x < image.width; ++x) {
      const BYTE* got = rows[size_t(y)].data() + x * step;
      if (got[0] != bgr[3 * x + 2] || got[1] != bgr[3 * x + 1] || got[2] != bgr[3 * x])
        std::abort();
      if (alpha && got[3] != row[4 * x + 3]) std::abort();
    }
  }
}

struct JpegErrors {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

bool DecodeJpeg(const BYTE* data, size_t size, jpeg_decompress_struct& cinfo, JpegErrors& errors,
                int* width, int* height) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, const_cast<BYTE*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  std::vector<BYTE> row(size_t(cinfo.output_width) * size_t(cinfo.output_components));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW p = row.data();
    jpeg_read_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_decompress(&cinfo);
  *width = int(cinfo.output_width);
  *height = int(cinfo.output_height);
  return true;
}

void CheckJpeg(const BYTE* data, size_t size, const CGraphicsImage& image) {
  jpeg_decompress_struct cinfo = {};
  JpegErrors errors = {};
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = [](j_common_ptr c) {
    longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1);
  };
  int width = 0, height = 0;
  const bool ok = DecodeJpeg(data, size, cinfo, errors, &width, &height);
  jpeg_destroy_decompress(&cinfo);
  if (!ok || width != image.width || height != image.height) std::abort();
}

// The colours a viewer shows for `image` on a width x height screen: palette
// entries of the image, or of its quantised copy; index 0 beyond its edge.
std::vector<BYTE> ShownRgb(const CGraphicsImage& image, int width, int height) {
  CGraphicsImage quantised;
  const CGraphicsImage* shown = &image;
  if (image.bpp > 8) {
    if (!quantised.Quantize(image)) std::abort();
    shown = &quantised;
  }
  std::vector<BYTE> rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const DWORD index = x < shown->width && y < shown->height
                              ? shown->PixelGetFunc(shown->Row(y), x)
                              : 0;
      const RGBQUAD& entry = shown->palette[index];
      rgb.insert(rgb.end(), {entry.rgbRed, entry.rgbGreen, entry.rgbBlue});
    }
  }
  return rgb;
}

void CheckGif(const BYTE* data, size_t size, const std::vector<CGraphicsImage*>& frames,
              DWORD transparent, const char* comment) {
  gifcheck::File file;
  if (!gifcheck::Reader(data, size).Read(file)) std::abort();
  const CGraphicsImage& first = *frames[0];
  if (file.width != first.width || file.height != first.height) std::abort();
  if (file.frames.size() != frames.size()) std::abort();
  if ((file.loops >= 0) != (frames.size() > 1)) std::abort();
  std::vector<BYTE> ascii;
  for (const char* c = comment; c != nullptr && *c != 0 && ascii.size() < 239; ++c)
    if ((BYTE(*c) & 0x80) == 0) ascii.push_back(BYTE(*c));
  if (file.comment != ascii) std::abort();
  for (size_t i = 0; i < frames.size(); ++i) {
    const gifcheck::Frame& frame = file.frames[i];
    if (frame.control != (transparent < 256 || frames.size() > 1)) std::abort();
    if (frame.control && ((frame.controlFlags & 1) != 0) != (transparent < 256)) std::abort();
    if (frame.control && transparent < 256 && frame.transparent != transparent) std::abort();
    if (frame.rgb != ShownRgb(*frames[i], first.width, first.height)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int bpp = kDepths[data[0] % 9];
  const int width = 1 + data[1] % 64, height = 1 + data[2] % 16;
  const BYTE switches = data[3];
  size_t at = 5;
  const size_t commentLength = std::min<size_t>(data[4], size - at);
  std::vector<char> comment(data + at, data + at + commentLength);
  comment.push_back(0);
  at += commentLength;

  CGraphicsImage image;
  if (!image.Create(bpp, width, height, 0, nullptr)) std::abort();
  const size_t rest = size - at;
  if (rest > 0) {
    for (uint64_t i = 0; i < image.imageBytes; ++i) image.bottomRow[i] = data[at + i % rest];
    for (int i = 0; i < 256; ++i)
      image.SetPaletteEntry(i, DWORD(data[at + size_t(i) % rest]) * 0x01030507u);
  }

  CFileStream stream;
  if (!stream.OpenMemory(nullptr, 0, 2)) return 0;
  const int writer = switches % 4 == 3 ? 3 : switches % 3;
  const bool option = (switches & 4) != 0;
  try {
    if (writer == 0) {
      CBmpWriter bmp;
      bmp.SetFlags(switches >> 5, BMP_FLAG_USED_PALETTE);
      if ((switches & 8) != 0) bmp.SetBitCount(32);
      bmp.WriteEx(stream, image, option ? 1 : 0);
    } else if (writer == 1) {
      CPngWriter png;
      if ((switches & 16) != 0) png.comment.SetText(comment.data());
      png.WriteEx(stream, image, option ? 1 : 0);
    } else if (writer == 3) {
      CGifWriter gif;
      gif.transparentIndex = option ? DWORD(switches >> 5) * 37 : 256;
      if ((switches & 16) != 0) gif.comment.SetText(comment.data());
      // Large enough to fill the code table several times: the input's
      // bytes, mixed with noise when asked. Palette images only, as true
      // colour reaches the coder as a quantised palette image anyway.
      CGraphicsImage large;
      CGraphicsImage* main = &image;
      if ((switches & 32) != 0 && bpp <= 8) {
        if (!large.Create(bpp, width * 4, height * 8, 0, nullptr)) std::abort();
        uint32_t noise = data[1] * 0x9E3779B9u + 1;
        const bool noisy = (switches & 64) != 0;
        for (uint64_t i = 0; rest > 0 && i < large.imageBytes; ++i) {
          noise = noise * 1664525u + 1013904223u;
          large.bottomRow[i] = BYTE(data[at + i % rest] ^ (noisy ? noise >> 24 : 0));
        }
        for (int i = 0; i < 256; ++i) large.palette[i] = image.palette[i];
        main = &large;
      }
      // An animation: this image, one of another depth and size, this again.
      CGraphicsImage other;
      std::vector<CGraphicsImage*> frames = {main};
      if ((switches & 8) != 0) {
        const int otherBpp = kDepths[(data[0] / 9 + 1 + (switches >> 5)) % 9];
        if (!other.Create(otherBpp, 1 + data[2] % 64, 1 + data[1] % 16, 0, nullptr)) std::abort();
        for (uint64_t i = 0; rest > 0 && i < other.imageBytes; ++i)
          other.bottomRow[i] = data[at + (i * 7 + 3) % rest];
        for (int i = 0; rest > 0 && i < 256; ++i)
          other.SetPaletteEntry(i, DWORD(data[at + size_t(i * 3) % rest]) * 0x00050301u);
        frames = {main, &other, main};
        gif.WriteSequence(stream, frames.data(), 3);
      } else {
        gif.Write(stream, *main);
      }
      int fill = 0;
      const BYTE* out = static_cast<const BYTE*>(stream.GetData(&fill));
      CheckGif(out, size_t(fill), frames, gif.transparentIndex, gif.comment.text);
      stream.Close();
      ::operator delete(const_cast<BYTE*>(out));
      return 0;
    } else {
      CJpegWriter jpeg;
      jpeg.SetGreyscale((switches & 8) != 0);
      jpeg.SetQuality(switches);
      if ((switches & 16) != 0) jpeg.comment.SetText(comment.data());
      jpeg.Write(stream, image);
    }
  } catch (const EGraphicsException&) {
    // Only a 2-bit BMP is refused.
    if (!(writer == 0 && bpp == 2)) std::abort();
    void* block = stream.GetData();
    stream.Close();
    ::operator delete(block);
    return 0;
  }
  int fill = 0;
  const BYTE* out = static_cast<const BYTE*>(stream.GetData(&fill));
  if (writer == 0) {
    if (fill < 54 || out[0] != 'B' || out[1] != 'M') std::abort();
    uint32_t fileSize;
    std::memcpy(&fileSize, out + 2, 4);
    if (fileSize != uint32_t(fill)) std::abort();
  } else if (writer == 1) {
    CheckPng(out, size_t(fill), image, bpp == 32 && option);
  } else {
    CheckJpeg(out, size_t(fill), image);
  }
  stream.Close();
  ::operator delete(const_cast<BYTE*>(out));
  return 0;
}
