// PNG and JPEG files at every depth and awkward widths, read back by libpng
// and libjpeg: PNG exactly, JPEG within the loss its quality allows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/formats/jpeg_dest.h"
#include "graphics/formats/jpeg_writer.h"
#include "graphics/formats/png_writer.h"
#include "graphics/save.h"
#include "save_decode.h"
#include "save_test_support.h"

namespace {

using savetest::ReadBytes;
using savetest::ScratchDir;

constexpr int kWidths[] = {1, 3, 5, 7, 33};

std::vector<BYTE> SaveWith(CImageWriter& writer, const CGraphicsImage& image, const char* name) {
  ScratchDir dir;
  writer.Save((dir / name).c_str(), image);
  return ReadBytes(dir / name);
}

// The expected colour of pixel x of row y as blue, green, red.
const BYTE* Bgr(const CGraphicsImage& image, int y) {
  return image.RowTo24Func(image.Row(y), &image);
}

TEST(PngWriter, EveryDepthAndWidthDecodesToTheSamePixels) {
  for (int bpp : kAllFormats) {
    for (int width : kWidths) {
      for (int alpha : {0, 1}) {
        SCOPED_TRACE(testing::Message() << bpp << " bpp, width " << width << " alpha " << alpha);
        CGraphicsImage image;
        savetest::MakeRandomImage(image, bpp, width, 4, uint32_t(bpp * 100 + width));
        CPngWriter writer;
        writer.keepAlpha = DWORD(alpha);
        const savetest::DecodedPng png = savetest::DecodePng(SaveWith(writer, image, "a.png"));
        ASSERT_TRUE(png.ok);
        ASSERT_EQ(png.width, width);
        ASSERT_EQ(png.height, 4);
        EXPECT_TRUE(png.texts.empty());
        if (bpp <= 8) {
          EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_PALETTE);
          EXPECT_EQ(png.bitDepth, bpp);
          ASSERT_EQ(png.palette.size(), size_t(1) << bpp);
          for (size_t i = 0; i < png.palette.size(); ++i) {
            EXPECT_EQ(png.palette[i].red, image.palette[i].rgbRed);
            EXPECT_EQ(png.palette[i].green, image.palette[i].rgbGreen);
            EXPECT_EQ(png.palette[i].blue, image.palette[i].rgbBlue);
          }
          for (int y = 0; y < 4; ++y)
            for (int x = 0; x < width; ++x)
              ASSERT_EQ(png.rows[y][x], image.PixelGetFunc(image.Row(y), x)) << x << "," << y;
          continue;
        }
        const bool rgba = bpp == 32 && alpha == 1;
        EXPECT_EQ(png.colourType, rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(png.bitDepth, 8);
        const int step = rgba ? 4 : 3;
        for (int y = 0; y < 4; ++y) {
          const BYTE* bgr = Bgr(image, y);
          for (int x = 0; x < width; ++x) {
            const BYTE* got = png.rows[y].data() + x * step;
            ASSERT_EQ(got[0], bgr[3 * x + 2]) << x << "," << y;
            ASSERT_EQ(got[1], bgr[3 * x + 1]);
            ASSERT_EQ(got[2], bgr[3 * x]);
            if (rgba) {
              ASSERT_EQ(got[3], image.Row(y)[4 * x + 3]);
            }
          }
        }
      }
    }
  }
}

TEST(PngWriter, CommentBecomesAnUncompressedTextChunk) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(8, 2, 2, 0, nullptr));
  struct Case {
    const char* comment;
    bool chunk;
  } const cases[] = {{"Y = sin(X)", true}, {"", true}, {nullptr, false}};
  for (const Case& c : cases) {
    CPngWriter writer;
    writer.comment.SetText(c.comment);
    const std::vector<BYTE> file = SaveWith(writer, image, "c.png");
    const savetest::DecodedPng png = savetest::DecodePng(file);
    ASSERT_TRUE(png.ok);
    const std::string bytes(file.begin(), file.end());
    if (!c.chunk) {
      EXPECT_TRUE(png.texts.empty());
      EXPECT_EQ(bytes.find("tEXt"), std::string::npos);
      continue;
    }
    ASSERT_EQ(png.texts.size(), 1u);
    EXPECT_EQ(png.texts[0].first, "Comment");
    EXPECT_EQ(png.texts[0].second, c.comment);
    // tEXt, not zTXt or iTXt: length, type, key, a zero byte, the text.
    const size_t at = bytes.find("tEXtComment");
    ASSERT_NE(at, std::string::npos);
    const uint32_t length = uint32_t(file[at - 4]) << 24 | uint32_t(file[at - 3]) << 16 |
                            uint32_t(file[at - 2]) << 8 | file[at - 1];
    EXPECT_EQ(length, uint32_t(8 + std::strlen(c.comment)));
  }
}

