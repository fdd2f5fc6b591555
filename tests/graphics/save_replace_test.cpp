// How a save puts its file in place: through symbolic links, keeping the
// permission bits, in place where no temporary file can be made, and by
// 16-bit names.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "graphics/formats/bmp_writer.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/png_writer.h"
#include "graphics/globals.h"
#include "graphics/save.h"
#include "platform/fsops.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(SaveReplace, SymbolicLinkStaysAndItsTargetIsReplaced) {
  ScratchDir dir;
  ASSERT_EQ(mkdir((dir / "real").c_str(), 0755), 0);
  savetest::WriteBytes(dir / "real/picture.bmp", {'o', 'l', 'd'});
  ASSERT_EQ(symlink("real/picture.bmp", (dir / "link.bmp").c_str()), 0);
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 2, 0x00FF00, nullptr));
  ASSERT_EQ(SaveImage((dir / "link.bmp").c_str(), image, nullptr), 0);
  struct stat st;
  ASSERT_EQ(lstat((dir / "link.bmp").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  const std::vector<BYTE> file = ReadBytes(dir / "real/picture.bmp");
  ASSERT_EQ(file.size(), 54u + 2 * 8);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(dir.Names().size(), 2u);
  size_t beside = 0;  // no temporary left beside the target
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir / "real"))
    ++beside;
  EXPECT_EQ(beside, 1u);
}

// A name of 249 to 255 bytes leaves no room for ".<name>.<n>.tmp": the
// temporary's name is cut to fit, with or without unnamed files, and an old
// picture of that name is replaced.
TEST(SaveReplace, PictureWithALongNameIsReplaced) {
  ScratchDir dir;
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 2, 0x00FF00, nullptr));
  for (size_t length = 249; length <= 255; ++length) {
    for (bool named : {false, true}) {
      SCOPED_TRACE(std::to_string(length) + (named ? " bytes, named temporary" : " bytes"));
      const std::string name = std::string(length - 4, 'p') + ".bmp";
      savetest::WriteBytes(dir / name, {'o', 'l', 'd'});
      if (named) SysInjectFault(SysFault::Unnamed, 0);
      EXPECT_EQ(SaveImage((dir / name).c_str(), image, nullptr), 0) << GraphicsErrorText;
      SysClearFaults();
      EXPECT_EQ(ReadBytes(dir / name).size(), 54u + 2 * 8);
      EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
      unlink((dir / name).c_str());
    }
  }
}

TEST(SaveReplace, ReplacedFileKeepsItsPermissionBits) {
  ScratchDir dir;
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 3, 3, 1, nullptr));
  for (mode_t mode : {0640, 0604, 0444, 0755}) {
    SCOPED_TRACE(mode);
    for (const char* name : {"m.bmp", "m.png", "m.jpg"}) {
      const std::string path = dir / name;
      savetest::WriteBytes(path, {1, 2, 3});
      ASSERT_EQ(chmod(path.c_str(), mode), 0);
      EXPECT_EQ(SaveImage(path.c_str(), image, nullptr), 0) << GraphicsErrorText;
      EXPECT_EQ(ModeOf(path), mode) << name;
      EXPECT_GT(ReadBytes(path).size(), 3u);
      unlink(path.c_str());
    }
  }
  // A new file gets the usual mode under the umask.
  const mode_t mask = umask(022);
  EXPECT_EQ(SaveImage((dir / "new.png").c_str(), image, nullptr), 0);
  umask(mask);
  EXPECT_EQ(ModeOf(dir / "new.png"), 0644u);
}

TEST(SaveReplace, ReplacedFileKeepsItsOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the file to another user";
  ScratchDir dir;
  const std::string path = dir / "owned.png";
  savetest::WriteBytes(path, {1});
  ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 2, 0, nullptr));
  ASSERT_EQ(SaveImage(path.c_str(), image, nullptr), 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_GT(st.st_size, 1);
}

