#include "toolkit/hextext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const std::string& bytes, DWORD flags) {
  std::vector<char> buf(bytes.size() * 4 + 8, '\x7F');
  const int n = HexEncode(bytes.data(), buf.data(), static_cast<int>(bytes.size()), flags);
  return std::string(buf.data(), static_cast<size_t>(n));
}

TEST(HexEncode, WritesGroupsSeparatorsAndBlocks) {
  const std::string b4("\x01\x02\x03\x04", 4);
  const std::string b10("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09", 10);
  struct Case {
    std::string bytes;
    DWORD flags;
    const char* text;
  } cases[] = {
      {b4, 0x3A00, "01:02:03:04:"},
      {b4, 0x3A00 | HEX_NO_LAST_SEP, "01:02:03:04"},
      {b4, 0x2000 | (1u << HEX_GROUP_SHIFT) | HEX_REVERSED, "0201 0403 "},
      {b4, 0, "01020304"},
      {b4, HEX_REVERSED, "04030201"},
      {b4, HEX_LEADING_COLON, ":01020304"},
      {b4, 2, "0102 0304 "},
      {b10, 0x2004, "00 01 02 03  04 05 06 07  08 09 "},
      {b10, 0x3A04, "00:01:02:03: 04:05:06:07: 08:09:"},
      {b10, 0x3A04 | HEX_BLANK_AT_BLOCK, "00:01:02:03  04:05:06:07  08:09:"},
      {b10.substr(0, 8), 0x3A04 | HEX_BLANK_AT_BLOCK, "00:01:02:03  04:05:06:07  "},
      {b10.substr(0, 8), 0x3A04 | HEX_BLANK_AT_BLOCK | HEX_NO_LAST_SEP, "00:01:02:03  04:05:06:07 "},
      // A short last group is reversed within its own bytes.
      {b10, 0x2D00 | (2u << HEX_GROUP_SHIFT) | HEX_REVERSED, "03020100-07060504-0908"},
      {std::string("\xAB\xCD", 2), 0x2C00 | (3u << HEX_GROUP_SHIFT), "ABCD"},
      {"", 0x3A01 | HEX_LEADING_COLON, ":"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(c.bytes, c.flags), c.text) << std::hex << c.flags;
}

TEST(HexEncode, TerminatesOnlyWhenAsked) {
  char buf[8] = "xxxxxxx";
  EXPECT_EQ(HexEncode("\x5A", buf, 1, 0), 2);
  EXPECT_EQ(std::string(buf, 3), "5Ax");
  EXPECT_EQ(HexEncode("\x5A", buf, 1, HEX_TERMINATE), 2);
  EXPECT_STREQ(buf, "5A");
  char16_t wide[4] = {};
  EXPECT_EQ(HexEncodeW("\xE9", wide, 1, HEX_TERMINATE), 2);
  EXPECT_EQ(std::u16string(wide), u"E9");
}

// Length of HexEncode's text counted from its layout rules: two digits a
// byte, a separator at each inner group end, a blank at each inner block end,
// and the trailing separator and blank of a full last group and block.
int ExpectedLength(int count, int block, int group, DWORD flags) {
  int n = (flags & HEX_LEADING_COLON) ? 1 : 0;
  if (count == 0) return n;
  n += 2 * count;
  for (int i = 1; i < count; ++i) n += (group && i % group == 0) + (block && i % block == 0);
  n += group && count % group == 0 && !(flags & HEX_NO_LAST_SEP);
  n += block && count % block == 0;
  return n;
}

TEST(HexEncode, ReadsBackThroughHexToBytesUnderEveryLayout) {
  struct Sep {
    char ch;
    DWORD readFlag;
  } seps[] = {{0, 0}, {':', HEXBYTES_SEP_COLON}, {'-', HEXBYTES_SEP_MINUS}, {'.', HEXBYTES_SEP_DOT},
              {',', HEXBYTES_SEP_COMMA}, {' ', 0}};
  std::string bytes;
  for (int i = 0; i < 17; ++i) bytes.push_back(static_cast<char>(0x3C + 37 * i));
  for (int count = 0; count <= 17; ++count) {
    for (const auto& sep : seps) {
      for (int g = 0; g < 4; ++g) {
        for (int block : {0, 1, 3, 4, 8}) {
          for (DWORD high = 0; high < 32; ++high) {
            const DWORD flags = static_cast<DWORD>(block) | DWORD(static_cast<unsigned char>(sep.ch)) << 8 |
                                DWORD(g) << HEX_GROUP_SHIFT | high << 27;
            const int group = sep.ch ? 1 << g : 0;
            const bool term = (flags & HEX_TERMINATE) != 0;
            const int len = ExpectedLength(count, block, group, flags);
            std::vector<char> out(static_cast<size_t>(len + (term ? 1 : 0)));
            ASSERT_EQ(HexEncode(bytes.data(), out.data(), count, flags), len) << std::hex << flags << " " << count;
            if (term) {
              ASSERT_EQ(out.back(), '\0');
            }
            std::string text(out.data(), static_cast<size_t>(len));
            // Expected bytes: each group (or the whole count) in reverse with bit 30.
            std::string want = bytes.substr(0, static_cast<size_t>(count));
            if (flags & HEX_REVERSED) {
              const int span = group ? group : (count ? count : 1);
              for (int s = 0; s < count; s += span) {
                std::reverse(want.begin() + s, want.begin() + std::min(count, s + span));
              }
            }
            std::vector<char> back(static_cast<size_t>(count) + 1, '\x55');
            int used = -1;
            const int n = HexToBytes(back.data(), static_cast<DWORD>(count + 1) | sep.readFlag, text.c_str(), &used);
            ASSERT_EQ(n, count) << text;
            EXPECT_EQ(used, len) << text;
            EXPECT_EQ(std::string(back.data(), static_cast<size_t>(count)), want) << text;
          }
        }
      }
    }
  }
}

TEST(HexDecode, ReadsMaskedPatterns) {
  struct Case {
    const char* text;
    int maxCount;
    std::vector<int> values, masks;
    int used;
  } cases[] = {
      {"4?", 8, {0x40}, {0xF0}, 2},
      {"#1010?1?0", 8, {0xA4}, {0xF5}, 9},
      {"A B", 8, {0x0A, 0x0B}, {0x0F, 0xFF}, 3},
      {" :12 34  ", 8, {0x12, 0x34}, {0xFF, 0xFF}, 9},
      {"??", 8, {0}, {0}, 2},
      {"1234", 1, {0x12}, {0xFF}, 2},
      {"12 34", 1, {0x12}, {0xFF}, 3},
      {"4:1 5", 8, {0x09, 0x05}, {0x1F, 0xFF}, 5},
      {"#101", 8, {0x05}, {0xFF}, 4},
      {"#101 F", 8, {0x05, 0x0F}, {0x07, 0xFF}, 6},
      {"12 x", 8, {0x12}, {0xFF}, 3},
      {"\"a?\" 41", 8, {}, {}, 0},
      {"\"a?\" 41", 8 | static_cast<int>(HEX_ALLOW_QUOTED), {'a', 0, 0x41}, {0xFF, 0, 0xFF}, 7},
      {"3\"b", 8 | static_cast<int>(HEX_ALLOW_QUOTED), {0x03, 'b'}, {0x0F, 0xFF}, 3},
      {"12", 0, {}, {}, 0},
  };
  for (const auto& c : cases) {
    BYTE values[8] = {}, masks[8] = {};
    int used = -1;
    const int n = HexDecode(values, masks, c.maxCount, c.text, &used);
    ASSERT_EQ(n, static_cast<int>(c.values.size())) << c.text;
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(values[i], c.values[i]) << c.text << " byte " << i;
      EXPECT_EQ(masks[i], c.masks[i]) << c.text << " byte " << i;
    }
    EXPECT_EQ(used, c.used) << c.text;
  }
}

