// Every text converter with dstSize and srcLen taken from the input: nothing
// is written past dstSize (the destination is an exact heap block), the output
// is terminated, both vector levels and the character loops agree, and NUL-free
// 16-bit text survives WideToUtf8 then Utf8ToWide. A terminated source also
// converts alike with a srcLen far beyond its block.
//
// Input: byte 0 = dstSize, byte 1 = srcLen (0xFF: up to the terminator, else
// a count capped at the data), the rest = source bytes. Sizes below 128 are
// taken as they are, the others as (v - 128) * 8, to reach the vector paths.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "toolkit/unicode.h"
#include "toolkit/unicode_vector.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

template <class T>
std::unique_ptr<T[]> Block(size_t n) {
  return std::unique_ptr<T[]>(new T[n]);
}

// Runs one converter on both paths; the result and the output must agree and
// be terminated within dstSize.
template <class Dst, class F>
std::vector<Dst> Both(int dstSize, F&& convert) {
  using unicode_detail::VectorLevel;
  const VectorLevel levels[3] = {VectorLevel::Best, VectorLevel::Sse2, VectorLevel::None};
  std::vector<Dst> results[3];
  int counts[3] = {0, 0, 0};
  for (int path = 0; path < 3; ++path) {
    unicode_detail::SetVectorLevel(levels[path]);
    auto dst = Block<Dst>(static_cast<size_t>(dstSize));
    int r = convert(dst.get(), &counts[path]);
    Check(r >= 0);
    if (dstSize < 1) {
      Check(r == 0);
      continue;
    }
    Check(r < dstSize);
    Check(dst[r] == 0);
    results[path].assign(dst.get(), dst.get() + r);
  }
  unicode_detail::SetVectorLevel(VectorLevel::Best);
  Check(results[0] == results[1] && results[0] == results[2]);
  Check(counts[0] == counts[1] && counts[0] == counts[2]);
  return results[0];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  auto scaled = [](uint8_t v) { return v < 128 ? static_cast<size_t>(v) : (v - 128u) * 8u; };
  const int dstSize = static_cast<int>(scaled(data[0]));
  const bool terminated = data[1] == 0xFF;
  const uint8_t* body = data + 2;
  const size_t n = size - 2;
  const int srcLen = terminated ? -1 : static_cast<int>(scaled(data[1]) < n ? scaled(data[1]) : n);
  const size_t srcBytes = terminated ? n + 1 : static_cast<size_t>(srcLen);
  const size_t srcUnits = terminated ? n / 2 + 1 : static_cast<size_t>(srcLen);

  // Byte source: exactly srcLen bytes, or the data plus a terminator.
  auto bytes = Block<char>(srcBytes ? srcBytes : 1);
  std::memcpy(bytes.get(), body, terminated ? n : srcBytes);
  if (terminated) bytes[n] = 0;
  // 16-bit source from the same data, little-endian pairs.
  auto units = Block<wchar16>(srcUnits ? srcUnits : 1);
  for (size_t k = 0; k < srcUnits; ++k) {
    units[k] = 2 * k + 1 < n ? static_cast<wchar16>(body[2 * k] | body[2 * k + 1] << 8) : 0;
  }
  if (terminated) units[srcUnits - 1] = 0;

  const char* b = bytes.get();
  const wchar16* u = units.get();
  Both<wchar16>(dstSize, [&](wchar16* d, int*) { return Utf8ToWide(d, b, dstSize, srcLen); });
  Both<char>(dstSize, [&](char* d, int* c) { return WideToUtf8NCount(d, u, dstSize, c, srcLen); });
  Both<char>(dstSize, [&](char* d, int* c) { return Latin1ToUtf8NCount(d, b, dstSize, c, srcLen); });
  Both<char>(dstSize, [&](char* d, int*) { return Utf8ToLatin1N(d, b, dstSize, srcLen); });
  Both<char>(dstSize, [&](char* d, int*) { return WideToLatin1(d, u, dstSize, srcLen); });
  Both<wchar16>(dstSize, [&](wchar16* d, int*) { return Latin1ToWide(d, b, dstSize, srcLen); });
  if (terminated) {
    Both<wchar16>(dstSize, [&](wchar16* d, int*) { return Utf8ToWideZ(d, b, dstSize); });
    Both<char>(dstSize, [&](char* d, int* c) { return WideToUtf8Count(d, u, dstSize, c); });
    Both<char>(dstSize, [&](char* d, int*) { return Utf8ToLatin1(d, b, dstSize); });
    // A srcLen far beyond the terminated block: the same output, and nothing
    // read past the terminator (the block ends right after it).
    const int far = 0x7FFFFFFF;
    Check(Both<wchar16>(dstSize, [&](wchar16* d, int*) { return Utf8ToWide(d, b, dstSize, far); }) ==
          Both<wchar16>(dstSize, [&](wchar16* d, int*) { return Utf8ToWide(d, b, dstSize, -1); }));
    Check(Both<char>(dstSize, [&](char* d, int* c) { return WideToUtf8NCount(d, u, dstSize, c, far); }) ==
          Both<char>(dstSize, [&](char* d, int* c) { return WideToUtf8NCount(d, u, dstSize, c, -1); }));
    Check(Both<char>(dstSize, [&](char* d, int*) { return Latin1ToUtf8N(d, b, dstSize, far); }) ==
          Both<char>(dstSize, [&](char* d, int*) { return Latin1ToUtf8N(d, b, dstSize, -1); }));
  }

  // Round trip of the NUL-free prefix of the 16-bit source.
  size_t len = 0;
  const size_t avail = terminated ? srcUnits - 1 : srcUnits;
  while (len < avail && u[len] != 0) ++len;
  const int wideLen = static_cast<int>(len);
  const int room8 = wideLen * 3 + 5;
  auto utf8 = Block<char>(static_cast<size_t>(room8));
  int count = -1;
  int n8 = WideToUtf8NCount(utf8.get(), u, room8, &count, wideLen);
  Check(n8 < room8 && utf8[n8] == 0);
  auto back = Block<wchar16>(len + 3);
  int n16 = Utf8ToWide(back.get(), utf8.get(), wideLen + 3, n8);
  Check(n16 == wideLen);
  Check(std::memcmp(back.get(), u, len * sizeof(wchar16)) == 0);
  return 0;
}
