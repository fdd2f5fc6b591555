// In-process peers: libpng and libjpeg read back what the writers wrote.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/formats/jpeg_lib.h"
#include "platform/types.h"

namespace savetest {

struct DecodedPng {
  bool ok = false;
  int width = 0, height = 0, bitDepth = 0, colourType = 0;
  std::vector<png_color> palette;
  std::vector<std::pair<std::string, std::string>> texts;
  std::vector<std::vector<BYTE>> rows;  // palette images: one index per byte
};

struct PngCursor {
  const std::vector<BYTE>* bytes;
  size_t at;
};

inline void ReadFromCursor(png_structp png, png_bytep out, size_t count) {
  auto* cursor = static_cast<PngCursor*>(png_get_io_ptr(png));
  if (cursor->at + count > cursor->bytes->size()) png_error(png, "truncated");
  std::memcpy(out, cursor->bytes->data() + cursor->at, count);
  cursor->at += count;
}

inline bool DecodePngInto(const std::vector<BYTE>& file, DecodedPng& out, png_structp png,
                          png_infop info) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  PngCursor cursor = {&file, 0};
  png_set_read_fn(png, &cursor, ReadFromCursor);
  png_read_info(png, info);
  out.width = int(png_get_image_width(png, info));
  out.height = int(png_get_image_height(png, info));
  out.bitDepth = png_get_bit_depth(png, info);
  out.colourType = png_get_color_type(png, info);
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(png, info, &palette, &entries) != 0)
    out.palette.assign(palette, palette + entries);
  if (out.bitDepth < 8) png_set_packing(png);
  png_read_update_info(png, info);
  out.rows.assign(size_t(out.height), std::vector<BYTE>(png_get_rowbytes(png, info)));
  std::vector<png_bytep> pointers;
  for (auto& row : out.rows) pointers.push_back(row.data());
  png_read_image(png, pointers.data());
  png_read_end(png, info);
  png_textp texts = nullptr;
  const int count = png_get_text(png, info, &texts, nullptr);
  for (int i = 0; i < count; ++i) out.texts.emplace_back(texts[i].key, texts[i].text);
  return true;
}

inline DecodedPng DecodePng(const std::vector<BYTE>& file) {
  DecodedPng out;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  out.ok = DecodePngInto(file, out, png, info);
  png_destroy_read_struct(&png, &info, nullptr);
  return out;
}

struct DecodedJpeg {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  std::vector<BYTE> pixels;  // rows from the top, RGB or grey
  std::vector<std::vector<BYTE>> comments;
};

struct JpegTestErrors {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

inline void JpegTestErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegTestErrors*>(cinfo->err)->jump, 1);
}

inline bool DecodeJpegInto(const std::vector<BYTE>& file, DecodedJpeg& out,
                           jpeg_decompress_struct& cinfo, JpegTestErrors& errors) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, const_cast<BYTE*>(file.data()), (unsigned long)file.size());
  jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_COM) out.comments.emplace_back(m->data, m->data + m->data_length);
  }
  jpeg_start_decompress(&cinfo);
  out.width = int(cinfo.output_width);
  out.height = int(cinfo.output_height);
  out.components = cinfo.output_components;
  out.pixels.resize(size_t(out.width) * out.height * out.components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.pixels.data() + size_t(cinfo.output_scanline) * out.width * out.components;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

inline DecodedJpeg DecodeJpeg(const std::vector<BYTE>& file) {
  DecodedJpeg out;
  jpeg_decompress_struct cinfo = {};
  JpegTestErrors errors = {};
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = JpegTestErrorExit;
  out.ok = DecodeJpegInto(file, out, cinfo, errors);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

}  // namespace savetest
