// A save onto a picture that another process holds open fails with a
// sharing violation and leaves the picture and its folder as they were.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "graphics/save.h"
#include "platform/fileio.h"
#include "platform/sysinfo.h"
#include "save_test_support.h"

namespace {

TEST(SaveShare, HeldPictureIsLeftAsItWas) {
  for (int access : {FD_OPEN_READ, FD_OPEN_READWRITE}) {
    for (const char* name : {"held.bmp", "held.png", "held.jpg"}) {
      savetest::ScratchDir dir;
      const std::string path = dir / name;
      savetest::WriteBytes(path, {'o', 'l', 'd'});
      int ready[2], release[2];
      ASSERT_EQ(pipe(ready), 0);
      ASSERT_EQ(pipe(release), 0);
      pid_t child = fork();
      if (child == 0) {
        close(release[1]);
        char held = FdOpen(path.c_str(), access | FD_OPEN_BINARY) >= 0 ? '1' : '0';
        if (write(ready[1], &held, 1) != 1) _exit(2);
        char ignored;
        while (read(release[0], &ignored, 1) > 0) {
        }
        _exit(0);
      }
      close(ready[1]);
      close(release[0]);
      char held = 0;
      ASSERT_EQ(read(ready[0], &held, 1), 1);
      EXPECT_EQ(held, '1');
      CGraphicsImage image;
      ASSERT_TRUE(image.Create(24, 2, 2, 0x00FF00, nullptr));
      SysSetLastError(0);
      EXPECT_EQ(SaveImage(path.c_str(), image, nullptr), SAVE_IMAGE_FAILED) << name;
      EXPECT_EQ(SysGetLastError(), 32u) << name;
      EXPECT_EQ(savetest::ReadBytes(path), (std::vector<BYTE>{'o', 'l', 'd'})) << name;
      EXPECT_EQ(dir.Names().size(), 1u) << name;
      close(release[1]);
      close(ready[0]);
      int status;
      waitpid(child, &status, 0);
      // Once the holder is gone the save goes through.
      EXPECT_EQ(SaveImage(path.c_str(), image, nullptr), SAVE_IMAGE_OK) << name;
    }
  }
}

}  // namespace
