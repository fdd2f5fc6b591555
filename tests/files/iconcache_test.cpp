#include "files/iconcache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/findfile.h"
#include "platform/pathsys.h"
#include "shell_test_util.h"

namespace {

std::string Key(const char key[8]) { return std::string(key, 8); }

TEST(FileIconCacheKey, KeysFoldAToZAndMarkHighBytes) {
  struct Case {
    const char* extension;
    const char* key;  // 8 bytes
    int bucket;
  } cases[] = {
      {"TXT", "txt\0\0\0\0\0", 20},
      {"txt", "txt\0\0\0\0\0", 20},
      {"Document", "document", 4},
      {"documentation", "document", 4},
      {"1abc", "1abc\0\0\0\0", 0},
      {".x", ".x\0\0\0\0\0\0", 0},
      {"", "\0\0\0\0\0\0\0\0", 0},
      {"\xE4Xt", "\xFFxt\0\0\0\0\0", 0},
      {"a\x80[", "a\xFF[\0\0\0\0\0", 1},
      {"Z_@", "z_@\0\0\0\0\0", 26},
      {"`{", "`{\0\0\0\0\0\0", 0},
  };
  for (const Case& c : cases) {
    char key[8];
    CFileIconCache::MakeKey(c.extension, key);
    EXPECT_EQ(Key(key), std::string(c.key, 8)) << c.extension;
    EXPECT_EQ(CFileIconCache::BucketOf(key), c.bucket) << c.extension;
  }
  char key[8];
  CFileIconCache::MakeKeyW(u"J\u00C4pg\u20AC", key);
  EXPECT_EQ(Key(key), std::string("j\xFFpg\xFF\0\0\0", 8));
  CFileIconCache::MakeKey(nullptr, key);
  EXPECT_EQ(Key(key), std::string(8, '\0'));
}

TEST(FileIconCache, OneEntryPerKeyInItsBucket) {
  CFileIconCache cache;
  FileIconEntry* upper = cache.GetEntry("TXT");
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(cache.GetEntry("txt"), upper);
  EXPECT_EQ(cache.GetEntryW(u"tXt"), upper);
  EXPECT_EQ(Key(upper->key), std::string("txt\0\0\0\0\0", 8));
  for (int icon : upper->icon) EXPECT_EQ(icon, -1);
  EXPECT_EQ(upper->typeName, nullptr);
  ASSERT_NE(cache.Bucket(20), nullptr);
  EXPECT_EQ(cache.Bucket(20)->count, 1u);
  EXPECT_EQ(cache.Bucket(20)->items[0], upper);
  EXPECT_EQ(cache.GetEntry("Document"), cache.GetEntry("documentation"));
  EXPECT_EQ(cache.Bucket(4)->count, 1u);
  EXPECT_NE(cache.GetEntry("1x"), nullptr);
  EXPECT_NE(cache.GetEntry(".x"), nullptr);
  EXPECT_EQ(cache.Bucket(0)->count, 2u);
  EXPECT_EQ(cache.Bucket(1), nullptr);
  EXPECT_EQ(cache.Bucket(27), nullptr);
  EXPECT_EQ(cache.Bucket(-1), nullptr);
}

TEST(FileIconCache, RecordsStaySortedAndEntriesStayPut) {
  CFileIconCache cache;
  std::vector<std::string> extensions = {"doc", "dat", "dz", "d", "dll", "docx", "d\xFF", "d0", "DLL"};
  std::vector<FileIconEntry*> entries;
  for (const std::string& e : extensions) entries.push_back(cache.GetEntry(e.c_str()));
  for (size_t i = 0; i < extensions.size(); ++i)
    EXPECT_EQ(cache.GetEntry(extensions[i].c_str()), entries[i]) << extensions[i];
  // Expected order: the keys as unsigned bytes, duplicates once.
  std::set<std::string> keys;
  for (const std::string& e : extensions) {
    char key[8];
    CFileIconCache::MakeKey(e.c_str(), key);
    keys.insert(Key(key));
  }
  const CRecordArray* bucket = cache.Bucket(4);
  ASSERT_NE(bucket, nullptr);
  ASSERT_EQ(bucket->count, keys.size());
  size_t i = 0;
  for (const std::string& key : keys)
    EXPECT_EQ(Key(static_cast<FileIconEntry*>(bucket->items[i++])->key), key);
}

TEST(FileIconCache, InternedStringsAreOwnedCopiesCutAtTheLength) {
  CFileIconCache cache;
  EXPECT_EQ(cache.StringStore(), nullptr);
  // Exactly five bytes with no terminator: nothing behind them is read.
  std::unique_ptr<char[]> text(new char[5]);
  memcpy(text.get(), "Datei", 5);
  const char* whole = cache.InternString(text.get(), 5);
  const char* part = cache.InternString(text.get(), 3);
  const char* empty = cache.InternString("", 0);
  text.reset();
  EXPECT_STREQ(whole, "Datei");
  EXPECT_STREQ(part, "Dat");
  EXPECT_STREQ(empty, "");
  ASSERT_NE(cache.StringStore(), nullptr);
  EXPECT_EQ(cache.StringStore()->count, 3u);
  EXPECT_EQ(cache.StringStore()->items[2], empty);
}

TEST(FileIconCache, ClearEmptiesEverythingAndTheCacheStartsAgain) {
  CFileIconCache cache;
  FileIconEntry* entry = cache.GetEntry("png");
  entry->icon[1] = 42;
  cache.InternString("PNG-Datei", 9);
  cache.Clear();
  for (int b = 0; b < ICONCACHE_BUCKETS; ++b) EXPECT_EQ(cache.Bucket(b), nullptr);
  EXPECT_EQ(cache.StringStore(), nullptr);
  entry = cache.GetEntry("png");
  EXPECT_EQ(entry->icon[1], -1);
  cache.Clear();
  cache.Clear();
}

TEST(FileIconCache, DestructionFreesBucketsAndStrings) {
  // Leak-checked under the sanitizer build.
  auto cache = std::make_unique<CFileIconCache>();
  for (int i = 0; i < 500; ++i) {
    std::string ext = "e" + std::to_string(i);
    cache->GetEntry(ext.c_str());
    cache->InternString(ext.c_str(), uint32_t(ext.size()));
  }
  EXPECT_EQ(cache->Bucket(5)->count, 500u);
  cache.reset();
}

TEST(FileIconCache, TwoThreadsShareOneEntryPerKey) {
  CFileIconCache cache;
  std::vector<std::string> extensions;
  for (int i = 0; i < 300; ++i) extensions.push_back(std::string(1, char('a' + i % 26)) + std::to_string(i));
  std::vector<FileIconEntry*> seen[2];
  auto hammer = [&](int t) {
    for (int round = 0; round < 20; ++round)
      for (size_t i = 0; i < extensions.size(); ++i) {
        size_t k = t ? extensions.size() - 1 - i : i;
        FileIconEntry* entry = cache.GetEntry(extensions[k].c_str());
        if (round == 0) seen[t].push_back(entry);
        cache.InternString(extensions[k].c_str(), 2);
      }
  };
  std::thread first(hammer, 0), second(hammer, 1);
  first.join();
  second.join();
  uint32_t total = 0;
  for (int b = 0; b < ICONCACHE_BUCKETS; ++b)
    if (cache.Bucket(b)) total += cache.Bucket(b)->count;
  EXPECT_EQ(total, extensions.size());
  for (size_t i = 0; i < extensions.size(); ++i)
    EXPECT_EQ(seen[0][i], seen[1][extensions.size() - 1 - i]) << extensions[i];
  EXPECT_EQ(cache.StringStore()->count, 2u * 20u * extensions.size());
}

// The lookups by file name ask the shell once per extension and icon kind.
TEST(FileIconLookup, AsksTheShellOncePerExtension) {
  g_fileIconCache.Clear();
  long before = SysShellInfoQueries();
  for (int i = 0; i < 50; ++i) {
    std::string name = "file" + std::to_string(i) + ".TxT";
    EXPECT_EQ(GetFileIconIndex(name.c_str(), SYS_ATTR_NORMAL, 0), SYS_ICON_FIRST_EXTENSION + 0);
  }
  EXPECT_EQ(SysShellInfoQueries(), before + 1);
  EXPECT_EQ(GetFileIconIndex("x.txt", SYS_ATTR_NORMAL, 1), SYS_ICON_FIRST_EXTENSION + 0);
  EXPECT_EQ(GetFileIconIndex("y.txt", SYS_ATTR_NORMAL, 1 | 4), SYS_ICON_FIRST_EXTENSION + 0);
  EXPECT_EQ(SysShellInfoQueries(), before + 2);
  EXPECT_EQ(GetFileIconIndex("a.zlv", SYS_ATTR_NORMAL, 0), SYS_ICON_FIRST_EXTENSION + 1);
  EXPECT_EQ(GetFileIconIndex("dir.d/readme", SYS_ATTR_NORMAL, 0), SYS_ICON_FILE);
  EXPECT_EQ(GetFileIconIndex("b.qqq", SYS_ATTR_NORMAL, 0), SYS_ICON_FILE);
  EXPECT_EQ(SysShellInfoQueries(), before + 5);
  FileIconEntry* entry = g_fileIconCache.GetEntry("txt");
  EXPECT_EQ(entry->icon[0], SYS_ICON_FIRST_EXTENSION);
  EXPECT_EQ(entry->icon[1], SYS_ICON_FIRST_EXTENSION);
  EXPECT_EQ(entry->icon[2], -1);
  EXPECT_EQ(GetFileIconIndex("folder.txt", SYS_ATTR_DIRECTORY, 2), SYS_ICON_FOLDER_OPEN);
  EXPECT_EQ(GetFileIconIndex(nullptr, 0, 0), -1);
  g_fileIconCache.Clear();
}

TEST(FileIconLookup, TypeNamesAreKeptInTheStringStore) {
  g_fileIconCache.Clear();
  long before = SysShellInfoQueries();
  const char* first = GetFileTypeName("a.qqq", SYS_ATTR_NORMAL);
  EXPECT_STREQ(first, "QQQ-Datei");
  EXPECT_EQ(GetFileTypeName("B.QQQ", SYS_ATTR_NORMAL), first);
  EXPECT_STREQ(GetFileTypeName("noext", SYS_ATTR_NORMAL), "Datei");
  EXPECT_STREQ(GetFileTypeName("x.tar.gz", SYS_ATTR_NORMAL), "GZ-Datei");
  EXPECT_EQ(SysShellInfoQueries(), before + 3);
  EXPECT_EQ(g_fileIconCache.GetEntry("qqq")->typeName, first);
  EXPECT_EQ(g_fileIconCache.StringStore()->count, 3u);
  g_fileIconCache.Clear();
}

TEST(FileIconLookup, ThreadsAgreeOnTypeNamesAndIcons) {
  g_fileIconCache.Clear();
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back("f." + std::string(1, char('a' + i % 26)) + std::to_string(i));
  std::vector<const char*> types[2];
  std::vector<int> icons[2];
  auto work = [&](int t) {
    for (const std::string& name : names) {
      types[t].push_back(GetFileTypeName(name.c_str(), SYS_ATTR_NORMAL));
      icons[t].push_back(GetFileIconIndex(name.c_str(), SYS_ATTR_NORMAL, unsigned(t)));
    }
  };
  std::thread first(work, 0), second(work, 1);
  first.join();
  second.join();
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(types[0][i], types[1][i]) << names[i];
    EXPECT_EQ(icons[0][i], SYS_ICON_FILE) << names[i];
    EXPECT_EQ(icons[1][i], SYS_ICON_FILE) << names[i];
    std::string expected = names[i].substr(2);
    for (char& c : expected) c = char(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(std::string(types[0][i]), expected + "-Datei");
  }
  g_fileIconCache.Clear();
}

DWORD g_now = 0;
DWORD FakeClock() { return g_now; }

class DriveIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int letter = 'A'; letter <= 'Z'; ++letter) {
      SysMapDrive(letter, nullptr);
      SysSetDriveType(letter, 0);
    }
    g_now = 100000;
    SysSetTickSource(FakeClock);
    ResetDriveIconCache();
  }
  void TearDown() override {
    for (int letter = 'A'; letter <= 'Z'; ++letter) {
      SysMapDrive(letter, nullptr);
      SysSetDriveType(letter, 0);
    }
    SysSetTickSource(nullptr);
    ResetDriveIconCache();
  }
  ShellScratch dir_;
};

