#include <climits>
#include <clocale>
#include <random>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../platform/registry_test_util.h"
#include "files/registry.h"
#include "toolkit/textlist.h"

namespace {

using Bytes = std::string;

Bytes B(std::initializer_list<int> bytes) {
  Bytes out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

class RegistryKeyTest : public RegistryStoreTest {
 protected:
  void SetUp() override {
    RegistryStoreTest::SetUp();
    platform::SetAppRegistryNames(nullptr, nullptr);
  }
  void TearDown() override {
    platform::SetAppRegistryNames(nullptr, nullptr);
    RegistryStoreTest::TearDown();
  }
  // Stores raw bytes below HKEY_CURRENT_USER\Test, past the key object.
  void Raw(const char* name, DWORD type, const Bytes& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr), 0);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())), 0);
    RegCloseKey(key);
  }
  // The bytes stored below HKEY_CURRENT_USER\Test, past the key object.
  Bytes Stored(const char* name, DWORD* type = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Test", 0, KEY_READ, &key) != 0) return "<no key>";
    BYTE buf[512];
    DWORD size = sizeof buf;
    const LONG rc = RegQueryValueExA(key, name, nullptr, type, buf, &size);
    RegCloseKey(key);
    return rc == 0 ? Bytes(reinterpret_cast<char*>(buf), size) : "<missing>";
  }
};

TEST(RegistryParseRootKey, TakesARootNameOnlyBeforeABackslashOrTheEnd) {
  struct Case {
    const char* path;
    HKEY root;
    int result;
  };
  const Case cases[] = {
      {"hkey_local_machine\\Software", HKEY_LOCAL_MACHINE, 19},
      {"HKEY_CLASSES_ROOT\\.zfp", HKEY_CLASSES_ROOT, 18},
      {"HKEY_USERS", HKEY_USERS, 10},
      {"Hkey_Current_Config\\", HKEY_CURRENT_CONFIG, 20},
      {"HKEY_DYN_DATA\\x", HKEY_DYN_DATA, 14},
      {"HKEY_CURRENT_USER\\a\\b", HKEY_CURRENT_USER, 18},
      {"HKEY_USERSX\\a", HKEY_CURRENT_USER, 0},
      {"HKEY_USERS/a", HKEY_CURRENT_USER, 0},
      {"HKEY_USER", HKEY_CURRENT_USER, 0},
      {"Software\\KX", HKEY_CURRENT_USER, 0},
      {"", HKEY_CURRENT_USER, 0},
      {nullptr, HKEY_CURRENT_USER, 0},
  };
  for (const Case& c : cases) {
    HKEY root = nullptr;
    EXPECT_EQ(RegistryParseRootKey(&root, c.path), c.result) << (c.path ? c.path : "null");
    EXPECT_EQ(root, c.root) << (c.path ? c.path : "null");
  }
}

TEST_F(RegistryKeyTest, DefaultPathJoinsTheApplicationNamesAndCutsToTheBuffer) {
  struct Case {
    const char* regKey;
    const char* app;
    const char* sub;
    int size;
    const char* text;
    int result;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, 64, "Software", 8},
      {"KX", "Zelvaro", nullptr, 64, "Software\\KX\\Zelvaro", 19},
      {"KX", "Zelvaro", "Picture", 64, "Software\\KX\\Zelvaro\\Picture", 27},
      {nullptr, "Zelvaro", "Picture", 64, "Software\\Zelvaro\\Picture", 24},
      {"KX", nullptr, nullptr, 64, "Software\\KX", 11},
      {"KX", "Zelvaro", nullptr, 12, "Software\\KX", 11},
      {"KX", "Zelvaro", nullptr, 1, "", 0},
  };
  for (const Case& c : cases) {
    platform::SetAppRegistryNames(c.regKey, c.app);
    char buf[64];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(RegistryDefaultPath(buf, c.size, c.sub), c.result);
    EXPECT_STREQ(buf, c.text);
  }
  char untouched[2] = {'x', 'y'};
  EXPECT_EQ(RegistryDefaultPath(untouched, 0, nullptr), 0);
  EXPECT_EQ(untouched[0], 'x');
}

TEST_F(RegistryKeyTest, OpenPicksAccessAndRootFromModeFlagsAndPath) {
  RegCloseKey([] {
    HKEY k = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Soft", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    return k;
  }());
  struct Case {
    HKEY root;
    const char* path;
    DWORD flags;
    bool create;
    HKEY openedRoot;
    DWORD access;
    DWORD mode;
  };
  const Case cases[] = {
      {HKEY_LOCAL_MACHINE, "Soft", 0, false, HKEY_LOCAL_MACHINE, 0x20119, 0},
      {HKEY_LOCAL_MACHINE, "Soft", 1, false, HKEY_LOCAL_MACHINE, 0xF013F, 1},
      {HKEY_LOCAL_MACHINE, "Soft", 0x80, false, HKEY_LOCAL_MACHINE, 0x20099, 0},
      {HKEY_CURRENT_USER, "Made", 2, false, HKEY_CURRENT_USER, 0xF003F, 2},
      {nullptr, "hkey_local_machine\\Soft", 0, false, HKEY_LOCAL_MACHINE, 0x20019, 0},
      {nullptr, "Made", 5, false, HKEY_CURRENT_USER, 0xF003F, 5},
      {HKEY_LOCAL_MACHINE, "Soft", 0x40000, true, HKEY_LOCAL_MACHINE, 0xF013F, 2},
      {HKEY_USERS, "Made", 0x70040, true, HKEY_USERS, 0xF007F, 2},
      {nullptr, "HKEY_CLASSES_ROOT\\.zfp", 0, true, HKEY_CLASSES_ROOT, 0xF003F, 2},
  };
  for (const Case& c : cases) {
    CRegistryKey key;
    const bool ok = c.create ? key.Create(c.root, c.path, c.flags) : key.Open(c.root, c.path, c.flags);
    ASSERT_TRUE(ok) << c.path << " " << key.lastError;
    EXPECT_EQ(key.rootKey, c.openedRoot) << c.path;
    EXPECT_EQ(key.accessMask, c.access) << c.path;
    EXPECT_EQ(key.openMode, c.mode) << c.path;
    EXPECT_EQ(key.depth, 0);
    EXPECT_EQ(key.currentKey, key.keyStack[0]);
    EXPECT_EQ(key.lastError, 0u);
  }
  CRegistryKey key;
  EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, "Missing", 1));
  EXPECT_EQ(key.lastError, REGKEY_ERR_OPEN_FAILED);
  EXPECT_EQ(key.depth, -1);
}

