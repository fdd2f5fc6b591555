// UTF-8 / UTF-16 characters and text conversions, checked against glibc
// iconv and against hand-computed byte layouts.
#include "toolkit/unicode.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "guard_page.h"
#include "iconv_peer.h"
#include "toolkit/unicode_vector.h"

namespace {

std::vector<uint32_t> AllScalarValues() {
  std::vector<uint32_t> cps;
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp < 0xD800 || cp > 0xDFFF) cps.push_back(cp);
  }
  return cps;
}

// Runs a test body with the best vector blocks, with the SSE2 baseline blocks
// and with the character loops alone.
using unicode_detail::VectorLevel;
class BothPaths : public ::testing::TestWithParam<VectorLevel> {
 protected:
  void SetUp() override { unicode_detail::SetVectorLevel(GetParam()); }
  void TearDown() override { unicode_detail::SetVectorLevel(VectorLevel::Best); }
};
INSTANTIATE_TEST_SUITE_P(Paths, BothPaths,
                         ::testing::Values(VectorLevel::Best, VectorLevel::Sse2, VectorLevel::None),
                         [](const auto& info) {
                           return info.param == VectorLevel::Best   ? "Vector"
                                  : info.param == VectorLevel::Sse2 ? "Sse2"
                                                                    : "Scalar";
                         });

// A block of exactly n units on the heap, so that ASan reports any read or
// write past it.
template <class T>
std::unique_ptr<T[]> Exact(const T* data, size_t n) {
  std::unique_ptr<T[]> p(new T[n]);
  if (n) std::memcpy(p.get(), data, n * sizeof(T));
  return p;
}

}  // namespace

TEST(Utf8Char, EveryScalarValueEncodesAndDecodesAsIconv) {
  std::vector<uint32_t> cps = AllScalarValues();
  std::string utf8 = IconvUtf8(cps);
  size_t at = 0;
  for (uint32_t cp : cps) {
    char buf[4];
    int n = Utf8EncodeChar(buf, cp);
    ASSERT_EQ(n, Utf8EncodedLength(cp)) << std::hex << cp;
    ASSERT_LE(at + n, utf8.size());
    ASSERT_EQ(0, std::memcmp(buf, utf8.data() + at, n)) << std::hex << cp;
    DWORD got = 0;
    ASSERT_EQ(n, Utf8DecodeChar(utf8.data() + at, &got));
    ASSERT_EQ(cp, got);
    ASSERT_EQ(n, Utf8CharLength(utf8.data() + at));
    ASSERT_EQ(n, Utf8CharLengthN(utf8.data() + at, n));
    ASSERT_EQ(n, Utf8CharLengthN(utf8.data() + at, 8));
    got = 0;
    ASSERT_EQ(n, Utf8DecodeCharBack(utf8.data() + at + n, &got));
    ASSERT_EQ(cp, got);
    at += n;
  }
  EXPECT_EQ(at, utf8.size());
}

TEST(Utf16Char, EveryScalarValueEncodesAndDecodesAsIconv) {
  std::vector<uint32_t> cps = AllScalarValues();
  std::u16string utf16 = IconvUtf16(cps);
  size_t at = 0;
  for (uint32_t cp : cps) {
    wchar16 buf[2];
    int n = Utf16EncodeChar(buf, cp);
    ASSERT_EQ(n, Utf16EncodedLength(cp)) << std::hex << cp;
    ASSERT_LE(at + n, utf16.size());
    ASSERT_EQ(0, std::memcmp(buf, utf16.data() + at, n * 2)) << std::hex << cp;
    DWORD got = 0;
    ASSERT_EQ(n, Utf16DecodeChar(utf16.data() + at, &got));
    ASSERT_EQ(cp, got);
    ASSERT_EQ(n, Utf16CharLength(utf16.data() + at));
    ASSERT_EQ(n, Utf16CharLengthN(utf16.data() + at, 2));
    ASSERT_EQ(1, Utf16CharLengthN(utf16.data() + at, 1));
    got = 0;
    ASSERT_EQ(n, Utf16DecodeCharBack(utf16.data() + at + n, &got));
    ASSERT_EQ(cp, got);
    at += n;
  }
  EXPECT_EQ(at, utf16.size());
}

TEST_P(BothPaths, WholeRangeConvertsAsIconvInOneText) {
  std::vector<uint32_t> cps = AllScalarValues();
  std::string utf8 = IconvUtf8(cps);
  std::u16string utf16 = IconvUtf16(cps);
  const int n8 = static_cast<int>(utf8.size()), n16 = static_cast<int>(utf16.size());

  std::vector<wchar16> wide(utf16.size() + 3);
  EXPECT_EQ(n16, Utf8ToWide(wide.data(), utf8.data(), n16 + 3, n8));
  EXPECT_EQ(0, std::memcmp(wide.data(), utf16.data(), utf16.size() * 2));
  EXPECT_EQ(0, wide[n16]);
  EXPECT_EQ(n16, Utf8ToWideZ(wide.data(), utf8.c_str(), n16 + 3));
  EXPECT_EQ(0, std::memcmp(wide.data(), utf16.data(), utf16.size() * 2));

  std::vector<char> narrow(utf8.size() + 5);
  EXPECT_EQ(n8, WideToUtf8N(narrow.data(), utf16.data(), n8 + 5, n16));
  EXPECT_EQ(0, std::memcmp(narrow.data(), utf8.data(), utf8.size()));
  EXPECT_EQ(0, narrow[n8]);
  EXPECT_EQ(n8, WideToUtf8(narrow.data(), utf16.c_str(), n8 + 5));
  EXPECT_EQ(0, std::memcmp(narrow.data(), utf8.data(), utf8.size()));
  int count = -1;
  EXPECT_EQ(n8, WideToUtf8NCount(narrow.data(), utf16.data(), n8 + 5, &count, n16));
  EXPECT_EQ(static_cast<int>(cps.size()), count);
  count = -1;
  EXPECT_EQ(n8, WideToUtf8Count(narrow.data(), utf16.c_str(), n8 + 5, &count));
  EXPECT_EQ(static_cast<int>(cps.size()), count);
}

