// Exact byte layouts, call splits, buffer sizes and memory growth.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <new>

#include "stream_test_util.h"

// Every no-throw allocation the stream makes passes here, so that tests can
// see the sizes it asks for and make it fail.
namespace {
std::atomic<size_t> g_lastNoThrowSize{0};
std::atomic<bool> g_failNoThrow{false};
std::atomic<int> g_failNoThrowCall{0};  // n > 0: the n-th next call fails
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  g_lastNoThrowSize = size;
  if (g_failNoThrow) return nullptr;
  if (g_failNoThrowCall > 0 && --g_failNoThrowCall == 0) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

TEST(StreamBytes, TypedWritesAreLittleEndian) {
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  EXPECT_GT(stream.WriteU8(0xA1), 0);
  EXPECT_GT(stream.WriteU16(0xB2C3), 0);
  EXPECT_GT(stream.WriteU32(0xD4E5F607u), 0);
  EXPECT_GT(stream.WriteU64(0x0123456789ABCDEFull), 0);
  int fill = 0;
  BYTE* block = static_cast<BYTE*>(stream.GetData(&fill));
  const Bytes expected = {0xA1, 0xC3, 0xB2, 0x07, 0xF6, 0xE5, 0xD4,
                          0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};
  EXPECT_EQ(Bytes(block, block + fill), expected);
  EXPECT_TRUE(stream.Close());
  CFileStream reader;
  ASSERT_TRUE(reader.OpenMemory(block, unsigned(fill), 0));
  EXPECT_EQ(reader.ReadU8(), 0xA1u);
  EXPECT_EQ(reader.ReadU16(), 0xB2C3u);
  EXPECT_EQ(reader.ReadU32(), 0xD4E5F607u);
  EXPECT_EQ(reader.ReadU64(), 0x0123456789ABCDEFull);
  EXPECT_EQ(reader.ReadU8(), 0xFFFFFFFFu);  // the end
  EXPECT_TRUE(reader.IsEof());
  ::operator delete(block);
}

TEST(StreamBytes, TypedValuesCrossBufferEdgesOnFiles) {
  ScratchDir dir;
  std::string path = dir.File("typed");
  CFileStream stream(512);
  ASSERT_TRUE(stream.Open(path.c_str(), STREAM_MODE_CREATE));
  for (int i = 0; i < 300; ++i) ASSERT_GT(stream.WriteU32(0x01020304u * uint32_t(i)), 0);  // 1200 bytes
  ASSERT_TRUE(stream.Close());
  Bytes stored = ReadWholeFile(path);
  ASSERT_EQ(stored.size(), 1200u);
  for (int i = 0; i < 300; ++i) {
    uint32_t v = 0x01020304u * uint32_t(i);
    for (int b = 0; b < 4; ++b) ASSERT_EQ(stored[size_t(4 * i + b)], uint8_t(v >> (8 * b)));
  }
  ASSERT_TRUE(stream.Open(path.c_str()));
  ASSERT_EQ(stream.Read(stored.data(), 3), 3);  // misalign the values against the buffer
  for (int i = 1; i < 299; ++i) {
    uint32_t v = 0x01020304u * uint32_t(i);
    uint32_t rotated = (0x01020304u * uint32_t(i - 1)) >> 24 | v << 8;
    ASSERT_EQ(stream.ReadU32(), rotated) << i;
  }
}

TEST(StreamBytes, LargeWritesSplitAtTheBufferAsDocumented) {
  struct Case {
    int count;
    std::vector<int> whileOpen, afterClose;
  } cases[] = {
      {40000, {32768}, {32768, 7232}},
      {70000, {32768, 37232}, {32768, 37232}},
  };
  for (const Case& c : cases) {
    VectorBackend backend;
    CFileStream stream(32768);
    ASSERT_TRUE(backend.OpenOn(stream));
    Bytes data = RandomBytes(uint32_t(c.count), size_t(c.count));
    EXPECT_EQ(stream.Write(data.data(), c.count), c.count);
    EXPECT_EQ(backend.writeSizes, c.whileOpen);
    EXPECT_TRUE(stream.Close());
    EXPECT_EQ(backend.writeSizes, c.afterClose);
    EXPECT_EQ(backend.data, data);
  }
}

TEST(StreamBytes, GrowingMemoryAsksForOneAndAHalfTimesTheNeed) {
  BYTE* block = static_cast<BYTE*>(::operator new(1000));
  std::memset(block, 'a', 1000);
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(block, 1000, 1));
  Bytes more(40000, 'b');
  EXPECT_EQ(stream.Write(more.data(), 40000), 40000);
  EXPECT_EQ(g_lastNoThrowSize.load(), 61500u + 4);
  int fill = 0;
  BYTE* grown = static_cast<BYTE*>(stream.GetData(&fill));
  EXPECT_EQ(fill, 41000);
  EXPECT_EQ(grown[999], 'a');
  EXPECT_EQ(grown[1000], 'b');
  EXPECT_TRUE(stream.Close());
  ::operator delete(grown);