double Psnr(const savetest::DecodedJpeg& jpeg, const CGraphicsImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height; ++y) {
    const BYTE* bgr = Bgr(image, y);
    for (int x = 0; x < image.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const double d =
            double(jpeg.pixels[(size_t(y) * image.width + x) * 3 + c]) - bgr[3 * x + 2 - c];
        sum += d * d;
      }
  }
  const double mse = sum / (3.0 * image.width * image.height);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

TEST(JpegWriter, EveryDepthAndWidthDecodesToTheFlatColour) {
  for (int bpp : kAllFormats) {
    for (int width : kWidths) {
      SCOPED_TRACE(testing::Message() << bpp << " bpp, width " << width);
      CGraphicsImage image;
      // Palette index 5 or the colour itself; the image's own conversion
      // gives the expected colour.
      ASSERT_TRUE(image.Create(bpp, width, 5, bpp <= 8 ? 5 : 0x3080C0, nullptr));
      image.SetPaletteEntry(5, 0x3080C0);
      CJpegWriter writer;
      const savetest::DecodedJpeg jpeg = savetest::DecodeJpeg(SaveWith(writer, image, "a.jpg"));
      ASSERT_TRUE(jpeg.ok);
      EXPECT_EQ(jpeg.width, width);
      EXPECT_EQ(jpeg.height, 5);
      EXPECT_EQ(jpeg.components, 3);
      EXPECT_TRUE(jpeg.comments.empty());
      const BYTE* bgr = Bgr(image, 0);
      for (size_t i = 0; i < jpeg.pixels.size(); i += 3) {
        ASSERT_NEAR(jpeg.pixels[i], bgr[2], 3) << i;
        ASSERT_NEAR(jpeg.pixels[i + 1], bgr[1], 3) << i;
        ASSERT_NEAR(jpeg.pixels[i + 2], bgr[0], 3) << i;
      }
    }
  }
}

TEST(JpegWriter, SmoothPictureKeepsAbove30Decibels) {
  for (int bpp : {8, 16, 24, 32}) {
    SCOPED_TRACE(bpp);
    CGraphicsImage image;
    savetest::MakeSmoothImage(image, bpp, 96, 64);
    CJpegWriter writer;
    const savetest::DecodedJpeg jpeg = savetest::DecodeJpeg(SaveWith(writer, image, "s.jpg"));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_GE(Psnr(jpeg, image), 30.0);
  }
}

TEST(JpegWriter, FlatBlocksKeepTheirColourAndChannelOrder) {
  const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x808080, 0x203040};
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 16 * 6, 16, 0, nullptr));
  for (int i = 0; i < 6; ++i) image.FillRect(16 * i, 0, 16, 16, colours[i]);
  CJpegWriter writer;
  const savetest::DecodedJpeg jpeg = savetest::DecodeJpeg(SaveWith(writer, image, "f.jpg"));
  ASSERT_TRUE(jpeg.ok);
  for (int i = 0; i < 6; ++i) {
    const BYTE* px = jpeg.pixels.data() + (8 * jpeg.width + 16 * i + 8) * 3;
    EXPECT_NEAR(px[0], int(colours[i] >> 16 & 255), 2) << i;
    EXPECT_NEAR(px[1], int(colours[i] >> 8 & 255), 2) << i;
    EXPECT_NEAR(px[2], int(colours[i] & 255), 2) << i;
  }
}