TEST(Latin1Text, EveryByteConvertsAsIconv) {
  std::string latin1;
  for (int b = 1; b < 256; ++b) latin1 += static_cast<char>(b);
  std::string utf8 = IconvConvert("UTF-8", "ISO-8859-1", latin1.data(), latin1.size()).value();
  std::string bytes16 = IconvConvert("UTF-16LE", "ISO-8859-1", latin1.data(), latin1.size()).value();
  std::u16string utf16(bytes16.size() / 2, u'\0');
  std::memcpy(utf16.data(), bytes16.data(), bytes16.size());
  const int n8 = static_cast<int>(utf8.size());

  char out8[600];
  int count = -1;
  EXPECT_EQ(n8, Latin1ToUtf8(out8, latin1.c_str(), sizeof out8));
  EXPECT_EQ(utf8, std::string(out8));
  EXPECT_EQ(n8, Latin1ToUtf8N(out8, latin1.data(), sizeof out8, 255));
  EXPECT_EQ(utf8, std::string(out8));
  EXPECT_EQ(n8, Latin1ToUtf8NCount(out8, latin1.data(), sizeof out8, &count, 255));
  EXPECT_EQ(255, count);
  EXPECT_EQ(n8, Latin1ToUtf8Count(out8, latin1.c_str(), sizeof out8, &count));
  EXPECT_EQ(255, count);

  char back[300];
  EXPECT_EQ(255, Utf8ToLatin1(back, utf8.c_str(), sizeof back));
  EXPECT_EQ(latin1, std::string(back));
  EXPECT_EQ(255, Utf8ToLatin1N(back, utf8.data(), sizeof back, n8));
  EXPECT_EQ(latin1, std::string(back));

  wchar16 wide[300];
  EXPECT_EQ(255, Latin1ToWide(wide, latin1.c_str(), 300, -1));
  EXPECT_EQ(utf16, std::u16string(wide));
  EXPECT_EQ(255, WideToLatin1(back, utf16.c_str(), sizeof back, -1));
  EXPECT_EQ(latin1, std::string(back));
}

// Every string of one to three bytes, and every F0-F7 lead with three
// continuation bytes: forward decoding splits it into characters, walking
// back from its end finds the same split reversed, and where iconv accepts
// the string the characters are iconv's code points. (A string in which
// forward decoding takes a high byte on its own cannot be valid UTF-8, and a
// pure ASCII one is its own code points, so iconv sees only the rest.)
TEST(Utf8Char, ForwardAndBackwardSplitsAgreeOnEveryShortString) {
  IconvUtf8Reader peer;
  auto check = [&peer](const unsigned char* s, int len) {
    int fwdLen[4], bwdLen[4], nf = 0, nb = 0;
    DWORD fwdCp[4], bwdCp[4];
    bool single = false, ascii = true;
    unsigned char z[16] = {};
    std::memcpy(z + 4, s, len);  // four bytes of room before, terminator after
    for (int at = 0; at < len; ++nf) {
      DWORD cp;
      int n = Utf8CharLengthN(reinterpret_cast<const char*>(s + at), len - at);
      int m = Utf8DecodeChar(reinterpret_cast<const char*>(z + 4 + at), &cp);
      if (n != m) return testing::AssertionFailure() << "bounded length differs at " << at;
      if (n == 1 && cp >= 0x80) single = true;
      if (cp >= 0x80) ascii = false;
      fwdLen[nf] = n;
      fwdCp[nf] = cp;
      at += n;
    }
    for (int end = len; end > 0; ++nb) {
      DWORD cp;
      int n = Utf8DecodeCharBack(reinterpret_cast<const char*>(z + 4 + end), &cp);
      if (nb >= nf) return testing::AssertionFailure() << "backward split is longer";
      bwdLen[nf - 1 - nb] = n;
      bwdCp[nf - 1 - nb] = cp;
      end -= n;
      if (end < 0) return testing::AssertionFailure() << "walked past the start";
    }
    if (nb != nf) return testing::AssertionFailure() << "backward split is shorter";
    for (int k = 0; k < nf; ++k) {
      if (fwdLen[k] != bwdLen[k] || fwdCp[k] != bwdCp[k])
        return testing::AssertionFailure() << "splits differ at character " << k;
    }
    if (!single && !ascii) {
      uint32_t cps[16];
      int n = peer.Read(s, len, cps);
      if (n >= 0) {
        if (n != nf) return testing::AssertionFailure() << "iconv found " << n << " characters";
        for (int k = 0; k < n; ++k) {
          if (cps[k] != fwdCp[k]) return testing::AssertionFailure() << "iconv value " << cps[k];
        }
      }
    }
    return testing::AssertionSuccess();
  };
  unsigned char s[4];
  for (int a = 1; a < 256; ++a) {
    s[0] = static_cast<unsigned char>(a);
    ASSERT_TRUE(check(s, 1)) << a;
    for (int b = 1; b < 256; ++b) {
      s[1] = static_cast<unsigned char>(b);
      ASSERT_TRUE(check(s, 2)) << a << ' ' << b;
      for (int c = 1; c < 256; ++c) {
        s[2] = static_cast<unsigned char>(c);
        ASSERT_TRUE(check(s, 3)) << a << ' ' << b << ' ' << c;
      }
    }
  }
  for (int a = 0xF0; a <= 0xF7; ++a) {
    for (int x = 0; x < 64 * 64 * 64; ++x) {
      unsigned char t[4] = {static_cast<unsigned char>(a),
                            static_cast<unsigned char>(0x80 | (x >> 12)),
                            static_cast<unsigned char>(0x80 | ((x >> 6) & 63)),
                            static_cast<unsigned char>(0x80 | (x & 63))};
      ASSERT_TRUE(check(t, 4)) << a << ' ' << x;
    }
  }
}

