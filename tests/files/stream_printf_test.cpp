// Formatted output through the stream, checked against glibc's snprintf.
#include <gtest/gtest.h>

#include <cstdio>

#include "stream_test_util.h"

namespace {

std::string Take(CFileStream& stream) {
  int fill = 0;
  char* block = static_cast<char*>(stream.GetData(&fill));
  std::string text(block, size_t(fill));
  stream.Close();
  ::operator delete(block);
  return text;
}

TEST(StreamPrintf, WritesWhatSnprintfWrites) {
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  char expected[256];
  int n = std::snprintf(expected, sizeof expected, "%d|%-6s|%05u|%x|%c|%%|%.3s", -42, "ab", 17u, 0xBEEFu, 'Q', "abcdef");
  EXPECT_EQ(stream.Printf("%d|%-6s|%05u|%x|%c|%%|%.3s", -42, "ab", 17u, 0xBEEFu, 'Q', "abcdef"), n);
  EXPECT_EQ(Take(stream), std::string(expected, size_t(n)));
}

TEST(StreamPrintf, WideOutputIsUtf16LittleEndian) {
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  EXPECT_EQ(stream.PrintfW(u"\u00E4=%d\n", 42), 5);
  EXPECT_EQ(Take(stream), std::string("\xE4\0=\0" "4\0" "2\0\n\0", 10));
}

TEST(StreamPrintf, LongOutputCrossesTheBuffer) {
  std::string big(5000, 'y');
  VectorBackend backend;
  CFileStream stream(512);
  ASSERT_TRUE(backend.OpenOn(stream));
  EXPECT_EQ(stream.Printf("<%s>", big.c_str()), 5002);
  EXPECT_TRUE(stream.Close());
  EXPECT_EQ(std::string(backend.data.begin(), backend.data.end()), "<" + big + ">");
}

TEST(StreamPrintf, AFailedWriteMakesTheResultMinusOne) {
  std::string big(5000, 'y');
  VectorBackend backend;
  backend.writeScript.assign(100, -1);
  CFileStream stream(512);
  ASSERT_TRUE(backend.OpenOn(stream));
  EXPECT_EQ(stream.Printf("%s", big.c_str()), -1);
  EXPECT_EQ(stream.PrintfW(u"%d", 1), -1);  // the full buffer still cannot be handed on
  EXPECT_FALSE(stream.Close());
  CFileStream readOnly;
  ASSERT_TRUE(readOnly.OpenMemory(big.data(), 10, 0));
  EXPECT_EQ(readOnly.Printf("x"), -1);
  EXPECT_EQ(readOnly.PrintfW(u"x"), -1);
}

}  // namespace
