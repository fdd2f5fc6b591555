#include "toolkit/numtext.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

std::u16string Widen(const std::string& text) {
  std::u16string wide;
  for (char c : text) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

TEST(StrParseEscape, DecodesOneCharacterOrEscape) {
  const struct {
    const char* text;
    int value;
    int used;
  } cases[] = {
      {"\\n", 10, 2},    {"\\x41", 65, 4},  {"\\101", 65, 4},  {"\\q", '\\', 1},
      {"A", 65, 1},      {"\\a", 7, 2},     {"\\b", 8, 2},     {"\\t", 9, 2},
      {"\\v", 11, 2},    {"\\f", 12, 2},    {"\\r", 13, 2},    {"\\\"", 34, 2},
      {"\\'", 39, 2},    {"\\?", 63, 2},    {"\\\\", 92, 2},   {"\\0", 0, 2},
      {"\\08", 0, 2},    {"\\1234", 83, 4}, {"\\777", 255, 4}, {"\\x", 0, 2},
      {"\\xg", 0, 2},    {"\\X7f", 127, 4}, {"\\", '\\', 1},   {"\\\xE9", '\\', 1},
      {"\xE9", 0xE9, 1}, {"\\8", '\\', 1},  {"\\N", '\\', 1},
  };
  for (const auto& c : cases) {
    int used = -1;
    EXPECT_EQ(StrParseEscape(c.text, &used), c.value) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
    const std::u16string wide = Widen(c.text);
    used = -1;
    EXPECT_EQ(StrParseEscapeW(wide.c_str(), &used), c.value) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
  }
  EXPECT_EQ(StrParseEscape("\\n", nullptr), 10);
  // Three hex digits at most, kept modulo 256.
  int used = -1;
  EXPECT_EQ(StrParseEscape("\\x1FF", &used), 255);
  EXPECT_EQ(used, 5);
  EXPECT_EQ(StrParseEscape("\\x1234", &used), 0x23);
  EXPECT_EQ(used, 5);
}

TEST(StrParseEscapeW, KeepsSixteenBitsOfHexEscapes) {
  int used = 0;
  EXPECT_EQ(StrParseEscapeW(u"\\xFFF", &used), 0xFFF);
  EXPECT_EQ(used, 5);
  EXPECT_EQ(StrParseEscapeW(u"\\x1234", &used), 0x123);
  EXPECT_EQ(used, 5);
  EXPECT_EQ(StrParseEscapeW(u"\\777", &used), 255);  // octal stays one byte
  EXPECT_EQ(StrParseEscapeW(u"\u4E00", &used), 0x4E00);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(StrParseEscapeW(u"\\\u4E00", &used), '\\');
  EXPECT_EQ(used, 1);
  // A character above 255 is no hex digit.
  EXPECT_EQ(StrParseEscapeW(u"\\x4\u0131", &used), 4);
  EXPECT_EQ(used, 3);
}

TEST(CharToEscapeLiteral, WritesTheDocumentedForms) {
  const struct {
    int ch;
    BOOL noQuotes;
    const char* text;
  } cases[] = {
      {9, FALSE, "'\\t'"},  {1, TRUE, "\\x001"},     {1, FALSE, "'\\x01'"},  {0, FALSE, "'\\x00'"},
      {31, TRUE, "\\x01F"}, {'\\', FALSE, "'\\\\'"}, {'\'', FALSE, "'\\''"}, {'"', TRUE, "\\\""},
      {13, TRUE, "\\r"},    {10, TRUE, "\\n"},       {7, TRUE, "\\a"},       {8, TRUE, "\\b"},
      {12, TRUE, "\\f"},    {11, TRUE, "\\v"},       {'A', FALSE, "'A'"},    {'A', TRUE, "A"},
      {127, TRUE, "\x7F"},  {0xE9, FALSE, "'\xE9'"}, {-23, FALSE, "'\xE9'"}, {-1, TRUE, "\xFF"},
      {0x141, TRUE, "A"},
  };
  for (const auto& c : cases) {
    char buffer[8];
    std::memset(buffer, 'Z', sizeof buffer);
    const int n = CharToEscapeLiteral(c.ch, buffer, c.noQuotes);
    EXPECT_STREQ(buffer, c.text) << c.ch;
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.text))) << c.ch;
  }
  char16_t wide[8];
  EXPECT_EQ(CharToEscapeLiteralW(0x4E00, wide, FALSE), 3);
  EXPECT_EQ(std::u16string(wide), u"'\u4E00'");
  EXPECT_EQ(CharToEscapeLiteralW(-1, wide, TRUE), 1);
  EXPECT_EQ(std::u16string(wide), u"\uFFFF");
  EXPECT_EQ(CharToEscapeLiteralW(1, wide, TRUE), 5);
  EXPECT_EQ(std::u16string(wide), u"\\x001");
}

