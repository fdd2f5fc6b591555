#include "graphics/formats/tiff_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

[[noreturn]] void ThrowOpenError() {
  ThrowGraphics<ETiffError>(GraphicsMessage::CreateFile);
}
[[noreturn]] void ThrowWriteError() {
  ThrowGraphics<ETiffError>(GraphicsMessage::WriteFailed);
}
[[noreturn]] void ThrowNotSupported() {
  ThrowGraphics<ETiffError>(GraphicsMessage::TiffModeNotSupported);
}

constexpr char kSoftware[] = "RI Videvi Zor";

enum : WORD { kShort = 3, kLong = 4, kAscii = 2, kRational = 5 };

void PutU16(std::vector<BYTE>& out, DWORD value) {
  out.push_back(BYTE(value));
  out.push_back(BYTE(value >> 8));
}
void PutU32(std::vector<BYTE>& out, DWORD value) {
  PutU16(out, value);
  PutU16(out, value >> 16);
}

// The file from the writer's point of view: bytes appended, their offset
// counted from the start of the TIFF.
class Output {
 public:
  explicit Output(CFileStream& file) : file_(file) {}
  DWORD at() const { return DWORD(at_); }
  void Write(const void* data, size_t count) {
    if (count == 0) return;
    if (count > size_t(std::numeric_limits<int>::max()) ||
        file_.Write(data, int(count)) != int(count)) {
      ThrowWriteError();
    }
    at_ += count;
  }
  void Write(const std::vector<BYTE>& bytes) { Write(bytes.data(), bytes.size()); }
  // The directory and every value it points at begin on a word boundary.
  void AlignToWord() {
    static const BYTE zero = 0;
    if (at_ & 1) Write(&zero, 1);
  }
  // Puts the directory offset into the header, 4 bytes after the start,
  // and returns to the end.
  void PatchDirectoryOffset(DWORD offset) {
    BYTE value[4] = {BYTE(offset), BYTE(offset >> 8), BYTE(offset >> 16), BYTE(offset >> 24)};
    const int64_t back = int64_t(at_) - 4;
    if (file_.Seek(-int(back), 1) < 0 || file_.Write(value, 4) != 4) ThrowWriteError();
    // Back to the end, so that a caller can write on after the TIFF.
    if (file_.Seek(int(back) - 4, 1) < 0) ThrowWriteError();
    if (!file_.Flush()) ThrowWriteError();
  }

 private:
  CFileStream& file_;
  uint64_t at_ = 0;
};

struct Entry {
  WORD tag;
  WORD type;
  DWORD count;
  DWORD value;
};

// A value that fits in the entry itself goes there; a longer one is written
// to the file and the entry points at it.
Entry Placed(Output& out, WORD tag, WORD type, DWORD count, const std::vector<BYTE>& bytes) {
  if (bytes.size() <= 4) {
    DWORD value = 0;
    for (size_t i = 0; i < bytes.size(); ++i) value |= DWORD(bytes[i]) << (8 * i);
    return {tag, type, count, value};
  }
  out.AlignToWord();
  const DWORD offset = out.at();
  out.Write(bytes);
  return {tag, type, count, offset};
}

// The grey a palette index must have for the image to be written as grey
// levels (the full range, as TIFF readers scale them).
bool IsGreyRamp(const CGraphicsImage& image) {
  const DWORD levels = DWORD{1} << image.bpp;
  if (image.paletteSize != levels) return false;
  for (DWORD i = 0; i < levels; ++i) {
    const RGBQUAD& entry = image.palette[i];
    const DWORD grey = i * 255 / (levels - 1);
    if (entry.rgbRed != grey || entry.rgbGreen != grey || entry.rgbBlue != grey) return false;
  }
  return true;
}

// Each byte less the byte of the same sample one pixel before.
void Difference(BYTE* row, size_t count, size_t samples) {
  for (size_t i = count; i-- > samples;) row[i] = BYTE(row[i] - row[i - samples]);
}

}  // namespace

