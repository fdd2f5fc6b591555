// Resources of this test program (resources/manifest.txt, embedded by
// zelvaro_resources()) found by "res://" names and by ResourceFind.
#include <gtest/gtest.h>

#include "platform/resource.h"
#include "stream_test_util.h"

namespace {

Bytes SourceFile(const std::string& name) {
  return ReadWholeFile(std::string(ZELVARO_TEST_RESOURCES) + "/" + name);
}

Bytes ReadAll(CFileStream& stream) {
  Bytes all;
  BYTE chunk[4096];
  int got;
  while ((got = stream.Read(chunk, sizeof chunk)) > 0) all.insert(all.end(), chunk, chunk + got);
  return all;
}

const std::string kLongType(62, 'T');
const std::string kLongName(63, 'T');

struct NameCase {
  const char* name;
  const char* file;  // the source file it must give, or null for no resource
  const char* wideFile = file;  // the same for the name in 16-bit text
};

TEST(StreamResource, OpensResourceNamesByTheirRules) {
  const std::string longType = "res://" + kLongType + "/x";
  const std::string longName = "res://" + kLongName + "/x";
  const std::string tooLongType = "res://" + kLongName + "T/x";
  const std::string wideLongName = "res://" + std::string(127, 't') + "/x";
  const NameCase cases[] = {
      {"res://Demo3D", "demo3d.zlv"},
      {"res://demo3d", "demo3d.zlv"},
      {"RES://DEMO3D", "demo3d.zlv"},
      {"res://DATA/Demo3D", "demo3d.zlv"},
      {"res://data\\demo3d", "demo3d.zlv"},
      {"RES:\\\\Demo3D", "demo3d.zlv"},
      {"rEs:/\\DaTa/dEmO3d", "demo3d.zlv"},
      {"res://HTML/Zelvaro.html", "help.html"},
      {"res://html/zelvaro.HTML", "help.html"},
      {"res://23/Zelvaro.html", "help.html"},
      {"res://Zelvaro.html", nullptr},  // HTML, not DATA
      {"res://7", "numbered.bin"},
      {"res://DATA/7", "numbered.bin"},
      {"res://DATA/7th", "numbered.bin"},  // leading digits make the number
      {"res://DATA/+7", "numbered.bin"},
      {"res://DATA/65543", "numbered.bin"},  // modulo 65536
      {"res://custom/notes", "custom.txt"},
      {"res://CUSTOM/NOTES", "custom.txt"},
      {longType.c_str(), "longtype.bin"},  // a 62-character type part
      // 63 characters make the whole rest a DATA name in 8-bit text; 16-bit
      // text allows type parts of up to 126.
      {longName.c_str(), "longname.bin", nullptr},
      {tooLongType.c_str(), nullptr},
      {wideLongName.c_str(), "longname.bin"},
      {"res://Missing", nullptr},
      {"res://DATA/", nullptr},
      {"res://", nullptr},
  };
  for (const NameCase& c : cases) {
    for (bool wide : {false, true}) {
      CFileStream stream;
      bool opened;
      if (wide) {
        std::u16string name(c.name, c.name + std::strlen(c.name));
        opened = stream.OpenW(name.c_str(), STREAM_MODE_READ, false);
      } else {
        opened = stream.Open(c.name, STREAM_MODE_READ, false);
      }
      const char* file = wide ? c.wideFile : c.file;
      ASSERT_EQ(opened, file != nullptr) << c.name << (wide ? " (16-bit)" : "");
      if (file != nullptr) {
        EXPECT_EQ(ReadAll(stream), SourceFile(file)) << c.name;
      }
    }
  }
}

TEST(StreamResource, BitmapsDropTheFileHeader) {
  Bytes bmp = SourceFile("pixel.bmp");
  ASSERT_GT(bmp.size(), 14u);
  Bytes dib(bmp.begin() + 14, bmp.end());
  for (const char* name : {"res://2/101", "res://2/101abc", "res://BITMAP/101", "res://bitmap/101"}) {
    CFileStream stream;
    ASSERT_TRUE(stream.Open(name)) << name;
    EXPECT_EQ(stream.GetSize(), int(dib.size()));
    EXPECT_EQ(ReadAll(stream), dib) << name;
  }
}

TEST(StreamResource, GivesEmptyAndLargeResourcesByteForByte) {
  CFileStream stream;
  ASSERT_TRUE(stream.OpenResource("Empty"));
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_TRUE(stream.IsEof());
  BYTE byte;
  EXPECT_EQ(stream.Read(&byte, 1), 0);
  Bytes large = SourceFile("large.bin");
  ASSERT_GT(large.size(), 1u << 20);
  ASSERT_TRUE(stream.OpenResourceW(u"large"));
  EXPECT_EQ(stream.GetSize(), int(large.size()));
  const unsigned char* data = nullptr;
  EXPECT_EQ(stream.Peek(0, &data, 16), int(large.size()));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(0, std::memcmp(data, large.data(), large.size()));
  EXPECT_EQ(ReadAll(stream), large);
  EXPECT_EQ(stream.Write("x", 1), -1);  // resources are read-only
}

TEST(StreamResource, OpensByIdAndByExplicitType) {
  CFileStream stream;
  EXPECT_TRUE(stream.OpenResource(WORD(7)));
  EXPECT_EQ(ReadAll(stream), SourceFile("numbered.bin"));
  EXPECT_TRUE(stream.OpenResourceW(WORD(7), u"data"));
  EXPECT_TRUE(stream.OpenResource("Notes", "Custom"));
  EXPECT_EQ(ReadAll(stream), SourceFile("custom.txt"));
  EXPECT_TRUE(stream.OpenResourceW(u"NOTES", u"custom"));
  EXPECT_FALSE(stream.OpenResource("Notes"));  // not of type DATA
  EXPECT_FALSE(stream.OpenResource(WORD(8)));
  EXPECT_FALSE(stream.IsOpen());
}

TEST(ResourceFind, MatchesIdsByValueAndTextsWithoutAsciiCase) {
  const BYTE* data = nullptr;
  DWORD size = 0;
  EXPECT_TRUE(ResourceFind(ResourceKey::Id(RESOURCE_TYPE_BITMAP), ResourceKey::Id(101), &data, &size));
  EXPECT_EQ(size, SourceFile("pixel.bmp").size() - 14);
  EXPECT_TRUE(ResourceFind(ResourceKey::Text("data"), ResourceKey::Text(u"dEMO3d"), &data, &size));
  EXPECT_EQ(Bytes(data, data + size), SourceFile("demo3d.zlv"));
  EXPECT_EQ(data[size], 0);  // four zero bytes follow every resource
  EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u);
  // A text never matches an id, nor an id a text that spells it.
  EXPECT_FALSE(ResourceFind(ResourceKey::Text("DATA"), ResourceKey::Text("7"), &data, &size));
  EXPECT_FALSE(ResourceFind(ResourceKey::Text("2"), ResourceKey::Id(101), &data, &size));
  EXPECT_FALSE(ResourceFind(ResourceKey::Id(RESOURCE_TYPE_HTML), ResourceKey::Text(u"Zelvaro.htm"), &data, &size));
  // A wide unit beyond Latin-1 does not fold onto ASCII.
  EXPECT_FALSE(ResourceFind(ResourceKey::Text("DATA"), ResourceKey::Text(u"D\u0145MO3D"), &data, &size));
}

