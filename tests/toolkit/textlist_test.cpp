#include "toolkit/textlist.h"

#include <gtest/gtest.h>

#include "guard_page.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::string Text(const CTextList& l, uint32_t i) { return std::string(l.TextAt(i), l.LengthAt(i)); }

std::vector<std::string> Texts(const CTextList& l) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < l.count; ++i) out.push_back(Text(l, i));
  return out;
}

CTextList ListOf(std::initializer_list<std::string> texts, uint32_t dataSize = 0) {
  CTextList l(dataSize);
  for (const std::string& t : texts) l.Insert(int(t.size()), t.data(), -1, nullptr);
  return l;
}

TEST(TextList, ItemBlockHoldsLengthDataTextAndNul) {
  CTextList l(4);
  const uint8_t data[4] = {0x11, 0x22, 0x33, 0x44};
  l.Insert(3, "a\0b", -1, data);
  const uint8_t* block = static_cast<const uint8_t*>(l.items[0]) - 4;
  const Bytes want = {3, 0, 0, 0, 0x11, 0x22, 0x33, 0x44, 'a', 0, 'b', 0};
  EXPECT_EQ(Bytes(block, block + want.size()), want);
}

TEST(TextList, ConstructorDefaults) {
  CTextList l(4);
  EXPECT_EQ(l.count, 0u);
  EXPECT_EQ(l.capacity, 0u);
  EXPECT_EQ(l.items, nullptr);
  EXPECT_EQ(l.mruMax, 16);
  EXPECT_EQ(l.mruFindMode, 0u);
  EXPECT_EQ(l.reserved, 0u);
}

TEST(TextList, CapacityGrowsTo17Then43Then82) {
  CTextList l;
  std::vector<uint32_t> seen;
  for (int i = 0; i < 60; ++i) {
    l.InsertString("x", -1, nullptr);
    if (seen.empty() || seen.back() != l.capacity) seen.push_back(l.capacity);
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{17, 43, 82}));
  CTextList m;
  for (int i = 0; i < 17; ++i) m.InsertString("x", -1, nullptr);
  EXPECT_EQ(m.capacity, 43u);  // the 17th insert finds 16 + 1 >= 17
}

TEST(TextList, InsertListGrowsByItsOwnRule) {
  CTextList src = ListOf({"a", "b", "c", "d", "e"});
  CTextList l;
  l.InsertList(src, -1, 0, -1);
  EXPECT_EQ(l.capacity, uint32_t(((0 + 5) * 3 + 32) / 2));
}

TEST(TextList, InsertPastTheEndAppendsAndReturnsTheIndex) {
  CTextList l = ListOf({"a", "b", "c"});
  EXPECT_EQ(l.InsertString("d", 5, nullptr), 3);
  EXPECT_EQ(l.InsertString("z", 0, nullptr), 0);
  EXPECT_EQ(l.Insert(-1, "w\0v", -1, nullptr), 5);  // negative len: up to the NUL
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"z", "a", "b", "c", "d", "w"}));
  EXPECT_EQ(l.InsertString(nullptr, -1, nullptr), 6);
  EXPECT_EQ(l.LengthAt(6), 0u);
}

TEST(TextList, SetItemDataSizeOnlyWhileEmpty) {
  CTextList l(0);
  EXPECT_EQ(l.SetItemDataSize(4), 4);
  EXPECT_EQ(l.SetItemDataSize(-1), 4);
  EXPECT_EQ(l.SetItemDataSize(-2), -1);
  l.InsertString("a", -1, nullptr);
  EXPECT_EQ(l.SetItemDataSize(8), -1);
  EXPECT_EQ(l.itemDataSize, 4u);
}

TEST(TextList, SplitPiecesBySeparatorAndMultiString) {
  struct Case {
    char sep;
    std::string text;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {',', "a,,b,", {"a", "", "b"}},
      {',', ",a", {"", "a"}},
      {',', ",", {""}},
      {',', "abc", {"abc"}},
      {0, std::string("x\0y\0\0", 5), {"x", "y"}},
  };
  for (const Case& c : cases) {
    CTextList l = ListOf({"keep"});
    EXPECT_EQ(l.Split(c.sep, c.text.c_str(), 0, nullptr), 0) << c.text;
    std::vector<std::string> want = c.want;
    want.push_back("keep");
    EXPECT_EQ(Texts(l), want) << c.text;
  }
  CTextList l;
  EXPECT_EQ(l.Split(',', "", 0, nullptr), -1);
  EXPECT_EQ(l.Split(',', nullptr, 0, nullptr), -1);
  EXPECT_EQ(l.Split(',', "a", -1, nullptr), 0);  // -1 appends at count
  EXPECT_EQ(l.Split(',', "b", -1, nullptr), 1);
}