TEST_F(RegistryKeyTest, MachineKeyDeniedWithThe64BitViewOpensOnceMoreWithoutIt) {
  CRegistryKey maker;
  ASSERT_TRUE(maker.Create(HKEY_LOCAL_MACHINE, "Soft", 0));
  maker.CloseAll();
  CRegistryKey key;
  platform::RegistryFailNextCall(platform::RegistryFault::Open, ERROR_ACCESS_DENIED);
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, "Soft", 0));
  EXPECT_EQ(key.accessMask, KEY_READ);
  platform::RegistryFailNextCall(platform::RegistryFault::Open, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, "Soft", 0));
  EXPECT_EQ(key.lastError, REGKEY_ERR_OPEN_FAILED);
}

TEST_F(RegistryKeyTest, NullPathOpensTheApplicationsDefaultKey) {
  platform::SetAppRegistryNames("KX", "Zelvaro");
  CRegistryKey writer;
  ASSERT_TRUE(writer.Create(HKEY_CURRENT_USER, nullptr, 0));
  EXPECT_STREQ(writer.GetLevelPath(0), "Software\\KX\\Zelvaro");
  ASSERT_TRUE(writer.CreateSubKey(nullptr));
  EXPECT_STREQ(writer.GetLevelPath(-1), "KX");
  writer.CloseAll();
  CRegistryKey reader;
  ASSERT_TRUE(reader.Open(nullptr, nullptr, 0));
  EXPECT_EQ(reader.rootKey, HKEY_CURRENT_USER);
  EXPECT_EQ(reader.accessMask, KEY_READ);
  char path[64];
  EXPECT_EQ(reader.GetKeyPath(path, sizeof path, 0), 0);
  EXPECT_STREQ(path, "HKEY_CURRENT_USER\\Software\\KX\\Zelvaro");
  CRegistryKey classes;
  ASSERT_TRUE(classes.Open(HKEY_CLASSES_ROOT, nullptr, 0));
  EXPECT_STREQ(classes.GetLevelPath(0), "");
}

TEST_F(RegistryKeyTest, StackHoldsTwelveLevelsAndRefusesValuesOnTheTwelfth) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Deep", 0));
  for (int level = 1; level <= 11; ++level) {
    ASSERT_TRUE(key.CreateSubKey(std::to_string(level).c_str())) << level;
  }
  EXPECT_EQ(key.depth, 11);
  EXPECT_FALSE(key.OpenSubKey("more", 0));
  EXPECT_EQ(key.lastError, REGKEY_ERR_TOO_DEEP);
  EXPECT_FALSE(key.CreateSubKey("more"));
  EXPECT_EQ(key.lastError, REGKEY_ERR_TOO_DEEP);
  DWORD value = 7;
  EXPECT_FALSE(key.QueryValue(&value, 4, "v", REG_DWORD));
  EXPECT_EQ(key.lastError, REGKEY_ERR_TOO_DEEP);
  EXPECT_FALSE(key.SetValue(&value, 4, "v", REG_DWORD));
  EXPECT_EQ(key.lastError, REGKEY_ERR_TOO_DEEP);
  EXPECT_FALSE(key.ResetSubKeyEnum());
  EXPECT_EQ(key.GetValueCount(), 0u);
  EXPECT_EQ(key.lastError, 0u);
  char path[64];
  EXPECT_EQ(key.GetKeyPath(path, sizeof path, 1), 0);
  EXPECT_STREQ(path, "Deep\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11");
  EXPECT_EQ(key.GetKeyPath(path, sizeof path, 2), 0);
  EXPECT_STREQ(path, "1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11");
  EXPECT_EQ(key.FindSubKeyIndex(-1), 0);
  EXPECT_TRUE(key.Close());
  EXPECT_EQ(key.depth, 10);
  EXPECT_TRUE(key.SetValue(&value, 4, "v", REG_DWORD));
  EXPECT_TRUE(key.CloseAll());
  EXPECT_EQ(key.currentKey, nullptr);
  EXPECT_EQ(key.rootKey, nullptr);
}

