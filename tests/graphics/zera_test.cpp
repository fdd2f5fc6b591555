// ZERA sequence files: exact header and record bytes, the CRC against its
// published check value, round trips at every depth and image count, the
// block carried in images, timing, and every kind of damaged file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/formats/zera_reader.h"
#include "graphics/formats/zera_writer.h"
#include "graphics/globals.h"
#include "graphics/save.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;
using savetest::U16At;
using savetest::U32At;
using savetest::WriteBytes;

const char kDataError[] = "Falsche Bild-Daten !";
const char kCorrupt[] = "Besch\344digte DOZ-Datei !";
const char kWriteError[] = "Fehler beim Schreiben DOZ-Datei !";
const char kOpenError[] = "Fehler beim \326ffnen der DOZ-Datei !";

// CRC-16/XMODEM bit by bit, as the format's description gives it.
uint32_t BitwiseCrc(const std::vector<BYTE>& bytes, size_t from = 0) {
  uint32_t crc = 0;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= uint32_t(bytes[i]) << 8;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) != 0 ? ((crc << 1) ^ 0x1021) & 0xFFFF : crc << 1;
  }
  return crc;
}

// The file's CRC, recomputed over the file with its CRC field zeroed.
uint32_t FileCrc(std::vector<BYTE> file) {
  file[10] = file[11] = 0;
  return BitwiseCrc(file);
}

std::vector<BYTE> SaveOne(CTlsWriter& writer, const CGraphicsImage& image) {
  ScratchDir dir;
  writer.Save((dir / "a.zera").c_str(), image);
  return ReadBytes(dir / "a.zera");
}

std::vector<BYTE> SaveMany(CTlsWriter& writer, const std::vector<CGraphicsImage>& images,
                           const DWORD (*blocks)[16] = nullptr, const DWORD* times = nullptr,
                           const BYTE* nexts = nullptr) {
  ScratchDir dir;
  writer.SaveSequence((dir / "s.zera").c_str(), images.data(), DWORD(images.size()), blocks,
                      times, nexts);
  return ReadBytes(dir / "s.zera");
}

// Reads image `index` of `file` through a memory stream; the exception text,
// or "" on success.
std::string ReadFrom(std::vector<BYTE> file, CGraphicsImage& image, DWORD index,
                     CTlsReader* reader = nullptr) {
  CTlsReader own;
  CTlsReader& r = reader != nullptr ? *reader : own;
  CFileStream stream;
  BYTE dummy = 0;
  if (!stream.OpenMemory(file.empty() ? &dummy : file.data(), unsigned(file.size()),
                         STREAM_MODE_READ)) {
    return "open failed";
  }
  try {
    r.ReadImage(stream, image, index);
  } catch (const EGraphicsException& e) {
    return std::string(e.text);
  }
  return "";
}

template <class Class>
std::string Thrown(const std::function<void()>& body) {
  try {
    body();
  } catch (const Class& e) {
    return e.text;
  }
  return "nothing thrown";
}

TEST(ZeraCrc, MatchesThePublishedCheckValue) {
  const char text[] = "123456789";
  EXPECT_EQ(Crc16Update(text, 9, 0), 0x31C3);
  EXPECT_EQ(Crc16Update(text + 4, 5, Crc16Update(text, 4, 0)), 0x31C3);
  EXPECT_EQ(Crc16Update(text, 0, 0x1234), 0x1234);
  for (int byte = 0; byte < 256; ++byte) {
    const std::vector<BYTE> one = {BYTE(byte)};
    ASSERT_EQ(Crc16Update(one.data(), 1, 0), BitwiseCrc(one)) << byte;
  }
}

