// Directory-tree scans and copies: patterns, the callback's calls and
// answers, the counter, the cancel flag and the failures.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/copytree.h"
#include "platform/dirhandle.h"
#include "platform/fsops.h"
#include "stream_test_util.h"

namespace fs = std::filesystem;

namespace {

struct Call {
  int event;
  std::string path;  // relative to the source or target root when under it
  int64_t size;
  int error;
  bool operator==(const Call& o) const {
    return event == o.event && path == o.path && size == o.size && error == o.error;
  }
};

std::ostream& operator<<(std::ostream& out, const Call& c) {
  return out << "{" << c.event << " " << c.path << " " << c.size << " " << c.error << "}";
}

// Records each call; answers from a table by path (default 0).
struct Recorder {
  std::string root;
  std::vector<Call> calls;
  std::vector<std::pair<std::string, int>> answers;
  BYTE* cancelAfterFirstCopy = nullptr;

  static int Callback(int event, CopyTreeOptions* options) {
    Recorder* self = static_cast<Recorder*>(options->user);
    std::string path(options->path, size_t(options->pathLength));
    EXPECT_EQ(std::strlen(options->path), size_t(options->pathLength));
    if (path.compare(0, self->root.size(), self->root) == 0) path = path.substr(self->root.size());
    self->calls.push_back(Call{event, path, event == 0 || event == 2 ? options->fileSize : 0,
                               event == 4 ? options->error : 0});
    if (event == 2 && self->cancelAfterFirstCopy) *self->cancelAfterFirstCopy = 1;
    for (auto& answer : self->answers)
      if (answer.first == path && (event == 0 || event == 1 || event == 2)) return answer.second;
    return 0;
  }
};

// src/a.txt (10) src/b.log (20) src/c.TXT (30) src/sub/d.txt (40)
// src/sub/deep/e.txt (50) src/empty/
class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    src_ = dir_.File("src");
    dst_ = dir_.File("dst");
    fs::create_directories(src_ + "/sub/deep");
    fs::create_directories(src_ + "/empty");
    const std::pair<const char*, size_t> files[] = {
        {"a.txt", 10}, {"b.log", 20}, {"c.TXT", 30}, {"sub/d.txt", 40}, {"sub/deep/e.txt", 50}};
    for (auto& f : files) WriteWholeFile(src_ + "/" + f.first, RandomBytes(uint32_t(f.second), f.second));
    recorder_.root = src_ + "/";
    options_.callback = Recorder::Callback;
    options_.user = &recorder_;
  }
  void TearDown() override { SysClearFaults(); }
  std::vector<std::string> Copied() {
    std::vector<std::string> names;
    if (!fs::exists(dst_)) return names;
    for (auto& e : fs::recursive_directory_iterator(dst_)) names.push_back(fs::relative(e.path(), dst_).string());
    std::sort(names.begin(), names.end());
    return names;
  }
  ScratchDir dir_;
  std::string src_, dst_;
  Recorder recorder_;
  CopyTreeOptions options_;
};

using Names = std::vector<std::string>;

TEST_F(Tree, ScanCountsFilesInNameOrderAndCallsBack) {
  EXPECT_EQ(FileTreeScan(0, src_.c_str(), &options_), 3);
  EXPECT_EQ(options_.totalSize, 60);
  EXPECT_EQ(recorder_.calls, (std::vector<Call>{{0, "a.txt", 10, 0}, {0, "b.log", 20, 0}, {0, "c.TXT", 30, 0},
                                                {5, "", 0, 0}}));
  recorder_.calls.clear();
  options_.include = "*.txt";
  EXPECT_EQ(FileTreeScan(TREE_SUBDIRECTORIES, src_.c_str(), &options_), 4);
  EXPECT_EQ(options_.totalSize, 10 + 30 + 40 + 50);
  EXPECT_EQ(recorder_.calls,
            (std::vector<Call>{{0, "a.txt", 10, 0},
                               {0, "c.TXT", 30, 0},  // patterns are case-blind
                               {1, "empty", 0, 0},
                               {1, "sub", 0, 0},
                               {0, "sub/d.txt", 40, 0},  // '.' sorts before 'e'
                               {1, "sub/deep", 0, 0},
                               {0, "sub/deep/e.txt", 50, 0},
                               {5, "", 0, 0}}));
  // Answers: a positive one skips, a negative one stops.
  recorder_.calls.clear();
  options_.include = nullptr;
  options_.exclude = "*.log;e*";
  recorder_.answers = {{"a.txt", 1}, {"sub", -1}};
  EXPECT_EQ(FileTreeScan(TREE_SUBDIRECTORIES, src_.c_str(), &options_), 1);
  EXPECT_EQ(options_.totalSize, 30);
  EXPECT_EQ(recorder_.calls, (std::vector<Call>{{0, "a.txt", 10, 0},
                                                {0, "c.TXT", 30, 0},
                                                {1, "empty", 0, 0},
                                                {1, "sub", 0, 0},
                                                {5, "", 0, 0}}));
  // The quiet mode counts without calling.
  recorder_.calls.clear();
  recorder_.answers.clear();
  EXPECT_EQ(FileTreeScan(TREE_SUBDIRECTORIES | TREE_SCAN_QUIET, src_.c_str(), &options_), 3);  // e.txt excluded
  EXPECT_TRUE(recorder_.calls.empty());
}

