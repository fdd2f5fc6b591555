// Path kinds and directory-tree deletion.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "files/fileops.h"
#include "platform/dirhandle.h"
#include "platform/fsops.h"
#include "platform/syserror.h"
#include "platform/sysinfo.h"
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
    for (const char* name : {"/f", "/sub/g", "/sub/deep/h", "/link"}) Backdate(root + name);
  }
  // An hour old, so that DeleteOldFiles with age 0 takes it; links themselves.
  static void Backdate(const std::string& path) {
    struct timespec times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
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

// Both deletes over one start: DeleteOldFiles with age 0 takes every file.
bool DeleteBy(bool old, const std::string& start, int flags) {
  return old ? DeleteOldFiles(start.c_str(), flags, 0, nullptr) : DeleteDirectoryTree(start.c_str(), flags);
}

// A start that is a link loses the link (flags 0) or nothing; never a byte
// of what it names, however the start is spelt.
TEST(DeleteDirectoryTree, AStartThatIsALinkLosesOnlyTheLink) {
  for (bool old : {false, true}) {
    for (int flags : {0, int(DELETE_TREE_KEEP_TOP), int(DELETE_TREE_KEEP_ALL)}) {
      for (const char* tail : {"", "/", "\\", "/.", "\\.\\"}) {
        Tree t;
        std::string link = t.dir.File("top");
        ASSERT_EQ(::symlink(t.root.c_str(), link.c_str()), 0);
        SCOPED_TRACE(std::string(old ? "old " : "tree ") + std::to_string(flags) + tail);
        EXPECT_EQ(DeleteBy(old, link + tail, flags), flags == 0);
        EXPECT_EQ(Exists(link), flags != 0);
        for (const char* kept : {"/f", "/sub/g", "/sub/deep/h", "/link"}) EXPECT_TRUE(Exists(t.root + kept)) << kept;
        EXPECT_TRUE(Exists(t.outside.File("precious")));
      }
    }
  }
}

// "." and ".." are read off the spelling: "holder/top/.." is holder, never
// the folder above what the link top names, which the host would take.
TEST(DeleteDirectoryTree, DotsAfterALinkAreReadOffTheSpelling) {
  struct Case {
    const char* tail;
    int flags;
    bool result, linkStays;
  } cases[] = {{"/top/..", DELETE_TREE_KEEP_TOP, true, false},
               {"/top/../top/.", DELETE_TREE_KEEP_TOP, false, true},
               {"\\top\\.\\..\\top", 0, true, false}};
  for (bool old : {false, true}) {
    for (const Case& c : cases) {
      Tree t;
      std::string holder = t.dir.File("holder");
      ::mkdir(holder.c_str(), 0777);
      ASSERT_EQ(::symlink((t.root + "/sub").c_str(), (holder + "/top").c_str()), 0);
      SCOPED_TRACE(std::string(old ? "old " : "tree ") + c.tail);
      EXPECT_EQ(DeleteBy(old, holder + c.tail, c.flags), c.result);
      EXPECT_TRUE(Exists(holder));
      EXPECT_EQ(Exists(holder + "/top"), c.linkStays);
      for (const char* kept : {"/f", "/sub/g", "/sub/deep/h", "/link"}) EXPECT_TRUE(Exists(t.root + kept)) << kept;
    }
  }
}

// A walk goes SYS_MAX_WALK_DEPTH folders deep and no deeper, whatever the
// open-file limit, so its recursion stays within the stack; deeper, it fails
// and keeps what it could not reach.
TEST(DeleteDirectoryTree, StopsAtTheWalkDepth) {
  ScratchDir dir;
  std::string root = dir.File("deep"), middle = root;
  ASSERT_EQ(::mkdir(root.c_str(), 0777), 0);
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 1; level <= SYS_MAX_WALK_DEPTH + 2; ++level) {
    ASSERT_EQ(::mkdirat(fd, "a", 0777), 0);
    int next = ::openat(fd, "a", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    if (level <= SYS_MAX_WALK_DEPTH / 2) middle += "/a";
  }
  ::close(fd);
  for (int flags : {0, int(DELETE_TREE_KEEP_TOP), int(DELETE_TREE_KEEP_ALL)}) {
    SysSetLastError(0);
    EXPECT_FALSE(DeleteDirectoryTree(root.c_str(), flags));
    EXPECT_EQ(SysGetLastError(), SYS_ERROR_FILENAME_EXCED_RANGE) << flags;
  }
  EXPECT_TRUE(Exists(middle + "/a"));
  // Half way down the rest is within reach (and the scratch folder's own
  // removal takes paths of the host's length).
  EXPECT_TRUE(DeleteDirectoryTree(middle.c_str(), 0));
  EXPECT_TRUE(DeleteDirectoryTree(root.c_str(), 0));
}

// A link inside the tree goes as a name, whatever it points at (a folder
// outside, a file outside, nothing); what it names stays.
TEST(DeleteDirectoryTree, LinksInsideGoAsNamesOnly) {
  for (bool old : {false, true}) {
    for (int flags : {0, int(DELETE_TREE_KEEP_TOP), int(DELETE_TREE_KEEP_ALL)}) {
      Tree t;
      ASSERT_EQ(::symlink(t.outside.File("precious").c_str(), (t.root + "/sub/to-file").c_str()), 0);
      ASSERT_EQ(::symlink("/nonexistent/zelvaro", (t.root + "/sub/deep/dangling").c_str()), 0);
      Tree::Backdate(t.root + "/sub/to-file");
      Tree::Backdate(t.root + "/sub/deep/dangling");
      SCOPED_TRACE(std::string(old ? "old " : "tree ") + std::to_string(flags));
      EXPECT_TRUE(DeleteBy(old, t.root, flags));
      for (const char* gone : {"/link", "/sub/to-file", "/sub/deep/dangling", "/sub/deep/h"})
        EXPECT_FALSE(Exists(t.root + gone)) << gone;
      EXPECT_EQ(Exists(t.root + "/sub/deep"), flags == DELETE_TREE_KEEP_ALL);
      EXPECT_EQ(ReadWholeFile(t.outside.File("precious")), Bytes{4});
    }
  }
}

// A walk that has listed "sub" finds a link there when it comes to open it:
// the link goes, the folder it names keeps every file.
struct Swapper {
  std::string root, outside;
  static void Hook(const char* name, void* context) {
    auto* s = static_cast<Swapper*>(context);
    if (std::string(name) != "sub") return;
    ::rename((s->root + "/sub").c_str(), (s->root + "/moved").c_str());
    ::symlink(s->outside.c_str(), (s->root + "/sub").c_str());
    // Young beyond doubt: a link made now may carry the file system's coarse
    // clock, a little behind the moment DeleteOldFiles took as its now.
    struct timespec times[2] = {{::time(nullptr) + 3600, 0}, {::time(nullptr) + 3600, 0}};
    ::utimensat(AT_FDCWD, (s->root + "/sub").c_str(), times, AT_SYMLINK_NOFOLLOW);
  }
};

TEST(DeleteDirectoryTree, AFolderSwappedForALinkIsNotEntered) {
  for (bool old : {false, true}) {
    for (int flags : {0, int(DELETE_TREE_KEEP_TOP), int(DELETE_TREE_KEEP_ALL)}) {
      Tree t;
      Swapper swapper{t.root, t.outside.path()};
      SysSetOpenChildHook(&Swapper::Hook, &swapper);
      bool result = DeleteBy(old, t.root, flags);
      SysSetOpenChildHook(nullptr, nullptr);
      SCOPED_TRACE(std::string(old ? "old " : "tree ") + std::to_string(flags));
      // Flags 0 cannot remove the root: "moved" came after the listing.
      EXPECT_EQ(result, flags != 0);
      EXPECT_EQ(Exists(t.root + "/sub"), old);  // a young link escapes DeleteOldFiles
      EXPECT_TRUE(Exists(t.root + "/moved/deep/h"));
      EXPECT_EQ(ReadWholeFile(t.outside.File("precious")), Bytes{4});
    }
  }
}

// A folder that exists but cannot be read is a failure with any flags; one
// that is missing counts as done when the top may stay.
TEST(DeleteDirectoryTree, AFolderThatCannotBeListedFails) {
  struct Case {
    int skip;  // listings that pass first: 0 the root, 1 the subfolder
    int flags;
  } cases[] = {{0, DELETE_TREE_KEEP_ALL}, {1, DELETE_TREE_KEEP_ALL}, {1, DELETE_TREE_KEEP_TOP}, {1, 0}};
  for (bool old : {false, true}) {
    for (const Case& c : cases) {
      Tree t;
      ::unlink((t.root + "/link").c_str());  // one subfolder only
      SysInjectFault(SysFault::List, c.skip);
      bool result = DeleteBy(old, t.root, c.flags);
      SysClearFaults();
      SCOPED_TRACE(std::string(old ? "old " : "tree ") + std::to_string(c.skip) + " " + std::to_string(c.flags));
      EXPECT_FALSE(result);
      EXPECT_TRUE(Exists(t.root + "/sub/g"));
    }
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