TEST(HexDecode, WideTextReadsAlikeAndNoWideCharacterIsADigit) {
  BYTE values[4] = {}, masks[4] = {};
  int used = 0;
  EXPECT_EQ(HexDecodeW(values, masks, 4, u"#1010?1?0", &used), 1);
  EXPECT_EQ(values[0], 0xA4);
  EXPECT_EQ(masks[0], 0xF5);
  EXPECT_EQ(HexDecodeW(values, masks, 4, u"1\u0141", &used), 1) << "U+0141 ends in 'A'";
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(used, 1);
}

TEST(HexToBytes, ReadsSeparatorsQuotesAndFill) {
  struct Case {
    const char* text;
    DWORD flags;
    std::string bytes;
    int used;
  } cases[] = {
      {"A B", 8, "\x0A\x0B", 3},
      {"1:2", 8, "\x01", 1},
      {"1:2", 8 | HEXBYTES_SEP_COLON, "\x01\x02", 3},
      {" :0a-0B ", 8 | HEXBYTES_SEP_MINUS, "\x0A\x0B", 8},
      {":01", 8 | HEXBYTES_NO_COLON, "", 0},
      {"01,,02", 8 | HEXBYTES_SEP_COMMA, "\x01", 3},
      {"01 . 02.", 8 | HEXBYTES_SEP_DOT, "\x01\x02", 8},
      {"\"hi\"21", 8 | HEX_ALLOW_QUOTED, "hi!", 6},
      {"\"hi\"21", 8, "", 0},
      {"123456", 2, "\x12\x34", 4},
      {"1g", 8, "\x01", 1},
  };
  for (const auto& c : cases) {
    char out[8] = {};
    int used = -1;
    const int n = HexToBytes(out, c.flags, c.text, &used);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), c.bytes) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
  }
  unsigned char out[6] = {};
  EXPECT_EQ(HexToBytes(out, 5 | HEXBYTES_FILL | (0xEEu << HEXBYTES_FILL_SHIFT), "AB", nullptr), 1);
  const unsigned char filled[6] = {0xAB, 0xEE, 0xEE, 0xEE, 0xEE, 0};
  EXPECT_EQ(std::memcmp(out, filled, 6), 0);
  EXPECT_EQ(HexToBytesW(out, 4, u"\uFF11 12", nullptr), 0) << "a fullwidth digit is no hex digit";
  EXPECT_EQ(HexToBytesW(out, 4, u"FE 12", nullptr), 2);
  EXPECT_EQ(out[0], 0xFE);
}

