// Normal forms of paths: "." and "..", joins, absolute and relative paths,
// stored case. Expected values are worked out by hand; Python's ntpath
// checks the cases where its rules are ours.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "../toolkit/latin1_widen.h"
#include "files/pathnormal.h"
#include "platform/netshare.h"
#include "path_test_util.h"
#include "platform/pathsys.h"

namespace {

std::u16string W(const std::string& s) { return Latin1Widen(s); }

const struct {
  const char* in;
  const char* out;
} kNormal[] = {
    {"D:\\a\\.\\b\\..\\d", "D:\\a\\d"},
    {"a\\..\\b", ".\\b"},
    {"a\\..", ""},
    {"\\\\server\\share\\..\\x", "\\\\server\\x"},
    {"..\\..\\x", "..\\..\\x"},
    {"", ""},
    {".", "."},
    {".\\b", "b"},
    {"./b/c", "b/c"},
    {".\\", ".\\"},
    {".\\\\b", ".\\\\b"},
    {".\\a:b", ".\\a:b"},
    {"x\\..\\a:.\\D", ".\\a:.\\D"},
    {"C:.\\b", "C:b"},
    {"a\\.\\b", "a\\b"},
    {"a\\.", "a"},
    {"a\\.\\", "a\\"},
    {"\\a\\..", "\\."},
    {"\\a\\..\\b", "\\b"},
    {"\\.", "\\."},
    {"C:\\..", "C:\\.."},
    {"C:..", "C:.."},
    {"C:a\\..", "C:"},
    {"C:\\\\a\\..\\b", "C:\\\\b"},
    {"a/b/../c", "a/c"},
    {"a\\b\\..", "a"},
    {"a\\b\\..\\", "a\\"},
    {"a\\..\\..\\b", "..\\b"},
    {"a\\..\\.", "."},
    {".\\..\\x", "..\\x"},
    {"a\\\\..", "a\\\\.."},
    {"x\\...\\y", "x\\...\\y"},
    {"C:\\dir\\", "C:\\dir\\"},
    {"\\\\srv", "\\\\srv"},
};

TEST(NormalizePath, ResolvesDotsBehindTheRoot) {
  for (const auto& c : kNormal) {
    char out[64];
    EXPECT_EQ(NormalizePath(out, c.in, 64), int(strlen(c.out))) << c.in;
    EXPECT_STREQ(out, c.out) << c.in;
    char16_t wout[64];
    EXPECT_EQ(NormalizePathW(wout, W(c.in).c_str(), 64), int(strlen(c.out))) << c.in;
    EXPECT_EQ(std::u16string(wout), W(c.out)) << c.in;
    // A counted input: the same path followed by junk.
    std::string padded = std::string(c.in) + "\\..\\zz";
    EXPECT_EQ(NormalizePathN(out, padded.c_str(), 64, int(strlen(c.in))), int(strlen(c.out))) << c.in;
    EXPECT_STREQ(out, c.out) << c.in;
    // In place.
    char buf[64];
    strcpy(buf, c.in);
    EXPECT_EQ(NormalizePath(buf, buf, 64), int(strlen(c.out)));
    EXPECT_STREQ(buf, c.out);
  }
}

TEST(NormalizePath, EmptiesTheOutputWhenItDoesNotFit) {
  for (const auto& c : kNormal) {
    const int n = int(strlen(c.out));
    for (int size = 0; size <= n + 1; ++size) {
      std::vector<char> out(size_t(size) + 4, '#');
      int r = NormalizePath(out.data(), c.in, size);
      if (size >= 2 && size > n) {
        EXPECT_EQ(r, n) << c.in;
      } else {
        EXPECT_EQ(r, -1) << c.in << " size " << size;
        if (size >= 1) {
          EXPECT_EQ(out[0], 0) << c.in;
        }
      }
      for (size_t i = size_t(size); i < out.size(); ++i) ASSERT_EQ(out[i], '#') << c.in << " size " << size;
    }
  }
}

std::string Normal(const std::string& in) {
  std::vector<char> out(in.size() + 8);
  int n = NormalizePath(out.data(), in.c_str(), int(out.size()));
  EXPECT_GE(n, 0) << in;
  EXPECT_LE(n, int(in.size()) + 2) << in;
  return n < 0 ? std::string() : std::string(out.data());
}

// A second pass may drop the ".\" that a ".." left in front of the rest
// ("a\..\b" gives ".\b", which gives "b"); nothing else changes.
TEST(NormalizePath, IsIdempotentOverRandomPaths) {
  const char* parts[] = {"a", "B", ".", "..", "", "x.y", "...", "C:", "\\", "/"};
  std::mt19937 rng(11);
  for (int i = 0; i < 4000; ++i) {
    std::string path;
    int n = int(rng() % 7);
    for (int k = 0; k < n; ++k) {
      path += parts[rng() % std::size(parts)];
      if (rng() % 3) path += (rng() & 1) ? '\\' : '/';
    }
    std::string once = Normal(path), twice = Normal(once);
    if (twice != once) {
      ASSERT_EQ(twice.size() + 2, once.size()) << path;
    }
    ASSERT_EQ(Normal(twice), twice) << path;
  }
}

TEST(NormalizePath, AgreesWithNtpathOnDriveRootedPaths) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "/usr/bin/python3 is absent; ntpath peer not run";
  // Drive-rooted paths with single separators that never climb above the
  // root and do not end in a separator: there ntpath's rules are ours.
  const char* names[] = {"a", "bb", ".", "..", "c.d"};
  std::mt19937 rng(5);
  std::vector<std::string> paths;
  while (paths.size() < 400) {
    std::string p = "C:";
    int depth = 0, n = 1 + int(rng() % 6);
    bool ok = true;
    for (int k = 0; k < n; ++k) {
      std::string name = names[rng() % std::size(names)];
      if (name == "..") {
        ok = ok && depth-- > 0;
      } else if (name != ".") {
        ++depth;
      }
      p += (rng() & 1) ? "\\" : "/";
      p += name;
    }
    if (ok && depth > 0) paths.push_back(p);
  }
  const std::vector<std::string> expected = NtpathEach("ntpath.normpath(l)", paths);
  ASSERT_EQ(expected.size(), paths.size()) << "python3 gave no answer";
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string& p = paths[i];
    std::string ours = Normal(p);
    for (char& c : ours)
      if (c == '/') c = '\\';  // ntpath writes every separator as '\'
    EXPECT_EQ(ours, expected[i]) << p;
  }
}