TEST(ZeraWriter, SingleImagesHaveTheExactLayout) {
  struct Case {
    int bpp, width, height;
    BYTE bytesPerPixel;
    size_t size;
  };
  const Case cases[] = {
      {24, 10, 10, 4, 16 + 64 + 400},  // rows of 40 bytes
      {8, 10, 2, 1, 16 + 64 + 24},     // rows of 10 bytes padded to 12
      {1, 5, 1, 1, 16 + 64 + 8},
      {32, 1, 3, 4, 16 + 64 + 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bpp);
    CGraphicsImage image;
    savetest::MakeRandomImage(image, c.bpp, c.width, c.height, 3);
    CTlsWriter writer;
    EXPECT_EQ(writer.SetUserValue(0xA1B2C3D4), 0u);
    const std::vector<BYTE> file = SaveOne(writer, image);
    ASSERT_EQ(file.size(), c.size);
    const std::vector<BYTE> header(file.begin(), file.begin() + 10);
    EXPECT_EQ(header, (std::vector<BYTE>{'Z', 'E', 'R', 'A', BYTE(c.width), 0, BYTE(c.height), 0,
                                         c.bytesPerPixel, 0}));
    EXPECT_EQ(U16At(file, 10), FileCrc(file));
    EXPECT_EQ(U32At(file, 12), 0xA1B2C3D4u);
    // Row padding is zero.
    const size_t row = (size_t(c.width) * c.bytesPerPixel + 3) / 4 * 4;
    for (int y = 0; y < c.height; ++y)
      for (size_t x = size_t(c.width) * c.bytesPerPixel; x < row; ++x)
        EXPECT_EQ(file[80 + y * row + x], 0) << y << " " << x;
  }
}

TEST(ZeraWriter, PixelsTakeTheirOneAndFourByteForms) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 4, 1, 0, nullptr));
  const DWORD pixels[] = {0x8FC8641E, 0xF0C8641E, 0x003F3F3F, 0x7F404040};
  for (int x = 0; x < 4; ++x) image.PixelSetFunc(image.Row(0), x, pixels[x]);
  CTlsWriter writer;
  writer.SetBitsPerPixel(8);
  std::vector<BYTE> file = SaveOne(writer, image);
  ASSERT_EQ(file.size(), 84u);
  // (200, 100, 30): red and green; attribute bits 0-3 and 7 of the top byte.
  EXPECT_EQ(std::vector<BYTE>(file.begin() + 80, file.end()),
            (std::vector<BYTE>{0xEF, 0xE0, 0x00, 0x7F}));
  EXPECT_EQ(writer.SetBitsPerPixel(32), 32);
  file = SaveOne(writer, image);
  ASSERT_EQ(file.size(), 96u);
  EXPECT_EQ(U32At(file, 80), 0x8FC8641Eu);
  EXPECT_EQ(U32At(file, 84), 0x80C8641Eu);  // bits 4-6 of the top byte cleared
  EXPECT_EQ(U32At(file, 88), 0x003F3F3Fu);
  EXPECT_EQ(U32At(file, 92), 0x0F404040u);
  EXPECT_EQ(writer.SetBitsPerPixel(16), 0);

  // Bilevel images: 0x70 for a colour with any component from 64 up.
  CGraphicsImage bilevel;
  ASSERT_TRUE(bilevel.Create(1, 3, 1, 0, nullptr));
  bilevel.SetPaletteEntry(0, 0x81000040);
  bilevel.SetPaletteEntry(1, 0x02003F00);
  for (int x : {0, 2}) bilevel.PixelSetFunc(bilevel.Row(0), x, 1);
  CTlsWriter auto8;
  file = SaveOne(auto8, bilevel);
  EXPECT_EQ(std::vector<BYTE>(file.begin() + 80, file.begin() + 83),
            (std::vector<BYTE>{0x02, 0xF1, 0x02}));
}

