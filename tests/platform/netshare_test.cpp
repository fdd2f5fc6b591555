#include "platform/netshare.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SysNetShare, RegisteredSharesAreListedInBatches) {
  SysClearShares();
  ASSERT_TRUE(SysRegisterShare("\\\\host", "one", "/tmp"));
  ASSERT_TRUE(SysRegisterShare("HOST", "two", nullptr, SYS_SHARE_PRINTER));
  ASSERT_TRUE(SysRegisterShare("host", "three", "/"));
  EXPECT_FALSE(SysRegisterShare("host", "ONE", "/"));
  EXPECT_FALSE(SysRegisterShare("", "x", "/"));
  EXPECT_FALSE(SysRegisterShare("host", "", "/"));
  EXPECT_FALSE(SysRegisterShare(std::string(65, 'h').c_str(), "x", "/"));
  EXPECT_FALSE(SysRegisterShare("host", std::string(81, 's').c_str(), "/"));
  EXPECT_FALSE(SysRegisterShare("a\\b", "x", "/"));
  SysSetShareBatchLimit(2);
  SysShareInfo* buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  ASSERT_EQ(SysNetShareEnum(u"\\\\Host", &buffer, &read, &total, &resume), SYS_NET_MORE_DATA);
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(total, 3u);
  EXPECT_EQ(resume, 2u);
  EXPECT_EQ(std::u16string(buffer[0].name), u"one");
  EXPECT_EQ(std::u16string(buffer[0].path), u"/tmp");
  EXPECT_EQ(buffer[1].type, SYS_SHARE_PRINTER);
  EXPECT_EQ(std::u16string(buffer[1].path), u"");
  SysNetApiBufferFree(buffer);
  ASSERT_EQ(SysNetShareEnum(u"host", &buffer, &read, &total, &resume), SYS_NET_OK);
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(std::u16string(buffer[0].name), u"three");
  EXPECT_EQ(resume, 0u);
  SysNetApiBufferFree(buffer);
  SysNetApiBufferFree(buffer);  // a second free is ignored
  EXPECT_EQ(SysShareBuffersLive(), 0);
  EXPECT_EQ(SysNetShareEnum(u"other", &buffer, &read, &total, &resume), SYS_NET_BAD_NETPATH);
  EXPECT_EQ(buffer, nullptr);
  std::string host;
  EXPECT_TRUE(SysShareHostPath("//HOST/One\\a\\b", host));
  EXPECT_EQ(host, "/tmp/a/b");
  EXPECT_FALSE(SysShareHostPath("\\\\host\\two", host));
  EXPECT_FALSE(SysShareHostPath("\\\\host", host));
  EXPECT_EQ(SysShareServerCount(), 1);
  EXPECT_TRUE(SysShareServerName(0, host));
  EXPECT_EQ(host, "host");
  EXPECT_FALSE(SysShareServerName(1, host));
  SysClearShares();
  EXPECT_EQ(SysShareServerCount(), 0);
}

TEST(SysNetShare, Utf8Widening) {
  EXPECT_EQ(SysWidenUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"a\u00E9\u20AC\U0001F600");
  EXPECT_EQ(SysWidenUtf8("\xE9x"), u"\u00E9x");        // a lone Latin-1 byte
  EXPECT_EQ(SysWidenUtf8("\xC3"), u"\u00C3");          // cut sequence
}

}  // namespace
