#include "toolkit/charsearch.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "guard_page.h"
#include "toolkit/charclass.h"

namespace {

using zelvaro_test::GuardedBuffer;

// --- plain searches against glibc --------------------------------------------

std::string RandomText(std::mt19937& rng, size_t len) {
  const char kAlphabet[] = "ab=;\\ \xe9\xff\x80";
  std::string s;
  for (size_t i = 0; i < len; ++i) s += kAlphabet[rng() % (sizeof kAlphabet - 1)];
  return s;
}

// The first n bytes of text at a guard page: reading text[n] faults.
struct Placed {
  Placed(const std::string& text, size_t n) : buf(n) { std::memcpy(buf.data(), text.data(), n); }
  const char* get() const { return reinterpret_cast<const char*>(buf.data()); }
  GuardedBuffer buf;
};

TEST(StrFindChr, MatchesGlibcOnRandomTexts) {
  std::mt19937 rng(31);
  const char kChars[] = {'a', '=', ';', '\\', '\xe9', '\xff', '\x80', 'z', '\0'};
  for (int round = 0; round < 300; ++round) {
    const std::string text = RandomText(rng, rng() % 70);
    const int len = int(text.size());
    const Placed whole(text + '\0', text.size() + 1);
    for (char ch : kChars) {
      const char* hit = strchrnul(text.c_str(), ch);
      const int want = int(hit - text.c_str());
      ASSERT_EQ(StrFindChr(whole.get(), ch), want);
      ASSERT_EQ(StrFindChr(whole.get(), static_cast<unsigned char>(ch)), want);
      ASSERT_EQ(StrFindChrEnd(whole.get(), ch), *hit ? want + 1 : want);
      for (int maxLen = -1; maxLen <= len + 2; ++maxLen) {
        // Only the characters the search may read are placed.
        const Placed part(text + '\0', size_t(std::clamp(maxLen, 0, len + 1)));
        const size_t bound = maxLen < 1 ? 0 : strnlen(text.c_str(), size_t(maxLen));
        const void* m = std::memchr(text.c_str(), ch, bound);
        const int wantN = m ? int(static_cast<const char*>(m) - text.c_str()) : int(bound);
        ASSERT_EQ(StrFindChrN(part.get(), ch, maxLen), wantN) << maxLen;
        ASSERT_EQ(StrFindChrEndN(part.get(), ch, maxLen), m ? wantN + 1 : wantN);
        if (maxLen > len + 1) continue;  // the backward search reads all len characters
        const void* r = maxLen < 1 ? nullptr : memrchr(text.c_str(), ch, size_t(maxLen));
        ASSERT_EQ(StrFindChrBackN(whole.get(), ch, maxLen),
                  r ? int(static_cast<const char*>(r) - text.c_str()) : -1);
      }
    }
  }
}

TEST(StrFindChrW, MatchesNarrowFormOnWidenedText) {
  std::mt19937 rng(32);
  for (int round = 0; round < 300; ++round) {
    const std::string text = RandomText(rng, rng() % 40);
    std::u16string w;
    for (char c : text) w += char16_t(static_cast<unsigned char>(c));
    w[0 < w.size() ? w.size() / 2 : 0] = w.empty() ? 0 : 0x4E00;
    std::string n;
    for (char16_t c : w) n += c > 255 ? '\x01' : char(c);  // a character nobody looks for
    for (int ch : {int('a'), int('='), 0xE9, 0xFF, 0x4E00, 0x14E00 /* low 16 bits */, 0}) {
      const int narrowCh = ch == 0x4E00 || ch == 0x14E00 ? 1 : ch;
      ASSERT_EQ(StrFindChrW(w.c_str(), ch), StrFindChr(n.c_str(), narrowCh));
      ASSERT_EQ(StrFindChrEndW(w.c_str(), ch), StrFindChrEnd(n.c_str(), narrowCh));
      for (int maxLen = -1; maxLen <= int(w.size()) + 2; ++maxLen) {
        ASSERT_EQ(StrFindChrNW(w.c_str(), ch, maxLen), StrFindChrN(n.c_str(), narrowCh, maxLen));
        ASSERT_EQ(StrFindChrEndNW(w.c_str(), ch, maxLen),
                  StrFindChrEndN(n.c_str(), narrowCh, maxLen));
        if (maxLen <= int(w.size()) + 1) {
          ASSERT_EQ(StrFindChrBackNW(w.c_str(), ch, maxLen),
                    StrFindChrBackN(n.c_str(), narrowCh, maxLen));
        }
      }
    }
  }
}

TEST(StrFindChr, DocumentedExamples) {
  EXPECT_EQ(StrFindChr("abc", 'x'), 3);
  EXPECT_EQ(StrFindChrEnd("a=b", '='), 2);
  EXPECT_EQ(StrFindChrEnd("ab", '='), 2);
  EXPECT_EQ(StrFindChrN("abcdef", 'z', 3), 3);
  EXPECT_EQ(StrFindChrN("abcdef", 'z', 0), 0);
  EXPECT_EQ(StrFindChrEscN("a\\;b;c", ';', 100, '\\'), 4);
  EXPECT_EQ(StrFindChrEndEscN("a\\;b;c", ';', 100, '\\'), 5);
  EXPECT_EQ(StrBreakClassChrN(CHC_BLANK, "ab cd", 'x', 100), 2);
  EXPECT_EQ(StrBreakClassChrN(CHC_BLANK | CHC_NUL, "ab\0cd\0\0\0", 'x', 8), 8);
  EXPECT_EQ(StrFindEndClassN(CHC_DIGIT, "123,4", 0x5700002C, 100), 3);
  EXPECT_EQ(StrFindEndClassN(CHC_BLANK, "123,4", ',', 100), 4);
  EXPECT_EQ(StrFindChrBackN("abc", 'a', 0), -1);
  EXPECT_EQ(StrFindChrBackN("a\0a", 'a', 3), 2);
  EXPECT_EQ(StrFindChrBackN("a\0a", 0, 3), 1);
}

// --- class and escape searches against a per-character reference -------------

enum class Stop { kPlain, kClass, kAllowed };

struct Query {
  Stop stop;
  uint32_t mask;
  unsigned ch;
  bool hasEscape;
  unsigned escape;
  bool count;
  bool unbounded;
};

// Reads units[i]; a read at or past `readable` fails the test.
struct RefText {
  std::vector<unsigned> units;
  size_t readable;
  unsigned At(int i) const {
    EXPECT_LT(size_t(i), readable) << "read past the bound";
    return size_t(i) < units.size() ? units[size_t(i)] : 0;
  }
};

uint32_t ClassBits(unsigned c) { return c < 256 ? CharClassTable[c] : CHC_OTHER; }

int Reference(const RefText& t, int maxLen, const Query& q) {
  auto stops = [&](unsigned c) {
    bool s = false;
    if (q.stop == Stop::kPlain) s = c == 0;
    if (q.stop == Stop::kClass) s = (ClassBits(c) & (q.mask ^ CHC_NUL)) != 0;
    if (q.stop == Stop::kAllowed) s = (ClassBits(c) & q.mask) == 0;
    return s || (q.unbounded && c == 0);
  };
  if (!q.unbounded && maxLen < 1) return 0;
  int i = 0;
  for (;;) {
    if (!q.unbounded && i >= maxLen) return maxLen;
    const unsigned c = t.At(i);
    if (stops(c)) return i;
    if (q.hasEscape && c == q.escape) {
      if (!q.unbounded && i + 1 == maxLen) return maxLen;  // the escape hides nothing
      if (t.At(i + 1) == 0 && stops(0)) return i + 1;        // never a stopping terminator
      i += 2;
      continue;
    }
    if (c == q.ch) return q.count ? i + 1 : i;
    ++i;
  }
}

template <class Ch>
int Run(const Ch* text, int maxLen, const Query& q, DWORD chWord) {
  const int ch = int(q.ch), esc = int(q.escape);
  if constexpr (sizeof(Ch) == 1) {
    if (q.stop == Stop::kPlain) {
      return q.count ? StrFindChrEndEscN(text, ch, maxLen, esc) : StrFindChrEscN(text, ch, maxLen, esc);
    }
    if (!q.count) {
      if (q.unbounded) return StrBreakClassChr(q.mask, text, ch);
      return q.hasEscape ? StrBreakClassChrEscN(q.mask, text, ch, maxLen, esc)
                         : StrBreakClassChrN(q.mask, text, ch, maxLen);
    }
    if (q.unbounded) return StrFindEndClass(q.mask, text, chWord);
    return q.hasEscape ? StrFindEndClassEscN(q.mask, text, chWord, maxLen, esc)
                       : StrFindEndClassN(q.mask, text, chWord, maxLen);
  } else {
    if (q.stop == Stop::kPlain) {
      return q.count ? StrFindChrEndEscNW(text, ch, maxLen, esc) : StrFindChrEscNW(text, ch, maxLen, esc);
    }
    if (!q.count) {
      if (q.unbounded) return StrBreakClassChrW(q.mask, text, ch);
      return q.hasEscape ? StrBreakClassChrEscNW(q.mask, text, ch, maxLen, esc)
                         : StrBreakClassChrNW(q.mask, text, ch, maxLen);
    }
    if (q.unbounded) return StrFindEndClassW(q.mask, text, chWord);
    return q.hasEscape ? StrFindEndClassEscNW(q.mask, text, chWord, maxLen, esc)
                       : StrFindEndClassNW(q.mask, text, chWord, maxLen);
  }
}

template <class Ch>
void CheckAgainstReference(uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned> alphabet = {'a', '7', ' ', '\t', ',', ';', '\\', 0, 0xE9, 0xC9, 0xFF};
  if (sizeof(Ch) == 2) alphabet.insert(alphabet.end(), {0x4E00, 0x100, 0xD800});
  const uint32_t masks[] = {CHC_BLANK, CHC_DIGIT, CHC_ALNUM, CHC_ALNUM | CHC_LATIN1_LOWER,
                            CHC_COMMA | CHC_SEMICOLON, CHC_OTHER | CHC_BLANK};
  for (int round = 0; round < 4000; ++round) {
    const size_t len = rng() % 24;
    std::vector<unsigned> units;
    for (size_t i = 0; i < len; ++i) units.push_back(alphabet[rng() % alphabet.size()]);
    if (rng() % 4 == 0 && len) units.back() = '\\';  // text ends in an escape
    units.push_back(0);
    Query q{};
    q.stop = Stop(rng() % 3);
    q.count = q.stop == Stop::kPlain ? rng() % 2 == 0 : rng() % 2 == 0;
    if (q.stop == Stop::kAllowed) q.count = true;  // only the end-class forms have it
    q.mask = masks[rng() % std::size(masks)] | (rng() % 2 ? CHC_NUL : 0u) |
             (rng() % 3 == 0 ? CHC_OTHER : 0u);
    if (rng() % 5 == 0) q.mask = uint32_t(rng());
    q.ch = alphabet[rng() % alphabet.size()];
    q.hasEscape = q.stop == Stop::kPlain || rng() % 2 == 0;
    q.escape = rng() % 4 == 0 ? q.ch : '\\';
    q.unbounded = q.stop != Stop::kPlain && !q.hasEscape && rng() % 4 == 0;
    // Characters may be handed in as negative values; only the low bits count.
    const unsigned argMask = sizeof(Ch) == 1 ? 0xFFu : 0xFFFFu;
    DWORD chWord = q.ch;
    if (q.stop == Stop::kAllowed) chWord |= CLASS_SPAN_TAG;
    Query call = q;
    if (rng() % 2) {
      call.ch = q.ch | ~argMask;
      call.escape = q.escape | ~argMask;
      if (q.stop != Stop::kAllowed && q.stop != Stop::kPlain && q.count)
        chWord = q.ch | 0xFF0000u;  // top byte 0: still a plain end character
    }
    const bool nulPasses = q.stop != Stop::kPlain && (q.mask & CHC_NUL) && !q.unbounded;
    const int maxMax = nulPasses ? int(units.size()) : int(units.size()) + 2;
    for (int maxLen = -1; maxLen <= maxMax; ++maxLen) {
      if (q.unbounded && maxLen != -1) break;
      // What the search may read: up to maxLen, or up to the terminator.
      const size_t readable = q.unbounded ? units.size()
                                          : std::min<size_t>(size_t(std::max(maxLen, 0)), units.size());
      RefText ref{units, nulPasses || q.unbounded ? readable : std::min(readable, units.size())};
      const int want = Reference(ref, maxLen, q);
      GuardedBuffer buf(readable * sizeof(Ch));
      Ch* text = buf.as<Ch>();
      for (size_t i = 0; i < readable; ++i) text[i] = Ch(units[i]);
      ASSERT_EQ(Run(text, maxLen, call, chWord), want)
          << "round " << round << " maxLen " << maxLen << " stop " << int(q.stop) << " mask "
          << std::hex << q.mask << " ch " << q.ch << " esc " << q.escape;
    }
  }
}

TEST(StrFindEndClass, ClassAndEscapeFormsMatchReference) { CheckAgainstReference<char>(41); }
TEST(StrFindEndClassW, ClassAndEscapeFormsMatchReference) { CheckAgainstReference<wchar16>(42); }

TEST(StrFindChrEscN, EscapeNeverHidesAStoppingTerminator) {
  // The text ends in an escape right before the guard page's terminator.
  const std::string text = "ab\\";
  GuardedBuffer buf(4);
  std::memcpy(buf.data(), "ab\\", 4);
  const char* t = reinterpret_cast<const char*>(buf.data());
  EXPECT_EQ(StrFindChrEscN(t, ';', 100, '\\'), 3);
  EXPECT_EQ(StrFindChrEndEscN(t, ';', 100, '\\'), 3);
  EXPECT_EQ(StrBreakClassChrEscN(CHC_BLANK, t, ';', 100, '\\'), 3);
  EXPECT_EQ(StrFindEndClassEscN(CHC_BLANK, t, ';', 100, '\\'), 3);
  EXPECT_EQ(StrFindEndClassEscN(CHC_ALNUM | CHC_BACKSLASH, t, CLASS_SPAN_TAG | ';', 100, '\\'), 3);
  // An escape at maxLen - 1 ends the search at maxLen.
  EXPECT_EQ(StrFindChrEscN("a\\;;", ';', 2, '\\'), 2);
  EXPECT_EQ(StrFindChrEscN("a\\;;", ';', 3, '\\'), 3);
  EXPECT_EQ(StrFindChrEscN("a\\;;", ';', 4, '\\'), 3);
  // The escape test wins over ch.
  EXPECT_EQ(StrFindChrEscN("a;;b;", ';', 10, ';'), 5);
}

TEST(StrBreakClassChr, UnboundedFormsStopAtTheTerminatorWhateverTheMask) {
  GuardedBuffer buf(3);
  std::memcpy(buf.data(), "ab", 3);
  const char* t = reinterpret_cast<const char*>(buf.data());
  EXPECT_EQ(StrBreakClassChr(CHC_BLANK | CHC_NUL, t, 'x'), 2);
  EXPECT_EQ(StrFindEndClass(CHC_BLANK | CHC_NUL, t, 'x'), 2);
  EXPECT_EQ(StrFindEndClass(CHC_ALNUM | CHC_NUL, t, CLASS_SPAN_TAG | 'x'), 2);
  EXPECT_EQ(StrFindEndClassN(CHC_ALNUM | CHC_NUL, "ab\0cd", CLASS_SPAN_TAG | 'x', 5), 5);
}

TEST(StrBreakClassChrW, CharactersAbove255StopOnlyWithTheOtherBit) {
  const std::u16string text = u"ab\u4e00c d";
  EXPECT_EQ(StrBreakClassChrW(CHC_BLANK, text.c_str(), 'x'), 4);
  EXPECT_EQ(StrBreakClassChrW(CHC_BLANK | CHC_OTHER, text.c_str(), 'x'), 2);
  // Allowed-set runs: a digit run does not swallow a CJK character.
  const std::u16string digits = u"12\u4e003,";
  EXPECT_EQ(StrFindEndClassW(CHC_DIGIT, digits.c_str(), CLASS_SPAN_TAG | ','), 2);
  EXPECT_EQ(StrFindEndClassW(CHC_DIGIT | CHC_OTHER, digits.c_str(), CLASS_SPAN_TAG | ','), 4);
  EXPECT_EQ(StrFindEndClassW(CHC_DIGIT | CHC_OTHER | CHC_COMMA, digits.c_str(), CLASS_SPAN_TAG | ','), 5);
  // The end character is the low 16 bits of chWord.
  EXPECT_EQ(StrFindEndClassNW(CHC_BLANK, text.c_str(), 0x4E00, 10), 3);
  EXPECT_EQ(StrFindChrW(text.c_str(), 0x4E00), 2);
}

}  // namespace
