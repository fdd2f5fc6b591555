// TIFF files: exact directory bytes for small images, the strip layout rules,
// PackBits and LZW against independent decoders, and the failure paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/formats/tiff_compress.h"
#include "graphics/formats/tiff_writer.h"
#include "graphics/globals.h"
#include "graphics/save.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;
using savetest::U16At;
using savetest::U32At;

struct Tag {
  uint32_t tag, type, count, value;
};

std::vector<BYTE> Le(std::initializer_list<uint32_t> values, int size) {
  std::vector<BYTE> out;
  for (uint32_t v : values)
    for (int i = 0; i < size; ++i) out.push_back(BYTE(v >> (8 * i)));
  return out;
}

std::vector<BYTE> Directory(const std::vector<Tag>& tags) {
  std::vector<BYTE> out = Le({uint32_t(tags.size())}, 2);
  for (const Tag& t : tags) {
    for (BYTE b : Le({t.tag, t.type}, 2)) out.push_back(b);
    for (BYTE b : Le({t.count, t.value}, 4)) out.push_back(b);
  }
  for (BYTE b : Le({0}, 4)) out.push_back(b);
  return out;
}

void Append(std::vector<BYTE>& to, const std::vector<BYTE>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

std::vector<BYTE> Saved(CTiffWriter& writer, const CGraphicsImage& image) {
  ScratchDir dir;
  writer.Save((dir / "a.tif").c_str(), image);
  return ReadBytes(dir / "a.tif");
}

const std::vector<BYTE> kSoftware = {'R', 'I', ' ', 'V', 'i', 'd', 'e',
                                     'v', 'i', ' ', 'Z', 'o', 'r', 0};

// The directory entries of a file, by tag.
std::vector<Tag> Entries(const std::vector<BYTE>& file) {
  std::vector<Tag> tags;
  const uint32_t at = U32At(file, 4);
  for (uint32_t i = 0; i < U16At(file, at); ++i) {
    const size_t e = at + 2 + 12 * i;
    tags.push_back({U16At(file, e), U16At(file, e + 2), U32At(file, e + 4), U32At(file, e + 8)});
  }
  return tags;
}

const Tag* Find(const std::vector<Tag>& tags, uint32_t tag) {
  for (const Tag& t : tags)
    if (t.tag == tag) return &t;
  return nullptr;
}

TEST(TiffWriter, BilevelImageHasTheExactBytes) {
  CGraphicsImage image;  // the default palette: black, white
  ASSERT_TRUE(image.Create(1, 3, 2, 0, nullptr));
  for (int x : {0, 2}) image.PixelSetFunc(image.Row(0), x, 1);
  for (int x : {1, 2}) image.PixelSetFunc(image.Row(1), x, 1);
  CTiffWriter writer;
  std::vector<BYTE> expected = {'I', 'I', 42, 0, 40, 0, 0, 0, 0xA0, 0x60};
  Append(expected, kSoftware);              // 10..23
  Append(expected, Le({2835, 100, 2835, 100}, 4));  // 24..39
  Append(expected, Directory({{254, 4, 1, 0},
                              {256, 4, 1, 3},
                              {257, 4, 1, 2},
                              {258, 3, 1, 1},
                              {259, 3, 1, 1},
                              {262, 3, 1, 1},
                              {266, 3, 1, 1},
                              {273, 4, 1, 8},
                              {277, 3, 1, 1},
                              {278, 4, 1, 322},
                              {279, 4, 1, 2},
                              {282, 5, 1, 24},
                              {283, 5, 1, 32},
                              {296, 3, 1, 3},
                              {305, 2, 14, 10}}));
  EXPECT_EQ(Saved(writer, image), expected);
}

TEST(TiffWriter, RgbImageWithShortAndLongCommentsHasTheExactBytes) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 1, 0, nullptr));
  image.PixelSetFunc(image.Row(0), 0, 0x102030);
  image.PixelSetFunc(image.Row(0), 1, 0xA0B0C0);
  for (const char* text : {"ab", "abcd"}) {
    SCOPED_TRACE(text);
    CTiffWriter writer;
    writer.comment.SetText(text);
    const bool inField = std::strlen(text) < 4;
    std::vector<BYTE> expected = {'I', 'I', 42, 0, 0, 0, 0, 0, 0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0};
    Append(expected, Le({8, 8, 8}, 2));  // 14..19
    Append(expected, kSoftware);         // 20..33
    uint32_t at = 34, description = 0x6261;  // "ab\0"
    if (!inField) {
      description = at;
      Append(expected, {'a', 'b', 'c', 'd', 0, 0});  // padded to an even offset
      at += 6;
    }
    Append(expected, Le({2835, 100, 2835, 100}, 4));
    const uint32_t resolution = at;
    at += 16;
    const std::vector<BYTE> offset = Le({at}, 4);
    std::copy(offset.begin(), offset.end(), expected.begin() + 4);
    Append(expected, Directory({{254, 4, 1, 0},
                                {256, 4, 1, 2},
                                {257, 4, 1, 1},
                                {258, 3, 3, 14},
                                {259, 3, 1, 1},
                                {262, 3, 1, 2},
                                {266, 3, 1, 1},
                                {270, 2, uint32_t(std::strlen(text) + 1), description},
                                {273, 4, 1, 8},
                                {277, 3, 1, 3},
                                {278, 4, 1, 1},
                                {279, 4, 1, 6},
                                {282, 5, 1, resolution},
                                {283, 5, 1, resolution + 8},
                                {296, 3, 1, 3},
                                {305, 2, 14, 20}}));
    EXPECT_EQ(Saved(writer, image), expected);
  }
}

