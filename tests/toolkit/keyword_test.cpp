#include "toolkit/keyword.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KeywordIndex, FindsEntriesEmptyOnesAndTheTrailingOne) {
  struct Case {
    const char* word;
    const char* list;
    char sep;
    int index;
  } cases[] = {
      {"b", "a;b;z", ';', 1}, {"", "a;;z", ';', 1},  {"", "a;b;", ';', 2}, {"a", "", ';', -1},
      {"", "", ';', -1},      {"", ";a", ';', 0},    {"ab", "a;b", ';', -1}, {"a;b", "a;b", 0, 0},
      {"z", "a,b,z", ',', 2}, {"zz", "a;z", ';', -1}, {"B", "a;b", ';', -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeywordIndex(c.word, c.list, c.sep), c.index) << c.word << " in " << c.list;
    std::u16string w, l;
    for (const char* p = c.word; *p; ++p) w.push_back(static_cast<unsigned char>(*p));
    for (const char* p = c.list; *p; ++p) l.push_back(static_cast<unsigned char>(*p));
    EXPECT_EQ(KeywordIndexW(w.c_str(), l.c_str(), static_cast<char16_t>(c.sep)), c.index);
  }
  EXPECT_EQ(KeywordIndexNoCase("B", "a;b", ';'), 1);
  EXPECT_EQ(KeywordIndexLen("bcd", "a;b;c", 1, ';'), 1);
  EXPECT_EQ(KeywordIndexLenNoCase("Cxx", "a;b;c", 1, ';'), 2);
  EXPECT_EQ(KeywordIndexLenW(u"b", u"a;b", -1, u';'), 1);
  EXPECT_EQ(KeywordIndexNoCaseW(u"\u0141", u"\u0161", u';'), -1) << "only ASCII letters fold";
  EXPECT_EQ(KeywordIndexNoCaseW(u"\u4141", u"\u6161", u';'), -1);
  EXPECT_EQ(KeywordIndexLenNoCaseW(u"Ax", u"b;a", 1, u';'), 1);
}

TEST(KeywordIndexArray, StopsAtNullAndCount) {
  const char* const array[] = {"x", "Y", nullptr, "z"};
  EXPECT_EQ(KeywordIndexArray("Y", array, 4), 1);
  EXPECT_EQ(KeywordIndexArray("z", array, 4), -1);
  EXPECT_EQ(KeywordIndexArray("Y", array, 1), -1);
  EXPECT_EQ(KeywordIndexArray("y", array, 4), -1);
  EXPECT_EQ(KeywordIndexArrayNoCase("y", array, 4), 1);
  EXPECT_EQ(KeywordIndexArrayLen("Yes", array, 1, 4), 1);
  EXPECT_EQ(KeywordIndexArrayLen("Yes", array, 2, 4), -1);
  EXPECT_EQ(KeywordIndexArrayLenNoCase("yes", array, 1, 4), 1);
  const char16_t* const wide[] = {u"x", u"Y", nullptr};
  EXPECT_EQ(KeywordIndexArrayW(u"Y", wide, 3), 1);
  EXPECT_EQ(KeywordIndexArrayNoCaseW(u"X", wide, 3), 0);
  EXPECT_EQ(KeywordIndexArrayLenW(u"xy", wide, 1, 3), 0);
  EXPECT_EQ(KeywordIndexArrayLenNoCaseW(u"yy", wide, 1, 3), 1);
}

TEST(StrGetFields, CopiesSelectedFieldsByIndexOrMask) {
  struct Case {
    const char* list;
    int sel;
    int dstSize;
    const char* out;
  } cases[] = {
      {"a,b,z", static_cast<int>(0x80000005), 16, "az"},
      {"a,b,z", 1, 16, "b"},
      {"a,b,z", 5, 16, ""},
      {"ab,cd,ef", static_cast<int>(0x80000007), 4, "abc"},
      {"ab,cd", 0, 2, "a"},
      {"", 0, 16, ""},
      {"a,,c", static_cast<int>(0x80000006), 16, "c"},
      {"a,b", static_cast<int>(0x80000000), 16, ""},
      {"a,b", static_cast<int>(0xC0000001), 16, "a"},
  };
  for (const auto& c : cases) {
    char dst[16] = "#";
    EXPECT_EQ(StrGetFields(dst, c.list, c.dstSize, c.sel, ','), static_cast<int>(std::string(c.out).size()));
    EXPECT_STREQ(dst, c.out) << c.list << " " << c.sel;
  }
  char16_t wide[8];
  EXPECT_EQ(StrGetFieldsW(wide, u"a;b;z", 8, static_cast<int>(0x80000006), u';'), 2);
  EXPECT_EQ(std::u16string(wide), u"bz");
  char dst[4] = "xyz";
  EXPECT_EQ(StrGetFields(dst, "a", 0, 0, ','), 0);
  EXPECT_STREQ(dst, "xyz");
}