TEST(TextList, SplitNStopsAtTheLengthAndNul) {
  CTextList l;
  EXPECT_EQ(l.SplitN(',', -1, "a", 0, nullptr), -1);
  EXPECT_EQ(l.SplitN(',', 3, nullptr, 0, nullptr), -1);
  EXPECT_EQ(l.SplitN(',', 0, "a", 7, nullptr), 0);
  EXPECT_EQ(l.count, 0u);
  EXPECT_EQ(l.SplitN(',', 4, "ab,cd", 0, nullptr), 0);  // "ab,c"
  EXPECT_EQ(l.SplitN(',', 9, "x,y\0z,w", -1, nullptr), 2);  // the NUL ends it
  EXPECT_EQ(l.SplitN(0, 5, "p\0qq\0r", -1, nullptr), 4);  // last piece cut at 5
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"ab", "c", "x", "y", "p", "qq"}));
}

TEST(TextList, MultiStringAndJoinBytes) {
  CTextList l = ListOf({"a", "bc"});
  char* out = nullptr;
  EXPECT_EQ(l.GetMultiString(0, -1, &out), 6u);
  EXPECT_EQ(std::string(out, 6), std::string("a\0bc\0\0", 6));
  delete[] out;
  EXPECT_EQ(l.GetMultiString(1, 1, &out), 2u);
  EXPECT_EQ(std::string(out, 2), std::string("\0\0", 2));
  delete[] out;
  EXPECT_EQ(l.Join(0, -1, &out, ','), 5);
  EXPECT_EQ(std::string(out, 5), std::string("a,bc\0", 5));
  delete[] out;
  EXPECT_EQ(l.Join(2, 9, &out, ','), 1);
  EXPECT_EQ(std::string(out, 2), std::string("\0\0", 2));
  delete[] out;
  EXPECT_EQ(l.Join(-3, 1, &out, 0), 3);
  EXPECT_EQ(std::string(out, 3), std::string("a\0\0", 3));
  delete[] out;
}

TEST(TextList, MultiStringRoundTrip) {
  CTextList l = ListOf({"one", "two words", "x"});
  char* out = nullptr;
  uint32_t size = l.GetMultiString(0, -1, &out);
  CTextList back;
  back.Split(0, out, 0, nullptr);
  EXPECT_EQ(Texts(back), Texts(l));
  CTextList backN;
  backN.SplitN(0, int(size), out, 0, nullptr);
  EXPECT_EQ(Texts(backN), Texts(l));
  delete[] out;
}

TEST(TextList, JoinToStringLengthIsOneLessThanJoin) {
  CTextList l = ListOf({"a", "bc"});
  CString s("old");
  EXPECT_EQ(l.JoinToString(0, -1, s, 0), 6);
  EXPECT_EQ(s.GetLength(), 5);
  EXPECT_EQ(std::string(s, 6), std::string("a\0bc\0\0", 6));
  EXPECT_EQ(l.JoinToString(0, -1, s, ' '), 5);
  EXPECT_EQ(std::string(s), "a bc");
  EXPECT_EQ(l.JoinToString(1, 1, s, 0), 2);
  EXPECT_EQ(s.GetLength(), 1);
  EXPECT_EQ(static_cast<const char*>(s)[0], 0);
  EXPECT_EQ(l.JoinToString(1, 1, s, ','), 1);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(TextList, JoinLinesBreaksAndCuts) {
  CTextList l = ListOf({"ab", "c", "de", "f", "g"});
  struct Case {
    int maxSize, perLine;
    std::string want;
  };
  const Case cases[] = {
      {-1, 2, "abc\r\ndef\r\ng"},
      {-1, 0, "ab\r\nc\r\nde\r\nf\r\ng\r\n"},
      {-1, -1, "ab\nc\nde\nf\ng\n"},
      {-1, -2, "abc\ndef\ng"},
      {-1, 5, "abcdefg\r\n"},
      // 1 + "abc\r\n" (5) = 6: cuts exactly behind the break.
      {6, 2, "abc\r\n"},
      {5, 2, "ab"},  // "c" with its break would need 7
      {1, 0, ""},
      {0, 0, ""},
  };
  for (const Case& c : cases) {
    char* out = nullptr;
    int len = l.JoinLines(0, -1, &out, c.maxSize, c.perLine);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::string(out), c.want) << c.maxSize << "/" << c.perLine;
    EXPECT_EQ(len, int(c.want.size()));
    delete[] out;
  }
}