TEST_F(RegistryKeyTest, ReportsWhyAnOperationWasRefused) {
  char buf[8];
  const DWORD v = 1;
  CRegistryKey closed;
  EXPECT_FALSE(closed.QueryValue(buf, 8, "x", REG_SZ));
  EXPECT_EQ(closed.lastError, REGKEY_ERR_NOT_OPEN);
  EXPECT_FALSE(closed.CloseAll());
  EXPECT_EQ(closed.lastError, REGKEY_ERR_NOT_OPEN);
  ASSERT_TRUE(closed.Create(HKEY_CURRENT_USER, "Test", 0));
  EXPECT_FALSE(closed.SetValue(nullptr, 4, "x", REG_DWORD));
  EXPECT_EQ(closed.lastError, REGKEY_ERR_NO_DATA);
  EXPECT_EQ(closed.GetLevelPath(1), nullptr);
  EXPECT_EQ(closed.lastError, static_cast<DWORD>(ERROR_INVALID_LEVEL));
  EXPECT_FALSE(closed.QueryValueEx(buf, 8, "x", REG_SZ | 0x30000000));
  EXPECT_EQ(closed.lastError, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(closed.SetValueEx(&v, 4, REGKEY_NEXT, REG_DWORD));
  EXPECT_EQ(closed.lastError, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(closed.QueryValueEx(buf, 8, std::string(256, 'n').c_str(), REG_SZ | REGKEY_CHARSET_WIDE));
  EXPECT_EQ(closed.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(closed.Open(HKEY_CURRENT_USER, "Test", 0));
  EXPECT_FALSE(closed.SetValue(&v, 4, "x", REG_DWORD));
  EXPECT_EQ(closed.lastError, REGKEY_ERR_OPEN_FAILED);
  EXPECT_FALSE(closed.DeleteValue("x"));
  EXPECT_EQ(closed.lastError, REGKEY_ERR_OPEN_FAILED);
  EXPECT_FALSE(closed.OpenSubKey("x", 0));
  EXPECT_EQ(closed.lastError, REGKEY_ERR_OPEN_FAILED);
  EXPECT_FALSE(closed.CreateSubKey("x"));
  EXPECT_EQ(closed.lastError, REGKEY_ERR_OPEN_FAILED);
  EXPECT_FALSE(closed.LoadKey("x", "/nonexistent"));
  EXPECT_EQ(closed.lastError, REGKEY_ERR_OPEN_FAILED);
  EXPECT_EQ(closed.FindSubKeyIndex(-1), -1);
  EXPECT_EQ(closed.lastError, static_cast<DWORD>(ERROR_INVALID_LEVEL));
}

TEST_F(RegistryKeyTest, TextReadsAddTheMissingTerminator) {
  Raw("bare", REG_SZ, "abc");
  Raw("ended", REG_SZ, B({'a', 'b', 0}));
  Raw("empty", REG_SZ, "");
  Raw("dword", REG_DWORD, B({1, 2, 3, 4}));
  struct Case {
    const char* name;
    DWORD type;
    DWORD room;
    bool ok;
    Bytes buffer;  // the first `room` bytes afterwards
    DWORD dataSize;
    DWORD error;
  };
  const Case cases[] = {
      {"bare", REG_SZ, 5, true, B({'a', 'b', 'c', 0, '#'}), 4, 0},
      {"bare", REG_SZ, 4, true, B({'a', 'b', 'c', 0}), 4, 0},
      {"bare", REG_SZ, 3, false, B({0, 'b', 'c'}), 0, 234},
      {"bare", REG_EXPAND_SZ, 4, true, B({'a', 'b', 'c', 0}), 4, 0},
      {"bare", REG_SZ, 2, false, B({0, '#'}), 1, 234},
      {"bare", REG_BINARY, 3, true, "abc", 3, 0},
      {"ended", REG_SZ, 3, true, B({'a', 'b', 0}), 3, 0},
      {"empty", REG_SZ, 2, true, B({0, '#'}), 1, 0},
      {"empty", REG_MULTI_SZ, 3, true, B({0, 0, '#'}), 2, 0},
      {"missing", REG_SZ, 2, false, B({0, '#'}), 1, ERROR_FILE_NOT_FOUND},
      {"missing", REG_MULTI_SZ, 3, false, B({0, 0, '#'}), 2, ERROR_FILE_NOT_FOUND},
      {"missing", REG_DWORD, 4, false, "####", 0, ERROR_FILE_NOT_FOUND},
      {"dword", REG_DWORD, 4, true, B({1, 2, 3, 4}), 4, 0},
  };
  CRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Test", 0));
  for (const Case& c : cases) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(key.QueryValue(buf, c.room, c.name, c.type), c.ok) << c.name << " " << c.room;
    EXPECT_EQ(Bytes(buf, c.buffer.size()), c.buffer) << c.name << " " << c.room;
    EXPECT_EQ(key.dataSize, c.dataSize) << c.name << " " << c.room;
    EXPECT_EQ(key.lastError, c.error) << c.name << " " << c.room;
  }
}

TEST_F(RegistryKeyTest, MultiStringReadsEndInTwoZeros) {
  struct Case {
    Bytes stored;
    DWORD room;
    bool ok;
    Bytes buffer;
    DWORD dataSize;
  };
  const Case cases[] = {
      {B({'a', 0, 'b', 0, 0}), 6, true, B({'a', 0, 'b', 0, 0, '#'}), 5},
      {B({'a', 0, 'b', 0}), 6, true, B({'a', 0, 'b', 0, 0, '#'}), 5},
      {B({'a', 0, 'b'}), 6, true, B({'a', 0, 'b', 0, 0, '#'}), 5},
      {B({'a', 0, 'b'}), 4, false, B({0, 0, 'b', '#'}), 0},
      {B({'a', 0, 'b', 0}), 4, false, B({0, 0, 'b', 0}), 0},
      {B({0}), 2, true, B({0, 0}), 2},
      {B({0}), 1, false, B({0, '#'}), 0},
      {B({'a'}), 1, false, B({0, '#'}), 0},
      {B({}), 2, true, B({0, 0, '#'}), 2},
      {B({}), 1, false, B({0, '#'}), 0},
  };
  CRegistryKey key;
  for (const Case& c : cases) {
    Raw("m", REG_MULTI_SZ, c.stored);
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Test", 0));
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(key.QueryValue(buf, c.room, "m", REG_MULTI_SZ), c.ok) << c.stored.size() << "/" << c.room;
    EXPECT_EQ(Bytes(buf, c.buffer.size()), c.buffer) << c.stored.size() << "/" << c.room;
    EXPECT_EQ(key.dataSize, c.dataSize) << c.stored.size() << "/" << c.room;
    if (!c.ok) {
      EXPECT_EQ(key.lastError, 234u);
    }
  }
}

TEST_F(RegistryKeyTest, AllocatedReadsTerminateEveryTextForm) {
  struct Case {
    DWORD storedType;
    Bytes stored;
    DWORD asType;
    Bytes text;  // the block's first dataSize bytes
  };
  const Case cases[] = {
      {REG_SZ, "abc", REG_SZ, B({'a', 'b', 'c', 0})},
      {REG_SZ, B({'a', 0}), REG_SZ, B({'a', 0})},
      {REG_SZ, "", REG_SZ, B({0})},
      {REG_MULTI_SZ, B({'a', 0, 'b'}), REG_MULTI_SZ, B({'a', 0, 'b', 0, 0})},
      {REG_MULTI_SZ, B({'a', 0}), REG_MULTI_SZ, B({'a', 0, 0})},
      {REG_MULTI_SZ, "", REG_MULTI_SZ, B({0, 0})},
      {REG_BINARY, B({1, 2}), REG_BINARY, B({1, 2})},
  };
  CRegistryKey key;
  for (const Case& c : cases) {
    Raw("v", c.storedType, c.stored);
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Test", 0));
    void* block = nullptr;
    ASSERT_TRUE(key.QueryValueAlloc(&block, "v", c.asType));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(key.dataSize, c.text.size());
    EXPECT_EQ(Bytes(static_cast<char*>(block), key.dataSize), c.text);
    EXPECT_EQ(key.valueType, c.storedType);
    delete[] static_cast<BYTE*>(block);
  }
  void* block = &key;
  EXPECT_FALSE(key.QueryValueAlloc(&block, "missing", REG_SZ));
  EXPECT_EQ(block, nullptr);
  Raw("s", REG_SZ, "text");
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Test", 0));
  CString text("kept");
  EXPECT_FALSE(key.GetString(text, "missing"));
  EXPECT_STREQ(text, "kept");
  EXPECT_TRUE(key.GetString(text, "S"));
  EXPECT_STREQ(text, "text");
  EXPECT_EQ(key.GetValueSize("s"), 4);
  EXPECT_EQ(key.valueType, REG_SZ);
  EXPECT_EQ(key.GetValueSize("missing"), -1);
}

TEST_F(RegistryKeyTest, WritesTextsWithoutTerminatorAndNumbersAsTheyAre) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  const double tenth = 0.1;
  ASSERT_TRUE(key.SetDouble(&tenth, "zoom"));
  const double big = 1e300;
  ASSERT_TRUE(key.SetDouble(&big, "big"));
  const DWORD dword = 0x12345678;
  ASSERT_TRUE(key.SetValue(&dword, 4, "dword", REG_DWORD));
  const uint64_t qword = 0x0102030405060708ull;
  ASSERT_TRUE(key.SetValue(&qword, 8, "qword", REG_QWORD));
  ASSERT_TRUE(key.SetValue("\x00\xFF\x10", 3, "bin", REG_BINARY));
  ASSERT_TRUE(key.SetMultiString("a\0bc\0", "multi"));
  ASSERT_TRUE(key.SetMultiString("", "none"));
  DWORD type = 0;
  EXPECT_EQ(Stored("zoom", &type), "0.1");
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(Stored("big"), "1e+300");
  EXPECT_EQ(Stored("dword", &type), B({0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Stored("qword", &type), B({8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(type, REG_QWORD);
  EXPECT_EQ(Stored("bin"), B({0, 0xFF, 0x10}));
  EXPECT_EQ(Stored("multi", &type), B({'a', 0, 'b', 'c', 0, 0}));
  EXPECT_EQ(type, REG_MULTI_SZ);
  EXPECT_EQ(Stored("none"), B({0}));
  double d = -1;
  EXPECT_TRUE(key.GetDouble(&d, "zoom"));
  EXPECT_EQ(d, 0.1);
  float f = -1;
  EXPECT_TRUE(key.GetFloat(&f, "zoom"));
  EXPECT_EQ(f, 0.1f);
  EXPECT_TRUE(key.GetFloat(&f, "big"));
  EXPECT_TRUE(std::isinf(f) && f > 0);
  d = 7;
  EXPECT_FALSE(key.GetDouble(&d, "missing"));
  EXPECT_EQ(d, 7);
  DWORD readBack = 0;
  EXPECT_TRUE(key.QueryValue(&readBack, 4, "dword", REG_DWORD));
  EXPECT_EQ(readBack, dword);
  uint64_t readQ = 0;
  EXPECT_TRUE(key.QueryValue(&readQ, 8, "qword", REG_QWORD));
  EXPECT_EQ(readQ, qword);
}

TEST_F(RegistryKeyTest, TextListsGoThroughMultiStrings) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  CTextList items;
  for (const char* text : {"zero", "a.zfp", "bc", "last"}) items.InsertString(text, INT_MAX, nullptr);
  ASSERT_TRUE(key.SetTextList(items, "Recent", 1, 3));
  EXPECT_EQ(Stored("Recent"), B({'a', '.', 'z', 'f', 'p', 0, 'b', 'c', 0, 0}));
  ASSERT_TRUE(key.SetTextList(items, "Empty", 2, 2));
  EXPECT_EQ(Stored("Empty"), B({0}));
  CTextList read;
  read.InsertString("old", 0, nullptr);
  ASSERT_TRUE(key.GetTextList(read, "recent"));
  ASSERT_EQ(read.count, 2u);
  char text[16];
  read.GetText(0, text, sizeof text);
  EXPECT_STREQ(text, "a.zfp");
  read.GetText(1, text, sizeof text);
  EXPECT_STREQ(text, "bc");
  ASSERT_TRUE(key.GetTextList(read, "Empty"));
  EXPECT_EQ(read.count, 0u);
  read.InsertString("old", 0, nullptr);
  EXPECT_FALSE(key.GetTextList(read, "missing"));
  EXPECT_EQ(read.count, 0u);
}

TEST_F(RegistryKeyTest, EnumeratesValuesInWriteOrderAndSubkeysByName) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  const DWORD one = 1;
  for (const char* name : {"zeta", "alpha", "Mid"}) ASSERT_TRUE(key.SetValue(name, 2, name, REG_BINARY));
  for (const char* sub : {"Picture", "OptionDlg", "beta"}) {
    ASSERT_TRUE(key.CreateSubKey(sub));
    ASSERT_TRUE(key.Close());
  }
  EXPECT_EQ(key.GetValueCount(), 3u);
  EXPECT_EQ(key.GetSubKeyCount(), 3u);
  std::vector<std::string> names;
  for (DWORD i = 0; key.EnumValueName(i) != nullptr; ++i) names.emplace_back(key.name);
  EXPECT_EQ(names, (std::vector<std::string>{"zeta", "alpha", "Mid"}));
  EXPECT_EQ(key.lastError, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(key.name[0], '\0');
  int len = 0;
  ASSERT_NE(key.EnumValueName(1, &len), nullptr);
  EXPECT_EQ(len, 5);
  EXPECT_EQ(key.valueType, REG_BINARY);
  EXPECT_EQ(key.dataSize, 2u);
  char buf[8];
  EXPECT_EQ(key.GetValueName(buf, 5, 1), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(key.GetValueName(buf, 6, 1), 5);
  EXPECT_STREQ(buf, "alpha");
  char* copy = nullptr;
  EXPECT_EQ(key.EnumValueNameAlloc(&copy, 2), 3);
  EXPECT_STREQ(copy, "Mid");
  delete[] copy;
  names.clear();
  for (DWORD i = 0; key.EnumSubKey(i) != nullptr; ++i) names.emplace_back(key.name);
  EXPECT_EQ(names, (std::vector<std::string>{"beta", "OptionDlg", "Picture"}));
  EXPECT_EQ(key.GetSubKeyName(buf, 8, 2), 7);
  EXPECT_STREQ(buf, "Picture");
  EXPECT_EQ(key.EnumSubKeyAlloc(&copy, 5), -1);
  EXPECT_EQ(copy, nullptr);

  // REGKEY_NEXT walks the values and the subkeys one at a time.
  char data[4];
  names.clear();
  while (key.QueryValue(data, sizeof data, REGKEY_NEXT, REG_BINARY)) names.emplace_back(key.name);
  EXPECT_EQ(names, (std::vector<std::string>{"zeta", "alpha", "Mid"}));
  EXPECT_EQ(key.valueEnumPos[0], 4u);
  names.clear();
  while (key.OpenSubKey(REGKEY_NEXT, 1)) {
    names.emplace_back(key.GetLevelPath(-1));
    ASSERT_TRUE(key.Close());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"beta", "OptionDlg", "Picture"}));
  EXPECT_TRUE(key.ResetSubKeyEnum());
  EXPECT_EQ(key.subKeyEnumPos[0], 0u);
  ASSERT_TRUE(key.OpenSubKey("optiondlg", 1));
  EXPECT_EQ(key.FindSubKeyIndex(0), 1);
  EXPECT_EQ(key.subKeyEnumPos[0], 2u);
  ASSERT_TRUE(key.Close());
  EXPECT_TRUE(key.SetValue(&one, 4, REGKEY_NEXT, REG_DWORD) == false);
  key.valueEnumPos[0] = 1;
  EXPECT_TRUE(key.SetValue(&one, 4, REGKEY_NEXT, REG_DWORD));
  EXPECT_STREQ(key.name, "alpha");
  EXPECT_EQ(Stored("alpha"), B({1, 0, 0, 0}));
}

TEST_F(RegistryKeyTest, DeletesValuesAndWholeKeyTrees) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  const DWORD one = 1;
  for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(key.SetValue(&one, 4, name, REG_DWORD));
  key.valueEnumPos[0] = 1;
  EXPECT_TRUE(key.DeleteValue(REGKEY_NEXT));
  EXPECT_EQ(Stored("b"), "<missing>");
  EXPECT_TRUE(key.DeleteValue(REGKEY_ALL));
  EXPECT_EQ(key.GetValueCount(), 0u);
  for (const char* path : {"Tree\\x\\y\\z", "Tree\\x\\w", "Tree\\v", "Other"}) {
    CRegistryKey maker;
    ASSERT_TRUE(maker.Create(HKEY_CURRENT_USER, (std::string("Test\\") + path).c_str(), 0));
    ASSERT_TRUE(maker.SetValue(&one, 4, "v", REG_DWORD));
  }
  EXPECT_TRUE(key.DeleteKey("tree"));
  EXPECT_EQ(key.GetSubKeyCount(), 1u);
  EXPECT_FALSE(key.DeleteKey("tree"));
  EXPECT_TRUE(key.DeleteKey(REGKEY_ALL));
  EXPECT_EQ(key.GetSubKeyCount(), 0u);
  EXPECT_EQ(key.depth, 0);
}

TEST_F(RegistryKeyTest, DeleteKeyWithoutASubkeyNameDeletesNothing) {
  const DWORD one = 1;
  for (const char* path : {"Test\\A\\A1", "Test\\B"}) {
    CRegistryKey maker;
    ASSERT_TRUE(maker.Create(HKEY_CURRENT_USER, path, 0));
    ASSERT_TRUE(maker.SetValue(&one, 4, "v", REG_DWORD));
  }
  CRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Test", 1));
  for (const char* name : {static_cast<const char*>(nullptr), "", "\\", "\\\\"}) {
    EXPECT_FALSE(key.DeleteKey(name)) << (name ? name : "null");
    EXPECT_EQ(key.lastError, 87u);
    EXPECT_EQ(key.depth, 0);
  }
  HKEY probe = nullptr;
  for (const char* path : {"Test\\A\\A1", "Test\\B"}) {
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &probe), ERROR_SUCCESS) << path;
    RegCloseKey(probe);
  }
  // A path below the key still names one key.
  EXPECT_TRUE(key.DeleteKey("A\\A1"));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Test\\A\\A1", 0, KEY_READ, &probe),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, SpecialNamesAreRefusedWhereTheyMeanNothing) {
  Raw("v", REG_SZ, "abc");
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  const DWORD one = 1;
  const double d = 1.5;
  char buf[8] = "#######";
  void* block = &buf;
  CString text("keep");
  CTextList list;
  const std::string file = dir_ + "/saved.key";
  struct Case {
    const char* what;
    bool result;
  };
  const char* all = REGKEY_ALL;
  const char* next = REGKEY_NEXT;
  const Case cases[] = {
      {"OpenSubKey all", key.OpenSubKey(all, 0)},
      {"CreateSubKey all", key.CreateSubKey(all)},
      {"CreateSubKey next", key.CreateSubKey(next)},
      {"QueryValue all", key.QueryValue(buf, sizeof buf, all, REG_SZ)},
      {"QueryValueAlloc all", key.QueryValueAlloc(&block, all, REG_SZ)},
      {"QueryValueEx all", key.QueryValueEx(buf, sizeof buf, all, REG_SZ)},
      {"QueryValueEx wide all", key.QueryValueEx(buf, sizeof buf, all, REG_SZ | REGKEY_CHARSET_WIDE)},
      {"QueryValueAllocEx wide all",
       key.QueryValueAllocEx(&block, all, REG_SZ | REGKEY_CHARSET_WIDE)},
      {"GetValueSize all", key.GetValueSize(all) != -1},
      {"GetString all", key.GetString(text, all)},
      {"GetTextList all", key.GetTextList(list, all)},
      {"SetValue all", key.SetValue(&one, 4, all, REG_DWORD)},
      {"SetValueEx wide all", key.SetValueEx(&one, 4, all, REG_DWORD | REGKEY_CHARSET_WIDE)},
      {"SetDouble all", key.SetDouble(&d, all)},
      {"SetMultiString all", key.SetMultiString("a\0", all)},
      {"LoadKey all", key.LoadKey(all, file.c_str())},
      {"LoadKey next", key.LoadKey(next, file.c_str())},
      {"ReplaceKey all", key.ReplaceKey(all, file.c_str(), file.c_str())},
      {"ReplaceKey next", key.ReplaceKey(next, file.c_str(), file.c_str())},
  };
  for (const Case& c : cases) EXPECT_FALSE(c.result) << c.what;
  EXPECT_EQ(block, nullptr);
  EXPECT_STREQ(static_cast<const char*>(text), "keep");
  EXPECT_EQ(key.depth, 0);
  EXPECT_EQ(key.GetSubKeyCount(), 0u);
  EXPECT_EQ(key.GetValueCount(), 1u);
  EXPECT_EQ(Stored("v"), "abc");
  // The refusal says why.
  EXPECT_FALSE(key.OpenSubKey(all, 0));
  EXPECT_EQ(key.lastError, 50u);
  EXPECT_FALSE(key.SetValue(&one, 4, all, REG_DWORD));
  EXPECT_EQ(key.lastError, 50u);
}

TEST_F(RegistryKeyTest, TreeDeeperThanTheStackIsLeftPartlyDeleted) {
  std::string path = "Test\\Top";
  for (int level = 1; level <= 12; ++level) path += "\\" + std::to_string(level);
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, path.c_str(), 0));
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test\\Top\\side", 0));
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Test", 1));
  EXPECT_FALSE(key.DeleteKey("Top"));
  EXPECT_EQ(key.depth, 0);
  HKEY probe = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Test\\Top\\side", 0, KEY_READ, &probe),
            ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Test\\Top\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10", 0,
                          KEY_READ, &probe), ERROR_SUCCESS);
  RegCloseKey(probe);
  key.subKeyEnumPos[0] = 0;
  EXPECT_FALSE(key.DeleteKey(REGKEY_NEXT));
  EXPECT_EQ(key.subKeyEnumPos[0], 1u);
}