TEST(StrJoinArrayFields, JoinsSelectedEntries) {
  const char* const array[] = {"ab", "cd", "ef", nullptr, "gh"};
  char dst[16];
  EXPECT_EQ(StrJoinArrayFields(dst, array, 16, static_cast<int>(0x80000005), 5), 4);
  EXPECT_STREQ(dst, "abef");
  EXPECT_EQ(StrJoinArrayFields(dst, array, 16, static_cast<int>(0x80000018), 5), 0) << "null ends the array";
  EXPECT_EQ(StrJoinArrayFields(dst, array, 3, static_cast<int>(0x80000003), 5), 2);
  EXPECT_STREQ(dst, "ab");
  EXPECT_EQ(StrJoinArrayFields(dst, array, 16, 2, 2), 0) << "count ends the array";
  const char16_t* const wide[] = {u"a", u"b"};
  char16_t wdst[4];
  EXPECT_EQ(StrJoinArrayFieldsW(wdst, wide, 4, 1, 2), 1);
  EXPECT_EQ(std::u16string(wdst), u"b");
}

TEST(StrFieldPtr, PointsAtTheFieldOrTheDefault) {
  const char* list = "a,bc,d";
  int len = -1;
  EXPECT_EQ(StrFieldPtr(list, 1, ',', &len, "dflt"), list + 2);
  EXPECT_EQ(len, 2);
  EXPECT_STREQ(StrFieldPtr(list, 3, ',', &len, "dflt"), "dflt");
  EXPECT_EQ(len, 4);
  EXPECT_EQ(StrFieldPtr(list, 3, ',', &len, nullptr), nullptr);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(StrFieldPtr(list, 2, ',', nullptr, nullptr), list + 5);
  EXPECT_EQ(StrFieldPtr(list, -1, ',', &len, nullptr), nullptr);
  const char* trailing = "a,";
  EXPECT_EQ(StrFieldPtr(trailing, 1, ',', &len, "x"), trailing + 2);
  EXPECT_EQ(len, 0) << "the trailing empty field";
  const char16_t* wlist = u"x;yy";
  EXPECT_EQ(StrFieldPtrW(wlist, 1, u';', &len, nullptr), wlist + 2);
  EXPECT_EQ(len, 2);
}

TEST(StrFieldsLength, SumsSelectedFieldsAndFindsTheFirst) {
  int first = -1;
  EXPECT_EQ(StrFieldsLength("a,bc,def", static_cast<int>(0x80000006), ',', &first), 5);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(StrFieldsLength("a,bc,def", 2, ',', &first), 3);
  EXPECT_EQ(first, 5);
  EXPECT_EQ(StrFieldsLength("a,bc,def", static_cast<int>(0x80000000), ',', &first), 0);
  EXPECT_EQ(first, 8);
  EXPECT_EQ(StrFieldsLength("a,bc", 7, ',', &first), 0);
  EXPECT_EQ(first, 4);
  EXPECT_EQ(StrFieldsLengthW(u"ab;c", 0, u';', nullptr), 2);
  const char* const array[] = {"ab", "cde", nullptr};
  EXPECT_EQ(ArrayFieldsLength(array, static_cast<int>(0x80000002), 5, &first), 3);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(ArrayFieldsLength(array, 4, 5, &first), 0);
  EXPECT_EQ(first, 2);
  const char16_t* const wide[] = {u"ab"};
  EXPECT_EQ(ArrayFieldsLengthW(wide, 0, 1, &first), 2);
  EXPECT_EQ(first, 0);
}

}  // namespace