TEST_F(DriveIconTest, LettersOutsideAToZAreRefused) {
  long before = SysShellInfoQueries();
  for (char letter : {'1', '@', '[', '{', '\xC4', '\0'}) EXPECT_EQ(GetDriveIconIndex(letter, 0), -2) << int(letter);
  EXPECT_EQ(SysShellInfoQueries(), before);
}

TEST_F(DriveIconTest, FixedDrivesAreAskedOncePerSize) {
  SysMapDrive('C', dir_.path().c_str());
  long before = SysShellInfoQueries();
  EXPECT_EQ(GetDriveIconIndex('C', 0), SYS_ICON_DRIVE_FIXED);
  EXPECT_EQ(GetDriveIconIndex('c', 0), SYS_ICON_DRIVE_FIXED);
  EXPECT_EQ(SysShellInfoQueries(), before + 1);
  g_now += 1000000;
  EXPECT_EQ(GetDriveIconIndex('c', 2), SYS_ICON_DRIVE_FIXED);
  EXPECT_EQ(SysShellInfoQueries(), before + 1);
  EXPECT_EQ(GetDriveIconIndex('C', 1), SYS_ICON_DRIVE_FIXED);
  EXPECT_EQ(GetDriveIconIndex('C', 3), SYS_ICON_DRIVE_FIXED);
  EXPECT_EQ(SysShellInfoQueries(), before + 2);
}

