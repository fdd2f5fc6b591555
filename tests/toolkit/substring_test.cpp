#include "toolkit/substring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <random>
#include <string>
#include <vector>

// Test-only replacement of the nothrow array allocation: fails the n-th call
// from now on when armed (n = 1 is the next call).
namespace {
int g_failArrayNothrowIn = 0;
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  if (g_failArrayNothrowIn > 0 && --g_failArrayNothrowIn == 0) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w.push_back(c);
  return w;
}

// std::string's find over the first textLen characters, key fitting whole.
int Expected(const std::string& text, const std::string& key, int textLen, bool noCase) {
  const std::string t = noCase ? Lower(text) : text;
  const std::string k = noCase ? Lower(key) : key;
  const size_t bound = textLen < 0 ? t.size() : std::min<size_t>(t.size(), static_cast<size_t>(textLen));
  const size_t at = t.substr(0, bound).find(k);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

// Runs all sixteen searches of one text and key and compares them with the
// reference. The text sits in a buffer with letters after its terminator, so
// a search that passes the terminator finds them.
void CheckAllSearches(const std::string& text, const std::string& key) {
  std::string buf = text + '\0' + key + key;
  const std::u16string wbuf = Widen(buf);
  const std::u16string wkey = Widen(key);
  const int len = static_cast<int>(text.size());
  const int klen = static_cast<int>(key.size());
  const bool empty = key.empty();
  SCOPED_TRACE("text \"" + text + "\" key \"" + key + "\"");
  EXPECT_EQ(StrFindStr(buf.c_str(), key.c_str()), Expected(text, key, -1, false));
  EXPECT_EQ(StrFindStrW(wbuf.c_str(), wkey.c_str()), Expected(text, key, -1, false));
  EXPECT_EQ(StrFindStrNoCase(buf.c_str(), key.c_str()), Expected(text, key, -1, true));
  EXPECT_EQ(StrFindStrNoCaseW(wbuf.c_str(), wkey.c_str()), Expected(text, key, -1, true));
  const int lenForm = empty ? (len > 0 ? 0 : -1) : Expected(text, key, -1, false);
  const int lenFormNc = empty ? (len > 0 ? 0 : -1) : Expected(text, key, -1, true);
  EXPECT_EQ(StrFindStrLen(buf.c_str(), key.c_str(), klen), lenForm);
  EXPECT_EQ(StrFindStrLenW(wbuf.c_str(), wkey.c_str(), klen), lenForm);
  EXPECT_EQ(StrFindStrLenNoCase(buf.c_str(), key.c_str(), klen), lenFormNc);
  EXPECT_EQ(StrFindStrLenNoCaseW(wbuf.c_str(), wkey.c_str(), klen), lenFormNc);
  for (int textLen = -1; textLen <= static_cast<int>(buf.size()); ++textLen) {
    SCOPED_TRACE("textLen " + std::to_string(textLen));
    const int want = textLen < 1 ? -1 : empty ? 0 : Expected(text, key, textLen, false);
    const int wantNc = textLen < 1 ? -1 : empty ? 0 : Expected(text, key, textLen, true);
    EXPECT_EQ(StrFindStrN(buf.c_str(), key.c_str(), textLen), want);
    EXPECT_EQ(StrFindStrNW(wbuf.c_str(), wkey.c_str(), textLen), want);
    EXPECT_EQ(StrFindStrLenN(buf.c_str(), key.c_str(), textLen, klen), want);
    EXPECT_EQ(StrFindStrLenNW(wbuf.c_str(), wkey.c_str(), textLen, klen), want);
    EXPECT_EQ(StrFindStrNoCaseN(buf.c_str(), key.c_str(), textLen), wantNc);
    EXPECT_EQ(StrFindStrNoCaseNW(wbuf.c_str(), wkey.c_str(), textLen), wantNc);
    EXPECT_EQ(StrFindStrLenNoCaseN(buf.c_str(), key.c_str(), textLen, klen), wantNc);
    EXPECT_EQ(StrFindStrLenNoCaseNW(wbuf.c_str(), wkey.c_str(), textLen, klen), wantNc);
  }
}

std::string RandomOver(std::mt19937& rng, const std::string& alphabet, size_t n) {
  std::string s(n, ' ');
  for (auto& c : s) c = alphabet[rng() % alphabet.size()];
  return s;
}

TEST(StrFindStr, AgreesWithStdStringOnShortRandomTexts) {
  std::mt19937 rng(4);
  for (int round = 0; round < 300; ++round) {
    const std::string text = RandomOver(rng, "abcAB", rng() % 14);
    const std::string key = RandomOver(rng, "abcAB", rng() % 6);
    CheckAllSearches(text, key);
  }
}

TEST(StrFindStr, AgreesWithStdStringOnLongAndRepetitiveTexts) {
  std::mt19937 rng(8);
  for (int round = 0; round < 30; ++round) {
    const std::string text = RandomOver(rng, round % 2 ? "ab" : "aaaaaaab", 40 + rng() % 300);
    std::string key;
    if (rng() % 2) {
      const size_t at = rng() % text.size();
      key = text.substr(at, 1 + rng() % 70);
    } else {
      key = RandomOver(rng, "ab", 1 + rng() % 12);
    }
    const std::string buf = text + '\0' + key;
    const std::u16string wbuf = Widen(buf), wkey = Widen(key);
    const int n = static_cast<int>(text.size()), k = static_cast<int>(key.size());
    EXPECT_EQ(StrFindStr(buf.c_str(), key.c_str()), Expected(text, key, -1, false)) << text << " / " << key;
    EXPECT_EQ(StrFindStrLenN(buf.c_str(), key.c_str(), n + 1, k), Expected(text, key, -1, false));
    EXPECT_EQ(StrFindStrNoCaseW(wbuf.c_str(), wkey.c_str()), Expected(text, key, -1, true));
  }
}

TEST(StrFindStr, StaysLinearAndRightWhereTheQuickFilterFails) {
  // Keys that match the first and last character nearly everywhere push the
  // search into its two-way fallback.
  std::mt19937 rng(15);
  for (int round = 0; round < 12; ++round) {
    std::string text(20000, 'a');
    for (int i = 0; i < 30; ++i) text[rng() % text.size()] = 'b';
    std::string key = std::string(40 + rng() % 60, 'a') + "b" + std::string(40 + rng() % 60, 'a');
    if (round % 3 == 0) text.replace(text.size() - key.size() - 7, key.size(), key);
    const int want = Expected(text, key, -1, false);
    const int n = static_cast<int>(text.size()), k = static_cast<int>(key.size());
    EXPECT_EQ(StrFindStr(text.c_str(), key.c_str()), want);
    EXPECT_EQ(StrFindStrLen(text.c_str(), key.c_str(), k), want);
    EXPECT_EQ(StrFindStrLenN(text.c_str(), key.c_str(), n, k), want);
    EXPECT_EQ(StrFindStrNoCase(text.c_str(), key.c_str()), want);
    EXPECT_EQ(StrFindStrW(Widen(text).c_str(), Widen(key).c_str()), want);
  }
  const std::string a(1 << 16, 'a');
  EXPECT_EQ(StrFindStrLenN(a.c_str(), (std::string(999, 'a') + "b").c_str(), 1 << 16, 1000), -1);
}

TEST(StrFindStr, KnownCases) {
  EXPECT_EQ(StrFindStrNoCase("Hello World", "WORLD"), 6);
  EXPECT_EQ(StrFindStrN("abcdef", "ef", 5), -1);
  EXPECT_EQ(StrFindStrN("abcdef", "ef", 6), 4);
  EXPECT_EQ(StrFindStr("", ""), 0);
  EXPECT_EQ(StrFindStrLen("", "x", 0), -1);
  EXPECT_EQ(StrFindStrLen("ab\0cd", "b\0c", 3), -1) << "a match cannot hold the terminator";
  EXPECT_EQ(StrFindStrLenN("ab\0cd", "b\0c", 5, 3), -1);
  EXPECT_EQ(StrFindStrLen("abcabd", "abdx", 3), 3) << "only findLen key characters count";
  EXPECT_EQ(StrFindStrNoCaseW(u"\u00C4x\u00E4X", u"\u00E4x"), 2) << "only ASCII letters fold";
  EXPECT_EQ(StrFindStrNoCaseW(u"\u0141A", u"\u0161a"), -1);
}

TEST(StrFindKeyValue, FindsAssignmentsAndHonoursItsFlags) {
  struct Case {
    const char* text;
    DWORD flags;
    const char* key;
    int textLen;  // -1: unbounded form
    int want;
  } cases[] = {
      {"x=1; width = 3", 0, "width", -1, 12},
      {"x=1; width = 3", 0, "idth", -1, 12},
      {"x=1; width = 3", KEYVALUE_WHOLE_WORD, "idth", -1, -1},
      {"x=1; width = 3", KEYVALUE_WHOLE_WORD, "width", -1, 12},
      {"width=3", KEYVALUE_WHOLE_WORD, "width", -1, 6},
      {"\"name\" = v", KEYVALUE_QUOTED_KEY, "name", -1, 8},
      {"\"name\" = v", 0, "name", -1, -1},
      {"a\"name\" = v", KEYVALUE_QUOTED_KEY | KEYVALUE_WHOLE_WORD, "name", -1, 9},
      {"\xE9name=1", KEYVALUE_WHOLE_WORD, "name", -1, -1},
      {"key\r\n= 1", 0, "key", -1, -1},
      {"key\r\n= 1", KEYVALUE_SKIP_NEWLINES, "key", -1, 6},
      {"a: b; a = c", 0, "a", -1, 9},
      {"a : 1", 0, "a", -1, -1},
      {"ab = 1", 0, "ab", 3, -1},
      {"ab = 1", 0, "ab", 4, 4},
      {"ab", 0, "ab", 2, -1},
      {"\"ab\"=1", KEYVALUE_QUOTED_KEY, "ab", 3, -1},
      {"name\" = 1", KEYVALUE_QUOTED_KEY, "name", -1, -1},
      {"name = 1", KEYVALUE_WHOLE_WORD | KEYVALUE_QUOTED_KEY, "name", 8, 6},
      {"KEY=1", 0, "key", -1, -1},
      {"x", 0, "", -1, -1},
  };
  for (const auto& c : cases) {
    const char ch = '=';
    const int got = c.textLen < 0 ? StrFindKeyValue(c.text, c.flags, c.key, ch, -1)
                                  : StrFindKeyValueN(c.text, c.flags, c.key, ch, c.textLen, -1);
    EXPECT_EQ(got, c.want) << c.text << " / " << c.key;
    const std::u16string wt = Widen(c.text), wk = Widen(c.key);
    const int wgot = c.textLen < 0 ? StrFindKeyValueW(wt.c_str(), c.flags, wk.c_str(), u'=', -1)
                                   : StrFindKeyValueNW(wt.c_str(), c.flags, wk.c_str(), u'=', c.textLen, -1);
    EXPECT_EQ(wgot, c.want) << c.text << " / " << c.key;
  }
  EXPECT_EQ(StrFindKeyValueNoCase("KEY=1", 0, "key", '=', -1), 4);
  EXPECT_EQ(StrFindKeyValueNoCaseN("KEY=1", 0, "key", '=', 3, -1), -1);
  EXPECT_EQ(StrFindKeyValueNoCaseNW(u"KEY=1", 0, u"keyx", u'=', 5, 3), 4);
  EXPECT_EQ(StrFindKeyValueW(u"\u4E00name=1", KEYVALUE_WHOLE_WORD, u"name", u'=', -1), -1)
      << "a character above 255 is a word character";
  EXPECT_EQ(StrFindKeyValue("width: 4", 0, "width", ':', -1), 6);
}

// Reference replacement: every occurrence (found case-blind when asked), the
// search going on after each one.
std::string ReplaceAll(const std::string& text, const std::string& find, const std::string& repl, bool noCase) {
  if (find.empty()) return text;
  const std::string t = noCase ? Lower(text) : text, f = noCase ? Lower(find) : find;
  std::string out;
  size_t pos = 0;
  for (size_t at; (at = t.find(f, pos)) != std::string::npos; pos = at + f.size()) {
    out += text.substr(pos, at - pos) + repl;
  }
  return out + text.substr(pos);
}

TEST(StrReplace, AgreesWithReferenceAtEverySizeCopyingAndInPlace) {
  std::mt19937 rng(23);
  for (int round = 0; round < 400; ++round) {
    const bool noCase = round % 2;
    const std::string text = RandomOver(rng, noCase ? "abAB" : "abc", rng() % 12);
    const std::string find = RandomOver(rng, "abA", 1 + rng() % 3);
    const std::string repl = RandomOver(rng, "xyz", rng() % 5);
    const std::string full = ReplaceAll(text, find, repl, noCase);
    SCOPED_TRACE(text + " / " + find + " -> " + repl);
    for (int size = 0; size <= static_cast<int>(std::max(full.size(), text.size())) + 2; ++size) {
      const std::string want = size < 1 ? "" : full.substr(0, static_cast<size_t>(size - 1));
      std::vector<char> dst(static_cast<size_t>(size) + 4, '#');
      const int n = noCase ? StrReplaceCopyNoCase(dst.data(), text.c_str(), find.c_str(), repl.c_str(), size)
                           : StrReplaceCopy(dst.data(), text.c_str(), find.c_str(), repl.c_str(), size);
      ASSERT_EQ(n, static_cast<int>(want.size())) << "size " << size;
      if (size > 0) {
        EXPECT_EQ(std::string(dst.data()), want);
      }
      EXPECT_EQ(std::string(dst.data() + size, 4), "####") << "size " << size;

      std::u16string wdst(static_cast<size_t>(size) + 4, u'#');
      const std::u16string wt = Widen(text), wf = Widen(find), wr = Widen(repl);
      const int wn = noCase ? StrReplaceCopyNoCaseW(wdst.data(), wt.c_str(), wf.c_str(), wr.c_str(), size)
                            : StrReplaceCopyW(wdst.data(), wt.c_str(), wf.c_str(), wr.c_str(), size);
      ASSERT_EQ(wn, n);
      EXPECT_EQ(wdst.substr(0, static_cast<size_t>(n)), Widen(want));
      EXPECT_EQ(wdst.substr(static_cast<size_t>(size)), u"####");

      if (size <= static_cast<int>(text.size())) continue;  // in place the text must fit its buffer
      std::vector<char> buf(static_cast<size_t>(size) + 4, '#');
      std::copy(text.begin(), text.end(), buf.begin());
      buf[text.size()] = '\0';
      const int k = noCase ? StrReplaceNoCase(buf.data(), find.c_str(), repl.c_str(), size)
                           : StrReplace(buf.data(), find.c_str(), repl.c_str(), size);
      ASSERT_EQ(k, static_cast<int>(want.size())) << "in place, size " << size;
      EXPECT_EQ(std::string(buf.data()), want);
      EXPECT_EQ(std::string(buf.data() + size, 4), "####");
      std::u16string wbuf(static_cast<size_t>(size) + 4, u'#');
      std::copy(wt.begin(), wt.end(), wbuf.begin());
      wbuf[wt.size()] = 0;
      EXPECT_EQ(noCase ? StrReplaceNoCaseW(wbuf.data(), wf.c_str(), wr.c_str(), size)
                       : StrReplaceW(wbuf.data(), wf.c_str(), wr.c_str(), size),
                k);
      EXPECT_EQ(std::u16string(wbuf.c_str()), Widen(want));
    }
  }
}

TEST(StrReplace, KnownCasesAndAnEmptyFind) {
  char dst[16];
  EXPECT_EQ(StrReplaceCopy(dst, "aXbXc", "X", "YY", 6), 5);
  EXPECT_STREQ(dst, "aYYbY");
  EXPECT_EQ(StrReplaceCopy(dst, "aXb", "", "YY", 16), 3);
  EXPECT_STREQ(dst, "aXb");
  char text[16] = "abab";
  EXPECT_EQ(StrReplace(text, "", "x", 16), 4);
  EXPECT_STREQ(text, "abab");
  EXPECT_EQ(StrReplace(text, "ab", "aab", 16), 6) << "the replacement is not searched again";
  EXPECT_STREQ(text, "aabaab");
}

TEST(StrReplace, LeavesTheTextUntouchedWhenItsTemporaryBufferIsRefused) {
  char text[16] = "abab";
  g_failArrayNothrowIn = 1;
  EXPECT_EQ(StrReplace(text, "b", "xyz", 16), -1);
  EXPECT_STREQ(text, "abab");
  char16_t wide[16] = u"abab";
  g_failArrayNothrowIn = 1;
  EXPECT_EQ(StrReplaceNoCaseW(wide, u"B", u"xyz", 16), -1);
  EXPECT_EQ(std::u16string(wide), u"abab");
  g_failArrayNothrowIn = 0;
  EXPECT_EQ(StrReplace(text, "b", "xyz", 16), 8);
  EXPECT_STREQ(text, "axyzaxyz");
}

TEST(StrReplaceChr, ReplacesOneCharacterAndItsOtherCaseWhenAsked) {
  char dst[8];
  EXPECT_EQ(StrReplaceChrCopy(dst, "a.b.c", '.', '/', 8), 5);
  EXPECT_STREQ(dst, "a/b/c");
  EXPECT_EQ(StrReplaceChrCopy(dst, "a.b.c", '.', '/', 4), 3);
  EXPECT_STREQ(dst, "a/b");
  EXPECT_EQ(StrReplaceChrCopy(dst, "abc", 'b', 'x', 0), 0);
  EXPECT_EQ(StrReplaceChrCopyNoCase(dst, "aAbB", 'a', '-', 8), 4);
  EXPECT_STREQ(dst, "--bB");
  EXPECT_EQ(StrReplaceChrCopyNoCase(dst, "1!3\x01", '!', '-', 8), 4) << "'!' ^ 32 is '\\x01', not a case";
  EXPECT_STREQ(dst, "1-3\x01");
  EXPECT_EQ(StrReplaceChrCopy(dst, "abc", '\0', 'x', 8), 3);
  EXPECT_STREQ(dst, "abc");
  char text[8] = "abc";
  StrReplaceChr(text, '\0', 'x');
  EXPECT_EQ(std::string(text, 5), std::string("abc\0\0", 5)) << "the terminator stays";
  StrReplaceChrNoCase(text, 'B', 'z');
  EXPECT_STREQ(text, "azc");
  char16_t wide[] = u"\u4E00\u4E20Aa";
  StrReplaceChrNoCaseW(wide, u'\u4E00', u'x');
  EXPECT_EQ(std::u16string(wide), u"x\u4E20Aa");
  StrReplaceChrNoCaseW(wide, u'a', u'y');
  EXPECT_EQ(std::u16string(wide), u"x\u4E20yy");
  char16_t wdst[8];
  EXPECT_EQ(StrReplaceChrCopyNoCaseW(wdst, u"\u0141\u0161l", u'\u0141', u'L', 8), 3);
  EXPECT_EQ(std::u16string(wdst), u"L\u0161l");
}

}  // namespace