TEST(ZeraWriter, SequenceTrailersCarryTimesAndNextIndices) {
  std::vector<CGraphicsImage> images(3);
  for (auto& image : images) savetest::MakeRandomImage(image, 8, 3, 2, 5);
  const size_t record = 64 + 2 * 4 + 4;
  auto trailers = [&](const std::vector<BYTE>& file) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < 3; ++i) {
      const size_t at = 16 + (i + 1) * record - 4;
      out.insert(out.end(), {U16At(file, at), file[at + 2], file[at + 3]});
    }
    return out;
  };
  CTlsWriter none;
  std::vector<BYTE> file = SaveMany(none, images);
  ASSERT_EQ(file.size(), 16 + 3 * record);
  EXPECT_EQ(file[9], 2);
  EXPECT_EQ(U16At(file, 10), FileCrc(file));
  EXPECT_EQ(trailers(file), (std::vector<uint32_t>{5000, 1, 0, 5000, 2, 0, 5000, 0, 0}));

  const DWORD times[] = {100, 70000, 0};
  const BYTE nexts[] = {2, 0, 1};
  CTlsWriter timed;
  EXPECT_EQ(trailers(SaveMany(timed, images, nullptr, times)),
            (std::vector<uint32_t>{100, 1, 0, 65535, 2, 0, 0, 0, 0}));
  CTlsWriter given;
  EXPECT_EQ(trailers(SaveMany(given, images, nullptr, times, nexts)),
            (std::vector<uint32_t>{100, 2, 0, 65535, 0, 0, 0, 1, 0}));
  CTlsWriter nextOnly;
  EXPECT_EQ(trailers(SaveMany(nextOnly, images, nullptr, nullptr, nexts)),
            (std::vector<uint32_t>{5000, 2, 0, 5000, 0, 0, 5000, 1, 0}));
}

TEST(ZeraWriter, RefusesImagesItCannotStore) {
  ScratchDir dir;
  const std::string path = dir / "r.zera";
  CGraphicsImage small, other, empty, wide;
  ASSERT_TRUE(small.Create(8, 4, 4, 0, nullptr));
  ASSERT_TRUE(other.Create(8, 4, 5, 0, nullptr));
  ASSERT_TRUE(wide.Create(8, 4097, 1, 0, nullptr));
  std::vector<CGraphicsImage> many(256);
  for (auto& image : many) ASSERT_TRUE(image.Create(8, 1, 1, 0, nullptr));
  const CGraphicsImage mixed[] = {small, other};
  CTlsWriter w;
  EXPECT_EQ(Thrown<ETlsDataError>([&] { w.SaveSequence(path.c_str(), many.data(), 256, nullptr, nullptr, nullptr); }), kDataError);
  EXPECT_EQ(Thrown<ETlsDataError>([&] { w.SaveSequence(path.c_str(), many.data(), 0, nullptr, nullptr, nullptr); }), kDataError);
  EXPECT_EQ(Thrown<ETlsDataError>([&] { w.SaveSequence(path.c_str(), mixed, 2, nullptr, nullptr, nullptr); }), kDataError);
  EXPECT_EQ(Thrown<ETlsDataError>([&] { w.Save(path.c_str(), empty); }), kDataError);
  EXPECT_EQ(Thrown<ETlsDataError>([&] { w.Save(path.c_str(), wide); }), kDataError);
  CTlsWriter timed;
  timed.SetTiming(70000, 2);
  EXPECT_EQ(timed.displayTime, 65535);
  EXPECT_EQ(Thrown<ETlsDataError>([&] { timed.SaveSequence(path.c_str(), many.data(), 2, nullptr, nullptr, nullptr); }), kDataError);
  // A file that would pass about 1920 MiB: 64 MiB images, 120 of them.
  CGraphicsImage big;
  ASSERT_TRUE(big.Create(32, 4096, 4096, IMAGE_NO_FILL, nullptr));
  CTlsWriter huge;
  savetest::FailingStream sink(1 << 20);
  EXPECT_EQ(Thrown<ETlsDataError>([&] { huge.WriteImage(sink.stream(), big, 0, 120); }), kDataError);
  EXPECT_TRUE(sink.taken().empty());
  // Direct calls with counts the header cannot hold, or out of order.
  for (const auto& call : {std::pair<DWORD, DWORD>{0, 0}, {0, 256}, {3, 3}, {1, 2}}) {
    const DWORD index = call.first, count = call.second;
    savetest::FailingStream sink(1 << 20);
    CTlsWriter direct;
    EXPECT_EQ(Thrown<ETlsDataError>([&] { direct.WriteImage(sink.stream(), small, index, count); }),
              kDataError)
        << index << " of " << count;
    EXPECT_TRUE(sink.taken().empty());
  }
  // 255 images of one pixel are fine.
  CTlsWriter full;
  EXPECT_EQ(SaveMany(full, std::vector<CGraphicsImage>(many.begin(), many.begin() + 255)).size(),
            16 + 255 * (64 + 4 + 4u));
  EXPECT_TRUE(dir.Names().empty());
}