TEST(Utf8Char, DecodesTheDocumentedExamples) {
  struct Case {
    const char* bytes;
    DWORD cp;
    int len;
  } cases[] = {
      {"\xC3\xA9", 0xE9, 2},  {"\xC3\x41", 0xC3, 1},         {"\x80", 0x80, 1},
      {"\xC0\x80", 0, 2},     {"\xE0\x80\x80", 0, 3},        {"\xED\xA0\x80", 0xD800, 3},
      {"\xF4\x90\x80\x80", 0x110000, 4}, {"\xF7\xBF\xBF\xBF", 0x1FFFFF, 4},
      {"\xF8\x88\x80\x80\x80", 0xF8, 1}, {"\xFF", 0xFF, 1}, {"\xE2\x82", 0xE2, 1},
      {"\xF0\x9F\x98", 0xF0, 1},
  };
  for (const Case& c : cases) {
    DWORD cp = 12345;
    EXPECT_EQ(c.len, Utf8DecodeChar(c.bytes, &cp)) << c.bytes;
    EXPECT_EQ(c.cp, cp) << c.bytes;
  }
}

TEST(Utf8Char, EncodesTheLowTwentyOneBitsWithTheLengthOfTheValue) {
  char buf[4];
  EXPECT_EQ(4, Utf8EncodeChar(buf, 0x1FFFFF));
  EXPECT_EQ(0, std::memcmp(buf, "\xF7\xBF\xBF\xBF", 4));
  EXPECT_EQ(4, Utf8EncodedLength(0x110000));
  EXPECT_EQ(4, Utf8EncodeChar(buf, 0x110000));
  EXPECT_EQ(0, std::memcmp(buf, "\xF4\x90\x80\x80", 4));
  EXPECT_EQ(3, Utf8EncodeChar(buf, 0xDC00));
  EXPECT_EQ(0, std::memcmp(buf, "\xED\xB0\x80", 3));
  EXPECT_EQ(1, Utf8EncodedLength(0x7F));
  EXPECT_EQ(2, Utf8EncodedLength(0x80));
  EXPECT_EQ(3, Utf8EncodedLength(0x800));
  EXPECT_EQ(4, Utf8EncodedLength(0x10000));
}

TEST(Utf8Char, BackwardReaderTakesASequenceOnlyWhenItEndsAtTheEnd) {
  struct Case {
    const char* bytes;  // the text; the reader starts at its end
    DWORD cp;
    int len;
  } cases[] = {
      {"a\xC3\xA9", 0xE9, 2},
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\xC3\xA9\xA9", 0xA9, 1},         // C3 A9 is complete before the last byte
      {"\xE2\x82\xAC\x80", 0x80, 1},     // one continuation too many
      {"\xF0\x80\x80\x80\x80", 0x80, 1}, // five bytes cannot be one sequence
      {"\xF0\x9F\x98\x80", 0x1F600, 4},
      {"\xE2\x82", 0x82, 1},             // E2 needs two continuations
      {"\x41", 0x41, 1},
  };
  for (const Case& c : cases) {
    std::string text = std::string(4, 'x') + c.bytes;
    DWORD cp = 0;
    EXPECT_EQ(c.len, Utf8DecodeCharBack(text.data() + text.size(), &cp)) << c.bytes;
    EXPECT_EQ(c.cp, cp) << c.bytes;
  }
}

TEST(Utf16Char, LoneSurrogatesDecodeToThemselves) {
  const wchar16 lone[] = {0xDC05, 0x41, 0};
  DWORD cp = 0;
  EXPECT_EQ(1, Utf16DecodeChar(lone, &cp));
  EXPECT_EQ(0xDC05u, cp);
  const wchar16 high[] = {0xD83D, 0x41, 0};
  EXPECT_EQ(1, Utf16DecodeChar(high, &cp));
  EXPECT_EQ(0xD83Du, cp);
  EXPECT_EQ(1, Utf16DecodeCharBack(high + 1, &cp));
  EXPECT_EQ(0xD83Du, cp);
  // A unit before a low surrogate joins it only when it is a high surrogate.
  const wchar16 notPair[] = {0x41, 0xDC00, 0};
  EXPECT_EQ(1, Utf16DecodeCharBack(notPair + 2, &cp));
  EXPECT_EQ(0xDC00u, cp);
  const wchar16 pair[] = {0xD83D, 0xDE00, 0};
  EXPECT_EQ(2, Utf16DecodeCharBack(pair + 2, &cp));
  EXPECT_EQ(0x1F600u, cp);
  EXPECT_EQ(2, Utf16CharLength(pair));
  EXPECT_EQ(1, Utf16CharLengthN(pair, 1));
  EXPECT_EQ(0, Utf16CharLengthN(pair, 0));
  EXPECT_EQ(1, Utf16CharLength(notPair + 1));
}

