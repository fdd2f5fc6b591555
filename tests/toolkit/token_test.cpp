#include "toolkit/token.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "guard_page.h"
#include "toolkit/charclass.h"

namespace {

constexpr int kBound = 0x1000000;

int KeyBound(char key, int bound) {
  return static_cast<int>(0x80000000u | TOKEN_KEY_TAG | (static_cast<DWORD>(key) << 16) | static_cast<DWORD>(bound));
}

TEST(StrGetToken, ReadsWordsAndEnclosedItems) {
  struct Case {
    const char* text;
    int escape, open, maxLen;
    const char* content;
    int consumed;
  } cases[] = {
      {"   \"a\\\"b\" rest", '\\', '"', kBound, "a\\\"b", 9},
      {"\"abc\ndef\"", '\\', '"', kBound, "abc", 4},
      {"\"abc\r\n", 0, '"', kBound, "abc", 4},
      {"(x) y", 0, '(', kBound, "x", 3},
      {"[a]b", 0, '[', kBound, "a", 3},
      {"{a}", 0, '{', kBound, "a", 3},
      {"<a>", 0, '<', kBound, "a", 3},
      {"'a'", 0, '\'', kBound, "a", 3},
      {"|a|", 0, '|', kBound, "a", 3},
      {"  abc,def", '\\', '"', kBound, "abc", 5},
      {"a;b", 0, 0, kBound, "a", 1},
      {"\tab cd", 0, 0, kBound, "ab", 3},
      {"\"ab\\", '\\', '"', kBound, "ab", 3},
      {"\"a\\)b)", '\\', '(', kBound, "\"a\\)b)", 6},
      {"(a\\)b)c", '\\', '(', kBound, "a\\)b", 6},
      {"\"abcdef\"", 0, '"', 4, "abc", 4},
      {"\"abcdef\"", 0, '"', 8, "abcdef", 8},
      {"\"\"x", 0, '"', kBound, "", 2},
      {"", 0, 0, kBound, "", 0},
      {"  ", 0, '"', kBound, "", 2},
      {"  = value;", 0, 0, KeyBound('=', 100), "value", 9},
      {"x = value", 0, 0, KeyBound('=', 100), "", 0},
      {"=\"q\"", 0, '"', KeyBound('=', 100), "q", 4},
      {"  = value", 0, 0, KeyBound('=', 4), "", 4},
  };
  for (const auto& c : cases) {
    char dst[32];
    std::strcpy(dst, "");
    int copied = -1;
    EXPECT_EQ(StrGetTokenEx(dst, c.text, &copied, 32, c.escape, c.open, c.maxLen), c.consumed) << c.text;
    EXPECT_STREQ(dst, c.content) << c.text;
    EXPECT_EQ(copied, static_cast<int>(std::strlen(c.content))) << c.text;
    char16_t wdst[32] = u"";
    std::u16string wide;
    for (const char* p = c.text; *p; ++p) wide.push_back(static_cast<unsigned char>(*p));
    EXPECT_EQ(StrGetTokenW(wdst, wide.c_str(), 32, c.escape, c.open, c.maxLen), c.consumed) << c.text;
    EXPECT_EQ(std::u16string(wdst).size(), std::strlen(c.content));
    if (c.maxLen > 0) {
      EXPECT_EQ(StrTokenLength(c.text, c.escape, c.open, c.maxLen), c.consumed) << c.text;
      EXPECT_EQ(StrTokenLengthW(wide.c_str(), c.escape, c.open, c.maxLen), c.consumed) << c.text;
    }
  }
}

TEST(StrGetToken, TakesLatin1OpenAndEscapeCharactersGivenAsChar) {
  const struct {
    const char* text;
    char escape, open;
    const char* content;
    int consumed;
  } cases[] = {
      {" \xAB" "a b\xAB c", 0, '\xAB', "a b", 6},
      {"\xAB" "a\xA7\xAB" "b\xAB", '\xA7', '\xAB', "a\xA7\xAB" "b", 6},
      {"\xA7x", 0, '\xAB', "\xA7x", 2},
  };
  for (const auto& c : cases) {
    char dst[16] = "";
    EXPECT_EQ(StrGetToken(dst, c.text, 16, c.escape, c.open, kBound), c.consumed) << c.text;
    EXPECT_STREQ(dst, c.content) << c.text;
    EXPECT_EQ(StrTokenLength(c.text, c.escape, c.open, kBound), c.consumed) << c.text;
  }
}

TEST(StrGetTokenClass, EndsAWordAtTheTerminatorWhateverTheClassHolds) {
  const struct {
    const char* text;
    DWORD wordClass;
    const char* content;
    int consumed;
  } cases[] = {
      {"abc", ~DWORD{CHC_BLANK}, "abc", 3},
      {" a,b", ~DWORD{CHC_BLANK}, "a,b", 4},
      {"x1 y", 0xFFFFFFFF, "x1 y", 4},
      {"", 0xFFFFFFFF, "", 0},
  };
  for (const auto& c : cases) {
    const std::string text = c.text;
    const zelvaro_test::GuardedText<char> narrow(text, true);
    const zelvaro_test::GuardedText<char16_t> wide(std::u16string(text.begin(), text.end()), true);
    char dst[16] = "";
    char16_t wdst[16] = u"";
    EXPECT_EQ(StrGetTokenClass(c.wordClass, dst, narrow.get(), 16, 0, 0, kBound), c.consumed) << c.text;
    EXPECT_STREQ(dst, c.content);
    EXPECT_EQ(StrGetTokenClassW(c.wordClass, wdst, wide.get(), 16, 0, 0, kBound), c.consumed) << c.text;
    const std::string content = c.content;
    EXPECT_EQ(std::u16string(wdst), std::u16string(content.begin(), content.end()));
    EXPECT_EQ(StrTokenLengthClass(c.wordClass, narrow.get(), 0, '"', kBound), c.consumed) << c.text;
    EXPECT_EQ(StrTokenLengthClassW(c.wordClass, wide.get(), 0, '"', kBound), c.consumed) << c.text;
  }
}

TEST(StrGetToken, LeavesDstAloneWhenNothingRemainsAndNeverPassesTheEnd) {
  char dst[8] = "keep";
  EXPECT_EQ(StrGetToken(dst, "   x", 8, 0, '"', 3), 3);
  EXPECT_STREQ(dst, "keep");
  EXPECT_EQ(StrGetToken(dst, "x", 8, 0, 0, 0), 0);
  EXPECT_EQ(StrGetToken(dst, "x", 8, 0, 0, -5), 0);
  EXPECT_STREQ(dst, "keep");
  // With open 0 the terminator opens nothing: the bytes after it are not read.
  const char text[] = "\0\"abc\"";
  EXPECT_EQ(StrGetToken(dst, text, 8, 0, 0, 7), 0);
  EXPECT_STREQ(dst, "");
  EXPECT_EQ(StrTokenLength("  = v", 0, 0, KeyBound('=', 100)), 0) << "the length form takes no key";
  EXPECT_EQ(StrGetToken(dst, "\xBD" "v", 8, 0, 0, KeyBound('=', 100)), 0) << "only 7-bit keys match";
}

TEST(StrGetToken, CutsTheCopyAndCountsWhatItCopied) {
  char dst[3];
  int copied = -1;
  EXPECT_EQ(StrGetTokenEx(dst, "abcdef", &copied, 3, 0, 0, kBound), 6);
  EXPECT_STREQ(dst, "ab");
  EXPECT_EQ(copied, 2);
  EXPECT_EQ(StrGetTokenClassEx(CHC_DIGIT, dst, " 123abc", &copied, 3, 0, '"', kBound), 4);
  EXPECT_STREQ(dst, "12");
  EXPECT_EQ(StrGetTokenClass(CHC_DIGIT, dst, "\"9\"", 3, 0, '"', kBound), 3);
  EXPECT_STREQ(dst, "9");
  EXPECT_EQ(StrTokenLengthClass(CHC_ALNUM, "ab-c", 0, 0, kBound), 2);
  EXPECT_EQ(StrTokenLengthClassW(CHC_ALNUM | CHC_OTHER, u"a\u4E00-c", 0, 0, kBound), 2) << "U+4E00 is CHC_OTHER, '-' is not";
  char16_t wide[8];
  EXPECT_EQ(StrGetTokenClassW(CHC_ALNUM, wide, u"ab-c", 8, 0, 0, kBound), 2);
  int wcopied = -1;
  EXPECT_EQ(StrGetTokenClassExW(CHC_ALNUM, wide, u"(ab)", &wcopied, 8, 0, '(', kBound), 4);
  EXPECT_EQ(std::u16string(wide), u"ab");
  EXPECT_EQ(StrGetTokenExW(wide, u" \u4E00b c", &wcopied, 8, 0, 0, kBound), 3) << "wide characters are word characters";
  EXPECT_EQ(std::u16string(wide), u"\u4E00b");
}

}  // namespace
