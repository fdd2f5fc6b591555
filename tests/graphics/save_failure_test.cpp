// Saves that fail: a full disk, a folder that refuses the file, an abort or a
// size limit while an older picture is being replaced, and a stream that
// breaks after every possible byte count. Each gives -1 and the writer's
// text, and none loses the older file or leaves a temporary behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <string>

#include "../time_limit.h"

#include "graphics/globals.h"
#include "graphics/save.h"
#include "platform/sysinfo.h"
#include "save_test_support.h"
#include "save_writers.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;
using savetest::WriterCase;

void AbortAtHalf(const CImageComment*, DWORD, DWORD, DWORD, DWORD percent, BYTE* abort) {
  if (percent >= 50) *abort = 1;
}

void AbortAtOnce(const CImageComment*, DWORD, DWORD, DWORD, DWORD, BYTE* abort) {
  *abort = 1;
}

TEST(SaveFailure, FullDiskGivesTheWriteErrorAtTheLastFlushAndMidWrite) {
  ScratchDir dir;
  for (const WriterCase& w : savetest::Writers()) {
    for (int size : {1, 1920}) {
      SCOPED_TRACE(testing::Message() << w.extension << " " << size);
      CGraphicsImage image;
      savetest::MakeSmoothImage(image, 32, size, size == 1 ? 1 : 1080);
      const std::string path = dir / (std::string("full") + w.extension);
      {
        savetest::FullDisk full;
        EXPECT_EQ(SaveImage(path.c_str(), image, "comment"), -1);
        EXPECT_STREQ(GraphicsErrorText, w.writeText);
      }
      // By the writer's own Save.
      std::unique_ptr<CImageWriter> writer = w.make();
      try {
        savetest::FullDisk full;
        writer->Save(path.c_str(), image);
        ADD_FAILURE() << "saved onto a full disk";
      } catch (const EGraphicsException& e) {
        EXPECT_STREQ(e.text, w.writeText);
        EXPECT_EQ(e.code, 0u);
      }
      EXPECT_TRUE(dir.Names().empty());
    }
  }
}

TEST(SaveFailure, UnwritableFolderGivesTheOpenError) {
  ScratchDir dir;
  CGraphicsImage image;
  savetest::MakeSmoothImage(image, 24, 8, 8);
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  for (const WriterCase& w : savetest::Writers()) {
    SCOPED_TRACE(w.extension);
    const std::string path = dir / (std::string("no") + w.extension);
    // Root passes permission checks: drop to an unprivileged user first.
    const bool root = geteuid() == 0;
    const int status = savetest::RunInChild(
        [&] {
          const int result = SaveImage(path.c_str(), image, nullptr);
          return result == -1 && std::strcmp(GraphicsErrorText, w.openText) == 0 ? 0 : 1;
        },
        root);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(dir.Names().empty());
    if (root) {
      // A file system that makes no files at all.
      const std::string sys = std::string("/sys/zelvaro") + w.extension;
      EXPECT_EQ(SaveImage(sys.c_str(), image, nullptr), -1);
      EXPECT_STREQ(GraphicsErrorText, w.openText);
    }
  }
}

// A pipe (or, for root, a character device with /dev/null's numbers) as
// the target, named directly or through a link: every writer refuses it at
// once with its open text and last error 1920, and the node stays. In a
// child with a time limit, since opening a pipe would wait for a reader.
TEST(SaveFailure, PipesAndDevicesAreRefusedAndLeftAsTheyWere) {
  CGraphicsImage image;
  savetest::MakeSmoothImage(image, 24, 4, 4);
  for (bool device : {false, true}) {
    if (device && geteuid() != 0) continue;  // mknod of a device needs root
    ScratchDir dir;
    for (const WriterCase& w : savetest::Writers()) {
      SCOPED_TRACE(testing::Message() << (device ? "device " : "pipe ") << w.extension);
      const std::string node = dir / (std::string("node") + w.extension);
      const std::string link = dir / (std::string("link") + w.extension);
      ASSERT_EQ(device ? mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) : mkfifo(node.c_str(), 0666), 0);
      ASSERT_EQ(symlink(node.c_str(), link.c_str()), 0);
      const int child = timelimit::RunWithin(20, [&] {
        for (const std::string& path : {node, link}) {
          if (SaveImage(path.c_str(), image, nullptr) != -1 || std::strcmp(GraphicsErrorText, w.openText) != 0 ||
              SysGetLastError() != 1920)
            return 1;
        }
        return 0;
      });
      EXPECT_EQ(child, 0);
      struct stat st;
      ASSERT_EQ(lstat(node.c_str(), &st), 0);
      EXPECT_TRUE(device ? S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3) : S_ISFIFO(st.st_mode));
      EXPECT_EQ(dir.Names().size(), 2u);
      unlink(link.c_str());
      unlink(node.c_str());
    }
  }
}