TEST_F(RegistryKeyTest, DoublesAreStoredAsTheShortestTextThatReadsBack) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.1, "0.1"},
      {3.141592653589793, "3.141592653589793"},
      {123456789.125, "123456789.125"},
      {-2.75, "-2.75"},
      {1e21, "1e+21"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {0.0, "0"},
      {HUGE_VAL, "inf"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(key.SetDouble(&c.value, "d"));
    EXPECT_EQ(Stored("d"), c.text) << c.text;
    double back = 0;
    ASSERT_TRUE(key.GetDouble(&back, "d"));
    EXPECT_EQ(back, c.value) << c.text;
  }
  // Random bit patterns, written and read under the C locale and a German one.
  std::mt19937_64 rng(17);
  const char* german = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      german = name;
      break;
    }
  }
  for (int i = 0; i < 10000; ++i) {
    // Half the texts are written under the German locale and read under C, the
    // other half the other way round.
    const bool writeGerman = german != nullptr && i % 2 == 0;
    double value = 0;
    do {
      const uint64_t bits = rng();
      std::memcpy(&value, &bits, sizeof value);
    } while (!std::isfinite(value));
    std::setlocale(LC_NUMERIC, writeGerman ? german : "C");
    ASSERT_TRUE(key.SetDouble(&value, "r"));
    std::setlocale(LC_NUMERIC, writeGerman || german == nullptr ? "C" : german);
    double back = 0;
    ASSERT_TRUE(key.GetDouble(&back, "r"));
    ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << Stored("r");
    ASSERT_EQ(Stored("r").find(','), std::string::npos);
  }
  std::setlocale(LC_NUMERIC, "C");
  if (german == nullptr) GTEST_SKIP() << "no German locale installed";
}

