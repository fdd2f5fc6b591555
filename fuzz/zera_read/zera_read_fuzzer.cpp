// Feeds arbitrary bytes to the ZERA sequence reader: any file must give a
// clean exception or an image whose every pixel can be read, never a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/formats/zera_reader.h"

// Keeps the reads from being optimised away.
volatile uint32_t pixelSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  std::vector<uint8_t> copy(data, data + size);
  copy.push_back(0);  // a memory stream needs a block even for no bytes
  for (DWORD index : {0u, 1u}) {
    CFileStream file;
    if (!file.OpenMemory(copy.data(), unsigned(size), STREAM_MODE_READ)) return 0;
    CGraphicsImage image;
    CTlsReader reader;
    try {
      reader.ReadImage(file, image, index);
    } catch (const EGraphicsException&) {
      continue;
    }
    uint32_t sum = reader.GetUserValue();
    for (int y = 0; y < image.height; ++y) {
      const DWORD* colours = image.RowTo32Func(image.Row(y), &image);
      sum += colours[0] + colours[image.width - 1];
    }
    pixelSink = sum;
  }
  return 0;
}