  block = static_cast<BYTE*>(::operator new(10));
  ASSERT_TRUE(stream.OpenMemory(block, 10, 1));
  EXPECT_EQ(stream.Write(more.data(), 100), 100);
  EXPECT_EQ(g_lastNoThrowSize.load(), 32768u + 4);
  grown = static_cast<BYTE*>(stream.GetData(&fill));
  EXPECT_EQ(fill, 110);
  stream.Close();
  ::operator delete(grown);
}

TEST(StreamBytes, NewMemoryBlocksEndInTwoZeroBytes) {
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  ASSERT_EQ(stream.Write("hello", 5), 5);
  int fill = 0;
  BYTE* block = static_cast<BYTE*>(stream.GetData(&fill));
  EXPECT_EQ(fill, 5);
  EXPECT_EQ(0, std::memcmp(block, "hello\0\0", 7));
  EXPECT_TRUE(stream.Close());
  ::operator delete(block);
}

TEST(StreamBytes, FixedMemoryTakesWhatFitsThenFails) {
  BYTE block[8] = {};
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(block, 8, 3));
  EXPECT_EQ(stream.Write("abcde", 5), 5);
  EXPECT_EQ(stream.Write("fghij", 5), -1);
  EXPECT_EQ(0, std::memcmp(block, "abcdefgh", 8));
  EXPECT_EQ(stream.Tell(), 8);
  EXPECT_EQ(stream.Seek(100, 0), 8);  // clamped to the data
  EXPECT_EQ(stream.Tell(), 8);
  EXPECT_EQ(stream.Seek(-100, 1), 8);
  EXPECT_EQ(stream.Tell(), 0);
  EXPECT_EQ(stream.GetData(), block);
  EXPECT_FALSE(stream.Flush());  // memory streams have nothing to hand on
  EXPECT_TRUE(stream.Close());
}

TEST(StreamBytes, FailedAllocationsFailTheOperation) {
  CFileStream stream;
  g_failNoThrow = true;
  EXPECT_FALSE(stream.OpenMemory(nullptr, 0, 2));
  VectorBackend backend;
  EXPECT_FALSE(backend.OpenOn(stream));
  g_failNoThrow = false;
  ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  ASSERT_EQ(stream.Write("abc", 3), 3);
  g_failNoThrow = true;
  Bytes big(40000, 'x');
  EXPECT_EQ(stream.Write(big.data(), 40000), -1);
  g_failNoThrow = false;
  int fill = 0;
  void* block = stream.GetData(&fill);
  EXPECT_EQ(fill, 3);  // nothing lost
  stream.Close();
  ::operator delete(block);
}

TEST(StreamBytes, AFailedCodecInstallLosesNoBlock) {
  CFileStream stream;
  g_failNoThrowCall = 2;  // the new block comes, the converted buffer does not
  EXPECT_FALSE(stream.OpenMemory(nullptr, 0, 2, &StreamCodec8Over16));
  EXPECT_FALSE(stream.IsOpen());
  g_failNoThrowCall = 0;  // the sanitizer build reports a lost block
}

TEST(StreamBytes, BufferSizesAndThresholdsFollowTheRules) {
  // The refill threshold shows in how much Fill makes available after a
  // slide: capacity 512 (from 100) has 256, 16384 has 8192, 32768 has 4096.
  struct Case {
    int size, capacity, readFirst, fillResult;
  } cases[] = {
      {100, 512, 300, 468},
      {16384, 16384, 9000, 15576},
      {32768, 32768, 29000, 7864},
  };
  for (const Case& c : cases) {
    VectorBackend backend;
    CFileStream stream(c.size);
    EXPECT_EQ(stream.SetBufferSize(c.size), c.capacity);
    backend.data = RandomBytes(3, 200000);
    ASSERT_TRUE(backend.OpenOn(stream, false, true));
    Bytes sink(size_t(c.readFirst));
    ASSERT_EQ(stream.Read(sink.data(), c.readFirst), c.readFirst);
    EXPECT_EQ(stream.Fill(100000), c.fillResult) << c.size;
    const unsigned char* data = nullptr;
    EXPECT_EQ(stream.Peek(0, &data, 1), -1);  // callback streams show no buffer
    EXPECT_EQ(stream.Read(sink.data(), 10), 10);
    EXPECT_EQ(0, std::memcmp(sink.data(), backend.data.data() + c.readFirst, 10));
  }
  CFileStream stream(1000);
  EXPECT_EQ(stream.SetBufferSize(-5), 1000);
  EXPECT_EQ(stream.SetBufferSize(100), 32768);
  EXPECT_EQ(stream.SetBufferSize(0), 512);
  ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  EXPECT_EQ(stream.SetBufferSize(4096), -1);  // not while open
  ::operator delete(stream.GetData());
  EXPECT_TRUE(stream.Close());
  EXPECT_FALSE(stream.Close());  // already closed
  EXPECT_EQ(stream.SetBufferSize(4096), 32768);  // Close left 32768
}