TEST_F(RegistryKeyTest, SettingsSurviveTheStoreFileAndFailedWritesAreReported) {
  platform::SetAppRegistryNames("KX", "Zelvaro");
  {
    CRegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, nullptr, REGKEY_MODE_CREATE));
    ASSERT_TRUE(key.OpenSubKey("Picture", 0));
    const DWORD width = 640;
    ASSERT_TRUE(key.SetValue(&width, 4, "Width", REG_DWORD));
    const double zoom = 2.5;
    ASSERT_TRUE(key.SetDouble(&zoom, "Zoom"));
    EXPECT_TRUE(key.CloseAll());
  }
  Reload();
  {
    CRegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Software\\KX\\Zelvaro\\Picture", 0));
    DWORD width = 0;
    EXPECT_TRUE(key.QueryValue(&width, 4, "width", REG_DWORD));
    EXPECT_EQ(width, 640u);
    double zoom = 0;
    EXPECT_TRUE(key.GetDouble(&zoom, "Zoom"));
    EXPECT_EQ(zoom, 2.5);
  }
  CRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Software\\KX\\Zelvaro\\Picture", 1));
  const DWORD width = 800;
  platform::RegistryFailNextCall(platform::RegistryFault::WriteFile, ERROR_WRITE_FAULT);
  EXPECT_FALSE(key.SetValue(&width, 4, "Width", REG_DWORD));
  EXPECT_EQ(key.lastError, static_cast<DWORD>(ERROR_WRITE_FAULT));
  EXPECT_TRUE(key.CloseAll());
  EXPECT_EQ(key.depth, -1);
  Reload();
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Software\\KX\\Zelvaro\\Picture", 0));
  DWORD stored = 0;
  EXPECT_TRUE(key.QueryValue(&stored, 4, "Width", REG_DWORD));
  EXPECT_EQ(stored, 640u);
}