const WriterFailures CTiffWriter::failures = {ThrowOpenError, ThrowWriteError};

void CTiffWriter::Save(const char* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CTiffWriter::Save(const wchar16* path, const CGraphicsImage& image) {
  SaveWith(path, failures, [&](CFileStream& file) { Write(file, image); });
}

void CTiffWriter::Write(CFileStream& file, const CGraphicsImage& image) {
  if (!image.HasPixels() || image.width < 1 || image.height < 1) {
    ThrowGraphics<ETiffError>(GraphicsMessage::TiffEmptyImage);
  }
  const auto width = DWORD(image.width), height = DWORD(image.height);
  DWORD photometric = 1, bitsPerSample = 1, samples = 1, predictor = 1, colours = 0;
  uint64_t rowLength = 0;
  DWORD rowsPerStrip = 0;
  switch (image.bpp) {
    case 1:
    case 4:
    case 8:
      bitsPerSample = DWORD(image.bpp);
      rowLength = (uint64_t{width} * bitsPerSample + 7) / 8;
      if (!IsGreyRamp(image)) {
        photometric = 3;
        colours = image.paletteSize;
      }
      break;
    case 12:
    case 15:
    case 16:
    case 24:
    case 32:
      samples = keepAlpha != 0 && image.bpp == 32 ? 4 : 3;
      bitsPerSample = 8;
      photometric = 2;
      if (compression == TIFF_COMPRESSION_LZW) predictor = 2;
      rowLength = uint64_t{samples} * width;
      break;
    default:
      ThrowNotSupported();
  }
  if (compression != TIFF_COMPRESSION_NONE && compression != TIFF_COMPRESSION_LZW &&
      compression != TIFF_COMPRESSION_PACKBITS) {
    ThrowNotSupported();
  }
  rowsPerStrip = image.bpp == 1
                     ? 322
                     : DWORD(std::clamp<uint64_t>(8192 / rowLength, 1, uint64_t{height}));
  const DWORD strips = (height + rowsPerStrip - 1) / rowsPerStrip;
  // Offsets are 32 bits wide and the stream counts in int: refuse a file that
  // could outgrow either, LZW's worst case (12 bits a byte, clear codes)
  // included.
  const uint64_t raw = rowLength * height;
  const uint64_t bound = raw + raw / 2 + raw / 64 + uint64_t{height} * 2 + uint64_t{strips} * 8 +
                         uint64_t{comment.length} + 4096;
  if (bound > uint64_t(std::numeric_limits<int>::max())) ThrowNotSupported();

  Output out(file);
  const BYTE header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
  out.Write(header, sizeof header);

  std::vector<DWORD> offsets(strips), counts(strips);
  std::vector<BYTE> row(size_t(rowLength) + 1), packed;
  const int used = int(uint64_t{width} * bitsPerSample % 8);
  const BYTE tailMask = samples == 1 && used != 0 ? BYTE(0xFF << (8 - used)) : BYTE(0xFF);
  Progress(0);
  DWORD y = 0;
  for (DWORD strip = 0; strip < strips; ++strip) {
    offsets[strip] = out.at();
    packed.clear();
    if (compression == TIFF_COMPRESSION_LZW) lzw_.Start(packed);
    const DWORD end = std::min(height, y + rowsPerStrip);
    for (; y < end; ++y) {
      const BYTE* source = image.Row(int(y));
      if (samples == 1) {
        std::memcpy(row.data(), source, size_t(rowLength));
        row[size_t(rowLength) - 1] &= tailMask;
      } else {
        const BYTE* bgr = samples == 4
                              ? reinterpret_cast<const BYTE*>(image.RowCopyTo32Func(source, &image))
                              : image.RowCopyTo24Func(source, &image);
        std::memcpy(row.data(), bgr, size_t(rowLength));
        for (size_t x = 0; x < size_t(rowLength); x += samples) std::swap(row[x], row[x + 2]);
      }
      if (predictor == 2) Difference(row.data(), size_t(rowLength), samples);
      switch (compression) {
        case TIFF_COMPRESSION_LZW:
          lzw_.Encode(row.data(), size_t(rowLength), packed);
          break;
        case TIFF_COMPRESSION_PACKBITS:
          PackBitsRow(row.data(), size_t(rowLength), packed);
          break;
        default:
          packed.insert(packed.end(), row.data(), row.data() + rowLength);
      }
      out.Write(packed);
      packed.clear();
      Progress(DWORD((uint64_t{y} + 1) * 100 / height));
    }
    if (compression == TIFF_COMPRESSION_LZW) {
      lzw_.Finish(packed);
      out.Write(packed);
    }
    counts[strip] = out.at() - offsets[strip];
  }

  std::vector<Entry> entries = {
      {254, kLong, 1, 0},
      {256, kLong, 1, width},
      {257, kLong, 1, height},
      {259, kShort, 1, compression},
      {262, kShort, 1, photometric},
      {266, kShort, 1, 1},
      {278, kLong, 1, rowsPerStrip},
      {277, kShort, 1, samples},
      {296, kShort, 1, 3},
  };
  std::vector<BYTE> bytes;
  for (DWORD i = 0; i < samples; ++i) PutU16(bytes, bitsPerSample);
  // Three samples share one BitsPerSample array; a fourth (alpha) is
  // declared by ExtraSamples.
  entries.push_back(Placed(out, 258, kShort, samples, bytes));
  if (colours > 0) {
    bytes.clear();
    for (int channel = 0; channel < 3; ++channel) {
      for (DWORD i = 0; i < colours; ++i) {
        const RGBQUAD& entry = image.palette[i];
        const BYTE value = channel == 0 ? entry.rgbRed : channel == 1 ? entry.rgbGreen : entry.rgbBlue;
        PutU16(bytes, DWORD{value} * 257);
      }
    }
    entries.push_back(Placed(out, 320, kShort, 3 * colours, bytes));
  }
  bytes.clear();
  for (DWORD offset : offsets) PutU32(bytes, offset);
  entries.push_back(Placed(out, 273, kLong, strips, bytes));
  bytes.clear();
  for (DWORD count : counts) PutU32(bytes, count);
  entries.push_back(Placed(out, 279, kLong, strips, bytes));
  bytes.assign(kSoftware, kSoftware + sizeof kSoftware);
  entries.push_back(Placed(out, 305, kAscii, sizeof kSoftware, bytes));
  if (comment.text != nullptr && comment.text[0] != 0) {
    const size_t length = std::strlen(comment.text) + 1;
    bytes.assign(comment.text, comment.text + length);
    entries.push_back(Placed(out, 270, kAscii, DWORD(length), bytes));
  }
  if (xResolution > 0 && yResolution > 0) {
    bytes.clear();
    PutU32(bytes, xResolution);
    PutU32(bytes, 100);
    PutU32(bytes, yResolution);
    PutU32(bytes, 100);
    out.AlignToWord();
    const DWORD offset = out.at();
    out.Write(bytes);
    entries.push_back({282, kRational, 1, offset});
    entries.push_back({283, kRational, 1, offset + 8});
  }
  if (samples == 4) entries.push_back({338, kShort, 1, 2});  // unassociated alpha
  if (predictor != 1) entries.push_back({317, kShort, 1, predictor});

  // Readers look tags up by binary search: the directory is sorted.
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
  out.AlignToWord();
  const DWORD directory = out.at();
  bytes.clear();
  PutU16(bytes, DWORD(entries.size()));
  for (const Entry& e : entries) {
    PutU16(bytes, e.tag);
    PutU16(bytes, e.type);
    PutU32(bytes, e.count);
    if (e.type == kShort && e.count == 1) {
      PutU16(bytes, e.value);
      PutU16(bytes, 0);
    } else {
      PutU32(bytes, e.value);
    }
  }
  PutU32(bytes, 0);
  out.Write(bytes);
  out.PatchDirectoryOffset(directory);
  Progress(100);
}