TEST(Utf16Char, ValuesAboveTheRangeBecomeOneReplacementUnit) {
  for (DWORD cp : {0x110000u, 0x1FFFFFu, 0xFFFFFFFFu}) {
    wchar16 buf[2] = {1, 1};
    EXPECT_EQ(1, Utf16EncodedLength(cp));
    EXPECT_EQ(1, Utf16EncodeChar(buf, cp));
    EXPECT_EQ(0xFFFD, buf[0]);
    EXPECT_EQ(1, buf[1]);
  }
  wchar16 buf[2];
  EXPECT_EQ(2, Utf16EncodeChar(buf, 0x1F600));
  EXPECT_EQ(0xD83D, buf[0]);
  EXPECT_EQ(0xDE00, buf[1]);
  EXPECT_EQ(1, Utf16EncodedLength(0xFFFF));
  EXPECT_EQ(2, Utf16EncodedLength(0x10000));
  wchar16 out[8];
  EXPECT_EQ(3, Utf8ToWideZ(out, "a\xF4\x90\x80\x80z", 8));
  EXPECT_EQ(std::u16string(u"a\xFFFDz"), std::u16string(out));
}

TEST(Utf8ToWide, StopsAtADecodedZeroAndKeepsRoomForAPair) {
  wchar16 out[16];
  EXPECT_EQ(2, Utf8ToWide(out, "ab\xC0\x80zz", 16, 6));
  EXPECT_EQ(std::u16string(u"ab"), std::u16string(out));
  EXPECT_EQ(1, Utf8ToWide(out, "a\0b", 16, 3));
  // dstSize 3 holds one unit; a pair needs dstSize 4.
  EXPECT_EQ(1, Utf8ToWideZ(out, "abc", 3));
  EXPECT_EQ(0, Utf8ToWideZ(out, "\xF0\x9F\x98\x80", 3));
  EXPECT_EQ(0, out[0]);
  EXPECT_EQ(2, Utf8ToWideZ(out, "\xF0\x9F\x98\x80", 4));
  EXPECT_EQ(0xD83D, out[0]);
  EXPECT_EQ(0xDE00, out[1]);
  EXPECT_EQ(0, out[2]);
  // A sequence cut by srcLen decodes as single bytes.
  EXPECT_EQ(2, Utf8ToWide(out, "a\xC3\xA9", 16, 2));
  EXPECT_EQ(std::u16string(u"a\xC3"), std::u16string(out));
  EXPECT_EQ(2, Utf8ToWide(out, "\xE2\x82\xAC", 16, 2));
  EXPECT_EQ(std::u16string(u"\xE2\x82"), std::u16string(out));
}

TEST(TextConverters, WriteAnEmptyTextWheneverThereIsRoomForOne) {
  const wchar16 wide[] = u"\x20AC" u"abc";
  for (int dstSize = 0; dstSize <= 5; ++dstSize) {
    char guard8[8];
    wchar16 guard16[8];
    auto reset = [&] {
      std::memset(guard8, 'G', sizeof guard8);
      for (wchar16& u : guard16) u = 0x4747;
    };
    auto empty8 = [&](int result) {
      EXPECT_EQ(0, result) << dstSize;
      EXPECT_EQ(dstSize >= 1 ? 0 : 'G', guard8[0]) << dstSize;
      for (int k = dstSize; k < 8; ++k) EXPECT_EQ('G', guard8[k]) << dstSize;
    };
    int count = 7;
    if (dstSize <= 4) {
      reset();
      empty8(Latin1ToUtf8(guard8, "abc", dstSize));
      reset();
      empty8(WideToUtf8(guard8, wide, dstSize));
      reset();
      empty8(WideToUtf8NCount(guard8, wide, dstSize, &count, -1));
      EXPECT_EQ(0, count);
      count = 7;
      reset();
      empty8(Latin1ToUtf8Count(guard8, "abc", dstSize, &count));
      EXPECT_EQ(0, count);
    }
    if (dstSize <= 1) {
      reset();
      empty8(Utf8ToLatin1(guard8, "abc", dstSize));
      reset();
      empty8(WideToLatin1(guard8, wide, dstSize, -1));
      reset();
      int r = Latin1ToWide(guard16, "abc", dstSize, -1);
      EXPECT_EQ(0, r);
      EXPECT_EQ(dstSize >= 1 ? 0 : 0x4747, guard16[0]);
      EXPECT_EQ(0x4747, guard16[1]);
    }
    if (dstSize <= 2) {
      reset();
      EXPECT_EQ(0, Utf8ToWideZ(guard16, "abc", dstSize));
      EXPECT_EQ(dstSize >= 1 ? 0 : 0x4747, guard16[0]);
      for (int k = std::max(dstSize, 1); k < 8; ++k) EXPECT_EQ(0x4747, guard16[k]);
    }
  }
  char out[8];
  EXPECT_EQ(1, Latin1ToUtf8(out, "abc", 5));  // one character below dstSize-4
  EXPECT_STREQ("a", out);
  EXPECT_EQ(3, WideToUtf8(out, u"\x20AC" u"abc", 5));
  EXPECT_STREQ("\xE2\x82\xAC", out);
}

