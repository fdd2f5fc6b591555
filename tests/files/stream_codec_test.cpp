// The two text codecs against iconv, and round trips of odd counts across
// the codecs' 1024-byte blocks on files, caller back-ends and memory.
#include <gtest/gtest.h>
#include <iconv.h>

#include "stream_test_util.h"

namespace {

Bytes Iconv(const char* to, const char* from, const Bytes& in) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, iconv_t(-1));
  Bytes out(in.size() * 4 + 16);
  char* inAt = reinterpret_cast<char*>(const_cast<uint8_t*>(in.data()));
  char* outAt = reinterpret_cast<char*>(out.data());
  size_t inLeft = in.size(), outLeft = out.size();
  EXPECT_NE(iconv(cd, &inAt, &inLeft, &outAt, &outLeft), size_t(-1));
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// Writes `data` in chunks of varying odd and even sizes.
void WriteInChunks(CFileStream& stream, const Bytes& data, uint32_t seed) {
  size_t at = 0;
  while (at < data.size()) {
    size_t n = std::min(data.size() - at, size_t(1 + (seed = seed * 1103515245u + 12345) % 1500));
    ASSERT_EQ(stream.Write(data.data() + at, int(n)), int(n));
    at += n;
  }
}

Bytes ReadInChunks(CFileStream& stream, size_t total, uint32_t seed) {
  Bytes out;
  Bytes chunk(2000);
  while (out.size() < total) {
    int n = int(1 + (seed = seed * 1103515245u + 12345) % 1500);
    int got = stream.Read(chunk.data(), n);
    if (got <= 0) break;
    out.insert(out.end(), chunk.begin(), chunk.begin() + got);
  }
  return out;
}

TEST(StreamCodec, BytesOverUnitsStoreWhatIconvMakesOfLatin1) {
  ScratchDir dir;
  for (size_t count : {size_t(1), size_t(511), size_t(512), size_t(1023), size_t(3001), size_t(70001)}) {
    Bytes data = RandomBytes(uint32_t(count), count);
    Bytes utf16 = Iconv("UTF-16LE", "LATIN1", data);
    std::string path = dir.File("narrow" + std::to_string(count));
    CFileStream stream(512);
    ASSERT_TRUE(stream.OpenWithCodec(path.c_str(), STREAM_MODE_CREATE, false, &StreamCodec8Over16));
    WriteInChunks(stream, data, uint32_t(count));
    EXPECT_EQ(stream.Tell(), int(count));
    EXPECT_EQ(stream.GetSize(), int(2 * count));  // the storage's size
    ASSERT_TRUE(stream.Close());
    EXPECT_EQ(ReadWholeFile(path), utf16) << count;
    // And back through the codec.
    ASSERT_TRUE(stream.OpenWithCodec(path.c_str(), STREAM_MODE_READ, false, &StreamCodec8Over16));
    EXPECT_EQ(ReadInChunks(stream, count, 77), data);
    EXPECT_EQ(stream.Seek(int(count / 2), 0), int(count));
    EXPECT_EQ(stream.ReadU8(), data[count / 2]);
    // The same on a memory block.
    CFileStream memory;
    ASSERT_TRUE(memory.OpenMemory(nullptr, 0, 2, &StreamCodec8Over16));
    WriteInChunks(memory, data, 5);
    int fill = 0;
    BYTE* block = static_cast<BYTE*>(memory.GetData(&fill));
    EXPECT_EQ(Bytes(block, block + fill), utf16);
    EXPECT_EQ(memory.GetSize(), int(utf16.size()));
    ASSERT_TRUE(memory.Close());
    ::operator delete(block);
  }
}

TEST(StreamCodec, UnitsOverBytesStoreLowBytesAndMarkWideOnes) {
  // Units as the user writes them, and the bytes they become.
  const Bytes user = {'A', 0, 0xE4, 0, 0x20, 0xAC, 'z', 0, 0xFF, 0x00, 0x01, 0x01};
  const Bytes stored = {'A', 0xE4, 0xFF, 'z', 0xFF, 0xFF};
  CFileStream memory;
  ASSERT_TRUE(memory.OpenMemory(nullptr, 0, 2, &StreamCodec16Over8));
  for (size_t i = 0; i < user.size(); i += 3) {  // units split between calls
    ASSERT_EQ(memory.Write(user.data() + i, 3), 3);
  }
  int fill = 0;
  BYTE* block = static_cast<BYTE*>(memory.GetData(&fill));
  EXPECT_EQ(Bytes(block, block + fill), stored);
  memory.Close();
  ::operator delete(block);
}

