#include "platform/findfile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SysMatchFindPattern, WildcardsAndDotRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*", "anything.at.all", true},
      {"*", ".x", true},
      {"*.*", "noext", true},
      {"*.*", "a.b", true},
      {"*.txt", "a.TXT", true},
      {"*.txt", "a.txt.bak", false},
      {"*.txt", ".txt", true},
      {"a*b*c", "aXbYc", true},
      {"a*b*c", "abcabc", true},
      {"a*b*c", "acb", false},
      {"?", "a", true},
      {"?", "", false},
      {"?", "ab", false},
      {"?", "\xC3\xA4", true},        // one character of two bytes
      {"??", "\xC3\xA4", false},
      {"?b", "\xE2\x82\xAC" "b", true},  // three bytes
      {"a.*", "a", true},
      {"a.*", "a.b", true},
      {"a.*", "ab", false},
      {"a*.*", "abc", true},
      {"*.", "readme", true},
      {"*.", "read.me", false},
      {"a.", "a", true},
      {"a.", "ab", false},
      {"\xC3\xA4*", "\xC3\xA4x", true},
      {"\xC3\xA4*", "\xC3\x84x", false},  // case-blind for A-Z only
      {"[a]", "a", false},
      {"[a]", "[A]", true},
      {"**a", "xa", true},
      {"*a*", "bbb", false},
      {"", "a", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SysMatchFindPattern(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
  EXPECT_FALSE(SysMatchFindPattern(nullptr, "a"));
  EXPECT_FALSE(SysMatchFindPattern("*", nullptr));
}

TEST(SysHostPathOf, DrivesServersAndHostPaths) {
  ASSERT_TRUE(SysMapDrive('T', "/srv/root/"));
  std::string host;
  struct Case {
    const char* path;
    const char* host;
  } cases[] = {
      {"T:\\a\\b.txt", "/srv/root/a/b.txt"},
      {"t:/a", "/srv/root/a"},
      {"T:", "/srv/root/"},
      {"T:rel", "/srv/root/rel"},
      {"/x\\y", "/x/y"},
      {"rel\\name", "rel/name"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(SysHostPathOf(c.path, host)) << c.path;
    EXPECT_EQ(host, c.host) << c.path;
  }
  SysMapDrive('T', nullptr);
  EXPECT_FALSE(SysHostPathOf("T:\\a", host));
  EXPECT_FALSE(SysHostPathOf("\\\\nosuch\\share\\a", host));
  EXPECT_FALSE(SysHostPathOf("", host));
  EXPECT_FALSE(SysHostPathOf(nullptr, host));
}

}  // namespace
