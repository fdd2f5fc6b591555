// The framework's string class as the libraries use it: a counted run of
// bytes (NUL bytes allowed) that is always terminated behind its length, and
// whose buffer a function can borrow to write into. The same code serves
// every host; it calls nothing of the operating system.
#pragma once

class CString {
 public:
  CString() = default;
  // The text up to its NUL; null is the empty string.
  CString(const char* text);  // NOLINT(google-explicit-constructor)
  // len bytes of text, NULs included; a negative len or null text is empty.
  CString(const char* text, int len);
  CString(const CString& other);
  CString(CString&& other) noexcept;
  CString& operator=(const CString& other);
  CString& operator=(CString&& other) noexcept;
  ~CString();

  int GetLength() const { return length_; }
  bool IsEmpty() const { return length_ == 0; }
  // Frees the content; the string becomes empty.
  void Empty();
  // The bytes, terminated behind GetLength(); never null.
  operator const char*() const { return data_ ? data_ : ""; }  // NOLINT

  // Lends the buffer: n + 1 writable bytes (at least the current length + 1),
  // the content kept and every byte behind it zeroed. A negative n counts as 0.
  char* GetBuffer(int n);
  // Ends a GetBuffer: the length becomes len, or the offset of the first NUL
  // in the buffer when len is negative; a len beyond the buffer is clamped
  // to it. The string is terminated behind the new length.
  void ReleaseBuffer(int len = -1);

 private:
  char* data_ = nullptr;  // length_ + 1 bytes at least, or null when empty
  int length_ = 0;
  int capacity_ = 0;  // writable bytes before the terminator's slot
};
