#include "graphics/formats/png_writer.h"

#include <png.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EGraphicsException>(GraphicsMessage::CreateFile);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<EGraphicsException>(GraphicsMessage::WriteFailed);
}

// One write in progress. libpng calls back through C frames, which no C++
// exception may cross: the callbacks leave the failure in `pending` and jump
// back to RunPng, and WriteEx throws it once the library is out of the way.
struct PngJob {
  CPngWriter* writer;
  const CGraphicsImage* image;
  bool withAlpha;
  BYTE* rowCopy;  // width-aligned copy for rows with unused tail bits
  png_structp png;
  png_infop info;
  EGraphicsException pending;
};

void PngOutput(png_structp png, png_bytep data, size_t length) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  while (length > 0) {
    const int chunk = int(std::min<size_t>(length, INT_MAX));
    if (job->writer->stream->Write(data, chunk) != chunk) {
      job->pending = EGraphicsException(GraphicsMessage::WriteFailed);
      png_longjmp(png, 1);
    }
    data += chunk;
    length -= size_t(chunk);
  }
}

// The stream is flushed by the save helper.
void PngFlush(png_structp) {}

void PngError(png_structp png, png_const_charp message) {
  auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
  job->pending = EGraphicsException(message, 0);
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Drives libpng; false after a library failure, with job.pending set. Owns
// nothing with a destructor, so the jump back skips no clean-up. The
// progress step throws from here, between library calls.
bool RunPng(PngJob& job) {
  if (setjmp(png_jmpbuf(job.png)) != 0) return false;
  const CGraphicsImage& image = *job.image;
  const CImageComment& comment = job.writer->comment;
  png_set_write_fn(job.png, &job, PngOutput, PngFlush);
  if (comment.text != nullptr) {
    png_text text;
    std::memset(&text, 0, sizeof text);
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Comment");
    text.text = comment.text;
    text.text_length = std::strlen(comment.text);
    png_set_text(job.png, job.info, &text, 1);
  }
  const auto width = png_uint_32(image.width), height = png_uint_32(image.height);
  if (image.bpp <= 8) {
    png_set_IHDR(job.png, job.info, width, height, image.bpp, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    const int entries = 1 << image.bpp;
    for (int i = 0; i < entries; ++i) {
      palette[i].red = image.palette[i].rgbRed;
      palette[i].green = image.palette[i].rgbGreen;
      palette[i].blue = image.palette[i].rgbBlue;
    }
    png_set_PLTE(job.png, job.info, palette, entries);
    png_write_info(job.png, job.info);
  } else {
    png_set_IHDR(job.png, job.info, width, height, 8,
                 job.withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job.png, job.info);
    png_set_bgr(job.png);
  }
  const size_t rowBytes = (size_t(image.width) * size_t(image.bpp) + 7) / 8;
  const int tailBits = int(int64_t{image.width} * image.bpp % 8);
  for (int y = 0; y < image.height; ++y) {
    job.writer->Progress(DWORD(int64_t{y} * 100 / image.height));
    const BYTE* row = image.Row(y);
    if (image.bpp <= 8) {
      if (tailBits != 0) {
        std::memcpy(job.rowCopy, row, rowBytes);
        job.rowCopy[rowBytes - 1] &= BYTE(0xFF << (8 - tailBits));
        row = job.rowCopy;
      }
    } else if (job.withAlpha) {
      row = reinterpret_cast<const BYTE*>(image.RowTo32Func(row, &image));
    } else {
      row = image.RowTo24Func(row, &image);
    }
    png_write_row(job.png, row);
  }
  png_write_end(job.png, nullptr);
  return true;
}

// Destroys what libpng made, however the write ends.
struct PngStructures {
  PngJob& job;
  ~PngStructures() { png_destroy_write_struct(&job.png, &job.info); }
};

}  // namespace

const WriterFailures CPngWriter::failures = {ThrowOpenError, ThrowWriteError};

void CPngWriter::WriteEx(CFileStream& file, const CGraphicsImage& image, int alpha) {
  struct StreamBinding {
    CPngWriter* writer;
    ~StreamBinding() { writer->stream = nullptr; }
  } binding{this};
  stream = &file;
  Progress(0);
  if (!image.HasPixels() || image.width <= 0 || image.height <= 0) {
    ThrowGraphics<EGraphicsException>(GraphicsMessage::BadImage);
  }
  std::vector<BYTE> rowCopy(image.bpp < 8 ? size_t(image.stride) : 0);
  PngJob job = {this,
                &image,
                image.bpp == 32 && (alpha & 1) != 0,
                rowCopy.data(),
                nullptr,
                nullptr,
                EGraphicsException()};
  PngStructures structures{job};
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, PngError, PngWarning);
  if (job.png == nullptr) ThrowGraphics<EGraphicsException>(GraphicsMessage::Internal);
  job.info = png_create_info_struct(job.png);
  if (job.info == nullptr) ThrowGraphics<EGraphicsException>(GraphicsMessage::Internal);
  if (!RunPng(job)) throw job.pending;
  Progress(100);
}

void CPngWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  WriteEx(file, image, int(keepAlpha));
}

void CPngWriter::SaveEx(const char* path, const CGraphicsImage& image, int alpha) {
  SaveWith(path, failures, [&](CFileStream& file) { WriteEx(file, image, alpha); });
}

void CPngWriter::SaveEx(const wchar16* path, const CGraphicsImage& image, int alpha) {
  SaveWith(path, failures, [&](CFileStream& file) { WriteEx(file, image, alpha); });
}

void CPngWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveEx(path, image, int(keepAlpha));
}

void CPngWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveEx(path, image, int(keepAlpha));
}
