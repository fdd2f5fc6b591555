#include "toolkit/inttext.h"

#include <gtest/gtest.h>

#include <bitset>
#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Fmt(int value, uint32_t flags) {
  char buffer[INTTEXT_BUFFER_SIZE];
  const int n = IntToStr(value, buffer, flags);
  EXPECT_EQ(n, static_cast<int>(std::char_traits<char>::length(buffer)));
  return std::string(buffer, static_cast<size_t>(n));
}

std::string Fmt64(int64_t value, uint32_t flags) {
  char buffer[INTTEXT_BUFFER_SIZE];
  const int n = Int64ToStr(value, buffer, flags);
  EXPECT_EQ(n, static_cast<int>(std::char_traits<char>::length(buffer)));
  return std::string(buffer, static_cast<size_t>(n));
}

std::string Narrow(const char16_t* text) {
  std::string s;
  for (; *text != 0; ++text) s.push_back(static_cast<char>(*text));
  return s;
}

struct ParseCase {
  const char* text;
  uint32_t flags;
  int value;
  int used;
};

void ExpectParses(const std::vector<ParseCase>& cases) {
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\" flags " + std::to_string(c.flags));
    int used = -1;
    EXPECT_EQ(StrToInt(c.text, c.flags, &used), c.value);
    EXPECT_EQ(used, c.used);
    std::u16string wide(c.text, c.text + std::char_traits<char>::length(c.text));
    used = -1;
    EXPECT_EQ(StrToIntW(wide.c_str(), c.flags, &used), c.value);
    EXPECT_EQ(used, c.used);
    used = -1;
    EXPECT_EQ(StrToInt64(c.text, c.flags, &used), c.value);
    EXPECT_EQ(used, c.used);
  }
}

TEST(StrToInt, ReadsAutomaticPrefixesSignsAndBlanks) {
  ExpectParses({{" 42", 0, 42, 3},
                {"0x1F", 0, 31, 4},
                {"0X1f", 0, 31, 4},
                {"0b101", 0, 5, 5},
                {"0d19", 0, 19, 4},
                {"0o17", 0, 15, 4},
                {"010", 0, 10, 3},
                {"0", 0, 0, 1},
                {"-7", 0, -7, 2},
                {"- 7", 0, -7, 3},
                {"\t-\t7x", 0, -7, 4},
                {"+7", 0, 0, 0},
                {"", 0, 0, 0},
                {"abc", 0, 0, 0},
                {"  x", 0, 0, 2},
                {"0x", 0, 0, 2},
                {"-", 0, 0, 1}});
}

TEST(StrToInt, HonoursTheSignAndBlankSwitches) {
  ExpectParses({{"-7", INTPARSE_NO_SIGN, 0, 0},
                {"- 7", INTPARSE_NO_BLANK_AFTER_SIGN, 0, 1},
                {"-7", INTPARSE_NO_BLANK_AFTER_SIGN, -7, 2},
                {" 7", INTPARSE_NO_LEADING_BLANKS, 0, 0},
                {"- 7", INTPARSE_NO_LEADING_BLANKS, 0, 1},
                {"12 \t\r\nx", INTPARSE_TRAILING_BLANKS, 12, 6},
                {"12 \t\r\nx", 0, 12, 2}});
}

TEST(StrToInt, ReadsSuffixesInSuffixMode) {
  ExpectParses({{"1Fh", INTPARSE_SUFFIX, 31, 3},
                {"101b", INTPARSE_SUFFIX, 5, 4},
                {"17o", INTPARSE_SUFFIX, 15, 3},
                {"17O", INTPARSE_SUFFIX, 15, 3},
                {"12", INTPARSE_SUFFIX, 12, 2},
                {"0FFH", INTPARSE_SUFFIX, 255, 4},
                {"19o", INTPARSE_SUFFIX, 19, 2},
                // A lone suffix letter is no number.
                {"h", INTPARSE_SUFFIX, 0, 0},
                {"b", INTPARSE_SUFFIX, 0, 0}});
}

