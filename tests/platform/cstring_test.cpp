#include "platform/cstring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

std::string Bytes(const CString& s) { return std::string(s, size_t(s.GetLength())); }

TEST(CString, ConstructsFromTextAndCountedBytes) {
  EXPECT_TRUE(CString().IsEmpty());
  EXPECT_STREQ(CString(), "");
  EXPECT_EQ(CString("abc").GetLength(), 3);
  EXPECT_EQ(CString(nullptr).GetLength(), 0);
  CString counted("a\0b", 3);
  EXPECT_EQ(counted.GetLength(), 3);
  EXPECT_EQ(std::memcmp(static_cast<const char*>(counted), "a\0b\0", 4), 0);
  EXPECT_TRUE(CString("xyz", -1).IsEmpty());
  EXPECT_TRUE(CString(nullptr, 4).IsEmpty());
}

TEST(CString, CopyMoveAndEmpty) {
  CString a("a\0bc", 4);
  CString b(a);
  CString c;
  c = a;
  CString& self = c;
  c = self;
  EXPECT_EQ(Bytes(b), std::string("a\0bc", 4));
  EXPECT_EQ(Bytes(c), std::string("a\0bc", 4));
  CString d(std::move(b));
  EXPECT_EQ(Bytes(d), std::string("a\0bc", 4));
  EXPECT_TRUE(b.IsEmpty());  // NOLINT(bugprone-use-after-move)
  c = std::move(d);
  EXPECT_EQ(c.GetLength(), 4);
  c.Empty();
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_STREQ(c, "");
}

TEST(CString, BufferRoundTripsAtSeveralSizes) {
  for (int n : {0, 1, 260}) {
    CString s;
    char* p = s.GetBuffer(n);
    for (int i = 0; i <= n; ++i) EXPECT_EQ(p[i], 0) << n;  // n + 1 zeroed bytes
    for (int i = 0; i < n; ++i) p[i] = char('a' + i % 26);
    s.ReleaseBuffer(-1);
    EXPECT_EQ(s.GetLength(), n);
    EXPECT_EQ(static_cast<const char*>(s)[n], 0);
  }
}

TEST(CString, GetBufferKeepsTheContentAndZeroesBehindIt) {
  CString s("abc");
  char* p = s.GetBuffer(6);
  EXPECT_EQ(std::string(p, 7), std::string("abc\0\0\0\0", 7));
  p[3] = 'd';
  s.ReleaseBuffer(-1);
  EXPECT_EQ(Bytes(s), "abcd");
  p = s.GetBuffer(1);  // below the length: the content stays
  EXPECT_EQ(std::string(p, 5), std::string("abcd\0", 5));
  s.ReleaseBuffer(2);
  EXPECT_EQ(Bytes(s), "ab");
}

TEST(CString, ReleaseBufferMeasuresAndClamps) {
  CString s;
  char* p = s.GetBuffer(4);
  std::memcpy(p, "x\0yz", 4);
  s.ReleaseBuffer(-1);
  EXPECT_EQ(s.GetLength(), 1);
  p = s.GetBuffer(4);
  std::memcpy(p, "x\0yz", 4);
  s.ReleaseBuffer(4);  // inner NULs kept
  EXPECT_EQ(Bytes(s), std::string("x\0yz", 4));
  p = s.GetBuffer(4);
  s.ReleaseBuffer(99);  // clamped to the buffer
  EXPECT_EQ(s.GetLength(), 4);
  p = s.GetBuffer(3);
  std::memcpy(p, "full", 4);  // every byte before the terminator slot
  s.ReleaseBuffer(-1);
  EXPECT_EQ(s.GetLength(), 4);
  EXPECT_EQ(static_cast<const char*>(s)[4], 0);
}

}  // namespace