TEST(HexDumpLine, LinesUpShortLines) {
  struct Case {
    uint64_t offset;
    std::string data;
    int perLine;
    DWORD flags;
    const char* line;
  } cases[] = {
      {0x10, "AB\x01", 4, 0x01102400, "0010 41 42 01     AB. "},
      {0x10, "ABCD", 4, 0x01102400, "0010 41 42 43 44  ABCD"},
      {0x1F, "AB", 4, 0x480 | 0x1000 | 0x4000, "001Fh\t4142    "},
      {255, "", 2, 0x08000200 | 0x2000, "FF (255)       "},
      {0, "abcdefghij", 8, 0x01000004 | 0x00010000, " 61 62 63 64  65 66 67 68  abcdefgh"},
      {0, "\x01\x02\x03", 4, 0x01000000 | (1u << 25) | 0x40 | 0x4000, "0201 03   "},
      {0, "x", 2, 0x00118000 | 0x4000, "\t78  \t"},
  };
  for (const auto& c : cases) {
    char buf[128];
    const int n = HexDumpLine(buf, c.offset, c.data.data(), static_cast<int>(c.data.size()), c.perLine, c.flags);
    EXPECT_EQ(std::string(buf), c.line) << std::hex << c.flags;
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.line)));
    char16_t wide[128];
    HexDumpLineW(wide, c.offset, c.data.data(), static_cast<int>(c.data.size()), c.perLine, c.flags);
    std::u16string want;
    for (const char* p = c.line; *p; ++p) want.push_back(static_cast<unsigned char>(*p));
    EXPECT_EQ(std::u16string(wide), want);
  }
}

TEST(MemCompareMasked, ComparesOnlyMaskedBits) {
  const unsigned char a[] = {0x12, 0x80, 0x05};
  const unsigned char b[] = {0x1F, 0x81, 0x09};
  const unsigned char m1[] = {0xF0, 0xFE, 0xFF};
  const unsigned char m2[] = {0xF0, 0xFF, 0xFF};
  EXPECT_EQ(MemCompareMasked(a, b, m1, 2), 0);
  EXPECT_EQ(MemCompareMasked(a, b, m1, 3), 0x05 - 0x09);
  EXPECT_EQ(MemCompareMasked(a, b, m2, 3), 0x80 - 0x81);
  EXPECT_EQ(MemCompareMasked(b, a, m2, 3), 1);
  EXPECT_EQ(MemCompareMasked(a, b, m2, 0), 0);
  EXPECT_EQ(MemCompareMasked(a, b, m2, -4), 0);
}

}  // namespace
