#include "graphics/formats/gif_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<EGifError>(GraphicsMessage::CreateFile);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<EGifError>(GraphicsMessage::WriteFailed);
}

constexpr BYTE kExtension = 0x21;
constexpr BYTE kGraphicControl = 0xF9;
constexpr BYTE kComment = 0xFE;
constexpr BYTE kApplication = 0xFF;
constexpr BYTE kImageSeparator = 0x2C;
constexpr BYTE kTrailer = 0x3B;
constexpr BYTE kColourTable = 0x80;
// Graphic control: the transparent index is valid; restore to previous.
constexpr BYTE kTransparent = 0x01;
constexpr BYTE kRestorePrevious = 0x0C;
constexpr size_t kMaxComment = 239;
constexpr size_t kDrainAt = 32768;

void PutU16(std::vector<BYTE>& out, DWORD value) {
  out.push_back(BYTE(value));
  out.push_back(BYTE(value >> 8));
}

void PutText(std::vector<BYTE>& out, const char* text) {
  out.insert(out.end(), text, text + std::strlen(text));
}

bool IsEmpty(const CGraphicsImage& image) {
  return !image.HasPixels() || image.width < 1 || image.height < 1;
}

// The image itself when it has a palette, else its quantised copy in `copy`.
const CGraphicsImage& Palettised(const CGraphicsImage& image, CGraphicsImage& copy) {
  if (image.bpp <= 8) return image;
  if (!copy.Quantize(image)) ThrowGraphics<EGifError>(GraphicsMessage::CannotHandle);
  return copy;
}

// Bits of the smallest colour table that holds every index the top-left
// width x height pixels use. Up to 16 colours the table has all of them.
int TableBits(const CGraphicsImage& image, int width, int height) {
  if (image.bpp <= 4) return image.bpp;
  const int w = std::min(width, image.width), h = std::min(height, image.height);
  DWORD highest = 0;  // also the index of the padding
  for (int y = 0; y < h && highest < 128; ++y) {
    const BYTE* row = image.RowTo8Func(image.Row(y), &image);
    for (int x = 0; x < w; ++x) {
      highest = std::max<DWORD>(highest, row[x]);
      if (highest >= 128) break;
    }
  }
  int bits = 1;
  while (bits < 8 && (DWORD{1} << bits) <= highest) ++bits;
  return bits;
}

void PutColourTable(std::vector<BYTE>& out, const CGraphicsImage& image, int bits) {
  for (int i = 0; i < 1 << bits; ++i) {
    const RGBQUAD& entry = image.palette[i];
    out.insert(out.end(), {entry.rgbRed, entry.rgbGreen, entry.rgbBlue});
  }
}

bool SameColours(const CGraphicsImage& a, const CGraphicsImage& b, int bits) {
  for (int i = 0; i < 1 << bits; ++i) {
    const RGBQUAD &p = a.palette[i], &q = b.palette[i];
    if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) return false;
  }
  return true;
}

}  // namespace

const WriterFailures CGifWriter::failures = {ThrowOpenError, ThrowWriteError};

void CGifWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CGifWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

namespace {

// Keeps a list for one write only: afterwards the writer writes single
// images again.
struct SequenceScope {
  CGraphicsImage**& images;
  DWORD& count;
  ~SequenceScope() {
    images = nullptr;
    count = 1;
  }
};

}  // namespace

const CGraphicsImage& CGifWriter::BeginSequence(CGraphicsImage** images, DWORD count) {
  if (images == nullptr || images[0] == nullptr) {
    ThrowGraphics<EGifError>(GraphicsMessage::GifNoImages);
  }
  images_ = images;
  imageCount_ = count;
  return *images[0];
}

void CGifWriter::WriteSequence(CFileStream& file, CGraphicsImage** images, DWORD count) {
  SequenceScope scope{images_, imageCount_};
  Write(file, BeginSequence(images, count));
}

void CGifWriter::SaveSequence(const char* path, CGraphicsImage** images, DWORD count) {
  SequenceScope scope{images_, imageCount_};
  Save(path, BeginSequence(images, count));
}

void CGifWriter::SaveSequence(const wchar16* path, CGraphicsImage** images, DWORD count) {
  SequenceScope scope{images_, imageCount_};
  Save(path, BeginSequence(images, count));
}

void CGifWriter::Drain(bool all) {
  if (out_.empty() || (!all && out_.size() < kDrainAt)) return;
  if (out_.size() > size_t(std::numeric_limits<int>::max()) ||
      file_->Write(out_.data(), int(out_.size())) != int(out_.size())) {
    ThrowWriteError();
  }
  out_.clear();
}