TEST(JpegWriter, GreyscaleUsesTheWeightedSum) {
  struct Case {
    uint32_t colour;
    int grey;
  } const cases[] = {{0xFFFFFF, 255}, {0xFF0000, 76}, {0x00FF00, 150}, {0x0000FF, 28}};
  for (const Case& c : cases) {
    CGraphicsImage image;
    ASSERT_TRUE(image.Create(24, 16, 16, c.colour, nullptr));
    CJpegWriter writer;
    writer.SetGreyscale(true);
    EXPECT_TRUE(writer.GetGreyscale());
    const savetest::DecodedJpeg jpeg = savetest::DecodeJpeg(SaveWith(writer, image, "g.jpg"));
    ASSERT_TRUE(jpeg.ok);
    ASSERT_EQ(jpeg.components, 1);
    for (BYTE v : jpeg.pixels) ASSERT_NEAR(v, c.grey, 1) << std::hex << c.colour;
  }
}

TEST(JpegWriter, CommentIsOneMarkerWithItsTerminator) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 4, 4, 0, nullptr));
  struct Case {
    const char* comment;
    std::vector<std::vector<BYTE>> markers;
  } const cases[] = {
      {"abc", {{'a', 'b', 'c', 0}}},
      {"", {{0}}},
      {nullptr, {}},
  };
  for (const Case& c : cases) {
    CJpegWriter writer;
    writer.comment.SetText(c.comment);
    const savetest::DecodedJpeg jpeg = savetest::DecodeJpeg(SaveWith(writer, image, "c.jpg"));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.comments, c.markers);
  }
}

TEST(JpegWriter, QualityIsKeptWithinOneToHundred) {
  CJpegWriter writer;
  EXPECT_EQ(writer.GetQuality(), 75u);
  EXPECT_FALSE(writer.GetGreyscale());
  EXPECT_EQ(writer.SetQuality(0), 1u);
  EXPECT_EQ(writer.SetQuality(250), 100u);
  EXPECT_EQ(writer.SetQuality(42), 42u);
  writer.SetGreyscale(true);
  writer.comment.SetText("kept");
  const CJpegWriter copy = writer;
  EXPECT_EQ(copy.GetQuality(), 42u);
  EXPECT_TRUE(copy.GetGreyscale());
  EXPECT_STREQ(copy.comment.text, "kept");
  EXPECT_NE(copy.comment.text, writer.comment.text);

  // A lower quality gives a smaller file of the same picture.
  CGraphicsImage image;
  savetest::MakeSmoothImage(image, 24, 64, 64);
  CJpegWriter low, high;
  low.SetQuality(10);
  high.SetQuality(95);
  EXPECT_LT(SaveWith(low, image, "l.jpg").size(), SaveWith(high, image, "h.jpg").size());
}

TEST(JpegDestination, UnboundDestinationFailsWithTheWriteError) {
  jpeg_compress_struct cinfo = {};
  struct Errors {
    jpeg_error_mgr pub;
    jmp_buf jump;
  } errors = {};
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = [](j_common_ptr c) {
    longjmp(reinterpret_cast<Errors*>(c->err)->jump, 1);
  };
  std::vector<BYTE> row(48, 0x80);
  int failure = 0;
  if (setjmp(errors.jump) == 0) {
    jpeg_create_compress(&cinfo);
    jpeg_unbound_file_dest(&cinfo);
    cinfo.image_width = 16;
    cinfo.image_height = 1;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
    jpeg_finish_compress(&cinfo);
  } else {
    failure = errors.pub.msg_code;
  }
  jpeg_destroy_compress(&cinfo);
  EXPECT_EQ(failure, 37);  // JERR_FILE_WRITE
  EXPECT_EQ(jpeg_file_write(nullptr, row.data(), 4), -1);
  EXPECT_EQ(jpeg_file_read(nullptr, row.data(), 4), -1);
}