TEST(TiffWriter, StripsFollowTheRowLength) {
  struct Case {
    int bpp, width, height;
    uint32_t rowsPerStrip, strips, entries;
  };
  const Case cases[] = {
      {24, 100, 50, 27, 2, 15},    // 8192 / 300
      {1, 5000, 10, 322, 1, 16},   // bilevel: always 322 (a random palette: a colour map)
      {1, 8, 700, 322, 3, 16},
      {8, 9000, 3, 1, 3, 16},      // at least one row (and a colour map)
      {4, 3, 40, 40, 1, 16},       // at most the height
      {32, 2048, 2, 1, 2, 15},     // 8192 / 6144
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bpp << " " << c.width << "x" << c.height);
    CGraphicsImage image;
    savetest::MakeRandomImage(image, c.bpp, c.width, c.height, 7);
    CTiffWriter writer;
    const std::vector<BYTE> file = Saved(writer, image);
    const std::vector<Tag> tags = Entries(file);
    EXPECT_EQ(tags.size(), c.entries);
    ASSERT_NE(Find(tags, 278), nullptr);
    EXPECT_EQ(Find(tags, 278)->value, c.rowsPerStrip);
    EXPECT_EQ(Find(tags, 273)->count, c.strips);
    EXPECT_EQ(Find(tags, 279)->count, c.strips);
    for (size_t i = 1; i < tags.size(); ++i) EXPECT_LT(tags[i - 1].tag, tags[i].tag);
  }
}

// The directory and every value stored by offset begin on a word boundary,
// whatever lengths the strips and the description have; pad bytes are zero.
TEST(TiffWriter, DirectoryAndValuesBeginAtEvenOffsets) {
  struct Case {
    int bpp, width, height;
    DWORD compression;
  };
  const Case cases[] = {
      {4, 1, 1, 1},  {1, 1, 1, 1},      {8, 3, 3, 1},     {8, 5, 700, 1}, {24, 1, 1, 1},
      {24, 3, 5, 5}, {32, 7, 3, 32773}, {16, 9, 2000, 5}, {4, 1, 1, 5},   {1, 9, 1, 32773},
  };
  int files = 0;
  for (const Case& c : cases) {
    for (const char* text : {"", "a", "ab", "abc", "abcd", "abcde"}) {
      SCOPED_TRACE(testing::Message() << c.bpp << " " << c.width << "x" << c.height << " "
                                      << c.compression << " '" << text << "'");
      CGraphicsImage image;
      savetest::MakeRandomImage(image, c.bpp, c.width, c.height, uint32_t(++files));
      CTiffWriter writer;
      writer.compression = c.compression;
      writer.comment.SetText(text);
      const std::vector<BYTE> file = Saved(writer, image);
      const uint32_t directory = U32At(file, 4);
      EXPECT_EQ(directory % 2, 0u);
      for (const Tag& t : Entries(file)) {
        const uint32_t size = t.count * (t.type == 3 ? 2 : t.type == 4 ? 4 : t.type == 5 ? 8 : 1);
        if (size <= 4) continue;
        EXPECT_EQ(t.value % 2, 0u) << "tag " << t.tag;
        ASSERT_LE(t.value + size, directory) << "tag " << t.tag;
        // What follows a value of odd length up to the next even offset is a zero.
        if (size % 2 == 1) {
          EXPECT_EQ(file[t.value + size], 0) << "tag " << t.tag;
        }
      }
    }
  }
}

