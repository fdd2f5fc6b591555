#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry_test_util.h"

namespace {

using Bytes = std::string;

Bytes B(std::initializer_list<int> bytes) {
  Bytes out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

const Bytes kStoreMagic = B({'Z', 'L', 'V', 'R', 'E', 'G', 1, '\n'});
const Bytes kEmptyBody = B({0, 0, 0, 0, 0, 0, 0, 0});

Bytes EmptyStore() {
  Bytes out = kStoreMagic;
  for (int i = 0; i < 6; ++i) out += kEmptyBody;
  return out;
}

// A store whose first root holds a chain of `levels` keys named k; the
// chain's last body and the other roots follow.
Bytes Nested(int levels) {
  Bytes out = kStoreMagic;
  for (int i = 0; i < levels; ++i) out += B({0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 'k'});
  return out + kEmptyBody;
}

HKEY CreateKey(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  return key;
}

LONG Set(HKEY key, const char* name, DWORD type, const Bytes& data) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

Bytes Query(HKEY key, const char* name, DWORD* type = nullptr) {
  BYTE buf[256];
  DWORD size = sizeof buf;
  if (RegQueryValueExA(key, name, nullptr, type, buf, &size) != ERROR_SUCCESS) return "<fail>";
  return Bytes(reinterpret_cast<char*>(buf), size);
}

TEST_F(RegistryStoreTest, KeepsEveryValueTypeByteForByte) {
  struct Case {
    const char* name;
    DWORD type;
    Bytes data;
  };
  const Case cases[] = {
      {"text", REG_SZ, "abc"},
      {"terminated", REG_SZ, B({'a', 0})},
      {"expand", REG_EXPAND_SZ, "%HOME%/x"},
      {"multi", REG_MULTI_SZ, B({'a', 0, 'b', 'c', 0, 0})},
      {"dword", REG_DWORD, B({0x78, 0x56, 0x34, 0x12})},
      {"qword", REG_QWORD, B({1, 2, 3, 4, 5, 6, 7, 0x80})},
      {"binary", REG_BINARY, B({0, 0xFF, 0, 0x7F})},
      {"empty", REG_BINARY, ""},
      {"", REG_SZ, "default value"},
  };
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Types");
  for (const Case& c : cases) ASSERT_EQ(Set(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  Reload();
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\TYPES", 0, KEY_READ, &key), ERROR_SUCCESS);
  for (const Case& c : cases) {
    DWORD type = 99;
    EXPECT_EQ(Query(key, c.name, &type), c.data) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
  }
  DWORD type = 0;
  EXPECT_EQ(Query(key, nullptr, &type), "default value");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, ReportsSizesAndShortBuffers) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Sizes");
  ASSERT_EQ(Set(key, "v", REG_BINARY, "12345"), ERROR_SUCCESS);
  DWORD size = 0, type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  BYTE small[4] = {9, 9, 9, 9};
  size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, &type, small, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key, u"V", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(RegQueryValueExW(key, u"v\u0100", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExW(key, u"\u0100", 0, REG_SZ, small, 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

// Text crosses between the 8- and 16-bit calls as Latin-1; other types and
// calls of the writing width keep every byte.
TEST_F(RegistryStoreTest, ConvertsTextBetweenTheWidthsAndNothingElse) {
  struct Case {
    const char* what;
    bool wideWrite;
    DWORD type;
    Bytes written;
    Bytes narrow;  // as the 8-bit calls read it
    Bytes wide;    // as the 16-bit calls read it
  };
  const Case cases[] = {
      {"8-bit text", false, REG_SZ, "a\xE9", "a\xE9", B({'a', 0, 0xE9, 0})},
      {"8-bit expandable text", false, REG_EXPAND_SZ, B({'%', 0}), B({'%', 0}),
       B({'%', 0, 0, 0})},
      {"8-bit multi-string", false, REG_MULTI_SZ, B({'a', 0, 0}), B({'a', 0, 0}),
       B({'a', 0, 0, 0, 0, 0})},
      {"16-bit text", true, REG_SZ, B({'h', 0, 0xFF, 0, 0, 1, 0xAC, 0x20, 0, 0}),
       B({'h', 0xFF, '?', '?', 0}), B({'h', 0, 0xFF, 0, 0, 1, 0xAC, 0x20, 0, 0})},
      {"16-bit text of an odd size", true, REG_SZ, B({'x', 0, 'y'}), "x", B({'x', 0, 'y'})},
      {"16-bit multi-string", true, REG_MULTI_SZ, B({'a', 0, 0, 0, 0x42, 0x30, 0, 0, 0, 0}),
       B({'a', 0, '?', 0, 0}), B({'a', 0, 0, 0, 0x42, 0x30, 0, 0, 0, 0})},
      {"8-bit binary", false, REG_BINARY, B({1, 0, 2}), B({1, 0, 2}), B({1, 0, 2})},
      {"16-bit dword", true, REG_DWORD, B({0, 1, 2, 3}), B({0, 1, 2, 3}), B({0, 1, 2, 3})},
  };
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Widths");
  for (const Case& c : cases) {
    const auto* data = reinterpret_cast<const BYTE*>(c.written.data());
    const auto size = static_cast<DWORD>(c.written.size());
    ASSERT_EQ(c.wideWrite ? RegSetValueExW(key, u"v", 0, c.type, data, size)
                          : RegSetValueExA(key, "v", 0, c.type, data, size), 0) << c.what;
    EXPECT_EQ(Query(key, "v"), c.narrow) << c.what;
    BYTE buf[64];
    DWORD len = sizeof buf;
    ASSERT_EQ(RegQueryValueExW(key, u"V", nullptr, nullptr, buf, &len), 0) << c.what;
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(buf), len), c.wide) << c.what;
    char name[8];
    DWORD nameLen = sizeof name;
    len = sizeof buf;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, nullptr, buf, &len), 0) << c.what;
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(buf), len), c.narrow) << c.what;
    DWORD longest = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest), 0);
    EXPECT_EQ(longest, c.narrow.size()) << c.what;
  }
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, RefusesAValueTooLargeToReadBackWhenItIsWritten) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Large");
  // The size is refused before any byte of the data is read.
  const BYTE byte = 0;
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, &byte, (DWORD{256} << 20) + 1),
            ERROR_OUTOFMEMORY);
  EXPECT_EQ(RegSetValueExW(key, u"v", 0, REG_SZ, &byte, 0xFFFFFFFF), ERROR_OUTOFMEMORY);
  const Bytes name(16384, 'n');
  EXPECT_EQ(Set(key, name.c_str(), REG_SZ, "x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Set(key, name.substr(1).c_str(), REG_SZ, "x"), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "v"), "<fail>");
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, FindsEveryValueOfALargeKeyByName) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Many");
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(Set(key, ("v" + std::to_string(i)).c_str(), REG_SZ, std::to_string(i * 7)), 0);
  }
  for (int i = 2999; i >= 0; i -= 7) {
    EXPECT_EQ(Query(key, ("V" + std::to_string(i)).c_str()), std::to_string(i * 7));
  }
  char name[16];
  DWORD len = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 2999, name, &len, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "v2999");
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, EnumeratesSubkeysByFoldedNameAndValuesInWriteOrder) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Order");
  for (const char* sub : {"beta", "Alpha", "\xC4rger", "gamma", "ALPHA\\inner", "a"}) {
    RegCloseKey(CreateKey(key, sub));
  }
  for (const char* name : {"zeta", "Eta", "alpha", "ETA"}) ASSERT_EQ(Set(key, name, REG_SZ, name), 0);
  std::vector<std::string> keys;
  char name[300];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    const LONG rc = RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, ERROR_SUCCESS);
    EXPECT_EQ(len, std::strlen(name));
    keys.emplace_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"a", "Alpha", "beta", "gamma", "\xC4rger"}));
  std::vector<std::string> values;
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name, type = 0;
    const LONG rc = RegEnumValueA(key, i, name, &len, nullptr, &type, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, ERROR_SUCCESS);
    values.emplace_back(name);
  }
  EXPECT_EQ(values, (std::vector<std::string>{"zeta", "Eta", "alpha"}));
  EXPECT_EQ(Query(key, "eta"), "ETA");
  DWORD len = 3;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  DWORD subKeys = 0, maxKey = 0, count = 0, maxName = 0, maxData = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, &subKeys, &maxKey, &count, &maxName, &maxData), ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 5u);
  EXPECT_EQ(maxKey, 5u);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(maxName, 5u);
  EXPECT_EQ(maxData, 5u);
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, DeletesOnlyLeafKeysAndForgetsDeletedHandles) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Del\\Mid\\Leaf");
  ASSERT_EQ(Set(key, "v", REG_DWORD, B({1, 0, 0, 0})), 0);
  HKEY del = CreateKey(HKEY_CURRENT_USER, "Del");
  EXPECT_EQ(RegDeleteKeyA(del, "Mid"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(del, "Mid\\LEAF"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(del, "Mid\\Leaf"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(key, "v"), "<fail>");
  DWORD size = 4;
  BYTE buf[4];
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, buf, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteKeyA(del, "Mid"), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  ASSERT_EQ(Set(del, "a", REG_SZ, "1"), 0);
  EXPECT_EQ(RegDeleteValueA(del, "A"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(del, "a"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(del), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(del), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryStoreTest, RefusesWritesThroughReadHandlesAndMissingKeys) {
  RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, "Soft"));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "soft", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(Set(key, "v", REG_SZ, "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_ACCESS_DENIED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "new", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr),
            ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(256, 'k').c_str(), 0, KEY_READ, &key),
            ERROR_INVALID_PARAMETER);
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".zfp", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition), 0);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".ZFP", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition), 0);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, KeepsTheStorePrivateInAnSqliteFile) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Ab");
  ASSERT_EQ(Set(key, "x", REG_DWORD, B({1, 2, 3, 4})), 0);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(ReadFile(path_).substr(0, 16), Bytes("SQLite format 3", 16));
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Older store files beside the database, each taken over (or refused) when
// the database is made.
TEST_F(RegistryStoreTest, RefusesMalformedOldStoreFilesAndKeepsThemAside) {
  const Bytes tail = kEmptyBody + kEmptyBody + kEmptyBody + kEmptyBody;
  const Bytes deep = Nested(513) + kEmptyBody + tail;
  struct Case {
    const char* what;
    Bytes file;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"wrong magic", B({'Z', 'L', 'V', 'R', 'E', 'G', 2, '\n'}) + kEmptyBody},
      {"one root only", kStoreMagic + kEmptyBody},
      {"byte behind the last root", EmptyStore() + B({0})},
      {"value count past the end", kStoreMagic + B({0xFF, 0xFF, 0xFF, 0xFF})},
      {"data size past the end",
       kStoreMagic + B({1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F})},
      {"duplicate value names",
       kStoreMagic + B({2, 0, 0, 0, 1, 0, 'a', 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'A', 1, 0, 0, 0, 0, 0,
                        0, 0, 0, 0, 0, 0}) + kEmptyBody + tail},
      {"duplicate subkeys", kStoreMagic + kEmptyBody +
                                B({0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 'k', 0, 0, 0, 0, 0, 0, 0, 0, 1, 0,
                                   'K', 0, 0, 0, 0, 0, 0, 0, 0}) + tail},
      {"empty subkey name", kStoreMagic + B({0, 0, 0, 0, 1, 0, 0, 0, 0, 0}) + kEmptyBody},
      {"backslash in a key name", kStoreMagic + B({0, 0, 0, 0, 1, 0, 0, 0, 1, 0, '\\'}) +
                                      kEmptyBody + kEmptyBody + tail},
      {"key name of 256 bytes", kStoreMagic + B({0, 0, 0, 0, 1, 0, 0, 0, 0, 1}) + Bytes(256, 'k') +
                                    kEmptyBody + kEmptyBody + tail},
      {"keys nested past 512 levels", deep},
      {"NUL in a value name", kStoreMagic + B({1, 0, 0, 0, 2, 0, 'a', 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                               0, 0, 0, 0}) + kEmptyBody + tail},
      {"NUL in a key name", kStoreMagic + B({0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 'k', 0}) + kEmptyBody +
                                kEmptyBody + tail},
      {"duplicate subkeys out of order",
       kStoreMagic + kEmptyBody +
           B({0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 'k', 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'a', 0, 0, 0, 0, 0,
              0, 0, 0, 1, 0, 'K', 0, 0, 0, 0, 0, 0, 0, 0}) + tail},
  };
  for (const Case& c : cases) {
    RemoveStore();
    WriteFile(old_, c.file);
    EXPECT_EQ(platform::RegistryLoadError(), ERROR_BADDB) << c.what;
    DWORD subKeys = 9;
    EXPECT_EQ(RegQueryInfoKeyA(HKEY_CURRENT_USER, &subKeys, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(subKeys, 0u) << c.what;
    ASSERT_EQ(RegCloseKey(CreateKey(HKEY_CURRENT_USER, "Fresh")), ERROR_SUCCESS) << c.what;
    EXPECT_EQ(ReadFile(old_ + ".bad"), c.file) << c.what;
    EXPECT_NE(access(old_.c_str(), F_OK), 0) << c.what;
    ASSERT_EQ(unlink((old_ + ".bad").c_str()), 0) << c.what;
    Reload();
    EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS) << c.what;
  }
  // The deepest tree the old store could hold still comes over.
  RemoveStore();
  WriteFile(old_, Nested(512) + kEmptyBody + tail);
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  EXPECT_EQ(ReadFile(old_ + ".imported"), Nested(512) + kEmptyBody + tail);
}

