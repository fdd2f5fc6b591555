#include "graphics/formats/pnm_writer.h"

#include <vector>

#include "graphics/formats/pnm_mono.h"
#include "graphics/pixel.h"

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EPnmFileOpenError>(GraphicsMessage::PnmFileOpen);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<EPnmFileWriteError>(GraphicsMessage::PnmFileWrite);
}

void WriteChecked(CFileStream& file, const void* data, int count) {
  if (file.Write(data, count) != count) ThrowWriteError();
}

}  // namespace

const WriterFailures CPnmWriter::failures = {ThrowOpenError, ThrowWriteError};

void CPnmWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  if (!image.HasPixels() || image.width <= 0 || image.height <= 0) {
    ThrowGraphics<EPnmDataError>(GraphicsMessage::DataError);
  }
  const bool mono = image.bpp == 1;
  // The header ends in one blank, the separator before the raster.
  if (file.Printf(mono ? "P4 %i %i " : "P6 %i %i 255 ", image.width, image.height) < 0) {
    ThrowWriteError();
  }
  // PBM shows a set bit as black whatever the palette says.
  const BYTE flip = mono ? MonoFlip(image, true) : 0;
  std::vector<BYTE> monoRow(mono ? size_t(image.width + 7) / 8 : 0);
  for (int y = 0; y < image.height; ++y) {
    Progress(DWORD(int64_t{y} * 100 / image.height));
    if (mono) {
      MonoRow(image, y, flip, monoRow.data());
      WriteChecked(file, monoRow.data(), int(monoRow.size()));
    } else {
      BYTE* rgb = image.RowCopyTo24Func(image.Row(y), &image);
      SwapRedBlue24(rgb, image.width);
      WriteChecked(file, rgb, 3 * image.width);
    }
  }
  Progress(100);
}

void CPnmWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CPnmWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}
