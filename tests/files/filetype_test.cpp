// File-type registration, checked against the registry store read directly
// (never through CRegistryKey) and against hand-written key layouts.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../platform/registry_test_util.h"
#include "files/filetype.h"
#include "files/filetype_impl.h"
#include "platform/shellnotify.h"

namespace {

using Lines = std::vector<std::string>;

// One line per key ("K path") and per value ("V path|name|type|data"; the
// default value is named '@', data bytes outside ' '..'~' as \xHH; key
// names as they are).
void DumpKey(HKEY key, const std::string& path, Lines* out) {
  if (!path.empty()) out->push_back("K " + path);
  for (DWORD i = 0;; ++i) {
    char name[300];
    DWORD nameLen = sizeof name;
    DWORD type = 0;
    BYTE data[2048];
    DWORD size = sizeof data;
    if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &size) != 0) break;
    std::string text;
    for (DWORD b = 0; b < size; ++b) {
      char hex[8];
      if (data[b] >= ' ' && data[b] <= '~') {
        text.push_back(static_cast<char>(data[b]));
      } else {
        snprintf(hex, sizeof hex, "\\x%02X", data[b]);
        text += hex;
      }
    }
    out->push_back("V " + path + "|" + (nameLen == 0 ? "@" : name) + "|" + std::to_string(type) +
                   "|" + text);
  }
  for (DWORD i = 0;; ++i) {
    char name[300];
    DWORD nameLen = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != 0) break;
    HKEY sub = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key, name, 0, KEY_READ, &sub), 0);
    DumpKey(sub, path.empty() ? name : path + "\\" + name, out);
    RegCloseKey(sub);
  }
}

Lines Dump(HKEY root) {
  Lines lines;
  DumpKey(root, "", &lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

Lines Sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Writes a value (and its key) straight into the store; a null name writes
// the default value.
void Put(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr), 0);
  if (name != reinterpret_cast<const char*>(1)) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())), 0);
  }
  RegCloseKey(key);
}
void PutKey(HKEY root, const std::string& path) {
  Put(root, path, reinterpret_cast<const char*>(1), 0, "");
}
void PutText(const std::string& path, const char* name, const std::string& text) {
  Put(HKEY_CLASSES_ROOT, path, name, REG_SZ, text);
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names in a folder, "." and ".." left out.
std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

class FileTypeTest : public RegistryStoreTest {
 protected:
  void SetUp() override {
    RegistryStoreTest::SetUp();
    ASSERT_EQ(mkdir((dir_ + "/bin").c_str(), 0700), 0);
    prog_ = dir_ + "/bin/zelvaro";
    other_ = dir_ + "/bin/other";
    WriteFile(prog_, "x");
    WriteFile(other_, "y");
  }

  // The lines a clean RegisterFileType("zlv", prog_, 0, desc) writes.
  Lines Registered(const std::string& progId, const std::string& desc, const std::string& icon) {
    return {"K .zlv",
            "V .zlv|@|1|" + progId,
            "K " + progId,
            "V " + progId + "|@|1|" + desc,
            "V " + progId + "|AlwaysShowExt|1|",
            "V " + progId + "|EditFlags|3|\\x00\\x00\\x00\\x00",
            "K " + progId + "\\DefaultIcon",
            "V " + progId + "\\DefaultIcon|@|1|" + icon};
  }
  Lines Verb(const std::string& progId, const std::string& key, const std::string& command) {
    const std::string at = progId + "\\Shell\\" + key;
    return {"K " + progId + "\\Shell", "K " + at, "K " + at + "\\Command",
            "V " + at + "\\Command|@|1|" + command};
  }
  static Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
  }
  std::string Quoted(const std::string& path) { return "\"" + path + "\" \"%1\""; }

  std::string prog_;
  std::string other_;
};

// ---- Arguments ---------------------------------------------------------------

TEST(FileTypeVerbs, AliasGroupsHoldTheKeyNamesAndLatin1Aliases) {
  using filetype_detail::kVerbGroups;
  EXPECT_STREQ(kVerbGroups[0].key, "open");
  EXPECT_STREQ(kVerbGroups[0].aliases[0], "\326ffne");
  EXPECT_STREQ(kVerbGroups[0].aliases[1], "\366ffne");
  EXPECT_STREQ(kVerbGroups[0].aliases[2], "\326ffnen");
  EXPECT_STREQ(kVerbGroups[0].aliases[3], "\366ffnen");
  EXPECT_STREQ(kVerbGroups[1].key, "print");
  EXPECT_STREQ(kVerbGroups[1].aliases[0], "Drucke");
  EXPECT_STREQ(kVerbGroups[1].aliases[1], "Drucken");
  EXPECT_EQ(kVerbGroups[1].aliases[2], nullptr);
  EXPECT_STREQ(kVerbGroups[2].key, "Edit");
  EXPECT_STREQ(kVerbGroups[2].aliases[0], "Bearbeiten");
  EXPECT_EQ(kVerbGroups[2].aliases[1], nullptr);
  EXPECT_EQ(filetype_detail::kEditGroup, 2);
}