TEST(TiffWriter, GreyRampPalettesAreWrittenAsGreyAndOthersAsColourMaps) {
  for (int bpp : {1, 4, 8}) {
    SCOPED_TRACE(bpp);
    const int levels = 1 << bpp;
    CGraphicsImage image;
    ASSERT_TRUE(image.Create(bpp, 4, 4, 0, nullptr));
    for (int i = 0; i < levels; ++i) {
      const uint32_t g = uint32_t(i * 255 / (levels - 1));
      image.SetPaletteEntry(i, g << 16 | g << 8 | g);
    }
    CTiffWriter writer;
    std::vector<Tag> tags = Entries(Saved(writer, image));
    EXPECT_EQ(Find(tags, 262)->value, 1u);
    EXPECT_EQ(Find(tags, 320), nullptr);

    image.SetPaletteEntry(levels - 1, 0x123456);
    const std::vector<BYTE> file = Saved(writer, image);
    tags = Entries(file);
    EXPECT_EQ(Find(tags, 262)->value, 3u);
    const Tag* map = Find(tags, 320);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->count, uint32_t(3 * levels));
    // Full 16-bit range: red, green, blue of the last entry.
    EXPECT_EQ(U16At(file, map->value + 2 * (levels - 1)), 0x1212u);
    EXPECT_EQ(U16At(file, map->value + 2 * (2 * levels - 1)), 0x3434u);
    EXPECT_EQ(U16At(file, map->value + 2 * (3 * levels - 1)), 0x5656u);
  }
}

TEST(TiffWriter, RefusesWhatItCannotWrite) {
  ScratchDir dir;
  CGraphicsImage twoBit, empty, rgb;
  ASSERT_TRUE(twoBit.Create(2, 4, 4, 0, nullptr));
  ASSERT_TRUE(rgb.Create(24, 4, 4, 0, nullptr));
  struct Case {
    const CGraphicsImage* image;
    DWORD compression;
    const char* text;
  };
  const Case cases[] = {
      {&twoBit, TIFF_COMPRESSION_NONE, "Modus ist nicht unterst\374tzt"},
      {&rgb, 7, "Modus ist nicht unterst\374tzt"},
      {&empty, TIFF_COMPRESSION_NONE, "Leeres Bild \374bergeben"},
  };
  for (const Case& c : cases) {
    CTiffWriter writer;
    writer.compression = c.compression;
    try {
      writer.Save((dir / "x.tif").c_str(), *c.image);
      ADD_FAILURE() << "saved";
    } catch (const ETiffError& e) {
      EXPECT_STREQ(e.text, c.text);
      EXPECT_EQ(e.code, 0u);
    }
  }
  EXPECT_EQ(SaveImage((dir / "y.TIF").c_str(), twoBit, nullptr), -1);
  EXPECT_STREQ(GraphicsErrorText, "Modus ist nicht unterst\374tzt");
  EXPECT_TRUE(dir.Names().empty());
}

TEST(TiffPackBits, MatchesThePublishedExample) {
  // Apple's technical note on PackBits.
  const std::vector<BYTE> in = {0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA, 0xAA, 0xAA, 0xAA, 0x80,
                                0x00, 0x2A, 0x22, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
                                0xAA, 0xAA};
  const std::vector<BYTE> expected = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA,
                                      0x03, 0x80, 0x00, 0x2A, 0x22, 0xF7, 0xAA};
  std::vector<BYTE> out;
  PackBitsRow(in.data(), in.size(), out);
  EXPECT_EQ(out, expected);
}