TEST(StrToInt, ReadsCLiterals) {
  ExpectParses({{"017", INTPARSE_C, 15, 3},
                {"0x10", INTPARSE_C, 16, 4},
                {"0b11", INTPARSE_C, 3, 4},
                {"0b11", INTPARSE_C_NO_BINARY, 0, 1},
                {"0d12", INTPARSE_C, 0, 1},
                {"19", INTPARSE_C, 19, 2},
                {"08", INTPARSE_C, 0, 1}});
}

TEST(StrToInt, ReadsRadixHashForms) {
  ExpectParses({{"16#FF", INTPARSE_HASH, 255, 5},
                {"2#1010_1010", INTPARSE_HASH, 170, 11},
                {"8#27", INTPARSE_HASH, 23, 4},
                {"10#99", INTPARSE_HASH, 99, 5},
                {"1_0", INTPARSE_HASH, 1, 1},
                {"12#5", INTPARSE_HASH, 12, 2},
                {"16#FF", INTPARSE_ANY, 255, 5}});
}

TEST(StrToInt, ReadsEveryNotationInTheAnyModes) {
  ExpectParses({{"0x1F", INTPARSE_ANY, 31, 4},
                {"0o17", INTPARSE_ANY, 15, 4},
                {"0b11", INTPARSE_ANY, 3, 4},
                {"0d19", INTPARSE_ANY, 19, 4},
                {"017", INTPARSE_ANY, 17, 3},
                {"017", INTPARSE_ANY_OCTAL, 15, 3},
                {"1Fh", INTPARSE_ANY, 31, 3},
                {"0FFh", INTPARSE_ANY, 255, 4},
                {"0FFh", INTPARSE_ANY_OCTAL, 255, 4},
                {"101b", INTPARSE_ANY, 5, 4},
                {"017o", INTPARSE_ANY_OCTAL, 15, 4},
                // Hex numbers with a suffix whose digits start like a prefix.
                {"0Bh", INTPARSE_ANY, 11, 3},
                {"0Dh", INTPARSE_ANY, 13, 3},
                {"0DEADh", INTPARSE_ANY, 0xDEAD, 6},
                {"0bah", INTPARSE_ANY_OCTAL, 0xBA, 4},
                {"0b101b", INTPARSE_ANY, 5, 5}});
}

TEST(StrToInt, ReadsPlainRadixesAndClampsLargeOnes) {
  ExpectParses({{"zz", 36, 1295, 2},
                {"ZZ", 36, 1295, 2},
                {"zz", 37, 1295, 2},
                {"zz", 250, 1295, 2},
                {"777", 8, 511, 3},
                {"1012", 2, 5, 3},
                {"0x10", 16, 0, 1}});
}

TEST(StrToInt, SkipsDigitGroupSeparatorsWhenAllowed) {
  ExpectParses({{"1_000", INTPARSE_SEP_UNDERSCORE, 1000, 5},
                {"1_000", 0, 1, 1},
                {"1'000'000", INTPARSE_SEP_QUOTE, 1000000, 9},
                {"1'0_0", INTPARSE_SEP_QUOTE | INTPARSE_SEP_UNDERSCORE, 100, 5},
                {"_1", INTPARSE_SEP_UNDERSCORE, 1, 2},
                {"0x_F_F", INTPARSE_SEP_UNDERSCORE, 255, 6}});
}

TEST(StrToInt, WrapsModuloTheResultWidth) {
  int used = 0;
  EXPECT_EQ(StrToInt("4294967296", 0, &used), 0);
  EXPECT_EQ(used, 10);
  EXPECT_EQ(StrToInt("-2147483648", 0, nullptr), INT_MIN);
  EXPECT_EQ(StrToInt("2147483648", 0, nullptr), INT_MIN);
  EXPECT_EQ(StrToInt("0xFFFFFFFF", 0, nullptr), -1);
  EXPECT_EQ(StrToInt64("18446744073709551615", 0, nullptr), -1);
  EXPECT_EQ(StrToInt64("-9223372036854775808", 0, nullptr), INT64_MIN);
  EXPECT_EQ(StrToInt64("18446744073709551616", 0, nullptr), 0);
  EXPECT_EQ(StrToInt64("0x123456789ABCDEF0", 0, nullptr), 0x123456789ABCDEF0);
  EXPECT_EQ(StrToInt64("99999999999999999999999", 0, nullptr),
            static_cast<int64_t>(200376420520689663ULL));  // 10^23 - 1 mod 2^64
}

