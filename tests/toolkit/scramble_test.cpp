#include "toolkit/scramble.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

const int kThresholds[] = {-1, 0, 1, 32, 128, 254, 255, 256, 300};

TEST(TextScramble, RoundTripsAndKeepsLowCharactersForEveryThreshold) {
  std::mt19937 rng(1);
  std::vector<DWORD> keys = {0, 0xFFFFFFFF};
  for (int i = 0; i < 1000; ++i) keys.push_back(DWORD(rng()));
  for (int t : kThresholds) {
    const int eff = t < 1 ? 1 : t;
    for (DWORD key : keys) {
      std::string text(37, '\0');
      for (auto& c : text) c = char(rng() % 256);
      std::string s = text;
      ASSERT_EQ(TextScramble(s.data(), key, int(s.size()), t), int(s.size()));
      for (size_t i = 0; i < s.size(); ++i) {
        const int before = uint8_t(text[i]), after = uint8_t(s[i]);
        if (before < eff) {
          ASSERT_EQ(after, before);
        } else {
          ASSERT_GE(after, eff);
        }
      }
      if (key == 0 || t >= 255) {
        ASSERT_EQ(s, text);
      }
      ASSERT_EQ(TextUnscramble(s.data(), key, int(s.size()), t), int(s.size()));
      ASSERT_EQ(s, text) << t << " " << key;

      // The wide twin does the same to widened text and leaves characters
      // above 255 (surrogates among them) alone.
      std::u16string w(text.size(), u'\0');
      for (size_t i = 0; i < text.size(); ++i) w[i] = char16_t(uint8_t(text[i]));
      w[3] = 0x4E00;
      w[5] = 0xD800;
      w[6] = 0xDFFF;
      w[9] = 0x100;
      std::string narrow = text;
      TextScramble(narrow.data(), key, int(narrow.size()), t);
      std::u16string ws = w;
      ASSERT_EQ(TextScrambleW(ws.data(), key, int(ws.size()), t), int(ws.size()));
      for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] > 255) {
          ASSERT_EQ(ws[i], w[i]);
        } else {
          ASSERT_EQ(ws[i], char16_t(uint8_t(narrow[i])));
        }
      }
      ASSERT_EQ(TextUnscrambleW(ws.data(), key, int(ws.size()), t), int(ws.size()));
      ASSERT_EQ(ws, w);
    }
  }
}

TEST(TextScramble, PrintableTextStaysPrintableAboveThirtyTwo) {
  std::string text;
  for (int c = 32; c < 256; ++c)
    if (c != 127) text += char(c);
  std::string s = text;
  TextScramble(s.data(), 0xFFFEFDFC, -1, 32);
  EXPECT_EQ(s.size(), text.size());
  for (char c : s) EXPECT_GE(uint8_t(c), 32);
  EXPECT_EQ(TextUnscramble(s.data(), 0xFFFEFDFC, -1, 32), int(text.size()));
  EXPECT_EQ(s, text);
}

TEST(TextScramble, ShiftsByKeyBytesInTurn) {
  // Threshold 1: values 1..255 rotate with period 255. Key bytes 1, 2, 3, 0xFF
  // (clamped to 253).
  char s[] = {'\x01', '\x01', '\xFE', '\x05', '\x00', '\x03'};
  EXPECT_EQ(TextScramble(s, 0xFF030201, 6, 1), 6);
  EXPECT_EQ(uint8_t(s[0]), 2);
  EXPECT_EQ(uint8_t(s[1]), 3);
  EXPECT_EQ(uint8_t(s[2]), 0xFE + 3 - 255);
  EXPECT_EQ(uint8_t(s[3]), 5 + 253 - 255);
  EXPECT_EQ(uint8_t(s[4]), 0);
  EXPECT_EQ(uint8_t(s[5]), 3 + 2);
  char empty[] = "";
  EXPECT_EQ(TextScramble(empty, 0x01010101, -1, 1), 0);
  char abc[] = "abc";
  EXPECT_EQ(TextScramble(abc, 0x01010101, 0, 1), 0);
  EXPECT_STREQ(abc, "abc");
  EXPECT_EQ(TextScramble(abc, 0x01010101, -1, 255), 3);
  EXPECT_STREQ(abc, "abc");
  EXPECT_EQ(TextScramble(abc, 0x01010101, -1, 1), 3);
  EXPECT_STREQ(abc, "bcd");
}

}  // namespace