TEST(TiffPackBits, SplitsRunsAndLiteralsAt128) {
  std::vector<BYTE> in(300, 7), out;
  PackBitsRow(in.data(), in.size(), out);
  EXPECT_EQ(out, (std::vector<BYTE>{0x81, 7, 0x81, 7, 0xD5, 7}));  // 128 + 128 + 44
  for (size_t i = 0; i < in.size(); ++i) in[i] = BYTE(i);
  out.clear();
  PackBitsRow(in.data(), 130, out);
  ASSERT_EQ(out.size(), 132u);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 1);
  EXPECT_EQ(out[131], 129);
}

// A reader's LZW decoder (codes widen one entry early), written from the
// format's description, independent of the coder.
std::vector<BYTE> DecodeLzw(const std::vector<BYTE>& in, bool& clean) {
  std::vector<std::vector<BYTE>> table;
  auto reset = [&] {
    table.assign(258, {});
    for (int i = 0; i < 256; ++i) table[i] = {BYTE(i)};
  };
  reset();
  std::vector<BYTE> out;
  size_t bit = 0;
  int width = 9;
  int previous = -1;
  clean = false;
  while (bit + width <= in.size() * 8) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit)
      code = code << 1 | ((in[bit / 8] >> (7 - bit % 8)) & 1);
    if (code == 257) {
      clean = true;
      break;
    }
    if (code == 256) {
      reset();
      width = 9;
      previous = -1;
      continue;
    }
    std::vector<BYTE> entry;
    if (code < int(table.size())) {
      entry = table[code];
      if (entry.empty()) return out;
    } else if (code == int(table.size()) && previous >= 0) {
      entry = table[previous];
      entry.push_back(entry[0]);
    } else {
      return out;
    }
    if (previous >= 0) {
      std::vector<BYTE> added = table[previous];
      added.push_back(entry[0]);
      table.push_back(added);
    }
    out.insert(out.end(), entry.begin(), entry.end());
    previous = code;
    if (table.size() + 1 >= (size_t{1} << width) && width < 12) ++width;
  }
  return out;
}

TEST(TiffLzw, EveryStripLengthAroundTheWidthChangesDecodesExactly) {
  std::mt19937 rng(11);
  std::vector<size_t> lengths;
  for (size_t n = 1; n < 40; ++n) lengths.push_back(n);
  for (size_t around : {254, 766, 1790, 3838, 3840}) {
    for (size_t n = around - 6; n < around + 6; ++n) lengths.push_back(n);
  }
  for (size_t n : {20000, 100000}) lengths.push_back(n);
  for (int kind = 0; kind < 3; ++kind) {
    for (size_t n : lengths) {
      std::vector<BYTE> data(n);
      for (size_t i = 0; i < n; ++i)
        data[i] = kind == 0 ? BYTE(rng()) : kind == 1 ? BYTE(rng() % 3) : BYTE(i / 7);
      CTiffLzwCoder coder;
      std::vector<BYTE> packed;
      for (int strip = 0; strip < 2; ++strip) {  // a coder is reused across strips
        packed.clear();
        coder.Start(packed);
        coder.Encode(data.data(), n / 2, packed);
        coder.Encode(data.data() + n / 2, n - n / 2, packed);
        coder.Finish(packed);
        bool clean = false;
        ASSERT_EQ(DecodeLzw(packed, clean), data) << kind << " " << n;
        ASSERT_TRUE(clean) << kind << " " << n;
      }
    }
  }
}

