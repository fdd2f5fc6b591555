// The facts of a file by name and the search along PATH.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "files/fileops.h"
#include "files/path.h"
#include "platform/pathsys.h"
#include "fileops_test_util.h"
#include "stream_test_util.h"

namespace {

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

template <class T>
bool AllZero(const T& record) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (size_t i = 0; i < sizeof record; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

TEST(GetFindData, NamesTheFileAndReportsItsFacts) {
  ScratchDir dir;
  std::string file = dir.File("report.txt");
  WriteWholeFile(file, RandomBytes(3, 1234));
  struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  ::mkdir(dir.File("sub").c_str(), 0777);
  FindFileData data;
  std::memset(&data, 0x5A, sizeof data);
  ASSERT_EQ(GetFindData(file.c_str(), &data), 1);
  EXPECT_STREQ(data.cFileName, "report.txt");
  EXPECT_STREQ(data.cAlternateFileName, "");
  EXPECT_EQ(data.nFileSizeLow, 1234u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes, 0x20u);  // archive, as a fresh file on Windows
  EXPECT_EQ(data.dwReserved0 | data.dwReserved1, 0u);
  // 1100000000 s after 1970 in ticks after 1601.
  EXPECT_EQ(FileTimeTicks(data.ftLastWriteTime), 116444736000000000ull + 11000000000000000ull);

  for (std::string path : {dir.File("sub"), dir.File("sub/"), dir.path() + "\\sub\\"}) {
    ASSERT_EQ(GetFindData(path.c_str(), &data), 2) << path;
    EXPECT_STREQ(data.cFileName, "sub");
    EXPECT_EQ(data.dwFileAttributes, 0x10u);
  }

  FindFileDataW wide;
  std::u16string widePath = Wide(file);
  ASSERT_EQ(GetFindDataW(widePath.c_str(), &wide), 1);
  EXPECT_EQ(std::u16string(wide.cFileName), u"report.txt");
  EXPECT_EQ(wide.nFileSizeLow, 1234u);
}

TEST(GetFindData, RefusesWildcardsAndMissingFilesWithAZeroedRecord) {
  ScratchDir dir;
  WriteWholeFile(dir.File("a.txt"), Bytes{1});
  for (std::string path : {dir.File("*.txt"), dir.File("a.tx?"), dir.File("?"), dir.File("none"), std::string()}) {
    FindFileData data;
    std::memset(&data, 0x5A, sizeof data);
    EXPECT_EQ(GetFindData(path.c_str(), &data), 0) << path;
    EXPECT_TRUE(AllZero(data)) << path;
    FindFileDataW wide;
    std::memset(&wide, 0x5A, sizeof wide);
    std::u16string w = Wide(path);
    EXPECT_EQ(GetFindDataW(w.c_str(), &wide), 0) << path;
    EXPECT_TRUE(AllZero(wide)) << path;
  }
  FindFileData data;
  std::memset(&data, 0x5A, sizeof data);
  EXPECT_EQ(GetFindData(nullptr, &data), 0);
  EXPECT_TRUE(AllZero(data));
  EXPECT_EQ(GetFindData(dir.File("a.txt").c_str(), nullptr), 0);
  // A lone surrogate has no spelling on the host: nothing is found.
  const wchar16 broken[] = {u'/', 0xD800, 0};
  FindFileDataW wide;
  EXPECT_EQ(GetFindDataW(broken, &wide), 0);
}

TEST(GetAttributeData, TellsFilesFromFoldersAndZeroesOnFailure) {
  ScratchDir dir;
  WriteWholeFile(dir.File("f"), Bytes(70000, 7));
  SysMapDrive('K', dir.path().c_str());
  FileAttributeData data;
  EXPECT_EQ(GetAttributeData("K:\\f", &data), 1);
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(data.dwFileAttributes, 0x20u);
  ASSERT_EQ(::chmod(dir.File("f").c_str(), 0444), 0);
  EXPECT_EQ(GetAttributeData("K:\\f", &data), 1);
  EXPECT_EQ(data.dwFileAttributes, 0x21u);  // and read-only
  EXPECT_EQ(GetAttributeData("K:\\", &data), 2);
  EXPECT_EQ(GetAttributeDataW(u"k:/f", &data), 1);
  std::memset(&data, 0x5A, sizeof data);
  EXPECT_EQ(GetAttributeData("K:\\none", &data), 0);
  EXPECT_TRUE(AllZero(data));
  std::memset(&data, 0x5A, sizeof data);
  EXPECT_EQ(GetAttributeData("L:\\f", &data), 0);  // a letter not lent
  EXPECT_TRUE(AllZero(data));
  SysMapDrive('K', nullptr);
}

// PATH set for one test and put back afterwards.
class SearchPath : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"one", "two", "three", "two/tool"}) ::mkdir(dir_.File(sub).c_str(), 0777);
    WriteWholeFile(dir_.File("two/tool.exe"), Bytes{1});
    WriteWholeFile(dir_.File("three/tool"), Bytes{2});
    WriteWholeFile(dir_.File("three/tool.com"), Bytes{3});
    WriteWholeFile(dir_.File("three/data.cfg"), Bytes{4});
  }
  SavedEnv path_{"PATH"};
  ScratchDir dir_;
};