TEST_F(RegistryKeyTest, KeyPathNeverWritesPastTheBuffer) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CLASSES_ROOT, ".zfp", 0));
  ASSERT_TRUE(key.CreateSubKey("shell"));
  struct Case {
    int size;
    int mode;
    int result;
    const char* text;
  };
  const Case cases[] = {
      {64, 0, 0, "HKEY_CLASSES_ROOT\\.zfp\\shell"},
      // Each level needs room for a backslash behind it, the top one too.
      {30, 0, 0, "HKEY_CLASSES_ROOT\\.zfp\\shell"},
      {29, 0, -1, ""},
      {18, 0, -1, ""},
      {64, 1, 0, ".zfp\\shell"},
      {64, 2, 0, "shell"},
      {7, 2, 0, "shell"},
      {6, 2, -1, ""},
  };
  for (const Case& c : cases) {
    char buf[72];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(key.GetKeyPath(buf, c.size, c.mode), c.result) << c.size << "/" << c.mode;
    EXPECT_STREQ(buf, c.text) << c.size << "/" << c.mode;
    EXPECT_EQ(buf[c.size], '#') << c.size << "/" << c.mode;
  }
  ASSERT_TRUE(key.Close());
  char buf[8];
  EXPECT_EQ(key.CopyLevelPath(buf, 4, 0), 0);
  EXPECT_EQ(key.CopyLevelPath(buf, 5, 0), 4);
  EXPECT_STREQ(buf, ".zfp");
  char* copy = nullptr;
  EXPECT_EQ(key.GetLevelPathAlloc(&copy, -1), 4);
  EXPECT_STREQ(copy, ".zfp");
  delete[] copy;
}