TEST(FileTypeVerbs, VerbTextsLoseAmpersandsAndMapToTheirKeys) {
  struct Case {
    const char* verb;
    bool ok;
    const char* key;
    const char* display;
  };
  const std::string longVerb(70, 'v');
  const Case cases[] = {
      {nullptr, true, "open", ""},
      {"", true, "open", ""},
      {"&\326ffnen", true, "open", ""},
      {"\366ffne", true, "open", ""},
      {"OPEN", true, "open", ""},
      {"&Drucken", true, "print", ""},
      {"dRUCKE", true, "print", ""},
      {"Bearbeiten", true, "Edit", "&Bearbeiten"},
      {"&Bearbeiten", true, "Edit", "&Bearbeiten"},
      {"edit", true, "Edit", "&Bearbeiten"},
      {"&Plot zeigen", true, "Plot zeigen", "&Plot zeigen"},
      {"Pl&ot&", true, "Plot", "Pl&ot&"},
      {"Plot", true, "Plot", ""},
      {"\326ffnen mit", true, "\326ffnen mit", ""},
      {"&&", false, "", ""},
      {"a\\b", false, "", ""},
      {longVerb.c_str(), true, "vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv", ""},
  };
  for (const Case& c : cases) {
    filetype_detail::Verb v;
    const char* label = c.verb ? c.verb : "null";
    ASSERT_EQ(filetype_detail::TakeVerb(c.verb, false, &v), c.ok) << label;
    if (!c.ok) continue;
    EXPECT_EQ(v.key, c.key) << label;
    EXPECT_EQ(v.display, c.display) << label;
  }
  filetype_detail::Verb v;
  EXPECT_FALSE(filetype_detail::TakeVerb(FILEVERB_ALL, false, &v));
  EXPECT_TRUE(filetype_detail::TakeVerb(FILEVERB_ALL, true, &v));
  EXPECT_TRUE(v.all);
  EXPECT_FALSE(filetype_detail::TakeVerb(REGKEY_ALL, true, &v));
}

TEST_F(FileTypeTest, ExtensionArgumentsNameTheLowerCaseExtensionKey) {
  struct Case {
    const char* ext;
    const char* key;  // null: refused
  };
  const Case cases[] = {
      {"zlv", ".zlv"},
      {".zlv", ".zlv"},
      {"ZLV", ".zlv"},
      {".ZLV", ".zlv"},
      {"Plot.ZLV", ".zlv"},
      {"D:\\data\\a.b.Zlv", ".zlv"},
      {"/home/u/plots/sine.zlv", ".zlv"},
      {"*.zlv", ".zlv"},
      {"abcdefghijklmn", ".abcdefghijklmn"},
      {"x.ABCDEFGHIJKLMN", ".abcdefghijklmn"},
      {"abcdefghijklmno", nullptr},
      {"x.abcdefghijklmno", nullptr},
      {"", nullptr},
      {".", nullptr},
      {"zlv.", nullptr},
      {"C:\\data\\noext", nullptr},
      {"/home/u/", nullptr},
      {"dir\\.zlv", nullptr},
      {nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const char* label = c.ext ? c.ext : "null";
    EXPECT_EQ(RegisterFileType(c.ext, prog_.c_str(), 0, "D", "pid"), c.key != nullptr) << label;
    Lines keys;
    for (const std::string& line : Dump(HKEY_CLASSES_ROOT)) {
      if (line.rfind("K .", 0) == 0) keys.push_back(line.substr(2));
    }
    EXPECT_EQ(keys, c.key ? Lines{c.key} : Lines{}) << label;
    RegDeleteKeyA(HKEY_CLASSES_ROOT, c.key ? c.key : "-");
  }
}

TEST_F(FileTypeTest, ProgramPathsMustExistUnlessTheyReferToTheEnvironment) {
  const std::string exact = dir_ + "/" + std::string(259 - dir_.size() - 1, 'p');
  const std::string tooLong = dir_ + "/" + std::string(260 - dir_.size() - 1, 'q');
  ASSERT_EQ(exact.size(), 259u);
  WriteFile(exact, "");
  WriteFile(tooLong, "");
  WriteFile(dir_ + "/bin/a\"b", "");
  struct Case {
    std::string path;
    bool ok;
  };
  const Case cases[] = {
      {prog_, true},
      {exact, true},
      {tooLong, false},  // would have to be cut, naming another file
      {dir_ + "/bin/missing", false},
      {dir_ + "/bin", false},
      {dir_ + "/bin/a\"b", false},  // exists, but cannot stand in quotes
      {"%ProgramFiles%\\Zelvaro\\zelvaro.exe", true},
      {"%" + std::string(258, 'e'), true},
      {"%" + std::string(259, 'e'), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegisterFileType("zlv", c.path.c_str(), 7, nullptr, nullptr), c.ok) << c.path;
    if (c.ok) {
      EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Sorted(Registered("zlvfile", "ZLV Datei", c.path + ",7")))
          << c.path;
    } else {
      EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Lines{}) << c.path;  // nothing written first
    }
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_ALL_ACCESS, &root), 0);
    RegDeleteKeyA(root, "zlvfile\\DefaultIcon");
    RegDeleteKeyA(root, "zlvfile");
    RegDeleteKeyA(root, ".zlv");
    RegCloseKey(root);
  }
  EXPECT_FALSE(RegisterFileType("zlv", nullptr, 0, nullptr, nullptr));
}

// ---- RegisterFileType --------------------------------------------------------

TEST_F(FileTypeTest, RegisterFileTypeWritesTheWholeLayoutOnACleanRegistry) {
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, "Mathematische Formel", nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted(Registered("zlvfile", "Mathematische Formel", prog_ + ",0")));
  // Nothing is created for the user's choice when there was none.
  EXPECT_EQ(Dump(HKEY_CURRENT_USER), Lines{});
  // The layout survives a fresh process.
  Reload();
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted(Registered("zlvfile", "Mathematische Formel", prog_ + ",0")));
}

TEST_F(FileTypeTest, RegisterFileTypeDefaultsAndNegativeIconIndexes) {
  ASSERT_TRUE(RegisterFileType("/x/Sine.ZLV", prog_.c_str(), -101, "", ""));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Sorted(Registered("zlvfile", "ZLV Datei", prog_ + ",-101")));
}