TEST(NormalizePathJoin, JoinsUnlessTheSecondHasARoot) {
  const struct {
    const char* first;
    const char* second;
    const char* out;
  } cases[] = {
      {"C:\\a\\b", "..\\c", "C:\\a\\c"}, {"C:\\a\\", "c", "C:\\a\\c"},     {"C:\\a", "\\c", "C:\\a\\c"},
      {"C:\\a", "D:\\x\\.", "D:\\x"},    {"a", "..\\..\\b", "..\\b"},       {"", "x", "x"},
      {"C:\\a", "", "C:\\a"},            {"\\\\s\\t", "..\\u", "\\\\s\\u"}, {"a\\b", "\\\\srv\\x", "\\\\srv\\x"},
      // ntpath.join: the share under a bare server name takes a separator.
      {"\\\\srv", "share\\x", "\\\\srv\\share\\x"}, {"//srv", "share", "//srv\\share"},
  };
  for (const auto& c : cases) {
    char out[64];
    EXPECT_EQ(NormalizePathJoin(out, c.first, 64, -1, c.second, -1), int(strlen(c.out))) << c.first << "+" << c.second;
    EXPECT_STREQ(out, c.out) << c.first << " + " << c.second;
    char16_t wout[64];
    std::u16string a = W(c.first), b = W(c.second);
    EXPECT_EQ(NormalizePathJoinW(wout, a.c_str(), 64, int(a.size()), b.c_str(), int(b.size())), int(strlen(c.out)));
    EXPECT_EQ(std::u16string(wout), W(c.out));
    EXPECT_EQ(NormalizePathJoin(out, c.first, int(strlen(c.out)), -1, c.second, -1), -1);
  }
}

