#include "toolkit/unitvalue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kPlain = UnitFmtPrefix(UNITFMT_PREFIX_NONE);

struct UnitCase {
  uint64_t value;
  uint32_t flags;
  const char* unit;
  const char* text;
  int prefix;
};

std::string Format(uint64_t value, uint32_t flags, const char* unit, int* prefix) {
  char buffer[64];
  const int n = FormatUnitValue(value, buffer, sizeof buffer, flags, unit, prefix);
  EXPECT_EQ(n, static_cast<int>(std::strlen(buffer)));
  return buffer;
}

TEST(FormatUnitValue, WritesScaledValuesWithPrefixAndUnit) {
  const char* bytes = UNITFMT_BYTES;
  const uint32_t unit = UNITFMT_UNIT;
  const UnitCase cases[] = {
      {1536, unit | UNITFMT_BINARY | UnitFmtFraction(1) | UnitFmtDigits(3) | kPlain, bytes, "1.5kB",
       9},
      {1234567, 7 | UnitFmtFraction(2) | UnitFmtDigits(3) | kPlain, "Hz", "1.23MHz", 10},
      {512, unit | UnitFmtFraction(1) | UnitFmtDigits(3) | kPlain, bytes, "512Byte", 8},
      {999, UnitFmtDigits(3) | kPlain, nullptr, "999", 8},
      {999, unit | UnitFmtDigits(3) | kPlain, nullptr, "999", 8},
      {1000, unit | UnitFmtDigits(3) | kPlain, "Hz", "1kHz", 9},
      {1234567, UnitFmtThousands('.') | UnitFmtDigits(9) | kPlain, nullptr, "1.234.567", 8},
      {static_cast<uint64_t>(-123),
       UNITFMT_SIGNED | UnitFmtThousands('.') | UnitFmtDigits(9) | kPlain, nullptr, "-123", 8},
      {static_cast<uint64_t>(-1234567),
       UNITFMT_SIGNED | UnitFmtThousands('\'') | UnitFmtDigits(9) | kPlain, nullptr, "-1'234'567",
       8},
      // Without UNITFMT_SIGNED a negative pattern is a huge unsigned value.
      {static_cast<uint64_t>(-1234567), UnitFmtDigits(3) | kPlain, nullptr, "18", 14},
      // Values near 2^64 keep their fraction (computed in 128 bits).
      {UINT64_MAX, unit | UnitFmtFraction(3) | UnitFmtDigits(3) | kPlain, "B", "18.446EB", 14},
      {UINT64_MAX, unit | UNITFMT_BINARY | UnitFmtFraction(3) | UnitFmtDigits(3) | kPlain, bytes,
       "15.999EB", 14},
      {UINT64_MAX, UnitFmtFraction(15) | UnitFmtDigits(1) | kPlain, nullptr, "0.018446744073709",
       15},
      {static_cast<uint64_t>(INT64_MIN),
       UNITFMT_SIGNED | unit | UnitFmtFraction(2) | UnitFmtDigits(3) | kPlain, "B", "-9.22EB", 14},
      {1536, unit | UNITFMT_SPACE | UNITFMT_BINARY | UnitFmtFraction(1) | UnitFmtDigits(3) | kPlain,
       bytes, "1.5 kB", 9},
      {1536,
       unit | UNITFMT_BINARY | UnitFmtFraction(1) | UnitFmtDigits(3) | UnitFmtDecimal(',') | kPlain,
       bytes, "1,5kB", 9},
      {2000, unit | UNITFMT_STRIP_ZEROS | UnitFmtFraction(3) | UnitFmtDigits(3) | kPlain, "Hz",
       "2kHz", 9},
      {2500, unit | UNITFMT_STRIP_ZEROS | UnitFmtFraction(3) | UnitFmtDigits(3) | kPlain, "Hz",
       "2.5kHz", 9},
      {2000, unit | UnitFmtFraction(3) | UnitFmtDigits(3) | kPlain, "Hz", "2.000kHz", 9},
      {2048, unit | UnitFmtFraction(1) | UnitFmtDigits(3) | UNITFMT_BINARY | kPlain, bytes, "2.0kB",
       9},
      // Scaling from a small start prefix.
      {1500, unit | UnitFmtFraction(2) | UnitFmtDigits(3) | UnitFmtPrefix(UNITFMT_PREFIX_MILLI),
       "V", "1.50V", 8},
      {12345, unit | UnitFmtFraction(2) | UnitFmtDigits(3) | UnitFmtPrefix(4), "F", "12.34nF", 5},
      {1500, unit | UnitFmtFraction(2) | UnitFmtDigits(3) | UnitFmtPrefix(5), "s", "1.50\xB5s", 6},
      {5, unit | UnitFmtDigits(3) | UnitFmtPrefix(0), "m", "5ym", 0},
      // The prefix index stays within the table.
      {5000, unit | UnitFmtDigits(3) | UnitFmtPrefix(15), "B", "5ZB", 15},
      // No integer digits allowed means one.
      {7, UnitFmtDigits(0) | kPlain, nullptr, "7", 8},
      {12, unit | UnitFmtFraction(3) | UnitFmtDigits(0) | kPlain, "m", "0.012km", 9},
      // Aligned columns: integer right-aligned, zeros kept, blank for no prefix.
      {1234, unit | UNITFMT_ALIGNED | UnitFmtThousands('.') | UnitFmtDigits(7) | kPlain, "Hz",
       "    1.234Hz ", 8},
      {static_cast<uint64_t>(-1234),
       UNITFMT_SIGNED | UNITFMT_ALIGNED | UnitFmtThousands('.') | UnitFmtDigits(7) | kPlain,
       nullptr, "   -1.234", 8},
      {2048,
       unit | UNITFMT_ALIGNED | UnitFmtFraction(1) | UnitFmtDigits(3) | UNITFMT_BINARY | kPlain,
       bytes, "  2.0kB  ", 9},
      {5, unit | UNITFMT_ALIGNED | UnitFmtFraction(1) | UnitFmtDigits(3) | kPlain, bytes,
       "  5.0Byte", 8},
      {5,
       unit | UNITFMT_ALIGNED | UNITFMT_STRIP_ZEROS | UnitFmtFraction(2) | UnitFmtDigits(3) |
           kPlain,
       nullptr, "  5.00 ", 8},
  };
  for (const UnitCase& c : cases) {
    int prefix = -1;
    EXPECT_EQ(Format(c.value, c.flags, c.unit, &prefix), c.text)
        << c.value << " flags " << std::hex << c.flags;
    EXPECT_EQ(prefix, c.prefix) << c.text;
  }
}