TEST_F(RegistryKeyTest, KeyPathSeparatesEveryNamedLevelOnce) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CLASSES_ROOT, "", 0));
  ASSERT_TRUE(key.CreateSubKey(".zfp"));
  ASSERT_TRUE(key.OpenSubKey("", 1));  // the same key again, under an empty level path
  struct Case {
    int mode;
    const char* text;
  };
  for (const Case& c : {Case{0, "HKEY_CLASSES_ROOT\\.zfp"}, Case{1, ".zfp"}, Case{2, ".zfp"}}) {
    char buf[64];
    EXPECT_EQ(key.GetKeyPath(buf, sizeof buf, c.mode), 0) << c.mode;
    EXPECT_STREQ(buf, c.text) << c.mode;
  }
}

TEST_F(RegistryKeyTest, ReadsWithoutABufferAreRefused) {
  Raw("text", REG_SZ, "abc");
  Raw("dword", REG_DWORD, B({1, 2, 3, 4}));
  CRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Test", 0));
  for (const char* name : {"text", "dword", "missing"}) {
    for (DWORD type : {REG_SZ, REG_MULTI_SZ, REG_DWORD}) {
      for (DWORD room : {0u, 8u}) {
        EXPECT_FALSE(key.QueryValue(nullptr, room, name, type)) << name << " " << type;
        EXPECT_EQ(key.lastError, 87u) << name;
        EXPECT_EQ(key.dataSize, 0u) << name;
        EXPECT_FALSE(key.QueryValueEx(nullptr, room, name, type | REGKEY_CHARSET_WIDE)) << name;
        EXPECT_EQ(key.lastError, 87u) << name;
        EXPECT_FALSE(key.QueryValueEx(nullptr, room, name, type)) << name;
      }
    }
  }
  // A value read at the enumeration position is not passed over.
  char buf[8];
  EXPECT_FALSE(key.QueryValue(nullptr, 8, REGKEY_NEXT, REG_SZ));
  ASSERT_TRUE(key.QueryValue(buf, sizeof buf, REGKEY_NEXT, REG_SZ));
  EXPECT_STREQ(buf, "abc");
}

