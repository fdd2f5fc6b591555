// Readers of Base64 and of counted text must stop at the terminator or at the
// count, whichever comes first, however far the other one reaches: every text
// here ends at a page that cannot be read.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "guard_page.h"
#include "toolkit/base64.h"
#include "toolkit/substring.h"

namespace {

using zelvaro_test::GuardedText;

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w.push_back(c);
  return w;
}

// Base64 text of n random bytes, with a line break every lineLen characters.
std::string RandomBase64(std::mt19937& rng, size_t n, int lineLen) {
  std::string bytes(n, '\0');
  for (auto& c : bytes) c = static_cast<char>(rng() & 0xFF);
  std::vector<char> buf((n + 2) / 3 * 4 * 2 + 8);
  const int len = Base64Encode(bytes.data(), static_cast<int>(n), buf.data(), lineLen);
  return std::string(buf.data(), static_cast<size_t>(len));
}

TEST(Base64Decode, StopsAtTheTerminatorWhateverTheCountSays) {
  std::mt19937 rng(12);
  for (size_t n = 0; n <= 90; ++n) {
    for (int lineLen : {0, 5, 76}) {
      const std::string text = RandomBase64(rng, n, lineLen);
      SCOPED_TRACE("text \"" + text + "\"");
      const int len = static_cast<int>(text.size());
      std::vector<uint8_t> want(text.size() + 1), got(text.size() + 1);
      const int wantN = Base64Decode(want.data(), static_cast<int>(want.size()), text.data(), len);
      want.resize(static_cast<size_t>(wantN));
      const GuardedText<char> narrow(text, true);
      const GuardedText<char16_t> wide(Widen(text), true);
      for (int srcLen : {len + 1, len + 4, len + 33, len + 1000}) {
        std::fill(got.begin(), got.end(), 0);
        int k = Base64Decode(got.data(), static_cast<int>(got.size()), narrow.get(), srcLen);
        EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + k), want) << "srcLen " << srcLen;
        k = Base64DecodeW(got.data(), static_cast<int>(got.size()), wide.get(), srcLen);
        EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + k), want) << "W, srcLen " << srcLen;
        DWORD state = 0;
        k = Base64DecodeStream(got.data(), static_cast<int>(got.size()), &state, narrow.get(), srcLen);
        EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + k), want) << "stream, srcLen " << srcLen;
        state = 0;
        k = Base64DecodeStreamW(got.data(), static_cast<int>(got.size()), &state, wide.get(), srcLen);
        EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + k), want) << "stream W, srcLen " << srcLen;
      }
      // Unterminated text read exactly to its count.
      const GuardedText<char> bare(text, false);
      const GuardedText<char16_t> bareWide(Widen(text), false);
      int k = Base64Decode(got.data(), static_cast<int>(got.size()), bare.get(), len);
      EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + k), want);
      k = Base64DecodeW(got.data(), static_cast<int>(got.size()), bareWide.get(), len);
      EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + k), want);
    }
  }
}

// std::string's find over the first textLen characters, the key fitting whole.
int Expected(const std::string& text, const std::string& key) {
  const size_t at = text.find(key);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

TEST(StrFindStrLenN, ReadsNoCharacterPastTheCountAtAnyTextLength) {
  // Texts of every length around the vector block sizes, with the key
  // nowhere, at the very end, and straddling the last block.
  std::mt19937 rng(7);
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 200; ++n) lengths.push_back(n);
  for (size_t n : {255, 256, 257, 319, 320, 321, 383, 511, 512, 513, 1000, 4099}) lengths.push_back(n);
  for (size_t m = 1; m <= 9; ++m) {
    const std::string key = std::string(m - 1, 'a') + 'b';
    for (size_t n : lengths) {
      std::string text(n, 'a');
      for (auto& c : text) c = "ac"[rng() & 1];
      for (int place = 0; place < 3; ++place) {
        std::string t = text;
        if (place == 1 && n >= m) t.replace(n - m, m, key);
        if (place == 2 && n >= m + 20) t.replace(n - m - 20, m, key);
        SCOPED_TRACE("m " + std::to_string(m) + " n " + std::to_string(n) + " place " + std::to_string(place));
        const int want = n == 0 ? -1 : Expected(t, key);
        const GuardedText<char> g(t, false);
        const GuardedText<char16_t> gw(Widen(t), false);
        const std::u16string wkey = Widen(key);
        const int len = static_cast<int>(n), klen = static_cast<int>(m);
        EXPECT_EQ(StrFindStrLenN(g.get(), key.c_str(), len, klen), want);
        EXPECT_EQ(StrFindStrN(g.get(), key.c_str(), len), want);
        EXPECT_EQ(StrFindStrLenNoCaseN(g.get(), key.c_str(), len, klen), want);
        EXPECT_EQ(StrFindStrLenNW(gw.get(), wkey.c_str(), len, klen), want);
        EXPECT_EQ(StrFindStrLenNoCaseNW(gw.get(), wkey.c_str(), len, klen), want);
      }
    }
  }
}