TEST_F(RegistryStoreTest, OldStoreTextComesOverInTheWidthItWasWritten) {
  // The old file kept text as its caller wrote it: a 16-bit text ends in a
  // whole zero unit (a list in two), an 8-bit one in a single zero byte.
  struct Case {
    char name;
    DWORD type;
    Bytes stored, narrow, wide;
  };
  const Case cases[] = {
      {'a', REG_SZ, B({'h', 'i', 0}), B({'h', 'i', 0}), B({'h', 0, 'i', 0, 0, 0})},
      {'b', REG_SZ, B({'h', 0, 'i', 0, 0, 0}), B({'h', 'i', 0}), B({'h', 0, 'i', 0, 0, 0})},
      {'c', REG_EXPAND_SZ, B({0x2D, 0x4E, 0, 0}), B({'?', 0}), B({0x2D, 0x4E, 0, 0})},
      {'d', REG_SZ, B({'h', 'i'}), B({'h', 'i'}), B({'h', 0, 'i', 0})},
      {'e', REG_MULTI_SZ, B({'a', 0, 'b', 0, 0}), B({'a', 0, 'b', 0, 0}),
       B({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
      {'f', REG_MULTI_SZ, B({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}), B({'a', 0, 'b', 0, 0}),
       B({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
      {'g', REG_MULTI_SZ, B({'a', 'b', 0, 0}), B({'a', 'b', 0, 0}), B({'a', 0, 'b', 0, 0, 0, 0, 0})},
      {'h', REG_BINARY, B({1, 0, 0, 0}), B({1, 0, 0, 0}), B({1, 0, 0, 0})},
  };
  auto u32 = [](size_t n) { return B({int(n & 0xFF), int(n >> 8 & 0xFF), 0, 0}); };
  Bytes body = u32(std::size(cases));
  for (const Case& c : cases) body += B({1, 0, c.name}) + u32(c.type) + u32(c.stored.size()) + c.stored;
  RemoveStore();
  WriteFile(old_, kStoreMagic + kEmptyBody + body + B({0, 0, 0, 0}) + kEmptyBody + kEmptyBody +
                      kEmptyBody + kEmptyBody);
  ASSERT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  for (const Case& c : cases) {
    const char name[2] = {c.name, 0};
    const char16_t wname[2] = {static_cast<char16_t>(c.name), 0};
    EXPECT_EQ(Query(HKEY_CURRENT_USER, name), c.narrow) << name;
    BYTE wide[32];
    DWORD size = sizeof wide;
    ASSERT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, wname, nullptr, nullptr, wide, &size), 0) << name;
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(wide), size), c.wide) << name;
  }
}

TEST_F(RegistryStoreTest, TakesOverAnOldStoreFileOnceAndWhole) {
  // HKEY_CURRENT_USER with the subkeys "b" (holding "c") and "A", in that
  // order; "A" holds the values "z" (text) and "y" (dword), in that order.
  const Bytes file = kStoreMagic + kEmptyBody +
                     B({0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 'b', 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 'c'}) +
                     kEmptyBody + B({1, 0, 'A', 2, 0, 0, 0, 1, 0, 'z', 1, 0, 0, 0, 2, 0, 0, 0,
                                     'h', 'i', 1, 0, 'y', 4, 0, 0, 0, 4, 0, 0, 0, 7, 0, 0, 0,
                                     0, 0, 0, 0}) +
                     kEmptyBody + kEmptyBody + kEmptyBody + kEmptyBody;
  RemoveStore();
  WriteFile(old_, file);
  ASSERT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  std::vector<std::string> names;
  char name[16];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(HKEY_CURRENT_USER, i, name, &len, nullptr, nullptr, nullptr, nullptr) != 0) {
      break;
    }
    names.emplace_back(name, len);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b"}));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "b\\C", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "a", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "Z"), "hi");
  EXPECT_EQ(Query(key, "y"), B({7, 0, 0, 0}));
  DWORD len = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "z");
  BYTE wide[8];
  DWORD size = sizeof wide;
  ASSERT_EQ(RegQueryValueExW(key, u"z", nullptr, nullptr, wide, &size), 0);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(wide), size), B({'h', 0, 'i', 0}));
  RegCloseKey(key);
  EXPECT_EQ(ReadFile(old_ + ".imported"), file);
  EXPECT_NE(access(old_.c_str(), F_OK), 0);
  // An old file that turns up beside an existing store is left alone.
  WriteFile(old_, EmptyStore());
  Reload();
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(ReadFile(old_), EmptyStore());
}

