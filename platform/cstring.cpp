// The string class: plain heap memory, no OS call.
#include "platform/cstring.h"

#include <cstring>
#include <utility>

namespace {

char* CopyBytes(const char* text, int len) {
  char* p = new char[static_cast<size_t>(len) + 1];
  if (len > 0) std::memcpy(p, text, static_cast<size_t>(len));
  p[len] = 0;
  return p;
}

}  // namespace

CString::CString(const char* text) : CString(text, text ? static_cast<int>(std::strlen(text)) : 0) {}

CString::CString(const char* text, int len) {
  if (!text || len <= 0) return;
  data_ = CopyBytes(text, len);
  length_ = capacity_ = len;
}

CString::CString(const CString& other) : CString(other.data_, other.length_) {}

CString::CString(CString&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

CString& CString::operator=(const CString& other) {
  if (this != &other) {
    CString copy(other);
    *this = std::move(copy);
  }
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    delete[] data_;
    data_ = std::exchange(other.data_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

CString::~CString() { delete[] data_; }

void CString::Empty() {
  delete[] data_;
  data_ = nullptr;
  length_ = capacity_ = 0;
}

char* CString::GetBuffer(int n) {
  if (n < length_) n = length_;
  if (!data_ || n > capacity_) {
    char* p = new char[static_cast<size_t>(n) + 1];
    if (length_ > 0) std::memcpy(p, data_, static_cast<size_t>(length_));
    delete[] data_;
    data_ = p;
    capacity_ = n;
  }
  std::memset(data_ + length_, 0, static_cast<size_t>(capacity_ - length_) + 1);
  return data_;
}

void CString::ReleaseBuffer(int len) {
  if (!data_) {
    length_ = 0;
    return;
  }
  if (len < 0) {
    const void* nul = std::memchr(data_, 0, static_cast<size_t>(capacity_));
    len = nul ? static_cast<int>(static_cast<const char*>(nul) - data_) : capacity_;
  } else if (len > capacity_) {
    len = capacity_;
  }
  length_ = len;
  data_[len] = 0;
}
