// The comment and progress callback every image writer carries.
#pragma once

#include "platform/types.h"

class CImageComment;

// A writer's progress report: the writer's CImageComment, the user word, the
// pass-through values 1 and 1, the percentage and the abort byte (starts 0).
using ImageWriterProgressFunc = void (*)(const CImageComment* writer, DWORD user, DWORD a, DWORD b,
                                         DWORD percent, BYTE* abort);

class CImageComment {
 public:
  CImageComment() = default;
  CImageComment(const CImageComment& other);
  CImageComment& operator=(const CImageComment& other);
  ~CImageComment();

  // Stores a heap copy of `text` (null: no comment); returns the copy.
  const char* SetText(const char* text);
  // The same for 16-bit text: each character above 255 becomes the byte 0xFF.
  const char* SetText(const wchar16* text);
  void Clear();

  ImageWriterProgressFunc progress = nullptr;
  DWORD user = 0;
  char* text = nullptr;  // null = no comment
  DWORD length = 0;      // bytes of the copy with its terminator; 0 without text

 private:
  template <class Char>
  const char* Store(const Char* source);
};
