// Copies images to the clipboard and lets an independent decoder (Pillow)
// read the block as a BMP file: it must see the pixels the image holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/image.h"
#include "platform/clipboard.h"
#include "platform/globalmem.h"
#include "test_images.h"

namespace {

std::string RunAndCapture(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  *status = pclose(pipe);
  return out;
}

// The first interpreter that can import Pillow: the system's own first, since
// a user's PATH may lead to a Python without the Debian packages.
std::string PythonWithPillow() {
  for (const char* candidate : {"/usr/bin/python3", "python3"}) {
    int status = 0;
    RunAndCapture(std::string(candidate) + " -c 'import PIL' 2>/dev/null", &status);
    if (status == 0) return candidate;
  }
  return "";
}

std::string ScriptPath() {
  const char* root = std::getenv("ZELVARO_SOURCE_DIR");
  if (root) return std::string(root) + "/tests/graphics/decode_bmp.py";
  std::string here = __FILE__;
  return here.substr(0, here.find_last_of('/')) + "/decode_bmp.py";
}

std::vector<BYTE> ClipboardBlock() {
  std::vector<BYTE> bytes;
  if (!OpenClipboard(nullptr)) return bytes;
  HANDLE block = GetClipboardData(CF_DIB);
  if (block) {
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(block));
    bytes.assign(p, p + GlobalSize(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return bytes;
}

// A BMP file: the 14-byte file header in front of the packed DIB.
std::vector<BYTE> BmpFile(const std::vector<BYTE>& dib) {
  uint32_t clrUsed, compression;
  std::memcpy(&clrUsed, dib.data() + 32, 4);
  std::memcpy(&compression, dib.data() + 16, 4);
  const uint32_t offBits = 14 + 40 + 4 * clrUsed + (compression == 3 ? 12 : 0);
  const uint32_t fileSize = static_cast<uint32_t>(14 + dib.size());
  std::vector<BYTE> file = {'B', 'M'};
  for (uint32_t v : {fileSize, 0u, offBits})
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<BYTE>(v >> (8 * i)));
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

}  // namespace

TEST(PeerDecoder, PillowReadsOurClipboardBlocksAsWeDrewThem) {
  const std::string python = PythonWithPillow();
  if (python.empty())
    GTEST_SKIP() << "python3 with Pillow (Debian package python3-pil) not found: "
                    "the peer-decoder check did not run";
  std::mt19937 rng(8);
  for (int bpp : kAllFormats) {
    const int width = 13, height = 5;
    CGraphicsImage im;
    ASSERT_TRUE(im.Create(bpp, width, height, IMAGE_NO_FILL, nullptr));
    Randomise(im, rng);
    // Pillow reads palette reserved bytes as nothing: keep them zero.
    for (int i = 0; i < 256 && bpp <= 8; ++i) im.palette[i].rgbReserved = 0;
    ASSERT_TRUE(im.CopyToClipboard(nullptr)) << bpp;
    // Several builds may run this test at once: the process id keeps their files apart.
    const std::string path = testing::TempDir() + "peer_" + std::to_string(getpid()) + "_" +
                             std::to_string(bpp) + ".bmp";
    {
      std::vector<BYTE> file = BmpFile(ClipboardBlock());
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    int status = 0;
    std::istringstream decoded(RunAndCapture(python + " " + ScriptPath() + " " + path, &status));
    std::remove(path.c_str());
    ASSERT_EQ(status, 0) << bpp << " bpp: Pillow could not decode the block";
    int w = 0, h = 0;
    decoded >> w >> h;
    ASSERT_EQ(w, width) << bpp;
    ASSERT_EQ(h, height) << bpp;
    for (int y = 0; y < height; ++y) {
      const uint32_t* ours = im.RowTo32Func(im.Row(y), &im);
      for (int x = 0; x < width; ++x) {
        std::string hex;
        decoded >> hex;
        const uint32_t theirs = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
        ASSERT_EQ(theirs & im.significantMask, ours[x] & im.significantMask)
            << bpp << " bpp at " << x << "," << y;
      }
    }
  }
}