// Every byte, quoted and unquoted, narrow and wide: the decoder gives the byte
// back and consumes exactly the escape, also when a hex digit follows it.
TEST(CharToEscapeLiteral, RoundTripsEveryByteThroughStrParseEscape) {
  for (int b = 0; b < 256; ++b) {
    for (BOOL noQuotes : {FALSE, TRUE}) {
      SCOPED_TRACE(std::to_string(b) + (noQuotes ? " unquoted" : " quoted"));
      char buffer[16];
      const int n = CharToEscapeLiteral(b, buffer, noQuotes);
      ASSERT_GE(n, noQuotes ? 1 : 3);
      ASSERT_LE(n, noQuotes ? 5 : 6);
      const char* body = noQuotes ? buffer : buffer + 1;
      const int bodyLength = noQuotes ? n : n - 2;
      if (!noQuotes) {
        EXPECT_EQ(buffer[0], '\'');
        EXPECT_EQ(buffer[n - 1], '\'');
      }
      int used = -1;
      EXPECT_EQ(StrParseEscape(body, &used), b);
      EXPECT_EQ(used, bodyLength);
      if (noQuotes) {
        std::string followed = std::string(buffer, static_cast<size_t>(n)) + "F";
        EXPECT_EQ(StrParseEscape(followed.c_str(), &used), b);
        EXPECT_EQ(used, bodyLength);
      }
      // A signed char holding the byte writes the same literal.
      char again[16];
      EXPECT_EQ(CharToEscapeLiteral(static_cast<signed char>(b), again, noQuotes), n);
      EXPECT_STREQ(again, buffer);

      char16_t wide[16];
      EXPECT_EQ(CharToEscapeLiteralW(b, wide, noQuotes), n);
      EXPECT_EQ(StrParseEscapeW(noQuotes ? wide : wide + 1, &used), b);
      EXPECT_EQ(used, bodyLength);
    }
  }
}

struct ScanCase {
  const char* text;
  int maxLen;
  uint32_t flags;
  int length;
  uint8_t pos[4];
};