TEST_F(FileTypeTest, RegisterFileTypeKeepsTheProgIdTheUserAssociated) {
  PutText(".zlv", nullptr, "Plotter.Doc");
  PutText("Plotter.Doc", nullptr, "Plot document");
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, "Mathematische Formel", nullptr));
  Lines expected = Registered("Plotter.Doc", "Mathematische Formel", prog_ + ",0");
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Sorted(expected));

  // Without a description of its own the one there stays.
  PutText("Plotter.Doc", nullptr, "Plot document");
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, nullptr, nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Sorted(Registered("Plotter.Doc", "Plot document", prog_ + ",0")));
}

TEST_F(FileTypeTest, RegisterFileTypeWithAProgIdReplacesTheAssociation) {
  PutText(".zlv", nullptr, "Plotter.Doc");
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 2, nullptr, "Zelvaro.Formula.Document.1"));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted(Registered("Zelvaro.Formula.Document.1", "ZLV Datei", prog_ + ",2")));
  EXPECT_FALSE(RegisterFileType("zlv", prog_.c_str(), 2, nullptr, "a\\b"));
}

TEST_F(FileTypeTest, RegisterFileTypeRefusesAStoredProgIdThatNamesNoSingleKey) {
  PutText(".zlv", nullptr, "\\");
  EXPECT_FALSE(RegisterFileType("zlv", prog_.c_str(), 0, nullptr, nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), (Lines{"K .zlv", "V .zlv|@|1|\\"}));
}

TEST_F(FileTypeTest, RegisterFileTypeRemovesTheIconHandlerOnly) {
  PutKey(HKEY_CLASSES_ROOT, "zlvfile\\ShellEx\\IconHandler\\Deep");
  PutKey(HKEY_CLASSES_ROOT, "zlvfile\\ShellEx\\PropertySheetHandlers");
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, "F", nullptr));
  Lines expected = Registered("zlvfile", "F", prog_ + ",0");
  expected.push_back("K zlvfile\\ShellEx");
  expected.push_back("K zlvfile\\ShellEx\\PropertySheetHandlers");
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Sorted(expected));
}

TEST_F(FileTypeTest, RegisterFileTypeClearsTheUsersChoiceInTheShell) {
  const std::string exts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zlv";
  Put(HKEY_CURRENT_USER, exts + "\\UserChoice", "Progid", REG_SZ, "Other.Doc");
  Put(HKEY_CURRENT_USER, exts + "\\UserChoice", "Hash", REG_SZ, "abc");
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, "F", nullptr));
  const std::string at = exts + "\\UserChoice";
  const Lines user = Dump(HKEY_CURRENT_USER);
  EXPECT_NE(std::find(user.begin(), user.end(), "V " + at + "|Hash|1|abc"), user.end());
  EXPECT_EQ(std::count_if(user.begin(), user.end(),
                          [](const std::string& l) { return l.find("Progid") != std::string::npos; }),
            0);
  // A failure there does not matter.
  platform::RegistryFailNextCall(platform::RegistryFault::Open, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, "F", nullptr));
}

TEST_F(FileTypeTest, RegisterFileTypeReportsRegistryFailures) {
  const platform::RegistryFault points[] = {platform::RegistryFault::Create,
                                            platform::RegistryFault::Set};
  for (platform::RegistryFault point : points) {
    platform::RegistryFailNextCall(point, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RegisterFileType("zlv", prog_.c_str(), 0, "F", nullptr));
    platform::RegistryClearFaults();
  }
}

// ---- RegisterFileVerbs and SetFileVerbIcon ---------------------------------

TEST_F(FileTypeTest, RegisterFileVerbsWritesKeysAndDisplayTextsByVerb) {
  struct Case {
    const char* verb;
    const char* key;
    const char* display;  // null: none written
  };
  const Case cases[] = {
      {nullptr, "open", nullptr},
      {"&\326ffnen", "open", nullptr},
      {"&Drucken", "print", nullptr},
      {"Bearbeiten", "Edit", "&Bearbeiten"},
      {"&Plot zeigen", "Plot zeigen", "&Plot zeigen"},
      {"Plot", "Plot", nullptr},
  };
  for (const Case& c : cases) {
    const char* label = c.verb ? c.verb : "null";
    ASSERT_TRUE(RegisterFileVerbs("zlv", prog_.c_str(), c.verb, nullptr)) << label;
    Lines expected = Join({{"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile"},
                           Verb("zlvfile", c.key, Quoted(prog_))});
    if (c.display) expected.push_back("V zlvfile\\Shell\\" + std::string(c.key) + "|@|1|" + c.display);
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Sorted(expected)) << label;
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_ALL_ACCESS, &root), 0);
    for (const char* k : {"zlvfile\\Shell\\%s\\Command", "zlvfile\\Shell\\%s", "zlvfile\\Shell",
                          "zlvfile", ".zlv"}) {
      char path[300];
      snprintf(path, sizeof path, k, c.key);
      ASSERT_EQ(RegDeleteKeyA(root, path), 0) << path;
    }
    RegCloseKey(root);
  }
}

TEST_F(FileTypeTest, RegisterFileVerbsWritesArgumentsBehindTheQuotedProgram) {
  ASSERT_TRUE(RegisterFileVerbs("zlv", prog_.c_str(), "print", "/p \"%1\""));
  ASSERT_TRUE(RegisterFileVerbs("zlv", "%Apps%\\z.exe", "open", ""));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Join({{"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile"},
                  Verb("zlvfile", "print", "\"" + prog_ + "\" /p \"%1\""),
                  Verb("zlvfile", "open", "\"%Apps%\\z.exe\" \"%1\"")}));
}

