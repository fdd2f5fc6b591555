// Feeds arbitrary bytes to the packed-DIB import: any block must give a clean
// false or an image whose every pixel can be read, never a fault.
#include <cstddef>
#include <cstdint>

#include "graphics/image.h"

// Keeps the reads from being optimised away.
volatile uint32_t pixelSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CGraphicsImage image;
  const BYTE flags = size ? data[size - 1] & 1 : 0;
  if (!image.ReadPackedDib(data, size, flags)) return 0;
  // Large images are read only along their edges, to keep runs fast.
  uint32_t sum = 0;
  for (int y = 0; y < image.height; y += (image.height > 64 ? image.height - 1 : 1)) {
    const BYTE* row = image.Row(y);
    const DWORD* colours = image.RowTo32Func(row, &image);
    sum += colours[0] + colours[image.width - 1];
    sum += image.PixelGetFunc(row, image.width - 1);
  }
  pixelSink = sum;
  return 0;
}