TEST(SaveReplace, OthersFileWeMayNotWriteIsNotReplaced) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  ScratchDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);  // anyone may add files here
  const std::string path = dir / "theirs.bmp";
  savetest::WriteBytes(path, {'o', 'l', 'd'});
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);  // root's, read-only to others
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 2, 0, nullptr));
  const int status = savetest::RunInChild(
      [&] {
        const int result = SaveImage(path.c_str(), image, nullptr);
        return result == -1 &&
                       std::strcmp(GraphicsErrorText, "Fehler beim \326ffnen der BMP-Datei !") == 0
                   ? 0
                   : 1;
      },
      true);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadBytes(path), (std::vector<BYTE>{'o', 'l', 'd'}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"theirs.bmp"});
}

TEST(SaveReplace, WritableFileInAFolderThatRefusesNewFilesIsWrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the file to another user";
  ScratchDir dir;
  const std::string path = dir / "shared.bmp";
  savetest::WriteBytes(path, {'o', 'l', 'd'});
  ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);  // the other user may not add files
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 4, 4, 0x123456, nullptr));
  const int status = savetest::RunInChild(
      [&] { return SaveImage(path.c_str(), image, nullptr) == 0 ? 0 : 1; }, true);
  EXPECT_EQ(status, 0);
  const std::vector<BYTE> file = ReadBytes(path);
  ASSERT_EQ(file.size(), 54u + 4 * 12);
  EXPECT_EQ(file[54], 0x56);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"shared.bmp"});
}

TEST(SaveReplace, PictureIsNotCutWhenNoTemporaryFindsRoom) {
  ScratchDir dir;
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 2, 0x00FF00, nullptr));
  savetest::WriteBytes(dir / "full.bmp", {'o', 'l', 'd'});
  SysInjectFault(SysFault::Unnamed, 0);
  SysInjectFault(SysFault::Temporary, 0);
  EXPECT_EQ(SaveImage((dir / "full.bmp").c_str(), image, nullptr), SAVE_IMAGE_FAILED);
  SysClearFaults();
  EXPECT_EQ(ReadBytes(dir / "full.bmp"), (std::vector<unsigned char>{'o', 'l', 'd'}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"full.bmp"});
}

TEST(SaveReplace, SixteenBitNamesReachTheDiskAsUtf8) {
  ScratchDir dir;
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 5, 3, 0x80402010, nullptr));
  struct Case {
    std::unique_ptr<CImageWriter> writer;
    std::u16string name;
    std::string utf8;
  };
  std::vector<Case> cases;
  cases.push_back(
      {std::make_unique<CBmpWriter>(), u"Bild \u00e4\u20ac.bmp", "Bild \xc3\xa4\xe2\x82\xac.bmp"});
  cases.push_back({std::make_unique<CPngWriter>(), u"\u0141\u00f3d\u017a.png",
                   "\xc5\x81\xc3\xb3"
                   "d\xc5\xba.png"});
  cases.push_back({std::make_unique<CJpegWriter>(), u"\U0001F600.jpg", "\xf0\x9f\x98\x80.jpg"});
  for (const Case& c : cases) {
    const std::u16string wide =
        u"" + std::u16string(dir.path().begin(), dir.path().end()) + u"/" + c.name;
    c.writer->Save(wide.c_str(), image);
    EXPECT_GT(ReadBytes(dir / c.utf8).size(), 20u) << c.utf8;
  }
  EXPECT_EQ(dir.Names().size(), 3u);
  // A lone surrogate has no spelling: the open error, and nothing made.
  const std::u16string broken =
      std::u16string(dir.path().begin(), dir.path().end()) + u"/\xD800.bmp";
  CBmpWriter writer;
  try {
    writer.Save(broken.c_str(), image);
    ADD_FAILURE();
  } catch (const EBmpFileOpenError& e) {
    EXPECT_STREQ(e.text, "Fehler beim \326ffnen der BMP-Datei !");
  }
  EXPECT_EQ(dir.Names().size(), 3u);
}

}  // namespace