TEST(TextList, FindModesOnTheSameItems) {
  // Items: upper-case, the at-sign/grave pair, and a NUL-bearing text.
  CTextList l = ListOf({"ABCDEFGH", "@bcdefgh", "abc", std::string("ab\0d", 4), "ABCDEFGHIJ"});
  struct Case {
    std::string sought;
    uint32_t mode;
    int want;
  };
  const Case cases[] = {
      {"abcdefgh", TEXTLIST_FIND_FASTNOCASE, 0},
      {"abcdefgh", 1, 0},
      {"abcdefgh", TEXTLIST_FIND_EXACT, -1},
      {"`bcdefgh", TEXTLIST_FIND_FASTNOCASE, 1},  // bit 5 only in the first 8 bytes
      {"`bcdefgh", 1, -1},
      {"`BCDEFGH", TEXTLIST_FIND_EXACT, -1},
      {"abcdefgHIJ", TEXTLIST_FIND_FASTNOCASE, 4},
      {"abcdefg@ij", TEXTLIST_FIND_FASTNOCASE, -1},
      {"ab", TEXTLIST_FIND_FASTNOCASE, -1},         // lengths differ
      {"abcd", TEXTLIST_FIND_EXACT, -1},
      {std::string("AB\0D", 4), 1, 3},
      {std::string("AB\0E", 4), 1, -1},
      {std::string("ab\0d", 4), TEXTLIST_FIND_EXACT, 3},
      {"ABC", TEXTLIST_FIND_FASTNOCASE, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(l.Find(int(c.sought.size()), c.sought.data(), 0, -1, c.mode), c.want)
        << c.sought << " mode " << c.mode;
  }
  EXPECT_EQ(l.Find(-1, "abc", 3, -1, 0), -1);
  EXPECT_EQ(l.Find(-1, "abc", -5, 3, 0), 2);
  EXPECT_EQ(l.Find(-1, "abc", 0, 2, 0), -1);
}

TEST(TextList, FindWithKeysAndDataOffsets) {
  CTextList l(12);
  const uint32_t d1[3] = {7, 1, 2}, d2[3] = {8, 3, 4};
  const uint32_t d3[3] = {7, 5, 6};
  l.InsertString("x", -1, d1);
  l.InsertString("y", -1, d2);
  l.InsertString("y", -1, d3);
  EXPECT_EQ(l.FindWithDword(7, -1, "y", 0, -1, 0), 2);
  EXPECT_EQ(l.FindWithDword(8, -1, "Y", 0, -1, 1), 1);
  EXPECT_EQ(l.FindWithQword(uint64_t{1} << 32 | 7, -1, "x", 0, -1, 0), 0);
  EXPECT_EQ(l.FindDword(8, 0, -1), 1);
  EXPECT_EQ(l.FindQword(uint64_t{5} << 32 | 7, 0, -1), 2);
  // Argument order: value, offset, from, to.
  EXPECT_EQ(l.FindDwordAt(5, 4, 0, -1), 2);
  EXPECT_EQ(l.FindDwordAt(5, 4, 0, 2), -1);
  EXPECT_EQ(l.FindQwordAt(uint64_t{6} << 32 | 5, 4, 1, 3), 2);
  EXPECT_EQ(l.FindQwordAt(0, 8, 0, -1), -1);  // 8 + 8 > 12
  CTextList small(2);
  small.InsertString("a", -1, nullptr);
  EXPECT_EQ(small.FindDword(0, 0, -1), -1);
  EXPECT_EQ(small.FindWithDword(0, -1, "a", 0, -1, 0), -1);
}

TEST(TextList, TrimsStoreTheNewLength) {
  CTextList l = ListOf({"ab  ", " \t\r\nx y\n", "   ", "k"});
  l.TrimRight(0, -1);
  EXPECT_EQ(l.LengthAt(0), 2u);
  EXPECT_EQ(l.TextAt(0)[2], 0);
  l.TrimLeft(0, -1);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"ab", "x y", "", "k"}));
  EXPECT_EQ(l.TextAt(1)[3], 0);
}