// Direct WriteImage calls out of order are refused without touching the
// stream; the file the right calls then finish is the sequence's, byte for
// byte, and every image reads back.
TEST(ZeraWriter, DirectCallsRefuseEveryIndexButTheNext) {
  std::vector<CGraphicsImage> images(3);
  for (size_t i = 0; i < images.size(); ++i)
    savetest::MakeRandomImage(images[i], 24, 4, 3, uint32_t(i + 1));
  CTlsWriter reference;
  const std::vector<BYTE> expected = SaveMany(reference, images);
  struct Call {
    DWORD index;
    bool accepted;
  };
  const std::vector<std::vector<Call>> orders = {
      {{0, true}, {2, false}, {1, true}, {2, true}},                        // a hole
      {{0, true}, {1, true}, {1, false}, {0, true}, {1, true}, {2, true}},  // twice; 0 restarts
      {{1, false}, {2, false}, {0, true}, {1, true}, {2, true}, {1, false}, {2, false}},
  };
  for (size_t o = 0; o < orders.size(); ++o) {
    SCOPED_TRACE(o);
    ScratchDir dir;
    CTlsWriter writer;
    {
      CFileStream file;
      ASSERT_TRUE(file.Open((dir / "d.zera").c_str(), STREAM_MODE_CREATE, false));
      for (const Call& call : orders[o]) {
        const int before = file.Tell();
        const std::string text = Thrown<ETlsDataError>(
            [&] { writer.WriteImage(file, images[call.index], call.index, 3); });
        if (call.accepted) {
          EXPECT_EQ(text, "nothing thrown") << call.index;
        } else {
          EXPECT_EQ(text, kDataError) << call.index;
          EXPECT_EQ(file.Tell(), before) << call.index;
        }
        ASSERT_GE(file.Seek(0, 0), 0);
      }
      ASSERT_TRUE(file.Close());
    }
    const std::vector<BYTE> written = ReadBytes(dir / "d.zera");
    EXPECT_EQ(written, expected);
    for (DWORD i = 0; i < 3; ++i) {
      CGraphicsImage back;
      EXPECT_EQ(ReadFrom(written, back, i), "") << i;
    }
  }
}

// The expected 32-bit value of pixel i after a round trip.
DWORD RoundTripped(const CGraphicsImage& image, int i, const DWORD block[16], bool oneByte) {
  const DWORD value = image.RowCopyTo32Func(image.Row(i / image.width), &image)[i % image.width];
  if (oneByte) {
    if (image.bpp == 1) return ((value & 0xC0C0C0) != 0 ? 0x70 : 0) | (value >> 24 & 0x8F);
    return ((value >> 16 & 255) >= 64 ? 0x40 : 0) | ((value >> 8 & 255) >= 64 ? 0x20 : 0) |
           ((value & 255) >= 64 ? 0x10 : 0) | (value >> 24 & 0x8F);
  }
  DWORD bits = value >> 28 & 7;
  if (i < 176) bits = block[i & 15] >> (i / 16 * 3) & 7;
  else if (i < 198) bits = DWORD(i & 7);
  else bits = 0;
  return (value & ~0x70000000u) | bits << 28;
}