// A text that starts right after an unreadable page (terminated) and one
// that ends at one (unterminated), narrow and wide.
template <class Ch>
struct EdgeTexts {
  explicit EdgeTexts(const std::basic_string<Ch>& t)
      : front((t.size() + 1) * sizeof(Ch), zelvaro_test::GuardedBuffer::Guard::kBefore), back(t, false) {
    std::memcpy(front.data(), t.c_str(), (t.size() + 1) * sizeof(Ch));
  }
  const Ch* atStart() const { return front.as<Ch>(); }
  const Ch* atEnd() const { return back.get(); }
  zelvaro_test::GuardedBuffer front;
  GuardedText<Ch> back;
};

TEST(StrFindKeyValue, ReadsNothingBeforeTheTextNorPastTheCount) {
  const DWORD all = KEYVALUE_QUOTED_KEY | KEYVALUE_WHOLE_WORD | KEYVALUE_SKIP_NEWLINES;
  const struct {
    const char* text;
    const char* key;
    int want;        // without KEYVALUE_QUOTED_KEY
    int wantQuoted;  // with it
  } cases[] = {
      {"name=1", "name", 5, 5},          {"name\"=1", "name", -1, -1},   {"\"name\" =1", "name", -1, 8},
      {"name", "name", -1, -1},          {"name \n", "name", -1, -1},    {"x name\"", "name", -1, -1},
      {"name=", "name", 5, 5},           {"=", "=", -1, -1},              {"\"name\"", "name", -1, -1},
  };
  for (const auto& c : cases) {
    const std::string text = c.text;
    const EdgeTexts<char> narrow(text);
    const EdgeTexts<char16_t> wide(Widen(text));
    const std::u16string wkey = Widen(c.key);
    const int len = static_cast<int>(text.size());
    for (DWORD flags = 0; flags <= all; ++flags) {
      SCOPED_TRACE(std::string("text \"") + c.text + "\" flags " + std::to_string(flags));
      const int want = (flags & KEYVALUE_QUOTED_KEY) ? c.wantQuoted : c.want;
      EXPECT_EQ(StrFindKeyValue(narrow.atStart(), flags, c.key, '=', -1), want);
      EXPECT_EQ(StrFindKeyValueNoCase(narrow.atStart(), flags, c.key, '=', -1), want);
      EXPECT_EQ(StrFindKeyValueW(wide.atStart(), flags, wkey.c_str(), u'=', -1), want);
      EXPECT_EQ(StrFindKeyValueNoCaseW(wide.atStart(), flags, wkey.c_str(), u'=', -1), want);
      EXPECT_EQ(StrFindKeyValueN(narrow.atEnd(), flags, c.key, '=', len, -1), want);
      EXPECT_EQ(StrFindKeyValueNoCaseN(narrow.atEnd(), flags, c.key, '=', len, -1), want);
      EXPECT_EQ(StrFindKeyValueNW(wide.atEnd(), flags, wkey.c_str(), u'=', len, -1), want);
      EXPECT_EQ(StrFindKeyValueNoCaseNW(wide.atEnd(), flags, wkey.c_str(), u'=', len, -1), want);
    }
  }
}

}  // namespace