TEST(TextConverters, NegativeSourceLengthMeansUpToTheTerminator) {
  char out8[32];
  wchar16 out16[32];
  EXPECT_EQ(4, Latin1ToUtf8N(out8, "ab\xE9", 32, -1));
  EXPECT_STREQ("ab\xC3\xA9", out8);
  EXPECT_EQ(3, WideToUtf8N(out8, u"\x20AC", 32, -5));
  EXPECT_EQ(2, Utf8ToWide(out16, "\xC3\xA9z", 32, -1));
  EXPECT_EQ(std::u16string(u"\xE9z"), std::u16string(out16));
  EXPECT_EQ(2, Utf8ToLatin1N(out8, "\xC3\xA9z", 32, -1));
  EXPECT_STREQ("\xE9z", out8);
  EXPECT_EQ(2, WideToLatin1(out8, u"\x20AC\xE9", 32, -1));
  EXPECT_STREQ("\xFF\xE9", out8);
  EXPECT_EQ(2, Latin1ToWide(out16, "\xFF\x01", 32, -1));
  EXPECT_EQ(std::u16string(u"\xFF\x01"), std::u16string(out16));
}

TEST(TextConverters, CharactersAboveLatin1BecomeFF) {
  char out[16];
  EXPECT_EQ(1, WideToLatin1(out, u"\x20AC", 16, -1));
  EXPECT_STREQ("\xFF", out);
  // A pair is one character; a pair cut by srcLen leaves its high half.
  EXPECT_EQ(2, WideToLatin1(out, u"\xD83D\xDE00x", 16, -1));
  EXPECT_STREQ("\xFFx", out);
  EXPECT_EQ(1, WideToLatin1(out, u"\xD83D\xDE00x", 16, 1));
  EXPECT_EQ(3, Utf8ToLatin1(out, "\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9", 16));
  EXPECT_STREQ("\xFF\xFF\xE9", out);
  EXPECT_EQ(2, Utf8ToLatin1(out, "abc", 3));
  EXPECT_STREQ("ab", out);
}

TEST(WideToUtf8, EncodesPairsWholeAndLoneSurrogatesByThemselves) {
  char out[32];
  EXPECT_EQ(4, WideToUtf8(out, u"\xD83D\xDE00", 32));
  EXPECT_STREQ("\xF0\x9F\x98\x80", out);
  const wchar16 lone[] = {0xD800, 0x41, 0xDFFF, 0};
  EXPECT_EQ(7, WideToUtf8(out, lone, 32));
  EXPECT_STREQ("\xED\xA0\x80" "A" "\xED\xBF\xBF", out);
  // srcLen cuts the pair: the high half is encoded alone.
  int count = 0;
  EXPECT_EQ(3, WideToUtf8NCount(out, u"\xD83D\xDE00", 32, &count, 1));
  EXPECT_STREQ("\xED\xA0\xBD", out);
  EXPECT_EQ(1, count);
  EXPECT_EQ(4, WideToUtf8NCount(out, u"\xD83D\xDE00", 32, &count, 2));
  EXPECT_EQ(1, count);
}

// Lone surrogates at the start, in the middle, at the end and cut off by
// srcLen survive WideToUtf8 then Utf8ToWide, also inside runs long enough for
// the vector blocks.
TEST_P(BothPaths, LoneSurrogatesSurviveTheRoundTrip) {
  const std::u16string runs[] = {u"", u"ab", u"0123456789abcdefghijklmnopqrstuv",
                                 u"\x4E00\x4E01\x4E02\x4E03\x4E04\x4E05\x4E06\x4E07\x4E08\x4E09"
                                 u"\x0416\x0417\x0418\x0419\x041A"};
  std::vector<char> utf8(400);
  std::vector<wchar16> back(400);
  for (unsigned u = 0xD800; u <= 0xDFFF; ++u) {
    for (const auto& run : runs) {
      std::u16string texts[] = {std::u16string(1, static_cast<char16_t>(u)) + run,
                                run + static_cast<char16_t>(u) + run,
                                run + static_cast<char16_t>(u)};
      for (const auto& text : texts) {
        int n8 = WideToUtf8N(utf8.data(), text.data(), 400, static_cast<int>(text.size()));
        int n16 = Utf8ToWide(back.data(), utf8.data(), 400, n8);
        ASSERT_EQ(text, std::u16string(back.data(), n16)) << std::hex << u;
      }
    }
    // A pair cut by srcLen.
    std::u16string pair = u"ab";
    pair += static_cast<char16_t>(0xD800 | (u & 0x3FF));
    pair += static_cast<char16_t>(0xDC00 | (u & 0x3FF));
    int n8 = WideToUtf8N(utf8.data(), pair.data(), 400, 3);
    int n16 = Utf8ToWide(back.data(), utf8.data(), 400, n8);
    ASSERT_EQ(pair.substr(0, 3), std::u16string(back.data(), n16));
  }
}

namespace {

// A mixed valid text: runs of ASCII, Latin-1 letters, Cyrillic, CJK and
// emoji, long enough for several vector blocks of each kind.
std::vector<uint32_t> MixedText(unsigned seed, int chars) {
  std::mt19937 rng(seed);
  const uint32_t pools[][2] = {{0x20, 0x7E}, {0xC0, 0xFF}, {0x410, 0x44F}, {0x4E00, 0x9FFF},
                               {0x3041, 0x3096}, {0x1F600, 0x1F64F}, {0x10000, 0x10FFFF}};
  std::vector<uint32_t> cps;
  while (static_cast<int>(cps.size()) < chars) {
    const auto& pool = pools[rng() % 7];
    int run = 1 + static_cast<int>(rng() % 24);
    for (int k = 0; k < run; ++k) cps.push_back(pool[0] + rng() % (pool[1] - pool[0] + 1));
  }
  cps.resize(chars);
  return cps;
}

}  // namespace

