#include "graphics/formats/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "graphics/formats/jpeg_dest.h"
#include "graphics/formats/jpeg_lib.h"
#include "graphics/pixel.h"

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EJpegOpenError>(GraphicsMessage::JpegOpen);
}

// A failed flush or close reads like the destination's own short write.
[[noreturn]] void ThrowWriteError() {
  jpeg_error_mgr messages;
  jpeg_std_error(&messages);
  throw EGraphicsException(messages.jpeg_message_table[JERR_FILE_WRITE], 0);
}

// The error manager: libjpeg's failures are kept here and the error exit
// jumps back to RunJpeg, so no exception crosses the library's C frames.
struct JpegErrors {
  jpeg_error_mgr pub;
  jmp_buf jump;
  EGraphicsException pending;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  char message[JMSG_LENGTH_MAX] = {};
  (*cinfo->err->format_message)(cinfo, message);
  errors->pending = EGraphicsException(message, 0);
  longjmp(errors->jump, 1);
}

// Warnings and trace messages stay silent.
void OutputMessage(j_common_ptr) {}

struct JpegJob {
  CJpegWriter* writer;
  CFileStream* file;
  const CGraphicsImage* image;
  BYTE* greyRow;  // greyscale output: one converted row
  jpeg_compress_struct cinfo;
  JpegErrors errors;
};

// The row as the compressor takes it: blue-green-red (and a fourth byte on
// 32-bit images) where libjpeg reads that order itself, red-green-blue or
// grey otherwise.
JSAMPROW ConvertRow(JpegJob& job, const BYTE* row) {
  const CGraphicsImage& image = *job.image;
  if (job.greyRow != nullptr) {
    const BYTE* bgr = image.RowTo24Func(row, &image);
    for (int x = 0; x < image.width; ++x, bgr += 3) {
      job.greyRow[x] = BYTE((77 * bgr[2] + 151 * bgr[1] + 29 * bgr[0]) >> 8);
    }
    return job.greyRow;
  }
#ifdef JCS_EXTENSIONS
  if (image.bpp == 32) return const_cast<BYTE*>(row);
  return image.RowTo24Func(row, &image);
#else
  BYTE* rgb = image.RowCopyTo24Func(row, &image);
  SwapRedBlue24(rgb, image.width);
  return rgb;
#endif
}

J_COLOR_SPACE InputSpace(const CGraphicsImage& image, bool grey) {
  if (grey) return JCS_GRAYSCALE;
#ifdef JCS_EXTENSIONS
  return image.bpp == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
#else
  (void)image;
  return JCS_RGB;
#endif
}

// Drives libjpeg; false after a library failure, with the failure in
// job.errors.pending. Owns nothing with a destructor, so the jump back skips
// no clean-up; the progress step throws from here, between library calls.
bool RunJpeg(JpegJob& job) {
  if (setjmp(job.errors.jump) != 0) return false;
  jpeg_compress_struct& cinfo = job.cinfo;
  jpeg_create_compress(&cinfo);
  jpeg_file_dest(&cinfo, job.file);
  const CGraphicsImage& image = *job.image;
  cinfo.image_width = JDIMENSION(image.width);
  cinfo.image_height = JDIMENSION(image.height);
  const J_COLOR_SPACE space = InputSpace(image, job.greyRow != nullptr);
  cinfo.in_color_space = space;
#ifdef JCS_EXTENSIONS
  cinfo.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_EXT_BGRX ? 4 : 3;
#else
  cinfo.input_components = space == JCS_GRAYSCALE ? 1 : 3;
#endif
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, int(job.writer->quality), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const CImageComment& comment = job.writer->comment;
  if (comment.text != nullptr && comment.length > 0) {
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.text),
                      comment.length);
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = int(cinfo.next_scanline);
    job.writer->Progress(DWORD(int64_t{y} * 100 / image.height));
    JSAMPROW row = ConvertRow(job, image.Row(y));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

// Releases the compressor however the write ends; after a failure nothing
// else is asked of it.
struct Compressor {
  jpeg_compress_struct& cinfo;
  ~Compressor() { jpeg_destroy_compress(&cinfo); }
};

}  // namespace

const WriterFailures CJpegWriter::failures = {ThrowOpenError, ThrowWriteError};

DWORD CJpegWriter::SetQuality(DWORD q) {
  quality = q < 1 ? 1 : q > 100 ? 100 : q;
  return quality;
}

void CJpegWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  if (!image.HasPixels() || image.width <= 0 || image.height <= 0) {
    ThrowGraphics<EJpegBadData>(GraphicsMessage::DataError);
  }
  std::vector<BYTE> greyRow(greyscale != 0 ? size_t(image.width) + 16 : 0);
  JpegJob job = {};
  job.writer = this;
  job.file = &file;
  job.image = &image;
  job.greyRow = greyscale != 0 ? greyRow.data() : nullptr;
  job.cinfo.err = jpeg_std_error(&job.errors.pub);
  job.errors.pub.error_exit = ErrorExit;
  job.errors.pub.output_message = OutputMessage;
  Compressor compressor{job.cinfo};
  if (!RunJpeg(job)) throw job.errors.pending;
}

void CJpegWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CJpegWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}
