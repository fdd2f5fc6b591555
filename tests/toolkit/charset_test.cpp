// Character sets, checked against strspn/strcspn and hand-made bit layouts.
#include "toolkit/charset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

TEST(CharSetBuild, SetsBitChOfWordChShiftedFive) {
  CharSet set;
  set.fill(0xFFFFFFFF);
  CharSetBuild(set, "A\x01\xFF", 0);
  const CharSet want = {0x00000002, 0, 0x00000002, 0, 0, 0, 0, 0x80000000};
  EXPECT_EQ(want, set);
  CharSetBuild(set, "a", CHARSET_KEEP);
  EXPECT_EQ(want[3] | 0x2u, set[3]);
  EXPECT_EQ(want[2], set[2]);
  CharSetBuild(set, "A\xFF", CHARSET_KEEP | CHARSET_REMOVE);
  const CharSet left = {0x00000002, 0, 0, 0x00000002, 0, 0, 0, 0};
  EXPECT_EQ(left, set);
  // Without CHARSET_KEEP, removing starts from an empty set.
  CharSetBuild(set, "a", CHARSET_REMOVE);
  EXPECT_EQ(CharSet{}, set);
}

TEST(CharSetBuild, WideCharactersAboveLatin1ShareBit255) {
  CharSet set;
  CharSetBuildW(set, u"\x4E00", 0);
  const CharSet want = {0, 0, 0, 0, 0, 0, 0, 0x80000000};
  EXPECT_EQ(want, set);
  EXPECT_EQ(2, CharSetSpanW(u"\x4E01\xFF" u"a", set));
  EXPECT_EQ(0, CharSetSpanW(u"\xFE", set));
  CharSetBuildW(set, u"\x20AC", CHARSET_KEEP | CHARSET_REMOVE);
  EXPECT_EQ(CharSet{}, set);
}

namespace {

CharSet SetOf(const std::string& chars) {
  CharSet set{};
  for (unsigned char c : chars) set[c >> 5] |= 1u << (c & 31);
  return set;
}

}  // namespace

// Random texts and sets: the spans agree with strspn/strcspn at every bound,
// with the terminator inside and beyond the bound, with and without bit 0.
TEST(CharSetSpan, AgreesWithStrspnAndStrcspnAtEveryBound) {
  std::mt19937 rng(5);
  const char alphabet[] = "ab c\t\xE9\xFF,;";
  for (int round = 0; round < 500; ++round) {
    std::string text;
    int len = static_cast<int>(rng() % 12);
    for (int k = 0; k < len; ++k) text += alphabet[rng() % (sizeof alphabet - 1)];
    std::string chars;
    for (int k = static_cast<int>(rng() % 4); k > 0; --k) chars += alphabet[rng() % (sizeof alphabet - 1)];
    CharSet set = SetOf(chars);
    const bool withNul = rng() % 2;
    if (withNul) set[0] |= 1;
    // The text sits in a buffer that goes on past its terminator with a
    // member of the set (or 'z' when the set is empty).
    std::string buf = text + '\0' + (chars.empty() ? std::string("z") : chars.substr(0, 1)) + "zz";
    const char* t = buf.c_str();
    const int span = static_cast<int>(std::strspn(t, chars.c_str()));
    const int brk = static_cast<int>(std::strcspn(t, chars.c_str()));
    const int n = static_cast<int>(text.size());
    EXPECT_EQ(span, CharSetSpan(t, set));
    EXPECT_EQ(brk, CharSetBreak(t, set));
    EXPECT_EQ(brk < n ? brk + 1 : n, CharSetFindEnd(t, set));
    std::u16string wide(buf.begin(), buf.end());
    for (size_t k = 0; k < buf.size(); ++k) wide[k] = static_cast<unsigned char>(buf[k]);
    EXPECT_EQ(span, CharSetSpanW(wide.c_str(), set));
    EXPECT_EQ(brk, CharSetBreakW(wide.c_str(), set));
    for (int maxLen = -1; maxLen <= n + 3; ++maxLen) {
      const int bound = std::max(maxLen, 0);
      EXPECT_EQ(std::min(span, bound), CharSetSpanN(t, set, maxLen));
      EXPECT_EQ(std::min(brk, bound), CharSetBreakN(t, set, maxLen));
      EXPECT_EQ(brk < bound ? (brk < n ? brk + 1 : n) : bound, CharSetFindEndN(t, set, maxLen));
      EXPECT_EQ(std::min(span, bound), CharSetSpanNW(wide.c_str(), set, maxLen));
      EXPECT_EQ(std::min(brk, bound), CharSetBreakNW(wide.c_str(), set, maxLen));
      EXPECT_EQ(brk < bound ? (brk < n ? brk + 1 : n) : bound, CharSetFindEndNW(wide.c_str(), set, maxLen));
      // BreakMem: the terminator is a member only through bit 0.
      const std::string ref = withNul ? chars + std::string(1, '\0') : chars;
      int mem = 0;
      while (mem < bound && ref.find(buf[mem]) == std::string::npos) ++mem;
      EXPECT_EQ(mem, CharSetBreakMemN(t, set, maxLen));
      EXPECT_EQ(mem, CharSetBreakMemNW(wide.c_str(), set, maxLen));
      if (maxLen == n + 3 && (!chars.empty() || withNul)) {
        int all = 0;
        while (ref.find(buf[all]) == std::string::npos) ++all;
        {
          EXPECT_EQ(all, CharSetBreakMem(t, set));
          EXPECT_EQ(all, CharSetBreakMemW(wide.c_str(), set));
        }
      }
      // Backwards from the end of the text, the terminator not involved.
      if (maxLen <= n) {
        const char* end = t + n;
        int back = 0, backIn = 0;
        while (back < bound && chars.find(end[-1 - back]) == std::string::npos) ++back;
        while (backIn < bound && chars.find(end[-1 - backIn]) != std::string::npos) ++backIn;
        EXPECT_EQ(back, CharSetBreakBackN(end, set, maxLen));
        EXPECT_EQ(backIn, CharSetSpanBackN(end, set, maxLen));
        EXPECT_EQ(back, CharSetBreakBackNW(wide.c_str() + n, set, maxLen));
        EXPECT_EQ(backIn, CharSetSpanBackNW(wide.c_str() + n, set, maxLen));
      }
    }
  }
}