// Every converter at every dstSize up to five past what the whole text needs:
// nothing is written at or past dstSize, the output is terminated and is
// exactly the prefix of whole characters that the room rule allows.
TEST_P(BothPaths, EachDestinationSizeGetsExactlyThePrefixTheRoomRuleAllows) {
  std::vector<uint32_t> cps = MixedText(7, 300);
  std::vector<std::string> u8chars;
  std::vector<std::u16string> u16chars;
  for (uint32_t cp : cps) {
    u8chars.push_back(IconvUtf8({cp}));
    u16chars.push_back(IconvUtf16({cp}));
  }
  std::string utf8 = IconvUtf8(cps);
  std::u16string utf16 = IconvUtf16(cps);
  auto src8 = Exact(utf8.data(), utf8.size());
  auto src16 = Exact(utf16.data(), utf16.size());
  const int n8 = static_cast<int>(utf8.size()), n16 = static_cast<int>(utf16.size());
  const int kGuard = 8;

  // UTF-8 writers: a character is written while the position is below dstSize-4.
  for (int dstSize = 0; dstSize <= n8 + 5; ++dstSize) {
    std::string want;
    int chars = 0;
    for (const auto& c : u8chars) {
      if (static_cast<int>(want.size()) >= dstSize - 4) break;
      want += c;
      ++chars;
    }
    std::vector<char> dst(dstSize + kGuard, 'G');
    int count = -1;
    int r = WideToUtf8NCount(dst.data(), src16.get(), dstSize, &count, n16);
    ASSERT_EQ(static_cast<int>(want.size()), r) << dstSize;
    ASSERT_EQ(dstSize >= 1 ? chars : 0, count) << dstSize;
    ASSERT_EQ(want, std::string(dst.data(), r)) << dstSize;
    if (dstSize >= 1) { ASSERT_EQ(0, dst[r]); }
    for (int k = std::max(dstSize, r + 1); k < dstSize + kGuard; ++k) ASSERT_EQ('G', dst[k]);
    if (dstSize < 1) { ASSERT_EQ('G', dst[0]); }
  }

  // Utf8ToWide: the output stays within dstSize-2 units.
  for (int dstSize = 0; dstSize <= n16 + 5; ++dstSize) {
    std::u16string want;
    for (const auto& c : u16chars) {
      if (static_cast<int>(want.size() + c.size()) > dstSize - 2) break;
      want += c;
    }
    std::vector<wchar16> dst(dstSize + kGuard, 0x4747);
    int r = Utf8ToWide(dst.data(), src8.get(), dstSize, n8);
    ASSERT_EQ(static_cast<int>(want.size()), r) << dstSize;
    ASSERT_EQ(want, std::u16string(dst.data(), r)) << dstSize;
    if (dstSize >= 1) { ASSERT_EQ(0, dst[r]); }
    for (int k = std::max(dstSize, r + 1); k < dstSize + kGuard; ++k) ASSERT_EQ(0x4747, dst[k]);
    if (dstSize < 1) { ASSERT_EQ(0x4747, dst[0]); }
  }

  // Latin-1 targets and sources: dstSize-1 characters.
  std::string latin1;
  for (uint32_t cp : cps) latin1 += static_cast<char>(cp > 0xFF ? 0xFF : cp == 0 ? 1 : cp);
  std::u16string widened;
  for (unsigned char c : latin1) widened += static_cast<char16_t>(c);
  std::string latin1Utf8 = IconvConvert("UTF-8", "ISO-8859-1", latin1.data(), latin1.size()).value();
  auto srcL = Exact(latin1.data(), latin1.size());
  const int nL = static_cast<int>(latin1.size());
  for (int dstSize = 0; dstSize <= nL + 5; ++dstSize) {
    int want = std::max(0, std::min(nL, dstSize - 1));
    std::vector<char> dst(dstSize + kGuard, 'G');
    int r = Utf8ToLatin1N(dst.data(), src8.get(), dstSize, n8);
    ASSERT_EQ(want, r);
    ASSERT_EQ(latin1.substr(0, want), std::string(dst.data(), r));
    if (dstSize >= 1) { ASSERT_EQ(0, dst[r]); }
    for (int k = std::max(dstSize, r + 1); k < dstSize + kGuard; ++k) ASSERT_EQ('G', dst[k]);

    std::fill(dst.begin(), dst.end(), 'G');
    r = WideToLatin1(dst.data(), src16.get(), dstSize, n16);
    ASSERT_EQ(want, r);
    ASSERT_EQ(latin1.substr(0, want), std::string(dst.data(), r));
    for (int k = std::max(dstSize, r + 1); k < dstSize + kGuard; ++k) ASSERT_EQ('G', dst[k]);

    std::vector<wchar16> dst16(dstSize + kGuard, 0x4747);
    r = Latin1ToWide(dst16.data(), srcL.get(), dstSize, nL);
    ASSERT_EQ(want, r);
    ASSERT_EQ(widened.substr(0, want), std::u16string(dst16.data(), r));
    for (int k = std::max(dstSize, r + 1); k < dstSize + kGuard; ++k) ASSERT_EQ(0x4747, dst16[k]);
  }
  const int nLU = static_cast<int>(latin1Utf8.size());
  for (int dstSize = 0; dstSize <= nLU + 5; ++dstSize) {
    int pos = 0, chars = 0;
    for (unsigned char c : latin1) {
      if (pos >= dstSize - 4) break;
      pos += c < 0x80 ? 1 : 2;
      ++chars;
    }
    std::vector<char> dst(dstSize + kGuard, 'G');
    int count = -1;
    int r = Latin1ToUtf8NCount(dst.data(), srcL.get(), dstSize, &count, nL);
    ASSERT_EQ(pos, r);
    ASSERT_EQ(dstSize >= 1 ? chars : 0, count);
    ASSERT_EQ(latin1Utf8.substr(0, pos), std::string(dst.data(), r));
    for (int k = std::max(dstSize, r + 1); k < dstSize + kGuard; ++k) ASSERT_EQ('G', dst[k]);
  }
}

