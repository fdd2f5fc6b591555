#include "graphics/formats/gif_lzw.h"

#include <algorithm>

void CGifLzwCoder::ClearTable() {
  keys_.fill(kEmpty);
  next_ = clear_ + 2;
}

void CGifLzwCoder::Start(int minCodeSize, std::vector<BYTE>& out) {
  minCodeSize = std::clamp(minCodeSize, 2, 8);
  clear_ = DWORD{1} << minCodeSize;
  end_ = clear_ + 1;
  initWidth_ = minCodeSize + 1;
  width_ = initWidth_;
  largest_ = (DWORD{1} << width_) - 1;
  clearing_ = false;
  current_ = kNone;
  accumulator_ = 0;
  bits_ = 0;
  fill_ = 0;
  ClearTable();
  Put(clear_, out);
}

void CGifLzwCoder::Encode(const BYTE* pixels, size_t count, std::vector<BYTE>& out) {
  // Values the code size cannot carry would read back as control codes.
  const DWORD valueMask = clear_ - 1;
  size_t i = 0;
  if (current_ == kNone && count > 0) current_ = pixels[i++] & valueMask;
  for (; i < count; ++i) {
    const DWORD k = pixels[i] & valueMask;
    const auto key = int32_t((k << kMaxBits) + current_);
    int64_t slot = int64_t((k << 4) ^ current_);
    if (keys_[size_t(slot)] == key) {
      current_ = codes_[size_t(slot)];
      continue;
    }
    bool found = false;
    if (keys_[size_t(slot)] != kEmpty) {
      const int64_t displacement = slot == 0 ? 1 : int64_t(kHashSize) - slot;
      for (;;) {
        slot -= displacement;
        if (slot < 0) slot += int64_t(kHashSize);
        if (keys_[size_t(slot)] == key) {
          found = true;
          break;
        }
        if (keys_[size_t(slot)] == kEmpty) break;
      }
    }
    if (found) {
      current_ = codes_[size_t(slot)];
      continue;
    }
    Put(current_, out);
    if (next_ < kMaxCodes) {
      codes_[size_t(slot)] = uint16_t(next_++);
      keys_[size_t(slot)] = key;
    } else {
      ClearTable();
      clearing_ = true;
      Put(clear_, out);
    }
    current_ = k;
  }
}

void CGifLzwCoder::Finish(std::vector<BYTE>& out) {
  if (current_ != kNone) Put(current_, out);
  current_ = kNone;
  Put(end_, out);
  if (bits_ > 0) {
    block_[fill_++] = BYTE(accumulator_);
    accumulator_ = 0;
    bits_ = 0;
  }
  if (fill_ > 0) FlushBlock(out);
}

void CGifLzwCoder::FlushBlock(std::vector<BYTE>& out) {
  out.push_back(BYTE(fill_));
  out.insert(out.end(), block_.begin(), block_.begin() + std::ptrdiff_t(fill_));
  fill_ = 0;
}

void CGifLzwCoder::Put(DWORD code, std::vector<BYTE>& out) {
  accumulator_ |= code << bits_;
  bits_ += width_;
  while (bits_ >= 8) {
    block_[fill_++] = BYTE(accumulator_);
    accumulator_ >>= 8;
    bits_ -= 8;
    if (fill_ == kBlockSize) FlushBlock(out);
  }
  // The decoder widens its codes once its table outgrows the width; it adds
  // each string one code later than this side, hence the test after output.
  if (clearing_) {
    width_ = initWidth_;
    largest_ = (DWORD{1} << width_) - 1;
    clearing_ = false;
  } else if (next_ > largest_) {
    ++width_;
    largest_ = width_ >= kMaxBits ? kMaxCodes : (DWORD{1} << width_) - 1;
  }
}