// Every depth, width, compression and alpha choice read by Pillow,
// ImageMagick and libtiff, pixel for pixel.
TEST(TiffWriter, IndependentDecodersReadExactPixels) {
  ScratchDir dir;
  std::string args;
  int files = 0;
  for (int bpp : kAllFormats) {
    if (bpp == 2) continue;
    for (int width : {1, 3, 7, 33, 260}) {
      for (DWORD compression : {1u, 5u, 32773u}) {
        for (DWORD alpha : {0u, 1u}) {
          if (alpha == 1 && bpp != 32) continue;
          CGraphicsImage image;
          const int height = width == 260 ? 40 : 5;
          savetest::MakeRandomImage(image, bpp, width, height, uint32_t(bpp * 1000 + width));
          if (width == 33) {  // long runs for PackBits and LZW
            for (int y = 0; y < height; ++y)
              for (int x = 0; x < width / 2; ++x)
                image.PixelSetFunc(image.Row(y), x, image.PixelGetFunc(image.Row(y), 0));
          }
          CTiffWriter writer;
          writer.compression = compression;
          writer.keepAlpha = alpha;
          writer.comment.SetText("Zelvaro Testbild");
          const std::string name = dir / ("t" + std::to_string(files++));
          writer.Save((name + ".tif").c_str(), image);
          std::vector<BYTE> rgba;
          for (int y = 0; y < height; ++y) {
            const BYTE* bgr = image.RowTo24Func(image.Row(y), &image);
            for (int x = 0; x < width; ++x) {
              rgba.insert(rgba.end(), {bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]});
              rgba.push_back(alpha != 0 ? image.Row(y)[4 * x + 3] : 255);
            }
          }
          savetest::WriteBytes(name + ".rgba", rgba);
          args += " " + name + ".tif " + name + ".rgba " + std::to_string(width) + "x" +
                  std::to_string(height);
        }
      }
    }
  }
  const int status = std::system(
      (std::string(savetest::kPython) + " " + savetest::SourceDir() +
       "/tests/graphics/tiff_check.py" + args)
          .c_str());
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "decoders missing";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

std::vector<DWORD>* gReports = nullptr;
DWORD gAbortAt = 1000;

void Record(const CImageComment*, DWORD, DWORD, DWORD, DWORD percent, BYTE* abort) {
  gReports->push_back(percent);
  if (percent >= gAbortAt) *abort = 1;
}

TEST(TiffWriter, ReportsProgressPerRowAndStopsOnAbort) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 24, 4, 3, 1);
  std::vector<DWORD> reports;
  gReports = &reports;
  gAbortAt = 1000;
  ScratchDir dir;
  CTiffWriter writer;
  writer.SetProgressCallback(Record, 0);
  writer.Save((dir / "p.tif").c_str(), image);
  EXPECT_EQ(reports, (std::vector<DWORD>{0, 33, 66, 100, 100}));
  reports.clear();
  gAbortAt = 50;
  try {
    writer.Save((dir / "q.tif").c_str(), image);
    ADD_FAILURE() << "no abort";
  } catch (const EGraphicsAbort& e) {
    EXPECT_STREQ(e.text, "Benutzer Abbruch");
    EXPECT_EQ(e.code, 1u);
  }
  EXPECT_EQ(reports, (std::vector<DWORD>{0, 33, 66}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"p.tif"});
  gReports = nullptr;
}

// A seekable memory file that takes `budget` bytes and then refuses writes.
class BudgetFile {
 public:
  explicit BudgetFile(int budget) : budget_(budget) {
    stream_.SetBufferSize(512);
    stream_.OpenCallbacks(reinterpret_cast<INT_PTR>(this), nullptr, Close, Write, Seek);
  }
  CFileStream& stream() { return stream_; }
  const std::vector<BYTE>& bytes() const { return bytes_; }

 private:
  static int Write(INT_PTR handle, const void* source, int count) {
    auto* self = reinterpret_cast<BudgetFile*>(handle);
    const int n = std::min(count, self->budget_);
    if (n <= 0) return -1;
    const BYTE* in = static_cast<const BYTE*>(source);
    if (self->bytes_.size() < self->at_ + size_t(n)) self->bytes_.resize(self->at_ + size_t(n));
    std::copy(in, in + n, self->bytes_.begin() + std::ptrdiff_t(self->at_));
    self->at_ += size_t(n);
    self->budget_ -= n;
    return n;
  }
  static int Seek(INT_PTR handle, int offset, int origin) {
    auto* self = reinterpret_cast<BudgetFile*>(handle);
    const int64_t from = origin == 0 ? 0 : origin == 1 ? int64_t(self->at_) : int64_t(self->bytes_.size());
    if (from + offset < 0) return -1;
    self->at_ = size_t(from + offset);
    return int(self->at_);
  }
  static int Close(INT_PTR) { return 0; }

  int budget_;
  size_t at_ = 0;
  std::vector<BYTE> bytes_;
  CFileStream stream_;
};