TEST_F(RegistryKeyTest, SelectorFormsUseTheWideEntryPointsAndPadWithZeros) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  // 16-bit text, read back through the 8-bit calls as Latin-1.
  ASSERT_TRUE(key.SetValueEx("a\0b\0", 4, "Wide\xE9", REG_SZ | REGKEY_CHARSET_WIDE));
  EXPECT_EQ(Stored("wide\xC9"), "ab");
  struct Case {
    DWORD room;
    Bytes buffer;
  };
  const Case cases[] = {
      {8, B({'a', 'b', 0, 0, 0, 0, '#', '#'})},
      {5, B({'a', 'b', 0, 0, '#'})},
      {4, B({'a', 'b', 0, 0})},
      {3, B({'a', 'b', 0})},
      {2, B({'a', 'b'})},
  };
  for (DWORD selector : {0u, 0x10000000u}) {
    for (const Case& c : cases) {
      char buf[8];
      std::memset(buf, '#', sizeof buf);
      EXPECT_TRUE(key.QueryValueEx(buf, c.room, "WIDE\xE9", REG_SZ | selector));
      EXPECT_EQ(Bytes(buf, c.buffer.size()), c.buffer) << c.room;
      EXPECT_EQ(key.dataSize, 2u);
    }
  }
  for (const Case& c : {Case{8, B({'a', 0, 'b', 0, 0, 0, 0, 0})}, Case{5, B({'a', 0, 'b', 0, 0})},
                        Case{4, B({'a', 0, 'b', 0})}}) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_TRUE(key.QueryValueEx(buf, c.room, "WIDE\xE9", REG_SZ | REGKEY_CHARSET_WIDE));
    EXPECT_EQ(Bytes(buf, c.buffer.size()), c.buffer) << c.room;
    EXPECT_EQ(key.dataSize, 4u);
  }
  char buf[4] = {'x', 'y', 'z', 'w'};
  EXPECT_FALSE(key.QueryValueEx(buf, 1, "wide\xE9", REG_SZ));
  EXPECT_EQ(Bytes(buf, 4), B({0, 'y', 'z', 'w'}));
  EXPECT_FALSE(key.QueryValueEx(buf, 4, "gone", REG_SZ | REGKEY_CHARSET_WIDE));
  EXPECT_EQ(Bytes(buf, 4), B({0, 0, 'z', 'w'}));
  EXPECT_EQ(key.dataSize, 0u);
  void* block = nullptr;
  ASSERT_TRUE(key.QueryValueAllocEx(&block, "wide\xE9", REG_BINARY | REGKEY_CHARSET_WIDE));
  EXPECT_EQ(Bytes(static_cast<char*>(block), 8), B({'a', 0, 'b', 0, 0, 0, 0, 0}));
  EXPECT_EQ(key.dataSize, 4u);
  delete[] static_cast<BYTE*>(block);
}

TEST_F(RegistryKeyTest, SavesLoadsAndReplacesKeyFiles) {
  CRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test\\Src", 0));
  const DWORD one = 1;
  ASSERT_TRUE(key.SetValue(&one, 4, "v", REG_DWORD));
  const std::string file = dir_ + "/src.key";
  EXPECT_TRUE(key.SaveKey(file.c_str()));
  EXPECT_FALSE(key.SaveKey(file.c_str()));
  EXPECT_EQ(key.lastError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Test", 0));
  EXPECT_TRUE(key.LoadKey("Copy", file.c_str()));
  EXPECT_EQ(Stored("v"), "<missing>");
  ASSERT_TRUE(key.OpenSubKey("copy", 1));
  DWORD v = 0;
  EXPECT_TRUE(key.QueryValue(&v, 4, "v", REG_DWORD));
  EXPECT_EQ(v, 1u);
  ASSERT_TRUE(key.Close());
  EXPECT_TRUE(key.ReplaceKey("Src", file.c_str(), (dir_ + "/old.key").c_str()));
}

}  // namespace