TEST(JpegDestination, WritesThroughTheStreamInWholeBuffers) {
  CGraphicsImage image;
  savetest::MakeRandomImage(image, 24, 200, 100, 9);
  CJpegWriter writer;
  ScratchDir dir;
  CFileStream stream;
  ASSERT_TRUE(stream.Open((dir / "s.jpg").c_str(), STREAM_MODE_CREATE));
  writer.Write(stream, image);
  ASSERT_TRUE(stream.Close());
  const std::vector<BYTE> file = ReadBytes(dir / "s.jpg");
  EXPECT_GT(file.size(), 4096u);
  EXPECT_EQ(file.back(), 0xD9);
  const savetest::DecodedJpeg jpeg = savetest::DecodeJpeg(file);
  EXPECT_TRUE(jpeg.ok);
  std::vector<BYTE> back(4);
  CFileStream reader;
  ASSERT_TRUE(reader.Open((dir / "s.jpg").c_str()));
  EXPECT_EQ(jpeg_file_read(&reader, back.data(), 4), 4);
  EXPECT_EQ(back, std::vector<BYTE>(file.begin(), file.begin() + 4));
}

}  // namespace

namespace {

// Writes through `write` into a growing memory stream and returns the bytes.
template <class Write>
std::vector<BYTE> IntoMemory(Write&& write) {
  CFileStream stream;
  EXPECT_TRUE(stream.OpenMemory(nullptr, 0, 2));
  write(stream);
  int fill = 0;
  BYTE* data = static_cast<BYTE*>(stream.GetData(&fill));
  std::vector<BYTE> bytes(data, data + fill);
  stream.Close();
  ::operator delete(data);
  return bytes;
}

TEST(PngWriter, ExtendedFormsTakeTheAlphaArgumentOverTheSetting) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(32, 2, 2, 0x7F010203, nullptr));
  CPngWriter writer;
  const std::vector<BYTE> rgba = IntoMemory([&](CFileStream& s) { writer.WriteEx(s, image, 3); });
  ASSERT_GT(rgba.size(), 26u);
  EXPECT_EQ(rgba[25], 6);
  EXPECT_EQ(writer.stream, nullptr);  // bound during the write only
  writer.keepAlpha = 1;
  const std::vector<BYTE> rgb = IntoMemory([&](CFileStream& s) { writer.WriteEx(s, image, 2); });
  EXPECT_EQ(rgb[25], 2);
  EXPECT_EQ(IntoMemory([&](CFileStream& s) { writer.Write(s, image); }), rgba);

  ScratchDir dir;
  const std::u16string wide = std::u16string(dir.path().begin(), dir.path().end()) + u"/w.png";
  writer.SaveEx(wide.c_str(), image, 0);
  EXPECT_EQ(ReadBytes(dir / "w.png"), rgb);
  writer.Save(wide.c_str(), image);
  EXPECT_EQ(ReadBytes(dir / "w.png"), rgba);
}

TEST(JpegDestination, SecondBindingReusesTheRecord) {
  jpeg_compress_struct cinfo = {};
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  CFileStream a, b;
  jpeg_file_dest(&cinfo, &a);
  jpeg_destination_mgr* first = cinfo.dest;
  ASSERT_NE(first, nullptr);
  jpeg_file_dest(&cinfo, &b);
  EXPECT_EQ(cinfo.dest, first);
  jpeg_unbound_file_dest(&cinfo);
  EXPECT_EQ(cinfo.dest, first);
  jpeg_destroy_compress(&cinfo);
}

}  // namespace
