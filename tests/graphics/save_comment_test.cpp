// The comment a writer carries: heap copies with their terminator counted,
// 16-bit text narrowed, copies that stay independent.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/comment.h"
#include "graphics/formats/bmp_writer.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/png_writer.h"
#include "save_test_support.h"

namespace {

TEST(ImageComment, NewCommentIsEmpty) {
  const CImageComment c;
  EXPECT_EQ(c.progress, nullptr);
  EXPECT_EQ(c.user, 0u);
  EXPECT_EQ(c.text, nullptr);
  EXPECT_EQ(c.length, 0u);
}

TEST(ImageComment, SetTextCountsTheTerminator) {
  struct Case {
    const char* text;
    DWORD length;
  } const cases[] = {{"abc", 4}, {"", 1}, {"\344\366\374", 4}, {nullptr, 0}};
  for (const Case& c : cases) {
    CImageComment comment;
    comment.SetText("old text");
    const char* stored = comment.SetText(c.text);
    EXPECT_EQ(stored, comment.text);
    EXPECT_EQ(comment.length, c.length);
    if (c.text == nullptr) {
      EXPECT_EQ(comment.text, nullptr);
    } else {
      EXPECT_NE(comment.text, c.text);
      EXPECT_STREQ(comment.text, c.text);
    }
  }
}

TEST(ImageComment, WideTextAbove255BecomesFF) {
  CImageComment comment;
  const wchar16 text[] = {u'a', 0xE4, 0x100, 0x141, 0xFFF, 0x1000, 0xFFFF, u'z', 0};
  comment.SetText(text);
  ASSERT_EQ(comment.length, 9u);
  const BYTE expected[9] = {'a', 0xE4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'z', 0};
  EXPECT_EQ(std::memcmp(comment.text, expected, 9), 0);
  EXPECT_EQ(comment.SetText(static_cast<const wchar16*>(nullptr)), nullptr);
  EXPECT_EQ(comment.length, 0u);
}

void Silent(const CImageComment*, DWORD, DWORD, DWORD, DWORD, BYTE*) {}

TEST(ImageComment, CopiesAreIndependentAndKeepNull) {
  CImageComment a;
  a.SetText("one");
  a.progress = Silent;
  a.user = 77;
  CImageComment b(a);
  EXPECT_NE(b.text, a.text);
  EXPECT_STREQ(b.text, "one");
  EXPECT_EQ(b.length, 4u);
  EXPECT_EQ(b.progress, Silent);
  EXPECT_EQ(b.user, 77u);
  a.SetText("changed");
  EXPECT_STREQ(b.text, "one");

  CImageComment none;
  b = none;
  EXPECT_EQ(b.text, nullptr);
  EXPECT_EQ(b.length, 0u);
  b = a;
  CImageComment& alias = b;
  b = alias;  // onto itself
  EXPECT_STREQ(b.text, "changed");

  b.Clear();
  EXPECT_EQ(b.text, nullptr);
  EXPECT_EQ(b.progress, nullptr);
  EXPECT_EQ(b.user, 0u);
}

std::vector<DWORD> g_reports;
const CImageComment* g_reporter = nullptr;

void Record(const CImageComment* writer, DWORD user, DWORD a, DWORD b, DWORD percent, BYTE* abort) {
  EXPECT_EQ(user, 42u);
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 1u);
  EXPECT_EQ(*abort, 0);
  g_reporter = writer;
  g_reports.push_back(percent);
}

TEST(WriterProgress, BmpReportsStartEveryRowAndEnd) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 3, 0, nullptr));
  savetest::ScratchDir dir;
  CBmpWriter writer;
  writer.SetProgressCallback(Record, 42);
  g_reports.clear();
  writer.Save((dir / "p.bmp").c_str(), image);
  EXPECT_EQ(g_reports, (std::vector<DWORD>{0, 0, 33, 66, 100}));
  EXPECT_EQ(g_reporter, &writer.comment);
}

TEST(WriterProgress, PngReportsStartEveryRowAndEndJpegEveryRow) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 2, 4, 0, nullptr));
  savetest::ScratchDir dir;
  CPngWriter png;
  png.SetProgressCallback(Record, 42);
  g_reports.clear();
  png.Save((dir / "p.png").c_str(), image);
  EXPECT_EQ(g_reports, (std::vector<DWORD>{0, 0, 25, 50, 75, 100}));
  EXPECT_EQ(g_reporter, &png.comment);

  CJpegWriter jpeg;
  jpeg.SetProgressCallback(Record, 42);
  g_reports.clear();
  jpeg.Save((dir / "p.jpg").c_str(), image);
  EXPECT_EQ(g_reports, (std::vector<DWORD>{0, 25, 50, 75}));
  EXPECT_EQ(g_reporter, &jpeg.comment);
}

}  // namespace
