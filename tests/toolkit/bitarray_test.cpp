#include "toolkit/bitarray.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <vector>

#include "guard_page.h"

namespace {

using zelvaro_test::GuardedBuffer;

// One bit, read the way each order defines it.
bool Bit(const uint8_t* bytes, uint64_t i, bool msb) {
  const unsigned shift = msb ? 7 - unsigned(i % 8) : unsigned(i % 8);
  return (bytes[i / 8] >> shift) & 1;
}

DWORD RefFind(const uint8_t* bytes, DWORD limit, DWORD start, bool msb, bool want) {
  for (uint64_t i = start; i < limit; ++i)
    if (Bit(bytes, i, msb) == want) return DWORD(i);
  return limit;
}

DWORD RefCount(const uint8_t* bytes, DWORD limit, DWORD start, bool msb) {
  DWORD n = 0;
  for (uint64_t i = start; i < limit; ++i) n += Bit(bytes, i, msb);
  return n;
}

using FindFn = DWORD (*)(const void*, DWORD, DWORD);
struct Finder {
  FindFn fn;
  bool msb;
  bool want;
  const char* name;
};
const Finder kFinders[] = {{BitFindNextSet, false, true, "Set"},
                           {BitFindNextSetMsb, true, true, "SetMsb"},
                           {BitFindNextClear, false, false, "Clear"},
                           {BitFindNextClearMsb, true, false, "ClearMsb"}};

// Bit positions worth probing in an array of `bits` bits.
std::vector<DWORD> Probes(DWORD bits) {
  std::vector<DWORD> out;
  for (DWORD p : {0u, 1u, 7u, 8u, 31u, 32u, 33u, 63u, 64u, 65u, 95u, 96u, 127u, 128u, 129u})
    if (p <= bits) out.push_back(p);
  for (DWORD d = 0; d <= 40 && d <= bits; ++d) out.push_back(bits - d);
  return out;
}

// Arrays ending at a guard page: any read of a byte past the array faults.
TEST(BitArray, FindsAndCountsMatchPerBitReferenceAtEveryDensity) {
  std::mt19937 rng(3);
  const DWORD kBits = 1024;
  GuardedBuffer buf(kBits / 8);
  for (int density : {0, 64, 2, 1}) {  // none, 1/64, 1/2, all
    for (DWORD i = 0; i < kBits / 8; ++i) {
      uint8_t b = 0;
      for (int k = 0; k < 8; ++k)
        if (density == 1 || (density > 1 && rng() % unsigned(density) == 0)) b |= uint8_t(1 << k);
      buf.data()[i] = b;
    }
    const std::vector<DWORD> probes = Probes(kBits);
    for (DWORD limit : probes) {
      // Only the words holding bits below limit may be read: put the array
      // so that the word after them is the guard page.
      const DWORD words = (limit + 31) / 32;
      const uint8_t* arr = buf.data() + kBits / 8 - 4 * words;
      std::vector<uint8_t> copy(arr, arr + 4 * words);
      for (DWORD start : probes) {
        for (const Finder& f : kFinders) {
          ASSERT_EQ(f.fn(arr, limit, start), RefFind(copy.data(), limit, start, f.msb, f.want))
              << f.name << " density " << density << " limit " << limit << " start " << start;
        }
        // Counts may read only the bytes holding bits of [start, limit).
        const uint8_t* cArr = buf.data() + kBits / 8 - (limit + 7) / 8;
        std::vector<uint8_t> cCopy(cArr, cArr + (limit + 7) / 8);
        ASSERT_EQ(BitCount(cArr, limit, start), RefCount(cCopy.data(), limit, start, false));
        ASSERT_EQ(BitCountMsb(cArr, limit, start), RefCount(cCopy.data(), limit, start, true));
      }
    }
  }
}

TEST(BitArray, SearchOfZeroArrayNeverReadsTheLimitWord) {
  for (DWORD limit : {32u, 64u, 96u, 1024u}) {
    GuardedBuffer buf(limit / 8);
    std::memset(buf.data(), 0, limit / 8);
    for (DWORD start : {0u, 1u, limit - 1, limit, limit + 5}) {
      EXPECT_EQ(BitFindNextSet(buf.data(), limit, start), limit);
      EXPECT_EQ(BitFindNextSetMsb(buf.data(), limit, start), limit);
    }
    std::memset(buf.data(), 0xFF, limit / 8);
    EXPECT_EQ(BitFindNextClear(buf.data(), limit, 0), limit);
    EXPECT_EQ(BitFindNextClearMsb(buf.data(), limit, 3), limit);
  }
}

TEST(BitArray, CountAcceptsMisalignedPointersAndReadsNothingBefore) {
  std::mt19937 rng(11);
  // The array starts right behind an inaccessible page, so nothing before
  // the caller's pointer can be read; misalignment comes from the offsets.
  GuardedBuffer buf(200, GuardedBuffer::Guard::kBefore);
  for (auto& b : std::span(buf.data(), 200)) b = uint8_t(rng());
  for (int offset = 0; offset < 4; ++offset) {
    const uint8_t* p = buf.data() + offset;
    for (DWORD start : {0u, 1u, 5u, 8u, 31u, 33u, 64u}) {
      for (DWORD limit : {1u, 9u, 32u, 63u, 100u, 500u, 1000u}) {
        ASSERT_EQ(BitCount(p, limit, start), RefCount(p, limit, start, false)) << offset;
        ASSERT_EQ(BitCountMsb(p, limit, start), RefCount(p, limit, start, true)) << offset;
      }
    }
  }
}

TEST(BitArray, DocumentedExamples) {
  uint8_t one45[8] = {};
  one45[45 / 8] = uint8_t(1 << (45 % 8));
  EXPECT_EQ(BitFindNextSet(one45, 40, 3), 40u);
  EXPECT_EQ(BitFindNextSet(one45, 64, 3), 45u);
  EXPECT_EQ(BitFindNextSet(one45, 64, 64), 64u);
  const uint8_t nine[8] = {0xFF, 0, 0, 0, 0x01, 0, 0, 0};
  EXPECT_EQ(BitCount(nine, 64, 0), 9u);
  const uint8_t f0 = 0xF0;
  EXPECT_EQ(BitCountMsb(&f0, 4, 0), 4u);
  EXPECT_EQ(BitCount(&f0, 4, 0), 0u);
  EXPECT_EQ(BitCount(&f0, 4, 4), 0u);
  uint8_t z[2] = {0, 0};
  BitSetRange(z, 2, 3);
  EXPECT_EQ(z[0], 0x1C);
  uint8_t t[2] = {0, 0};
  BitToggleRange(t, 6, 4);
  EXPECT_EQ(t[0], 0xC0);
  EXPECT_EQ(t[1], 0x03);
  EXPECT_EQ(BitReverse(0b0011, 4), 0b1100u);
  EXPECT_EQ(BitReverse(0b0011, 0), 0u);
}

TEST(BitArray, RangesMatchVectorOfBool) {
  std::mt19937 rng(21);
  const int kBits = 300;
  for (int round = 0; round < 20000; ++round) {
    const int start = int(rng() % 330) - 10;
    const int count = int(rng() % 120) - 5;
    const int op = int(rng() % 3);
    std::vector<uint8_t> bytes(kBits / 8 + 24);
    for (auto& b : bytes) b = uint8_t(rng());
    std::vector<bool> model(bytes.size() * 8);
    for (size_t i = 0; i < model.size(); ++i) model[i] = Bit(bytes.data(), i, false);
    if (start >= 0 && count >= 1) {
      for (int i = start; i < start + count; ++i)
        model[size_t(i)] = op == 0 ? true : op == 1 ? false : !model[size_t(i)];
    }
    if (op == 0) BitSetRange(bytes.data(), start, count);
    if (op == 1) BitClearRange(bytes.data(), start, count);
    if (op == 2) BitToggleRange(bytes.data(), start, count);
    for (size_t i = 0; i < model.size(); ++i)
      ASSERT_EQ(Bit(bytes.data(), i, false), model[i]) << op << " " << start << " " << count;
  }
}

TEST(BitArray, RangesStayInsideTheirBytes) {
  // The array ends at a guard page: a range ending at the last bit touches
  // no byte beyond.
  GuardedBuffer buf(16);
  std::memset(buf.data(), 0, 16);
  BitSetRange(buf.data(), 3, 125);
  EXPECT_EQ(buf.data()[0], 0xF8);
  EXPECT_EQ(buf.data()[15], 0xFF);
  BitToggleRange(buf.data(), 0, 128);
  EXPECT_EQ(buf.data()[0], 0x07);
  EXPECT_EQ(buf.data()[15], 0x00);
  BitClearRange(buf.data(), 0, 128);
  EXPECT_EQ(buf.data()[0], 0);
  // Index arithmetic does not wrap near the int range.
  uint8_t b = 0;
  BitSetRange(&b, 0x7FFFFFF8 - 0x7FFFFFF8, 0);
  BitSetRange(&b, -1, 5);
  EXPECT_EQ(b, 0);
}

TEST(BitArray, IndexesNearTheTopOfTheirRangeDoNotWrap) {
  // 2^32 bits: only the pages touched are ever backed.
  GuardedBuffer buf(size_t(1) << 29);
  uint8_t* p = buf.data();
  const DWORD top = 0xFFFFFFFFu;
  EXPECT_EQ(BitFindNextSet(p, top, top - 70), top);
  EXPECT_EQ(BitFindNextClear(p, top, top - 70), top - 70);
  EXPECT_EQ(BitCount(p, top, top - 70), 0u);
  p[(top - 5) / 8] = uint8_t(1 << ((top - 5) % 8));
  EXPECT_EQ(BitFindNextSet(p, top, top - 200), top - 5);
  EXPECT_EQ(BitFindNextSet(p, top - 5, top - 200), top - 5);
  EXPECT_EQ(BitCount(p, top, 0xF0000000u), 1u);
  // Ranges reaching past INT_MAX bits stay 64-bit internally.
  BitSetRange(p, 0x7FFFFFF0, 0x20);
  EXPECT_EQ(p[0x7FFFFFF0 / 8], 0xFF);
  EXPECT_EQ(p[0x7FFFFFF0 / 8 + 1], 0xFF);
  EXPECT_EQ(p[0x7FFFFFF0 / 8 + 2], 0xFF);
  EXPECT_EQ(p[0x7FFFFFF0 / 8 + 3], 0xFF);
  EXPECT_EQ(p[0x7FFFFFF0 / 8 + 4], 0x00);
  EXPECT_EQ(BitCount(p, 0x80000010u, 0x7FFFFFF0u), 0x20u);
  BitToggleRange(p, 0x7FFFFFFE, 0x40);  // [0x7FFFFFFE, 0x8000003E)
  EXPECT_EQ(BitCount(p, 0x80000010u, 0x7FFFFFF0u), 0x20u - 0x12u);
  EXPECT_EQ(BitCount(p, 0x80000040u, 0x7FFFFFF0u), 0x20u - 0x12u + 0x2Eu);
}

TEST(BitReverse, MatchesBitLoopForEveryWidth) {
  std::mt19937_64 rng(8);
  for (int round = 0; round < 200; ++round) {
    const uint64_t v = rng();
    for (int n = -1; n <= 66; ++n) {
      uint64_t want = 0;
      if (n >= 1 && n <= 64)
        for (int i = 0; i < n; ++i)
          if ((v >> i) & 1) want |= uint64_t(1) << (n - 1 - i);
      ASSERT_EQ(BitReverse(v, n), want) << n;
    }
  }
}

}  // namespace
