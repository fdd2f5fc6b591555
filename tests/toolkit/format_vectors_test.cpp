// Exact outputs of both printf engines: the 16-bit engine must give the same
// text as the narrow one, unit for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "format_test_util.h"
#include "toolkit/format.h"

namespace {

using format_test::Fmt;
using format_test::FmtW;
using format_test::Widen;

#define EXPECT_BOTH(expected, format, ...)                                          \
  do {                                                                              \
    EXPECT_EQ(Fmt(format, __VA_ARGS__), std::string(expected)) << format;           \
    EXPECT_EQ(FmtW(u"" format, __VA_ARGS__), Widen(std::string(expected))) << format; \
  } while (0)

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void UseTimeZone(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
}

TEST(FormatCore, ReadsTheGrammarsOddCorners) {
  EXPECT_BOTH("%", "%%", 0);
  EXPECT_BOTH("y", "%5y", 0);
  EXPECT_BOTH("ab", "ab%", 0);
  EXPECT_BOTH("q", "%lq", 0);          // one size element, then no conversion
  EXPECT_BOTH("6x", "%I6x", 0);        // I alone is a size; 6 is no conversion
  EXPECT_BOTH("a", "a%5", 0);          // cut short by the end of the format
  EXPECT_BOTH("a", "a%-#", 0);
  EXPECT_BOTH("a", "a%.", 0);
  EXPECT_BOTH("a", "a%*", 7);
  EXPECT_BOTH("7y", "%@Ad%@y", 7);     // @ followed by no letter A-L does nothing
  EXPECT_BOTH("0", "%5%d", 0);         // the dropped % is read again and starts a conversion
}

TEST(FormatCore, TreatsHighBytesAsTheGrammarSays) {
  // Right behind %: nothing is written, for both characters.
  EXPECT_EQ(Fmt("a%\xE9z"), "az");
  EXPECT_EQ(FmtW(u"a%\u00E9z"), u"az");
  EXPECT_EQ(FmtW(u"a%\u4E00z"), u"az");
  // Among the flags: skipped.
  EXPECT_EQ(Fmt("%-\xE9" "3d|", 5), "5  |");
  EXPECT_EQ(FmtW(u"%-\u00E9" "3d|", 5), u"5  |");
  // Inside width digits: the number ends, the byte is ordinary text.
  EXPECT_EQ(Fmt("%5\xE9z", 1), "\xE9z");
  EXPECT_EQ(FmtW(u"%5\u4E00z", 1), u"\u4E00z");
  // Behind *, the point or a size: the formatting ends.
  EXPECT_EQ(Fmt("a%*\xE9z", 3), "a");
  EXPECT_EQ(Fmt("a%.\xE9z"), "a");
  EXPECT_EQ(Fmt("a%l\xE9z"), "a");
  EXPECT_EQ(FmtW(u"a%.\u00E9z"), u"a");
  EXPECT_EQ(FmtW(u"a%h\u4E00z"), u"a");
}

TEST(FormatCore, FormatsIntegersWithFlagsAndSizes) {
  EXPECT_BOTH("42   ", "%-05d", 42);
  EXPECT_BOTH("-0042", "%05d", -42);
  EXPECT_BOTH("0x00ff", "%#06x", 255);
  EXPECT_BOTH("0Xff", "%+#x", 255);      // the prefix letter's case flips
  EXPECT_BOTH("0xFF", "% #X", 255);
  EXPECT_BOTH("0", "%#o", 0);
  EXPECT_BOTH("010", "%#o", 8);
  EXPECT_BOTH("", "%.0d", 0);
  EXPECT_BOTH("44", "%hhu", 300);
  EXPECT_BOTH("-1", "%hd", 0xFFFF);
  EXPECT_BOTH("-2147483648", "%d", INT32_MIN);
  EXPECT_BOTH("-9223372036854775808", "%I64d", INT64_MIN);
  EXPECT_BOTH("18446744073709551615", "%qu", UINT64_MAX);
  EXPECT_BOTH("4294967295", "%lu", -1);  // l is 32 bits on every host
  EXPECT_BOTH("ffffffffffffffff", "%zx", SIZE_MAX);
  EXPECT_BOTH("0b101 0B101 0", "%#b %#B %#b", 5, 5, 0);
  EXPECT_BOTH("0b00000101", "%#010b", 5);
  EXPECT_BOTH("  +00042", "%+8.5d", 42);
  EXPECT_BOTH(" 42", "% d", 42);
  EXPECT_BOTH("+42", "%+ d", 42);        // + wins over blank
  EXPECT_BOTH("0042", "%.*d", 4, 42);
  EXPECT_BOTH("5", "%.*d", -1, 5);       // a negative precision is none
  EXPECT_BOTH("5", "%*d", -4, 5);        // a negative width never pads
}

TEST(FormatCore, FormatsPointersAsEightHexDigits) {
  EXPECT_BOTH("00001234", "%p", reinterpret_cast<void*>(0x1234));
  EXPECT_BOTH("0X00001234", "%#p", reinterpret_cast<void*>(0x1234));
  EXPECT_BOTH("0x00001234", "%+#p", reinterpret_cast<void*>(0x1234));
  EXPECT_BOTH("00000000", "%p", static_cast<void*>(nullptr));
  EXPECT_BOTH("123456789ABC", "%p", reinterpret_cast<void*>(0x123456789ABCull));
  EXPECT_BOTH("0X000000000000001234", "%#20p", reinterpret_cast<void*>(0x1234));
}

TEST(FormatCore, EscapesControlCharacters) {
  EXPECT_BOTH("\\n", "%#+c", 10);
  EXPECT_BOTH("\\x01B", "%#+c", 27);
  EXPECT_BOTH("\\x000", "%# c", 0);
  EXPECT_BOTH("\\a\\b\\t\\n\\v\\f\\r", "%#+c%#+c%#+c%#+c%#+c%#+c%#+c", 7, 8, 9, 10, 11, 12, 13);
  EXPECT_BOTH("\\x00E\\x01F", "%#+c%#+c", 14, 31);
  EXPECT_BOTH("\\\\", "%#+c", '\\');
  EXPECT_BOTH(".", "%#c", 7);
  EXPECT_BOTH("A", "%#+c", 'A');
  EXPECT_BOTH("0000A", "%05c", 'A');
  EXPECT_BOTH("A    ", "%-5c", 'A');
  EXPECT_BOTH("0000A", "%05.2c", 'A');   // zero padding wins over a precision
}

TEST(FormatCore, WritesCharactersOfBothWidths) {
  // The narrow engine: c is a byte; C and the long sizes a 16-bit character,
  // nothing when it is above 255.
  EXPECT_EQ(Fmt("%c|%C|%lc|%hC", 0x141, 0xE9, 0x20AC, 0x141), "A|\xE9||A");
  // The 16-bit engine: c is 16-bit; C and h, hh an 8-bit character.
  EXPECT_EQ(FmtW(u"%c|%C|%hc|%lC", 0x20AC, 0x141, 0x141, 0x20AC), u"\u20AC|A|A|\u20AC");
}

TEST(FormatCore, FormatsStrings) {
  EXPECT_EQ(Fmt("%s", static_cast<char*>(nullptr)), "(null)");
  EXPECT_EQ(Fmt("%ls", static_cast<char16_t*>(nullptr)), "(null)");
  EXPECT_EQ(Fmt("%+.9s|", static_cast<char*>(nullptr)), "(null)|");  // never read past it
  EXPECT_EQ(Fmt("%-0.5s", "abcdefgh"), "ab...");
  EXPECT_EQ(Fmt("%-0.2s", "abcdefgh"), "..");
  EXPECT_EQ(Fmt("%-0.5s", "abcde"), "abcde");   // does not go on behind the length
  EXPECT_EQ(Fmt("%#-8s", "abcdefghij"), "abcde...");
  EXPECT_EQ(Fmt("%#s", "a\tb\x1f"), "a.b.");
  EXPECT_EQ(Fmt("%+.4s|", "ab\0cd"), std::string("ab\0c|", 5));  // exactly p, NULs included
  EXPECT_EQ(Fmt("%.3s|%5s|%-5s|%05s", "abcdef", "ab", "ab", "ab"), "abc|   ab|ab   |000ab");
  EXPECT_EQ(Fmt("%~s", "kept"), "kept");
  EXPECT_EQ(Fmt("%S|%ls|%hS", u"\u00E9\u20ACx", u"w", "n"), "\xE9x|w|n");
  EXPECT_EQ(Fmt("%#S|%-0.5lS|%-0.3lS", u"\u20AC\u0001", u"\u0141bcdef", u"abcd"), "\xAC.|Ab...|...");
  EXPECT_EQ(Fmt("%.*s|", -1, "abc"), "abc|");

  EXPECT_EQ(FmtW(u"%s", static_cast<char16_t*>(nullptr)), u"(null)");
  EXPECT_EQ(FmtW(u"%hs", static_cast<char*>(nullptr)), u"(null)");
  EXPECT_EQ(FmtW(u"%s|%S|%hs|%ls", u"\u20AC", "\xE9", "b", u"c"), u"\u20AC|\u00E9|b|c");
  EXPECT_EQ(FmtW(u"%-0.5s", u"ab\u20ACdefgh"), u"ab...");
  EXPECT_EQ(FmtW(u"%#-8S", "abc\x01" "efghij"), u"abc.e...");
  EXPECT_EQ(FmtW(u"%.*s|", -1, u"abc"), u"abc|");
}

TEST(FormatCore, TakesArgumentsByPosition) {
  EXPECT_BOTH("2 1", "%@Bd %@Ad", 1, 2);
  EXPECT_BOTH("2 1", "%@Bd %d", 1, 2);
  EXPECT_BOTH("2", "%~d%d", 1, 2);
  EXPECT_BOTH("3 2.5 1", "%@Cd %@Bg %@Ad", 1, 2.5, 3);
  EXPECT_BOTH("9 -8 7", "%@CI64d %@Bd %@Ad", 7, -8, int64_t{9});
  // * always takes the next argument in sequence, also in a conversion with @.
  EXPECT_BOTH("    7|7", "%@B*d|%d", 5, 7);
}

TEST(FormatCore, StoresTheCountSoFar) {
  int n = -1, w = -1;
  EXPECT_EQ(Fmt("abc%n", &n), "abc");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(FmtW(u"abc%5d%n", 1, &w), u"abc    1");
  EXPECT_EQ(w, 8);
  EXPECT_EQ(Fmt("x%n", static_cast<int*>(nullptr)), "x");
}

TEST(FormatCore, FormatsFixedAndExponentForms) {
  EXPECT_BOTH("0.12", "%.2f", 0.125);            // ties go toward zero
  EXPECT_BOTH("2", "%.0f", 2.5);
  EXPECT_BOTH("-0.000000", "%f", -0.0);
  EXPECT_BOTH("1.#INF00", "%f", kInf);
  EXPECT_BOTH("-1.#INF00", "%f", -kInf);
  EXPECT_BOTH("1.#NAN00", "%f", kNaN);
  EXPECT_BOTH("1.$$", "%.2f", kInf);
  EXPECT_BOTH("1", "%.0f", kInf);
  EXPECT_BOTH("1.", "%#.0f", kInf);
  EXPECT_BOTH("1.234568e+004", "%e", 12345.678);
  EXPECT_BOTH("0.000000E+000", "%E", 0.0);
  EXPECT_BOTH("5.000000e-001", "%e", 0.5);
  EXPECT_BOTH("4.940656e-324", "%e", 4.9e-324);
  EXPECT_BOTH("1.797693e+308", "%e", 1.7976931348623157e308);
  EXPECT_BOTH("1.000000e-300", "%e", 1e-300);
  EXPECT_BOTH("+3.14", "%+.2f", 3.14159);
  EXPECT_BOTH("-0003.142", "%09.3f", -3.14159);
  EXPECT_BOTH("3.142    ", "%-9.3f", 3.14159);
  EXPECT_BOTH("3.", "%#.0f", 3.0);
  EXPECT_BOTH("1000000000000000000000.000000", "%f", 1e21);
}

TEST(FormatCore, FormatsGeneralForm) {
  EXPECT_BOTH("100000", "%g", 100000.0);
  EXPECT_BOTH("1e+006", "%g", 1000000.0);
  EXPECT_BOTH("1e-005", "%g", 0.00001);
  EXPECT_BOTH("1.5", "%g", 1.5);
  EXPECT_BOTH("0", "%g", 0.0);
  EXPECT_BOTH("-0", "%g", -0.0);
  EXPECT_BOTH("1e+006", "%g", 999999.7);         // rounding reaches 10^p
  EXPECT_BOTH("1.#INF0", "%g", kInf);
  EXPECT_BOTH("-1.#INF0", "%g", -kInf);
  EXPECT_BOTH("1.#NAN0", "%g", kNaN);
  EXPECT_BOTH("1.50000", "%#g", 1.5);
  EXPECT_BOTH("1.E+010", "%#.1G", 1e10);
  EXPECT_BOTH("0.0001", "%g", 0.0001);
  EXPECT_BOTH("   0.001", "%8g", 0.001);
}

TEST(FormatCore, RoundsAtSixteenAndMoreDigitsLikeBelow) {
  EXPECT_BOTH("0.5000000000000000", "%.16f", 0.5);
  EXPECT_BOTH("0.50000000000000000", "%.17f", 0.5);
  EXPECT_BOTH("0.50000000000000000000", "%.20f", 0.5);
  EXPECT_BOTH("0.2500000000000000", "%.16f", 0.25);
  EXPECT_BOTH("0.25000000000000000000", "%.20f", 0.25);
  EXPECT_BOTH("1.0000000000000000", "%.16f", 1.0);
  EXPECT_BOTH("1.00000000000000000000", "%.20f", 1.0);
  EXPECT_BOTH("0.04", "%.15g", 0.04);
  EXPECT_BOTH("5.0000000000000000e-001", "%.16e", 0.5);
}

TEST(FormatCore, FormatsHexFloats) {
  EXPECT_BOTH("0x1.000000p+0", "%a", 1.0);
  EXPECT_BOTH("0x1.000000p-1", "%a", 0.5);
  EXPECT_BOTH("0x1p+0", "%.0a", 1.0);
  EXPECT_BOTH("0X0.000000P+0", "%A", 0.0);
  EXPECT_BOTH("0x1.#INF00p+0", "%a", kInf);
  EXPECT_BOTH("0x1.#QNAN0p+0", "%a", kNaN);
  EXPECT_BOTH("0x1.$$p+0", "%.2a", kInf);
  EXPECT_BOTH("0x1p+0", "%.0a", kInf);
  EXPECT_BOTH("-0x1.8p+1", "%.1a", -3.0);
  EXPECT_BOTH("0x1.fffffffffffff000p+1023", "%.16a", 1.7976931348623157e308);
  EXPECT_BOTH("0x0.0000000000001p-1022", "%.13a", 4.9e-324);
  EXPECT_BOTH("0x0001.0p+0", "%011.1a", 1.0);
}

TEST(FormatCore, GroupsDigits) {
  EXPECT_BOTH("1 234 567", "%D", 1234567);
  EXPECT_BOTH("1.234.567", "%#D", 1234567);
  EXPECT_BOTH("123.45", "%.2D", 12345);
  EXPECT_BOTH("0.005", "%.3D", 5);
  EXPECT_BOTH("    -1 234", "%10D", -1234);
  EXPECT_BOTH(" 001 234", "%08D", 1234);
  EXPECT_BOTH("-0 001 234", "%010D", -1234);
  EXPECT_BOTH(" -001 234", "%09D", -1234);
  EXPECT_BOTH("-1 234    ", "%-10D", -1234);
  EXPECT_BOTH("0", "%D", 0);
  EXPECT_BOTH("+0", "%+D", 0);
  EXPECT_BOTH(" 0", "% D", 0);
  EXPECT_BOTH("+0.00", "%+.2D", 0);
  EXPECT_BOTH("   +0", "%+5D", 0);
  EXPECT_BOTH("4 294 967 295", "%U", -1);
  EXPECT_BOTH("18 446 744 073 709 551 615", "%I64U", UINT64_MAX);
  EXPECT_BOTH("1 234 567.891000", "%F", 1234567.891);
  EXPECT_BOTH("-1 234.5", "%.1F", -1234.5);
  EXPECT_BOTH("1.235", "%#.0F", 1234.9);  // # makes the separator a point
}

TEST(FormatCore, DumpsMemoryInHex) {
  const unsigned char bytes[] = {0x01, 0x02, 0x0A, 0xFF, 0x10, 0x20, 0x30, 0x40,
                                 0x50, 0x60, 0x70, 0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0};
  const unsigned char seq[] = {0, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_BOTH("01020aff", "%.4m", bytes);
  EXPECT_BOTH("01:02:0A:FF", "%+.4M", bytes);
  EXPECT_BOTH("01 02 0a ff", "% .4m", bytes);    // a blank between bytes
  EXPECT_BOTH("00010203 04050607", "%.8lm", seq);
  EXPECT_BOTH("0001 0203 0405 0607", "%.8hm", seq);
  EXPECT_BOTH("01020aff102030405060708090a0b0c0", "%m", bytes);
  EXPECT_BOTH("(null)", "%m", static_cast<void*>(nullptr));
  EXPECT_BOTH("", "%.0m", bytes);
  EXPECT_BOTH("", "%.*m", -3, bytes);
  EXPECT_BOTH("01020a...", "%#9.8m", bytes);      // cut to the width
  EXPECT_BOTH("01020aff...", "%#11.8m", bytes);
  EXPECT_BOTH("01020aff... ", "%#12.8m", bytes);
  EXPECT_BOTH("  01020aff00", "%012.4m", bytes);  // zero units stay below the width
  EXPECT_BOTH("    01020aff", "%12.4m", bytes);
  EXPECT_BOTH("01020aff    ", "%-12.4m", bytes);
  EXPECT_BOTH("", "%#.8m", bytes);                // # without a width
  EXPECT_BOTH("01020aff", "%#20.4m", bytes);      // # never pads in front
  EXPECT_BOTH("01020aff", "%#020.4m", bytes);
  EXPECT_BOTH("01020aff", "%#8.4m", bytes);
  EXPECT_BOTH("01020aff            ", "%#-20.4m", bytes);
}

TEST(FormatCore, FormatsTimeAndDate) {
  UseTimeZone("UTC");
  const int t = 13 * 3600 + 5 * 60 + 9;
  EXPECT_BOTH("13:05:09", "%k", t);
  EXPECT_BOTH("13:05", "%+k", t);
  EXPECT_BOTH("130509", "%0k", t);
  EXPECT_BOTH("1970-01-01 13:05:09", "%K", t);
  EXPECT_BOTH("1970-01-01___13:05:09", "% .3K", t);
  EXPECT_BOTH("1970-01-01", "%.0K", t);
  EXPECT_BOTH("1.1.1970 13:05:09", "%#K", t);
  EXPECT_BOTH("(null)", "%k", -1);
  EXPECT_BOTH("(null)", "%k", INT32_MIN);           // 32 bits are sign-extended
  EXPECT_BOTH("2040-01-01 00:00:00", "%I64K", int64_t{2208988800});
  EXPECT_BOTH("2040-01-01 00:00:00", "%qK", int64_t{2208988800});
  EXPECT_BOTH("2024-03-01 12:00:00", "%K", 1709294400);
  // The last second whose year an int holds, and one the calendar cannot hold.
  EXPECT_BOTH("2147483647-12-31 23:59:59", "%I64K", int64_t{67767976233532799});
  EXPECT_BOTH("(null)", "%I64K", int64_t{67768036191676799});
  EXPECT_BOTH("  13:05:09", "%10k", t);
  UseTimeZone("CET-1");
  EXPECT_BOTH("14:05:09", "%k", t);
  UseTimeZone("UTC");
}

TEST(FormatCore, SuppressesButConsumes) {
  EXPECT_BOTH("|2.5|", "|%~5.1f%g|", 1.0, 2.5);
  EXPECT_EQ(Fmt("%~s%s", "a", "b"), "ab");  // no effect on s
  EXPECT_EQ(FmtW(u"%~s%s", u"a", u"b"), u"ab");
}

TEST(FormatCore, CallsNothingForAnEmptyFormat) {
  int calls = 0;
  auto count = [](void* ctx, const char*, int) {
    ++*static_cast<int*>(ctx);
    return 1;
  };
  EXPECT_EQ(FormatCorePrintf(&calls, count, ""), 0);
  EXPECT_EQ(calls, 0);
}

}  // namespace