TEST_F(FileTypeTest, RegisterFileVerbsRemovesDdeAndDropTargetAndOldEditVerbs) {
  PutText(".zlv", nullptr, "Zelvaro.Formula.Document.1");  // longer than 24 characters
  const std::string shell = "Zelvaro.Formula.Document.1\\Shell";
  PutKey(HKEY_CLASSES_ROOT, shell + "\\Edit\\ddeexec\\Topic");
  PutKey(HKEY_CLASSES_ROOT, shell + "\\DropTarget");
  PutText(shell + "\\Bearbeiten\\Command", nullptr, "old");
  PutText(shell + "\\&Bearbeiten\\Command", nullptr, "old");
  PutText(shell + "\\open\\ddeexec", nullptr, "[open]");
  ASSERT_TRUE(RegisterFileVerbs(".ZLV", prog_.c_str(), "&Bearbeiten", nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Join({{"K .zlv", "V .zlv|@|1|Zelvaro.Formula.Document.1",
                   "K Zelvaro.Formula.Document.1", "K " + shell + "\\open",
                   "K " + shell + "\\open\\ddeexec", "V " + shell + "\\open\\ddeexec|@|1|[open]",
                   "V " + shell + "\\Edit|@|1|&Bearbeiten"},
                  Verb("Zelvaro.Formula.Document.1", "Edit", Quoted(prog_))}));
}

TEST_F(FileTypeTest, RegisterFileVerbsUsesTheOwnProgramForANullPath) {
  char self[PATH_MAX + 1] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, PATH_MAX), 0);
  if (std::strlen(self) > 259) GTEST_SKIP() << "the test program's path is too long";
  ASSERT_TRUE(RegisterFileVerbs("zlv", nullptr, nullptr, nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Join({{"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile"}, Verb("zlvfile", "open", Quoted(self))}));
}

TEST_F(FileTypeTest, RegisterFileVerbsRefusesBadArgumentsBeforeAnyWrite) {
  const std::string missing = dir_ + "/bin/missing";
  EXPECT_FALSE(RegisterFileVerbs("zlv", missing.c_str(), nullptr, nullptr));
  EXPECT_FALSE(RegisterFileVerbs("zlv", prog_.c_str(), "&&", nullptr));
  EXPECT_FALSE(RegisterFileVerbs("zlv", prog_.c_str(), "open\\Command", nullptr));
  EXPECT_FALSE(RegisterFileVerbs("zlv", prog_.c_str(), FILEVERB_ALL, nullptr));
  EXPECT_FALSE(RegisterFileVerbs("", prog_.c_str(), nullptr, nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Lines{});
}

TEST_F(FileTypeTest, SetFileVerbIconWritesTheIconValue) {
  ASSERT_EQ(mkdir((dir_ + "/My Icons").c_str(), 0700), 0);
  WriteFile(dir_ + "/My Icons/Plot.ico", "");
  ASSERT_TRUE(SetFileVerbIcon("zlv", "&\326ffnen", prog_.c_str(), 3));
  // A path with a blank is written as stored on the disk.
  const std::string roundabout = dir_ + "/bin/../My Icons/Plot.ico";
  ASSERT_TRUE(SetFileVerbIcon("zlv", "Drucken", roundabout.c_str(), -2));
  // One that cannot be looked up stays as given.
  ASSERT_TRUE(SetFileVerbIcon("zlv", "Show", "%Icons%\\a b.ico", 0));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted({"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\Shell",
                    "K zlvfile\\Shell\\open", "V zlvfile\\Shell\\open|Icon|1|" + prog_ + ",3",
                    "K zlvfile\\Shell\\print",
                    "V zlvfile\\Shell\\print|Icon|1|" + dir_ + "/My Icons/Plot.ico,-2",
                    "K zlvfile\\Shell\\Show", "V zlvfile\\Shell\\Show|Icon|1|%Icons%\\a b.ico,0"}));
  EXPECT_FALSE(SetFileVerbIcon("zlv", "open", (dir_ + "/none.ico").c_str(), 0));
}

// ---- Queries -----------------------------------------------------------------

TEST_F(FileTypeTest, DescriptionIsReadThroughTheProgId) {
  char buf[64];
  EXPECT_FALSE(GetFileTypeDescription("zlv", buf, sizeof buf));
  EXPECT_STREQ(buf, "");
  PutText(".zlv", nullptr, "Zelvaro.Formula.Document.1");
  PutText("Zelvaro.Formula.Document.1", nullptr, "Mathematische Formel");
  ASSERT_TRUE(GetFileTypeDescription("plot.zlv", buf, sizeof buf));
  EXPECT_STREQ(buf, "Mathematische Formel");
  // 20 characters need 21 bytes.
  char small[21];
  EXPECT_TRUE(GetFileTypeDescription("zlv", small, 21));
  EXPECT_FALSE(GetFileTypeDescription("zlv", small, 20));
  EXPECT_STREQ(small, "");
  EXPECT_FALSE(GetFileTypeDescription("zlv", nullptr, 10));
  EXPECT_FALSE(GetFileTypeDescription("zlv", buf, 0));
}

TEST_F(FileTypeTest, StateBitsTellWhatIsRegistered) {
  const std::string icon = dir_ + "/bin/zelvaro";
  struct Step {
    const char* what;
    std::string path;  // key path below HKEY_CLASSES_ROOT
    const char* name;
    std::string text;
    DWORD state;  // after this step
  };
  const Step steps[] = {
      {"nothing", "", nullptr, "", 0},
      {"extension key without ProgID", ".zlv", "x", "y", 0},
      {"empty ProgID", ".zlv", nullptr, "", 0},
      {"ProgID without key", ".zlv", nullptr, "zlvfile", 0x01},
      {"ProgID key", "zlvfile", "x", "", 0x01},
      {"empty description", "zlvfile", nullptr, "", 0x01},
      {"description", "zlvfile", nullptr, "D", 0x03},
      {"icon of a missing file", "zlvfile\\DefaultIcon", nullptr, "%x%\\a.ico,1", 0x07},
      {"icon of a file", "zlvfile\\DefaultIcon", nullptr, icon + ",-3", 0x0F},
      {"icon file without index", "zlvfile\\DefaultIcon", nullptr, icon, 0x0F},
      {"alias of open", "zlvfile\\Shell\\\366ffnen", nullptr, "", 0x1F},
      {"print", "zlvfile\\Shell\\DRUCKE", nullptr, "", 0x3F},
      {"Bearbeiten", "zlvfile\\Shell\\Bearbeiten", nullptr, "", 0x7F},
      {"Edit", "zlvfile\\Shell\\edit", nullptr, "", 0xFF},
  };
  for (const Step& s : steps) {
    if (!s.path.empty()) PutText(s.path, s.name, s.text);
    EXPECT_EQ(GetFileTypeState("zlv"), s.state) << s.what;
  }
  EXPECT_EQ(GetFileTypeState("x.abcdefghijklmno"), 0u);
  EXPECT_EQ(GetFileTypeState(nullptr), 0u);
}