TEST_F(RegistryStoreTest, OldStoreFileThatCannotBeReadStopsTheStore) {
  RemoveStore();
  ASSERT_EQ(mkdir(old_.c_str(), 0700), 0);  // exists, but reads fail
  EXPECT_NE(platform::RegistryLoadError(), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(rmdir(old_.c_str()), 0);
  Reload();
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, EveryMalformedStoreIsKeptAsideUnderItsOwnName) {
  const Bytes files[] = {"first bad store", "second bad store", "third bad store",
                         Bytes("SQLite format 3", 16) + Bytes(4080, '\xEE')};
  WriteFile(path_ + ".bad.1", "kept from before");
  for (const Bytes& file : files) {
    RemoveStore();
    WriteFile(path_, file);
    ASSERT_EQ(platform::RegistryLoadError(), ERROR_BADDB);
    ASSERT_EQ(RegCloseKey(CreateKey(HKEY_CURRENT_USER, "Fresh")), ERROR_SUCCESS);
    Reload();
    ASSERT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  }
  EXPECT_EQ(ReadFile(path_ + ".bad"), files[0]);
  EXPECT_EQ(ReadFile(path_ + ".bad.1"), "kept from before");
  EXPECT_EQ(ReadFile(path_ + ".bad.2"), files[1]);
  EXPECT_EQ(ReadFile(path_ + ".bad.3"), files[2]);
  EXPECT_EQ(ReadFile(path_ + ".bad.4"), files[3]);
}

TEST_F(RegistryStoreTest, ForeignDatabaseIsKeptAsideNotUsed) {
  RemoveStore();
  // A database of another program: some other table, no mark of ours.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(42);", nullptr, nullptr,
                         nullptr), SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_BADDB);
  ASSERT_EQ(RegCloseKey(CreateKey(HKEY_CURRENT_USER, "Fresh")), ERROR_SUCCESS);
  EXPECT_EQ(ReadFile(path_ + ".bad").substr(0, 16), Bytes("SQLite format 3", 16));
}

