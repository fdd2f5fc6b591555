#include "graphics/formats/tiff_compress.h"

#include <algorithm>

void CTiffLzwCoder::ResetTable() {
  std::fill(hash_.begin(), hash_.end(), uint16_t{0});
  next_ = 258;
}

void CTiffLzwCoder::Start(std::vector<BYTE>& out) {
  if (hash_.empty()) {
    hash_.resize(kHashSize);
    prefix_.resize(4096);
    suffix_.resize(4096);
  }
  current_ = kNone;
  accumulator_ = 0;
  bits_ = 0;
  width_ = 9;
  limit_ = 511;
  ResetTable();
  Put(kClear, out);
}

void CTiffLzwCoder::Put(DWORD code, std::vector<BYTE>& out) {
  accumulator_ = (accumulator_ << width_) | code;
  bits_ += width_;
  while (bits_ >= 8) {
    bits_ -= 8;
    out.push_back(BYTE(accumulator_ >> bits_));
  }
  accumulator_ &= (DWORD{1} << bits_) - 1;
}

void CTiffLzwCoder::Advance(std::vector<BYTE>& out) {
  const DWORD code = next_ < 4096 ? next_++ : next_;
  if (code < limit_) return;
  if (code > 4092) {
    Put(kClear, out);
    ResetTable();
    width_ = 8;
  }
  ++width_;
  limit_ = std::min<DWORD>((DWORD{1} << width_) - 1, 4093);
}

void CTiffLzwCoder::Encode(const BYTE* data, size_t count, std::vector<BYTE>& out) {
  for (size_t i = 0; i < count; ++i) {
    const BYTE byte = data[i];
    if (current_ == kNone) {
      current_ = byte;
      continue;
    }
    size_t slot = ((size_t{byte} << 8) ^ current_) % kHashSize;
    bool found = false;
    while (hash_[slot] != 0) {
      const uint16_t code = hash_[slot];
      if (prefix_[code] == current_ && suffix_[code] == byte) {
        current_ = code;
        found = true;
        break;
      }
      slot = (slot + 2039) % kHashSize;
    }
    if (found) continue;
    Put(current_, out);
    if (next_ < 4096) {
      prefix_[next_] = current_;
      suffix_[next_] = byte;
      hash_[slot] = uint16_t(next_);
    }
    Advance(out);
    current_ = byte;
  }
}

void CTiffLzwCoder::Finish(std::vector<BYTE>& out) {
  if (current_ != kNone) {
    Put(current_, out);
    // A reader adds a table entry after this code and may widen its codes
    // before it reads the end code; the end code must come at that width.
    Advance(out);
  }
  Put(kEnd, out);
  Put(kClear, out);
  if (bits_ > 0) {
    out.push_back(BYTE(accumulator_ << (8 - bits_)));
    accumulator_ = 0;
    bits_ = 0;
  }
  current_ = kNone;
  width_ = 9;
  limit_ = 511;
}

void PackBitsRow(const BYTE* data, size_t count, std::vector<BYTE>& out) {
  size_t i = 0;
  while (i < count) {
    size_t run = 1;
    while (i + run < count && run < 128 && data[i + run] == data[i]) ++run;
    if (run >= 2) {
      out.push_back(BYTE(1 - int(run)));
      out.push_back(data[i]);
      i += run;
      continue;
    }
    size_t end = i + 1;
    while (end < count && end - i < 128 && !(end + 1 < count && data[end] == data[end + 1])) ++end;
    out.push_back(BYTE(end - i - 1));
    out.insert(out.end(), data + i, data + end);
    i = end;
  }
}
