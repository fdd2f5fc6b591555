#include "toolkit/strcase.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <random>
#include <string>

namespace {

std::string Convert(const std::string& src, DWORD flags) {
  std::string dst(src.size() + 1, '\x7F');
  StrCaseConvert(dst.data(), src.c_str(), flags);
  EXPECT_EQ(dst.back(), '\0');
  dst.pop_back();
  return dst;
}

std::u16string ConvertW(const std::u16string& src, DWORD flags) {
  std::u16string dst(src.size() + 1, u'\x7F');
  StrCaseConvertW(dst.data(), src.c_str(), flags);
  EXPECT_EQ(dst.back(), u'\0');
  dst.pop_back();
  return dst;
}

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (char c : s) w += char16_t(static_cast<unsigned char>(c));
  return w;
}

std::string RandomAscii(std::mt19937& rng, size_t len) {
  std::string s(len, ' ');
  for (auto& c : s) c = char(1 + rng() % 127);
  return s;
}

TEST(StrCaseConvert, UpperAndLowerMatchCLocaleOnAscii) {
  std::mt19937 rng(4);
  for (int round = 0; round < 500; ++round) {
    const std::string text = RandomAscii(rng, rng() % 40);
    std::string up = text, low = text;
    for (auto& c : up) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (auto& c : low) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Convert(text, CASE_UPPER), up);
    EXPECT_EQ(Convert(text, CASE_UPPER | CASE_LOWER), up);
    EXPECT_EQ(Convert(text, CASE_LOWER), low);
    EXPECT_EQ(ConvertW(Widen(text), CASE_UPPER), Widen(up));
    EXPECT_EQ(ConvertW(Widen(text), CASE_LOWER), Widen(low));
  }
}

// Capitalising, told plainly: a letter after a non-alphanumeric character
// (or at the start) is upper-cased, any other letter lower-cased.
std::string CapitaliseReference(const std::string& s, bool keepInitials) {
  std::string out = s;
  bool afterAlnum = false;
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) c = char(afterAlnum ? std::tolower(u) : keepInitials ? u : std::toupper(u));
    afterAlnum = std::isalnum(u);
  }
  return out;
}

TEST(StrCaseConvert, CapitalisingMatchesReference) {
  std::mt19937 rng(5);
  const char kAlphabet[] = "aBcDeZz09 -_.,/\\\txQ";
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (size_t i = rng() % 30; i; --i) text += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    EXPECT_EQ(Convert(text, 0), CapitaliseReference(text, false)) << text;
    EXPECT_EQ(Convert(text, CASE_KEEP_INITIALS), CapitaliseReference(text, true)) << text;
    EXPECT_EQ(ConvertW(Widen(text), 0), Widen(CapitaliseReference(text, false)));
  }
}

TEST(StrCaseConvert, Latin1LettersMatchUnicodeCaseMapping) {
  locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
  if (!loc) GTEST_SKIP() << "C.UTF-8 locale missing";
  for (unsigned c = 0xC0; c <= 0xFF; ++c) {
    unsigned up = unsigned(towupper_l(wint_t(c), loc));
    unsigned low = unsigned(towlower_l(wint_t(c), loc));
    // Our own choices: sharp s upper-cases to 'S'; thorn and y-diaeresis
    // are no letters here.
    if (c == 0xDF) up = 'S';
    if (c == 0xDE || c == 0xFE || c == 0xFF) up = low = c;
    ASSERT_LE(up, 0xFFu);
    ASSERT_LE(low, 0xFFu);
    const std::string s(1, char(c));
    EXPECT_EQ(static_cast<unsigned char>(Convert(s, CASE_UPPER | CASE_LATIN1)[0]), up) << c;
    EXPECT_EQ(static_cast<unsigned char>(Convert(s, CASE_LOWER | CASE_LATIN1)[0]), low) << c;
    EXPECT_EQ(ConvertW(Widen(s), CASE_UPPER | CASE_LATIN1)[0], char16_t(up)) << c;
    // Without CASE_LATIN1 they stay.
    EXPECT_EQ(Convert(s, CASE_UPPER), s);
    EXPECT_EQ(Convert(s, CASE_LOWER), s);
  }
  freelocale(loc);
}

