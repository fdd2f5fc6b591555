// Path text functions: roots, components, names, extensions, edits. Expected
// values are worked out by hand from the path rules; every table also runs
// through the wide twins.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../toolkit/latin1_widen.h"
#include "files/path.h"
#include "path_test_util.h"

namespace {

std::u16string W(const std::string& s) { return Latin1Widen(s); }

TEST(GetPathRootLength, DrivesServersAndPlainPaths) {
  const struct {
    const char* path;
    int root;
  } cases[] = {
      {"C:\\a", 2},          {"C:\\\\a", 3},         {"C:", 2},           {"C:a", 2},
      {"\\\\server\\share", 8}, {"//server/share", 8}, {"\\\\\\x", 2},     {"\\\\srv:x\\y", 6},
      {"\\\\srv", 5},        {"\\a", 0},             {"/a", 0},           {"a\\b", 0},
      {"abc:d\\e", 4},       {"a\\b:c", 0},          {"", 0},             {"C:/\\x", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetPathRootLength(c.path), c.root) << c.path;
    EXPECT_EQ(GetPathRootLengthW(W(c.path).c_str()), c.root) << c.path;
  }
  EXPECT_EQ(GetPathRootLength(nullptr), 0);
}

TEST(GetPathComponentsEnd, CountsTheRootAsTheFirstComponent) {
  const struct {
    const char* path;
    int n, end;
  } cases[] = {
      {"C:\\a\\b\\c", 0, 0}, {"C:\\a\\b\\c", 1, 3}, {"C:\\a\\b\\c", 2, 5}, {"C:\\a\\b\\c", 3, 7},
      {"C:\\a\\b\\c", 4, 8}, {"C:\\a\\b\\c", 9, 8}, {"a\\b\\c", 1, 2},     {"a\\b\\c", 2, 4},
      {"a\\b\\c", 3, 5},     {"\\\\srv\\share\\x", 1, 6}, {"\\\\srv\\share\\x", 2, 12},
      {"\\\\srv\\share\\x", 3, 13}, {"", 1, 0}, {"C:\\a", -1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetPathComponentsEnd(c.path, c.n), c.end) << c.path << " " << c.n;
    EXPECT_EQ(GetPathComponentsEndW(W(c.path).c_str(), c.n), c.end) << c.path << " " << c.n;
  }
}

TEST(FindPathExtension, TakesTheLastDotOfTheFileNameOnly) {
  const struct {
    const char* path;
    int offset;  // of the extension, or the path's length when none
    int length;
  } cases[] = {
      {"a.b.txt", 4, 3}, {"dir.x\\name", 10, 0}, {".profile", 8, 0}, {"dir\\.profile", 12, 0},
      {"C:.x", 4, 0},    {"a.", 2, 0},           {"name", 4, 0},     {"x.y:z", 2, 3},
      {"a/b.c/d", 7, 0}, {"a\\b.c", 4, 1},       {"", 0, 0},         {"..x", 2, 1},
  };
  for (const auto& c : cases) {
    int n = int(strlen(c.path));
    int len = -7;
    EXPECT_EQ(FindPathExtension(n, c.path, &len) - c.path, c.offset) << c.path;
    EXPECT_EQ(len, c.length) << c.path;
    EXPECT_EQ(FindPathExtension(-1, c.path) - c.path, c.offset) << c.path;
    std::u16string w = W(c.path);
    EXPECT_EQ(FindPathExtensionW(n, w.c_str(), &len) - w.c_str(), c.offset) << c.path;
    EXPECT_EQ(len, c.length) << c.path;
  }
}

TEST(FindPathExtension, LooksNoFurtherThanTheGivenLength) {
  int len = -1;
  const char* p = "a.txt\\b";
  EXPECT_EQ(FindPathExtension(5, p, &len) - p, 2);
  EXPECT_EQ(len, 3);
}

TEST(FindPathFileName, StopsAtBothSeparatorsAndTheColon) {
  const struct {
    const char* path;
    int offset;
  } cases[] = {
      {"C:name", 2}, {"a\\b/c", 4}, {"dir\\", 4}, {"name", 0}, {"", 0}, {"\\\\srv\\share\\f.x", 12}, {"a:b\\", 4},
  };
  for (const auto& c : cases) {
    int n = int(strlen(c.path));
    int len = -1;
    EXPECT_EQ(FindPathFileName(n, c.path, &len) - c.path, c.offset) << c.path;
    EXPECT_EQ(len, n - c.offset) << c.path;
    EXPECT_EQ(FindPathFileNameOffset(c.path), c.offset) << c.path;
    std::u16string w = W(c.path);
    EXPECT_EQ(FindPathFileNameW(n, w.c_str(), &len) - w.c_str(), c.offset) << c.path;
    EXPECT_EQ(FindPathFileNameOffsetW(w.c_str()), c.offset) << c.path;
  }
  EXPECT_EQ(FindPathFileNameOffset(nullptr), 0);
}

TEST(HasTrailingSeparator, EitherSeparatorAtTheEnd) {
  EXPECT_TRUE(HasTrailingSeparator("a\\"));
  EXPECT_TRUE(HasTrailingSeparator("a/"));
  EXPECT_FALSE(HasTrailingSeparator("a:"));
  EXPECT_FALSE(HasTrailingSeparator(""));
  EXPECT_FALSE(HasTrailingSeparator("a\\b", 3));
  EXPECT_TRUE(HasTrailingSeparator("a\\b", 2));
  EXPECT_TRUE(HasTrailingSeparatorW(u"x/"));
}

TEST(MatchExtensionList, FirstEqualEntryWithoutRegardToCase) {
  const struct {
    const char* path;
    const char* list;
    int index;
  } cases[] = {
      {"x.JPG", "png;jpg;gif", 2}, {"x", "png;;gif", 2},   {"x", "png;gif", 0},     {"x.png", "", 0},
      {"x.", "png;;", 2},          {"a.tar.gz", "gz", 1},  {"x.y:z", "z;y:z", 0},   {"x.y:z", "z;y:z;", 3},
      {"\xC4.\xC4" "B", "\xE4" "b", 1}, {"x.jp", "jpg;jp", 2}, {"x.jpg", "jp;jpgx;jpg", 3}, {"d.x\\n", "x;", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchExtensionList(c.path, c.list), c.index) << c.path << " in " << c.list;
    EXPECT_EQ(MatchExtensionListW(W(c.path).c_str(), W(c.list).c_str()), c.index) << c.path;
  }
  EXPECT_EQ(MatchExtensionList("x.png\\y", "png", 5), 1);
}

// Runs a bounded copy at every size with guard bytes behind the output.
template <class F>
void CheckBoundedCopy(F copy, const std::string& expected, const char* what) {
  const int n = int(expected.size());
  for (int size = 0; size <= n + 2; ++size) {
    std::vector<char> out(size_t(size) + 4, '#');
    int r = copy(out.data(), size);
    if (size == 0) {
      EXPECT_EQ(r, 0) << what;
      EXPECT_EQ(out[0], '#') << what;
    } else if (size <= n) {
      EXPECT_EQ(r, 0) << what << " size " << size;
      EXPECT_EQ(out[0], 0) << what << " size " << size;
    } else {
      EXPECT_EQ(r, n) << what;
      EXPECT_EQ(std::string(out.data()), expected) << what;
    }
    for (size_t i = size_t(size); i < out.size(); ++i) ASSERT_EQ(out[i], '#') << what << " size " << size;
  }
}

TEST(PathCopies, EmptyTheOutputWhenTheyDoNotFit) {
  const struct {
    const char* path;
    const char* ext;
    const char* name;
    const char* base;
    const char* dir;
  } cases[] = {
      {"C:\\d.x\\name.tar.gz", "gz", "name.tar.gz", "name.tar", "C:\\d.x\\"},
      {"C:name", "", "name", "name", "C:"},
      {"dir\\", "", "", "", "dir\\"},
      {".profile", "", ".profile", ".profile", ""},
      {"a/b.", "", "b.", "b", "a/"},
      {"x.y:z", "y:z", "z", "z", "x.y:"},
  };
  for (const auto& c : cases) {
    int n = int(strlen(c.path));
    CheckBoundedCopy([&](char* o, int s) { return GetPathExtension(o, n, c.path, s); }, c.ext, c.path);
    CheckBoundedCopy([&](char* o, int s) { return GetPathFileName(o, n, c.path, s); }, c.name, c.path);
    CheckBoundedCopy([&](char* o, int s) { return GetPathBaseName(o, n, c.path, s); }, c.base, c.path);
    CheckBoundedCopy([&](char* o, int s) { return GetPathDirectory(o, n, c.path, s); }, c.dir, c.path);
    int len = -1;
    char* base = GetPathBaseNameAlloc(n, c.path, &len);
    EXPECT_EQ(std::string(base), c.base);
    EXPECT_EQ(len, int(strlen(c.base)));
    delete[] base;
    char* dir = GetPathDirectoryAlloc(n, c.path, nullptr);
    EXPECT_EQ(std::string(dir), c.dir);
    delete[] dir;

    std::u16string w = W(c.path);
    char16_t out[64];
    EXPECT_EQ(GetPathBaseNameW(out, n, w.c_str(), 64), int(strlen(c.base)));
    EXPECT_EQ(std::u16string(out), W(c.base));
    EXPECT_EQ(GetPathExtensionW(out, n, w.c_str(), 64), int(strlen(c.ext)));
    EXPECT_EQ(std::u16string(out), W(c.ext));
    EXPECT_EQ(GetPathFileNameW(out, n, w.c_str(), 64), int(strlen(c.name)));
    EXPECT_EQ(GetPathDirectoryW(out, n, w.c_str(), 64), int(strlen(c.dir)));
    EXPECT_EQ(std::u16string(out), W(c.dir));
    char16_t* wd = GetPathDirectoryAllocW(n, w.c_str(), &len);
    EXPECT_EQ(std::u16string(wd), W(c.dir));
    delete[] wd;
  }
}

enum Edit { kSetExt, kInsertExt, kSetName, kSetBase, kSetDir, kAppend };

int RunEdit(Edit e, char* out, const char* in, const char* arg, int size) {
  int n = int(strlen(in));
  switch (e) {
    case kSetExt: return SetPathExtension(n, out, in, arg, size);
    case kInsertExt: return InsertPathExtension(n, out, in, arg, size);
    case kSetName: return SetPathFileName(n, out, in, arg, size);
    case kSetBase: return SetPathBaseName(n, out, in, arg, size);
    case kSetDir: return SetPathDirectory(n, out, in, arg, size);
    case kAppend: return AppendPathComponent(n, out, in, arg, size);
  }
  return -99;
}

int RunEditW(Edit e, char16_t* out, const char16_t* in, const char16_t* arg, int size) {
  int n = 0;
  while (in[n]) ++n;
  switch (e) {
    case kSetExt: return SetPathExtensionW(n, out, in, arg, size);
    case kInsertExt: return InsertPathExtensionW(n, out, in, arg, size);
    case kSetName: return SetPathFileNameW(n, out, in, arg, size);
    case kSetBase: return SetPathBaseNameW(n, out, in, arg, size);
    case kSetDir: return SetPathDirectoryW(n, out, in, arg, size);
    case kAppend: return AppendPathComponentW(n, out, in, arg, size);
  }
  return -99;
}

const struct EditCase {
  Edit edit;
  const char* in;
  const char* arg;
  const char* out;
} kEdits[] = {
    {kSetExt, "a.txt", "*.bak", "a.bak"},
    {kSetExt, "a.txt", ".bak", "a.bak"},
    {kSetExt, "a.txt", "bak", "a.bak"},
    {kSetExt, "a.txt", "", "a"},
    {kSetExt, "a.txt", "*", "a"},
    {kSetExt, "a", "bak", "a.bak"},
    {kSetExt, "dir.x\\a", "b", "dir.x\\a.b"},
    {kSetExt, "a.b.c", "d", "a.b.d"},
    {kSetExt, ".profile", "x", ".profile.x"},
    {kInsertExt, "a.txt", "bak", "a.bak.txt"},
    {kInsertExt, "a", "bak", "a.bak"},
    {kInsertExt, "d.x\\a", "bak", "d.x\\a.bak"},
    {kSetName, "C:\\d\\a.txt", "b.c", "C:\\d\\b.c"},
    {kSetName, "a.txt", "b", "b"},
    {kSetName, "C:x", "y", "C:y"},
    {kSetName, "d/", "n", "d/n"},
    {kSetBase, "d\\a.txt", "b", "d\\b.txt"},
    {kSetBase, "a", "b", "b"},
    {kSetBase, "d.x\\a", "b", "d.x\\b"},
    {kSetBase, "a.b.c", "x", "x.c"},
    {kSetBase, "x.y:z", "w", "x.y:w"},
    {kSetDir, "C:\\d\\a.txt", "E:\\e", "E:\\e\\a.txt"},
    {kSetDir, "a.txt", "x/", "x/a.txt"},
    {kSetDir, "d\\a", "", "\\a"},
    {kSetDir, "C:a", "D:\\", "D:\\a"},
    {kAppend, "C:\\d\\", "\\x", "C:\\d\\x"},
    {kAppend, "C:\\d", "x", "C:\\d\\x"},
    {kAppend, "d//", "//x", "d/\\/x"},
    {kAppend, "", "x", "x"},
    {kAppend, "d", "", "d\\"},
};

TEST(PathEdits, BuildTheExpectedPaths) {
  for (const EditCase& c : kEdits) {
    char out[64];
    memset(out, '#', sizeof out);
    EXPECT_EQ(RunEdit(c.edit, out, c.in, c.arg, 64), int(strlen(c.out))) << c.in << " / " << c.arg;
    EXPECT_EQ(std::string(out), c.out) << c.in << " / " << c.arg;
    // In place: the output is the input.
    char buf[64];
    strcpy(buf, c.in);
    RunEdit(c.edit, buf, buf, c.arg, 64);
    EXPECT_EQ(std::string(buf), c.out) << "in place " << c.in;
    char16_t wout[64];
    std::u16string win = W(c.in), warg = W(c.arg);
    EXPECT_EQ(RunEditW(c.edit, wout, win.c_str(), warg.c_str(), 64), int(strlen(c.out)));
    EXPECT_EQ(std::u16string(wout), W(c.out)) << c.in;
  }
}

TEST(PathEdits, ResultsThatDoNotFitFollowEachFunctionsRule) {
  for (const EditCase& c : kEdits) {
    const std::string full = c.out;
    const int n = int(strlen(c.in));
    for (int size = 0; size <= int(full.size()); ++size) {
      std::vector<char> out(size_t(size) + 4, '#');
      int r = RunEdit(c.edit, out.data(), c.in, c.arg, size);
      std::string what = std::string(c.in) + " / " + c.arg + " size " + std::to_string(size);
      for (size_t i = size_t(size); i < out.size(); ++i) ASSERT_EQ(out[i], '#') << what;
      if (size == 0) {
        EXPECT_EQ(out[0], '#') << what;
        continue;
      }
      switch (c.edit) {
        case kSetExt:
        case kSetName:
          EXPECT_EQ(r, size - 1) << what;
          EXPECT_EQ(std::string(out.data()), full.substr(0, size_t(size - 1))) << what;
          break;
        case kInsertExt: {
          std::string cut = std::string(c.in).substr(0, size_t(std::min(n, size - 1)));
          EXPECT_EQ(std::string(out.data()), cut) << what;
          EXPECT_EQ(r, int(cut.size())) << what;
          break;
        }
        case kSetBase:
        case kSetDir:
          EXPECT_EQ(r, n) << what;
          EXPECT_EQ(out[0], '#') << what;
          break;
        case kAppend:
          EXPECT_EQ(r, 0) << what;
          EXPECT_EQ(out[0], 0) << what;
          break;
      }
    }
  }
}

TEST(TrailingSeparators, AddAndRemoveInPlace) {
  const struct {
    const char* in;
    const char* added;
    const char* removed;
  } cases[] = {
      {"C:\\dir\\", "C:\\dir\\", "C:\\dir"}, {"C:\\dir", "C:\\dir\\", "C:\\dir"}, {"", "\\", ""},
      {"a/", "a/", "a"}, {"a\\\\", "a\\\\", "a\\"},
  };
  for (const auto& c : cases) {
    char buf[32];
    strcpy(buf, c.in);
    EXPECT_EQ(AddTrailingSeparator(buf), int(strlen(c.added)));
    EXPECT_EQ(std::string(buf), c.added);
    strcpy(buf, c.in);
    EXPECT_EQ(RemoveTrailingSeparator(buf, int(strlen(c.in))), int(strlen(c.removed)));
    EXPECT_EQ(std::string(buf), c.removed);
    char16_t wbuf[32];
    std::u16string w = W(c.in);
    std::copy(w.c_str(), w.c_str() + w.size() + 1, wbuf);
    EXPECT_EQ(AddTrailingSeparatorW(wbuf), int(strlen(c.added)));
    EXPECT_EQ(std::u16string(wbuf), W(c.added));
    std::copy(w.c_str(), w.c_str() + w.size() + 1, wbuf);
    EXPECT_EQ(RemoveTrailingSeparatorW(wbuf), int(strlen(c.removed)));
  }
  char buf[8] = "a";
  EXPECT_EQ(AddTrailingChar('/', buf), 2);
  EXPECT_STREQ(buf, "a/");
  EXPECT_EQ(AddTrailingChar('/', buf), 2);
  // No path: nothing to append to, and nothing written.
  EXPECT_EQ(AddTrailingSeparator(nullptr), 0);
  EXPECT_EQ(AddTrailingSeparatorW(nullptr, -1), 0);
  EXPECT_EQ(AddTrailingChar('/', nullptr, 0), 0);
}

TEST(CutToDirectory, KeepsTheSeparatorOnlyBehindARootOrAnother) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"name", ""}, {"\\name", "\\"}, {"D:\\x", "D:\\"}, {"D:\\d\\x", "D:\\d"}, {"\\\\srv\\x", "\\\\srv"},
      {"a\\\\b", "a\\\\"}, {"C:x", ""}, {"d/", "d"}, {"", ""},
  };
  for (const auto& c : cases) {
    char buf[32];
    strcpy(buf, c.in);
    EXPECT_EQ(CutToDirectory(int(strlen(c.in)), buf), int(strlen(c.out))) << c.in;
    EXPECT_EQ(std::string(buf), c.out) << c.in;
    char16_t wbuf[32];
    std::u16string w = W(c.in);
    std::copy(w.c_str(), w.c_str() + w.size() + 1, wbuf);
    EXPECT_EQ(CutToDirectoryW(-1, wbuf), int(strlen(c.out))) << c.in;
    EXPECT_EQ(std::u16string(wbuf), W(c.out));
  }
}

