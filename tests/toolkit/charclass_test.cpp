#include "toolkit/charclass.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

namespace {

// Every entry, written out by hand from the class rules.
constexpr uint32_t kExpectedClasses[256] = {
    0x80000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000,
    0x40000000, 0x00000020, 0x00000040, 0x40000000, 0x40000000, 0x00000040, 0x40000000, 0x40000000,
    0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000,
    0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000,
    0x00000080, 0x40000000, 0x00000100, 0x00080000, 0x00000800, 0x08000000, 0x00008000, 0x00000400,
    0x40000000, 0x40000000, 0x00800000, 0x04000000, 0x00001000, 0x02000000, 0x00000200, 0x00200000,
    0x00030001, 0x00030001, 0x00020001, 0x00020001, 0x00020001, 0x00020001, 0x00020001, 0x00020001,
    0x00000001, 0x00000001, 0x00400000, 0x00002000, 0x40000000, 0x40000000, 0x40000000, 0x01000000,
    0x00004000, 0x00040002, 0x00040002, 0x00040002, 0x00040002, 0x00040002, 0x00040002, 0x00000002,
    0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002,
    0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002, 0x00000002,
    0x00000002, 0x00000002, 0x00000002, 0x40000000, 0x00100000, 0x40000000, 0x40000000, 0x00000008,
    0x40000000, 0x00040004, 0x00040004, 0x00040004, 0x00040004, 0x00040004, 0x00040004, 0x00000004,
    0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004,
    0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004, 0x00000004,
    0x00000004, 0x00000004, 0x00000004, 0x40000000, 0x40000000, 0x40000000, 0x40000000, 0x40000000,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010, 0x00000010,
    0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000,
    0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000,
    0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000,
    0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x10000000, 0x00000010, 0x20000000,
    0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000,
    0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000,
    0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000,
    0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x20000000, 0x00000010, 0x00000010,
};

TEST(CharClassTable, MatchesEveryEntryOfTheClassRules) {
  for (int c = 0; c < 256; ++c) EXPECT_EQ(CharClassTable[c], kExpectedClasses[c]) << "byte " << c;
}

TEST(CharClassTable, AgreesWithCLocalePredicatesBelow128) {
  for (int c = 0; c < 128; ++c) {
    const uint32_t e = CharClassTable[c];
    SCOPED_TRACE(c);
    EXPECT_EQ((e & CHC_DIGIT) != 0, std::isdigit(c) != 0);
    EXPECT_EQ((e & CHC_UPPER) != 0, std::isupper(c) != 0);
    EXPECT_EQ((e & CHC_LOWER) != 0, std::islower(c) != 0);
    EXPECT_EQ((e & CHC_HEXDIGIT) != 0, std::isxdigit(c) != 0);
    EXPECT_EQ((e & CHC_BLANK) != 0, std::isblank(c) != 0);
    EXPECT_EQ((e & CHC_WHITE) != 0, c == ' ' || c == '\t' || c == '\n' || c == '\r');
    EXPECT_EQ((e & CHC_OCTDIGIT) != 0, c >= '0' && c <= '7');
    EXPECT_EQ((e & CHC_BINDIGIT) != 0, c == '0' || c == '1');
    // Controls other than TAB, LF, CR and NUL are "other"; so are the
    // punctuation characters that have no class of their own.
    if (std::iscntrl(c) && c != 0 && c != '\t' && c != '\n' && c != '\r') {
      EXPECT_EQ(e, CHC_OTHER);
    }
    if (c != 0 && std::strchr("!()<=>[]^`{|}~", c) != nullptr) {
      EXPECT_EQ(e, CHC_OTHER);
    }
    // Only octal digits and hex letters carry more than one bit.
    const bool multi = (e & (e - 1)) != 0;
    EXPECT_EQ(multi, (c >= '0' && c <= '7') || (std::isxdigit(c) != 0 && std::isalpha(c) != 0));
  }
}

TEST(CharClassTable, SortsHighBytesIntoLatin1LettersAndTheRest) {
  EXPECT_EQ(CharClassTable[0xD7], CHC_LATIN1_UPPER);
  EXPECT_EQ(CharClassTable[0xF7], CHC_LATIN1_LOWER);
  EXPECT_EQ(CharClassTable[0xDE], CHC_HIGHBYTE);
  EXPECT_EQ(CharClassTable[0xFE], CHC_HIGHBYTE);
  EXPECT_EQ(CharClassTable[0xFF], CHC_HIGHBYTE);
  EXPECT_EQ(CharClassTable[0xC0], CHC_LATIN1_UPPER);
  EXPECT_EQ(CharClassTable[0xDF], CHC_LATIN1_LOWER);
  EXPECT_EQ(CharClassTable[0x80], CHC_HIGHBYTE);
  EXPECT_EQ(CharClassTable[0xBF], CHC_HIGHBYTE);
  for (int c = 0; c < 256; ++c) EXPECT_NE(CharClassTable[c], 0u) << c;
}

TEST(CharClassTable, IsUsableInConstantExpressions) {
  static_assert(CharClassTable['7'] == (CHC_DIGIT | CHC_OCTDIGIT));
  static_assert(CHC_BLANK == 0xA0 && CHC_WHITE == 0xE0 && CHC_ALNUM == 0x7);
  SUCCEED();
}

TEST(CharClassTables, HoldSeparatorsWordEndsAndAccentFolds) {
  EXPECT_EQ(NumberSeparatorClasses[0], 0u);
  EXPECT_EQ(NumberSeparatorClasses[1], 0x8u);
  EXPECT_EQ(NumberSeparatorClasses[2], 0x400u);
  EXPECT_EQ(NumberSeparatorClasses[3], 0x408u);
  // Controls and blank: word 0 full, bit 0 of word 1 (the blank).
  EXPECT_EQ(WordEndCharSet[0], 0xFFFFFFFFu);
  EXPECT_EQ(WordEndCharSet[1], (1u << 0) | (1u << (',' - 32)) | (1u << (';' - 32)));
  for (int w = 2; w < 8; ++w) EXPECT_EQ(WordEndCharSet[w], 0u) << w;

  const struct {
    int byte;
    int folded;
  } folds[] = {{0x80, 0x80}, {0x81, 'u'},  {0x82, 'e'},  {0x83, 'a'},  {0x86, 'a'},  {0x87, 0x87},
               {0x88, 'e'},  {0x8A, 'e'},  {0x8B, 'i'},  {0x8D, 'i'},  {0x8E, 'A'},  {0x8F, 'A'},
               {0x90, 'E'},  {0x91, 0x91}, {0x93, 0x93}, {0x94, 'o'},  {0x95, 'o'},  {0x96, 'u'},
               {0x97, 'u'},  {0x98, 0x98}, {0x99, 'U'},  {0x9A, 0x9A}, {0xA0, 'a'},  {0xA1, 'i'},
               {0xA2, 'o'},  {0xA3, 'u'},  {0xA4, 'n'},  {0xA5, 'N'},  {0xA6, 0xA6}, {0xBF, 0xBF},
               {0xC0, 'A'},  {0xC6, 'A'},  {0xC7, 'C'},  {0xC8, 'E'},  {0xCB, 'E'},  {0xCC, 'I'},
               {0xCF, 'I'},  {0xD0, 'D'},  {0xD1, 'N'},  {0xD2, 'O'},  {0xD6, 'O'},  {0xD7, 0xD7},
               {0xD8, 0xD8}, {0xD9, 'U'},  {0xDC, 'U'},  {0xDD, 'Y'},  {0xDE, 0xDE}, {0xDF, 's'},
               {0xE0, 'a'},  {0xE6, 'a'},  {0xE7, 'c'},  {0xE8, 'e'},  {0xEB, 'e'},  {0xEC, 'i'},
               {0xEF, 'i'},  {0xF0, 'd'},  {0xF1, 'n'},  {0xF2, 'o'},  {0xF6, 'o'},  {0xF7, 0xF7},
               {0xF8, 0xF8}, {0xF9, 'u'},  {0xFC, 'u'},  {0xFD, 'y'},  {0xFE, 0xDE}, {0xFF, 'y'}};
  for (const auto& f : folds) EXPECT_EQ(AccentFoldTable[f.byte - 0x80], f.folded) << f.byte;
}

TEST(StrSpanClass, CountsLeadingMembersAndStopsAtTheTerminator) {
  EXPECT_EQ(StrSpanClass("  \tx", 0xA0), 3);
  EXPECT_EQ(StrSpanClass("", 0xA0), 0);
  EXPECT_EQ(StrSpanClass("", 0x7FFFFFFF), 0);
  EXPECT_EQ(StrSpanClass("123abc", CHC_DIGIT), 3);
  EXPECT_EQ(StrSpanClass("a1_b", CHC_ALNUM | CHC_UNDERSCORE), 4);
  // Bit 31 in the mask never lets the unbounded form run over the end.
  EXPECT_EQ(StrSpanClass("ab", CHC_LOWER | CHC_NUL), 2);
  EXPECT_EQ(StrSpanClass("", 0xFFFFFFFF), 0);
  EXPECT_EQ(StrSpanClassW(u"  \tx", 0xA0), 3);
}

TEST(StrSpanNotClass, StopsAtTheTerminatorWhateverTheMask) {
  EXPECT_EQ(StrSpanNotClass("abc", CHC_DIGIT), 3);
  EXPECT_EQ(StrSpanNotClass("ab1c", CHC_DIGIT), 2);
  EXPECT_EQ(StrSpanNotClass("abc", CHC_DIGIT | CHC_NUL), 3);
  EXPECT_EQ(StrSpanNotClassW(u"ab\u4E00c", CHC_OTHER), 2);
  EXPECT_EQ(StrSpanNotClassW(u"ab\u4E00c", CHC_DIGIT), 4);
}

TEST(StrSpanClassW, DecidesCharactersAbove255ByBit30Alone) {
  EXPECT_EQ(StrSpanClassW(u"\u4E00a", 0x7), 0);
  EXPECT_EQ(StrSpanClassW(u"\u4E00a", 0x40000000), 1);
  EXPECT_EQ(StrSpanClassW(u"\u4E00a", 0x40000004), 2);
  // A character whose low byte is a digit is still no digit.
  EXPECT_EQ(StrSpanClassW(u"\u0131", CHC_DIGIT), 0);
  EXPECT_EQ(StrSpanClassNW(u"\u4E00\u4E01\u4E02", CHC_OTHER, 2), 2);
  const char16_t* ideographs = u"x\u4E00\u4E01";
  EXPECT_EQ(StrSpanClassBackW(ideographs + 3, CHC_OTHER, 10), 2);
}

TEST(StrSpanClassN, HonoursTheBoundAndTreatsTheTerminatorAsACharacter) {
  EXPECT_EQ(StrSpanClassN("aaaa", CHC_LOWER, 0), 0);
  EXPECT_EQ(StrSpanClassN("aaaa", CHC_LOWER, -1), 0);
  EXPECT_EQ(StrSpanClassN("aaaa", CHC_LOWER, 2), 2);
  EXPECT_EQ(StrSpanClassN("aaaa", CHC_LOWER, 9), 4);
  // With bit 31 the bounded span passes the terminator up to maxLen.
  const char text[6] = {'a', 0, 'b', 0, 'c', 'x'};
  EXPECT_EQ(StrSpanClassN(text, CHC_LOWER | CHC_NUL, 5), 5);
  EXPECT_EQ(StrSpanNotClassN(text, CHC_DIGIT, 5), 1);
  EXPECT_EQ(StrSpanNotClassN(text, CHC_DIGIT | CHC_NUL, 5), 5);
  EXPECT_EQ(StrSpanNotClassN("ab", CHC_DIGIT, 0), 0);
  EXPECT_EQ(StrSpanNotClassNW(u"ab1", CHC_DIGIT, 5), 2);
}

TEST(StrSpanClassBack, CountsBackwardsFromTheEnd) {
  const char* text = "abc  \t";
  const char* end = text + 6;
  EXPECT_EQ(StrSpanClassBack(end, CHC_BLANK, 10), 3);
  EXPECT_EQ(StrSpanClassBack(end, CHC_BLANK, 2), 2);
  EXPECT_EQ(StrSpanClassBack(end, CHC_BLANK, -5), 0);
  EXPECT_EQ(StrSpanClassBack(end, CHC_BLANK, 0), 0);
  EXPECT_EQ(StrSpanClassBack(end, CHC_BLANK | CHC_LOWER, 6), 6);
  EXPECT_EQ(StrSpanNotClassBack(text + 3, CHC_BLANK, 3), 3);
  EXPECT_EQ(StrSpanNotClassBack(end, CHC_LOWER, 6), 3);
  // Used as given: bit 31 is not inverted backwards.
  EXPECT_EQ(StrSpanNotClassBack(text + 3, CHC_NUL, 3), 3);
  const char16_t* mixed = u"ab12";
  EXPECT_EQ(StrSpanNotClassBackW(mixed + 4, CHC_LOWER, 4), 2);
}

TEST(StrFindLastOf, FindsTheLastMemberOfTheSet) {
  EXPECT_EQ(StrFindLastOf("a/b\\c", "/\\", -1), 3);
  EXPECT_EQ(StrFindLastOf("a/b\\c", "/\\", -7), 3);  // every negative length means "to the end"
  EXPECT_EQ(StrFindLastOf("a/b\\c", "/\\", 3), 1);
  EXPECT_EQ(StrFindLastOf("a/b\\c", "x", -1), -1);
  EXPECT_EQ(StrFindLastOf("a/b\\c", "/", 0), -1);
  EXPECT_EQ(StrFindLastOf("/abc", "/", -1), 0);
  EXPECT_EQ(StrFindLastOf("abc", "", -1), -1);
  EXPECT_EQ(StrFindLastOf("a\xE9"
                          "b",
                          "\xE9", -1),
            1);
  EXPECT_EQ(StrFindLastNotOf("abc  ", " ", -1), 2);
  EXPECT_EQ(StrFindLastNotOf("   ", " ", -1), -1);
  EXPECT_EQ(StrFindLastNotOf("x  ", " ", 0), -1);
}

TEST(StrSplitPosLastOf, NeverTestsTheFirstCharacter) {
  EXPECT_EQ(StrSplitPosLastOf("a/b\\c", "x", -1), 0);
  EXPECT_EQ(StrSplitPosLastOf("a/b\\c", "/\\", -1), 3);
  EXPECT_EQ(StrSplitPosLastOf("/abc", "/", -1), 0);
  EXPECT_EQ(StrSplitPosLastOf("a/b", "/", 0), 0);
  EXPECT_EQ(StrSplitPosLastNotOf("abc//", "/", -1), 2);
  EXPECT_EQ(StrSplitPosLastNotOf("a///", "/", -1), 0);
  EXPECT_EQ(StrSplitPosLastNotOf("a///", "/", 0), 0);
}

TEST(StrFindLastOfW, MatchesWideSetMembersOneByOne) {
  const char16_t* text = u"a\u4E00b\u4E01c\u00E9";
  EXPECT_EQ(StrFindLastOfW(text, u"\u4E00", -1), 1);
  EXPECT_EQ(StrFindLastOfW(text, u"\u4E01x\u4E00", -1), 3);
  // The low byte of a wide character does not make it a member.
  EXPECT_EQ(StrFindLastOfW(u"a\u0161", u"a", -1), 0);
  EXPECT_EQ(StrFindLastOfW(u"a\u0161", u"\u0161", -1), 1);
  EXPECT_EQ(StrFindLastOfW(text, u"\u00E9", -1), 5);
  EXPECT_EQ(StrFindLastNotOfW(text, u"\u00E9c", -1), 3);
  EXPECT_EQ(StrSplitPosLastOfW(text, u"\u4E02", -1), 0);
  EXPECT_EQ(StrSplitPosLastNotOfW(u"ab\u4E00", u"\u4E00", -1), 1);
}

}  // namespace
