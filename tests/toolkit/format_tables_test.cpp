// The printf engine's constant tables, entry by entry, its digit writers
// against std::to_chars, and its converters called directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "toolkit/format_convert.h"
#include "toolkit/format_digits.h"
#include "toolkit/format_conversion.h"

namespace {

TEST(FormatSpecTable, ClassifiesEverySevenBitCharacter) {
  std::string flags = "+ #-0~@";
  const uint8_t flagClass[] = {kFmtFlagPlus, kFmtFlagBlank, kFmtFlagHash, kFmtFlagMinus,
                               kFmtFlagZero, kFmtFlagTilde, kFmtFlagAt};
  const std::string sizes = "ILhjlqtwz";
  const std::string conversions = "ABCDEFGKMSUXabcdefgikmnopsux";
  for (int c = 0; c < 128; ++c) {
    uint8_t expected = kFmtNone;
    if (size_t i = flags.find(static_cast<char>(c)); c != 0 && i != std::string::npos)
      expected = flagClass[i];
    else if (c >= '1' && c <= '9')
      expected = kFmtDigit;
    else if (c == '*')
      expected = kFmtStar;
    else if (c == '.')
      expected = kFmtPoint;
    else if (c != 0 && sizes.find(static_cast<char>(c)) != std::string::npos)
      expected = kFmtSize;
    else if (c != 0 && conversions.find(static_cast<char>(c)) != std::string::npos)
      expected = kFmtConversion;
    EXPECT_EQ(FormatSpecTable[c], expected) << "character " << c;
  }
}

TEST(FormatConversionIndex, MapsEachLetterToItsHandler) {
  const std::pair<char, uint8_t> letters[] = {
      {'C', kConvCharWide},  {'c', kConvChar},        {'S', kConvStringWide},
      {'s', kConvString},    {'i', kConvI},           {'d', kConvD},
      {'u', kConvU},         {'o', kConvO},           {'b', kConvBinary},
      {'B', kConvBinary},    {'p', kConvPointer},     {'x', kConvHex},
      {'X', kConvHex},       {'n', kConvCount},       {'g', kConvGeneral},
      {'G', kConvGeneralUp}, {'e', kConvExp},         {'E', kConvExpUp},
      {'f', kConvFixed},     {'a', kConvHexFloat},    {'A', kConvHexFloat},
      {'m', kConvDump},      {'M', kConvDump},        {'D', kConvGroupedD},
      {'U', kConvGroupedU},  {'F', kConvGroupedF},    {'k', kConvTime},
      {'K', kConvTime}};
  uint8_t expected[128] = {};
  for (auto [c, h] : letters) expected[static_cast<unsigned char>(c)] = h;
  for (int c = 0; c < 128; ++c) EXPECT_EQ(FormatConversionIndex[c], expected[c]) << c;
}

TEST(FormatDigits, HoldDigitsThenTheHexFloatLetters) {
  EXPECT_STREQ(FormatDigitsLower, "0123456789abcdefxp");
  EXPECT_STREQ(FormatDigitsUpper, "0123456789ABCDEFXP");
}

TEST(WriteDigits, MatchToCharsInEveryRadixAndWidth) {
  std::mt19937_64 rng(3);
  for (int round = 0; round < 20000; ++round) {
    uint64_t v = rng() >> (rng() % 64);
    if (round < 4) v = round == 0 ? 0 : round == 1 ? 1 : round == 2 ? UINT32_MAX : UINT64_MAX;
    const uint32_t v32 = static_cast<uint32_t>(v);
    for (int radix : {10, 16, 8, 2}) {
      char ref[80];
      char ref32[80];
      auto r = std::to_chars(ref, ref + 80, v, radix);
      auto r32 = std::to_chars(ref32, ref32 + 80, v32, radix);
      std::string expected = v ? std::string(ref, r.ptr) : "";
      std::string expected32 = v32 ? std::string(ref32, r32.ptr) : "";
      char out[80];
      char out32[80];
      char16_t wout[80];
      int n, n32, wn;
      switch (radix) {
        case 10:
          n = WriteDecimalDigits(v, out);
          wn = WriteDecimalDigitsW(v, wout);
          n32 = WriteDecimalDigits(v32, out32);
          break;
        case 16:
          n = WriteHexDigits(v, out, false);
          wn = WriteHexDigitsW(v, wout, false);
          n32 = WriteHexDigits(v32, out32, false);
          break;
        case 8:
          n = WriteOctalDigits(v, out);
          wn = WriteOctalDigitsW(v, wout);
          n32 = WriteOctalDigits(v32, out32);
          break;
        default:
          n = WriteBinaryDigits(v, out);
          wn = WriteBinaryDigitsW(v, wout);
          n32 = WriteBinaryDigits(v32, out32);
          break;
      }
      EXPECT_EQ(std::string(out, n), expected) << radix;
      EXPECT_EQ(std::string(out32, n32), expected32) << radix;
      ASSERT_EQ(wn, static_cast<int>(expected.size()));
      EXPECT_EQ(std::u16string(wout, wn), std::u16string(expected.begin(), expected.end()));
    }
  }
  char up[20];
  EXPECT_EQ(std::string(up, WriteHexDigits(uint32_t{0xBEEF}, up, true)), "BEEF");
  char16_t wup[20];
  EXPECT_EQ(std::u16string(wup, WriteHexDigitsW(uint64_t{0xC0FFEE}, wup, true)), u"C0FFEE");
}

// The converters write their narrow text and the W forms the same units.
template <class Narrow, class Wide>
void ExpectConverter(const std::string& expected, Narrow narrow, Wide wide) {
  char out[1200];
  int n = narrow(out);
  EXPECT_EQ(std::string(out, n), expected);
  char16_t w[1200];
  int wn = wide(w);
  EXPECT_EQ(std::u16string(w, wn), std::u16string(expected.begin(), expected.end()));
}

FormatSpec Conversion(bool precisionGiven = false) {
  FormatSpec s;
  s.precisionGiven = precisionGiven;
  s.lowerExp = true;
  return s;
}

TEST(FormatConverters, WriteTheirTextsDirectlyAndWidened) {
  const FormatSpec plain = Conversion();
  const FormatSpec given = Conversion(true);
  ExpectConverter(
      "3.14", [&](char* o) { return FormatFixed(3.14159, o, given, 2); },
      [&](char16_t* o) { return FormatFixedW(3.14159, o, given, 2); });
  ExpectConverter(
      "1.234568e+004", [&](char* o) { return FormatExponent(12345.678, o, plain, 0); },
      [&](char16_t* o) { return FormatExponentW(12345.678, o, plain, 0); });
  ExpectConverter(
      "1e+006", [&](char* o) { return FormatGeneral(1e6, o, plain, 0); },
      [&](char16_t* o) { return FormatGeneralW(1e6, o, plain, 0); });
  ExpectConverter(
      "0X1.8P+1", [&](char* o) { return FormatHexFloat(3.0, o, given, 1, FormatDigitsUpper); },
      [&](char16_t* o) { return FormatHexFloatW(3.0, o, given, 1, FormatDigitsUpper); });
  ExpectConverter(
      "-12 345.67",
      [&](char* o) {
        std::memcpy(o, "-1234567", 8);
        return FormatGroupDigits(8, o, given, 2, 0);
      },
      [&](char16_t* o) {
        std::u16string t = u"-1234567";
        std::copy(t.begin(), t.end(), o);
        return FormatGroupDigitsW(8, o, given, 2, 0);
      });
  const unsigned char bytes[] = {0xDE, 0xAD, 0xBE, 0xEF};
  ExpectConverter(
      "deadbeef", [&](char* o) { return FormatHexDump(bytes, o, given, 4, 0, FormatDigitsLower); },
      [&](char16_t* o) { return FormatHexDumpW(bytes, o, given, 4, 0, FormatDigitsLower); });
  setenv("TZ", "UTC", 1);
  tzset();
  FormatSpec k = plain;
  k.kVariant = true;
  ExpectConverter(
      "2024-03-01 12:00:00", [&](char* o) { return FormatTimeValue(1709294400, o, k, 0); },
      [&](char16_t* o) { return FormatTimeValueW(1709294400, o, k, 0); });
  ExpectConverter(
      "(null)", [&](char* o) { return FormatTimeValue(-5, o, k, 0); },
      [&](char16_t* o) { return FormatTimeValueW(-5, o, k, 0); });
}

TEST(FormatConverters, KeepEveryTextWithinTheirLimits) {
  FormatSpec given = Conversion(true);
  char out[1200];
  // Precisions beyond the limits are cut: 900 digits for e and f.
  EXPECT_LE(FormatFixed(1.7976931348623157e308, out, given, 100000), 1124);
  EXPECT_LE(FormatExponent(1.0, out, given, 100000), 1124);
  EXPECT_LE(FormatGeneral(1e-300, out, given, 2000000000), 1124);
  EXPECT_LE(FormatHexFloat(1.0, out, given, 100000, FormatDigitsLower), 1124);
  unsigned char block[256] = {};
  FormatSpec dump = given;
  dump.plusGiven = true;
  dump.size = FormatSize::Short;
  dump.zeroFlag = true;
  EXPECT_LE(FormatHexDump(block, out, dump, 100000, 100000, FormatDigitsLower), 1124);
  dump.alternate = true;
  EXPECT_LE(FormatHexDump(block, out, dump, 100000, 5000, FormatDigitsLower), 1124);
  FormatSpec group = given;
  group.zeroPad = true;
  std::memcpy(out, "-123", 4);
  EXPECT_EQ(FormatGroupDigits(4, out, group, 0, 100000), 1024);
  FormatSpec k = given;
  k.kVariant = true;
  EXPECT_LE(FormatTimeValue(0, out, k, 100000), 1124);
}

TEST(FormatGroupDigits, GroupsTextsLongerThanAnyNumberItIsGiven) {
  // 600 integer digits: 200 groups of three, one blank between each; with a
  // fixed point of 127 the last 127 digits become the fraction.
  FormatSpec plain = Conversion();
  std::string expected;
  for (int i = 0; i < 200; ++i) expected += i ? " 123" : "123";
  char text[2048];
  std::string digits;
  for (int i = 0; i < 200; ++i) digits += "123";
  std::memcpy(text, digits.data(), digits.size());
  ASSERT_EQ(FormatGroupDigits(600, text, plain, 0, 0), 799);
  EXPECT_EQ(std::string(text, 799), expected);

  std::u16string wide(digits.begin(), digits.end());
  char16_t wtext[2048];
  std::copy(wide.begin(), wide.end(), wtext);
  ASSERT_EQ(FormatGroupDigitsW(600, wtext, plain, 127, 0), 473 + 157 + 128);
  const std::string integer = digits.substr(0, 473);
  std::string grouped;
  for (size_t i = 0; i < integer.size(); ++i) {
    if (i && (integer.size() - i) % 3 == 0) grouped += ' ';
    grouped += integer[i];
  }
  const std::string all = grouped + "." + digits.substr(473);
  EXPECT_EQ(std::u16string(wtext, all.size()), std::u16string(all.begin(), all.end()));
}

}  // namespace