TEST(TextList, CaseChangesTouchOnlyAsciiLetters) {
  CTextList l = ListOf({"aZ\xE4\xC4-", std::string("b\0c", 3)});
  l.MakeUpper(0, -1);
  EXPECT_EQ(Text(l, 0), "AZ\xE4\xC4-");
  EXPECT_EQ(Text(l, 1), std::string("B\0c", 3));  // up to the first NUL
  l.MakeLower(0, 1);
  EXPECT_EQ(Text(l, 0), "az\xE4\xC4-");
}

TEST(TextList, ReplaceAndAppendKeepOrTakeData) {
  CTextList l(4);
  const uint32_t one = 1, two = 2;
  l.InsertString("a", -1, &one);
  EXPECT_EQ(l.SetAtString("bb", 0, nullptr), 0);
  uint32_t got = 0;
  l.GetItemData(0, &got);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(l.SetAt(-1, "cz\0q", 0, &two), 0);
  EXPECT_EQ(l.LengthAt(0), 2u);
  EXPECT_EQ(l.SetAt(1, "cz", 0, nullptr), 0);
  l.GetItemData(0, &got);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(l.SetAtString("x", 1, nullptr), -1);
  EXPECT_EQ(l.AppendToItem("dd", 0, &one), 0);
  l.GetItemData(0, &got);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(Text(l, 0), "cdd");
  EXPECT_EQ(l.AppendToItem("", 0, nullptr), 0);
  EXPECT_EQ(l.AppendToItem("new", 9, &one), 1);
  EXPECT_EQ(l.AppendToItemN(2, "xyz", 1, nullptr), 1);
  EXPECT_EQ(l.AppendToItemN(-1, "", 1, nullptr), 1);  // negative len: up to the NUL
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"cdd", "newxy"}));
}

TEST(TextList, OwnTextsAsSourcesSurviveGrowthAndReplacement) {
  CTextList l;
  for (int i = 0; i < 16; ++i) l.InsertString("0123456789abcdef", -1, nullptr);
  ASSERT_EQ(l.capacity, 17u);
  l.Insert(int(l.LengthAt(3)), l.TextAt(3), 0, nullptr);  // grows now
  EXPECT_EQ(l.capacity, 43u);
  EXPECT_EQ(Text(l, 0), "0123456789abcdef");
  l.SetAt(4, l.TextAt(0) + 2, 0, nullptr);
  EXPECT_EQ(Text(l, 0), "2345");
  l.AppendToItemN(int(l.LengthAt(0)), l.TextAt(0), 0, nullptr);
  EXPECT_EQ(Text(l, 0), "23452345");
  l.InsertList(l, 1, 0, 2);
  EXPECT_EQ(Text(l, 1), "23452345");
  EXPECT_EQ(Text(l, 2), "0123456789abcdef");
  CTextList& self = l;
  l = self;
  EXPECT_EQ(l.count, 19u);
}