TEST_F(DriveIconTest, OtherDrivesAreAskedAgainAfterThreeSeconds) {
  SysMapDrive('E', dir_.path().c_str());
  SysSetDriveType('E', SYS_DRIVE_REMOVABLE);
  long before = SysShellInfoQueries();
  EXPECT_EQ(GetDriveIconIndex('E', 0), SYS_ICON_DRIVE_REMOVABLE);
  g_now += 2999;
  EXPECT_EQ(GetDriveIconIndex('e', 0), SYS_ICON_DRIVE_REMOVABLE);
  EXPECT_EQ(SysShellInfoQueries(), before + 1);
  g_now += 1;
  SysSetDriveType('E', SYS_DRIVE_CDROM);
  EXPECT_EQ(GetDriveIconIndex('E', 0), SYS_ICON_DRIVE_CDROM);
  EXPECT_EQ(SysShellInfoQueries(), before + 2);
  // The tick count wraps without making the cached index look fresh.
  g_now = 0xFFFFFFFFu - 500;
  EXPECT_EQ(GetDriveIconIndex('E', 0), SYS_ICON_DRIVE_CDROM);
  g_now += 1000;
  EXPECT_EQ(GetDriveIconIndex('E', 0), SYS_ICON_DRIVE_CDROM);
  EXPECT_EQ(SysShellInfoQueries(), before + 3);
}