TEST_F(FileTypeTest, VerbCommandIsTheDefaultValueOfTheVerbAsGiven) {
  PutText(".zlv", nullptr, "zlvfile");
  // Another value written first must not be taken for the command.
  PutText("zlvfile\\Shell\\open\\Command", "DelegateExecute", "{guid}");
  PutText("zlvfile\\Shell\\open\\Command", nullptr, "\"z\" \"%1\"");
  PutText("zlvfile\\Shell\\print\\Command", nullptr, "\"z\" /p \"%1\"");
  char buf[64] = "junk";
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, nullptr));
  EXPECT_STREQ(buf, "\"z\" \"%1\"");
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, "PRINT"));
  EXPECT_STREQ(buf, "\"z\" /p \"%1\"");
  EXPECT_FALSE(GetFileVerbCommand("zlv", buf, sizeof buf, "Drucken"));  // no aliases here
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(GetFileVerbCommand("zlv", buf, 8, "open"));  // 8 bytes do not hold it
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(GetFileVerbCommand("zlv", buf, 0, "open"));
}

TEST_F(FileTypeTest, IconValueSplitsIntoPathAndIndex) {
  struct Case {
    const char* stored;
    bool ok;
    const char* path;
    int index;
  };
  const Case cases[] = {
      {"C:\\a\\b.exe,3", true, "C:\\a\\b.exe", 3},
      {"x.dll,-101", true, "x.dll", -101},
      {"x.ico", true, "x.ico", 0},
      {"a,b.exe", true, "a,b.exe", 0},
      {"a,1,2", true, "a,1", 2},
      {"a,", true, "a", 0},
      {"a,1-2", true, "a", 1},
      {"a,--3", true, "a", 0},
      {"a, 3", true, "a, 3", 0},
      {"a,99999999999", true, "a", INT_MAX},
      {"a,-99999999999", true, "a", INT_MIN},
      {"", true, "", 0},
      {nullptr, false, "", 0},  // no DefaultIcon key
  };
  PutText(".zlv", nullptr, "zlvfile");
  for (const Case& c : cases) {
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_ALL_ACCESS, &root), 0);
    RegDeleteKeyA(root, "zlvfile\\DefaultIcon");
    RegCloseKey(root);
    if (c.stored) PutText("zlvfile\\DefaultIcon", nullptr, c.stored);
    const char* label = c.stored ? c.stored : "no key";
    char buf[64] = "junk";
    int index = 77;
    EXPECT_EQ(GetFileTypeIcon("zlv", buf, sizeof buf, &index), c.ok) << label;
    EXPECT_STREQ(buf, c.path) << label;
    EXPECT_EQ(index, c.index) << label;
  }
  PutText("zlvfile\\DefaultIcon", nullptr, "i.ico,4");
  char buf[64];
  EXPECT_TRUE(GetFileTypeIcon("zlv", buf, sizeof buf, nullptr));
  EXPECT_STREQ(buf, "i.ico");
}

// ---- Relocation ----------------------------------------------------------------

TEST_F(FileTypeTest, RelocateFileVerbsRewritesTheProgramPartOfMatchingCommands) {
  PutText(".zlv", nullptr, "zlvfile");
  const std::string shell = "zlvfile\\Shell\\";
  PutText(shell + "open\\Command", nullptr, "\"C:\\Old\\Zelvaro.exe\" \"%1\"");
  PutText(shell + "open\\ddeexec", nullptr, "[open]");
  PutText(shell + "print\\Command", nullptr, "C:\\old\\zelvaro.exe\t/p %1");
  PutText(shell + "Show\\Command", nullptr, "\"D:\\Other\\x.exe\" \"%1\"");
  PutKey(HKEY_CLASSES_ROOT, "zlvfile\\Shell\\DropTarget");
  ASSERT_TRUE(RelocateFileVerbs("zlv", "C:/Old/Zelvaro.exe", prog_.c_str(), FILEVERB_ALL));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted({"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\Shell",
                    "K zlvfile\\Shell\\open", "K zlvfile\\Shell\\open\\Command",
                    "V zlvfile\\Shell\\open\\Command|@|1|\"" + prog_ + "\" \"%1\"",
                    "K zlvfile\\Shell\\print", "K zlvfile\\Shell\\print\\Command",
                    "V zlvfile\\Shell\\print\\Command|@|1|\"" + prog_ + "\"\\x09/p %1",
                    "K zlvfile\\Shell\\Show", "K zlvfile\\Shell\\Show\\Command",
                    "V zlvfile\\Shell\\Show\\Command|@|1|\"D:\\Other\\x.exe\" \"%1\""}));
  // Nothing matches any more.
  EXPECT_FALSE(RelocateFileVerbs("zlv", "C:\\Old\\Zelvaro.exe", other_.c_str(), FILEVERB_ALL));
}