namespace {

// The lenient decoding rule written out on its own: a lead announces its
// length, the sequence is taken when all its continuation bytes are there
// (within len), else the lead stands for itself.
std::u16string ReferenceUtf8ToWide(const unsigned char* s, int len) {
  std::u16string out;
  for (int i = 0; i < len;) {
    unsigned b = s[i];
    int need = b >= 0xF8 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    uint32_t cp = b;
    if (need > 1) {
      uint32_t v = b & (0x7F >> need);
      int k = 1;
      for (; k < need && i + k < len && (s[i + k] & 0xC0) == 0x80; ++k) v = v << 6 | (s[i + k] & 0x3F);
      if (k == need) cp = v; else need = 1;
    }
    if (cp == 0) break;
    if (cp > 0x10FFFF) {
      out += u'\xFFFD';
    } else if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += need;
  }
  return out;
}

}  // namespace

// Random bytes shaped like UTF-8 (runs of valid characters with stray,
// missing and extra continuation bytes, overlong forms and zeros mixed in)
// decode as the reference rule says, and the wide text survives the way back.
TEST_P(BothPaths, DamagedUtf8DecodesByTheLenientRule) {
  std::mt19937 rng(11);
  const unsigned char pieces[][4] = {
      {'a'}, {' '}, {0xD0, 0x96}, {0xE4, 0xB8, 0x80}, {0xF0, 0x9F, 0x98, 0x80},
      // damage: stray, missing and cut sequences, overlong and out-of-range forms, zeros
      {0x80}, {0xC3}, {0xE2, 0x82}, {0xC0, 0x80}, {0xF8}, {0xED, 0xA0, 0x80}, {0},
      {0xF4, 0x90, 0x80, 0x80}, {0xF0, 0x8F, 0xBF, 0xBF}, {0xF5, 0x80, 0x80, 0x80},
      {0xE0, 0x80, 0x80}, {0xC1, 0xBF}, {0xF0, 0x80, 0x80, 0x80}, {0xF0, 0x9F, 0x98}};
  const int pieceLen[] = {1, 1, 2, 3, 4, 1, 1, 2, 2, 1, 3, 1, 4, 4, 4, 3, 2, 4, 3};
  const int kPieces = 19;
  for (int round = 0; round < 4000; ++round) {
    std::vector<unsigned char> text;
    int len = static_cast<int>(rng() % 400);
    // Runs of one kind, as real text has, so that whole vector chunks occur.
    while (static_cast<int>(text.size()) < len) {
      int p = static_cast<int>(rng() % 5);
      int run = 1 + static_cast<int>(rng() % 40);
      for (int k = 0; k < run; ++k) text.insert(text.end(), pieces[p], pieces[p] + pieceLen[p]);
      if (rng() % 3 == 0) {
        int d = 5 + static_cast<int>(rng() % (kPieces - 5));
        text.insert(text.end(), pieces[d], pieces[d] + pieceLen[d]);
      }
    }
    auto src = Exact(text.data(), text.size());
    const int n = static_cast<int>(text.size());
    std::u16string want = ReferenceUtf8ToWide(src.get(), n);
    std::vector<wchar16> dst(want.size() + 3);
    int r = Utf8ToWide(dst.data(), reinterpret_cast<const char*>(src.get()), static_cast<int>(dst.size()), n);
    ASSERT_EQ(want, std::u16string(dst.data(), r)) << round;
    std::vector<char> utf8(want.size() * 3 + 5);
    int n8 = WideToUtf8N(utf8.data(), want.data(), static_cast<int>(utf8.size()),
                         static_cast<int>(want.size()));
    std::vector<wchar16> back(want.size() + 3);
    int r2 = Utf8ToWide(back.data(), utf8.data(), static_cast<int>(back.size()), n8);
    ASSERT_EQ(want, std::u16string(back.data(), r2)) << round;
  }
}

namespace {

// `total` bytes of address space that repeat one shared block of `window`
// bytes (one memory file mapped again and again), so that texts of about
// INT_MAX units cost only the block's memory. Writes land in the block too.
class RepeatedBlock {
 public:
  RepeatedBlock(size_t total, size_t window) : size_((total + window - 1) / window * window) {
    fd_ = memfd_create("repeated-block", 0);
    if (fd_ < 0 || ftruncate(fd_, static_cast<off_t>(window)) != 0) return;
    void* base = mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return;
    base_ = static_cast<unsigned char*>(base);
    for (size_t at = 0; at < size_; at += window) {
      if (mmap(base_ + at, window, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED | MAP_POPULATE, fd_, 0) ==
          MAP_FAILED) {
        munmap(base_, size_);
        base_ = nullptr;
        return;
      }
    }
  }
  ~RepeatedBlock() {
    if (base_) munmap(base_, size_);
    if (fd_ >= 0) close(fd_);
  }
  RepeatedBlock(const RepeatedBlock&) = delete;
  RepeatedBlock& operator=(const RepeatedBlock&) = delete;