TEST(StreamResource, OneSlashOrAWritingModeMeansAFileName) {
  ScratchDir dir;
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  ::mkdir("res:", 0777);
  WriteWholeFile("res:/Demo3D", Bytes{'f', 'i', 'l', 'e'});
  {
    CFileStream stream;
    EXPECT_TRUE(stream.Open("res:/Demo3D"));
    EXPECT_EQ(ReadAll(stream), (Bytes{'f', 'i', 'l', 'e'}));
    EXPECT_TRUE(stream.Open("res://Demo3D", STREAM_MODE_READWRITE));  // the file "res:/Demo3D"
    EXPECT_EQ(ReadAll(stream), (Bytes{'f', 'i', 'l', 'e'}));
    EXPECT_FALSE(stream.Open("res:Demo3D"));
  }
  ASSERT_EQ(::chdir(previous), 0);
}

}  // namespace

namespace {

TEST(ResourceTable, EveryEntryIsAlignedAndFollowedByFourZeroBytes) {
  const ResourceTable& table = zelvaro_resource_table;
  ASSERT_EQ(table.count, 10);
  for (int i = 0; i < table.count; ++i) {
    const ResourceEntry& e = table.entries[i];
    EXPECT_EQ(reinterpret_cast<uintptr_t>(e.begin) % 16, 0u) << i;
    EXPECT_LE(e.begin, e.end);
    EXPECT_EQ(0, std::memcmp(e.end, "\0\0\0\0", 4)) << i;
    // Texts are stored upper case; ids have no text.
    for (const char* text : {e.typeText, e.nameText}) {
      for (const char* c = text; c != nullptr && *c != 0; ++c) EXPECT_FALSE(*c >= 'a' && *c <= 'z');
    }
  }
}

}  // namespace
