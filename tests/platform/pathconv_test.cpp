#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>

#include "platform/pathconv.h"

namespace {

struct Case {
  std::u16string in;
  std::string utf8;  // hand-encoded UTF-8
};

TEST(PathToUtf8, EncodesEveryLengthClassAndSurrogatePairs) {
  const Case cases[] = {
      {u"", ""},
      {u"plain/name.txt", "plain/name.txt"},
      {u"\u007F", "\x7F"},
      {u"\u0080", "\xC2\x80"},
      {u"\u00E4", "\xC3\xA4"},
      {u"\u07FF", "\xDF\xBF"},
      {u"\u0800", "\xE0\xA0\x80"},
      {u"\u4E2D\u6587", "\xE4\xB8\xAD\xE6\x96\x87"},
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {u"\U00010000", "\xF0\x90\x80\x80"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : cases) {
    std::string out = "junk";
    EXPECT_TRUE(PathToUtf8(c.in.c_str(), out));
    EXPECT_EQ(out, c.utf8);
  }
}

TEST(PathToUtf8, RefusesLoneSurrogates) {
  const char16_t lone[][4] = {
      {0xD800, 0}, {0xDC00, 0}, {u'a', 0xD83D, u'b', 0}, {0xDE00, 0xD83D, 0}, {0xD83D, 0xD83D, 0xDE00, 0},
  };
  for (const auto& text : lone) {
    std::string out = "junk";
    EXPECT_FALSE(PathToUtf8(text, out));
    EXPECT_EQ(out, "");
  }
  std::string out;
  EXPECT_FALSE(PathToUtf8(nullptr, out));
}

TEST(PathToUtf8, AgreesWithIconvOnRandomText) {
  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  ASSERT_NE(cd, iconv_t(-1));
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    int n = 1 + int(rng() % 40);
    for (int i = 0; i < n; ++i) {
      uint32_t c = rng() % 0x110000;
      if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) c = 0x41;
      if (c >= 0x10000) {
        c -= 0x10000;
        text += char16_t(0xD800 + (c >> 10));
        text += char16_t(0xDC00 + (c & 0x3FF));
      } else {
        text += char16_t(c);
      }
    }
    std::string le;
    for (char16_t u : text) le += {char(u & 0xFF), char(u >> 8)};
    char out[1024];
    char* in = le.data();
    size_t inLeft = le.size(), outLeft = sizeof out;
    char* at = out;
    ASSERT_NE(iconv(cd, &in, &inLeft, &at, &outLeft), size_t(-1));
    std::string mine;
    ASSERT_TRUE(PathToUtf8(text.c_str(), mine));
    EXPECT_EQ(mine, std::string(out, at));
  }
  iconv_close(cd);
}

}  // namespace
