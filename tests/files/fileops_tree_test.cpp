// Path kinds and directory-tree deletion.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "files/fileops.h"
#include "stream_test_util.h"

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

TEST(GetPathKind, TellsTheFiveKinds) {
  struct Case {
    const char* path;
    int kind;
  } cases[] = {
      {"", 0},        {"a\\b", 0},  {"1:\\x", 0},   {"\\x", 1}, {"/x", 1}, {"d:", 2},
      {"Z:file", 2},  {"c:\\", 3},  {"C:/x", 3},    {"\\\\s\\share", 4}, {"//s", 4}, {"\\/", 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetPathKind(c.path), c.kind) << c.path;
    std::u16string wide(c.path, c.path + std::strlen(c.path));
    EXPECT_EQ(GetPathKindW(wide.c_str()), c.kind) << c.path;
  }
}

// root/f, root/sub/g, root/sub/deep/h, root/link -> outside (a directory).
struct Tree {
  ScratchDir dir, outside;
  std::string root = dir.File("root");
  Tree() {
    ::mkdir(root.c_str(), 0777);
    ::mkdir((root + "/sub").c_str(), 0777);
    ::mkdir((root + "/sub/deep").c_str(), 0777);
    WriteWholeFile(root + "/f", Bytes{1});
    WriteWholeFile(root + "/sub/g", Bytes{2});
    WriteWholeFile(root + "/sub/deep/h", Bytes{3});
    ::chmod((root + "/sub/g").c_str(), 0444);
    WriteWholeFile(outside.File("precious"), Bytes{4});
    ::symlink(outside.path().c_str(), (root + "/link").c_str());
  }
};

TEST(DeleteDirectoryTree, EachFlagKeepsWhatItShould) {
  {
    Tree t;
    EXPECT_TRUE(DeleteDirectoryTree(t.root.c_str(), 0));
    EXPECT_FALSE(Exists(t.root));
    EXPECT_TRUE(Exists(t.outside.File("precious")));
  }
  {
    Tree t;
    EXPECT_TRUE(DeleteDirectoryTree(t.root.c_str(), DELETE_TREE_KEEP_TOP));
    EXPECT_TRUE(Exists(t.root));
    EXPECT_FALSE(Exists(t.root + "/sub"));
    EXPECT_FALSE(Exists(t.root + "/f"));
    EXPECT_FALSE(Exists(t.root + "/link"));
    EXPECT_TRUE(Exists(t.outside.File("precious")));
  }
  {
    Tree t;
    std::u16string wide(t.root.begin(), t.root.end());
    EXPECT_TRUE(DeleteDirectoryTreeW(wide.c_str(), DELETE_TREE_KEEP_ALL));
    EXPECT_TRUE(Exists(t.root + "/sub/deep"));
    EXPECT_FALSE(Exists(t.root + "/sub/deep/h"));
    EXPECT_FALSE(Exists(t.root + "/sub/g"));
    EXPECT_FALSE(Exists(t.root + "/f"));
    EXPECT_TRUE(Exists(t.outside.File("precious")));
  }
}

TEST(DeleteDirectoryTree, FailsForAMissingDirectory) {
  ScratchDir dir;
  EXPECT_FALSE(DeleteDirectoryTree(dir.File("none").c_str(), 0));
  EXPECT_TRUE(DeleteDirectoryTree(dir.File("none").c_str(), DELETE_TREE_KEEP_TOP));
  EXPECT_FALSE(DeleteDirectoryTree(nullptr, 0));
}

}  // namespace

namespace {

void Age(const std::string& path, time_t secondsBack) {
  struct timespec times[2] = {{::time(nullptr) - secondsBack, 0}, {::time(nullptr) - secondsBack, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TEST(DeleteOldFiles, DeletesOnlyOldMatchingFiles) {
  ScratchDir dir;
  std::string root = dir.File("r");
  ::mkdir(root.c_str(), 0777);
  ::mkdir((root + "/sub").c_str(), 0777);
  for (const char* name : {"old.log", "OLD2.LOG", "old.txt", "young.log", "sub/deep.log"})
    WriteWholeFile(root + "/" + name, Bytes{1});
  for (const char* name : {"old.log", "OLD2.LOG", "old.txt", "sub/deep.log"}) Age(root + "/" + name, 7200);
  Age(root + "/young.log", 60);
  EXPECT_TRUE(DeleteOldFiles(root.c_str(), DELETE_TREE_KEEP_ALL, 3600, "*.log;*.tmp"));
  EXPECT_FALSE(Exists(root + "/old.log"));
  EXPECT_FALSE(Exists(root + "/OLD2.LOG"));
  EXPECT_FALSE(Exists(root + "/sub/deep.log"));
  EXPECT_TRUE(Exists(root + "/old.txt"));
  EXPECT_TRUE(Exists(root + "/young.log"));
  EXPECT_TRUE(Exists(root + "/sub"));
  // With flags 0 the young file keeps the directory alive.
  std::u16string wide(root.begin(), root.end());
  EXPECT_FALSE(DeleteOldFilesW(wide.c_str(), 0, 3600, u""));
  EXPECT_FALSE(Exists(root + "/old.txt"));
  EXPECT_FALSE(Exists(root + "/sub"));
  EXPECT_TRUE(Exists(root + "/young.log"));
  EXPECT_TRUE(DeleteOldFiles(root.c_str(), 0, 0, nullptr));
  EXPECT_FALSE(Exists(root));
}

}  // namespace