TEST(ZeraReader, EveryDepthAndImageCountRoundTrips) {
  std::mt19937 rng(9);
  for (int bpp : kAllFormats) {
    for (int bits : {0, 8, 32}) {
      for (DWORD count : {1u, 2u, 4u}) {
        SCOPED_TRACE(testing::Message() << bpp << " bpp, setting " << bits << ", " << count);
        std::vector<CGraphicsImage> images(count);
        std::vector<std::array<DWORD, 16>> blocks(count);
        for (DWORD i = 0; i < count; ++i) {
          savetest::MakeRandomImage(images[i], bpp, 21, 11, rng());
          for (DWORD& word : blocks[i]) word = DWORD(rng());
        }
        const DWORD times[] = {1, 2, 3, 4};
        CTlsWriter writer;
        writer.SetBitsPerPixel(bits);
        writer.SetUserValue(77);
        const std::vector<BYTE> file = SaveMany(
            writer, images, reinterpret_cast<const DWORD(*)[16]>(blocks.data()), times);
        const bool oneByte = bits == 8 || (bits == 0 && bpp <= 8);
        for (DWORD i = 0; i < count; ++i) {
          CGraphicsImage back;
          CTlsReader reader;
          ASSERT_EQ(ReadFrom(file, back, i, &reader), "");
          ASSERT_EQ(back.bpp, oneByte ? 8 : 32);
          ASSERT_EQ(back.width, 21);
          ASSERT_EQ(back.height, 11);
          EXPECT_EQ(reader.GetUserValue(), 77u);
          DWORD block[16];
          reader.GetBlock(block);
          EXPECT_EQ(std::vector<DWORD>(block, block + 16),
                    std::vector<DWORD>(blocks[i].begin(), blocks[i].end()));
          WORD time = 0;
          BYTE next = 0, flags = 9;
          reader.GetTiming(&time, &next, &flags);
          EXPECT_EQ(time, count > 1 ? i + 1 : 0);
          EXPECT_EQ(next, count > 1 ? (i + 1) % count : 0);
          EXPECT_EQ(flags, 0);
          for (int p = 0; p < 21 * 11; ++p) {
            const DWORD got = back.PixelGetFunc(back.Row(p / 21), p % 21);
            ASSERT_EQ(got, RoundTripped(images[i], p, blocks[i].data(), oneByte)) << p;
          }
          if (oneByte) {
            for (int e = 0; e < 256; ++e) {
              const DWORD expected = (e & 0x40 ? 0xFF0000u : 0) | (e & 0x20 ? 0xFF00u : 0) |
                                     (e & 0x10 ? 0xFFu : 0) | DWORD(e & 0x8F) << 24 |
                                     (e < 176 ? (blocks[i][e & 15] >> (e / 16 * 3) & 7) << 28 : 0);
              BYTE r, g, b, a;
              back.GetPaletteEntryRGBA(e, &r, &g, &b, &a);
              ASSERT_EQ(DWORD(a) << 24 | DWORD(r) << 16 | DWORD(g) << 8 | b, expected) << e;
            }
          }
          // Writing the image read gives back the same block from the image itself.
          CTlsWriter again;
          again.SetBitsPerPixel(oneByte ? 8 : 32);
          const std::vector<BYTE> second = SaveOne(again, back);
          EXPECT_EQ(std::vector<DWORD>(again.block, again.block + 16),
                    std::vector<DWORD>(blocks[i].begin(), blocks[i].end()));
          ASSERT_EQ(second.size(), 16 + 64 + (file.size() - 16) / count - (count > 1 ? 4 : 0) - 64);
        }
        CGraphicsImage none;
        EXPECT_EQ(ReadFrom(file, none, count), "Das Bild wurde in der Sequenz nicht gefunden !");
      }
    }
  }
}