TEST(StreamBytes, SeekReturnsThePositionBeforeTheMove) {
  ScratchDir dir;
  std::string path = dir.File("seek");
  WriteWholeFile(path, RandomBytes(1, 100));
  CFileStream stream(512);
  ASSERT_TRUE(stream.Open(path.c_str()));
  EXPECT_EQ(stream.Seek(10, 0), 0);
  EXPECT_EQ(stream.Tell(), 10);
  EXPECT_EQ(stream.Seek(-4, 2), 10);
  EXPECT_EQ(stream.Tell(), 96);
  EXPECT_EQ(stream.Seek(-200, 1), -1);  // before the start: refused, nothing moves
  EXPECT_EQ(stream.Tell(), 96);
  EXPECT_EQ(stream.GetSize(), 100);
  EXPECT_EQ(stream.Write("x", 1), -1);  // read-only
  EXPECT_EQ(stream.Flush(), false);
}

TEST(StreamBytes, ReadsWithoutSeekCountTheSourcePosition) {
  VectorBackend backend;
  backend.data = RandomBytes(2, 5000);
  backend.maxChunk = 0;
  CFileStream stream(512);
  ASSERT_TRUE(backend.OpenOn(stream, false, false));
  Bytes sink(5000);
  EXPECT_EQ(stream.Read(sink.data(), 1234), 1234);
  EXPECT_EQ(stream.Tell(), 1234);
  EXPECT_EQ(stream.Seek(0, 0), -1);
  EXPECT_EQ(stream.GetSize(), -1);
  EXPECT_EQ(stream.Read(sink.data(), 5000), 5000 - 1234);
  EXPECT_TRUE(stream.IsEof());
  EXPECT_EQ(stream.Tell(), 5000);
  EXPECT_EQ(stream.ReadU16(), 0xFFFFFFFFu);
}

TEST(StreamBytes, PositionsBeyondTwoGibibytesFailInsteadOfWrapping) {
  ScratchDir dir;
  std::string path = dir.File("sparse");
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t(3) << 30), 0);  // a 3 GiB sparse file
  const Bytes marks = RandomBytes(9, 1100);       // bytes on both sides of 2 GiB
  ASSERT_EQ(::pwrite(fd, marks.data(), marks.size(), 2147483000), ssize_t(marks.size()));
  ::close(fd);
  CFileStream stream(512);
  ASSERT_TRUE(stream.Open(path.c_str()));
  EXPECT_EQ(stream.GetSize(), -1);
  EXPECT_EQ(stream.Seek(0, 2), -1);
  EXPECT_EQ(stream.Tell(), 0);
  EXPECT_EQ(stream.Seek(2147483000, 0), 0);
  EXPECT_EQ(stream.Seek(1000, 1), -1);
  EXPECT_EQ(stream.Tell(), 2147483000);
  BYTE sink[1000];
  EXPECT_EQ(stream.Read(sink, 1000), 1000);  // the bytes are there ...
  EXPECT_EQ(stream.Tell(), -1);              // ... but their position is not representable
  EXPECT_TRUE(std::equal(sink, sink + 1000, marks.begin()));
  EXPECT_EQ(stream.Seek(0, 1), -1);
  EXPECT_EQ(stream.Seek(1000, 1), -1);
  // The back-end refused both moves and the read-ahead stayed: reading goes
  // on where it stopped.
  BYTE next[100];
  EXPECT_EQ(stream.Read(next, 100), 100);
  EXPECT_TRUE(std::equal(next, next + 100, marks.begin() + 1000));
  // A move the back-end makes still happens, though no previous position can
  // be reported.
  EXPECT_EQ(stream.Seek(-600, 1), -1);
  EXPECT_EQ(stream.Tell(), 2147483500);
  EXPECT_EQ(stream.Read(next, 100), 100);
  EXPECT_TRUE(std::equal(next, next + 100, marks.begin() + 500));
  CFileStream memory;
  EXPECT_FALSE(memory.OpenMemory(sink, 0x80000000u, 0));
}

}  // namespace