TEST(CharSetSpan, TerminatorStopsEvenWhenBitZeroIsSet) {
  CharSet set{};
  CharSetBuild(set, "ab", 0);
  set[0] |= 1;
  const char text[] = "ab\0ab";
  EXPECT_EQ(2, CharSetSpan(text, set));
  EXPECT_EQ(2, CharSetSpanN(text, set, 5));
  EXPECT_EQ(2, CharSetBreakMemN("xy\0ab", set, 5));
  CharSet noNul{};
  CharSetBuild(noNul, "q", 0);
  EXPECT_EQ(5, CharSetBreakMemN("xy\0ab", noNul, 5));
  EXPECT_EQ(2, CharSetFindEnd("xy", noNul));
  EXPECT_EQ(3, CharSetFindEnd("xyq", noNul));
  EXPECT_EQ(0, CharSetSpanN("aaa", set, 0));
  const char aaa[] = "aaa";
  EXPECT_EQ(0, CharSetBreakBackN(aaa + 3, noNul, -4));
}

TEST(CharSetSpan, WideSetWithBit255SpansEveryCharacterAbove255) {
  CharSet set{};
  set[7] = 0x80000000;
  EXPECT_EQ(3, CharSetSpanW(u"\x4E00\xD83D\xDE00" u"a", set));
  EXPECT_EQ(4, CharSetSpanW(u"\x4E00\xD83D\xDE00\xFF" u"a", set));
  EXPECT_EQ(1, CharSetBreakW(u"a\x20AC", set));
  EXPECT_EQ(2, CharSetFindEndW(u"a\x20AC" u"b", set));
  const char16_t back[] = u"a\x20AC\x20AC";
  EXPECT_EQ(2, CharSetSpanBackNW(back + 3, set, 3));
}

// Walking backwards the terminator is an ordinary character: a member only
// through bit 0, and never a stop by itself.
TEST(CharSetSpan, BackwardFormsTreatTheTerminatorAsOrdinary) {
  CharSet letters{}, withNul{};
  CharSetBuild(letters, "ab", 0);
  withNul = letters;
  withNul[0] |= 1;
  const char text[] = "xa\0b\0b";  // seven bytes, the last one the terminator
  const char16_t wide[] = u"xa\0b\0b";
  struct Case {
    const CharSet* set;
    bool span;  // SpanBackN, else BreakBackN
    int maxLen;
    int want;
  } cases[] = {
      {&letters, true, 6, 1},   // b, then the 0 stops the span
      {&withNul, true, 6, 5},   // b 0 b 0 a, then x
      {&withNul, true, 3, 3},   // bounded
      {&letters, false, 6, 0},  // b is a member at once
      {&withNul, false, 6, 0},
  };
  for (const Case& c : cases) {
    const int got = c.span ? CharSetSpanBackN(text + 6, *c.set, c.maxLen)
                           : CharSetBreakBackN(text + 6, *c.set, c.maxLen);
    const int gotW = c.span ? CharSetSpanBackNW(wide + 6, *c.set, c.maxLen)
                            : CharSetBreakBackNW(wide + 6, *c.set, c.maxLen);
    EXPECT_EQ(c.want, got) << c.span << ' ' << c.maxLen;
    EXPECT_EQ(c.want, gotW) << c.span << ' ' << c.maxLen;
  }
  // From before the last b: the terminators are passed like any other byte.
  CharSet x{};
  CharSetBuild(x, "x", 0);
  EXPECT_EQ(4, CharSetBreakBackN(text + 5, x, 9));  // 0 b 0 a, then x
  EXPECT_EQ(4, CharSetBreakBackNW(wide + 5, x, 9));
  EXPECT_EQ(1, CharSetBreakBackN(text + 5, letters, 9));  // the 0 before end
  EXPECT_EQ(0, CharSetBreakBackN(text + 5, withNul, 9));
}