  template <class T>
  T* as() const {
    return reinterpret_cast<T*>(base_);
  }
  bool ok() const { return base_ != nullptr; }

 private:
  size_t size_;
  int fd_ = -1;
  unsigned char* base_ = nullptr;
};

}  // namespace

// Texts of INT_MAX units with room for nearly all of them: the converters
// walk right up to INT_MAX without their position arithmetic overflowing
// (the sanitizer build reports any signed overflow) and stop at the room
// rule's bound. The vector blocks do the bulk and hand the last units to the
// character loops, so both are checked near the limit.
TEST(TextConverters, SourcesOfIntMaxUnitsConvertUpToTheRoomBound) {
  const size_t kWindow = size_t{16} << 20;
  const size_t n = static_cast<size_t>(INT_MAX);
  RepeatedBlock narrow(n, kWindow), wide(n * 2, kWindow), out8(n, kWindow), out16(n * 2, kWindow);
  if (!narrow.ok() || !wide.ok() || !out8.ok() || !out16.ok()) GTEST_SKIP() << "no room for the mappings";
  std::memset(narrow.as<char>(), 'a', kWindow);
  std::fill(wide.as<wchar16>(), wide.as<wchar16>() + kWindow / 2, u'a');
  // UTF-8 writers: characters while the position is below dstSize-4.
  EXPECT_EQ(INT_MAX - 4, WideToUtf8N(out8.as<char>(), wide.as<wchar16>(), INT_MAX, INT_MAX));
  EXPECT_EQ(0, out8.as<char>()[INT_MAX - 4]);
  EXPECT_EQ('a', out8.as<char>()[INT_MAX - 5]);
  // Utf8ToWide: output within dstSize-2 units.
  EXPECT_EQ(INT_MAX - 2, Utf8ToWide(out16.as<wchar16>(), narrow.as<char>(), INT_MAX, INT_MAX));
  EXPECT_EQ(0, out16.as<wchar16>()[INT_MAX - 2]);
  EXPECT_EQ(u'a', out16.as<wchar16>()[INT_MAX - 3]);
}

// Texts that end at an unreadable page, converted with a srcLen far beyond
// them: a terminated one is read up to its 0 and no further, an unterminated
// one no further than the destination's room needs, on every path.
TEST_P(BothPaths, ConvertersReadNothingPastTheTerminatorOrTheRoomWhateverSrcLenSays) {
  const std::string texts[] = {"", "abc", std::string(100, 'x'), std::string(70, 'y') + "\xD0\x96\xE4\xB8\x80",
                               "\xC3\xA9\xF0\x9F\x98\x80" + std::string(90, 'z')};
  for (const std::string& text : texts) {
    const int n = static_cast<int>(text.size());
    zelvaro_test::GuardedText<char> src(text, true);
    const std::u16string want = ReferenceUtf8ToWide(reinterpret_cast<const unsigned char*>(text.data()), n);
    zelvaro_test::GuardedText<char16_t> wide(want, true);
    std::string utf8 = IconvConvert("UTF-8", "UTF-16LE", want.data(), want.size() * 2).value();
    std::string latin1;  // one byte per character, 0xFF above 255
    for (size_t k = 0; k < want.size(); ++k) {
      if (want[k] >= 0xD800 && want[k] <= 0xDBFF) ++k;
      latin1 += static_cast<char>(want[k] > 0xFF ? 0xFF : want[k]);
    }
    std::vector<wchar16> dst16(400, 0x4747);
    std::vector<char> dst8(400, 'G');
    for (int srcLen : {n + 1, n + 200, INT_MAX}) {
      int r = Utf8ToWide(dst16.data(), src.get(), 400, srcLen);
      ASSERT_EQ(want, std::u16string(dst16.data(), r)) << n << ' ' << srcLen;
      r = WideToUtf8N(dst8.data(), wide.get(), 400, srcLen);
      ASSERT_EQ(utf8, std::string(dst8.data(), r)) << n << ' ' << srcLen;
      r = Latin1ToUtf8N(dst8.data(), src.get(), 400, srcLen);
      ASSERT_EQ(IconvConvert("UTF-8", "ISO-8859-1", text.data(), text.size()).value(),
                std::string(dst8.data(), r));
      r = Utf8ToLatin1N(dst8.data(), src.get(), 400, srcLen);
      ASSERT_EQ(latin1, std::string(dst8.data(), r)) << n << ' ' << srcLen;
    }
  }
  // No terminator at all: a conversion into a small destination stops
  // within the units its room can take.
  const std::u16string longWide(300, u'w');
  zelvaro_test::GuardedText<char16_t> open16(longWide, false);
  zelvaro_test::GuardedText<char> open8(std::string(300, 'w'), false);
  for (int dstSize : {1, 5, 40, 75}) {
    std::vector<char> dst8(dstSize, 'G');
    std::vector<wchar16> dst16(dstSize, 0x4747);
    const int room8 = std::max(0, dstSize - 4), room16 = std::max(0, dstSize - 2);
    EXPECT_EQ(room8, WideToUtf8N(dst8.data(), open16.get(), dstSize, INT_MAX)) << dstSize;
    EXPECT_EQ(room8, Latin1ToUtf8N(dst8.data(), open8.get(), dstSize, INT_MAX)) << dstSize;
    EXPECT_EQ(room16, Utf8ToWide(dst16.data(), open8.get(), dstSize, INT_MAX)) << dstSize;
    EXPECT_EQ(dstSize - 1, Utf8ToLatin1N(dst8.data(), open8.get(), dstSize, INT_MAX)) << dstSize;
  }
}