TEST_F(Tree, ScanTellsWhatTheStartIs) {
  EXPECT_EQ(FileTreeScan(0, dir_.File("none").c_str(), &options_), TREE_ERROR_NOT_FOUND);
  std::string file = src_ + "/a.txt";
  EXPECT_EQ(FileTreeScan(0, file.c_str(), &options_), TREE_ERROR_START_IS_FILE);
  EXPECT_EQ(FileTreeScan(TREE_SUBDIRECTORIES, file.c_str(), &options_), 1);
  EXPECT_EQ(options_.totalSize, 10);
  EXPECT_EQ(FileTreeScan(0, (src_ + "/empty").c_str(), nullptr), 0);
  EXPECT_EQ(FileTreeScan(0, (src_ + "/").c_str(), nullptr), 3);
  std::u16string wide(src_.begin(), src_.end());
  CopyTreeOptionsW wideOptions;
  wideOptions.include = u"*.TXT";
  EXPECT_EQ(FileTreeScanW(TREE_SUBDIRECTORIES, wide.c_str(), &wideOptions), 4);
  EXPECT_EQ(wideOptions.totalSize, 130);
}

TEST_F(Tree, CopiesTheFilesThatPassAndCountsTheirBytes) {
  uint64_t counter = 999;
  options_.counter = &counter;
  options_.exclude = "*.log";
  recorder_.answers = {{"c.TXT", 1}};
  EXPECT_EQ(CopyDirectoryTree(COPY_COUNTER_64 | TREE_SUBDIRECTORIES | TREE_CREATE_TARGET, src_.c_str(), dst_.c_str(),
                              &options_),
            4);
  EXPECT_EQ(Copied(), (Names{"a.txt", "empty", "sub", "sub/d.txt", "sub/deep", "sub/deep/e.txt"}));
  EXPECT_EQ(ReadWholeFile(dst_ + "/sub/deep/e.txt"), RandomBytes(50, 50));
  EXPECT_EQ(counter, 10u + 40u + 50u);
  EXPECT_EQ(recorder_.calls, (std::vector<Call>{{2, "a.txt", 10, 0},
                                                {2, "c.TXT", 30, 0},
                                                {2, "sub/d.txt", 40, 0},
                                                {2, "sub/deep/e.txt", 50, 0},
                                                {5, "", 0, 0}}));
  // Without subfolders only the top level; the counter kept when asked.
  fs::remove_all(dst_);
  recorder_.answers.clear();
  uint32_t counter32 = 5;
  options_.counter = &counter32;
  EXPECT_EQ(CopyDirectoryTree(COPY_KEEP_COUNTER | TREE_CREATE_TARGET, src_.c_str(), dst_.c_str(), &options_), 2);
  EXPECT_EQ(Copied(), (Names{"a.txt", "c.TXT"}));
  EXPECT_EQ(counter32, 5u + 10u + 30u);
}