TEST(FormatUnitValueW, WritesTheSameTextInWideCharacters) {
  char16_t buffer[32];
  int prefix = -1;
  const int n = FormatUnitValueW(
      1500, buffer, 32, UNITFMT_UNIT | UnitFmtFraction(2) | UnitFmtDigits(3) | UnitFmtPrefix(5),
      u"s", &prefix);
  EXPECT_EQ(std::u16string(buffer), u"1.50\u00B5s");
  EXPECT_EQ(n, 6);
  EXPECT_EQ(prefix, 6);
  FormatUnitValueW(1536, buffer, 32,
                   UNITFMT_UNIT | UNITFMT_BINARY | UnitFmtFraction(1) | UnitFmtDigits(3) | kPlain,
                   UNITFMT_BYTES, nullptr);
  EXPECT_EQ(std::u16string(buffer), u"1.5kB");
  FormatUnitValueW(512, buffer, 32, UNITFMT_UNIT | UnitFmtFraction(1) | UnitFmtDigits(3) | kPlain,
                   UNITFMT_BYTES, nullptr);
  EXPECT_EQ(std::u16string(buffer), u"512Byte");
}

TEST(FormatUnitValue, KeepsTheSignOfNegativeValuesScaledBelowOne) {
  const uint32_t flags = UNITFMT_SIGNED | UNITFMT_UNIT | kPlain;
  const UnitCase cases[] = {
      {static_cast<uint64_t>(-999), flags | UnitFmtFraction(1) | UnitFmtDigits(1), "Hz", "-0.9kHz",
       9},
      {static_cast<uint64_t>(-999), flags | UnitFmtFraction(2) | UnitFmtDigits(2), "Hz",
       "-0.99kHz", 9},
      {static_cast<uint64_t>(-1500), flags | UnitFmtFraction(1) | UnitFmtDigits(1), "Hz",
       "-1.5kHz", 9},
      // Aligned: laid out in the column as any other one-digit negative value.
      {static_cast<uint64_t>(-999), flags | UNITFMT_ALIGNED | UnitFmtFraction(2) | UnitFmtDigits(2),
       "Hz", " -0.99kHz", 9},
      {static_cast<uint64_t>(-5), flags | UNITFMT_ALIGNED | UnitFmtFraction(2) | UnitFmtDigits(2),
       "Hz", " -5.00Hz ", 8},
  };
  for (const UnitCase& c : cases) {
    int prefix = -1;
    EXPECT_EQ(Format(c.value, c.flags, c.unit, &prefix), c.text) << c.text;
    EXPECT_EQ(prefix, c.prefix) << c.text;
  }
  wchar16 wide[32];
  const int n = FormatUnitValueW(static_cast<uint64_t>(-999), wide, 32,
                                 flags | UnitFmtFraction(1) | UnitFmtDigits(1), u"Hz", nullptr);
  EXPECT_EQ(std::u16string(wide, size_t(n)), u"-0.9kHz");
}