TEST(ConvertSeparators, SlashOrZeroMakesSlashesAnythingElseBackslashes) {
  const struct {
    int sep;
    const char* out;
  } cases[] = {{'/', "a/b/c/"}, {0, "a/b/c/"}, {'\\', "a\\b\\c\\"}, {'x', "a\\b\\c\\"}};
  for (const auto& c : cases) {
    char buf[16] = "a\\b/c\\";
    EXPECT_EQ(ConvertSeparators(buf, c.sep), 6);
    EXPECT_STREQ(buf, c.out);
    char16_t wbuf[16] = u"a\\b/c\\";
    EXPECT_EQ(ConvertSeparatorsW(wbuf, c.sep), 6);
    EXPECT_EQ(std::u16string(wbuf), W(c.out));
    for (int size = 0; size <= 8; ++size) {
      char out[12];
      memset(out, '#', sizeof out);
      int r = CopyConvertSeparators(out, "a\\b/c\\", size, c.sep);
      EXPECT_EQ(r, size == 0 ? 0 : std::min(6, size - 1));
      if (size > 0) {
        EXPECT_EQ(std::string(out), std::string(c.out).substr(0, size_t(r)));
      }
      for (int i = size; i < 12; ++i) ASSERT_EQ(out[i], '#');
    }
  }
}

}  // namespace