TEST_F(Tree, FormsAndPreparesTheTargetFolder) {
  // A missing target without TREE_CREATE_TARGET cannot be made.
  EXPECT_EQ(CopyDirectoryTree(0, src_.c_str(), dst_.c_str(), &options_), TREE_ERROR_CREATE_DIRECTORY);
  EXPECT_EQ(recorder_.calls.front(), (Call{4, dst_, 0, TREE_ERROR_CREATE_DIRECTORY}));
  EXPECT_FALSE(fs::exists(dst_));
  // TREE_INTO_NAMED copies into a folder named as the source.
  fs::create_directory(dst_);
  EXPECT_EQ(CopyDirectoryTree(TREE_INTO_NAMED, src_.c_str(), dst_.c_str(), nullptr), 3);
  EXPECT_EQ(Copied(), (Names{"src", "src/a.txt", "src/b.log", "src/c.TXT"}));
  // TREE_CLEAR_TARGET empties the target first.
  WriteWholeFile(dst_ + "/old", Bytes{1});
  fs::create_directories(dst_ + "/olddir/x");
  EXPECT_EQ(CopyDirectoryTree(TREE_CLEAR_TARGET, (src_ + "/sub").c_str(), dst_.c_str(), nullptr), 1);
  EXPECT_EQ(Copied(), (Names{"d.txt"}));
  // A file in the target's place.
  std::string blocked = dir_.File("blocked");
  WriteWholeFile(blocked, Bytes{1});
  EXPECT_EQ(CopyDirectoryTree(TREE_CREATE_TARGET, src_.c_str(), blocked.c_str(), nullptr),
            TREE_ERROR_CREATE_DIRECTORY);
  // Sources that are no folder, and a tree without matching files.
  EXPECT_EQ(CopyDirectoryTree(0, dir_.File("none").c_str(), dst_.c_str(), nullptr), TREE_ERROR_NOT_FOUND);
  EXPECT_EQ(CopyDirectoryTree(0, (src_ + "/a.txt").c_str(), dst_.c_str(), nullptr), TREE_ERROR_START_IS_FILE);
  options_.include = "*.none";
  EXPECT_EQ(CopyDirectoryTree(TREE_CREATE_TARGET, src_.c_str(), dir_.File("other").c_str(), &options_), 0);
  EXPECT_FALSE(fs::exists(dir_.File("other")));
}

TEST_F(Tree, CopiesIntoItsOwnSubfolderWithoutRecursing) {
  std::string inside = src_ + "/sub/copy";
  EXPECT_EQ(CopyDirectoryTree(TREE_SUBDIRECTORIES | TREE_CREATE_TARGET, src_.c_str(), inside.c_str(), nullptr), 5);
  EXPECT_TRUE(fs::exists(inside + "/sub/deep/e.txt"));
  EXPECT_FALSE(fs::exists(inside + "/sub/copy"));
}

TEST_F(Tree, StopsOnCancelAndReportsFailures) {
  BYTE cancel = 1;
  options_.cancel = &cancel;
  fs::create_directory(dst_);
  EXPECT_EQ(CopyDirectoryTree(TREE_SUBDIRECTORIES, src_.c_str(), dst_.c_str(), &options_), 0);
  EXPECT_EQ(Copied(), Names{});
  // Cancelled during the walk: what was done stays, nothing is half-written.
  cancel = 0;
  recorder_.cancelAfterFirstCopy = &cancel;
  EXPECT_EQ(CopyDirectoryTree(TREE_SUBDIRECTORIES, src_.c_str(), dst_.c_str(), &options_), 0);
  EXPECT_EQ(Copied(), Names{});  // the flag was set before the first file's first read
  recorder_.cancelAfterFirstCopy = nullptr;
  cancel = 0;

  // The second file cannot be opened: reported, and the walk goes on
  // unless TREE_STOP_ON_ERROR.
  recorder_.calls.clear();
  SysInjectFault(SysFault::Open, 1);  // a.txt's source (its copy is written unnamed), then b.log's source
  EXPECT_EQ(CopyDirectoryTree(0, src_.c_str(), dst_.c_str(), &options_), COPY_SOURCE_UNREADABLE);
  EXPECT_EQ(Copied(), (Names{"a.txt", "c.TXT"}));
  EXPECT_EQ(recorder_.calls, (std::vector<Call>{{2, "a.txt", 10, 0},
                                                {2, "b.log", 20, 0},
                                                {4, "b.log", 0, COPY_SOURCE_UNREADABLE},
                                                {2, "c.TXT", 30, 0},
                                                {5, "", 0, 0}}));
  fs::remove_all(dst_);
  fs::create_directory(dst_);
  recorder_.calls.clear();
  SysInjectFault(SysFault::Write, 0);
  EXPECT_EQ(CopyDirectoryTree(TREE_STOP_ON_ERROR, src_.c_str(), dst_.c_str(), &options_), COPY_WRITE_FAILED);
  EXPECT_EQ(Copied(), Names{});
  EXPECT_EQ(recorder_.calls, (std::vector<Call>{{2, "a.txt", 10, 0}, {4, "a.txt", 0, COPY_WRITE_FAILED}, {5, "", 0, 0}}));
  // A subfolder that cannot be made ends the walk.
  recorder_.calls.clear();
  SysInjectFault(SysFault::CreateDirectory, 0);
  EXPECT_EQ(CopyDirectoryTree(TREE_SUBDIRECTORIES, src_.c_str(), dst_.c_str(), &options_),
            TREE_ERROR_CREATE_DIRECTORY);
  EXPECT_EQ(recorder_.calls.back(), (Call{5, "", 0, 0}));
  // A negative answer before a file stops the copy with what was done.
  fs::remove_all(dst_);
  fs::create_directory(dst_);
  recorder_.answers = {{"b.log", -1}};
  EXPECT_EQ(CopyDirectoryTree(0, src_.c_str(), dst_.c_str(), &options_), 3);
  EXPECT_EQ(Copied(), Names{"a.txt"});
}

