#include "toolkit/memblock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kCanary = 0xA5;

// Little-endian bytes of v, written out by shifts.
std::vector<uint8_t> LeBytes(uint64_t v, int width) {
  std::vector<uint8_t> out;
  for (int i = 0; i < width; ++i) out.push_back(uint8_t(v >> (8 * i)));
  return out;
}

TEST(MemFill, WritesExactLittleEndianPatternsAtEveryOffset) {
  struct Case {
    int width;
    uint64_t value;
  };
  const Case cases[] = {{2, 0xBEEF}, {4, 0x89ABCDEF}, {8, 0x0123456789ABCDEFull}};
  for (const Case& c : cases) {
    for (int offset = 0; offset < 8; ++offset) {
      for (DWORD count = 0; count <= 33; ++count) {
        std::vector<uint8_t> buf(8 + 33 * 8 + 16, kCanary);
        uint8_t* dst = buf.data() + offset;
        if (c.width == 2) {
          MemFill16(dst, WORD(c.value), count);
        } else if (c.width == 4) {
          MemFill32(dst, DWORD(c.value), count);
        } else {
          MemFill64(dst, DWORD(c.value), DWORD(c.value >> 32), count);
        }
        std::vector<uint8_t> want(buf.size(), kCanary);
        const std::vector<uint8_t> unit = LeBytes(c.value, c.width);
        for (DWORD i = 0; i < count; ++i)
          std::copy(unit.begin(), unit.end(), want.begin() + offset + i * c.width);
        ASSERT_EQ(buf, want) << "width " << c.width << " offset " << offset << " count "
                             << count;
      }
    }
  }
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(MemCompare16, OrdersUnitsAsSignedSixteenBitValues) {
  const uint16_t edges[] = {0, 1, 'A', 'a', 'z', 0x7FFF, 0x8000, 0xFFFF};
  for (uint16_t a : edges) {
    for (uint16_t b : edges) {
      // The signed value of a 16-bit unit, from its two's-complement bits.
      const int sa = a >= 0x8000 ? int(a) - 0x10000 : int(a);
      const int sb = b >= 0x8000 ? int(b) - 0x10000 : int(b);
      const uint16_t x[2] = {'q', a}, y[2] = {'q', b};
      EXPECT_EQ(MemCompare16(x, y, 2), sa - sb) << a << " " << b;
      EXPECT_EQ(MemCompare16(x, y, 1), 0);
      const int fa = (a >= 'a' && a <= 'z') ? sa - 32 : sa;
      const int fb = (b >= 'a' && b <= 'z') ? sb - 32 : sb;
      EXPECT_EQ(MemCompare16NoCase(x, y, 2), fa - fb) << a << " " << b;
    }
  }
  const uint16_t one = 0x0001, minus = 0xFFFF;
  EXPECT_EQ(MemCompare16(&one, &minus, 1), 2);
  EXPECT_EQ(MemCompare16(&one, &minus, 0), 0);
}

TEST(MemCompare16, IsTransitiveAndAntisymmetric) {
  std::mt19937 rng(7);
  const uint16_t pool[] = {0, 1, 'A', 'Z', 'a', 'z', '[', '`', 0x7FFF, 0x8000, 0x8001, 0xFFFF};
  auto pick = [&] {
    std::vector<uint16_t> v(3);
    for (auto& u : v) u = pool[rng() % std::size(pool)];
    return v;
  };
  for (int round = 0; round < 20000; ++round) {
    const auto a = pick(), b = pick(), c = pick();
    for (auto cmp : {MemCompare16, MemCompare16NoCase}) {
      const int ab = Sign(cmp(a.data(), b.data(), 3)), ba = Sign(cmp(b.data(), a.data(), 3));
      const int bc = Sign(cmp(b.data(), c.data(), 3)), ac = Sign(cmp(a.data(), c.data(), 3));
      ASSERT_EQ(ab, -ba);
      if (ab <= 0 && bc <= 0) {
        ASSERT_LE(ac, 0);
      }
      if (ab >= 0 && bc >= 0) {
        ASSERT_GE(ac, 0);
      }
    }
  }
}

TEST(MemCompare16, NoCaseFoldsOnlyAsciiLetters) {
  const std::u16string a = u"Hello\u00e9", b = u"hELLO\u00c9";
  EXPECT_EQ(MemCompare16NoCase(a.data(), b.data(), 5), 0);
  EXPECT_EQ(MemCompare16NoCase(a.data(), b.data(), 6), 0xE9 - 0xC9);
  EXPECT_EQ(MemCompare16(a.data(), b.data(), 5), 'H' - 'h');
}

TEST(MemSwap, ExchangesBytesAndIgnoresNonPositiveCounts) {
  std::string a = "abcdef", b = "UVWXYZ";
  MemSwap(a.data(), b.data(), 4);
  EXPECT_EQ(a, "UVWXef");
  EXPECT_EQ(b, "abcdYZ");
  MemSwap(a.data(), b.data(), 0);
  MemSwap(a.data(), b.data(), -3);
  EXPECT_EQ(a, "UVWXef");
}

// --- edits against a model --------------------------------------------------

// The model works on the used bytes only and copies src before it edits.
struct ModelResult {
  int result;
  std::vector<uint8_t> used;
  bool changed;
};

ModelResult ModelReplace(const std::vector<uint8_t>& buf, const std::vector<uint8_t>& src,
                         int used, int n, int delCount, int pos, const int* capacity) {
  const int u = std::max(used, 0);
  std::vector<uint8_t> content(buf.begin(), buf.begin() + u);
  if (n < 1) return {u, content, false};
  int p = std::clamp(pos, 0, u);
  int del = std::max(delCount, 0);
  if (pos > u) del = 0;
  del = std::min(del, u - p);
  if (capacity && *capacity - p < 0) return {0, content, false};
  content.erase(content.begin() + p, content.begin() + p + del);
  content.insert(content.begin() + p, src.begin(), src.begin() + n);
  if (capacity && int(content.size()) > *capacity) content.resize(size_t(*capacity));
  return {int(content.size()), content, true};
}

enum class SrcPlace { kSeparate, kHead, kDeleted, kTail, kAcross, kBeyondUsed };

TEST(MemEdit, InsertAndReplaceMatchModelWithSourcesInsideAndOutside) {
  std::mt19937 rng(12345);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 40000; ++round) {
    const int capacity = pick(0, 80);
    const bool bounded = pick(0, 1);
    const int used = pick(-3, capacity);
    const int pos = pick(-5, capacity + 5);
    const int delCount = round % 3 == 0 ? 0 : pick(-3, 40);
    int n = pick(-2, 40);
    const SrcPlace place = SrcPlace(pick(0, 5));
    // The buffer holds capacity bytes plus room for the unbounded form's
    // result, then canaries.
    const int room = capacity + 48;
    std::vector<uint8_t> buf(static_cast<size_t>(room) + 16, kCanary);
    for (int i = 0; i < room; ++i) buf[size_t(i)] = uint8_t(pick(0, 255));
    std::vector<uint8_t> separate(48);
    for (auto& b : separate) b = uint8_t(pick(0, 255));
    const int u = std::max(used, 0);
    int srcOff = 0;
    switch (place) {
      case SrcPlace::kSeparate: break;
      case SrcPlace::kHead: srcOff = pick(0, std::max(0, std::clamp(pos, 0, u))); break;
      case SrcPlace::kDeleted: srcOff = std::clamp(pos, 0, u); break;
      case SrcPlace::kTail: srcOff = pick(std::clamp(pos, 0, u), std::max(u, 0)); break;
      case SrcPlace::kAcross: srcOff = std::max(0, std::clamp(pos, 0, u) - pick(0, 6)); break;
      case SrcPlace::kBeyondUsed: srcOff = u; break;
    }
    const uint8_t* src = place == SrcPlace::kSeparate ? separate.data() : buf.data() + srcOff;
    const int srcAvail = place == SrcPlace::kSeparate ? 48 : room - srcOff;
    n = std::min(n, srcAvail);
    const std::vector<uint8_t> srcCopy(src, src + std::max(n, 0));
    const int cap = bounded ? capacity : INT_MAX;
    const bool insert = delCount == 0 && round % 2 == 0;
    ModelResult want = ModelReplace(buf, srcCopy, used, n, delCount, pos, bounded ? &cap : nullptr);
    if (!bounded && want.result > room) continue;  // beyond the test's buffer
    std::vector<uint8_t> got = buf;
    int r;
    if (insert) {
      r = bounded ? MemInsertN(got.data(), src == separate.data() ? src : got.data() + srcOff, used, n, pos, capacity)
                  : MemInsert(got.data(), src == separate.data() ? src : got.data() + srcOff, used, n, pos);
    } else {
      const uint8_t* s = src == separate.data() ? src : got.data() + srcOff;
      r = bounded ? MemReplaceN(got.data(), s, used, n, delCount, pos, capacity)
                  : MemReplace(got.data(), s, used, n, delCount, pos);
    }
    SCOPED_TRACE(testing::Message() << "round " << round << " cap " << capacity << " used "
                                    << used << " pos " << pos << " del " << delCount << " n " << n
                                    << " place " << int(place) << " bounded " << bounded);
    ASSERT_EQ(r, want.result);
    ASSERT_TRUE(std::equal(want.used.begin(), want.used.end(), got.begin()));
    if (!want.changed) {
      ASSERT_EQ(got, buf);
    }
    const int limit = bounded ? capacity : room;
    for (size_t i = size_t(limit); i < got.size(); ++i) ASSERT_EQ(got[i], buf[i]) << i;
  }
}

