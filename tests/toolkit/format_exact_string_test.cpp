#include <gtest/gtest.h>

#include <string>

#include "guard_page.h"
#include "toolkit/format_print.h"

using zelvaro_test::GuardedText;

// With + or blank a precision counts exactly that many characters, NULs
// included; such an array need not be terminated, so nothing behind it may be
// read, not even by the shortening that - and 0 ask for.
TEST(FormatStrings, ExactLengthFormReadsNothingBehindItsCharacters) {
  GuardedText<char> narrow(std::string_view("abcde"), false);
  GuardedText<char16_t> wide(std::u16string_view(u"abcde"), false);
  char out[32];
  char16_t wout[32];
  for (const char* fmt : {"%+.5s|", "% .5s|", "%-+0.5s|", "%-+08.5s|"}) {
    ASSERT_GT(FormatToBuffer(out, sizeof out, fmt, narrow.get()), 0) << fmt;
    EXPECT_EQ(std::string(out).substr(0, 5), "abcde") << fmt;
  }
  ASSERT_GT(FormatToBuffer(out, sizeof out, "%-+0.5S|", wide.get()), 0);
  EXPECT_STREQ(out, "abcde|");
  ASSERT_GT(FormatToBufferW(wout, 32, u"%-+0.5s|", wide.get()), 0);
  EXPECT_EQ(std::u16string(wout), u"abcde|");
}

// Without the exact form, - 0 and a precision still shorten a longer text.
TEST(FormatStrings, ShortensLongerTextWithPoints) {
  char out[32];
  FormatToBuffer(out, sizeof out, "%-0.5s|", "abcdefgh");
  EXPECT_STREQ(out, "ab...|");
}
