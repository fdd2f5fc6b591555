#include "toolkit/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "peer_process.h"

namespace {

std::string RandomBytes(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

// Room for the encoding of n bytes with line breaks every lineLen characters.
size_t EncodedRoom(size_t n, int lineLen) {
  const size_t chars = (n + 2) / 3 * 4;
  return chars + (lineLen > 0 ? (chars + lineLen - 1) / lineLen : 0) + 1;
}

std::string Encode(const std::string& in, int lineLen) {
  std::vector<char> buf(EncodedRoom(in.size(), lineLen), '\x7F');
  const int n = Base64Encode(in.data(), static_cast<int>(in.size()), buf.data(), lineLen);
  EXPECT_GE(n, 0);
  EXPECT_EQ(buf[static_cast<size_t>(n)], '\0');
  return std::string(buf.data(), static_cast<size_t>(n));
}

std::u16string EncodeW(const std::string& in, int lineLen) {
  std::vector<char16_t> buf(EncodedRoom(in.size(), lineLen), u'\x7F');
  const int n = Base64EncodeW(in.data(), static_cast<int>(in.size()), buf.data(), lineLen);
  EXPECT_GE(n, 0);
  EXPECT_EQ(buf[static_cast<size_t>(n)], u'\0');
  return std::u16string(buf.data(), static_cast<size_t>(n));
}

std::string Decode(const std::string& text) {
  std::string out(text.size(), '\0');
  const int n = Base64Decode(out.data(), static_cast<int>(out.size()), text.data(), static_cast<int>(text.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w.push_back(c);
  return w;
}

// Encodes in random pieces of 0-7 bytes, then finishes.
std::string EncodeInPieces(const std::string& in, int lineLen, std::mt19937& rng) {
  std::string out;
  DWORD state = 0;
  std::vector<char> buf(64);
  size_t at = 0;
  while (at < in.size()) {
    const size_t piece = std::min<size_t>(rng() % 8, in.size() - at);
    buf.assign(EncodedRoom(piece + 2, lineLen) + 1, '\x7F');
    const int n = Base64EncodeStream(in.data() + at, static_cast<int>(piece), &state, buf.data(), lineLen);
    EXPECT_GE(n, 0);
    EXPECT_EQ(buf[static_cast<size_t>(n)], '\0');
    out.append(buf.data(), static_cast<size_t>(n));
    at += piece;
  }
  buf.assign(8, '\x7F');
  const int n = Base64EncodeStream(nullptr, 0, &state, buf.data(), lineLen);
  out.append(buf.data(), static_cast<size_t>(n));
  EXPECT_EQ(state, 0u);
  return out;
}

std::string DecodeInPieces(const std::string& text, std::mt19937& rng, DWORD* finalState) {
  std::string out;
  DWORD state = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t piece = std::min<size_t>(rng() % 8, text.size() - at);
    char buf[8];
    const int n = Base64DecodeStream(buf, sizeof buf, &state, text.data() + at, static_cast<int>(piece));
    EXPECT_GE(n, 0);
    out.append(buf, static_cast<size_t>(n));
    at += piece;
  }
  *finalState = state;
  return out;
}

const int kPeerLineLengths[] = {0, 76, 1, 2, 3, 5, 6, 7, 63, 77, 64, 4};

// Breaks an unbroken encoding into lines: a LF after every lineLen characters
// that count, where the padded last group counts only its characters before
// the padding (one per leftover byte); a LF ends the text.
std::string BreakLines(const std::string& flat, size_t inLen, int lineLen) {
  if (lineLen <= 0 || flat.empty()) return flat;
  const size_t uncounted = inLen % 3 ? 3 - inLen % 3 + 1 : 0;
  std::string out;
  int column = 0;
  for (size_t i = 0; i < flat.size() - uncounted; ++i) {
    out += flat[i];
    if (++column == lineLen) out += '\n', column = 0;
  }
  out += flat.substr(flat.size() - uncounted);
  if (out.back() != '\n') out += '\n';
  return out;
}

TEST(Base64Encode, MatchesCoreutilsForEveryLineLength) {
  std::mt19937 rng(1207);
  std::vector<std::string> inputs;
  for (size_t n = 0; n <= 12; ++n) inputs.push_back(RandomBytes(rng, n));
  for (int i = 0; i < 12; ++i) inputs.push_back(RandomBytes(rng, rng() % 301));
  inputs.push_back(RandomBytes(rng, 1 << 20));
  for (const auto& in : inputs) {
    for (int w : kPeerLineLengths) {
      bool ok = false;
      const std::string peerText = peer::Run("base64 -w " + std::to_string(w), in, &ok);
      ASSERT_TRUE(ok) << "coreutils base64 did not run";
      const std::string want = BreakLines(peer::Run("base64 -w 0", in), in.size(), w);
      // Lines of whole groups never split the padded group: coreutils agrees.
      if (w % 4 == 0) {
        ASSERT_EQ(want, peerText) << "size " << in.size() << " lineLen " << w;
      }
      const std::string got = Encode(in, w);
      ASSERT_EQ(got, want) << "size " << in.size() << " lineLen " << w;
      ASSERT_EQ(EncodeW(in, w), Widen(want)) << "size " << in.size() << " lineLen " << w;
      ASSERT_EQ(Decode(want), in);
      ASSERT_EQ(Decode(peerText), in);
    }
  }
}

TEST(Base64Decode, ReadsItsOwnAndPeerTextInAnyForm) {
  std::mt19937 rng(77);
  for (int round = 0; round < 40; ++round) {
    const std::string in = RandomBytes(rng, rng() % 301);
    const int w = kPeerLineLengths[rng() % 10];
    const std::string text = peer::Run("base64 -w " + std::to_string(w), in);
    ASSERT_EQ(Decode(text), in);
    const std::u16string wide = Widen(text);
    std::string out(text.size(), '\0');
    const int n = Base64DecodeW(out.data(), static_cast<int>(out.size()), wide.data(), static_cast<int>(wide.size()));
    ASSERT_EQ(out.substr(0, static_cast<size_t>(n)), in);
    DWORD state = 1;
    ASSERT_EQ(DecodeInPieces(text, rng, &state), in);
    EXPECT_EQ(state, 0u);
  }
}

TEST(Base64Decode, ReadsConcatenatedEncodingsAsCoreutilsDoes) {
  std::mt19937 rng(5);
  for (int round = 0; round < 20; ++round) {
    std::string text;
    for (int part = 0; part < 3; ++part) text += Encode(RandomBytes(rng, rng() % 10), part == 1 ? 4 : 0);
    bool ok = false;
    const std::string want = peer::Run("base64 -d", text, &ok);
    ASSERT_TRUE(ok) << text;
    EXPECT_EQ(Decode(text), want) << text;
  }
  EXPECT_EQ(Decode("YQ==YQ=="), "aa");
}

TEST(Base64Encode, WritesTheKnownVectors) {
  struct Case {
    const char* in;
    int lineLen;
    const char* out;
  } cases[] = {
      {"abc", 0, "YWJj"},         {"ab", 0, "YWI="},          {"a", 0, "YQ=="},
      {"", 0, ""},                {"", 4, ""},                {"abc", 4, "YWJj\n"},
      {"abcd", 6, "YWJjZA==\n"},  {"abcdef", 4, "YWJj\nZGVm\n"}, {"abcd", 3, "YWJ\njZA==\n"},
      // Only the characters before the padding count toward a line.
      {"a", 2, "YQ==\n"},         {"abcdefg", 10, "YWJjZGVmZw==\n"}, {"a", 1, "Y\nQ==\n"},
      {"ab", 2, "YW\nI=\n"},      {"ab", 3, "YWI=\n"},         {"abcd", 5, "YWJjZ\nA==\n"},
      {"abcde", 6, "YWJjZG\nU=\n"}, {"abcde", 7, "YWJjZGU=\n"},   {"abcdefg", 8, "YWJjZGVm\nZw==\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Encode(c.in, c.lineLen), c.out) << c.in << " " << c.lineLen;
}

TEST(Base64Decode, SkipsWhatIsNotInTheAlphabet) {
  EXPECT_EQ(Decode("YW\nJj"), "abc");
  EXPECT_EQ(Decode("Y W*J-j"), "abc");
  EXPECT_EQ(Decode(std::string("YW\0Jj", 5)), "a") << "the terminator ends the input";
  char out[4] = {9, 9, 9, 9};
  EXPECT_EQ(Base64Decode(out, 2, "YWJj", 4), 2);
  EXPECT_EQ(out[2], 9);
  EXPECT_EQ(Base64Decode(out, 0, "YWJj", 4), 0);
  EXPECT_EQ(Base64Decode(out, 4, "YWJj", 0), 0);
  // A wide character is never a digit by its low byte (U+0159 ends in 'Y').
  const char16_t wide[] = u"\u0159YWJj";
  EXPECT_EQ(Base64DecodeW(out, 4, wide, 5), 3);
  EXPECT_EQ(std::string(out, 3), "abc");
}

TEST(Base64EncodeStream, AnyChunkingGivesTheWholeText) {
  std::mt19937 rng(31);
  for (int lineLen : {0, 5, 76, 1, 4, 2, 3}) {
    for (int round = 0; round < 60; ++round) {
      const std::string in = RandomBytes(rng, rng() % 200);
      ASSERT_EQ(EncodeInPieces(in, lineLen, rng), Encode(in, lineLen)) << in.size() << " " << lineLen;
    }
  }
}

TEST(Base64EncodeStream, RefusesLinesBeyondItsStateAndForeignStates) {
  DWORD state = 0;
  char buf[16] = "unchanged";
  EXPECT_EQ(Base64EncodeStream("abc", 3, &state, buf, 2048), -1);
  EXPECT_STREQ(buf, "unchanged");
  EXPECT_EQ(state, 0u);
  EXPECT_EQ(Base64EncodeStream("abc", 3, &state, buf, 2047), 4);
  state = 0x30000000;  // three pending bytes cannot happen
  EXPECT_EQ(Base64EncodeStream("abc", 3, &state, buf, 0), -1);
  EXPECT_EQ(state, 0x30000000u);
  state = 0x00050000;  // column 5 of a 4-character line
  EXPECT_EQ(Base64EncodeStream("abc", 3, &state, buf, 4), -1);
}

TEST(Base64EncodeStream, KeepsPendingBytesAndTheColumnInItsState) {
  DWORD state = 0;
  char buf[32];
  EXPECT_EQ(Base64EncodeStream("ab", 2, &state, buf, 6), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(state, 0x20000000u | 'a' | ('b' << 8));
  EXPECT_EQ(Base64EncodeStream("cd", 2, &state, buf, 6), 4);
  EXPECT_STREQ(buf, "YWJj");
  EXPECT_EQ(state, 0x10000000u | (4u << 16) | 'd');
  EXPECT_EQ(Base64EncodeStream(nullptr, 0, &state, buf, 6), 5);
  EXPECT_STREQ(buf, "ZA==\n");
  EXPECT_EQ(state, 0u);
}

TEST(Base64DecodeStream, CarriesBitsAndDropsThemAtPadding) {
  DWORD state = 0;
  unsigned char out[8];
  EXPECT_EQ(Base64DecodeStream(out, 8, &state, "YW", 2), 1);
  EXPECT_EQ(out[0], 'a');
  EXPECT_EQ(state, 0x40000000u | 0x6);  // "W" leaves 0110 pending
  EXPECT_EQ(Base64DecodeStream(out, 8, &state, "", 0), 0);
  EXPECT_EQ(state, 0x40000006u) << "written back unchanged";
  EXPECT_EQ(Base64DecodeStream(out, 8, &state, "=", 1), 0);
  EXPECT_EQ(state, 0u);
  state = 0x30000000;  // an odd number of bits cannot happen
  EXPECT_EQ(Base64DecodeStream(out, 8, &state, "YW", 2), -1);
}

TEST(Base64DecodeStream, EqualsTheWholeDecoderOnRandomText) {
  std::mt19937 rng(99);
  const std::string alphabet = "ABCxyz019+/=\n -";
  for (int round = 0; round < 200; ++round) {
    std::string text(rng() % 40, ' ');
    for (auto& c : text) c = alphabet[rng() % alphabet.size()];
    DWORD state = 0;
    EXPECT_EQ(DecodeInPieces(text, rng, &state), Decode(text)) << text;
  }
}

// Whole buffers go through the block loops; pieces of at most 7 bytes or
// characters take the byte-at-a-time path. Both must agree on long inputs,
// including text where junk, padding and the terminator fall inside blocks.
TEST(Base64, BlockLoopsAgreeWithThePieceByPiecePathOnLongInputs) {
  std::mt19937 rng(404);
  for (int round = 0; round < 40; ++round) {
    const std::string in = RandomBytes(rng, 100 + rng() % 3000);
    const int lineLen = round % 3 == 0 ? 0 : round % 3 == 1 ? 76 : 64;
    const std::string whole = Encode(in, lineLen);
    ASSERT_EQ(EncodeInPieces(in, lineLen, rng), whole);
    std::string text = whole;
    for (int k = 0; k < round % 5; ++k) text[rng() % text.size()] = "=\n -*\x80"[rng() % 6];
    DWORD state = 0;
    ASSERT_EQ(DecodeInPieces(text, rng, &state), Decode(text)) << round;
    if (round % 4 == 0) {
      text[rng() % text.size()] = '\0';
      ASSERT_EQ(DecodeInPieces(text.substr(0, text.find('\0')), rng, &state), Decode(text));
    }
  }
}

}  // namespace
