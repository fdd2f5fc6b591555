// Pipes and device nodes where a file is expected: every writer, reader and
// copy refuses them, as target and as source, before it reads or writes a
// byte or replaces a name, with last error 1920 and the node left as it
// was; a tree copy passes over them and copies the rest. Each call runs in a
// child with a time limit, since an open of a pipe would wait for its other
// end.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "../time_limit.h"
#include "files/copyengine.h"
#include "files/copytree.h"
#include "files/fileops.h"
#include "platform/sysinfo.h"
#include "stream_test_util.h"

namespace {

namespace fs = std::filesystem;

// A pipe, or (for root only) a character device with /dev/null's numbers,
// which accepts every write: a call writing through it would report success.
bool MakeNode(const std::string& path, bool device) {
  return device ? ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 : ::mkfifo(path.c_str(), 0666) == 0;
}

bool NodeIntact(const std::string& path, bool device) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  return device ? S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3) : S_ISFIFO(st.st_mode);
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.push_back(fs::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SpecialNodes, AreRefusedAsTargetAndSourceAndLeftAsTheyWere) {
  const DWORD kAny = 0xFFFFFFFF;  // last error not checked
  for (bool device : {false, true}) {
    if (device && ::geteuid() != 0) {
      std::cout << "[  SKIPPED ] device nodes need root\n";
      continue;
    }
    ScratchDir dir;
    const std::string node = dir.File("node"), file = dir.File("file"), free = dir.File("free");
    const std::string src = dir.File("src"), dst = dir.File("dst"), other = dir.File("other");
    const std::string link = dir.File("link");
    const std::u16string wideLink(link.begin(), link.end()), wideFile(file.begin(), file.end());
    ASSERT_EQ(::symlink(node.c_str(), link.c_str()), 0);
    fs::create_directories(other);
    WriteWholeFile(other + "/p", Bytes{'o'});
    const char* s = file.c_str();
    const char* n = node.c_str();
    const char* f = free.c_str();
    // A read refused leaves the buffer emptied and counts nothing.
    const auto readsNothing = [](auto read) {
      char buffer[4] = {'a', 'b', 'c', 'd'};
      return read(buffer) == 0 && buffer[0] == 0 && buffer[1] == 0;
    };
    const struct {
      const char* what;
      std::function<bool()> refused;
      DWORD error;
    } cases[] = {
        {"WriteFileSafe", [&] { return !WriteFileSafe(n, 0, 0, "x", 1, nullptr, 0); }, 1920},
        {"WriteFileSafe with backup", [&] { return !WriteFileSafe(n, 0, 0, "x", 1, "*.bak", 2); }, 1920},
        {"WriteFileData", [&] { return !WriteFileData(n, "x", 1, false); }, 1920},
        {"WriteFileData appending", [&] { return !WriteFileData(n, "x", 1, true); }, 1920},
        {"ReadFileData", [&] { return readsNothing([&](char* b) { return ReadFileData(n, b, 4); }); }, 1920},
        {"ReadFileDataW through a link",
         [&] { return readsNothing([&](char* b) { return ReadFileDataW(wideLink.c_str(), b, 4); }); }, 1920},
        // Two /dev/null nodes, both empty, once compared as equal.
        {"CompareFileContents with itself", [&] { return !CompareFileContents(n, n); }, 1920},
        {"CompareFileContents second", [&] { return !CompareFileContents(s, n); }, 1920},
        {"CompareFileContentsW through a link",
         [&] { return !CompareFileContentsW(wideLink.c_str(), wideFile.c_str()); }, 1920},
        {"RenameFileSafe onto", [&] { return !RenameFileSafe(s, n, 0, nullptr, 0); }, 1920},
        {"RenameFileSafe from", [&] { return !RenameFileSafe(n, f, 0, nullptr, 0); }, 1920},
        {"RenameFileSafe exchange", [&] { return !RenameFileSafe(s, n, RENAME_SAFE_EXCHANGE, nullptr, 0); }, 1920},
        {"copy onto", [&] { return CopyFileEngine(0, s, n, nullptr, nullptr, nullptr) == -2; }, 1920},
        {"copy onto via temporary",
         [&] { return CopyFileEngine(COPY_VIA_TEMPORARY | COPY_REPLACE_READONLY, s, n, nullptr, nullptr, nullptr) == -2; },
         1920},
        {"move onto", [&] { return CopyFileEngine(COPY_MOVE, s, n, nullptr, nullptr, nullptr) == -2; }, 1920},
        {"copy from", [&] { return CopyFileEngine(0, n, f, nullptr, nullptr, nullptr) == -3; }, 1920},
        {"copy from via temporary",
         [&] { return CopyFileEngine(COPY_VIA_TEMPORARY, n, f, nullptr, nullptr, nullptr) == -3; }, 1920},
        {"move from", [&] { return CopyFileEngine(COPY_MOVE, n, f, nullptr, nullptr, nullptr) == -3; }, 1920},
        // The tree copies the files on either side of the node.
        {"tree with a node in the source",
         [&] { return CopyDirectoryTree(TREE_CREATE_TARGET, src.c_str(), dst.c_str(), nullptr) == -3; }, kAny},
        {"tree onto a node", [&] { return CopyDirectoryTree(0, other.c_str(), src.c_str(), nullptr) == -2; }, kAny},
        {"tree onto a node via temporary",
         [&] { return CopyDirectoryTree(COPY_VIA_TEMPORARY, other.c_str(), src.c_str(), nullptr) == -2; }, kAny},
        // The node is newer than the file: still no copy of it, so a failure.
        {"tree onto a node, only newer",
         [&] { return CopyDirectoryTree(TREE_ONLY_NEWER, other.c_str(), src.c_str(), nullptr) == -2; }, kAny},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(device ? "device: " : "pipe: ") + c.what);
      fs::remove_all(src);
      fs::remove_all(dst);
      fs::create_directories(src);
      WriteWholeFile(file, Bytes{'f'});
      ::unlink(n);
      ASSERT_TRUE(MakeNode(node, device));
      for (const char* name : {"/a", "/z"}) WriteWholeFile(src + name, Bytes{'t'});
      ASSERT_TRUE(MakeNode(src + "/p", device));
      const std::vector<std::string> before = Names(dir.path());
      const int child = timelimit::RunWithin(20, [&] {
        SysSetLastError(0);
        if (!c.refused()) return 1;
        return c.error == kAny || SysGetLastError() == c.error ? 0 : 2;
      });
      EXPECT_EQ(child, 0);
      EXPECT_TRUE(NodeIntact(node, device));
      EXPECT_TRUE(NodeIntact(src + "/p", device));
      EXPECT_EQ(ReadWholeFile(file), Bytes{'f'});
      // Only the tree copy from a source with a node writes, and only its files.
      std::vector<std::string> expected = before;
      if (std::string(c.what) == "tree with a node in the source") {
        expected.insert(expected.end(), {"dst", "dst/a", "dst/z"});
        std::sort(expected.begin(), expected.end());
      }
      EXPECT_EQ(Names(dir.path()), expected);
    }
  }
}

}  // namespace