TEST(TiffWriter, StreamBreakingAfterAnyByteCountGivesTheWriteError) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 8, 7, 5, 3);
  for (DWORD compression : {1u, 5u}) {
    CTiffWriter writer;
    writer.compression = compression;
    writer.comment.SetText("note");
    BudgetFile whole(1 << 30);
    writer.Write(whole.stream(), image);
    ASSERT_TRUE(whole.stream().Close());
    const std::vector<BYTE> file = whole.bytes();
    ASSERT_EQ(U32At(file, 4) + 2 + 12 * U16At(file, U32At(file, 4)) + 4, file.size());
    for (int budget = 0; budget < int(file.size()) + 4; ++budget) {
      BudgetFile broken(budget);
      try {
        writer.Write(broken.stream(), image);
        ADD_FAILURE() << "no error with " << budget << " bytes";
      } catch (const ETiffError& e) {
        ASSERT_STREQ(e.text, "Fehler beim Schreiben") << budget;
      }
      broken.stream().Close();
    }
  }
  // A stream that cannot seek back to the header fails too.
  savetest::FailingStream unseekable(1 << 30);
  CTiffWriter writer;
  EXPECT_THROW(writer.Write(unseekable.stream(), image), ETiffError);
}

TEST(TiffWriter, OffsetsCountFromWhereTheWriteBegan) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 8, 7, 5, 3);
  CTiffWriter writer;
  BudgetFile alone(1 << 30), inside(1 << 30);
  writer.Write(alone.stream(), image);
  ASSERT_TRUE(alone.stream().Close());
  ASSERT_EQ(inside.stream().Write("prefix", 6), 6);
  writer.Write(inside.stream(), image);
  // What the caller writes next follows the TIFF instead of overwriting it.
  ASSERT_EQ(inside.stream().Write("suffix", 6), 6);
  ASSERT_TRUE(inside.stream().Close());
  std::vector<BYTE> expected(alone.bytes());
  expected.insert(expected.end(), {'s', 'u', 'f', 'f', 'i', 'x'});
  const std::vector<BYTE> tail(inside.bytes().begin() + 6, inside.bytes().end());
  EXPECT_EQ(tail, expected);
}

TEST(TiffWriter, FullDiskAndUnwritableFolderGiveTheirTexts) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 24, 40, 40, 3);
  ScratchDir dir;
  try {
    savetest::FullDisk full;
    CTiffWriter writer;
    writer.Save((dir / "full.tiff").c_str(), image);
    ADD_FAILURE() << "saved onto a full disk";
  } catch (const ETiffError& e) {
    EXPECT_STREQ(e.text, "Fehler beim Schreiben");
  }
  EXPECT_EQ(SaveImage("/nonexistent-folder/x.tiff", image, nullptr), -1);
  EXPECT_STREQ(GraphicsErrorText, "Fehler beim Erzeugen der Datei");
}

}  // namespace

namespace {

TEST(TiffWriter, SaveImageSelectsItForTifAndTiffInAnyCase) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 3, 2, 0x102030, nullptr));
  ScratchDir dir;
  for (const char* name : {"a.tif", "b.TIFF", "c.Tif", "d.tiff"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(SaveImage((dir / name).c_str(), image, "Kommentar"), 0) << GraphicsErrorText;
    const std::vector<BYTE> file = ReadBytes(dir / name);
    ASSERT_GE(file.size(), 8u);
    EXPECT_EQ(std::vector<BYTE>(file.begin(), file.begin() + 4), (std::vector<BYTE>{'I', 'I', 42, 0}));
    const std::vector<Tag> tags = Entries(file);
    const Tag* description = Find(tags, 270);
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->count, 10u);
    EXPECT_EQ(std::string(file.begin() + description->value, file.begin() + description->value + 10),
              std::string("Kommentar", 10));
  }
  // An empty comment writes no description.
  ASSERT_EQ(SaveImage((dir / "e.tif").c_str(), image, ""), 0);
  const std::vector<Tag> plain = Entries(ReadBytes(dir / "e.tif"));
  EXPECT_EQ(Find(plain, 270), nullptr);
  // The wide path form.
  CTiffWriter writer;
  const std::u16string wide = std::u16string(dir.path().begin(), dir.path().end()) + u"/w\u00e4.tif";
  writer.Save(wide.c_str(), image);
  EXPECT_EQ(dir.Names().size(), 6u);
}

}  // namespace