TEST(FormatUnitValue, NeverWritesPastTheBuffer) {
  const uint32_t flags =
      UNITFMT_UNIT | UNITFMT_BINARY | UnitFmtFraction(1) | UnitFmtDigits(3) | kPlain;
  for (int size = 0; size <= 7; ++size) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    const int n = FormatUnitValue(1536, buffer, size, flags, UNITFMT_BYTES, nullptr);
    const std::string full = "1.5kB";
    const int expected = size < 1 ? 0 : std::min<int>(size - 1, 5);
    EXPECT_EQ(n, expected) << size;
    if (size > 0) {
      EXPECT_EQ(std::string(buffer), full.substr(0, static_cast<size_t>(expected)));
    }
    for (int k = std::max(size, 0); k < 8; ++k) EXPECT_EQ(buffer[k], '#') << size;
  }
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(FormatUnitValue(1, buffer, -3, 0, nullptr, nullptr), 0);
  EXPECT_EQ(buffer[0], '#');
  const std::string longUnit(200, 'u');
  char small[16];
  EXPECT_EQ(FormatUnitValue(7, small, sizeof small, UNITFMT_UNIT | UnitFmtDigits(3) | kPlain,
                            longUnit.c_str(), nullptr),
            15);
  EXPECT_EQ(std::string(small), "7" + std::string(14, 'u'));
}

std::vector<uint8_t> Parse(const char* text, int maxItems, uint32_t flags, int* count, int* used) {
  std::vector<uint8_t> out(static_cast<size_t>(maxItems) * 4 + 8, 0xEE);
  *count = ParseNumberList(text, out.data(), maxItems, flags, used);
  const int itemSize = static_cast<int>((flags & NUMLIST_SIZE_MASK) >> NUMLIST_SIZE_SHIFT) + 1;
  for (size_t k = static_cast<size_t>(maxItems * itemSize); k < out.size(); ++k) {
    EXPECT_EQ(out[k], 0xEE) << "written past maxItems";
  }
  out.resize(static_cast<size_t>(maxItems * itemSize));
  return out;
}

struct ListCase {
  const char* text;
  uint32_t flags;
  int maxItems;
  int count;
  int used;
  std::vector<uint8_t> bytes;  // the whole output array
};

template <size_t N>
void ExpectLists(const ListCase (&cases)[N]) {
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.text);
    int count = -1, used = -1;
    EXPECT_EQ(Parse(c.text, c.maxItems, c.flags, &count, &used), c.bytes);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(used, c.used);
  }
}

