// How both printf engines cut their output into pieces: literal runs, long
// strings, padding beyond the buffer, and callbacks that return anything.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "format_test_util.h"
#include "toolkit/format.h"

namespace {

using format_test::Pieces;
using format_test::Widen;

constexpr size_t kBuffer = 2248;

// Pieces with the address each came from.
template <class Ch>
struct Trace {
  std::vector<std::pair<const Ch*, std::basic_string<Ch>>> list;
  static int Record(void* ctx, const Ch* data, int count) {
    static_cast<Trace*>(ctx)->list.emplace_back(data, std::basic_string<Ch>(data, count));
    return count;
  }
  std::basic_string<Ch> Joined() const {
    std::basic_string<Ch> s;
    for (const auto& p : list) s += p.second;
    return s;
  }
};

TEST(FormatBuffer, CopiesShortLiteralRunsAndDeliversLongOnesStraight) {
  for (size_t n : {127u, 128u, 129u, 1123u, 1124u, 1125u}) {
    const std::string run(n, 'r');
    const std::string format = "%d" + run + "%d";
    Trace<char> t;
    int total = FormatCorePrintf(&t, Trace<char>::Record, format.c_str(), 1, 2);
    const std::string expected = "1" + run + "2";
    EXPECT_EQ(t.Joined(), expected) << n;
    EXPECT_EQ(total, static_cast<int>(expected.size()));
    // A run longer than 128 goes out from the format's own memory, at most
    // 1124 characters a piece.
    bool straight = false;
    for (const auto& [data, text] : t.list) {
      EXPECT_LE(text.size(), kBuffer);
      if (data == format.c_str() + 2) {
        straight = true;
        EXPECT_EQ(text.size(), std::min<size_t>(n, 1124));
      }
    }
    EXPECT_EQ(straight, n > 128) << n;

    const std::u16string wformat = Widen(format);
    Trace<char16_t> w;
    FormatCorePrintfW(&w, Trace<char16_t>::Record, wformat.c_str(), 1, 2);
    EXPECT_EQ(w.Joined(), Widen(expected));
  }
}

// Every string form that passes through the buffer, at lengths around its
// size; no piece may pass the buffer's end.
TEST(FormatBuffer, KeepsBufferedStringFormsWithinTheBuffer) {
  for (size_t n : {2247u, 2248u, 2249u}) {
    const std::string narrow(n, 'a');
    const std::u16string wide(n, u'b');
    std::string tab = narrow;
    tab[n - 1] = '\t';

    Pieces<char> a;
    FormatCorePrintf(&a, Pieces<char>::Record, "x%lsy", wide.c_str());
    EXPECT_EQ(a.Joined(), "x" + std::string(n, 'b') + "y");
    EXPECT_LE(a.Largest(), kBuffer);

    Pieces<char> b;
    FormatCorePrintf(&b, Pieces<char>::Record, "x%#sy", tab.c_str());
    EXPECT_EQ(b.Joined(), "x" + std::string(n - 1, 'a') + ".y");
    EXPECT_LE(b.Largest(), kBuffer);

    Pieces<char> c;
    FormatCorePrintf(&c, Pieces<char>::Record, "x%-0.*sy", static_cast<int>(n), (narrow + "z").c_str());
    EXPECT_EQ(c.Joined(), "x" + std::string(n - 3, 'a') + "...y");
    EXPECT_LE(c.Largest(), kBuffer);

    Pieces<char> d;
    FormatCorePrintf(&d, Pieces<char>::Record, "x%*sy%-*s|", static_cast<int>(n), "s",
                     static_cast<int>(n), "t");
    EXPECT_EQ(d.Joined(), "x" + std::string(n - 1, ' ') + "sy" + "t" + std::string(n - 1, ' ') + "|");
    EXPECT_LE(d.Largest(), kBuffer);

    Pieces<char> e;
    FormatCorePrintf(&e, Pieces<char>::Record, "x%#-*sy", static_cast<int>(n - 1), narrow.c_str());
    EXPECT_EQ(e.Joined(), "x" + std::string(n - 4, 'a') + "...y");
    EXPECT_LE(e.Largest(), kBuffer);

    Pieces<char16_t> f;
    FormatCorePrintfW(&f, Pieces<char16_t>::Record, u"x%hsy", narrow.c_str());
    EXPECT_EQ(f.Joined(), u"x" + Widen(narrow) + u"y");
    EXPECT_LE(f.Largest(), kBuffer);

    Pieces<char16_t> g;
    FormatCorePrintfW(&g, Pieces<char16_t>::Record, u"x%#hsy%0*s", tab.c_str(),
                      static_cast<int>(n), u"w");
    EXPECT_EQ(g.Joined(), u"x" + Widen(std::string(n - 1, 'a')) + u".y" +
                              std::u16string(n - 1, u'0') + u"w");
    EXPECT_LE(g.Largest(), kBuffer);
  }
}

TEST(FormatBuffer, DeliversWidePaddingInPiecesOf256) {
  for (const char* format : {"ab%5000d", "ab%-5000d|", "ab%05000d"}) {
    Pieces<char> p;
    int total = FormatCorePrintf(&p, Pieces<char>::Record, format, -42);
    char expected[6000];
    snprintf(expected, sizeof expected, format, -42);
    EXPECT_EQ(p.Joined(), expected) << format;
    EXPECT_EQ(total, static_cast<int>(std::string(expected).size()));
    EXPECT_LE(p.Largest(), 256u) << format;

    Pieces<char16_t> w;
    std::u16string wf = Widen(format);
    FormatCorePrintfW(&w, Pieces<char16_t>::Record, wf.c_str(), -42);
    EXPECT_EQ(w.Joined(), Widen(expected));
    EXPECT_LE(w.Largest(), 256u);
  }
}

TEST(FormatBuffer, WritesEveryDigitOfAHugePrecision) {
  for (const char* format : {"%.5000d", "%+.5000d|%-5010.5000x|"}) {
    char expected[12000];
    snprintf(expected, sizeof expected, format, 42, 0xABC);
    Pieces<char> p;
    int total = FormatCorePrintf(&p, Pieces<char>::Record, format, 42, 0xABC);
    EXPECT_EQ(p.Joined(), expected);
    EXPECT_EQ(total, static_cast<int>(std::string(expected).size()));
    EXPECT_LE(p.Largest(), kBuffer);
  }
}

TEST(FormatBuffer, ReturnsThePlainSumOfTheCallbackResults) {
  std::string seen;
  auto zero = [](void* ctx, const char* data, int count) {
    static_cast<std::string*>(ctx)->append(data, count);
    return 0;
  };
  EXPECT_EQ(FormatCorePrintf(&seen, zero, "%s|%5000d|%g", "x", 1, 2.5), 0);
  EXPECT_EQ(seen, "x|" + std::string(4999, ' ') + "1|2.5");

  int calls = 0;
  auto seven = [](void* ctx, const char*, int) {
    ++*static_cast<int*>(ctx);
    return 7;
  };
  int total = FormatCorePrintf(&calls, seven, "%s|%1000d|%s", std::string(300, 'a').c_str(), 1,
                               "b");
  EXPECT_GT(calls, 1);
  EXPECT_EQ(total, 7 * calls);

  int minus = 0;
  auto negative = [](void* ctx, const char*, int) {
    ++*static_cast<int*>(ctx);
    return -1;
  };
  total = FormatCorePrintf(&minus, negative, "a%sb", std::string(200, 'c').c_str());
  EXPECT_EQ(total, -minus);
}

// Counts characters and calls without keeping them.
struct Tally {
  int64_t characters = 0;
  static int Count(void* ctx, const char*, int count) {
    static_cast<Tally*>(ctx)->characters += count;
    return count;
  }
  static int CountW(void* ctx, const char16_t*, int count) {
    static_cast<Tally*>(ctx)->characters += count;
    return count;
  }
};

TEST(FormatBuffer, SaturatesWidthPrecisionAndTotalAtIntMax) {
  // Width and precision digits beyond the int range read as INT_MAX; the
  // text is then INT_MAX characters, and one more saturates the total.
  struct Case {
    const char* format;
    int64_t characters;
  } cases[] = {
      {"%99999999999d", INT32_MAX},
      {"%.99999999999d", INT32_MAX},
      {"%2147483648d", INT32_MAX},
      {"%2147483647dx", int64_t{INT32_MAX} + 1},
  };
  for (const Case& c : cases) {
    Tally t;
    EXPECT_EQ(FormatCorePrintf(&t, Tally::Count, c.format, 5), INT32_MAX) << c.format;
    EXPECT_EQ(t.characters, c.characters) << c.format;
  }
  Tally w;
  EXPECT_EQ(FormatCorePrintfW(&w, Tally::CountW, u"%2147483647dx", 5), INT32_MAX);
  EXPECT_EQ(w.characters, int64_t{INT32_MAX} + 1);
}

TEST(FormatBuffer, JoinsPiecesToTheOnePieceText) {
  const std::string big(3000, 'L');
  const char* format = "%s|%-300s|%2400d|%.3f|%s|%%|%x";
  char expected[16000];
  snprintf(expected, sizeof expected, format, big.c_str(), "left", 5, 2.5, "end", 0xFACE);
  Pieces<char> p;
  int total = FormatCorePrintf(&p, Pieces<char>::Record, format, big.c_str(), "left", 5, 2.5,
                               "end", 0xFACE);
  EXPECT_EQ(p.Joined(), expected);
  EXPECT_EQ(total, static_cast<int>(std::string(expected).size()));

  const std::u16string wbig(3000, u'L');
  Pieces<char16_t> w;
  FormatCorePrintfW(&w, Pieces<char16_t>::Record, u"%s|%-300s|%2400d|%.3f|%s|%%|%x", wbig.c_str(),
                    u"left", 5, 2.5, u"end", 0xFACE);
  EXPECT_EQ(w.Joined(), Widen(expected));
}

}  // namespace