TEST_F(Tree, CopiesOnlyNewerFilesWhenAsked) {
  fs::create_directory(dst_);
  WriteWholeFile(dst_ + "/a.txt", Bytes{7});  // newer than the source
  WriteWholeFile(dst_ + "/b.log", Bytes{8});
  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dst_ + "/b.log").c_str(), old, 0), 0);
  EXPECT_EQ(CopyDirectoryTree(TREE_ONLY_NEWER, src_.c_str(), dst_.c_str(), nullptr), 3);
  EXPECT_EQ(ReadWholeFile(dst_ + "/a.txt"), Bytes{7});
  EXPECT_EQ(ReadWholeFile(dst_ + "/b.log"), RandomBytes(20, 20));
  EXPECT_EQ(ReadWholeFile(dst_ + "/c.TXT"), RandomBytes(30, 30));
}

}  // namespace

namespace {

int CountWideCalls(int event, CopyTreeOptionsW* options) {
  if (event == TREE_EVENT_BEFORE_COPY) {
    auto* seen = static_cast<std::vector<std::u16string>*>(options->user);
    seen->emplace_back(options->path, size_t(options->pathLength));
  }
  return 0;
}

TEST_F(Tree, CopiesByWidePathsAlike) {
  std::u16string from(src_.begin(), src_.end()), to(dst_.begin(), dst_.end());
  std::vector<std::u16string> seen;
  CopyTreeOptionsW wide;
  wide.include = u"*.TXT";
  wide.callback = CountWideCalls;
  wide.user = &seen;
  EXPECT_EQ(CopyDirectoryTreeW(TREE_CREATE_TARGET, from.c_str(), to.c_str(), &wide), 2);
  EXPECT_EQ(seen, (std::vector<std::u16string>{from + u"/a.txt", from + u"/c.TXT"}));
  EXPECT_EQ(Copied(), (Names{"a.txt", "c.TXT"}));
}

// Emptying a target that is the source, or a folder holding it, would
// destroy the files to be copied: refused, every file kept.
TEST_F(Tree, NeverClearsATargetThatHoldsTheSource) {
  for (const std::string& target : {src_, src_ + "/.", src_ + "/sub/..", dir_.path(), dir_.path() + "/"}) {
    for (DWORD stop : {DWORD(0), TREE_STOP_ON_ERROR}) {
      EXPECT_EQ(CopyDirectoryTree(TREE_CLEAR_TARGET | TREE_SUBDIRECTORIES | stop, src_.c_str(), target.c_str(),
                                  nullptr),
                TREE_ERROR_CLEAR_TARGET)
          << target;
      EXPECT_EQ(ReadWholeFile(src_ + "/sub/deep/e.txt"), RandomBytes(50, 50)) << target;
      EXPECT_EQ(ReadWholeFile(src_ + "/a.txt"), RandomBytes(10, 10)) << target;
    }
  }
  // A sibling whose name merely starts like the source is no ancestor.
  fs::create_directory(src_ + "x");
  WriteWholeFile(src_ + "x/old", Bytes{1});
  EXPECT_EQ(CopyDirectoryTree(TREE_CLEAR_TARGET, src_.c_str(), (src_ + "x").c_str(), nullptr), 3);
  EXPECT_FALSE(fs::exists(src_ + "x/old"));
}

// Swaps src/sub for a link to `outside` the n-th time a walk opens "sub".
struct SubSwapper {
  std::string src, outside;
  int atCall, calls = 0;
  static void Hook(const char* name, void* context) {
    auto* s = static_cast<SubSwapper*>(context);
    if (std::string(name) != "sub" || ++s->calls != s->atCall) return;
    fs::rename(s->src + "/sub", s->src + "/moved");
    fs::create_directory_symlink(s->outside, s->src + "/sub");
  }
};

// Moves and copies never reach through a link into a folder outside the
// trees: not through a source folder swapped for one while the walk runs
// (its files would be moved away), not through one that stands in the
// target (its files would be overwritten), not when the target is cleared.
TEST_F(Tree, MovesAndCopiesNeverPassThroughLinks) {
  const DWORD move = COPY_MOVE | TREE_SUBDIRECTORIES | TREE_CREATE_TARGET;
  ScratchDir outside;
  WriteWholeFile(outside.File("d.txt"), Bytes{9});
  // A plain move empties the source into the target.
  EXPECT_EQ(CopyDirectoryTree(move, src_.c_str(), dst_.c_str(), nullptr), 5);
  EXPECT_EQ(Copied(), (Names{"a.txt", "b.log", "c.TXT", "empty", "sub", "sub/d.txt", "sub/deep", "sub/deep/e.txt"}));
  EXPECT_FALSE(fs::exists(src_ + "/sub/d.txt"));
  fs::remove_all(src_);
  fs::rename(dst_, src_);
  // The scan has entered src/sub; the copy finds a link there.
  SubSwapper swapper{src_, outside.path(), 2};
  SysSetOpenChildHook(&SubSwapper::Hook, &swapper);
  EXPECT_EQ(CopyDirectoryTree(move, src_.c_str(), dst_.c_str(), nullptr), TREE_ERROR_LIST);
  SysSetOpenChildHook(nullptr, nullptr);
  EXPECT_EQ(ReadWholeFile(outside.File("d.txt")), Bytes{9});
  EXPECT_EQ(ReadWholeFile(src_ + "/moved/d.txt"), RandomBytes(40, 40));
  EXPECT_FALSE(fs::exists(dst_ + "/sub/d.txt"));
  // A link in the target's place of a folder is not written through.
  fs::remove(src_ + "/sub");
  fs::rename(src_ + "/moved", src_ + "/sub");
  fs::remove_all(dst_);
  fs::create_directory(dst_);
  fs::create_directory_symlink(outside.path(), dst_ + "/sub");
  EXPECT_EQ(CopyDirectoryTree(TREE_SUBDIRECTORIES, src_.c_str(), dst_.c_str(), nullptr), TREE_ERROR_CREATE_DIRECTORY);
  EXPECT_EQ(ReadWholeFile(outside.File("d.txt")), Bytes{9});
  EXPECT_FALSE(fs::exists(outside.File("deep")));
  // Clearing the target takes the link, not what it names (the move above
  // took the source's top files before it came to the link).
  EXPECT_EQ(CopyDirectoryTree(TREE_CLEAR_TARGET | TREE_SUBDIRECTORIES, src_.c_str(), dst_.c_str(), nullptr), 2);
  EXPECT_EQ(ReadWholeFile(outside.File("d.txt")), Bytes{9});
  EXPECT_EQ(ReadWholeFile(dst_ + "/sub/d.txt"), RandomBytes(40, 40));
}

// "." and ".." in a start are read off its spelling: "holder/top/.." is
// holder, never the folder above what the link top names.
TEST_F(Tree, DotsAfterALinkInTheStartAreReadOffTheSpelling) {
  ScratchDir other;
  fs::create_directory(other.File("in"));
  WriteWholeFile(other.File("in/d.txt"), Bytes{9});
  WriteWholeFile(other.File("keep.txt"), Bytes{8});
  const std::string holder = dir_.File("holder");
  fs::create_directory(holder);
  WriteWholeFile(holder + "/h.txt", Bytes{7});
  fs::create_directory_symlink(other.File("in"), holder + "/top");
  EXPECT_EQ(FileTreeScan(TREE_SCAN_QUIET, (holder + "/top/..").c_str(), nullptr), 2);
  EXPECT_EQ(CopyDirectoryTree(COPY_MOVE | TREE_CREATE_TARGET, (holder + "/top/../").c_str(), dst_.c_str(), nullptr), 2);
  EXPECT_EQ(ReadWholeFile(dst_ + "/h.txt"), Bytes{7});
  EXPECT_TRUE(fs::is_symlink(dst_ + "/top"));
  EXPECT_EQ(ReadWholeFile(other.File("keep.txt")), Bytes{8});
  EXPECT_EQ(ReadWholeFile(other.File("in/d.txt")), Bytes{9});
}

}  // namespace