TEST(StrScanNumber, MeasuresNumbersUnderItsFlags) {
  const uint32_t SE = NUMSCAN_SIGN | NUMSCAN_EXPONENT;
  const ScanCase cases[] = {
      {"  -12.5e3", 99, SE, 9, {3, 4, 7, 9}},
      {"-a", 99, NUMSCAN_SIGN, 0, {0, 0, 0, 0}},
      {"  -x", 99, NUMSCAN_SIGN, 2, {0, 0, 0, 0}},
      {"-12", 99, 0, 0, {0, 0, 0, 0}},
      {"+12", 99, NUMSCAN_SIGN, 3, {1, 2, 0, 0}},
      {"1.#INF", 99, NUMSCAN_SPECIAL, 6, {0, 1, 3, 0}},
      {"1.#INF", 99, 0, 2, {0, 1, 3, 0}},
      {"1.#inf", 99, NUMSCAN_SPECIAL, 6, {0, 1, 3, 0}},
      {"1.#IND", 99, NUMSCAN_SPECIAL, 6, {0, 1, 3, 0}},
      {"1.#QNAN", 99, NUMSCAN_SPECIAL, 7, {0, 1, 3, 0}},
      {"1.#NAN", 99, NUMSCAN_SPECIAL, 6, {0, 1, 3, 0}},
      {"1.#INF", 5, NUMSCAN_SPECIAL, 2, {0, 1, 3, 0}},
      {"1.#INFINITY", 99, NUMSCAN_SPECIAL, 6, {0, 1, 3, 0}},
      {".#INF", 99, NUMSCAN_SPECIAL, 0, {0, 0, 0, 0}},
      {"12345", 3, 0, 3, {0, 1, 0, 0}},
      {"12345", 0, 0, 0, {0, 0, 0, 0}},
      {"12345", -1, 0, 0, {0, 0, 0, 0}},
      {"1 000", 99, NUMSCAN_GROUP_SPACE, 5, {0, 1, 0, 0}},
      {"1 000", 99, 0, 1, {0, 1, 0, 0}},
      {" 1_000", 99, NUMSCAN_GROUP_UNDERSCORE, 6, {0, 2, 0, 0}},
      {"_1", 99, NUMSCAN_GROUP_UNDERSCORE, 0, {0, 0, 0, 0}},
      {"1.000,5", 99, NUMSCAN_GROUP_DOT | NUMSCAN_DECIMAL_COMMA, 7, {0, 1, 7, 0}},
      {"1.000,5", 99, NUMSCAN_GROUP_DOT, 5, {0, 1, 3, 0}},
      {"1,5", 99, 0, 1, {0, 1, 0, 0}},
      {"1,5", 99, NUMSCAN_DECIMAL_COMMA, 3, {0, 1, 3, 0}},
      {"12  x", 99, NUMSCAN_TRAILING_BLANKS, 4, {0, 1, 0, 0}},
      {" 1", 99, NUMSCAN_NO_LEADING_BLANKS, 0, {0, 0, 0, 0}},
      {"- 5", 99, NUMSCAN_SIGN | NUMSCAN_BLANK_AFTER_SIGN, 3, {1, 3, 0, 0}},
      {"- 5", 99, NUMSCAN_SIGN, 0, {0, 0, 0, 0}},
      {"1e", 99, SE, 2, {0, 1, 0, 3}},
      {"1e+", 99, SE, 3, {0, 1, 0, 3}},
      {"1e5", 99, 0, 1, {0, 1, 0, 0}},
      {"1E-07x", 99, SE, 5, {0, 1, 0, 3}},
      {".", 99, 0, 0, {0, 0, 0, 0}},
      {"1.", 99, 0, 2, {0, 1, 0, 0}},
      {".5", 99, 0, 2, {0, 0, 2, 0}},
      {"-.", 99, NUMSCAN_SIGN, 0, {0, 0, 0, 0}},
      {"1.5e3", 4, SE, 4, {0, 1, 3, 0}},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\" flags " + std::to_string(c.flags));
    uint8_t pos[4] = {9, 9, 9, 9};
    EXPECT_EQ(StrScanNumber(c.text, c.maxLen, c.flags, pos), c.length);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(pos[k], c.pos[k]) << "position " << k;
    const std::u16string wide = Widen(c.text);
    EXPECT_EQ(StrScanNumberW(wide.c_str(), c.maxLen, c.flags, nullptr), c.length);
  }
}

TEST(StrScanNumber, CapsPositionsAt255) {
  const std::string text = std::string(300, ' ') + "-1.5";
  uint8_t pos[4];
  EXPECT_EQ(StrScanNumber(text.c_str(), INT_MAX, NUMSCAN_SIGN, pos), 304);
  EXPECT_EQ(pos[NUMPOS_SIGN], 255);
  EXPECT_EQ(pos[NUMPOS_INTEGER], 255);
  EXPECT_EQ(pos[NUMPOS_FRACTION], 255);
  EXPECT_EQ(pos[NUMPOS_EXPONENT], 0);
}

