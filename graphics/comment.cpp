#include "graphics/comment.h"

#include <cstddef>
#include <type_traits>

namespace {

template <class Char>
size_t Length(const Char* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Copies `count` characters into a fresh block of count + 1 bytes, the last
// one zero.
template <class Char>
char* Duplicate(const Char* text, size_t count) {
  char* copy = new char[count + 1]();
  for (size_t i = 0; i < count; ++i) {
    const auto unit = static_cast<std::make_unsigned_t<Char>>(text[i]);
    copy[i] = static_cast<char>(unit > 0xFF ? 0xFF : unit);
  }
  return copy;
}

}  // namespace

CImageComment::CImageComment(const CImageComment& other)
    : progress(other.progress), user(other.user), length(other.length) {
  if (other.text != nullptr) text = Duplicate(other.text, other.length);
}

CImageComment& CImageComment::operator=(const CImageComment& other) {
  if (this == &other) return *this;
  char* copy = other.text != nullptr ? Duplicate(other.text, other.length) : nullptr;
  delete[] text;
  text = copy;
  length = other.length;
  progress = other.progress;
  user = other.user;
  return *this;
}

CImageComment::~CImageComment() {
  delete[] text;
}

template <class Char>
const char* CImageComment::Store(const Char* source) {
  delete[] text;
  text = nullptr;
  length = 0;
  if (source == nullptr) return nullptr;
  const size_t n = Length(source);
  text = Duplicate(source, n);
  length = DWORD(n + 1);
  return text;
}

const char* CImageComment::SetText(const char* source) {
  return Store(source);
}

const char* CImageComment::SetText(const wchar16* source) {
  return Store(source);
}

void CImageComment::Clear() {
  delete[] text;
  text = nullptr;
  length = 0;
  progress = nullptr;
  user = 0;
}
