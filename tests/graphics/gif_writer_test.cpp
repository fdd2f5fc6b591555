// GIF files byte for byte, laid out by hand from the GIF89a format: header,
// screen descriptor, colour tables, extension blocks, image descriptors and
// small LZW streams; the writer's errors, SaveImage's choice of it and its
// progress reports.
#include "graphics/formats/gif_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gif_test_support.h"
#include "graphics/globals.h"
#include "graphics/save.h"

namespace {

using giftest::GifBytes;
using savetest::ReadBytes;
using savetest::ScratchDir;
using Bytes = std::vector<BYTE>;

// A palette image of `bpp` whose pixels are `indices`, row by row from the
// top; palette entry i is 0x10 * i + (1, 2, 3) in red, green, blue.
void MakeIndexed(CGraphicsImage& image, int bpp, int width, int height,
                 const std::vector<int>& indices = {}) {
  ASSERT_TRUE(image.Create(bpp, width, height, 0, nullptr));
  for (int i = 0; i < 256; ++i)
    image.SetPaletteEntryRGB(i, BYTE(16 * i + 1), BYTE(16 * i + 2), BYTE(16 * i + 3));
  for (size_t i = 0; i < indices.size(); ++i)
    image.PixelSetFunc(image.Row(int(i) / width), int(i) % width, DWORD(indices[i]));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Text(const char* text) {
  return Bytes(text, text + std::strlen(text));
}

// The entries 0..count-1 of MakeIndexed's palette as a GIF colour table.
Bytes Table(int count) {
  Bytes table;
  for (int i = 0; i < count; ++i)
    table.insert(table.end(), {BYTE(16 * i + 1), BYTE(16 * i + 2), BYTE(16 * i + 3)});
  return table;
}

// One block of the file as a reader walks it.
struct Block {
  BYTE kind;   // 0x21 extension, 0x2C image, 0x3B trailer
  BYTE label;  // extension label; image: the descriptor's packed byte
  Bytes data;  // extension: its sub-blocks joined; image: the LZW data joined
  Bytes head;  // image: left, top, width, height (little-endian u16 each)
};

// Walks the blocks after the global colour table; fails on anything a GIF
// reader would not accept.
std::vector<Block> Blocks(const Bytes& file) {
  std::vector<Block> blocks;
  if (file.size() < 13) {
    ADD_FAILURE() << "no screen descriptor";
    return blocks;
  }
  size_t at = 13 + ((file[10] & 0x80) != 0 ? 3u << ((file[10] & 7) + 1) : 0);
  auto subBlocks = [&](Bytes& out) {
    while (at < file.size() && file[at] != 0) {
      const size_t n = file[at];
      if (at + 1 + n > file.size()) break;
      out.insert(out.end(), file.begin() + std::ptrdiff_t(at + 1),
                 file.begin() + std::ptrdiff_t(at + 1 + n));
      at += 1 + n;
    }
    EXPECT_LT(at, file.size()) << "sub-blocks run past the end";
    ++at;
  };
  while (at < file.size()) {
    Block block{file[at], 0, {}, {}};
    if (block.kind == 0x3B) {
      blocks.push_back(block);
      EXPECT_EQ(at + 1, file.size()) << "bytes after the trailer";
      return blocks;
    }
    if (block.kind == 0x21 && at + 1 < file.size()) {
      block.label = file[at + 1];
      at += 2;
      subBlocks(block.data);
    } else if (block.kind == 0x2C && at + 11 < file.size()) {
      block.label = file[at + 9];
      block.head.assign(file.begin() + std::ptrdiff_t(at + 1), file.begin() + std::ptrdiff_t(at + 9));
      at += 10;
      if ((block.label & 0x80) != 0) at += 3u << ((block.label & 7) + 1);
      ++at;  // minimum code size
      subBlocks(block.data);
    } else {
      ADD_FAILURE() << "unknown block " << int(block.kind) << " at " << at;
      return blocks;
    }
    blocks.push_back(block);
  }
  ADD_FAILURE() << "no trailer";
  return blocks;
}

// The bytes between the global colour table of `entries` and the image
// descriptor, where at most graphic control blocks (8 bytes each) stand.
Bytes BeforeDescriptor(const Bytes& file, int entries) {
  const size_t at = 13 + 3 * size_t(entries);
  size_t end = at;
  while (end < file.size() && file[end] != 0x2C) end += file[end] == 0x21 ? 8 : 1;
  return Bytes(file.begin() + std::ptrdiff_t(std::min(at, file.size())),
               file.begin() + std::ptrdiff_t(std::min(end, file.size())));
}

TEST(GifWriter, WritesSmallImagesByteForByte) {
  struct Case {
    int bpp, width;
    std::vector<int> pixels;  // one row
    BYTE packed;              // of the screen descriptor
    int entries;
    Bytes data;  // LZW sub-blocks
  };
  const Case cases[] = {
      // Clear (4), pixel 0, end (5), three bits each: 100 000 101.
      {1, 1, {0}, 0x80, 2, {2, 0x44, 0x01}},
      // Strings 0, 00, 000: codes clear 4, 0, 6, 7 in three bits; code 8 is
      // then taken, so the end code 5 goes out in four bits:
      // 100 000 110 111 0101.
      {2, 6, {0, 0, 0, 0, 0, 0}, 0x91, 4, {2, 0x84, 0x5F}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bpp);
    CGraphicsImage image;
    MakeIndexed(image, c.bpp, c.width, 1, c.pixels);
    const Bytes expected = Concat({Text("GIF89a"),
                                   {BYTE(c.width), 0, 1, 0, c.packed, 0, 0},
                                   Table(c.entries),
                                   {0x2C, 0, 0, 0, 0, BYTE(c.width), 0, 1, 0, 0},
                                   {2},
                                   c.data,
                                   {0, 0x3B}});
    EXPECT_EQ(GifBytes(image), expected);
  }
}

TEST(GifWriter, SizesTheColourTableToTheHighestIndexUsed) {
  struct Case {
    int bpp, highest, bits, codeSize;
  };
  const Case cases[] = {
      {1, 0, 1, 2},   {1, 1, 1, 2},   {2, 0, 2, 2},   {2, 3, 2, 2},   {4, 0, 4, 4},
      {4, 15, 4, 4},  {8, 0, 1, 8},   {8, 1, 1, 8},   {8, 2, 2, 8},   {8, 3, 2, 8},
      {8, 4, 3, 8},   {8, 5, 3, 8},   {8, 7, 3, 8},   {8, 8, 4, 8},   {8, 16, 5, 8},
      {8, 31, 5, 8},  {8, 32, 6, 8},  {8, 64, 7, 8},  {8, 127, 7, 8}, {8, 128, 8, 8},
      {8, 200, 8, 8}, {8, 255, 8, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("bpp " + std::to_string(c.bpp) + " highest " + std::to_string(c.highest));
    CGraphicsImage image;
    // The highest index last in the last row, after smaller ones.
    MakeIndexed(image, c.bpp, 3, 2, {0, c.highest / 2, 0, 1 % (c.highest + 1), 0, c.highest});
    const Bytes file = GifBytes(image);
    ASSERT_GT(file.size(), 13u);
    EXPECT_EQ(file[10], BYTE(0x80 | (c.bits - 1) << 4 | (c.bits - 1)));
    const size_t tableEnd = 13 + 3 * (size_t{1} << c.bits);
    ASSERT_GT(file.size(), tableEnd + 11);
    EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + std::ptrdiff_t(tableEnd)),
              Table(1 << c.bits));
    EXPECT_EQ(file[tableEnd], 0x2C);
    EXPECT_EQ(file[tableEnd + 9], 0) << "no local table, not interlaced";
    EXPECT_EQ(file[tableEnd + 10], c.codeSize);
  }
}

TEST(GifWriter, MarksTheTransparentIndexInAGraphicControlExtension) {
  struct Case {
    DWORD transparent;
    Bytes control;  // before the image descriptor; empty: none
  };
  const Case cases[] = {
      {5, {0x21, 0xF9, 4, 0x01, 50, 0, 5, 0}},
      {0, {0x21, 0xF9, 4, 0x01, 50, 0, 0, 0}},
      {255, {0x21, 0xF9, 4, 0x01, 50, 0, 255, 0}},
      {256, {}},
      {0xFFFFFFFF, {}},
      {1000, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.transparent);
    CGraphicsImage image;
    MakeIndexed(image, 8, 2, 2, {0, 5, 7, 1});
    CGifWriter writer;
    writer.transparentIndex = c.transparent;
    EXPECT_EQ(BeforeDescriptor(GifBytes(writer, {&image}), 8), c.control);
  }
}

TEST(GifWriter, WritesAListAsLoopingAnimationWithOneControlBlockPerFrame) {
  CGraphicsImage a, b, c;
  MakeIndexed(a, 4, 3, 2, {1, 2, 3, 4, 5, 6});
  MakeIndexed(b, 4, 3, 2, {6, 5, 4, 3, 2, 1});
  MakeIndexed(c, 4, 3, 2, {0, 0, 0, 9, 9, 9});
  for (DWORD transparent : {DWORD{256}, DWORD{9}}) {
    SCOPED_TRACE(transparent);
    CGifWriter writer;
    writer.transparentIndex = transparent;
    const Bytes file = GifBytes(writer, {&a, &b, &c});
    const Bytes head = Concat({Text("GIF89a"), {3, 0, 2, 0, 0xB3, 0, 0}, Table(16)});
    ASSERT_GT(file.size(), head.size() + 19);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + std::ptrdiff_t(head.size())), head);
    // The application extension right after the colour table; loop count 0
    // repeats endlessly.
    const Bytes loop = Concat({{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), {3, 1, 0, 0, 0}});
    EXPECT_EQ(Bytes(file.begin() + std::ptrdiff_t(head.size()),
                    file.begin() + std::ptrdiff_t(head.size() + loop.size())),
              loop);
    const std::vector<Block> blocks = Blocks(file);
    ASSERT_EQ(blocks.size(), 8u);
    EXPECT_EQ(blocks[0].label, 0xFF);
    for (int frame = 0; frame < 3; ++frame) {
      const Block& control = blocks[size_t(1 + 2 * frame)];
      EXPECT_EQ(control.kind, 0x21);
      EXPECT_EQ(control.label, 0xF9);
      EXPECT_EQ(control.data,
                (Bytes{BYTE(transparent < 256 ? 0x0D : 0x0C), 50, 0, BYTE(transparent)}));
      EXPECT_EQ(blocks[size_t(2 + 2 * frame)].kind, 0x2C);
      EXPECT_EQ(blocks[size_t(2 + 2 * frame)].label, 0) << "same palette: no local table";
    }
    EXPECT_EQ(blocks[7].kind, 0x3B);
  }
}