TEST(ZeraWriter, BlockComesFromThePaletteOrThePixels) {
  std::mt19937 rng(4);
  DWORD block[16];
  for (DWORD& word : block) word = DWORD(rng());
  CGraphicsImage palette;
  ASSERT_TRUE(palette.Create(8, 2, 2, 0, nullptr));
  for (int i = 0; i < 256; ++i) {
    const DWORD top = DWORD(i & 0x8F) | (i < 176 ? (block[i & 15] >> (i / 16 * 3) & 7) << 4 : 0x70);
    palette.SetPaletteEntryRGBA(i, BYTE(i), 0, 0, BYTE(top));
  }
  CTlsWriter writer;
  std::vector<BYTE> file = SaveOne(writer, palette);
  for (int w = 0; w < 16; ++w) EXPECT_EQ(U32At(file, 16 + 4 * w), block[w]) << w;
  // One entry whose attribute bits do not match its index: no block.
  palette.SetPaletteEntryRGBA(100, 0, 0, 0, BYTE(0x01));
  file = SaveOne(writer, palette);
  for (int w = 0; w < 16; ++w) EXPECT_EQ(U32At(file, 16 + 4 * w), 0u) << w;

  CGraphicsImage direct;
  savetest::MakeRandomImage(direct, 32, 20, 10, 6);
  for (int i = 0; i < 198; ++i) {
    BYTE* row = direct.Row(i / 20);
    const DWORD bits = i < 176 ? block[i & 15] >> (i / 16 * 3) & 7 : DWORD(i & 7);
    direct.PixelSetFunc(row, i % 20, (direct.PixelGetFunc(row, i % 20) & ~0x70000000u) | bits << 28);
  }
  file = SaveOne(writer, direct);
  for (int w = 0; w < 16; ++w) EXPECT_EQ(U32At(file, 16 + 4 * w), block[w]) << w;
  // A broken signature: no block. Too few pixels for the signature: none either.
  direct.PixelSetFunc(direct.Row(9), 17, direct.PixelGetFunc(direct.Row(9), 17) ^ 0x10000000);
  file = SaveOne(writer, direct);
  for (int w = 0; w < 16; ++w) EXPECT_EQ(U32At(file, 16 + 4 * w), 0u) << w;
}

TEST(ZeraReader, DamagedFilesGiveCleanErrors) {
  std::vector<CGraphicsImage> images(2);
  for (auto& image : images) savetest::MakeRandomImage(image, 24, 5, 3, 8);
  CTlsWriter writer;
  const std::vector<BYTE> file = SaveMany(writer, images);
  CGraphicsImage kept;
  ASSERT_TRUE(kept.Create(8, 2, 2, 0x33, nullptr));
  const std::vector<BYTE> keptPixels = PixelBytes(kept);
  auto expectError = [&](const std::vector<BYTE>& bytes, DWORD index, const std::string& text) {
    EXPECT_EQ(ReadFrom(bytes, kept, index), text);
    EXPECT_EQ(kept.bpp, 8);  // the target is left as it was
    EXPECT_EQ(PixelBytes(kept), keptPixels);
  };
  // Truncated at every length.
  for (size_t n = 0; n < file.size(); ++n) {
    SCOPED_TRACE(n);
    expectError(std::vector<BYTE>(file.begin(), file.begin() + n), 0,
                n < 16 ? "Fehler beim Lesen der DOZ-Datei !" : kCorrupt);
  }
  // Every byte flipped.
  for (size_t at = 0; at < file.size(); ++at) {
    std::vector<BYTE> bad = file;
    bad[at] ^= 0x5A;
    const std::string text = ReadFrom(bad, kept, 0);
    EXPECT_TRUE(text == "Falsche CRC-Summe !" || text == kCorrupt ||
                text == "Die Datei ist keine DOZ-Datei !" ||
                text == "Das Bild wurde in der Sequenz nicht gefunden !")
        << at << ": " << text;
    EXPECT_EQ(PixelBytes(kept), keptPixels);
  }
  struct Patch {
    size_t at;
    BYTE value;
    DWORD index;
    const char* text;
  };
  const Patch patches[] = {
      {0, 'z', 0, "Die Datei ist keine DOZ-Datei !"},
      {8, 2, 0, kCorrupt},   // bytes per pixel
      {8, 0, 0, kCorrupt},
      {4, 0, 0, kCorrupt},   // width 0
      {7, 0x10, 0, kCorrupt},  // height 4099
      {5, 0x10, 0, kCorrupt},  // width 4101
      {9, 254, 0, kCorrupt},   // 255 images claimed: far too short
      {9, 0, 0, "Falsche CRC-Summe !"},  // one image claimed: the rest is ignored
      {9, 1, 2, "Das Bild wurde in der Sequenz nicht gefunden !"},
  };
  for (const Patch& p : patches) {
    SCOPED_TRACE(p.at);
    std::vector<BYTE> bad = file;
    bad[p.at] = p.value;
    expectError(bad, p.index, p.text);
  }
  // Huge claimed sizes with a matching CRC but no data.
  std::vector<BYTE> huge = {'Z', 'E', 'R', 'A', 0, 16, 0, 16, 4, 254, 0, 0, 0, 0, 0, 0};
  const uint32_t crc = BitwiseCrc(huge);
  huge[10] = BYTE(crc);
  huge[11] = BYTE(crc >> 8);
  expectError(huge, 0, kCorrupt);
}