TEST(ParseNumberList, ReadsPlainListsUnderTheirSeparators) {
  const uint32_t comma = NumListSeparator(NUMLIST_SEP_COMMA);
  const ListCase cases[] = {
      {"1, 2, 3", comma | NumListItemSize(2), 2, 2, 7, {1, 0, 2, 0}},
      {"1, 2, 3",
       comma | NumListItemSize(2) | NUMLIST_FILL_ZERO,
       5,
       3,
       7,
       {1, 0, 2, 0, 3, 0, 0, 0, 0, 0}},
      {"1", NumListItemSize(2) | NUMLIST_FILL_FF, 3, 1, 1, {1, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"1;2;3", NumListSeparator(NUMLIST_SEP_SEMICOLON), 4, 3, 5, {1, 2, 3, 0xEE}},
      {"1;2 3", NumListSeparator(NUMLIST_SEP_SEMICOLON), 4, 2, 4, {1, 2, 0xEE, 0xEE}},
      {"1,2;3:4.5 6", NumListSeparator(NUMLIST_SEP_ANY), 6, 6, 11, {1, 2, 3, 4, 5, 6}},
      {"  ,1 2", 0, 2, 2, 6, {1, 2}},
      {"1 2", NumListSeparator(NUMLIST_SEP_NONE), 2, 2, 3, {1, 2}},
      {"1,2", NumListSeparator(NUMLIST_SEP_NONE), 2, 1, 1, {1, 0xEE}},
      {"1-2-3", NumListSeparator(NUMLIST_SEP_MINUS), 3, 3, 5, {1, 2, 3}},
      {"1 \t 2\t3", NumListSeparator(NUMLIST_SEP_TAB), 3, 3, 7, {1, 2, 3}},
      // With TAB separators only spaces are blanks: an empty field ends the list.
      {"1\t\t2", NumListSeparator(NUMLIST_SEP_TAB), 2, 1, 2, {1, 0xEE}},
      {"1,2,", comma, 3, 2, 4, {1, 2, 0xEE}},
      // A number that reads no digit ends the list.
      {"1 0x 2", 0, 3, 1, 2, {1, 0xEE, 0xEE}},
      {"1 - 2", 0, 3, 1, 2, {1, 0xEE, 0xEE}},
      {"", 0, 1, 0, 0, {0xEE}},
      {"x", NUMLIST_FILL_ZERO, 2, 0, 0, {0, 0}},
  };
  ExpectLists(cases);
}

TEST(ParseNumberList, ReadsRadixesSignsQuotesAndItemSizes) {
  const ListCase cases[] = {
      {"101 11", NumListRadix(1), 2, 2, 6, {5, 3}},
      {"010 9", NumListRadix(2), 2, 2, 5, {10, 9}},
      {"17 8", NumListRadix(3), 2, 1, 3, {15, 0xEE}},
      {"ff 1F", NumListRadix(4), 2, 2, 5, {0xFF, 0x1F}},
      {"0x10 0b11 0o17 12", NumListRadix(0), 4, 4, 17, {16, 3, 15, 12}},
      {"-1;-2", NUMLIST_NEGATIVE | NumListSeparator(NUMLIST_SEP_SEMICOLON), 2, 2, 5, {0xFF, 0xFE}},
      {"-1 -0x10", NUMLIST_NEGATIVE, 2, 2, 8, {0xFF, 0xF0}},
      {"-1,-2", NUMLIST_NEGATIVE | NumListSeparator(NUMLIST_SEP_COMMA), 2, 0, 0, {0xEE, 0xEE}},
      {"-1", 0, 1, 0, 0, {0xEE}},
      {"- 1", NUMLIST_NEGATIVE, 1, 0, 0, {0xEE}},
      {"\"1 2\"", NUMLIST_QUOTED, 2, 2, 4, {1, 2}},
      {"\"1 2\"", 0, 2, 0, 0, {0xEE, 0xEE}},
      {"0x123456 0x789ABCDE",
       NumListItemSize(4),
       2,
       2,
       19,
       {0x56, 0x34, 0x12, 0, 0xDE, 0xBC, 0x9A, 0x78}},
      {"0x123456 0x789ABCDE", NumListItemSize(3), 2, 2, 19, {0x56, 0x34, 0x12, 0xDE, 0xBC, 0x9A}},
      {"300", NumListItemSize(1), 1, 1, 3, {300 & 0xFF}},
  };
  ExpectLists(cases);
}

TEST(ParseNumberList, ContinuesOverLinesOnlyWhenAsked) {
  const uint32_t comma = NumListSeparator(NUMLIST_SEP_COMMA);
  const ListCase cases[] = {
      {"1,2,\n3,4", comma | NUMLIST_MULTILINE, 4, 4, 8, {1, 2, 3, 4}},
      {"1,2\r\n3,4\r\n", comma | NUMLIST_MULTILINE, 4, 4, 10, {1, 2, 3, 4}},
      {"1,2,\n3,4", comma, 4, 2, 4, {1, 2, 0xEE, 0xEE}},
      {"1 2 \\\n3 4\n5", NUMLIST_MULTILINE | NUMLIST_BACKSLASH_LINES, 5, 4, 9, {1, 2, 3, 4, 0xEE}},
      {"1, 2, \\\r\n 3", comma | NUMLIST_MULTILINE | NUMLIST_BACKSLASH_LINES, 3, 3, 11, {1, 2, 3}},
  };
  ExpectLists(cases);
}

// Output of `hexdump -C` over the 30 bytes below.
TEST(ParseNumberList, ReadsAHexDumpWithAddressesAndTextColumn) {
  const char* dump =
      "00000000  48 65 6c 6c 6f 2c 20 57  6f 72 6c 64 21 0a 54 68  |Hello, World!.Th|\n"
      "00000010  69 73 20 69 73 20 61 20  74 65 73 74 2e 0a        |is is a test..|\n"
      "0000001e\n";
  const std::string expected = "Hello, World!\nThis is a test.\n";
  std::vector<uint8_t> out(40, 0xEE);
  int used = -1;
  const int count =
      ParseNumberList(dump, out.data(), 40, 16 | NUMLIST_MULTILINE | NUMLIST_FILL_ZERO, &used);
  ASSERT_EQ(count, 30);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 30), expected);
  for (int k = 30; k < 40; ++k) EXPECT_EQ(out[k], 0);
  const std::string text(dump);
  EXPECT_EQ(used, static_cast<int>(text.find('|', text.find('\n'))));

  // One line only without the multi-line switch.
  EXPECT_EQ(ParseNumberList(dump, out.data(), 40, 16, &used), 16);
  EXPECT_EQ(used, static_cast<int>(text.find('|')));
}

