// Randomised differential tests of both printf engines against glibc's
// snprintf, over the conversions where the two are defined alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "format_test_util.h"
#include "toolkit/format_print.h"

namespace {

using format_test::Widen;

constexpr int kRounds = 3000;

// Whether both engines give `expected` (the 16-bit one widened).
template <class... Args>
::testing::AssertionResult BothGive(const std::string& conversion, const std::string& expected,
                                    Args... args) {
  char a[1024];
  FormatToBuffer(a, sizeof a, conversion.c_str(), args...);
  if (expected != a)
    return ::testing::AssertionFailure() << conversion << ": \"" << a << "\" vs \"" << expected << "\"";
  std::u16string wf = Widen(conversion);
  char16_t w[1024];
  FormatToBufferW(w, 1024, wf.c_str(), args...);
  if (Widen(expected) != w) return ::testing::AssertionFailure() << conversion << ": 16-bit differs";
  return ::testing::AssertionSuccess();
}

// Formats with both engines and glibc.
template <class... Args>
void ExpectSame(const std::string& ours, const std::string& theirs, Args... args) {
  char b[1024];
  snprintf(b, sizeof b, theirs.c_str(), args...);
  ASSERT_TRUE(BothGive(ours, b, args...)) << "glibc format " << theirs;
}

// glibc writes at least two exponent digits; the engine always three.
std::string WidenExponent(std::string s) {
  size_t e = s.find_first_of("eE");
  if (e != std::string::npos && (e + 4 == s.size() || s[e + 4] == ' ')) s.insert(e + 2, "0");
  return s;
}

// glibc's text for a conversion with an optional width, its exponent widened to
// three digits; the width then counts the widened text, as the engine's does.
template <class... Args>
std::string GlibcWide(const std::string& flags, int width, const std::string& rest,
                      Args... args) {
  char buf[512];
  auto run = [&](int w) {
    std::string conversion = "%" + flags + (w >= 0 ? std::to_string(w) : "") + rest;
    snprintf(buf, sizeof buf, conversion.c_str(), args...);
    return std::string(buf);
  };
  std::string s = run(width);
  std::string wide = WidenExponent(s);
  if (wide.size() != s.size() && width > 0) wide = WidenExponent(run(width - 1));
  return wide;
}

// Whether the digits behind the last printed one lie within a thousandth of a
// half unit: there the tie rule and the arithmetic may differ from glibc's.
bool NearTie(const char* glibcFormat, double v, int digitsBefore) {
  char buf[512];
  snprintf(buf, sizeof buf, glibcFormat, v);
  // Position of the first digit beyond what the test prints.
  const char* p = std::strchr(buf, '.');
  if (!p) return false;
  p += 1 + digitsBefore;
  long long r = 0;
  for (int i = 0; i < 12; ++i) r = r * 10 + (p[i] >= '0' && p[i] <= '9' ? p[i] - '0' : 0);
  return std::llabs(r - 500000000000LL) < 1000000000LL;
}

struct Gen {
  std::mt19937_64 rng{0x5EED};
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  bool Chance(int percent) { return Int(0, 99) < percent; }
  std::string Flags(const char* allowed) {
    std::string f;
    for (const char* c = allowed; *c; ++c)
      if (Chance(25)) f += *c;
    return f;
  }
  int64_t Value64() {
    switch (Int(0, 4)) {
      case 0:
        return Int(-5, 5);
      case 1:
        return static_cast<int64_t>(rng());
      case 2:
        return Chance(50) ? INT64_MIN : INT64_MAX;
      case 3:
        return static_cast<int64_t>(rng() >> Int(1, 63)) * (Chance(50) ? -1 : 1);
      default:
        return Chance(50) ? INT32_MIN : UINT32_MAX;
    }
  }
};

TEST(FormatGlibcDiff, MatchesIntegerCharacterAndStringConversions) {
  Gen g;
  for (int round = 0; round < kRounds; ++round) {
    const char conv = "diuoxXcs"[g.Int(0, 7)];
    const bool text = conv == 'c' || conv == 's';
    std::string flags = g.Flags(text ? "-" : "-+ 0");
    if ((conv == 'o' || ((conv == 'x' || conv == 'X') && flags.find_first_of("+ ") == std::string::npos)) &&
        g.Chance(40))
      flags += '#';
    std::string width, precision;
    int widthArg = -1, precisionArg = -2;
    switch (g.Int(0, 2)) {
      case 1:  // a leading 0 would be the 0 flag, which c and s do not take
        width = std::to_string(g.Int(text ? 1 : 0, 25));
        break;
      case 2:
        width = "*";
        widthArg = g.Int(0, 25);
        break;
    }
    if (conv != 'c') {
      switch (g.Int(0, 3)) {
        case 1:
          precision = "." + std::to_string(g.Int(0, 25));
          break;
        case 2:
          precision = ".";
          break;
        case 3:
          precision = ".*";
          precisionArg = g.Int(-1, 25);
          break;
      }
    }
    std::string size, glibcSize;
    if (!text) {
      static const char* const kSizes[] = {"", "hh", "h", "l", "ll", "z"};
      size = kSizes[g.Int(0, 5)];
      glibcSize = size == "l" ? "" : size;  // our l is 32 bits
    }
    const std::string head = "<%" + flags + width + precision;
    const std::string ours = head + size + conv + ">";
    const std::string theirs = head + glibcSize + conv + ">";
    int64_t v = g.Value64();
    // %#.0o of 0 writes nothing here, "0" in C.
    if (conv == 'o' && flags.find('#') != std::string::npos) v |= 1;
    // Calls fn with the * arguments the conversion asks for, then `tail`.
    auto withStars = [&](auto fn, auto tail) {
      if (widthArg >= 0 && precisionArg >= -1)
        fn(widthArg, precisionArg, tail);
      else if (widthArg >= 0)
        fn(widthArg, tail);
      else if (precisionArg >= -1)
        fn(precisionArg, tail);
      else
        fn(tail);
    };
    auto run = [&](auto value) {
      withStars([&](auto... a) { ExpectSame(ours, theirs, a...); }, value);
    };
    if (conv == 's') {
      std::string s;
      for (int i = g.Int(0, 30); i > 0; --i) s += static_cast<char>(g.Int(32, 126));
      // The 16-bit engine reads %s as a 16-bit string: it gets one.
      char b[256];
      withStars([&](auto... a) { snprintf(b, sizeof b, ours.c_str(), a...); }, s.c_str());
      char a[256];
      withStars([&](auto... x) { FormatToBuffer(a, sizeof a, ours.c_str(), x...); }, s.c_str());
      ASSERT_STREQ(a, b) << ours;
      const std::u16string ws(s.begin(), s.end());
      const std::u16string wf = Widen(ours);
      char16_t w[256];
      withStars([&](auto... x) { FormatToBufferW(w, 256, wf.c_str(), x...); }, ws.c_str());
      ASSERT_EQ(std::u16string(w), Widen(std::string(b))) << ours;
    } else if (conv == 'c') {
      run(g.Int(32, 255));
    } else if (size == "ll") {
      run(static_cast<long long>(v));
    } else if (size == "z") {
      run(static_cast<size_t>(v));
    } else {
      run(static_cast<int>(v));
    }
  }
}

// A double with up to 17 significant digits and a decimal exponent in range.
double RandomDouble(Gen& g, int lowExp, int highExp, double lowMantissa = 1.0,
                    double highMantissa = 9.999) {
  std::uniform_real_distribution<double> m(lowMantissa, highMantissa);
  char buf[64];
  snprintf(buf, sizeof buf, "%.*fe%d", g.Int(0, 16), m(g.rng), g.Int(lowExp, highExp));
  double v = std::strtod(buf, nullptr);
  return g.Chance(30) ? -v : v;
}

TEST(FormatGlibcDiff, MatchesExponentAndFixedFormsUpToFifteenDigits) {
  Gen g;
  int compared = 0;
  for (int round = 0; round < kRounds; ++round) {
    const char conv = "eEf"[g.Int(0, 2)];
    const std::string flags = g.Flags("-+ 0");
    const int widthValue = g.Chance(50) ? g.Int(0, 30) : -1;
    const std::string width = widthValue >= 0 ? std::to_string(widthValue) : "";
    double v;
    int p;
    char tieFormat[16];
    if (conv == 'f') {
      v = RandomDouble(g, -6, 14);
      const double a = std::fabs(v);
      const int integerDigits = a >= 1 ? static_cast<int>(std::floor(std::log10(a))) + 1 : 0;
      p = g.Int(0, std::max(0, 15 - integerDigits));
      snprintf(tieFormat, sizeof tieFormat, "%%.%df", p + 12);
    } else {
      v = RandomDouble(g, -320, 307);
      p = g.Int(0, 14);
      snprintf(tieFormat, sizeof tieFormat, "%%.%de", p + 12);
    }
    if (NearTie(tieFormat, v, p)) continue;
    const bool star = g.Chance(20);
    const std::string rest = (star ? ".*" : "." + std::to_string(p)) + conv;
    const std::string conversion = "%" + flags + width + rest;
    const std::string expected =
        star ? GlibcWide(flags, widthValue, rest, p, v) : GlibcWide(flags, widthValue, rest, v);
    if (star)
      ASSERT_TRUE(BothGive(conversion, expected, p, v)) << v;
    else
      ASSERT_TRUE(BothGive(conversion, expected, v)) << v;
    ++compared;
  }
  EXPECT_GT(compared, kRounds * 9 / 10);
}

TEST(FormatGlibcDiff, MatchesGeneralFormWhereBothPickTheSameForm) {
  Gen g;
  int compared = 0;
  for (int round = 0; round < kRounds; ++round) {
    const char conv = g.Chance(50) ? 'g' : 'G';
    const std::string flags = g.Flags("-+ 0");
    const int widthValue = g.Chance(50) ? g.Int(0, 30) : -1;
    const std::string width = widthValue >= 0 ? std::to_string(widthValue) : "";
    const bool defaultPrecision = g.Chance(20);
    const int p = defaultPrecision ? 6 : g.Int(1, 15);
    // Mantissas up to 9.4 never round up to the next power of ten, so both
    // pick the form from the same decimal exponent.
    const double v = RandomDouble(g, -40, 40, 1.0, 9.4);
    char tieFormat[16];
    snprintf(tieFormat, sizeof tieFormat, "%%.%de", p - 1 + 12);
    if (NearTie(tieFormat, v, p - 1)) continue;
    const std::string rest = (defaultPrecision ? "" : "." + std::to_string(p)) + conv;
    const std::string conversion = "%" + flags + width + rest;
    const std::string expected = GlibcWide(flags, widthValue, rest, v);
    ASSERT_TRUE(BothGive(conversion, expected, v)) << v;
    ++compared;
  }
  EXPECT_GT(compared, kRounds * 9 / 10);
}

// Precision 0 shows one significant digit. Below a tenth both write the fixed
// form (the mantissas stay clear of ties and of rounding up to a power of ten,
// where the alternate form's digit count follows the decimal exponent).
TEST(FormatGlibcDiff, MatchesPrecisionZeroGeneralFormBelowATenth) {
  const double values[] = {0.05,   0.002,  -0.03,  0.0051, 0.07,   0.0001,   -0.0001,
                           0.0123, 0.094,  0.0009, 0.00449, -0.000832, 0.0666};
  const char* conversions[] = {"%.0g",  "%#.0g",  "%.0G",    "%+.0g",  "% .0g",
                               "%8.0g", "%-8.0g", "%08.0g", "%#+09.0G", "%.g"};
  for (double v : values)
    for (const char* c : conversions) ExpectSame(c, c, v);
  // Rounding up to the next power of ten without the alternate form.
  for (double v : {0.0999, 0.0096, 0.00099, -0.00097}) ExpectSame("%.0g", "%.0g", v);
}

// Elsewhere precision 0 keeps the exponent form, as 1e-005 or 1e+006 do.
TEST(FormatCore, KeepsTheExponentFormAtPrecisionZeroFromATenthUp) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0e+000"},     {0.5, "5e-001"},     {0.1, "1e-001"},  {5.0, "5e+000"},
      {-25.0, "-2e+001"},  {0.00005, "5e-005"}, {1e300, "1e+300"}, {0.00009, "9e-005"},
  };
  for (const auto& c : cases) EXPECT_TRUE(BothGive("%.0g", c.text, c.value)) << c.value;
}

