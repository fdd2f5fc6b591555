// Argument passing of both printf engines on x86-64, where integers,
// pointers and doubles travel in different registers: long mixed lists, in
// sequence and by position, against glibc.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "format_test_util.h"
#include "toolkit/format_print.h"

namespace {

using format_test::Widen;

// The 16-bit engine reads %s as a 16-bit string; %hs is the narrow one.
std::u16string WideFormat(const std::string& f) {
  std::string g;
  for (size_t i = 0; i < f.size(); ++i) {
    g += f[i];
    if (f[i] != '%') continue;
    size_t j = i + 1;
    if (j < f.size() && f[j] == '@') j += 2;
    while (j < f.size() && !std::isalpha(static_cast<unsigned char>(f[j]))) ++j;
    if (j < f.size() && f[j] == 's') {
      g += f.substr(i + 1, j - i - 1) + "h";
      i = j - 1;
    }
  }
  return Widen(g);
}

// glibc writes two exponent digits where the engine writes three.
std::string WidenExponents(std::string s) {
  for (size_t at = s.find_first_of("eE"); at != std::string::npos;
       at = s.find_first_of("eE", at + 1)) {
    if (at + 3 < s.size() && (s[at + 1] == '+' || s[at + 1] == '-') &&
        (at + 4 == s.size() || !std::isdigit(static_cast<unsigned char>(s[at + 4]))))
      s.insert(at + 2, "0");
  }
  return s;
}

TEST(FormatArgs, TakesMixedSequentialArgumentsLikeGlibc) {
  const char* format =
      "%d|%f|%lld|%g|%s|%.3f|%zu|%g|%c|%.1f|%d|%g|%u|%f|%x|%g|%lld|%.2f|%d|%g|%s|%f%n|%d";
  int ourCount = -1, glibcCount = -1;
  char ours[512], theirs[512];
  auto call = [&](auto fn, char* out, int* count) {
    return fn(out, 512, format, -7, 1.5, -1234567890123LL, 0.375, "str", 2.25, size_t{1} << 40,
              1e-3, 'Z', -0.5, 42, 123456.0, 4000000000u, 9.75, 0xBEEF, 12.5, 99LL, 3.125, -1,
              7e5, "late", 0.0625, count, 5);
  };
  call(FormatToBuffer, ours, &ourCount);
  call(snprintf, theirs, &glibcCount);
  EXPECT_STREQ(ours, theirs);
  EXPECT_EQ(ourCount, glibcCount);

  int wideCount = -1;
  char16_t w[512];
  std::u16string wf = WideFormat(format);
  FormatToBufferW(w, 512, wf.c_str(), -7, 1.5, -1234567890123LL, 0.375, "str", 2.25,
                  size_t{1} << 40, 1e-3, 'Z', -0.5, 42, 123456.0, 4000000000u, 9.75, 0xBEEF, 12.5,
                  99LL, 3.125, -1, 7e5, "late", 0.0625, &wideCount, 5);
  EXPECT_EQ(std::u16string(w), Widen(std::string(theirs)));
  EXPECT_EQ(wideCount, glibcCount);
}

// The conversion of each slot, ours and glibc's.
struct Slot {
  const char* ours;
  const char* theirs;
};

// Formats every slot once, in a shuffled order, by position.
std::pair<std::string, std::string> Positional(const std::vector<Slot>& slots,
                                               std::mt19937& rng) {
  std::vector<int> order(slots.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::shuffle(order.begin(), order.end(), rng);
  std::string ours, theirs;
  for (int i : order) {
    ours += std::string("<%@") + static_cast<char>('A' + i) + slots[i].ours + ">";
    theirs += "<%" + std::to_string(i + 1) + "$" + slots[i].theirs + ">";
  }
  return {ours, theirs};
}

TEST(FormatArgs, TakesShuffledPositionsWithManyIntegerSlots) {
  const std::vector<Slot> slots = {{"d", "d"},     {"g", "g"},     {"s", "s"},  {"I64d", "lld"},
                                   {"x", "x"},     {"f", "f"},     {"d", "d"},  {"s", "s"},
                                   {".2f", ".2f"}, {"qd", "lld"},  {"u", "u"},  {"g", "g"}};
  std::mt19937 rng(12);
  for (int round = 0; round < 200; ++round) {
    auto [ours, theirs] = Positional(slots, rng);
    char a[512], b[512];
    FormatToBuffer(a, sizeof a, ours.c_str(), -3, 2.5, "two", -9000000000LL, 255u, 0.125, 77,
                   "seven", 3.75, 123456789012LL, 4000000000u, 1e6);
    snprintf(b, sizeof b, theirs.c_str(), -3, 2.5, "two", -9000000000LL, 255u, 0.125, 77,
             "seven", 3.75, 123456789012LL, 4000000000u, 1e6);
    const std::string expected = WidenExponents(b);
    ASSERT_EQ(std::string(a), expected) << ours;
    char16_t w[512];
    std::u16string wf = WideFormat(ours);
    FormatToBufferW(w, 512, wf.c_str(), -3, 2.5, "two", -9000000000LL, 255u, 0.125, 77,
                    "seven", 3.75, 123456789012LL, 4000000000u, 1e6);
    ASSERT_EQ(std::u16string(w), Widen(expected)) << ours;
  }
}

TEST(FormatArgs, TakesShuffledPositionsWithManyDoubleSlots) {
  const std::vector<Slot> slots = {{"g", "g"},   {"f", "f"},   {"d", "d"},     {"g", "g"},
                                   {".1f", ".1f"}, {"s", "s"}, {"g", "g"},     {"f", "f"},
                                   {"g", "g"},   {"lld", "lld"}, {".3f", ".3f"}, {"g", "g"}};
  std::mt19937 rng(34);
  for (int round = 0; round < 200; ++round) {
    auto [ours, theirs] = Positional(slots, rng);
    char a[512], b[512];
    FormatToBuffer(a, sizeof a, ours.c_str(), 1.5, 2.25, 3, 4.125, 5.5, "six", 7e-3, 8.5, 9e9,
                   10LL, 11.0625, 12.5);
    snprintf(b, sizeof b, theirs.c_str(), 1.5, 2.25, 3, 4.125, 5.5, "six", 7e-3, 8.5, 9e9, 10LL,
             11.0625, 12.5);
    const std::string expected = WidenExponents(b);
    ASSERT_EQ(std::string(a), expected) << ours;
    char16_t w[512];
    std::u16string wf = WideFormat(ours);
    FormatToBufferW(w, 512, wf.c_str(), 1.5, 2.25, 3, 4.125, 5.5, "six", 7e-3, 8.5, 9e9, 10LL,
                    11.0625, 12.5);
    ASSERT_EQ(std::u16string(w), Widen(expected)) << ours;
  }
}

TEST(FormatArgs, MixesPositionsWithTheSequence) {
  char a[128];
  // Positions past the sequence are read ahead; the sequence still runs from
  // the first argument.
  FormatToBuffer(a, sizeof a, "%@Cs %d %@Bd %d %s", 1, 2, "three");
  EXPECT_STREQ(a, "three 1 2 2 three");
  FormatToBuffer(a, sizeof a, "%@Bg %@Ad %g %g", 1, 2.5, 3.5);
  EXPECT_STREQ(a, "2.5 1 2.5 3.5");
}

TEST(FormatArgs, NeverTakesAPointerFromASlotReadAsANumber) {
  char a[128];
  // The format names slot 2 as an int first, then as a string: the int
  // reading stands and the string is "(null)" rather than a forged pointer.
  FormatToBuffer(a, sizeof a, "%@Bd|%@Bs|%@As", "one", "two");
  const std::string s = a;
  EXPECT_EQ(s.substr(s.find('|')), "|(null)|one");
  // 64-bit integer slots keep all their bits for a later 64-bit reading.
  FormatToBuffer(a, sizeof a, "%@AI64d|%@Ad", int64_t{0x100000005});
  EXPECT_STREQ(a, "4294967301|5");
}

TEST(FormatArgs, TakesTheStarOfAPositionalSpecInSequence) {
  char a[64];
  FormatToBuffer(a, sizeof a, "%@B*d|%d", 5, 7);
  EXPECT_STREQ(a, "    7|7");
  FormatToBuffer(a, sizeof a, "%@C.*f|%g", 2, 0.5, 3.14159);
  EXPECT_STREQ(a, "3.14|0.5");
}

}  // namespace