TEST(GifWriter, WritesEveryFrameAtTheFirstImagesSize) {
  CGraphicsImage first, small, large;
  MakeIndexed(first, 8, 5, 3);
  MakeIndexed(small, 8, 2, 1);
  MakeIndexed(large, 8, 9, 7);
  CGifWriter writer;
  const Bytes file = GifBytes(writer, {&first, &small, &large});
  EXPECT_EQ(savetest::U16At(file, 6), 5u);
  EXPECT_EQ(savetest::U16At(file, 8), 3u);
  size_t images = 0;
  for (const Block& block : Blocks(file)) {
    if (block.kind != 0x2C) continue;
    EXPECT_EQ(block.head, (Bytes{0, 0, 0, 0, 5, 0, 3, 0}));
    ++images;
  }
  EXPECT_EQ(images, 3u);
}

TEST(GifWriter, GivesAFrameItsOwnTableOnlyWhenTheGlobalOneCannotShowIt) {
  CGraphicsImage first, samePalette, higherIndex, otherColours;
  MakeIndexed(first, 8, 2, 1, {0, 3});
  MakeIndexed(samePalette, 8, 2, 1, {3, 1});
  MakeIndexed(higherIndex, 8, 2, 1, {0, 9});
  MakeIndexed(otherColours, 8, 2, 1, {2, 1});
  otherColours.SetPaletteEntryRGB(2, 0xAA, 0xBB, 0xCC);
  CGifWriter writer;
  const Bytes file = GifBytes(writer, {&first, &samePalette, &higherIndex, &otherColours});
  std::vector<BYTE> packed;
  std::vector<Bytes> tables;
  for (const Block& block : Blocks(file)) {
    if (block.kind == 0x2C) packed.push_back(block.label);
  }
  // Global table: 4 entries (bits 2); a frame using index 9 needs 16, one
  // with another colour at index 2 needs its own 4.
  EXPECT_EQ(file[10], 0x91);
  EXPECT_EQ(packed, (Bytes{0, 0, 0x83, 0x81}));
  Bytes local = Table(4);
  local[6] = 0xAA, local[7] = 0xBB, local[8] = 0xCC;
  const std::string hex = giftest::HexOf(file);
  EXPECT_NE(hex.find(giftest::HexOf(Concat({{0x81}, local, {8}}))), std::string::npos);
  EXPECT_NE(hex.find(giftest::HexOf(Concat({{0x83}, Table(16), {8}}))), std::string::npos);
}

