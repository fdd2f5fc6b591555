// Test support for the image writers: scratch folders, file bytes, images of
// every depth, a stream that fails after N bytes, full-disk and unwritable
// targets, and the peer decoders.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "files/stream.h"
#include "graphics/image.h"
#include "platform/fsops.h"
#include "test_images.h"

namespace savetest {

// A fresh folder under the system's temporary folder, removed with its
// content at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelvaro-save-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  // The names in the folder, to spot a temporary left behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  std::string path_;
};

inline std::vector<BYTE> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline uint32_t U32At(const std::vector<BYTE>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
inline uint32_t U16At(const std::vector<BYTE>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

// An image of `bpp` with random pixels (padding and unused tail bits too) and,
// for palette formats, a random palette.
inline void MakeRandomImage(CGraphicsImage& image, int bpp, int width, int height, uint32_t seed) {
  ASSERT_TRUE(image.Create(bpp, width, height, IMAGE_NO_FILL, nullptr));
  std::mt19937 rng(seed);
  Randomise(image, rng);
}

// A smooth picture (gradients and a soft disc) that JPEG keeps well; palette
// formats get a grey ramp palette indexed by the same brightness.
inline void MakeSmoothImage(CGraphicsImage& image, int bpp, int width, int height) {
  ASSERT_TRUE(image.Create(bpp, width, height, 0, nullptr));
  const int levels = bpp <= 8 ? 1 << bpp : 0;
  for (int i = 0; i < levels; ++i) {
    const uint32_t g = uint32_t(i * 255 / (levels - 1));
    image.SetPaletteEntry(i, g << 16 | g << 8 | g);
  }
  for (int y = 0; y < height; ++y) {
    BYTE* row = image.Row(y);
    for (int x = 0; x < width; ++x) {
      const double fx = double(x) / width, fy = double(y) / height;
      const double dx = fx - 0.5, dy = fy - 0.5;
      const double disc = std::max(0.0, 1.0 - 4.0 * (dx * dx + dy * dy));
      if (levels != 0) {
        image.PixelSetFunc(row, x, uint32_t((fx * 0.6 + disc * 0.4) * (levels - 1) + 0.5));
      } else {
        const uint32_t r = uint32_t(255 * fx), g = uint32_t(255 * fy), b = uint32_t(255 * disc);
        image.PixelSetFunc(row, x, r << 16 | g << 8 | b);
      }
    }
  }
}

// A stream whose back-end takes `budget` bytes and then refuses every write.
class FailingStream {
 public:
  explicit FailingStream(int budget) : budget_(budget) {
    stream_.SetBufferSize(512);
    stream_.OpenCallbacks(reinterpret_cast<INT_PTR>(this), nullptr, Close, Write, nullptr);
  }
  CFileStream& stream() { return stream_; }
  const std::vector<BYTE>& taken() const { return taken_; }

 private:
  static int Write(INT_PTR handle, const void* source, int count) {
    auto* self = reinterpret_cast<FailingStream*>(handle);
    const int n = std::min(count, self->budget_);
    if (n <= 0) return -1;
    const BYTE* bytes = static_cast<const BYTE*>(source);
    self->taken_.insert(self->taken_.end(), bytes, bytes + n);
    self->budget_ -= n;
    return n;
  }
  static int Close(INT_PTR) { return 0; }

  int budget_;
  std::vector<BYTE> taken_;
  CFileStream stream_;
};

// The next write to a file fails as on a full disk (saves refuse device
// nodes such as /dev/full), for as long as the object lives.
struct FullDisk {
  FullDisk() { SysInjectFault(SysFault::Write, 0); }
  ~FullDisk() { SysClearFaults(); }
};

// Runs `body` in a child process and returns its exit status (or -1). The
// child drops to uid/gid 65534 first when `nobody` is set, and runs with the
// file size limit `sizeLimit` (SIGXFSZ ignored) when it is not 0.
template <class Body>
int RunInChild(Body&& body, bool nobody, rlim_t sizeLimit = 0) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (nobody && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
    if (sizeLimit != 0) {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit = {sizeLimit, sizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(91);
    }
    _exit(body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The interpreter that runs the decoder scripts.
inline const char* kPython = "/usr/bin/python3";

inline std::string SourceDir() {
  const char* root = std::getenv("ZELVARO_SOURCE_DIR");
  if (root != nullptr) return root;
  std::string here = __FILE__;
  return here.substr(0, here.rfind("/tests/"));
}

// The bytes as hex, for messages that compare exactly.
inline std::string Hex(const char* text, size_t count) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace savetest