TEST_F(RegistryStoreTest, StoreThatCannotBeOpenedIsNeverReplaced) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Keep");
  ASSERT_EQ(Set(key, "v", REG_SZ, "old"), 0);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  for (LONG error : {ERROR_READ_FAULT, ERROR_ACCESS_DENIED, ERROR_OUTOFMEMORY}) {
    platform::RegistryFailNextCall(platform::RegistryFault::ReadFile, error);
    Reload();
    ASSERT_EQ(platform::RegistryLoadError(), error);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Keep", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr), error);
    EXPECT_EQ(Set(HKEY_CURRENT_USER, "w", REG_SZ, "new"), error);
    EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), error);
    struct stat st {};
    EXPECT_NE(stat((path_ + ".bad").c_str(), &st), 0) << error;
    Reload();
    ASSERT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
    key = CreateKey(HKEY_CURRENT_USER, "Keep", KEY_READ);
    EXPECT_EQ(Query(key, "v"), "old") << error;
    EXPECT_EQ(Query(HKEY_CURRENT_USER, "w"), "<fail>") << error;
    RegCloseKey(key);
  }
  // A folder where the store should be cannot be opened, and stays.
  RemoveStore();
  ASSERT_EQ(mkdir(path_.c_str(), 0700), 0);
  EXPECT_NE(platform::RegistryLoadError(), ERROR_SUCCESS);
  EXPECT_NE(Set(HKEY_CURRENT_USER, "w", REG_SZ, "new"), ERROR_SUCCESS);
  struct stat st {};
  EXPECT_TRUE(stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  Reload();
  ASSERT_EQ(rmdir(path_.c_str()), 0);
}