TEST(FormatGlibcDiff, MatchesHexFloatsBitForBit) {
  Gen g;
  for (int round = 0; round < kRounds; ++round) {
    uint64_t bits = g.rng();
    switch (g.Int(0, 3)) {
      case 0:  // subnormal
        bits &= 0x800FFFFFFFFFFFFFull;
        break;
      case 1:  // zero of either sign
        bits &= 0x8000000000000000ull;
        break;
      default:
        break;
    }
    if ((bits >> 52 & 0x7FF) == 0x7FF) bits ^= uint64_t{1} << 62;  // no infinity or NaN
    double v;
    std::memcpy(&v, &bits, sizeof v);
    const std::string conversion = std::string("%") + (g.Chance(20) ? "+" : "") + ".13" +
                             (g.Chance(50) ? "a" : "A");
    char theirs[64], ours[64];
    snprintf(theirs, sizeof theirs, conversion.c_str(), v);
    ASSERT_TRUE(BothGive(conversion, theirs, v));
    FormatToBuffer(ours, sizeof ours, conversion.c_str(), v);
    const double back = std::strtod(ours, nullptr);
    uint64_t backBits;
    std::memcpy(&backBits, &back, sizeof back);
    ASSERT_EQ(backBits, bits) << ours;
  }
}

TEST(FormatGlibcDiff, RoundsSixteenAndMoreDigitsLikeGlibcAwayFromTies) {
  // At most 17 significant digits: beyond them the digits are the
  // arithmetic's own.
  const double values[] = {0.04, 0.1, 1.0 / 3, 2.0 / 3, 0.5, 0.25, 1.0, 123.456, 1e-7, 0.7};
  for (double v : values) {
    for (const char* conversion : {"%.15g", "%.16g", "%.17g", "%.15e", "%.16e", "%.16f", "%.17f"}) {
      if (conversion[std::strlen(conversion) - 1] == 'f' && !(v >= 0.1 && v < 1)) continue;
      char tieFormat[16];
      int digits;
      if (conversion[std::strlen(conversion) - 1] == 'f') {
        digits = std::atoi(conversion + 2);
        snprintf(tieFormat, sizeof tieFormat, "%%.%df", digits + 12);
      } else {
        digits = std::atoi(conversion + 2) - (conversion[std::strlen(conversion) - 1] == 'g' ? 1 : 0);
        snprintf(tieFormat, sizeof tieFormat, "%%.%de", digits + 12);
      }
      if (NearTie(tieFormat, v, digits)) continue;
      char theirs[128];
      snprintf(theirs, sizeof theirs, conversion, v);
      EXPECT_TRUE(BothGive(conversion, WidenExponent(theirs), v)) << v;
    }
  }
}

}  // namespace