TEST_F(FileTypeTest, RelocateFileVerbsActsOnOneVerbOrItsAliasGroup) {
  PutText(".zlv", nullptr, "zlvfile");
  PutText("zlvfile\\Shell\\open\\Command", nullptr, "\"/old/z\" \"%1\"");
  PutText("zlvfile\\Shell\\\326ffnen\\Command", nullptr, "\"/old/z\" -o \"%1\"");
  PutText("zlvfile\\Shell\\print\\Command", nullptr, "\"/old/z\" /p \"%1\"");
  char buf[128];
  ASSERT_TRUE(RelocateFileVerbs("zlv", "/old/", prog_.c_str(), "&\366ffne"));
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, "open"));
  EXPECT_EQ(std::string(buf), "\"" + prog_ + "\" \"%1\"");
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, "\326ffnen"));
  EXPECT_EQ(std::string(buf), "\"" + prog_ + "\" -o \"%1\"");
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, "print"));
  EXPECT_STREQ(buf, "\"/old/z\" /p \"%1\"");
  ASSERT_TRUE(RelocateFileVerbs("zlv", nullptr, other_.c_str(), "print"));
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, "print"));
  EXPECT_EQ(std::string(buf), "\"" + other_ + "\" /p \"%1\"");
}

TEST_F(FileTypeTest, RelocateFileVerbsSkipsCommandsThatWouldGrowTooLong) {
  PutText(".zlv", nullptr, "zlvfile");
  // 0x218 bytes hold 535 characters and the terminator.
  const std::string rest = " " + std::string(535 - 2 - prog_.size() - 1, 'a');
  PutText("zlvfile\\Shell\\open\\Command", nullptr, "z" + rest);
  PutText("zlvfile\\Shell\\print\\Command", nullptr, "z" + rest + "b");
  ASSERT_TRUE(RelocateFileVerbs("zlv", "z", prog_.c_str(), FILEVERB_ALL));
  char buf[600];
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, "open"));
  EXPECT_EQ(std::string(buf), "\"" + prog_ + "\"" + rest);
  EXPECT_EQ(std::strlen(buf), 535u);
  ASSERT_TRUE(GetFileVerbCommand("zlv", buf, sizeof buf, "print"));
  EXPECT_EQ(std::string(buf), "z" + rest + "b");
  EXPECT_FALSE(RelocateFileVerbs("zlv", "z", prog_.c_str(), "print"));
}

TEST_F(FileTypeTest, RelocateFileVerbsNeedsAnExistingTypeAndNewPath) {
  PutText(".zlv", nullptr, "zlvfile");
  PutText("zlvfile\\Shell\\open\\Command", nullptr, "\"/old/z\" \"%1\"");
  const Lines before = Dump(HKEY_CLASSES_ROOT);
  EXPECT_FALSE(RelocateFileVerbs("zlv", "/old/z", (dir_ + "/missing").c_str(), nullptr));
  EXPECT_FALSE(RelocateFileVerbs("zlv", "/old/z", nullptr, nullptr));
  EXPECT_FALSE(RelocateFileVerbs("zlw", "/old/z", prog_.c_str(), nullptr));
  EXPECT_FALSE(RelocateFileVerbs("zlv", "/other/", prog_.c_str(), nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before);
  platform::RegistryFailNextCall(platform::RegistryFault::Set, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(RelocateFileVerbs("zlv", "/old/z", prog_.c_str(), nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before);
}

TEST_F(FileTypeTest, RelocateFileTypeIconRewritesAMatchingIcon) {
  PutText(".zlv", nullptr, "zlvfile");
  PutText("zlvfile\\DefaultIcon", nullptr, "C:\\Old\\zelvaro.exe,0");
  PutKey(HKEY_CLASSES_ROOT, "zlvfile\\ShellEx\\IconHandler");
  EXPECT_FALSE(RelocateFileTypeIcon("zlv", "C:\\New\\", prog_.c_str(), 2));
  ASSERT_TRUE(RelocateFileTypeIcon("zlv", "c:/old/", prog_.c_str(), 2));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted({"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\DefaultIcon",
                    "V zlvfile\\DefaultIcon|@|1|" + prog_ + ",2", "K zlvfile\\ShellEx"}));
  EXPECT_FALSE(RelocateFileTypeIcon("zlv", nullptr, (dir_ + "/missing").c_str(), 2));
}

// ---- Removal -------------------------------------------------------------------

TEST_F(FileTypeTest, UnregisterFileTypeRemovesWhatWasRegisteredForTheProgram) {
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, "F", nullptr));
  ASSERT_TRUE(RegisterFileVerbs("zlv", prog_.c_str(), nullptr, nullptr));
  ASSERT_TRUE(RegisterFileVerbs("zlv", prog_.c_str(), "&Drucken", "/p \"%1\""));
  PutText("zlvfile\\Shell\\Leer\\Command", nullptr, "");
  PutText(".zlw", nullptr, "zlwfile");
  const Lines before = Dump(HKEY_CLASSES_ROOT);

  EXPECT_FALSE(UnregisterFileType("zlv", other_.c_str(), nullptr));
  EXPECT_FALSE(UnregisterFileType("zlv", prog_.c_str(), other_.c_str()));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before);

  ASSERT_TRUE(UnregisterFileType("zlv", prog_.c_str(), nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), (Lines{"K .zlw", "V .zlw|@|1|zlwfile"}));
  EXPECT_FALSE(UnregisterFileType("zlv", prog_.c_str(), nullptr));  // gone
}

