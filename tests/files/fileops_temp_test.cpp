// Unique temporary names and numbered backups.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

#include "files/fileops.h"
#include "files/path.h"
#include "platform/fsops.h"
#include "fileops_test_util.h"
#include "stream_test_util.h"

namespace {

bool IsDir(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// TMPDIR pointed at a scratch folder for one test.
class TempName : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("TMPDIR", dir_.path().c_str(), 1); }
  SavedEnv tmpdir_{"TMPDIR"};
  ScratchDir dir_;
};

TEST_F(TempName, BuildsEachShapeAndCreatesItsFolders) {
  const std::string t = dir_.path() + "/";
  const std::string hex = "[0-9A-F]{8}";
  enum Kind { kFolder, kFileNotMade, kFileReserved };  // a unique file name is made, empty
  struct Case {
    TempNamePart base, p1, p2, p3;
    std::string shape;  // a regular expression over the whole result
    Kind kind;
  } cases[] = {
      {TEMP_NAME_UNIQUE, nullptr, nullptr, nullptr, t + "(" + hex + ")/", kFolder},
      {"app", TEMP_NAME_UNIQUE_FOLDER, nullptr, nullptr, t + "app/(" + hex + ")/", kFolder},
      {"pre", TEMP_NAME_UNIQUE, nullptr, nullptr, t + "pre(" + hex + ")/", kFolder},
      {nullptr, TEMP_NAME_UNIQUE, "?*.tmp", nullptr, t + "(" + hex + ")\\.tmp", kFileReserved},
      {nullptr, TEMP_NAME_UNIQUE, "*.d", "?f", t + "(" + hex + ")\\.d/f", kFileNotMade},
      {"app", TEMP_NAME_UNIQUE_FOLDER, "?data.txt", nullptr, t + "app/(" + hex + ")/data\\.txt", kFileNotMade},
      {"work", "?name.txt", "?#.bak", nullptr, t + "work/name\\.bak", kFileNotMade},
      {"work", "?name", "?#.bak", nullptr, t + "work/name\\.bak", kFileNotMade},
      {TEMP_NAME_FILE_NAME_OF_NEXT, "?/some/where\\x.dat", nullptr, nullptr, t + "x\\.dat", kFileNotMade},
      {"a", "/b/", "c", nullptr, t + "a/b/c", kFolder},
  };
  for (const Case& c : cases) {
    char out[600];
    char* end = nullptr;
    int result = MakeTempFileName(out, sizeof out, c.base, c.p1, c.p2, c.p3, &end);
    std::string name(out);
    EXPECT_TRUE(std::regex_match(name, std::regex(c.shape))) << name << " vs " << c.shape;
    EXPECT_EQ(end, out + name.size());
    if (c.kind != kFolder) {
      EXPECT_EQ(Exists(name), c.kind == kFileReserved) << name;
      if (c.kind == kFileReserved) {
        EXPECT_TRUE(ReadWholeFile(name).empty()) << name;
      }
      std::string folder = name.substr(0, name.find_last_of('/') + 1);
      EXPECT_TRUE(IsDir(folder)) << folder;
    } else {
      EXPECT_TRUE(IsDir(name)) << name;
      EXPECT_EQ(result, 1) << name;
    }
  }
}

TEST_F(TempName, GivesEveryCallItsOwnName) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    char out[300];
    ASSERT_EQ(MakeTempFileName(out, sizeof out, TEMP_NAME_UNIQUE), 1);
    EXPECT_TRUE(seen.insert(out).second) << out;
    EXPECT_TRUE(IsDir(out));
  }
  // A unique file name is made as an empty file, so the next call skips it.
  for (int i = 0; i < 50; ++i) {
    char out[300];
    ASSERT_EQ(MakeTempFileName(out, sizeof out, nullptr, TEMP_NAME_UNIQUE, "?*.tmp"), 2);
    EXPECT_TRUE(Exists(out));
    EXPECT_TRUE(seen.insert(out).second) << out;
  }
}

// Processes forked from one state start from the same number when they ask
// in the same millisecond: each must still get a name no other got.
TEST_F(TempName, ProcessesRacingForOneNameEachGetTheirOwn) {
  constexpr int kChildren = 8;
  char first[300];
  ASSERT_EQ(MakeTempFileName(first, sizeof first, TEMP_NAME_UNIQUE), 1);  // one random state for all
  for (bool file : {false, true}) {
    int go[2], results[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(results), 0);
    for (int i = 0; i < kChildren; ++i) {
      pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        ::close(go[1]);
        char byte;
        (void)!::read(go[0], &byte, 1);  // returns when the parent closes its end
        char out[256] = {};
        int got = file ? MakeTempFileName(out, sizeof out, nullptr, TEMP_NAME_UNIQUE, "?*.tmp")
                       : MakeTempFileName(out, sizeof out, TEMP_NAME_UNIQUE);
        if (got == 0) out[0] = 0;
        (void)!::write(results[1], out, sizeof out);
        ::_exit(0);
      }
    }
    ::close(go[0]);
    ::close(results[1]);
    ::close(go[1]);
    std::set<std::string> names;
    char out[256];
    for (int i = 0; i < kChildren; ++i) {
      ASSERT_EQ(::read(results[0], out, sizeof out), ssize_t(sizeof out));
      EXPECT_NE(out[0], 0);
      EXPECT_TRUE(names.insert(out).second) << "given twice: " << out;
    }
    ::close(results[0]);
    while (::wait(nullptr) > 0) {
    }
  }
}

