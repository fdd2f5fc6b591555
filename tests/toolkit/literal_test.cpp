#include "toolkit/literal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Quote(const std::string& src, DWORD flags, int dstSize = 4096) {
  std::vector<char> dst(static_cast<size_t>(dstSize), '\x7F');
  const int n = StrQuoteEscape(dst.data(), dstSize, src.data(), static_cast<int>(src.size()), flags);
  return std::string(dst.data(), static_cast<size_t>(n));
}

TEST(StrQuoteEscape, WritesEscapesPerFlags) {
  struct Case {
    std::string src;
    DWORD flags;
    const char* text;
  } cases[] = {
      {"\x01" "A", 0, "\"\\x001A\""},
      {"\x01" "A", QUOTE_SHORT_HEX, "\"\\x01\"\"A\""},
      {"\x01" "A", QUOTE_SHORT_HEX | QUOTE_NO_QUOTES, "\\x001A"},
      {"\x01" "G", QUOTE_SHORT_HEX, "\"\\x01G\""},
      {"a\"b\\c", 0, "\"a\\\"b\\\\c\""},
      {"\r\n\t\a\b\f\v", 0, "\"\\r\\n\\t\\a\\b\\f\\v\""},
      {"\r\n\t\a\b\f\v", QUOTE_HEX_CONTROLS | QUOTE_SHORT_HEX, "\"\\r\\n\\x09\\x07\\x08\\x0C\\x0B\""},
      {"\"\\\r\n\t", QUOTE_HEX_QUOTES, "\"\\x022\\x05C\\x00D\\x00A\\x009\""},
      {std::string("\0\x1F\x7F\xFF", 4), 0, "\"\\x000\\x01F\x7F\xFF\""},
      {"abc", QUOTE_NO_QUOTES, "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(Quote(c.src, c.flags), c.text) << std::hex << c.flags;
}

TEST(StrQuoteEscape, DecodesUtf8AndUtf16SourcesAndSkipsWhatEightBitsCannotHold) {
  EXPECT_EQ(Quote("\xC3\xA9" "\xE4\xB8\x80" "x", QUOTE_SRC_UTF8), "\"\xE9x\"");
  const char16_t units[] = {u'a', 0x4E00, 0xD83D, 0xDE00, u'b', 0};
  char out[32];
  EXPECT_EQ(StrQuoteEscape(out, 32, units, 9, QUOTE_SRC_UTF16), 3) << "srcLen 9 rounds down to 4 units";
  EXPECT_STREQ(out, "\"a\"");
  EXPECT_EQ(StrQuoteEscape(out, 32, units, -1, QUOTE_SRC_UTF16 | QUOTE_NO_QUOTES), 2) << "up to the terminator";
  char16_t wide[32];
  EXPECT_EQ(StrQuoteEscapeW(wide, 32, units, 10, QUOTE_SRC_UTF16), 7);
  EXPECT_EQ(std::u16string(wide), u"\"a\u4E00\U0001F600b\"");
  // A skipped character does not hide the hex digit that follows it.
  EXPECT_EQ(Quote("\x01\xE4\xB8\x80" "A", QUOTE_SRC_UTF8 | QUOTE_SHORT_HEX), "\"\\x01\"\"A\"");
}

TEST(StrQuoteEscape, KeepsEveryCutClosedAndReadable) {
  const std::string src("a\x01" "F\"\\b\x02" "c", 8);
  for (DWORD flags : {0u, QUOTE_SHORT_HEX, QUOTE_NO_QUOTES, QUOTE_SHORT_HEX | QUOTE_NO_QUOTES}) {
    const std::string full = Quote(src, flags);
    for (int size = 0; size <= static_cast<int>(full.size()) + 2; ++size) {
      std::unique_ptr<char[]> dst(new char[static_cast<size_t>(size > 0 ? size : 1)]);
      const int n = StrQuoteEscape(dst.get(), size, src.data(), static_cast<int>(src.size()), flags);
      ASSERT_LE(n, size > 0 ? size - 1 : 0) << size;
      if (size < 1) continue;
      ASSERT_EQ(dst[static_cast<size_t>(n)], '\0');
      char back[64];
      int used = -1;
      const DWORD mode = (flags & QUOTE_NO_QUOTES) ? UNQUOTE_NO_QUOTES : 0;
      const int k = StrUnquoteEscape(back, 64 | mode, dst.get(), &used);
      EXPECT_EQ(used, n) << "size " << size;
      EXPECT_EQ(std::string(back, static_cast<size_t>(k)), src.substr(0, static_cast<size_t>(k))) << size;
      // The room rules keep one character of slack for two-character escapes.
      if (size > static_cast<int>(full.size()) + 1) {
        EXPECT_EQ(k, static_cast<int>(src.size()));
      }
    }
  }
}

void AppendUtf8(std::string& s, unsigned cp) {
  if (cp < 0x80) {
    s.push_back(static_cast<char>(cp));
  } else {
    s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    s.push_back(static_cast<char>(0x80 | (cp & 63)));
  }
}

TEST(StrUnquoteEscape, ReadsBackEveryFlagSourceAndOutputEncoding) {
  std::mt19937 rng(6);
  const DWORD styles[] = {0, QUOTE_SHORT_HEX, QUOTE_HEX_QUOTES, QUOTE_HEX_CONTROLS};
  for (int round = 0; round < 300; ++round) {
    // Random bytes, with hex digits often right after control bytes.
    std::vector<unsigned> chars;
    for (int i = 0, n = static_cast<int>(rng() % 24); i < n; ++i) {
      const unsigned c = rng() % 256;
      chars.push_back(c);
      if (c < 32 && rng() % 2) chars.push_back(static_cast<unsigned>("0123456789abcdefABCDEF"[rng() % 22]));
    }
    std::string bytes, utf8;
    std::u16string units;
    for (unsigned c : chars) {
      bytes.push_back(static_cast<char>(c));
      AppendUtf8(utf8, c);
      units.push_back(static_cast<char16_t>(c));
    }
    for (DWORD a : styles) {
      for (DWORD b : styles) {
        for (DWORD noQuotes : {0u, QUOTE_NO_QUOTES}) {
          const DWORD style = a | b | noQuotes;
          const std::string text8 = Quote(bytes, style);
          ASSERT_EQ(Quote(utf8, style | QUOTE_SRC_UTF8), text8);
          char lit[4096];
          StrQuoteEscape(lit, 4096, units.data(), static_cast<int>(units.size() * 2), style | QUOTE_SRC_UTF16);
          ASSERT_EQ(std::string(lit), text8);
          char16_t wlit[4096];
          const int wn = StrQuoteEscapeW(wlit, 4096, bytes.data(), static_cast<int>(bytes.size()), style);
          ASSERT_EQ(wn, static_cast<int>(text8.size()));
          for (int i = 0; i < wn; ++i) ASSERT_EQ(wlit[i], static_cast<unsigned char>(text8[static_cast<size_t>(i)]));

          const DWORD mode = noQuotes ? UNQUOTE_NO_QUOTES : 0;
          int used = -1;
          char out8[256];
          const int n8 = StrUnquoteEscape(out8, 256 | mode, text8.c_str(), &used);
          ASSERT_EQ(std::string(out8, static_cast<size_t>(n8)), bytes) << text8;
          ASSERT_EQ(used, static_cast<int>(text8.size()));
          char16_t out16[256];
          const int n16 = StrUnquoteEscape(out16, 512 | mode | UNQUOTE_OUT_UTF16, text8.c_str(), &used);
          ASSERT_EQ(std::u16string(out16, static_cast<size_t>(n16 / 2)), units);
          char outU[512];
          const int nU = StrUnquoteEscape(outU, 512 | mode | UNQUOTE_OUT_UTF8, text8.c_str(), &used);
          ASSERT_EQ(std::string(outU, static_cast<size_t>(nU)), utf8);
          ASSERT_EQ(used, static_cast<int>(text8.size()));
        }
      }
    }
  }
}

TEST(StrUnquoteEscape, StopsBeforeWhatDoesNotFitAndTerminatesWhenRoomRemains) {
  char out[8];
  int used = -1;
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(StrUnquoteEscape(out, 3, "\"abcd\"", &used), 3);
  EXPECT_EQ(std::string(out, 4), "abc#") << "a full output is not terminated";
  EXPECT_EQ(used, 4);
  EXPECT_EQ(StrUnquoteEscape(out, 8, "\"ab\"\"c\"x", &used), 3) << "a quote after the closing one continues";
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(used, 7);
  EXPECT_EQ(StrUnquoteEscape(out, 8, "ab\"c", &used), 4) << "unquoted source";
  EXPECT_STREQ(out, "ab\"c");
  EXPECT_EQ(StrUnquoteEscape(out, 8 | UNQUOTE_NO_QUOTES, "\"q\\n", &used), 3);
  EXPECT_STREQ(out, "\"q\n");
  EXPECT_EQ(StrUnquoteEscape(out, 8, "\\q", &used), 2) << "an unknown escape is a backslash";
  EXPECT_STREQ(out, "\\q");
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(StrUnquoteEscape(out, 3 | UNQUOTE_OUT_UTF8, "\"a\xE9\xE9\"", &used), 3) << "no character is cut";
  EXPECT_EQ(std::string(out, 4), "a\xC3\xA9#");
  EXPECT_EQ(used, 3);
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(StrUnquoteEscape(out, 5 | UNQUOTE_OUT_UTF16, "\"xy\"", &used), 4) << "size 5 is 4 bytes of units";
  EXPECT_EQ(out[4], '#');
  EXPECT_EQ(StrUnquoteEscape(out, 0, "\"xy\"", &used), 0);
  EXPECT_EQ(used, 0);
}

}  // namespace