TEST_F(FileTypeTest, UnregisterFileTypeLeavesAProgIdWithOtherContent) {
  ASSERT_TRUE(RegisterFileType("zlv", prog_.c_str(), 0, "F", nullptr));
  PutKey(HKEY_CLASSES_ROOT, "zlvfile\\ShellEx");
  const Lines before = Dump(HKEY_CLASSES_ROOT);
  EXPECT_FALSE(UnregisterFileType("zlv", nullptr, nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before);
}

TEST_F(FileTypeTest, UnregisterFileTypeWithAMissingProgIdKeyDeletesTheExtensionKey) {
  PutText(".zlv", nullptr, "zlvfile");
  PutKey(HKEY_CLASSES_ROOT, ".zlv\\ShellNew");
  PutText(".zlw", nullptr, "zlwfile");
  ASSERT_TRUE(UnregisterFileType("zlv", prog_.c_str(), nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), (Lines{"K .zlw", "V .zlw|@|1|zlwfile"}));
}

TEST_F(FileTypeTest, UnregisterFileVerbsDeletesVerbsOfTheProgramAndEmptyOnes) {
  PutText(".zlv", nullptr, "zlvfile");
  const std::string shell = "zlvfile\\Shell\\";
  PutText(shell + "open\\Command", nullptr, Quoted(prog_));
  PutText(shell + "\326ffnen\\Command", nullptr, Quoted(other_));
  PutText(shell + "print\\Command", nullptr, Quoted(prog_));
  PutText(shell + "Show\\Command", nullptr, Quoted(other_));
  PutKey(HKEY_CLASSES_ROOT, shell + "Leer");
  ASSERT_TRUE(UnregisterFileVerbs("zlv", "\326ffne", prog_.c_str()));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted({"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\Shell",
                    "K zlvfile\\Shell\\\326ffnen", "K zlvfile\\Shell\\\326ffnen\\Command",
                    "V zlvfile\\Shell\\\326ffnen\\Command|@|1|" + Quoted(other_),
                    "K zlvfile\\Shell\\Leer", "K zlvfile\\Shell\\print",
                    "K zlvfile\\Shell\\print\\Command",
                    "V zlvfile\\Shell\\print\\Command|@|1|" + Quoted(prog_),
                    "K zlvfile\\Shell\\Show", "K zlvfile\\Shell\\Show\\Command",
                    "V zlvfile\\Shell\\Show\\Command|@|1|" + Quoted(other_)}));
  ASSERT_TRUE(UnregisterFileVerbs("zlv", FILEVERB_ALL, prog_.c_str()));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted({"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\Shell",
                    "K zlvfile\\Shell\\\326ffnen", "K zlvfile\\Shell\\\326ffnen\\Command",
                    "V zlvfile\\Shell\\\326ffnen\\Command|@|1|" + Quoted(other_),
                    "K zlvfile\\Shell\\Show", "K zlvfile\\Shell\\Show\\Command",
                    "V zlvfile\\Shell\\Show\\Command|@|1|" + Quoted(other_)}));
  EXPECT_FALSE(UnregisterFileVerbs("zlv", FILEVERB_ALL, prog_.c_str()));
  ASSERT_TRUE(UnregisterFileVerbs("zlv", FILEVERB_ALL, nullptr));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Sorted({"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\Shell"}));
}

TEST_F(FileTypeTest, DeleteFileVerbDeletesOneVerbWhateverItsCommand) {
  PutText(".zlv", nullptr, "zlvfile");
  PutText("zlvfile\\Shell\\open\\Command", nullptr, Quoted(other_));
  PutText("zlvfile\\Shell\\Plot\\Command", nullptr, Quoted(other_));
  PutText("zlvfile\\Shell\\&Plot\\Command", nullptr, Quoted(other_));
  // Many subkeys before Shell do not hide it.
  for (int i = 0; i < 20; ++i) PutKey(HKEY_CLASSES_ROOT, "zlvfile\\A" + std::to_string(100 + i));
  ASSERT_TRUE(DeleteFileVerb("zlv", nullptr));
  EXPECT_FALSE(DeleteFileVerb("zlv", ""));
  ASSERT_TRUE(DeleteFileVerb("zlv", "&Plot"));
  ASSERT_TRUE(DeleteFileVerb("zlv", "PLOT"));
  Lines expected = {"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\Shell"};
  for (int i = 0; i < 20; ++i) expected.push_back("K zlvfile\\A" + std::to_string(100 + i));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Sorted(expected));
  EXPECT_FALSE(DeleteFileVerb("zlv", FILEVERB_ALL));
  EXPECT_FALSE(DeleteFileVerb("zlv", REGKEY_ALL));
}

TEST_F(FileTypeTest, DeleteFileVerbTakesTheKeyNameAsWrittenWithoutAliases) {
  PutText(".zlv", nullptr, "zlvfile");
  const std::string shell = "zlvfile\\Shell\\";
  for (const char* verb : {"open", "print", "Edit", "Bearbeiten", "&Bearbeiten"}) {
    PutText(shell + verb + "\\Command", nullptr, Quoted(other_));
  }
  PutKey(HKEY_CLASSES_ROOT, shell + "open\\ddeexec");
  const Lines before = Dump(HKEY_CLASSES_ROOT);
  // Aliases and ampersand spellings name keys of their own.
  EXPECT_FALSE(DeleteFileVerb("zlv", "&\326ffnen"));
  EXPECT_FALSE(DeleteFileVerb("zlv", "Drucken"));
  EXPECT_FALSE(DeleteFileVerb("zlv", "&Edit"));
  // A verb is one key below Shell, never a path below it.
  EXPECT_FALSE(DeleteFileVerb("zlv", "open\\ddeexec"));
  EXPECT_FALSE(DeleteFileVerb("zlv", "\\open"));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before);

  ASSERT_TRUE(DeleteFileVerb("zlv", "Bearbeiten"));
  ASSERT_TRUE(DeleteFileVerb("zlv", "&Bearbeiten"));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT),
            Join({{"K .zlv", "V .zlv|@|1|zlvfile", "K zlvfile", "K zlvfile\\Shell\\open\\ddeexec"},
                  Verb("zlvfile", "open", Quoted(other_)), Verb("zlvfile", "print", Quoted(other_)),
                  Verb("zlvfile", "Edit", Quoted(other_))}));
}