TEST(TextList, InsertListCopiesTheSmallerDataSize) {
  CTextList wide(8), narrow(2);
  const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  wide.InsertString("w", -1, data);
  narrow.InsertString("n", -1, data);
  narrow.InsertList(wide, -1, 0, -1);
  wide.InsertList(narrow, -1, 0, -1);
  uint8_t got[8];
  narrow.GetItemData(1, got);
  EXPECT_EQ(Bytes(got, got + 2), (Bytes{1, 2}));
  wide.GetItemData(1, got);
  EXPECT_EQ(Bytes(got, got + 8), (Bytes{1, 2, 0, 0, 0, 0, 0, 0}));
  wide.GetItemData(2, got);
  EXPECT_EQ(Bytes(got, got + 8), (Bytes{1, 2, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(narrow.InsertList(CTextList(), 0, 0, -1), -1);
  EXPECT_EQ(narrow.InsertList(wide, 0, 2, 2), -1);
}

TEST(TextList, CopyIsDeepAndAssignmentCopiesSettings) {
  CTextList a(4);
  a.mruMax = 3;
  a.mruFindMode = 9;
  a.reserved = 5;
  const uint32_t v = 42;
  a.InsertString("x", -1, &v);
  CTextList b(a);
  CTextList c(0);
  c.InsertString("gone", -1, nullptr);
  c = a;
  a.SetAtString("changed", 0, nullptr);
  for (const CTextList* l : {&b, &c}) {
    EXPECT_EQ(Texts(*l), (std::vector<std::string>{"x"}));
    EXPECT_EQ(l->itemDataSize, 4u);
    EXPECT_EQ(l->mruMax, 3);
    EXPECT_EQ(l->mruFindMode, 9u);
    EXPECT_EQ(l->reserved, 5u);
  }
}

TEST(TextList, PopsTakeTextAndDataOrLeaveTheItem) {
  CTextList l(4);
  const uint32_t a = 10, b = 20;
  l.InsertString("first", -1, &a);
  l.InsertString("last", -1, &b);
  char buf[8];
  uint32_t data = 0;
  EXPECT_EQ(l.PopLast(4, buf, &data), -1);  // "last" needs 5 bytes
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(l.count, 2u);
  EXPECT_EQ(l.PopLast(5, buf, &data), 4);
  EXPECT_STREQ(buf, "last");
  EXPECT_EQ(data, 20u);
  char* out = nullptr;
  EXPECT_EQ(l.PopFirstAlloc(&out, &data), 5);
  EXPECT_STREQ(out, "first");
  EXPECT_EQ(data, 10u);
  delete[] out;
  EXPECT_EQ(l.PopFirst(8, buf, nullptr), -1);
  EXPECT_EQ(l.PopLastAlloc(&out, nullptr), -1);
  EXPECT_EQ(out, nullptr);
}

TEST(TextList, GetTextNeedsRoomForTheNul) {
  CTextList l = ListOf({"abc"});
  char buf[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(l.GetText(0, buf, 3), -1);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(l.GetText(0, buf, 4), 3);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(l.GetText(1, buf, 4), -1);
  char* out = reinterpret_cast<char*>(1);
  EXPECT_EQ(l.GetTextAlloc(1, &out), -1);
  EXPECT_EQ(out, nullptr);
}

TEST(TextList, TypedSettersNeedRoomAndReturnTheOldValue) {
  CTextList l(8);
  const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  l.InsertString("x", -1, data);
  EXPECT_EQ(l.SetItemWord(0, 0xAAAA), 0x0201);
  EXPECT_EQ(l.SetItemWord(0, 0xBBBB, 3), 0x0807);
  EXPECT_EQ(l.SetItemWord(0, 0xBBBB, 4), 0);  // needs 10 bytes
  EXPECT_EQ(l.SetItemDword(0, 0x11111111, 1), 0xBBBB0605u);
  EXPECT_EQ(l.SetItemDword(0, 1, 2), 0u);
  EXPECT_EQ(l.SetItemQword(0, 9), 0x11111111'0403AAAAull);
  EXPECT_EQ(l.SetItemQword(0, 9, 1), 0u);
  EXPECT_EQ(l.SetItemDword(1, 5), 0u);  // out of range
  uint8_t got[8];
  l.GetItemData(0, got);
  EXPECT_EQ(Bytes(got, got + 8), (Bytes{9, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(TextList, MoveAndSwap) {
  CTextList l = ListOf({"0", "1", "2", "3", "4"});
  EXPECT_EQ(l.Move(3, 0), 0);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"3", "0", "1", "2", "4"}));
  EXPECT_EQ(l.Move(0, -1), 4);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"0", "1", "2", "4", "3"}));
  EXPECT_EQ(l.Move(2, 2), 2);
  EXPECT_EQ(l.Move(5, 0), -1);
  EXPECT_EQ(l.Move(0, -2), -1);
  l.Swap(0, 99);  // taken as the last
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"3", "1", "2", "4", "0"}));
  CTextList empty;
  EXPECT_EQ(empty.Move(0, 3), 0);
  empty.Swap(0, 1);
}

TEST(TextList, DetachAndReinsertHandsTheBlockOver) {
  CTextList l = ListOf({"a", "b"});
  void* item = l.DetachAt(0);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(l.DetachAt(5), nullptr);
  EXPECT_EQ(l.InsertDetached(nullptr, 0), -1);
  EXPECT_EQ(l.InsertDetached(item, -1), 1);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"b", "a"}));
  CTextList::FreeDetached(l.DetachAt(0));
  CTextList::FreeDetached(nullptr);
  EXPECT_EQ(l.RemoveRange(-3, 99), 1);
  EXPECT_EQ(l.RemoveRange(0, 1), 0);
  EXPECT_EQ(l.RemoveAll(), 1);
  EXPECT_EQ(l.capacity, 0u);
}