TEST(StrCaseConvert, SegmentsConditionsAndExtensions) {
  struct Case {
    const char* in;
    DWORD flags;
    const char* out;
  };
  const Case cases[] = {
      {"hELLO wORLD-x", 0, "Hello World-X"},
      {"abc Def", CASE_IF_NO_UPPER | CASE_WORD_SEGMENTS | CASE_UPPER, "ABC Def"},
      {"ABC Def GHI", CASE_IF_NO_LOWER | CASE_WORD_SEGMENTS | CASE_LOWER, "abc Def ghi"},
      {"ABC Def gHi jkl", CASE_IF_NOT_MIXED | CASE_WORD_SEGMENTS, "Abc Def gHi Jkl"},
      {"c:\\dir\\Mixed/file.txt", CASE_PATH_SEGMENTS | CASE_IF_NO_UPPER | CASE_UPPER,
       "C:\\DIR\\Mixed/FILE.TXT"},
      {"my docs\\READ me.TXT", CASE_PATH_SEGMENTS | CASE_IF_NOT_MIXED, "My Docs\\READ me.TXT"},
      {"/ab/CD/eF", CASE_PATH_SEGMENTS | CASE_IF_NO_LOWER | CASE_LOWER, "/ab/cd/eF"},
      // Whole-text conditions: a failing text is copied unchanged.
      {"Mixed Text", CASE_IF_NOT_MIXED | CASE_UPPER, "Mixed Text"},
      {"lower text", CASE_IF_NO_UPPER | CASE_UPPER, "LOWER TEXT"},
      {"lower Text", CASE_IF_NO_UPPER | CASE_UPPER | CASE_LOWER_EXT, "lower Text"},
      // Segment modes without a condition convert the whole text.
      {"ab Cd/eF", CASE_PATH_SEGMENTS | CASE_UPPER, "AB CD/EF"},
      {"ab Cd-eF", CASE_WORD_SEGMENTS, "Ab Cd-Ef"},
      // Word-initial letters keep their case.
      {"hELLO wORLD", CASE_KEEP_INITIALS, "hello world"},
      {"Hello WORLD", CASE_KEEP_INITIALS, "Hello World"},
      // The capital after the text's last dot, in every mode.
      {"readme.txt", CASE_LOWER_EXT, "Readme.txt"},
      {"readme.txt", CASE_UPPER | CASE_LOWER_EXT, "README.tXT"},
      {"dir/readme.txt", CASE_PATH_SEGMENTS | CASE_IF_NOT_MIXED | CASE_LOWER_EXT,
       "Dir/Readme.txt"},
      {"my.file.TXT", CASE_WORD_SEGMENTS | CASE_IF_NO_UPPER | CASE_LOWER_EXT, "My.File.tXT"},
      {"a.b.", CASE_UPPER | CASE_LOWER_EXT, "A.B."},
      {"", 0, ""},
      // Latin-1 letters: capitals, small letters, word continuation.
      {"\xe9lan \xc9" "COLE stra\xdf" "e", CASE_LATIN1, "\xc9lan \xc9" "cole Stra\xdf" "e"},
      {"\xe9lan", 0, "\xe9Lan"},
      {"stra\xdf" "e", CASE_UPPER | CASE_LATIN1, "STRASE"},
      {"\xdf" "ab", CASE_LATIN1, "Sab"},
      {"\xdf" "ab", CASE_LATIN1 | CASE_KEEP_INITIALS, "\xdf" "ab"},
      {"stra\xdf" "e \xd6l", CASE_WORD_SEGMENTS | CASE_IF_NO_UPPER | CASE_UPPER | CASE_LATIN1,
       "STRASE \xd6l"},
      {"stra\xdf" "e", CASE_WORD_SEGMENTS | CASE_IF_NO_UPPER | CASE_UPPER, "STRA\xdf" "E"},
      {"\xd6L", CASE_IF_NO_LOWER | CASE_LOWER | CASE_LATIN1, "\xf6l"},
      {"\xd6l", CASE_IF_NO_LOWER | CASE_LOWER | CASE_LATIN1, "\xd6l"},
      // The multiplication and division signs are no letters.
      {"a\xd7" "b\xf7" "c", CASE_UPPER | CASE_LATIN1, "A\xd7" "B\xf7" "C"},
      {"A\xd7" "B\xf7" "C", CASE_LOWER | CASE_LATIN1, "a\xd7" "b\xf7" "c"},
      {"x\xd7y", CASE_LATIN1, "X\xd7Y"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.in, c.flags), c.out) << c.in << " flags " << std::hex << c.flags;
    EXPECT_EQ(ConvertW(Widen(c.in), c.flags), Widen(c.out)) << c.in;
  }
}

TEST(StrCaseConvertW, CharactersAbove255AreNoLetters) {
  EXPECT_EQ(ConvertW(u"\u4e00abc d\u00e9", CASE_LATIN1), u"\u4e00Abc D\u00e9");
  EXPECT_EQ(ConvertW(u"\u0101b", CASE_UPPER | CASE_LATIN1), u"\u0101B");
  EXPECT_EQ(ConvertW(u"ab\u4e00cd", CASE_WORD_SEGMENTS | CASE_IF_NO_UPPER | CASE_UPPER),
            u"AB\u4e00CD");
}

TEST(StrCaseConvert, InPlaceEqualsSeparateDestination) {
  std::mt19937 rng(6);
  const char kAlphabet[] = "aBc Z9.\\/-\xe9\xc9\xdf\xd7";
  const DWORD bits[] = {CASE_UPPER, CASE_LOWER, CASE_LOWER_EXT, CASE_PATH_SEGMENTS,
                        CASE_WORD_SEGMENTS, CASE_KEEP_INITIALS, CASE_LATIN1, CASE_IF_NO_UPPER,
                        CASE_IF_NO_LOWER};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (size_t i = rng() % 24; i; --i) text += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    DWORD flags = 0;
    for (DWORD b : bits)
      if (rng() % 3 == 0) flags |= b;
    std::string inPlace = text;
    StrCaseConvert(inPlace.data(), inPlace.c_str(), flags);
    EXPECT_EQ(inPlace, Convert(text, flags)) << text << " " << flags;
    std::u16string w = Widen(text);
    StrCaseConvertW(w.data(), w.c_str(), flags);
    EXPECT_EQ(w, Widen(inPlace));
  }
}

}  // namespace