TEST_F(RegistryStoreTest, InjectedFailuresLoseNothing) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Keep");
  ASSERT_EQ(Set(key, "v", REG_SZ, "old"), 0);
  platform::RegistryFailNextCall(platform::RegistryFault::WriteFile, ERROR_WRITE_FAULT);
  EXPECT_EQ(Set(key, "v", REG_SZ, "new"), ERROR_WRITE_FAULT);
  platform::RegistryFailNextCall(platform::RegistryFault::WriteFile, ERROR_DISK_FULL);
  EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_DISK_FULL);
  platform::RegistryFailNextCall(platform::RegistryFault::Close, ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  Reload();
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Keep", 0, KEY_READ, &key), 0);
  EXPECT_EQ(Query(key, "v"), "old");

  struct Fault {
    platform::RegistryFault point;
    LONG code;
  };
  for (const Fault& f : {Fault{platform::RegistryFault::Query, ERROR_ACCESS_DENIED},
                         Fault{platform::RegistryFault::Enum, ERROR_OUTOFMEMORY}}) {
    platform::RegistryFailNextCall(f.point, f.code);
    char name[16];
    DWORD len = sizeof name;
    const LONG rc = f.point == platform::RegistryFault::Query
                        ? RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &len)
                        : RegEnumValueA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(rc, f.code);
    EXPECT_EQ(Query(key, "v"), "old");
  }
  RegCloseKey(key);
  HKEY other = nullptr;
  platform::RegistryFailNextCall(platform::RegistryFault::Open, ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Keep", 0, KEY_READ, &other), ERROR_ACCESS_DENIED);
  platform::RegistryFailNextCall(platform::RegistryFault::ReadFile, ERROR_READ_FAULT);
  Reload();
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_READ_FAULT);
}