TEST_F(DriveIconTest, DriveMaskIsKeptForASecond) {
  SysMapDrive('D', dir_.path().c_str());
  EXPECT_EQ(GetLogicalDrivesCached(), 1u << 3);
  SysMapDrive('F', dir_.path().c_str());
  g_now += 999;
  EXPECT_EQ(GetLogicalDrivesCached(), 1u << 3);
  g_now += 1;
  EXPECT_EQ(GetLogicalDrivesCached(), (1u << 3) | (1u << 5));
}

TEST_F(DriveIconTest, SystemDriveIsTheFirstDriveFromCOn) {
  SysMapDrive('A', dir_.path().c_str());
  SysMapDrive('F', dir_.path().c_str());
  SysMapDrive('K', dir_.path().c_str());
  EXPECT_EQ(GetSystemDriveLetter(), 'F');
  SysMapDrive('D', dir_.path().c_str());
  g_now += 5000;
  EXPECT_EQ(GetSystemDriveLetter(), 'F');  // found once
  ResetDriveIconCache();
  for (int letter : {'A', 'D', 'F', 'K'}) SysMapDrive(letter, nullptr);
  EXPECT_EQ(GetSystemDriveLetter(), 'C');
}

TEST_F(DriveIconTest, FolderIconsAndImageLists) {
  EXPECT_EQ(GetDirectoryIconIndex(0), SYS_ICON_FOLDER);
  EXPECT_EQ(GetDirectoryIconIndex(1), SYS_ICON_FOLDER);
  EXPECT_EQ(GetDirectoryIconIndex(2), SYS_ICON_FOLDER_OPEN);
  long before = SysShellInfoQueries();
  EXPECT_EQ(GetSystemImageList(1), SYS_IMAGELIST_SMALL);
  EXPECT_EQ(GetSystemImageList(-7), SYS_IMAGELIST_SMALL);
  EXPECT_EQ(GetSystemImageList(0), SYS_IMAGELIST_LARGE);
  EXPECT_EQ(GetSystemImageList(0), SYS_IMAGELIST_LARGE);
  EXPECT_EQ(SysShellInfoQueries(), before + 2);
}

}  // namespace