TEST(ParseNumberList, SkipsBracketedAddressesAndReadsWideItems) {
  const char* dump =
      "[0000] DEADBEEF 01020304 ; first\n"
      "[0008] 0000FFFF CAFEBABE\n";
  std::vector<uint8_t> out(16, 0xEE);
  int used = -1;
  const uint32_t flags = 2 | NumListItemSize(4) | NUMLIST_MULTILINE;
  EXPECT_EQ(ParseNumberList(dump, out.data(), 4, flags, &used), 4);
  const std::vector<uint8_t> expected = {0xEF, 0xBE, 0xAD, 0xDE, 0x04, 0x03, 0x02, 0x01,
                                         0xFF, 0xFF, 0x00, 0x00, 0xBE, 0xBA, 0xFE, 0xCA};
  EXPECT_EQ(out, expected);
  EXPECT_EQ(used, static_cast<int>(std::strlen(dump)) + 0);

  // Lines without an address: the first token has the length of an item.
  const char16_t* wide = u"4142 4344\n4546\n";
  std::vector<uint8_t> words(6, 0xEE);
  EXPECT_EQ(
      ParseNumberListW(wide, words.data(), 3, 2 | NumListItemSize(2) | NUMLIST_MULTILINE, &used),
      3);
  EXPECT_EQ(words, (std::vector<uint8_t>{0x42, 0x41, 0x44, 0x43, 0x46, 0x45}));
}

TEST(ParseNumberList, ReadsWithoutStoringWhenThereIsNoRoom) {
  int used = -1;
  EXPECT_EQ(ParseNumberList("1 2 3", nullptr, 5, NUMLIST_FILL_ZERO, &used), 0);
  EXPECT_EQ(used, 5);
  uint8_t one = 0xEE;
  EXPECT_EQ(ParseNumberList("1 2 3", &one, 0, 0, &used), 0);
  EXPECT_EQ(used, 5);
  EXPECT_EQ(one, 0xEE);
  EXPECT_EQ(ParseNumberList("1 2 3", &one, -4, NUMLIST_FILL_FF, &used), 0);
  EXPECT_EQ(one, 0xEE);
  EXPECT_EQ(ParseNumberListW(u"1,\u4E002", &one, 1, NumListSeparator(NUMLIST_SEP_COMMA), &used), 1);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(one, 1);
}

}  // namespace