void AbortAt(const CImageComment*, DWORD user, DWORD, DWORD, DWORD percent, BYTE* abort) {
  if (percent >= user) *abort = 1;
}

std::vector<DWORD>* gSeen = nullptr;
void Record(const CImageComment*, DWORD, DWORD, DWORD, DWORD percent, BYTE*) {
  gSeen->push_back(percent);
}

TEST(ZeraWriter, ReportsProgressAndStopsOnAbort) {
  std::vector<CGraphicsImage> images(2);
  for (auto& image : images) savetest::MakeRandomImage(image, 8, 3, 2, 1);
  std::vector<DWORD> seen;
  gSeen = &seen;
  CTlsWriter writer;
  writer.SetProgressCallback(Record, 0);
  const std::vector<BYTE> file = SaveMany(writer, images);
  EXPECT_EQ(seen, (std::vector<DWORD>{0, 0, 25, 50, 75, 100}));
  seen.clear();
  CTlsReader reader;
  reader.SetProgressCallback(Record, 0);
  CGraphicsImage back;
  EXPECT_EQ(ReadFrom(file, back, 1, &reader), "");
  EXPECT_EQ(seen, (std::vector<DWORD>{0, 0, 25, 50, 75, 100}));
  gSeen = nullptr;

  ScratchDir dir;
  CTlsWriter stopped;
  stopped.SetProgressCallback(AbortAt, 50);
  try {
    stopped.SaveSequence((dir / "x.zera").c_str(), images.data(), 2, nullptr, nullptr, nullptr);
    ADD_FAILURE() << "no abort";
  } catch (const EGraphicsAbort& e) {
    EXPECT_STREQ(e.text, "Benutzer Abbruch");
    EXPECT_EQ(e.code, 1u);
  }
  EXPECT_TRUE(dir.Names().empty());
  CTlsReader stoppedReader;
  stoppedReader.SetProgressCallback(AbortAt, 50);
  EXPECT_EQ(ReadFrom(file, back, 0, &stoppedReader), "Benutzer Abbruch");
}