TEST(StrToIntN, NeverLooksPastTheBound) {
  int used = -1;
  EXPECT_EQ(StrToIntN("123", 0, 0, &used), 0);
  EXPECT_EQ(used, 0);
  EXPECT_EQ(StrToIntN("123", -4, 0, &used), 0);
  EXPECT_EQ(used, 0);
  EXPECT_EQ(StrToIntN("12345", 3, 0, &used), 123);
  EXPECT_EQ(used, 3);
  // The suffix beyond the bound does not decide the radix.
  EXPECT_EQ(StrToIntN("1Fh", 2, INTPARSE_SUFFIX, &used), 1);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(StrToIntN("1Fh", 3, INTPARSE_SUFFIX, &used), 31);
  EXPECT_EQ(used, 3);
  // A two-character prefix needs a third character within the bound.
  EXPECT_EQ(StrToIntN("0x1F", 2, 0, &used), 0);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(StrToIntN("0x1F", 3, 0, &used), 1);
  EXPECT_EQ(used, 3);
  EXPECT_EQ(StrToIntN("16#FF", 2, INTPARSE_HASH, &used), 16);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(StrToIntN("12  ", 3, INTPARSE_TRAILING_BLANKS, &used), 12);
  EXPECT_EQ(used, 3);
  EXPECT_EQ(StrToInt64N("123456789012", 11, 0, &used), 12345678901);
  EXPECT_EQ(used, 11);
  // The bound may lie beyond the terminator: the terminator still stops.
  const char text[8] = {'1', '2', 0, '3', '4', 0, 0, 0};
  EXPECT_EQ(StrToIntN(text, 8, 0, &used), 12);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(StrToIntNW(u"0b101", 5, 0, &used), 5);
  EXPECT_EQ(StrToInt64NW(u"-99", 2, 0, &used), -9);
}

TEST(StrToIntW, TreatsCharactersAbove255AsNonNumberCharacters) {
  int used = -1;
  EXPECT_EQ(StrToIntW(u"12\u4E003", 0, &used), 12);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(StrToIntW(u"\u4E0012", 0, &used), 0);
  EXPECT_EQ(used, 0);
  EXPECT_EQ(StrToIntW(u"-\u4E007", 0, &used), 0);
  EXPECT_EQ(used, 1);
  // U+0131 and U+0166 have the low bytes of '1' and 'f'.
  EXPECT_EQ(StrToIntW(u"\u0131", 0, &used), 0);
  EXPECT_EQ(used, 0);
  EXPECT_EQ(StrToIntW(u"1\u0166", 16, &used), 1);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(StrToIntW(u"1\u4E00000", INTPARSE_SEP_UNDERSCORE | INTPARSE_SEP_QUOTE, &used), 1);
  EXPECT_EQ(StrToInt64W(u"1\u00A02", 0, &used), 1);  // no-break space is no blank either
  EXPECT_EQ(used, 1);
}

TEST(HexToIntN, ReadsBlanksThenHexDigitsWithinTheLength) {
  EXPECT_EQ(HexToIntN("  1F", -1), 0x1Fu);
  EXPECT_EQ(HexToIntN(" \t1fz", -1), 0x1Fu);
  EXPECT_EQ(HexToIntN(" 1F", 2), 1u);
  EXPECT_EQ(HexToIntN(" 1F", 1), 0u);
  EXPECT_EQ(HexToIntN("1F", 0), 0u);
  EXPECT_EQ(HexToIntN("-1", -1), 0u);
  EXPECT_EQ(HexToIntN("0x1F", -1), 0u);
  EXPECT_EQ(HexToIntN("DEADBEEF", -1), 0xDEADBEEFu);
  EXPECT_EQ(HexToIntN("123456789", -1), 0x23456789u);
  EXPECT_EQ(HexToIntNW(u"  cafe", 6), 0xCAFEu);
  EXPECT_EQ(HexToIntNW(u"1\u0146", -1), 1u);
}

