// Shared by the drawing fuzz targets: reads the fuzzer's bytes as opcodes and
// little-endian arguments, and yields zeros once the input is used up, so
// every input is a complete program.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz_support {

struct Reader {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() { return size ? (--size, *data++) : 0; }
  int32_t Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{Byte()} << (8 * i);
    return static_cast<int32_t>(v);
  }
};

}  // namespace fuzz_support