namespace {

// Random paths without colons and leading dot runs, where ntpath's
// basename and splitext follow our rules.
TEST(PathNames, AgreeWithNtpathOnPlainPaths) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "/usr/bin/python3 is absent; ntpath peer not run";
  const char alphabet[] = {'a', 'b', '.', '\\', '/', 'x'};
  std::mt19937 rng(3);
  std::vector<std::string> paths;
  while (paths.size() < 500) {
    std::string p;
    int n = int(rng() % 9);
    for (int k = 0; k < n; ++k) p += alphabet[rng() % sizeof alphabet];
    // ntpath treats a name's run of leading dots as no extension at all,
    // and a leading pair of separators as a server; both are left out.
    const std::string name = p.substr(p.find_last_of("\\/") == std::string::npos ? 0 : p.find_last_of("\\/") + 1);
    if (name.size() > 1 && name[0] == '.' && name[1] == '.') continue;
    if (p.size() > 1 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/')) continue;
    paths.push_back(p);
  }
  const std::vector<std::string> lines = NtpathEach("ntpath.basename(l) + \"|\" + ntpath.splitext(l)[1]", paths);
  ASSERT_EQ(lines.size(), paths.size()) << "python3 gave no answer";
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string& p = paths[i];
    const std::string& line = lines[i];
    std::string base = line.substr(0, line.find('|')), ext = line.substr(line.find('|') + 1);
    int n = int(p.size()), len = 0;
    const char* name = FindPathFileName(n, p.c_str(), &len);
    EXPECT_EQ(std::string(name, size_t(len)), base) << p;
    // ntpath keeps the dot with the extension: what the base name leaves.
    char stem[16];
    int stemLen = GetPathBaseName(stem, n, p.c_str(), 16);
    EXPECT_EQ(base.substr(size_t(stemLen)), ext) << p;
    const char* e = FindPathExtension(n, p.c_str(), &len);
    if (!ext.empty()) {
      EXPECT_EQ("." + std::string(e, size_t(len)), ext) << p;
    }
  }
}

TEST(MatchExtensionList, TheMultiplicationSignIsNoCapitalOfTheDivisionSign) {
  EXPECT_EQ(MatchExtensionList("a.\xD7", "\xF7;\xD7"), 2);
}

}  // namespace