TEST_F(RegistryStoreTest, SavesAndLoadsKeyFiles) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Src\\Inner");
  ASSERT_EQ(Set(key, "q", REG_QWORD, B({8, 7, 6, 5, 4, 3, 2, 1})), 0);
  RegCloseKey(key);
  key = CreateKey(HKEY_CURRENT_USER, "Src");
  const std::string file = dir_ + "/saved.key";
  EXPECT_EQ(RegSaveKeyA(key, file.c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegSaveKeyA(key, file.c_str(), nullptr), ERROR_ALREADY_EXISTS);
  RegCloseKey(key);
  EXPECT_EQ(RegLoadKeyA(HKEY_USERS, "Copy", file.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(RegLoadKeyA(HKEY_USERS, "copy", file.c_str()), ERROR_ALREADY_EXISTS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "Copy\\Inner", 0, KEY_READ, &key), 0);
  EXPECT_EQ(Query(key, "q"), B({8, 7, 6, 5, 4, 3, 2, 1}));
  RegCloseKey(key);
  WriteFile(dir_ + "/bad.key", "ZLVKEY\1\n\1");
  EXPECT_EQ(RegLoadKeyA(HKEY_USERS, "Bad", (dir_ + "/bad.key").c_str()), ERROR_BADDB);
  key = CreateKey(HKEY_USERS, "Swap");
  ASSERT_EQ(Set(key, "before", REG_SZ, "1"), 0);
  const std::string old = dir_ + "/old.key";
  EXPECT_EQ(RegReplaceKeyA(HKEY_USERS, "swap", file.c_str(), old.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "before"), "<fail>");
  RegCloseKey(key);
  EXPECT_EQ(RegLoadKeyA(HKEY_USERS, "Old", old.c_str()), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, "Old", 0, KEY_READ, &key), 0);
  EXPECT_EQ(Query(key, "before"), "1");
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, LoadsAndReplacesOnlyTreesTheStoreFileCanHold) {
  // Saved key files holding a chain of keys named k below their top key.
  const auto chain = [](int levels) {
    Bytes out = B({'Z', 'L', 'V', 'K', 'E', 'Y', 1, '\n'});
    for (int i = 0; i < levels; ++i) out += B({0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 'k'});
    return out + kEmptyBody;
  };
  const std::string deep = dir_ + "/deep.key";
  const std::string fits = dir_ + "/fits.key";
  WriteFile(deep, chain(512));
  WriteFile(fits, chain(511));
  HKEY key = CreateKey(HKEY_USERS, "Swap");
  ASSERT_EQ(Set(key, "keep", REG_SZ, "1"), 0);
  // Below HKEY_USERS\Deep the chain's last key would lie 513 levels deep.
  EXPECT_EQ(RegLoadKeyA(HKEY_USERS, "Deep", deep.c_str()), ERROR_BADKEY);
  EXPECT_EQ(RegReplaceKeyA(HKEY_USERS, "Swap", deep.c_str(), (dir_ + "/old1.key").c_str()),
            ERROR_BADKEY);
  EXPECT_EQ(Query(key, "keep"), "1");
  EXPECT_EQ(RegLoadKeyA(HKEY_USERS, "Fits", fits.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(RegReplaceKeyA(HKEY_USERS, "Swap", fits.c_str(), (dir_ + "/old2.key").c_str()),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  // The store reads back whole.
  Reload();
  EXPECT_EQ(platform::RegistryLoadError(), ERROR_SUCCESS);
  DWORD subKeys = 0;
  EXPECT_EQ(RegQueryInfoKeyA(HKEY_USERS, &subKeys, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(subKeys, 2u);
}

TEST_F(RegistryStoreTest, FindsTheDefaultFileUnderTheConfigFolder) {
  const char* savedXdg = getenv("XDG_CONFIG_HOME");
  const std::string keepXdg = savedXdg ? savedXdg : "";
  setenv("XDG_CONFIG_HOME", (dir_ + "/xdg").c_str(), 1);
  platform::RegistryUseStoreFile(nullptr);
  EXPECT_EQ(platform::RegistryStoreFile(), dir_ + "/xdg/zelvaro/registry.db");
  setenv("XDG_CONFIG_HOME", "relative", 1);
  const char* home = getenv("HOME");
  EXPECT_EQ(platform::RegistryStoreFile(),
            std::string(home ? home : ".") + "/.config/zelvaro/registry.db");
  if (savedXdg) setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
  platform::RegistryUseStoreFile(path_.c_str());
}

TEST(RegistryStoreImage, ReformatsOnlyWellFormedImages) {
  std::string out = "untouched";
  const Bytes bad = "ZLVREG";
  EXPECT_EQ(platform::RegistryReformatStoreImage(reinterpret_cast<const BYTE*>(bad.data()),
                                                 bad.size(), &out), ERROR_BADDB);
  EXPECT_EQ(out, "untouched");
  // Subkeys out of order are read and written back sorted.
  const Bytes unsorted = kStoreMagic + B({0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 'b', 0, 0, 0, 0, 0, 0, 0,
                                          0, 1, 0, 'A', 0, 0, 0, 0, 0, 0, 0, 0}) +
                         kEmptyBody + kEmptyBody + kEmptyBody + kEmptyBody + kEmptyBody;
  ASSERT_EQ(platform::RegistryReformatStoreImage(reinterpret_cast<const BYTE*>(unsorted.data()),
                                                 unsorted.size(), &out), ERROR_SUCCESS);
  EXPECT_EQ(out, kStoreMagic + B({0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 'A', 0, 0, 0, 0, 0, 0, 0, 0, 1, 0,
                                  'b', 0, 0, 0, 0, 0, 0, 0, 0}) +
                     kEmptyBody + kEmptyBody + kEmptyBody + kEmptyBody + kEmptyBody);
}

}  // namespace