TEST(MakeAbsolutePath, ResolvesAgainstTheBaseAndKeepsItsLeadingComponents) {
  const struct {
    const char* base;
    const char* path;
    int keep;
    const char* out;
  } cases[] = {
      {"C:\\a\\b", "x\\y", 0, "C:\\a\\b\\x\\y"},
      {"C:\\a\\b", "..\\x", 0, "C:\\a\\x"},
      {"C:\\a\\b", "..\\..\\..\\x", 1, "C:\\x"},
      {"C:\\a\\b", "..\\..\\..\\x", 2, "C:\\a\\x"},
      {"C:\\a\\b", "..\\..\\..\\x", 3, "C:\\a\\b\\x"},
      {"C:\\a\\b", "\\x", 1, "C:\\x"},
      {"C:\\a\\b", "\\x", 2, "C:\\a\\x"},
      {"C:\\a\\b", "\\x\\..\\..\\y", 2, "C:\\a\\y"},
      {"C:\\a\\b", "\\x", 0, "\\x"},
      {"C:\\a", "D:\\x\\..\\y", 0, "D:\\y"},
      {"C:\\a", "c:x", 0, "C:\\a\\x"},
      {"C:\\a", "D:x", 0, "D:x"},
      {"C:\\a", "\\\\srv\\s\\..\\t", 0, "\\\\srv\\t"},
      {"C:\\a\\", "x", 0, "C:\\a\\x"},
      {"C:\\a\\b", ".", 0, "C:\\a\\b"},
      {"rel", "x", 0, "rel\\x"},
  };
  for (const auto& c : cases) {
    char out[64];
    EXPECT_EQ(MakeAbsolutePath(out, c.base, c.path, 64, c.keep), int(strlen(c.out))) << c.base << " " << c.path;
    EXPECT_STREQ(out, c.out) << c.base << " + " << c.path << " keep " << c.keep;
    char16_t wout[64];
    EXPECT_EQ(MakeAbsolutePathW(wout, W(c.base).c_str(), W(c.path).c_str(), 64, c.keep), int(strlen(c.out)));
    EXPECT_EQ(std::u16string(wout), W(c.out));
    // The output may be the base or the path.
    char buf[64];
    strcpy(buf, c.base);
    MakeAbsolutePath(buf, buf, c.path, 64, c.keep);
    EXPECT_STREQ(buf, c.out);
    strcpy(buf, c.path);
    MakeAbsolutePath(buf, c.base, buf, 64, c.keep);
    EXPECT_STREQ(buf, c.out);
    out[0] = '#';
    EXPECT_EQ(MakeAbsolutePath(out, c.base, c.path, int(strlen(c.out)), c.keep), -1);
    EXPECT_EQ(out[0], 0);
  }
}

TEST(MakeRelativePath, ClimbsOutOfTheUnsharedBaseComponents) {
  const struct {
    const char* base;
    const char* path;
    int minimum;
    int length;  // -1 for failure
    const char* out;
  } cases[] = {
      {"C:\\a\\b", "C:\\a\\c\\d.txt", 0, 10, "..\\c\\d.txt"},
      {"C:\\a\\b", "c:\\A\\B\\x", 0, 1, "x"},
      {"C:\\a\\b", "C:\\a\\b", 0, 0, ""},
      {"C:\\a\\b", "C:\\a", 0, 3, "..\\"},
      {"C:\\a\\b", "D:\\a", 0, -1, ""},
      {"C:/a/b", "C:/x", 0, 7, "../../x"},
      {"a\\b", "c", 0, 7, "..\\..\\c"},
      {"\\\\srv\\s\\a", "\\\\SRV\\s\\b", 0, 4, "..\\b"},
      {"\\\\srv\\s", "C:\\s", 0, -1, ""},
      {"\\\\srv\\s", "\\\\other\\s", 0, -1, ""},
      {"C:\\a\\b", "C:\\x", 2, -1, ""},
      {"C:\\a\\b", "C:\\x", 1, 7, "..\\..\\x"},
      {"C:\\a\\b\\", "C:\\a\\c\\", 0, 5, "..\\c\\"},
      {"a", "C:\\a", 0, -1, ""},
  };
  for (const auto& c : cases) {
    char out[64] = "#";
    EXPECT_EQ(MakeRelativePath(out, c.base, c.path, 64, c.minimum), c.length) << c.base << " -> " << c.path;
    EXPECT_STREQ(out, c.out) << c.base << " -> " << c.path;
    char16_t wout[64];
    EXPECT_EQ(MakeRelativePathW(wout, W(c.base).c_str(), W(c.path).c_str(), 64, c.minimum), c.length);
    EXPECT_EQ(std::u16string(wout), W(c.out));
    if (c.length > 0) {
      char buf[64];
      strcpy(buf, c.path);
      EXPECT_EQ(MakeRelativePath(buf, c.base, buf, 64, c.minimum), c.length);
      EXPECT_STREQ(buf, c.out);
      EXPECT_EQ(MakeRelativePath(out, c.base, c.path, c.length, c.minimum), -1);
      EXPECT_EQ(out[0], 0);
    }
  }
}