TEST(IntToStr, WritesTheDocumentedStyles) {
  const struct {
    int value;
    uint32_t flags;
    const char* text;
  } cases[] = {
      {255, INTFMT_HEX_H, "0FFh"},
      {10, INTFMT_HEX_H, "0Ah"},
      {0x9A, INTFMT_HEX_H, "9Ah"},
      {0, INTFMT_HEX_H, "0h"},
      {255, INTFMT_HEX_HASH, "16#FF"},
      {-42, INTFMT_DECIMAL | IntFmtWidth(5), "-0042"},
      {-42, INTFMT_DECIMAL | IntFmtWidth(2), "-42"},
      {-4, INTFMT_DECIMAL | IntFmtWidth(2), "-04"},
      {42, INTFMT_DECIMAL | IntFmtWidth(5) | INTFMT_PAD_BLANKS, "   42"},
      {-42, INTFMT_DECIMAL | IntFmtWidth(5) | INTFMT_PAD_BLANKS, "  -42"},
      {0x1F, INTFMT_HEX_0X | IntFmtWidth(4) | INTFMT_PAD_BLANKS, "  0x1F"},
      {0x1F, INTFMT_HEX_0X | IntFmtWidth(4), "0x001F"},
      {0xAB, INTFMT_HEX_H | IntFmtWidth(4) | INTFMT_PAD_BLANKS, "  0ABh"},
      {0xAB, INTFMT_HEX_H | IntFmtWidth(4), "00ABh"},
      {5, INTFMT_BIN_0B, "0b101"},
      {8, INTFMT_OCT_0O, "0o10"},
      {5, INTFMT_BIN_B, "101b"},
      {8, INTFMT_OCT_O, "10o"},
      {5, INTFMT_BIN_HASH, "2#101"},
      {8, INTFMT_OCT_HASH, "8#10"},
      {-1, INTFMT_DEC_HASH, "10#4294967295"},
      {-1, INTFMT_UNSIGNED, "4294967295"},
      {-1, 200, "4294967295"},
      {-1, INTFMT_HEX_0X, "0xFFFFFFFF"},
      {INT_MIN, INTFMT_DECIMAL, "-2147483648"},
      {INT_MIN, INTFMT_DECIMAL | IntFmtWidth(12), "-02147483648"},
      {0x12345, INTFMT_HEX_0X | IntFmtWidth(2) | INTFMT_EXACT_WIDTH, "0x45"},
      {0xABC, INTFMT_HEX_H | IntFmtWidth(2) | INTFMT_EXACT_WIDTH, "BCh"},
      {0x0BC, INTFMT_HEX_H | IntFmtWidth(3) | INTFMT_EXACT_WIDTH, "0BCh"},
      {1295, INTFMT_RADIX | 36, "ZZ"},
      {-1, INTFMT_RADIX | 16, "FFFFFFFF"},
      // A radix outside 2..36 is clamped.
      {5, INTFMT_RADIX | 0, "101"},
      {5, INTFMT_RADIX | 1, "101"},
      {1295, INTFMT_RADIX | 37, "ZZ"},
      {1295, INTFMT_RADIX | 255, "ZZ"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Fmt(c.value, c.flags), c.text) << c.value << " flags " << std::hex << c.flags;
    char16_t wide[INTTEXT_BUFFER_SIZE];
    const int n = IntToStrW(c.value, wide, c.flags);
    EXPECT_EQ(Narrow(wide), c.text);
    EXPECT_EQ(n, static_cast<int>(std::char_traits<char>::length(c.text)));
  }
}