void CGifWriter::ProgressRow() {
  progressAt_ += progressStep_;
  Progress(std::min<DWORD>(progressAt_ >> 24, 100));
}

void CGifWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  if (IsEmpty(image)) ThrowGraphics<EGifError>(GraphicsMessage::GifImageEmpty);
  CGraphicsImage quantised;
  const CGraphicsImage& first = Palettised(image, quantised);
  const DWORD count = images_ == nullptr || imageCount_ == 0 ? 1 : imageCount_;
  const int width = first.width, height = first.height;

  file_ = &file;
  out_.clear();
  PutText(out_, "GIF89a");
  PutU16(out_, DWORD(width));
  PutU16(out_, DWORD(height));
  const int bits = TableBits(first, width, height);
  out_.push_back(BYTE(kColourTable | (bits - 1) << 4 | (bits - 1)));
  out_.push_back(BYTE(background_));
  out_.push_back(0);  // no aspect ratio given
  PutColourTable(out_, first, bits);

  if (count > 1) {
    // Loop count 0: the animation repeats endlessly.
    out_.insert(out_.end(), {kExtension, kApplication, 11});
    PutText(out_, "NETSCAPE2.0");
    out_.insert(out_.end(), {3, 1, 0, 0, 0});
  }

  // Comment blocks are meant for 7-bit ASCII.
  std::vector<BYTE> text;
  for (const char* c = comment.text; c != nullptr && *c != 0 && text.size() < kMaxComment; ++c) {
    if ((BYTE(*c) & 0x80) == 0) text.push_back(BYTE(*c));
  }
  if (!text.empty()) {
    out_.insert(out_.end(), {kExtension, kComment, BYTE(text.size())});
    out_.insert(out_.end(), text.begin(), text.end());
    out_.push_back(0);
  }

  progressAt_ = 0;
  progressStep_ = DWORD((uint64_t{100} << 24) / (uint64_t{count} * DWORD(height)));
  Progress(0);

  WriteFrame(first, first, bits, count);
  CGraphicsImage frameCopy;
  for (DWORD i = 1; i < count; ++i) {
    const CGraphicsImage* frame = images_[i];
    if (frame == nullptr) ThrowGraphics<EGifError>(GraphicsMessage::GifImageMissing);
    if (IsEmpty(*frame)) ThrowGraphics<EGifError>(GraphicsMessage::GifImageEmpty);
    WriteFrame(Palettised(*frame, frameCopy), first, bits, count);
  }
  out_.push_back(kTrailer);
  Drain(true);
  file_ = nullptr;
  Progress(100);
}

void CGifWriter::WriteFrame(const CGraphicsImage& frame, const CGraphicsImage& first,
                            int tableBits, DWORD count) {
  const int width = first.width, height = first.height;
  if (transparentIndex < 256 || count > 1) {
    out_.insert(out_.end(), {kExtension, kGraphicControl, 4});
    out_.push_back(BYTE((transparentIndex < 256 ? kTransparent : 0) |
                        (count > 1 ? kRestorePrevious : 0)));
    PutU16(out_, frameDelay_);
    out_.push_back(BYTE(transparentIndex));
    out_.push_back(0);
  }
  out_.push_back(kImageSeparator);
  PutU16(out_, 0);
  PutU16(out_, 0);
  PutU16(out_, DWORD(width));
  PutU16(out_, DWORD(height));
  // A frame whose indices or colours the global table does not show gets its
  // own table.
  int localBits = 0;
  if (&frame != &first) {
    const int bits = TableBits(frame, width, height);
    if (bits > tableBits || !SameColours(frame, first, bits)) localBits = bits;
  }
  if (localBits != 0) {
    out_.push_back(BYTE(kColourTable | (localBits - 1)));
    PutColourTable(out_, frame, localBits);
  } else {
    out_.push_back(0);
  }
  const int codeSize = std::max(frame.bpp, 2);
  out_.push_back(BYTE(codeSize));
  lzw_.Start(codeSize, out_);
  const int w = std::min(width, frame.width);
  row_.assign(size_t(width), 0);
  for (int y = 0; y < height; ++y) {
    if (y < frame.height) {
      const BYTE* indices = frame.RowTo8Func(frame.Row(y), &frame);
      if (w == width) {
        lzw_.Encode(indices, size_t(width), out_);
      } else {
        std::memcpy(row_.data(), indices, size_t(w));
        lzw_.Encode(row_.data(), size_t(width), out_);
      }
    } else {
      std::fill(row_.begin(), row_.end(), BYTE{0});
      lzw_.Encode(row_.data(), size_t(width), out_);
    }
    Drain(false);
    ProgressRow();
  }
  lzw_.Finish(out_);
  out_.push_back(0);  // block terminator
}