TEST_F(SearchPath, FindsTheFirstCandidateOfTheWantedType) {
  std::string one = dir_.File("one"), two = dir_.File("two"), three = dir_.File("three");
  // The host's ':' and the ';' of stored lists both separate; empty entries
  // are skipped; a trailing separator adds none.
  std::string path = ":" + one + ";;" + two + "/:" + three;
  ::setenv("PATH", path.c_str(), 1);
  struct Case {
    const char* name;
    const char* extensions;
    int type;
    std::string expected;
  } cases[] = {
      {"tool", nullptr, PATH_FILE, three + "/tool"},
      {"tool", nullptr, PATH_DIRECTORY, two + "/tool"},
      {"tool", "exe;com", PATH_FILE, two + "/tool.exe"},
      {"tool", ".com;.exe", PATH_FILE, two + "/tool.exe"},  // folders first, then extensions
      {"tool", "bat;", PATH_FILE, three + "/tool"},  // the empty entry: the name as it is
      {"tool", "bat", PATH_FILE, ""},
      {"tool.exe", "com", PATH_FILE, two + "/tool.exe"},  // a name with extension is taken as it is
      {"data.cfg", nullptr, PATH_FILE, three + "/data.cfg"},
      {"data.cfg", nullptr, PATH_DIRECTORY, ""},
      {"none", "exe", PATH_FILE, ""},
  };
  for (const Case& c : cases) {
    char out[512];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(SearchFileInPath(out, c.name, sizeof out, c.extensions, c.type), int(c.expected.size()))
        << c.name << " " << (c.extensions ? c.extensions : "-");
    EXPECT_EQ(std::string(out), c.expected);
    char16_t wide[512];
    std::u16string name = Wide(c.name), ext = Wide(c.extensions ? c.extensions : "");
    EXPECT_EQ(SearchFileInPathW(wide, name.c_str(), 512, c.extensions ? ext.c_str() : nullptr, c.type),
              int(c.expected.size()));
    EXPECT_EQ(std::u16string(wide), Wide(c.expected));
  }
}

TEST_F(SearchPath, SkipsCandidatesThatDoNotFitAndWindowsStyleFolders) {
  std::string two = dir_.File("two"), three = dir_.File("three");
  SysMapDrive('M', three.c_str());
  std::string path = two + ":M:\\";
  ::setenv("PATH", path.c_str(), 1);
  char out[512];
  ASSERT_EQ(SearchFileInPath(out, "tool", sizeof out, nullptr, PATH_FILE), 7);
  EXPECT_STREQ(out, "M:\\tool");
  // two/tool.exe needs its length plus one; one less skips it for the next
  // folder's shorter candidate.
  std::string inTwo = two + "/tool.exe";
  int fits = int(inTwo.size()) + 1;
  EXPECT_EQ(SearchFileInPath(out, "tool", fits, "exe;com", PATH_FILE), int(inTwo.size()));
  EXPECT_EQ(SearchFileInPath(out, "tool", fits - 1, "exe;com", PATH_FILE), 11);
  EXPECT_STREQ(out, "M:\\tool.com");
  EXPECT_EQ(SearchFileInPath(out, "tool", 11, "exe;com", PATH_FILE), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(SearchFileInPath(out, "", sizeof out, nullptr, PATH_FILE), 0);
  EXPECT_EQ(SearchFileInPath(out, nullptr, sizeof out, nullptr, PATH_FILE), 0);
  EXPECT_EQ(SearchFileInPath(out, "tool", 0, nullptr, PATH_FILE), 0);
  ::unsetenv("PATH");
  out[0] = 'x';
  EXPECT_EQ(SearchFileInPath(out, "tool", sizeof out, nullptr, PATH_FILE), 0);
  EXPECT_EQ(out[0], 0);
  SysMapDrive('M', nullptr);
}

}  // namespace