TEST(Int64ToStr, PrintsEveryDigitOfWideValues) {
  EXPECT_EQ(Fmt64(INT64_C(1) << 32, INTFMT_BIN_0B), "0b1" + std::string(32, '0'));
  EXPECT_EQ(Fmt64(-1, INTFMT_RADIX | 2), std::string(64, '1'));
  EXPECT_EQ(Fmt64(-1, INTFMT_BIN_HASH), "2#" + std::string(64, '1'));
  EXPECT_EQ(Fmt64(-1, INTFMT_BIN_B), std::string(64, '1') + "b");
  EXPECT_EQ(Fmt64(INT64_MIN, INTFMT_OCT_O), "1" + std::string(21, '0') + "o");
  EXPECT_EQ(Fmt64(INT64_MIN, INTFMT_DECIMAL), "-9223372036854775808");
  EXPECT_EQ(Fmt64(-1, INTFMT_UNSIGNED), "18446744073709551615");
  EXPECT_EQ(Fmt64(-1, INTFMT_HEX_H), "0FFFFFFFFFFFFFFFFh");
  // Width 63 with exact width: the low 63 binary digits.
  EXPECT_EQ(Fmt64(-1, INTFMT_RADIX | 2 | IntFmtWidth(63) | INTFMT_EXACT_WIDTH),
            std::string(63, '1'));
  // The longest output fits the documented buffer.
  const std::string longest = Fmt64(-1, INTFMT_DEC_HASH | IntFmtWidth(63) | INTFMT_PAD_BLANKS);
  EXPECT_EQ(longest, std::string(63 - 20, ' ') + "10#18446744073709551615");
  EXPECT_LT(static_cast<int>(Fmt64(-1, INTFMT_BIN_HASH | IntFmtWidth(63)).size()),
            INTTEXT_BUFFER_SIZE);
}

TEST(IntToStr, AgreesWithSnprintf) {
  std::mt19937_64 rng(20261207);
  std::vector<int64_t> values = {0, 1, -1, 9, 10, 15, 16, INT_MAX, INT_MIN, INT64_MAX, INT64_MIN};
  for (int k = 0; k < 2000; ++k)
    values.push_back(static_cast<int64_t>(rng() >> (rng() % 64)) * (k % 2 ? -1 : 1));
  char expected[96];
  for (int64_t v64 : values) {
    const int v = static_cast<int>(static_cast<uint32_t>(v64));
    const unsigned u = static_cast<unsigned>(v);
    std::snprintf(expected, sizeof expected, "%d", v);
    EXPECT_EQ(Fmt(v, INTFMT_DECIMAL), expected);
    std::snprintf(expected, sizeof expected, "%u", u);
    EXPECT_EQ(Fmt(v, INTFMT_UNSIGNED), expected);
    std::snprintf(expected, sizeof expected, "0x%X", u);
    EXPECT_EQ(Fmt(v, INTFMT_HEX_0X), expected);
    std::snprintf(expected, sizeof expected, "0o%o", u);
    EXPECT_EQ(Fmt(v, INTFMT_OCT_0O), expected);
    std::snprintf(expected, sizeof expected, "%o", u);
    EXPECT_EQ(Fmt(v, INTFMT_RADIX | 8), expected);
    std::snprintf(expected, sizeof expected, "%012d", v);
    EXPECT_EQ(Fmt(v, INTFMT_DECIMAL | IntFmtWidth(12)), expected);
    std::snprintf(expected, sizeof expected, "%14d", v);
    EXPECT_EQ(Fmt(v, INTFMT_DECIMAL | IntFmtWidth(14) | INTFMT_PAD_BLANKS), expected);
    std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(v64));
    EXPECT_EQ(Fmt64(v64, INTFMT_DECIMAL), expected);
    std::snprintf(expected, sizeof expected, "%llu", static_cast<unsigned long long>(v64));
    EXPECT_EQ(Fmt64(v64, INTFMT_UNSIGNED), expected);
    std::snprintf(expected, sizeof expected, "%llX", static_cast<unsigned long long>(v64));
    EXPECT_EQ(Fmt64(v64, INTFMT_RADIX | 16), expected);
    std::snprintf(expected, sizeof expected, "%022llo", static_cast<unsigned long long>(v64));
    EXPECT_EQ(Fmt64(v64, INTFMT_RADIX | 8 | IntFmtWidth(22)), expected);
    std::string binary = std::bitset<64>(static_cast<uint64_t>(v64)).to_string();
    binary.erase(0, std::min(binary.find('1'), size_t{63}));
    EXPECT_EQ(Fmt64(v64, INTFMT_RADIX | 2), binary);
  }
}