TEST(StreamCodec, BothCodecsRoundTripOddCountsAcrossBlocks) {
  ScratchDir dir;
  for (const StreamCodec* codec : {&StreamCodec8Over16, &StreamCodec16Over8}) {
    const bool wideUser = codec == &StreamCodec16Over8;
    for (size_t count : {size_t(1023), size_t(1025), size_t(2047), size_t(2049), size_t(5001)}) {
      Bytes data = RandomBytes(uint32_t(count * 3), count);
      if (wideUser) {  // whole units must come back: high bytes 0
        for (size_t i = 1; i < data.size(); i += 2) data[i] = 0;
      }
      std::string path = dir.File("round" + std::to_string(count));
      CFileStream stream(512);
      ASSERT_TRUE(stream.OpenWithCodec(path.c_str(), STREAM_MODE_CREATE, false, codec));
      WriteInChunks(stream, data, uint32_t(count));
      ASSERT_TRUE(stream.Close());
      size_t storedSize = wideUser ? (count + 1) / 2 : 2 * count;
      EXPECT_EQ(ReadWholeFile(path).size(), storedSize);
      ASSERT_TRUE(stream.OpenWithCodec(path.c_str(), STREAM_MODE_READ, false, codec));
      Bytes back = ReadInChunks(stream, count, uint32_t(count) + 1);
      if (wideUser && count % 2 == 1) back.resize(std::min(back.size(), count));  // the owed zero
      EXPECT_EQ(back, data) << count << (wideUser ? " units over bytes" : " bytes over units");
      stream.Close();

      // The stored form read back through a codec on a read-only block.
      const Bytes original = ReadWholeFile(path);
      Bytes storedBytes = original;
      CFileStream memory;
      ASSERT_TRUE(memory.OpenMemory(storedBytes.data(), unsigned(storedBytes.size()), 0, codec));
      Bytes fromMemory = ReadInChunks(memory, count + 1, 9);
      if (wideUser && count % 2 == 1) fromMemory.resize(count);
      EXPECT_EQ(fromMemory, data);
      EXPECT_EQ(memory.GetSize(), int(storedSize));  // read-only: the original size
      EXPECT_EQ(storedBytes, original);  // never written
    }
  }
}

TEST(StreamCodec, AFixedBlockTakesOnlyWhatItHolds) {
  BYTE block[10];
  std::memset(block, '.', sizeof block);
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(block, sizeof block, 3, &StreamCodec8Over16));
  EXPECT_EQ(stream.Write("abc", 3), 3);
  EXPECT_EQ(stream.Write("defgh", 5), -1);  // 5 units fit in 10 bytes
  int fill = 0;
  EXPECT_EQ(stream.GetData(&fill), block);
  EXPECT_EQ(fill, 10);
  EXPECT_EQ(0, std::memcmp(block, "a\0b\0c\0d\0e\0", 10));
  EXPECT_TRUE(stream.Close());
}

}  // namespace

namespace {

TEST(StreamCodec, WidePathsOpenWithACodecToo) {
  ScratchDir dir;
  std::u16string path = std::u16string(dir.path().begin(), dir.path().end()) + u"/\u00FCber.txt";
  CFileStream stream(512);
  ASSERT_TRUE(stream.OpenWithCodec(path.c_str(), STREAM_MODE_CREATE, false, &StreamCodec16Over8));
  EXPECT_EQ(stream.PrintfW(u"h\u00E9\u20AC"), 3);  // the euro sign has no byte: 0xFF
  ASSERT_TRUE(stream.Close());
  EXPECT_EQ(ReadWholeFile(dir.path() + "/\xC3\xBC" "ber.txt"), (Bytes{'h', 0xE9, 0xFF}));
  const char16_t lone[] = {u'/', 0xD801, 0};
  std::u16string bad = std::u16string(dir.path().begin(), dir.path().end()) + lone;
  EXPECT_FALSE(stream.OpenWithCodec(bad.c_str(), STREAM_MODE_CREATE, false, &StreamCodec16Over8));
}

}  // namespace