TEST(TextListFormat, InsertsFormattedTextsOfAnyLength) {
  CTextList l(4);
  const uint32_t key = 77;
  EXPECT_EQ(l.AddFormat("%d-%s", 12, "ab"), 0);
  EXPECT_EQ(l.InsertFormat(0, "%c%c", 'x', 'y'), 0);
  EXPECT_EQ(l.InsertFormat(&key, 5, "%05u", 42u), 2);
  std::string big(3000, 'q');
  EXPECT_EQ(l.InsertFormat(nullptr, -1, "<%s|%s>", big.c_str(), big.c_str()), 3);
  EXPECT_EQ(Text(l, 3), "<" + big + "|" + big + ">");
  EXPECT_EQ(l.SetAtFormat(1, "%x", 255u), 1);
  EXPECT_EQ(l.SetAtFormat(9, "%x", 255u), -1);
  EXPECT_EQ(l.AppendFormatToItem(&key, 0u, "%s!", "z"), 0);
  EXPECT_EQ(l.AppendFormatToItem(7u, "%s!", "z"), -1);
  EXPECT_EQ(Texts(l)[0], "xyz!");
  EXPECT_EQ(Texts(l)[1], "ff");
  EXPECT_EQ(Texts(l)[2], "00042");
  uint32_t got = 0;
  l.GetItemData(2, &got);
  EXPECT_EQ(got, 77u);
  l.GetItemData(0, &got);
  EXPECT_EQ(got, 0u);  // appending keeps the item's data
}

TEST(TextListFormat, SinkMovesToTheHeapWhenFull) {
  char stack[8];
  TextListFormatState s{stack, 8, 0, false};
  EXPECT_EQ(TextListFormatSink(&s, "abcde", 5), 5);
  EXPECT_FALSE(s.owned);
  EXPECT_EQ(TextListFormatSink(&s, "fghij", 5), 5);
  EXPECT_TRUE(s.owned);
  EXPECT_EQ(s.capacity, 10 + 4 + 256);
  EXPECT_EQ(TextListFormatSink(&s, "x", 0), 0);
  EXPECT_EQ(std::string(s.buffer, size_t(s.used)), "abcdefghij");
  delete[] s.buffer;
}

}  // namespace

namespace {

using zelvaro_test::GuardedText;

// Counted texts are read to their length and no further: each ends at a page
// that faults on access.
TEST(TextListBounds, CountedTextsAreNotReadPastTheirLength) {
  GuardedText<char> abc(std::string_view("abc"), false);
  GuardedText<char> pieces(std::string_view("x,y,"), false);
  GuardedText<char> multi(std::string_view("p\0qq", 4), false);
  CTextList l;
  EXPECT_EQ(l.Insert(3, abc.get(), -1, nullptr), 0);
  EXPECT_EQ(l.SetAt(3, abc.get(), 0, nullptr), 0);
  EXPECT_EQ(l.AppendToItemN(3, abc.get(), 0, nullptr), 0);
  EXPECT_EQ(l.SplitN(',', 4, pieces.get(), -1, nullptr), 1);
  EXPECT_EQ(l.SplitN(0, 4, multi.get(), -1, nullptr), 3);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"abcabc", "x", "y", "p", "qq"}));
  for (uint32_t mode : {0u, 1u, TEXTLIST_FIND_FASTNOCASE}) {
    EXPECT_EQ(l.Find(3, abc.get(), 0, -1, mode), -1);
  }
  l.Sort(0, -1, CTextList::CompareText, false);
  // abc begins abcabc: before it, or behind it with FIND_PREFIX_LAST.
  EXPECT_EQ(l.FindSorted(3, abc.get(), 0, -1, FIND_INSERTPOS), 0);
  EXPECT_EQ(l.FindSorted(3, abc.get(), 0, -1, FIND_INSERTPOS | FIND_NOCASE | FIND_PREFIX_LAST), 1);
  EXPECT_EQ(l.InsertSortedFormat(FIND_INSERTPOS, "%.3s", abc.get()), 0);
}

}  // namespace