TEST(GifWriter, KeepsOnlyAsciiCharactersOfTheComment) {
  struct Case {
    const char* comment;
    Bytes block;  // empty: none
  };
  const std::string long300(300, 'a');
  const std::string long239(239, 'b');
  const Case cases[] = {
      {"Gr\366\337e", Concat({{0x21, 0xFE, 3}, Text("Gre"), {0}})},
      {"\344\366\374", {}},
      {"", {}},
      {nullptr, {}},
      {long300.c_str(), Concat({{0x21, 0xFE, 239}, Bytes(239, 'a'), {0}})},
      {long239.c_str(), Concat({{0x21, 0xFE, 239}, Bytes(239, 'b'), {0}})},
      {"\377x\200y", Concat({{0x21, 0xFE, 2}, Text("xy"), {0}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.comment == nullptr ? "null" : c.comment);
    CGraphicsImage image;
    MakeIndexed(image, 1, 2, 2);
    CGifWriter writer;
    if (c.comment != nullptr) writer.comment.SetText(c.comment);
    writer.transparentIndex = 1;
    const Bytes file = GifBytes(writer, {&image});
    const size_t at = 13 + 6;
    ASSERT_GT(file.size(), at + c.block.size());
    // After the colour table, before the control block.
    EXPECT_EQ(Bytes(file.begin() + at, file.begin() + std::ptrdiff_t(at + c.block.size())),
              c.block);
    EXPECT_EQ(file[at + c.block.size()], 0x21);
    EXPECT_EQ(file[at + c.block.size() + 1], 0xF9);
  }
}

TEST(GifWriter, PutsTheCommentAfterTheLoopExtension) {
  CGraphicsImage a;
  MakeIndexed(a, 1, 1, 1);
  CGifWriter writer;
  writer.comment.SetText("hi");
  const std::vector<Block> blocks = Blocks(GifBytes(writer, {&a, &a}));
  ASSERT_EQ(blocks.size(), 7u);
  EXPECT_EQ(blocks[0].label, 0xFF);
  EXPECT_EQ(blocks[1].label, 0xFE);
  EXPECT_EQ(blocks[1].data, Text("hi"));
  EXPECT_EQ(blocks[2].label, 0xF9);
}

TEST(GifWriter, CountsAnEmptyListCountAsOneImage) {
  CGraphicsImage a, b;
  MakeIndexed(a, 1, 1, 1);
  MakeIndexed(b, 1, 1, 1);
  CGraphicsImage* list[] = {&a, &b};
  for (DWORD count : {0u, 1u}) {
    CFileStream stream;
    ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
    CGifWriter writer;
    writer.WriteSequence(stream, list, count);
    int fill = 0;
    const BYTE* data = static_cast<const BYTE*>(stream.GetData(&fill));
    const Bytes file(data, data + fill);
    stream.Close();
    ::operator delete(const_cast<BYTE*>(data));
    EXPECT_EQ(file, GifBytes(a)) << count;
  }
}

TEST(GifWriter, WritesSingleImagesAgainAfterASequence) {
  CGraphicsImage a;
  MakeIndexed(a, 4, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  CGifWriter writer;
  const Bytes alone = GifBytes(a);
  GifBytes(writer, {&a, &a, &a});
  EXPECT_EQ(GifBytes(writer, {&a}), alone);
  ScratchDir dir;
  CGraphicsImage* list[] = {&a, &a};
  writer.SaveSequence((dir / "s.gif").c_str(), list, 2);
  writer.Save((dir / "t.gif").c_str(), a);
  EXPECT_EQ(ReadBytes(dir / "t.gif"), alone);
  EXPECT_EQ(Blocks(ReadBytes(dir / "s.gif")).size(), 6u);
}

TEST(GifWriter, SavesByWidePath) {
  CGraphicsImage a;
  MakeIndexed(a, 2, 5, 4, {1, 2, 3, 0, 1, 2, 3});
  ScratchDir dir;
  std::u16string path;
  for (char c : dir / "w.gif") path += char16_t(static_cast<unsigned char>(c));
  CGifWriter writer;
  writer.Save(path.c_str(), a);
  EXPECT_EQ(ReadBytes(dir / "w.gif"), GifBytes(a));
  CGraphicsImage* list[] = {&a, &a};
  writer.SaveSequence(path.c_str(), list, 2);
  EXPECT_EQ(Blocks(ReadBytes(dir / "w.gif")).size(), 6u);
}

// --- Errors ---

void AbortAlways(CGraphicsImage*, DWORD, DWORD, DWORD, DWORD, BYTE* abort) {
  *abort = 1;
}

template <class Body>
std::string GifErrorOf(Body&& body) {
  try {
    body();
  } catch (const EGifError& e) {
    EXPECT_EQ(e.code, 0u);
    return e.text;
  } catch (...) {
    return "other exception";
  }
  return "no exception";
}

TEST(GifWriter, RefusesMissingEmptyAndUnquantisableImages) {
  CGraphicsImage empty, good, failing;
  MakeIndexed(good, 8, 4, 4);
  ASSERT_TRUE(failing.Create(24, 4, 4, 0x123456, nullptr));
  failing.SetProgressCallback(AbortAlways, 0);
  CGraphicsImage* none[] = {nullptr, &good};
  CGraphicsImage* gap[] = {&good, &good, nullptr};
  CGraphicsImage* emptyFrame[] = {&good, &empty};
  CGraphicsImage* failingFrame[] = {&good, &failing};
  CFileStream stream;
  ASSERT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  CGifWriter writer;
  struct Case {
    const char* what;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"empty image", GifErrorOf([&] { writer.Write(stream, empty); }), "Das Bils ist leer"},
      {"null list", GifErrorOf([&] { writer.WriteSequence(stream, nullptr, 2); }),
       "Es wurden keine Bilder angegeben"},
      {"null first entry", GifErrorOf([&] { writer.WriteSequence(stream, none, 2); }),
       "Es wurden keine Bilder angegeben"},
      {"null later entry", GifErrorOf([&] { writer.WriteSequence(stream, gap, 3); }),
       "Ein Bild Fehlt in der Liste"},
      {"empty later entry", GifErrorOf([&] { writer.WriteSequence(stream, emptyFrame, 2); }),
       "Das Bils ist leer"},
      {"quantiser gives up", GifErrorOf([&] { writer.Write(stream, failing); }),
       "Kann Format nicht verarbeiten"},
      {"quantiser gives up on a frame",
       GifErrorOf([&] { writer.WriteSequence(stream, failingFrame, 2); }),
       "Kann Format nicht verarbeiten"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected) << c.what;
  void* block = stream.GetData();
  stream.Close();
  ::operator delete(block);
}

TEST(GifWriter, ReportsAStreamThatRefusesBytesAsWriteError) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 8, 300, 200, 7);
  const size_t size = GifBytes(image).size();
  for (int budget : {0, 1, 12, 13, 800, 40000, int(size) - 1}) {
    SCOPED_TRACE(budget);
    savetest::FailingStream failing(budget);
    CGifWriter writer;
    EXPECT_EQ(GifErrorOf([&] {
                writer.Write(failing.stream(), image);
                // What the save helper makes of bytes still in the buffer.
                if (!failing.stream().Flush()) ThrowGraphics<EGifError>(GraphicsMessage::WriteFailed);
              }),
              "Fehler beim Schreiben");
  }
}

TEST(GifWriter, ReportsFilesThatCannotBeMadeOrWritten) {
  CGraphicsImage image;
  MakeIndexed(image, 8, 4, 4);
  ScratchDir dir;
  CGifWriter writer;
  EXPECT_EQ(GifErrorOf([&] { writer.Save((dir / "none/x.gif").c_str(), image); }),
            "Fehler beim Erzeugen der Datei");
  EXPECT_EQ(SaveImage((dir / "none/x.gif").c_str(), image, nullptr), -1);
  EXPECT_STREQ(GraphicsErrorText, "Fehler beim Erzeugen der Datei");
  savetest::FullDisk full;
  EXPECT_EQ(GifErrorOf([&] { writer.Save((dir / "full.gif").c_str(), image); }), "Fehler beim Schreiben");
}

// --- SaveImage ---

class GifSaveImage : public ::testing::Test {
 protected:
  ~GifSaveImage() override { SetGraphicsSaveOption(-2); }
};

TEST_F(GifSaveImage, ChoosesTheGifWriterForItsExtensionInAnyCase) {
  CGraphicsImage image;
  MakeIndexed(image, 4, 7, 5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  ScratchDir dir;
  for (const char* name : {"a.gif", "b.GIF", "c.Gif", "d.x.gIF"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(SaveImage((dir / name).c_str(), image, nullptr), 0);
    EXPECT_EQ(ReadBytes(dir / name), GifBytes(image));
  }
  EXPECT_EQ(SaveImage((dir / "e.gifx").c_str(), image, nullptr), -2);
}

TEST_F(GifSaveImage, TakesTheTransparentIndexFromTheSaveOption) {
  CGraphicsImage image;
  MakeIndexed(image, 8, 3, 3, {0, 5, 7, 1, 2, 3, 4, 5, 6});
  ScratchDir dir;
  struct Case {
    int option;
    Bytes control;
  };
  const Case cases[] = {
      {-2, {}},
      {-1, {}},
      {-3, {}},
      {5, {0x21, 0xF9, 4, 0x01, 50, 0, 5, 0}},
      {0, {0x21, 0xF9, 4, 0x01, 50, 0, 0, 0}},
      {255, {0x21, 0xF9, 4, 0x01, 50, 0, 255, 0}},
      {256, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    SetGraphicsSaveOption(c.option);
    ASSERT_EQ(SaveImage((dir / "t.gif").c_str(), image, nullptr), 0);
    EXPECT_EQ(BeforeDescriptor(ReadBytes(dir / "t.gif"), 8), c.control);
  }
}

TEST_F(GifSaveImage, WritesTheCommentAsCommentExtension) {
  CGraphicsImage image;
  MakeIndexed(image, 1, 2, 2);
  ScratchDir dir;
  ASSERT_EQ(SaveImage((dir / "c.gif").c_str(), image, "Zelvaro Testbild \344\366\374"), 0);
  const std::vector<Block> blocks = Blocks(ReadBytes(dir / "c.gif"));
  ASSERT_GE(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].label, 0xFE);
  EXPECT_EQ(blocks[0].data, Text("Zelvaro Testbild "));
}

// --- Progress ---

std::vector<DWORD>* gReports = nullptr;
DWORD gAbortAt = 1000;

void Record(const CImageComment*, DWORD, DWORD, DWORD, DWORD percent, BYTE* abort) {
  gReports->push_back(percent);
  if (percent >= gAbortAt) *abort = 1;
}

TEST(GifWriter, ReportsProgressInFixedPointOverAllFramesRows) {
  CGraphicsImage three, two;
  MakeIndexed(three, 8, 4, 3);
  MakeIndexed(two, 8, 4, 2);
  std::vector<DWORD> reports;
  gReports = &reports;
  gAbortAt = 1000;
  CGifWriter writer;
  writer.SetProgressCallback(Record, 0);
  // Step (100 << 24) / 3 rows = 559240533: the third row ends at 99.
  GifBytes(writer, {&three});
  EXPECT_EQ(reports, (std::vector<DWORD>{0, 33, 66, 99, 100}));
  reports.clear();
  // Two frames of two rows: a step of exactly 25 percent.
  GifBytes(writer, {&two, &two});
  EXPECT_EQ(reports, (std::vector<DWORD>{0, 25, 50, 75, 100, 100}));
  gReports = nullptr;
}

TEST(GifWriter, StopsOnAbortAndLeavesNoFile) {
  CGraphicsImage image;
  MakeIndexed(image, 8, 4, 4);
  std::vector<DWORD> reports;
  gReports = &reports;
  gAbortAt = 50;
  ScratchDir dir;
  CGifWriter writer;
  writer.SetProgressCallback(Record, 0);
  try {
    writer.Save((dir / "a.gif").c_str(), image);
    ADD_FAILURE() << "no abort";
  } catch (const EGraphicsAbort& e) {
    EXPECT_STREQ(e.text, "Benutzer Abbruch");
    EXPECT_EQ(e.code, 1u);
  }
  EXPECT_EQ(reports, (std::vector<DWORD>{0, 25, 50}));
  EXPECT_TRUE(dir.Names().empty());
  gReports = nullptr;
  gAbortAt = 1000;
}

}  // namespace