TEST(MemEdit, DeleteMatchesModel) {
  std::mt19937 rng(99);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 20000; ++round) {
    const int size = pick(0, 40);
    std::vector<uint8_t> buf(static_cast<size_t>(size) + 8);
    for (auto& b : buf) b = uint8_t(pick(0, 255));
    const int used = pick(-3, size), count = pick(-5, 45), pos = pick(-8, size + 4);
    std::vector<uint8_t> model(buf.begin(), buf.begin() + std::max(used, 0));
    int want = int(model.size());
    int p = pos, c = count;
    if (p < 0) {
      c += p;
      p = 0;
    }
    if (used >= 1 && c >= 1 && p < used) {
      c = std::min(c, used - p);
      model.erase(model.begin() + p, model.begin() + p + c);
      want = int(model.size());
    }
    std::vector<uint8_t> got = buf;
    ASSERT_EQ(MemDelete(got.data(), used, count, pos), want);
    ASSERT_TRUE(std::equal(model.begin(), model.end(), got.begin()));
    for (size_t i = size_t(std::max(used, 0)); i < got.size(); ++i) ASSERT_EQ(got[i], buf[i]);
  }
}

TEST(MemEdit, DocumentedExamples) {
  std::string s = "ABCDEFG";
  EXPECT_EQ(MemMoveBlock(s.data(), 1, 2, 4), 4);
  EXPECT_EQ(s, "ADEFBCG");
  s = "ABCDEFG";
  EXPECT_EQ(MemMoveBlock(s.data(), 4, 2, 1), 1);
  EXPECT_EQ(s, "AEFBCDG");

  char buf[16] = "abcdef";
  EXPECT_EQ(MemInsert(buf, "XY", 6, 2, 99), 8);  // beyond used appends
  EXPECT_EQ(std::string(buf, 8), "abcdefXY");
  char full[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  EXPECT_EQ(MemInsertN(full, "XY", 8, 2, 3, 8), 8);
  EXPECT_EQ(std::string(full, 8), "abcXYdef");

  char r[8] = "abcdef";
  EXPECT_EQ(MemReplace(r, "", 6, 0, 3, 1), 6);
  EXPECT_EQ(std::string(r, 6), "abcdef");
  EXPECT_EQ(MemReplace(r, "XYZW", 6, 4, 2, 1), 8);
  EXPECT_EQ(std::string(r, 8), "aXYZWdef");

  char d[8] = "abcdef";
  EXPECT_EQ(MemDelete(d, 6, 5, -2), 3);
  EXPECT_EQ(std::string(d, 3), "def");
}

// Where the block lands, said with std::rotate.
void RotateModel(std::vector<uint8_t>& v, int from, int count, int to) {
  if (to > from) {
    std::rotate(v.begin() + from, v.begin() + from + count, v.begin() + to + count);
  } else {
    std::rotate(v.begin() + to, v.begin() + from, v.begin() + from + count);
  }
}

TEST(MemMoveBlock, MatchesRotateOnBothSidesOfTheLocalBuffer) {
  std::mt19937 rng(5);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<int> sizes;
  for (int s = 1; s <= 64; ++s) sizes.push_back(s);
  for (int s : {1000, 1023, 1024, 1025, 1026, 2047, 2048, 2049, 2100, 3000, 4999, 5000})
    sizes.push_back(s);
  for (int size : sizes) {
    for (int round = 0; round < 40; ++round) {
      std::vector<uint8_t> buf(static_cast<size_t>(size));
      for (auto& b : buf) b = uint8_t(pick(0, 255));
      const int count = pick(0, size);
      const int from = pick(0, size - count), to = pick(0, size - count);
      std::vector<uint8_t> want = buf;
      RotateModel(want, from, count, to);
      std::vector<uint8_t> got = buf;
      ASSERT_EQ(MemMoveBlockN(got.data(), from, count, to, size), to);
      ASSERT_EQ(got, want) << size << " " << from << " " << count << " " << to;
    }
  }
  // Parts longer than the local buffer on both sides.
  std::vector<uint8_t> big(5000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7 + i / 256);
  for (auto [from, count, to] : {std::tuple{0, 2000, 2500}, {2500, 2000, 0}, {100, 1500, 3400}}) {
    std::vector<uint8_t> want = big, got = big;
    RotateModel(want, from, count, to);
    ASSERT_EQ(MemMoveBlock(got.data(), from, count, to), to);
    ASSERT_EQ(got, want);
  }
}

TEST(MemMoveBlock, RejectsNegativeAndOutOfRangeArguments) {
  char s[8] = "ABCDEFG";
  EXPECT_EQ(MemMoveBlock(s, -1, 2, 3), -1);
  EXPECT_EQ(MemMoveBlock(s, 1, -2, 3), -1);
  EXPECT_EQ(MemMoveBlock(s, 1, 2, -3), -1);
  EXPECT_EQ(MemMoveBlock(s, 2, 0, 5), 5);
  EXPECT_EQ(MemMoveBlock(s, 3, 2, 3), 3);
  EXPECT_EQ(MemMoveBlockN(s, 5, 3, 0, 7), -1);
  EXPECT_EQ(MemMoveBlockN(s, 0, 3, 5, 7), -1);
  EXPECT_EQ(MemMoveBlockN(s, INT_MAX, 2, 0, 7), -1);
  EXPECT_EQ(MemMoveBlockN(s, 0, 0, 0, 0), 0);
  EXPECT_EQ(MemMoveBlockN(s, 0, 0, 1, 0), -1);
  EXPECT_EQ(MemMoveBlockN(s, 0, 1, 0, 0), -1);
  EXPECT_EQ(std::string(s), "ABCDEFG");
}

}  // namespace
