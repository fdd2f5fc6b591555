// Test helper: a buffer whose last byte (or first byte) touches a page that
// cannot be read or written, so any access past the buffer's end (or before
// its start) faults at once, in every build.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace zelvaro_test {

class GuardedBuffer {
 public:
  enum class Guard { kAfter, kBefore };

  // `bytes` usable bytes; with kAfter they end at the protected page, with
  // kBefore they start right behind it (page aligned).
  explicit GuardedBuffer(size_t bytes, Guard where = Guard::kAfter);
  ~GuardedBuffer();
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  unsigned char* data() const { return data_; }
  size_t size() const { return size_; }
  template <typename T>
  T* as() const {
    return reinterpret_cast<T*>(data_);
  }

  // Fills the buffer with `size()` bytes from src.
  void Fill(const void* src) { std::memcpy(data_, src, size_); }

 private:
  unsigned char* base_ = nullptr;
  size_t mapped_ = 0;
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
};

// A copy of text (with or without its terminator) that ends at a guard page.
template <typename Char>
class GuardedText {
 public:
  GuardedText(std::basic_string_view<Char> text, bool terminate)
      : buf_((text.size() + (terminate ? 1 : 0)) * sizeof(Char)) {
    std::memcpy(buf_.data(), text.data(), text.size() * sizeof(Char));
    if (terminate) buf_.as<Char>()[text.size()] = Char(0);
  }
  Char* get() const { return buf_.as<Char>(); }

 private:
  GuardedBuffer buf_;
};

}  // namespace zelvaro_test