TEST(StrScanNumberW, EndsTheNumberAtCharactersAbove255) {
  EXPECT_EQ(StrScanNumberW(u"\u4E001", 99, 0, nullptr), 0);
  EXPECT_EQ(StrScanNumberW(u"1\u4E00", 99, 0, nullptr), 1);
  EXPECT_EQ(StrScanNumberW(u"\u3000 1", 99, 0, nullptr), 0);
  EXPECT_EQ(StrScanNumberW(u"\u4E2D1", 99, NUMSCAN_SIGN, nullptr), 0);
  EXPECT_EQ(StrScanNumberW(u"1\u4E00000", 99, NUMSCAN_GROUP_SPACE, nullptr), 1);
  EXPECT_EQ(StrScanNumberW(u"1.5\u0165", 99, NUMSCAN_EXPONENT, nullptr), 3);
}

TEST(StrToDouble, ReadsTheDocumentedExamples) {
  const struct {
    const char* text;
    uint32_t flags;
    double value;
    int used;
  } cases[] = {
      {"1,5", 7, 1.5, 3},
      {"-2.5e3", 7, -2500, 6},
      {"1e", 7, 1, 2},
      {"x", 7, 0, 0},
      {"1.234,5", 0x44, 1234.5, 7},
      {"1 000", 0x20, 1000, 5},
      {"1_000.25", NUMSCAN_GROUP_UNDERSCORE, 1000.25, 8},
      {" \t+7", NUMSCAN_SIGN, 7, 4},
      {"- 7", NUMSCAN_SIGN | NUMSCAN_BLANK_AFTER_SIGN, -7, 3},
      {"12 \t", NUMSCAN_TRAILING_BLANKS, 12, 4},
      {"1,5", 0, 1, 1},
      {".5", 0, 0.5, 2},
      {"5.", 0, 5, 2},
      {"1e-2", NUMSCAN_EXPONENT, 0.01, 4},
      {"1e-", NUMSCAN_EXPONENT, 1, 3},
      {"-0", NUMSCAN_SIGN, -0.0, 2},
      {"  ", 0, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int used = -1;
    const double value = StrToDouble(c.text, &used, c.flags);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(std::signbit(value), std::signbit(c.value));
    EXPECT_EQ(used, c.used);
    const std::u16string wide = Widen(c.text);
    used = -1;
    EXPECT_EQ(StrToDoubleW(wide.c_str(), &used, c.flags), c.value);
    EXPECT_EQ(used, c.used);
  }
  EXPECT_EQ(StrToDouble("2.5", nullptr, 0), 2.5);
}

TEST(StrToDouble, ReadsSpecialValuesOnlyWhenAsked) {
  const uint32_t flags = NUMSCAN_SIGN | NUMSCAN_SPECIAL;
  const double inf = std::numeric_limits<double>::infinity();
  int used = 0;
  EXPECT_EQ(StrToDouble("1.#INF", &used, flags), inf);
  EXPECT_EQ(used, 6);
  EXPECT_EQ(StrToDouble("-1.#INF", &used, flags), -inf);
  EXPECT_EQ(used, 7);
  for (const char* nan : {"1.#IND", "-1.#IND", "1.#QNAN", "1.#qnan", "1.#NAN"}) {
    EXPECT_TRUE(std::isnan(StrToDouble(nan, &used, flags))) << nan;
    EXPECT_EQ(used, static_cast<int>(std::strlen(nan))) << nan;
  }
  EXPECT_EQ(StrToDouble("1.#INF", &used, NUMSCAN_SIGN), 1.0);
  EXPECT_EQ(used, 2);
  EXPECT_EQ(StrToDoubleW(u"-1.#INF", &used, flags), -inf);
}

TEST(StrToDouble, ConvertsLongNumbersWhole) {
  const std::string big = "1" + std::string(99, '0');
  int used = 0;
  EXPECT_EQ(StrToDouble(big.c_str(), &used, 0), 1e99);
  EXPECT_EQ(used, 100);
  const std::string small = "0." + std::string(80, '0') + "125";
  EXPECT_EQ(StrToDouble(small.c_str(), &used, 0), 125e-83);
  EXPECT_EQ(used, 85);
}

TEST(StrToDouble, SaturatesOutOfRangeValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const uint32_t flags = NUMSCAN_SIGN | NUMSCAN_EXPONENT;
  EXPECT_EQ(StrToDouble("1e400", nullptr, flags), inf);
  EXPECT_EQ(StrToDouble("-1e400", nullptr, flags), -inf);
  EXPECT_EQ(StrToDouble("0.001e312", nullptr, flags), inf);
  EXPECT_EQ(StrToDouble("1e-400", nullptr, flags), 0.0);
  const double negativeZero = StrToDouble("-1e-400", nullptr, flags);
  EXPECT_EQ(negativeZero, 0.0);
  EXPECT_TRUE(std::signbit(negativeZero));
  EXPECT_EQ(StrToDouble("1000e-326", nullptr, flags), 1e-323);
  EXPECT_EQ(StrToDouble("1e99999999999999999999", nullptr, flags), inf);
  EXPECT_EQ(StrToDouble("0e99999999999999999999", nullptr, flags), 0.0);
}

TEST(StrNumberLength, MeasuresThePlainNumberSyntax) {
  const struct {
    const char* text;
    int maxLen;  // -1: the unbounded form
    int length;
  } cases[] = {
      {"  -12.5e-3x", -1, 10}, {" - ", -1, 2},    {"+.", -1, 2},      {"1.#INF", -1, 6},
      {"1.#QNANx", -1, 7},     {"1.#NAN", -1, 6}, {"1.#IND5", -1, 7}, {"1e", -1, 2},
      {"abc", -1, 0},          {"1,5", -1, 1},    {"1.#INF", 5, 2},   {"1.#INF", 6, 6},
      {"12345", 3, 3},         {"12345", 0, 0},   {"12345", -5, 0},   {"\t1", -1, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::u16string wide = Widen(c.text);
    if (c.maxLen == -1) {
      EXPECT_EQ(StrNumberLength(c.text), c.length);
      EXPECT_EQ(StrNumberLengthW(wide.c_str()), c.length);
    } else {
      EXPECT_EQ(StrNumberLengthN(c.text, c.maxLen), c.length);
      EXPECT_EQ(StrNumberLengthNW(wide.c_str(), c.maxLen), c.length);
    }
  }
  EXPECT_EQ(StrNumberLengthW(u"1\u4E002"), 1);
  EXPECT_EQ(StrNumberLengthW(u"\u4E00-1"), 0);
}

TEST(StrDigitSpan, CountsDigitsOfAClampedRadix) {
  const struct {
    const char* text;
    int radix;
    int maxLen;
    int span;
  } cases[] = {
      {"-1f", -16, 9, 3},
      {"-1f", 16, 9, 0},
      {"1fg", 16, 9, 2},
      {"1f", 16, 1, 1},
      {"zz!", 36, 9, 2},
      {"102", 0, 9, 2},
      {"102", 1, 9, 2},
      {"zz!", 99, 9, 2},
      {"-12", INT_MIN, 9, 3},
      {"-12", -10, 2, 2},
      {"-12", -10, 0, 0},
      {"12", 10, -1, 0},
      {"\xB1"
       "1",
       10, 9, 0},
      {"789", 8, 9, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrDigitSpan(c.text, c.radix, c.maxLen), c.span) << c.text << " radix " << c.radix;
    const std::u16string wide = Widen(c.text);
    EXPECT_EQ(StrDigitSpanW(wide.c_str(), c.radix, c.maxLen), c.span) << c.text;
  }
  EXPECT_EQ(StrDigitSpanW(u"1\u01312", 10, 9), 1);
}

}  // namespace
