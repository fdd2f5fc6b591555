#include "toolkit/hextext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "peer_process.h"

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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Our dump of data, perLine bytes a line, as lines without their trailing
// blanks (the peers do not pad the text column of the last line).
std::vector<std::string> OurDump(const std::string& data, int perLine, DWORD flags, bool wideToo) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < data.size(); at += static_cast<size_t>(perLine)) {
    char buf[256];
    const int avail = static_cast<int>(data.size() - at);
    const int n = HexDumpLine(buf, at, data.data() + at, avail, perLine, flags);
    std::string line(buf, static_cast<size_t>(n));
    if (wideToo) {
      char16_t wide[256];
      const int nw = HexDumpLineW(wide, at, data.data() + at, avail, perLine, flags);
      EXPECT_EQ(std::u16string(wide, static_cast<size_t>(nw)), std::u16string(line.begin(), line.end()));
    }
    line.erase(line.find_last_not_of(' ') + 1);
    lines.push_back(line);
  }
  return lines;
}

// Printable ASCII only: both peers show every other byte as '.', we only the
// controls.
std::string PrintableBytes(std::mt19937& rng, size_t n) {
  std::string s(n, ' ');
  for (auto& c : s) c = static_cast<char>(0x20 + rng() % 95);
  return s;
}

TEST(HexDumpLine, MatchesXxdWhereTheLayoutsMeet) {
  // xxd -u: "offset: " where we write "OFFSET " (8 hex digits, blank after
  // it), groups of blank-separated bytes, one more blank, the text.
  struct Layout {
    const char* args;
    int perLine;
    DWORD group;  // bits 25-26
    bool reversed;
  } layouts[] = {
      {"-g1 -c16", 16, 0, false},   {"-g2 -c8", 8, 1u << 25, false},  {"-g2 -c16", 16, 1u << 25, false},
      {"-g4 -c16", 16, 2u << 25, false}, {"-g8 -c16", 16, 3u << 25, false}, {"-e -g4 -c16", 16, 2u << 25, true},
      {"-e -g2 -c8", 8, 1u << 25, true},
  };
  std::mt19937 rng(128);
  for (const auto& l : layouts) {
    for (size_t size : {1, 7, 8, 15, 16, 17, 40, 100, 300}) {
      // xxd -e right-aligns a short last group; we write it as its bytes.
      if (l.reversed && size % 4 != 0) size += 4 - size % 4;
      const std::string data = PrintableBytes(rng, size);
      bool ok = false;
      const std::string peerText = peer::Run(std::string("xxd -u ") + l.args, data, &ok);
      ASSERT_TRUE(ok) << "xxd could not be run";
      std::vector<std::string> want = Lines(peerText);
      for (auto& line : want) {
        ASSERT_GT(line.size(), 9u);
        ASSERT_EQ(line[8], ':');
        line.erase(8, 1);
        // xxd writes the offset in small letters even with -u.
        for (size_t k = 0; k < 8; ++k) line[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[k])));
        line.erase(line.find_last_not_of(' ') + 1);
      }
      const DWORD flags = (8u << 8) | 0x2000 | 0x01000000 | (1u << 20) | l.group | (l.reversed ? 0x40 : 0);
      SCOPED_TRACE(std::string("xxd ") + l.args + ", " + std::to_string(size) + " bytes");
      EXPECT_EQ(OurDump(data, l.perLine, flags, true), want);
    }
  }
}

TEST(HexDumpLine, MatchesHexdumpCanonicalLayout) {
  // hexdump -C -v: "offset  " then two blocks of 8 blank-separated bytes with
  // one more blank between and after them, then "|text|"; in lower case.
  std::mt19937 rng(129);
  const DWORD flags = (8u << 8) | 0x2000 | (1u << 16) | 0x01000000 | 8;
  for (size_t size : {1, 8, 9, 16, 31, 64, 250}) {
    const std::string data = PrintableBytes(rng, size);
    bool ok = false;
    std::vector<std::string> want = Lines(peer::Run("hexdump -C -v", data, &ok));
    ASSERT_TRUE(ok) << "hexdump could not be run";
    ASSERT_FALSE(want.empty());
    want.pop_back();  // the closing line holds the total length alone
    for (auto& line : want) {
      ASSERT_GE(line.size(), 62u);
      ASSERT_EQ(line[60], '|');
      ASSERT_EQ(line.back(), '|');
      std::string hex = line.substr(0, 60);
      for (auto& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      line = hex + line.substr(61, line.size() - 62);
      line.erase(line.find_last_not_of(' ') + 1);
    }
    SCOPED_TRACE(std::to_string(size) + " bytes");
    EXPECT_EQ(OurDump(data, 16, flags, false), want);
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
