// A save killed at every system call in turn: the target holds the old file
// or the whole new picture, and the killed save leaves no temporary behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "../syscall_kill.h"
#include "graphics/globals.h"
#include "graphics/save.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"
#include "save_test_support.h"

namespace {

using killtest::Outcome;
using savetest::ReadBytes;
using savetest::ScratchDir;
using Bytes = std::vector<BYTE>;

void Empty(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) std::filesystem::remove_all(entry.path());
}

TEST(SaveKilled, LeavesTheOldFileOrTheWholePictureAndNothingElse) {
  ScratchDir dir;
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 160, 120, 0x336699, nullptr));  // several buffers' worth
  const Bytes old = {'o', 'l', 'd'};
  struct Case {
    const char* name;
    bool existing;
    bool named;  // on a file system without unnamed files
  } cases[] = {{"a.bmp", false, false}, {"a.bmp", true, false}, {"a.png", false, false},
               {"a.png", true, false},  {"a.png", true, true},   {"a.bmp", false, true}};
  for (const Case& c : cases) {
    const std::string reference = dir / (std::string("reference") + (c.name + 1));
    ASSERT_EQ(SaveImage(reference.c_str(), image, nullptr), 0);
    const Bytes picture = ReadBytes(reference);
    const std::string run = dir / "run", target = run + "/" + c.name;
    ASSERT_EQ(mkdir(run.c_str(), 0755), 0);
    std::vector<int> leftovers;  // the kills that left a named temporary
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(c.name) + (c.existing ? " replaced" : " new") + (c.named ? ", named" : "") +
                   ", killed at call " + std::to_string(n));
      Empty(run);
      if (c.existing) {
        savetest::WriteBytes(target, old);
        ASSERT_EQ(chmod(target.c_str(), 0604), 0);
      }
      const Outcome outcome = killtest::RunKilledAt(n, [&] {
        if (c.named) SysInjectFault(SysFault::Unnamed, 0);
        return SaveImage(target.c_str(), image, nullptr) == 0 ? 0 : 1;
      });
      ASSERT_NE(outcome, Outcome::Broken);
      struct stat st;
      if (stat(target.c_str(), &st) == 0) {
        const Bytes now = ReadBytes(target);
        EXPECT_TRUE(now == picture || (c.existing && now == old));
        if (now == picture && c.existing) {
          EXPECT_EQ(st.st_mode & 0777, 0604u);
        }
      } else {
        EXPECT_FALSE(c.existing);
      }
      // A named temporary exists only for the one step between naming the
      // finished picture and renaming it over an old file.
      bool left = false;
      for (const auto& entry : std::filesystem::directory_iterator(run)) {
        if (entry.path() == target) continue;
        left = true;
        if (!c.named) { EXPECT_EQ(ReadBytes(entry.path()), picture); }
      }
      if (left) {
        leftovers.push_back(n);
        // The next save of that target removes what the killed one left.
        ASSERT_EQ(SaveImage(target.c_str(), image, nullptr), 0);
        EXPECT_EQ(std::filesystem::directory_iterator(run)->path(), target);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(run), {}), 1);
      }
      if (outcome == Outcome::Finished) {
        EXPECT_EQ(ReadBytes(target), picture);
        EXPECT_EQ(std::filesystem::directory_iterator(run)->path(), target);
        break;
      }
      ASSERT_LT(n, 5000);
    }
    // One window: the kills that leave it are consecutive (one call, or the
    // few a sanitizer's wrapper adds around it), and none for a new target;
    // a named temporary stays through the whole write.
    if (c.named) {
      EXPECT_FALSE(leftovers.empty());
    } else if (!c.existing) {
      EXPECT_TRUE(leftovers.empty());
    } else if (!leftovers.empty()) {
      EXPECT_EQ(leftovers.back() - leftovers.front() + 1, int(leftovers.size()));
    }
    std::filesystem::remove_all(run);
    unlink(reference.c_str());
  }
}

// A save removes the temporaries of its target that no save holds, from the
// first number up to the first free one, and nothing else.
TEST(SaveKilled, NextSaveRemovesOnlyUnheldTemporariesOfItsTarget) {
  ScratchDir dir;
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 4, 4, 1, nullptr));
  const std::string target = dir / "a.bmp";
  savetest::WriteBytes(target, {'o', 'l', 'd'});
  struct Case {
    const char* name;
    bool held, stays;
  } cases[] = {
      {".a.bmp.0.tmp", true, true},   {".a.bmp.1.tmp", false, false}, {".a.bmp.2.tmp", false, false},
      {".a.bmp.4.tmp", false, true},  {".a.bmp.x.tmp", false, true},  {"a.bmp.1.tmp", false, true},
      {".b.bmp.1.tmp", false, true},  {".a.bmp.1.tmp~", false, true},
  };
  std::vector<int> holds;
  for (const auto& c : cases) {
    savetest::WriteBytes(dir / c.name, {'x'});
    if (c.held) {
      holds.push_back(::open((dir / c.name).c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_EQ(::flock(holds.back(), LOCK_EX), 0);
    }
  }
  ASSERT_EQ(SaveImage(target.c_str(), image, nullptr), 0);
  for (const auto& c : cases) {
    struct stat st;
    EXPECT_EQ(::lstat((dir / c.name).c_str(), &st) == 0, c.stays) << c.name;
  }
  for (int fd : holds) ::close(fd);
}

// Where the file system has no unnamed files the named temporary serves;
// drive paths reach the lent folder either way.
TEST(SaveKilled, NamedTemporaryAndDrivePaths) {
  ScratchDir dir;
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
  ASSERT_TRUE(SysMapDrive('Q', dir.path().c_str()));
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 4, 4, 1, nullptr));
  struct Case {
    const char* path;
    const char* lands;
    bool named;
  } cases[] = {
      {"Q:\\sub\\p.bmp", "sub/p.bmp", false},
      {"Q:/p.png", "p.png", false},
      {"Q:\\sub\\p.bmp", "sub/p.bmp", true},
      {"Q:\\n.gif", "n.gif", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.named) SysInjectFault(SysFault::Unnamed, 0);
    EXPECT_EQ(SaveImage(c.path, image, nullptr), 0) << GraphicsErrorText;
    SysClearFaults();
    EXPECT_GT(ReadBytes(dir / c.lands).size(), 20u);
  }
  SysMapDrive('Q', nullptr);
  std::vector<std::string> names = dir.Names(), sub;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "sub"))
    sub.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"n.gif", "p.png", "sub"}));
  EXPECT_EQ(sub, std::vector<std::string>{"p.bmp"});
}

}  // namespace