TEST_F(TempName, StartsBesideTheProgramWhenAsked) {
  char exe[4096];
  ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string program(exe, size_t(n));
  std::string folder = program.substr(0, program.rfind('/') + 1);
  char out[4096];
  EXPECT_EQ(MakeTempFileName(out, sizeof out, TEMP_NAME_PROGRAM_DIRECTORY, "?help.html"), 2);
  EXPECT_EQ(std::string(out), folder + "help.html");
  wchar16 wide[4096];
  wchar16* end = nullptr;
  EXPECT_EQ(MakeTempFileNameW(wide, 4096, TEMP_NAME_PROGRAM_DIRECTORY, u"?help.html", nullptr, nullptr, &end), 2);
  std::u16string expected(folder.begin(), folder.end());
  expected += u"help.html";
  EXPECT_EQ(std::u16string(wide), expected);
  EXPECT_EQ(end, wide + expected.size());
}

TEST_F(TempName, GivesNothingWhenTheNameDoesNotFit) {
  const int start = int(dir_.path().size()) + 1;  // with its separator
  char out[600];
  // The start alone needs start + 1; a unique name ten more.
  EXPECT_EQ(MakeTempFileName(out, start, TEMP_NAME_UNIQUE), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(MakeTempFileName(out, start + 9, TEMP_NAME_UNIQUE), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(MakeTempFileName(out, start + 10, TEMP_NAME_UNIQUE), 1);
  EXPECT_EQ(int(std::strlen(out)), start + 9);
  std::string unique = out;
  EXPECT_EQ(MakeTempFileName(out, start + 4, "abcd"), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(MakeTempFileName(out, start + 5, "abcd"), 1);
  EXPECT_TRUE(IsDir(dir_.File("abcd")));
  EXPECT_EQ(MakeTempFileName(out, 0, "abcd"), 0);
  // A folder that a file blocks cannot be made.
  WriteWholeFile(dir_.File("blocked"), Bytes{1});
  EXPECT_EQ(MakeTempFileName(out, sizeof out, "blocked", "x"), 0);
  // A unique folder made before a later folder fails is taken back.
  ::unlink(dir_.File("blocked").c_str());
  ::rmdir(dir_.File("abcd").c_str());
  ::rmdir(unique.c_str());
  SysInjectFault(SysFault::CreateDirectory, 1);  // the unique folder passes, "sub" fails
  EXPECT_EQ(MakeTempFileName(out, sizeof out, TEMP_NAME_UNIQUE, "sub"), 0);
  SysClearFaults();
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

// A scratch folder with a source file "a.txt" whose content tells its age.
class Backup : public ::testing::Test {
 protected:
  std::string Make(const std::string& content) {
    WriteWholeFile(source_, Bytes(content.begin(), content.end()));
    return source_;
  }
  std::string Read(const std::string& name) {
    Bytes b = ReadWholeFile(dir_.File(name));
    return std::string(b.begin(), b.end());
  }
  ScratchDir dir_;
  std::string source_ = dir_.File("a.txt");
};

TEST_F(Backup, NamesEachPatternAsDocumented) {
  struct Case {
    const char* pattern;
    int flags, position, digits;
    const char* expected;
  } cases[] = {
      {nullptr, 0, -1, 1, "a.txt.0"},
      {"*", 0, -1, 1, "a.txt.0"},
      {"*.bak", 0, -1, 1, "a.txt.bak.0"},
      {"?.bak", 0, -1, 1, "a.bak.0"},
      {"?.bak", BACKUP_NO_COUNTER, -1, 1, "a.bak"},
      {"*$1.old", 0, -1, 1, "a.old.0"},
      {"*.x.y$2", 0, -1, 1, "a.txt.0"},
      {"?_#3#.bak", 0, -1, 1, "a_000.bak"},
      {"#2#-*", 0, -1, 1, "00-a.txt"},
      {"bak_.txt", 0, 4, 3, "bak_000.txt"},
      {"#5#?", BACKUP_NO_COUNTER, -1, 1, "#5#a"},  // five digits are no counter
  };
  for (const Case& c : cases) {
    Make("x");
    ASSERT_TRUE(MakeBackupFile(source_.c_str(), c.pattern, c.flags, 3, c.position, c.digits)) << c.expected;
    EXPECT_EQ(Read(c.expected), "x") << c.expected;
    EXPECT_FALSE(Exists(source_));
    ::unlink(dir_.File(c.expected).c_str());
  }
  // A pattern with its own folder, and the wide twin.
  ::mkdir(dir_.File("old").c_str(), 0777);
  Make("y");
  std::string pattern = dir_.File("old/#1#-?");
  ASSERT_TRUE(MakeBackupFile(source_.c_str(), pattern.c_str(), 0, 3));
  EXPECT_EQ(Read("old/0-a"), "y");
  Make("z");
  std::u16string wideSource(source_.begin(), source_.end());
  ASSERT_TRUE(MakeBackupFileW(wideSource.c_str(), u"*.w", 0, 3));
  EXPECT_EQ(Read("a.txt.w.0"), "z");
}

TEST_F(Backup, RotatesUpToTheCountAndDropsTheOldest) {
  for (int age = 1; age <= 5; ++age) {
    Make("v" + std::to_string(age));
    ASSERT_TRUE(MakeBackupFile(source_.c_str(), "*.bak", 0, 3)) << age;
  }
  EXPECT_EQ(Read("a.txt.bak.0"), "v5");
  EXPECT_EQ(Read("a.txt.bak.1"), "v4");
  EXPECT_EQ(Read("a.txt.bak.2"), "v3");
  EXPECT_FALSE(Exists(dir_.File("a.txt.bak.3")));
  // A gap is filled from below: only the backups under it move.
  ::unlink(dir_.File("a.txt.bak.1").c_str());
  Make("v6");
  ASSERT_TRUE(MakeBackupFile(source_.c_str(), "*.bak", 0, 3));
  EXPECT_EQ(Read("a.txt.bak.0"), "v6");
  EXPECT_EQ(Read("a.txt.bak.1"), "v5");
  EXPECT_EQ(Read("a.txt.bak.2"), "v3");
}

TEST_F(Backup, KeepsToTheLimitsOfDigitsAndCount) {
  // One digit holds ten backups however many are asked for.
  for (int age = 0; age < 12; ++age) {
    Make("v" + std::to_string(age));
    ASSERT_TRUE(MakeBackupFile(source_.c_str(), "#1#", 0, 50));
  }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Read(std::to_string(i)), "v" + std::to_string(11 - i)) << i;
  // A count below one keeps one backup.
  for (int age = 0; age < 3; ++age) {
    Make("w" + std::to_string(age));
    ASSERT_TRUE(MakeBackupFile(source_.c_str(), "*.one", 0, 0));
  }
  EXPECT_EQ(Read("a.txt.one.0"), "w2");
  EXPECT_FALSE(Exists(dir_.File("a.txt.one.1")));
  // Counter positions and digit counts out of range.
  Make("x");
  EXPECT_FALSE(MakeBackupFile(source_.c_str(), "ab", 0, 3, 3, 1));
  EXPECT_FALSE(MakeBackupFile(source_.c_str(), "ab", 0, 3, 1, 5));
  EXPECT_FALSE(MakeBackupFile(source_.c_str(), "ab", 0, 3, 1, 0));
  EXPECT_EQ(Read("a.txt"), "x");
}

TEST_F(Backup, CopiesRefusesAndProtectsTheSource) {
  Make("one");
  ASSERT_TRUE(MakeBackupFile(source_.c_str(), "*.bak", BACKUP_COPY, 3));
  EXPECT_EQ(Read("a.txt"), "one");
  EXPECT_EQ(Read("a.txt.bak.0"), "one");
  Make("two");
  EXPECT_FALSE(MakeBackupFile(source_.c_str(), "*.bak", BACKUP_NO_ROTATE, 3));
  EXPECT_EQ(Read("a.txt"), "two");
  EXPECT_EQ(Read("a.txt.bak.0"), "one");
  // Without a counter the one backup is replaced.
  ASSERT_TRUE(MakeBackupFile(source_.c_str(), "*.bak", BACKUP_NO_COUNTER | BACKUP_COPY, 3));
  ASSERT_TRUE(MakeBackupFile(source_.c_str(), "*.bak", BACKUP_NO_COUNTER, 3));
  EXPECT_EQ(Read("a.txt.bak"), "two");
  EXPECT_FALSE(Exists(source_));
  // A name that is the source itself would delete it: refused.
  Make("three");
  EXPECT_FALSE(MakeBackupFile(source_.c_str(), "*", BACKUP_NO_COUNTER, 3));
  EXPECT_FALSE(MakeBackupFile(source_.c_str(), "a.txt", BACKUP_NO_COUNTER, 3));
  EXPECT_EQ(Read("a.txt"), "three");
  EXPECT_FALSE(MakeBackupFile(dir_.File("none").c_str(), "*.bak", 0, 3));
  EXPECT_FALSE(MakeBackupFile(nullptr, "*.bak", 0, 3));
  // The name may come from another file than the source.
  std::string base = dir_.File("report.doc");
  ASSERT_TRUE(MakeBackupFile(source_.c_str(), "?.bak", 0, 3, -1, 1, base.c_str()));
  EXPECT_EQ(Read("report.bak.0"), "three");
}

}  // namespace