TEST_F(FileTypeTest, DeleteFileVerbWithAMissingProgIdKeyDeletesTheExtensionKey) {
  PutText(".zlv", nullptr, "zlvfile");
  ASSERT_TRUE(DeleteFileVerb("zlv", "open"));
  EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), Lines{});
  EXPECT_FALSE(DeleteFileVerb("zlv", "open"));
  PutText(".zlv", nullptr, "zlvfile");
  PutKey(HKEY_CLASSES_ROOT, "zlvfile");
  EXPECT_FALSE(DeleteFileVerb("zlv", "open"));  // no Shell key
}

// ---- Notification --------------------------------------------------------------

class NotifyTest : public RegistryStoreTest {
 protected:
  void SetUp() override {
    RegistryStoreTest::SetUp();
    const char* old = getenv("TMPDIR");
    hadTmp_ = old != nullptr;
    if (hadTmp_) oldTmp_ = old;
    tmp_ = dir_ + "/tmp";
    ASSERT_EQ(mkdir(tmp_.c_str(), 0700), 0);
    setenv("TMPDIR", tmp_.c_str(), 1);
    platform::SetShellNotifyListener(&NotifyTest::Heard, this);
  }
  void TearDown() override {
    platform::SetShellNotifyListener(nullptr, nullptr);
    if (hadTmp_) {
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    RegistryStoreTest::TearDown();
  }
  static void Heard(void* context, const platform::ShellNotification& note) {
    auto* self = static_cast<NotifyTest*>(context);
    self->notes_.push_back(note);
    self->existed_.push_back(IsFile(note.item1));
  }

  std::string tmp_;
  std::string oldTmp_;
  bool hadTmp_ = false;
  std::vector<platform::ShellNotification> notes_;
  std::vector<bool> existed_;
};

TEST_F(NotifyTest, NamesAFreshTemporaryFileThatIsGoneAfterwards) {
  const unsigned before = platform::ShellNotifyCount();
  ASSERT_TRUE(NotifyAssociationChanged("D:\\plots\\sine.Zlv"));
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0].eventId, 0x08000000);
  EXPECT_EQ(notes_[0].flags, 1u);
  EXPECT_EQ(notes_[0].item1, tmp_ + "/CFR1.TMP.Zlv");
  EXPECT_EQ(notes_[0].item2, "");
  EXPECT_TRUE(existed_[0]);
  EXPECT_FALSE(IsFile(tmp_ + "/CFR1.TMP.Zlv"));
  EXPECT_EQ(platform::ShellNotifyCount(), before + 1);
  EXPECT_EQ(platform::LastShellNotification().item1, tmp_ + "/CFR1.TMP.Zlv");
}

TEST_F(NotifyTest, NeverEmptiesOrDeletesAFileThatWasThere) {
  WriteFile(tmp_ + "/CFR1.TMP.zlv", "keep me");
  ASSERT_EQ(symlink((tmp_ + "/target").c_str(), (tmp_ + "/CFR2.TMP.zlv").c_str()), 0);
  ASSERT_TRUE(NotifyAssociationChanged(".zlv"));
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0].item1, tmp_ + "/CFR3.TMP.zlv");
  EXPECT_EQ(ReadFile(tmp_ + "/CFR1.TMP.zlv"), "keep me");
  EXPECT_FALSE(IsFile(tmp_ + "/target"));
  EXPECT_FALSE(IsFile(tmp_ + "/CFR3.TMP.zlv"));
}

TEST_F(NotifyTest, TakesExtensionsOfUpToFifteenCharacters) {
  EXPECT_TRUE(NotifyAssociationChanged("abcdefghijklmno"));
  EXPECT_FALSE(NotifyAssociationChanged("abcdefghijklmnop"));
  EXPECT_FALSE(NotifyAssociationChanged(""));
  EXPECT_FALSE(NotifyAssociationChanged(nullptr));
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0].item1, tmp_ + "/CFR1.TMP.abcdefghijklmno");
}

TEST_F(NotifyTest, FailsWhenTheTemporaryNameWouldBeTooLong) {
  // A folder of 255 characters leaves no room for "CFR1.TMP" within 259.
  const std::string deep = tmp_ + "/" + std::string(255 - tmp_.size() - 1, 'd');
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  setenv("TMPDIR", deep.c_str(), 1);
  EXPECT_FALSE(NotifyAssociationChanged("zlv"));
  EXPECT_TRUE(notes_.empty());
  // 250 characters and "/CFR1.TMP" fill 259, but the extension must fit too.
  const std::string nearly = tmp_ + "/" + std::string(250 - tmp_.size() - 1, 'n');
  ASSERT_EQ(mkdir(nearly.c_str(), 0700), 0);
  setenv("TMPDIR", nearly.c_str(), 1);
  EXPECT_FALSE(NotifyAssociationChanged("zlv"));
  EXPECT_FALSE(NotifyAssociationChanged("z"));  // 261 characters
  EXPECT_TRUE(notes_.empty());
  EXPECT_EQ(Entries(nearly), std::vector<std::string>{});
  // 246 characters leave just enough room: 246 + "/CFR1.TMP" = 255, with ".zlv" 259.
  const std::string fits = tmp_ + "/" + std::string(246 - tmp_.size() - 1, 'f');
  ASSERT_EQ(mkdir(fits.c_str(), 0700), 0);
  setenv("TMPDIR", fits.c_str(), 1);
  EXPECT_TRUE(NotifyAssociationChanged("zlv"));
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0].item1, fits + "/CFR1.TMP.zlv");
  EXPECT_EQ(notes_[0].item1.size(), 259u);
}

}  // namespace
