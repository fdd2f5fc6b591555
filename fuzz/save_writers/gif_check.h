// A GIF reader written from the GIF89a format alone, for the writer fuzz
// target: it walks the blocks, decodes every frame's LZW data (refusing codes
// that are not yet defined, streams without an end code and pixel counts
// that do not match) and gives each frame as RGB through its colour table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gifcheck {

struct Frame {
  bool control = false;  // a graphic control extension came before it
  uint8_t controlFlags = 0;
  uint16_t delay = 0;
  uint8_t transparent = 0;
  std::vector<uint8_t> rgb;  // width x height of the screen, from the top
};

struct File {
  int width = 0, height = 0;
  int loops = -1;  // -1: no NETSCAPE2.0 extension
  std::vector<uint8_t> comment;
  std::vector<Frame> frames;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Read(File& file);

 private:
  bool Byte(uint8_t& b) {
    if (at_ >= size_) return false;
    b = data_[at_++];
    return true;
  }
  bool Word(uint16_t& w) {
    uint8_t lo, hi;
    if (!Byte(lo) || !Byte(hi)) return false;
    w = uint16_t(lo | hi << 8);
    return true;
  }
  bool SubBlocks(std::vector<uint8_t>& out) {
    for (uint8_t n; Byte(n) && n != 0;) {
      if (at_ + n > size_) return false;
      out.insert(out.end(), data_ + at_, data_ + at_ + n);
      at_ += n;
    }
    return at_ <= size_ && data_[at_ - 1] == 0;
  }
  bool Table(int bits, std::vector<uint8_t>& table) {
    const size_t n = size_t(3) << bits;
    if (at_ + n > size_) return false;
    table.assign(data_ + at_, data_ + at_ + n);
    at_ += n;
    return true;
  }

  const uint8_t* data_;
  size_t size_, at_ = 0;
};

// Decodes LZW `data` of `codeSize` into exactly `count` indices.
inline bool DecodeLzw(const std::vector<uint8_t>& data, int codeSize, size_t count,
                      std::vector<uint8_t>& out) {
  if (codeSize < 2 || codeSize > 8) return false;
  const int clear = 1 << codeSize, end = clear + 1;
  std::array<uint16_t, 4096> prefix{};
  std::array<uint8_t, 4096> suffix{}, first{};
  for (int i = 0; i < clear; ++i) suffix[size_t(i)] = first[size_t(i)] = uint8_t(i);
  int width = codeSize + 1, next = clear + 2, prev = -1;
  size_t bitAt = 0;
  std::vector<uint8_t> stack;
  for (;;) {
    if (bitAt + size_t(width) > data.size() * 8) return false;  // no end code
    int code = 0;
    for (int b = 0; b < width; ++b, ++bitAt)
      code |= ((data[bitAt / 8] >> (bitAt % 8)) & 1) << b;
    if (code == clear) {
      width = codeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == end) break;
    if (prev < 0) {
      if (code >= clear) return false;
      out.push_back(uint8_t(code));
      prev = code;
      continue;
    }
    if (code > next || (code == next && next >= 4096)) return false;
    const bool known = code < next;
    int walk = known ? code : prev;
    stack.clear();
    if (!known) stack.push_back(first[size_t(prev)]);
    while (walk >= clear) {
      stack.push_back(suffix[size_t(walk)]);
      walk = prefix[size_t(walk)];
    }
    stack.push_back(uint8_t(walk));
    out.insert(out.end(), stack.rbegin(), stack.rend());
    if (next < 4096) {
      prefix[size_t(next)] = uint16_t(prev);
      suffix[size_t(next)] = first[size_t(code == next ? prev : code)];
      first[size_t(next)] = first[size_t(prev)];
      ++next;
      if (next == 1 << width && width < 12) ++width;
    }
    prev = code;
    if (out.size() > count) return false;
  }
  return out.size() == count;
}

inline bool Reader::Read(File& file) {
  static const uint8_t kMagic[6] = {'G', 'I', 'F', '8', '9', 'a'};
  for (uint8_t m : kMagic) {
    uint8_t b;
    if (!Byte(b) || b != m) return false;
  }
  uint16_t w, h;
  uint8_t packed, background, aspect;
  if (!Word(w) || !Word(h) || !Byte(packed) || !Byte(background) || !Byte(aspect)) return false;
  file.width = w;
  file.height = h;
  std::vector<uint8_t> global;
  if ((packed & 0x80) != 0 && !Table((packed & 7) + 1, global)) return false;
  Frame pending;
  for (uint8_t kind; Byte(kind);) {
    if (kind == 0x3B) return at_ == size_;
    if (kind == 0x21) {
      uint8_t label;
      std::vector<uint8_t> body;
      if (!Byte(label) || !SubBlocks(body)) return false;
      if (label == 0xF9) {
        if (body.size() != 4) return false;
        pending.control = true;
        pending.controlFlags = body[0];
        pending.delay = uint16_t(body[1] | body[2] << 8);
        pending.transparent = body[3];
      } else if (label == 0xFE) {
        file.comment.insert(file.comment.end(), body.begin(), body.end());
      } else if (label == 0xFF) {
        if (body.size() != 14 || body[11] != 1) return false;
        file.loops = body[12] | body[13] << 8;
      }
      continue;
    }
    if (kind != 0x2C) return false;
    uint16_t left, top, fw, fh;
    uint8_t flags, codeSize;
    if (!Word(left) || !Word(top) || !Word(fw) || !Word(fh) || !Byte(flags)) return false;
    if (left != 0 || top != 0 || fw != w || fh != h || (flags & 0x40) != 0) return false;
    std::vector<uint8_t> local;
    if ((flags & 0x80) != 0 && !Table((flags & 7) + 1, local)) return false;
    const std::vector<uint8_t>& table = local.empty() ? global : local;
    std::vector<uint8_t> lzw, indices;
    if (!Byte(codeSize) || !SubBlocks(lzw)) return false;
    if (!DecodeLzw(lzw, codeSize, size_t(w) * h, indices)) return false;
    for (uint8_t index : indices) {
      if (size_t(index) * 3 + 2 >= table.size()) return false;
      pending.rgb.insert(pending.rgb.end(), table.begin() + index * 3, table.begin() + index * 3 + 3);
    }
    file.frames.push_back(pending);
    pending = Frame();
  }
  return false;  // no trailer
}

}  // namespace gifcheck