TEST(SaveFailure, AbortWhileReplacingKeepsTheOldFile) {
  ScratchDir dir;
  CGraphicsImage image;
  savetest::MakeSmoothImage(image, 32, 64, 64);
  const std::vector<BYTE> old = {'o', 'l', 'd', 0, 1, 2, 3};
  for (const WriterCase& w : savetest::Writers()) {
    SCOPED_TRACE(w.extension);
    const std::string path = dir / (std::string("keep") + w.extension);
    savetest::WriteBytes(path, old);
    std::unique_ptr<CImageWriter> writer = w.make();
    writer->SetProgressCallback(AbortAtHalf, 0);
    try {
      writer->Save(path.c_str(), image);
      ADD_FAILURE() << "no abort";
    } catch (const EGraphicsAbort& e) {
      EXPECT_STREQ(e.text, "Benutzer Abbruch");
      EXPECT_EQ(e.code, 1u);
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(dir.Names().size(), 1u);
    unlink(path.c_str());
  }
}

TEST(SaveFailure, ImageWithoutPixelsIsRefusedAndMakesNoFile) {
  ScratchDir dir;
  const CGraphicsImage empty;
  for (const WriterCase& w : savetest::Writers()) {
    SCOPED_TRACE(w.extension);
    EXPECT_EQ(SaveImage((dir / (std::string("e") + w.extension)).c_str(), empty, "c"), -1);
    EXPECT_STREQ(GraphicsErrorText, w.emptyText);
    EXPECT_TRUE(dir.Names().empty());
  }
  // The JPEG writer's own class for it.
  CJpegWriter jpeg;
  try {
    jpeg.Save((dir / "e.jpg").c_str(), empty);
    ADD_FAILURE();
  } catch (const EJpegError& e) {
    EXPECT_STREQ(e.text, "Falsche Bild-Daten !");
  }
}

TEST(SaveFailure, AbortAtTheFirstReportStopsEveryWriter) {
  ScratchDir dir;
  CGraphicsImage image;
  savetest::MakeSmoothImage(image, 8, 5, 5);
  for (const WriterCase& w : savetest::Writers()) {
    SCOPED_TRACE(w.extension);
    std::unique_ptr<CImageWriter> writer = w.make();
    writer->SetProgressCallback(AbortAtOnce, 0);
    try {
      writer->Save((dir / (std::string("a") + w.extension)).c_str(), image);
      ADD_FAILURE() << "no abort";
    } catch (const EGraphicsAbort& e) {
      EXPECT_STREQ(e.text, "Benutzer Abbruch");
      EXPECT_EQ(e.code, 1u);
    }
    EXPECT_TRUE(dir.Names().empty());
  }
}

TEST(SaveFailure, FileSizeLimitWhileReplacingKeepsTheOldFile) {
  ScratchDir dir;
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 32, 300, 300, 5);  // does not compress below the limit
  const std::vector<BYTE> old(1000, 0xA5);
  for (const WriterCase& w : savetest::Writers()) {
    SCOPED_TRACE(w.extension);
    const std::string path = dir / (std::string("limit") + w.extension);
    savetest::WriteBytes(path, old);
    const int status = savetest::RunInChild(
        [&] {
          const int result = SaveImage(path.c_str(), image, nullptr);
          return result == -1 && std::strcmp(GraphicsErrorText, w.writeText) == 0 ? 0 : 1;
        },
        false, 40000);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(dir.Names().size(), 1u);
    unlink(path.c_str());
  }
}

TEST(SaveFailure, StreamBreakingAfterAnyByteCountGivesTheWriteError) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 8, 7, 5, 3);
  for (const WriterCase& w : savetest::Writers()) {
    SCOPED_TRACE(w.extension);
    std::unique_ptr<CImageWriter> writer = w.make();
    writer->comment.SetText("note");
    auto body = [&](CFileStream& file) { writer->Write(file, image); };
    using Body = decltype(body);
    const WriterBody run = [](void* c, CFileStream& f) { (*static_cast<Body*>(c))(f); };
    // The whole file first, with an unlimited budget.
    savetest::FailingStream whole(1 << 30);
    FinishImageStream(whole.stream(), *w.failures, run, &body);
    const std::vector<BYTE> file = whole.taken();
    ASSERT_GT(file.size(), 60u);
    for (size_t budget = 0; budget < file.size(); ++budget) {
      savetest::FailingStream broken{int(budget)};
      try {
        FinishImageStream(broken.stream(), *w.failures, run, &body);
        ADD_FAILURE() << "no error with " << budget << " bytes";
      } catch (const EGraphicsException& e) {
        ASSERT_STREQ(e.text, w.writeText) << budget;
      }
      ASSERT_EQ(broken.taken().size(), budget);
      ASSERT_TRUE(std::equal(broken.taken().begin(), broken.taken().end(), file.begin()));
    }
  }
}

}  // namespace