TEST(MakeRelativePath, RoundTripsThroughMakeAbsolutePath) {
  const char* base = "C:\\p\\q\\r";
  const char* paths[] = {"C:\\p\\q\\r\\s", "C:\\p\\x\\y", "C:\\z", "C:\\p\\q\\r2"};
  for (const char* p : paths) {
    char rel[64], back[64];
    ASSERT_GE(MakeRelativePath(rel, base, p, 64, 0), 0) << p;
    ASSERT_GE(MakeAbsolutePath(back, base, rel, 64, 1), 0) << p;
    EXPECT_STREQ(back, p) << rel;
  }
}

class TrueCaseOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/zelvaro-case-XXXXXX";
    root_ = mkdtemp(name);
    std::filesystem::create_directories(root_ + "/Mixed/Sub");
    std::ofstream(root_ + "/Mixed/Sub/File.TXT") << "x";
    SysMapDrive('T', root_.c_str());
  }
  void TearDown() override {
    SysMapDrive('T', nullptr);
    std::filesystem::remove_all(root_);
  }
  std::string root_;
};

TEST_F(TrueCaseOnDisk, FindsTheStoredSpellingOfEveryComponent) {
  char out[128];
  EXPECT_EQ(GetTrueCasePath(out, "T:\\mixed\\SUB\\file.txt", 128), 21);
  EXPECT_STREQ(out, "T:\\Mixed\\Sub\\File.TXT");
  EXPECT_EQ(GetTrueCasePath(out, "T:/mixed/./x/../sub", 128), 12);
  EXPECT_STREQ(out, "T:\\Mixed\\Sub");
  char16_t wout[128];
  EXPECT_EQ(GetTrueCasePathW(wout, u"T:\\MIXED", 128), 8);
  EXPECT_EQ(std::u16string(wout), u"T:\\Mixed");
  std::string host = root_ + "/MIXED/sub";
  EXPECT_EQ(GetTrueCasePath(out, host.c_str(), 128), int(host.size()));
  EXPECT_EQ(std::string(out), root_ + "/Mixed/Sub");
  // Missing components, wildcards and small outputs fail with 0.
  EXPECT_EQ(GetTrueCasePath(out, "T:\\mixed\\none", 128), 0);
  EXPECT_EQ(GetTrueCasePath(out, "T:\\mi*", 128), 0);
  EXPECT_EQ(GetTrueCasePath(out, "T:\\mixed\\su?", 128), 0);
  EXPECT_EQ(GetTrueCasePath(out, "T:\\mixed", 8), 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(GetTrueCasePath(out, "T:\\mixed", 9), 8);
}

TEST_F(TrueCaseOnDisk, LooksOnlyWhereTheRootLeads) {
  char out[256];
  // A drive not lent holds nothing, even when the current directory has
  // an entry of that name.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(root_);
  EXPECT_EQ(GetTrueCasePath(out, "Q:\\mixed", 256), 0);
  EXPECT_EQ(GetTrueCasePath(out, "\\\\nosrv\\noshare\\mixed", 256), 0);
  std::filesystem::current_path(before);
  // A lent share keeps its name as written; the folders behind it take
  // their stored spelling.
  SysClearShares();
  ASSERT_TRUE(SysRegisterShare("srv", "Data", root_.c_str()));
  EXPECT_EQ(GetTrueCasePath(out, "\\\\srv\\data\\MIXED\\sub", 256), 20);
  EXPECT_STREQ(out, "\\\\srv\\data\\Mixed\\Sub");
  SysClearShares();
}

}  // namespace