// Every style with the parse modes that read it, for 32 and 64 bits.
TEST(IntToStr, RoundTripsThroughTheMatchingParseModes) {
  const struct {
    uint32_t style;
    std::vector<uint32_t> modes;
  } pairs[] = {
      {INTFMT_DECIMAL, {INTPARSE_AUTO, 10, INTPARSE_SUFFIX}},
      {INTFMT_HEX_0X,
       {INTPARSE_AUTO, INTPARSE_ANY, INTPARSE_ANY_OCTAL, INTPARSE_C, INTPARSE_C_NO_BINARY}},
      {INTFMT_BIN_0B, {INTPARSE_AUTO, INTPARSE_ANY, INTPARSE_ANY_OCTAL, INTPARSE_C}},
      {INTFMT_OCT_0O, {INTPARSE_AUTO, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_HEX_H, {INTPARSE_SUFFIX, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_BIN_B, {INTPARSE_SUFFIX, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_OCT_O, {INTPARSE_SUFFIX, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_HEX_HASH, {INTPARSE_HASH, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_BIN_HASH, {INTPARSE_HASH, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_OCT_HASH, {INTPARSE_HASH, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_DEC_HASH, {INTPARSE_HASH, INTPARSE_ANY, INTPARSE_ANY_OCTAL}},
      {INTFMT_UNSIGNED, {INTPARSE_AUTO, 10, INTPARSE_HASH}},
  };
  std::mt19937_64 rng(42);
  std::vector<uint64_t> values = {0,
                                  1,
                                  0xB,
                                  0xD,
                                  0xDEAD,
                                  0x7FFFFFFF,
                                  0x80000000,
                                  0xFFFFFFFF,
                                  uint64_t{1} << 32,
                                  uint64_t{1} << 63,
                                  UINT64_MAX,
                                  0x0BADF00D};
  for (int k = 0; k < 300; ++k) values.push_back(rng() >> (rng() % 64));
  const uint32_t extras[] = {0, IntFmtWidth(7), IntFmtWidth(12) | INTFMT_PAD_BLANKS};
  for (const auto& pair : pairs) {
    for (uint32_t extra : extras) {
      for (uint64_t v : values) {
        const uint32_t flags = pair.style | extra;
        const std::string text64 = Fmt64(static_cast<int64_t>(v), flags);
        const std::string text32 = Fmt(static_cast<int>(static_cast<uint32_t>(v)), flags);
        for (uint32_t mode : pair.modes) {
          SCOPED_TRACE(text64 + " / " + text32 + " mode " + std::to_string(mode));
          int used = -1;
          EXPECT_EQ(static_cast<uint64_t>(StrToInt64(text64.c_str(), mode, &used)), v);
          EXPECT_EQ(used, static_cast<int>(text64.size()));
          EXPECT_EQ(static_cast<uint32_t>(StrToInt(text32.c_str(), mode, &used)),
                    static_cast<uint32_t>(v));
          EXPECT_EQ(used, static_cast<int>(text32.size()));
        }
      }
    }
  }
  // Plain radixes 2..36 for both widths.
  for (uint32_t radix = 2; radix <= 36; ++radix) {
    for (uint64_t v : values) {
      const std::string text = Fmt64(static_cast<int64_t>(v), INTFMT_RADIX | radix);
      int used = -1;
      EXPECT_EQ(static_cast<uint64_t>(StrToInt64(text.c_str(), radix, &used)), v)
          << text << " radix " << radix;
      EXPECT_EQ(used, static_cast<int>(text.size()));
      const std::string text32 =
          Fmt(static_cast<int>(static_cast<uint32_t>(v)), INTFMT_RADIX | radix);
      EXPECT_EQ(static_cast<uint32_t>(StrToInt(text32.c_str(), radix, nullptr)),
                static_cast<uint32_t>(v));
    }
  }
  // Signed decimal edges.
  for (int64_t v : {INT64_MIN, INT64_MIN + 1, int64_t{-1}, INT64_MAX}) {
    EXPECT_EQ(StrToInt64(Fmt64(v, INTFMT_DECIMAL).c_str(), 0, nullptr), v);
  }
  EXPECT_EQ(StrToInt(Fmt(INT_MIN, INTFMT_DECIMAL).c_str(), 0, nullptr), INT_MIN);
}

}  // namespace