TEST(ZeraWriter, FailuresGiveTheWriteAndOpenTexts) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 32, 30, 20, 2);
  {
    ScratchDir dir;
    savetest::FullDisk full;
    CTlsWriter writer;
    EXPECT_EQ(Thrown<ETlsFileWriteError>([&] { writer.Save((dir / "full.zera").c_str(), image); }), kWriteError);
  }
  EXPECT_EQ(SaveImage("/nonexistent-folder/x.zera", image, nullptr), -1);
  EXPECT_STREQ(GraphicsErrorText, kOpenError);
  CTlsReader reader;
  EXPECT_EQ(Thrown<ETlsFileOpenError>([&] { reader.Load("/nonexistent-folder/x.zera", image); }),
            kOpenError);
  // A stream that breaks after any byte count (and cannot seek back).
  for (int budget : {0, 1, 15, 16, 17, 79, 80, 500, 2479, 2480, 1 << 20}) {
    savetest::FailingStream broken(budget);
    CTlsWriter writer;
    EXPECT_EQ(Thrown<ETlsFileWriteError>([&] {
                writer.Write(broken.stream(), image);
                if (!broken.stream().Flush()) ThrowGraphics<ETlsFileWriteError>(GraphicsMessage::TlsFileWrite);
              }),
              kWriteError)
        << budget;
  }
}

TEST(ZeraWriter, SaveImageWritesAFileTheReaderLoads) {
  CGraphicsImage image, back;
  savetest::MakeRandomImage(image, 24, 7, 9, 12);
  ScratchDir dir;
  for (const char* name : {"a.zera", "b.ZERA", "c.Zera"}) {
    ASSERT_EQ(SaveImage((dir / name).c_str(), image, "ignored"), 0) << GraphicsErrorText;
    const std::vector<BYTE> file = ReadBytes(dir / name);
    ASSERT_EQ(file.size(), 16 + 64 + 7 * 4 * 9u);
    CTlsReader reader;
    reader.Load((dir / name).c_str(), back);
    ASSERT_EQ(back.bpp, 32);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 7; ++x)
        ASSERT_EQ(back.PixelGetFunc(back.Row(y), x), image.PixelGetFunc(image.Row(y), x));
  }
  const std::u16string wide = std::u16string(dir.path().begin(), dir.path().end()) + u"/a.zera";
  CTlsReader reader;
  reader.SetIndex(0);
  reader.Load(wide.c_str(), back);
  EXPECT_EQ(back.width, 7);
  EXPECT_EQ(Thrown<ETlsNotFound>([&] { reader.Load((dir / "a.zera").c_str(), back, 1); }),
            "Das Bild wurde in der Sequenz nicht gefunden !");
}

}  // namespace

namespace {

// A file made by an independent writer (Python, binascii.crc_hqx) for the
// fuzzing seeds: two 2 x 2 images of four bytes per pixel.
TEST(ZeraReader, ReadsAFileMadeElsewhere) {
  const std::vector<BYTE> file =
      ReadBytes(savetest::SourceDir() + "/fuzz/zera_read/corpus/four_byte_2x2_two");
  ASSERT_EQ(file.size(), 184u);
  CGraphicsImage image;
  CTlsReader reader;
  ASSERT_EQ(ReadFrom(file, image, 1, &reader), "");
  EXPECT_EQ(reader.GetUserValue(), 7u);
  WORD time = 0;
  BYTE next = 9, flags = 9;
  reader.GetTiming(&time, &next, &flags);
  EXPECT_EQ(time, 5000);
  EXPECT_EQ(next, 0);
  EXPECT_EQ(flags, 0);
  DWORD block[16];
  reader.GetBlock(block);
  EXPECT_EQ(block[0], 0x03020100u);
  EXPECT_EQ(block[15], 0x3F3E3D3Cu);
  // The block's bits 28-30 go into the four pixels.
  EXPECT_EQ(image.PixelGetFunc(image.Row(0), 0), 0x07666564u);
  EXPECT_EQ(image.PixelGetFunc(image.Row(0), 1), 0x4B6A6968u);
  EXPECT_EQ(image.PixelGetFunc(image.Row(1), 0), 0x0F6E6D6Cu);
  EXPECT_EQ(image.PixelGetFunc(image.Row(1), 1), 0x43727170u);
}

}  // namespace
