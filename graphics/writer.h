// The base of every image writer and the one save helper they all share:
// a writer knows only its format (header, row conversion, compression) and
// hands the file handling to SaveImageFile.
#pragma once

#include "files/stream.h"
#include "graphics/comment.h"
#include "graphics/exception.h"
#include "graphics/image.h"

// How a writer reports that its file cannot be made or written: each
// function throws the writer's exception and never returns.
struct WriterFailures {
  void (*openError)();
  void (*writeError)();
};

// The body of a save: writes the whole file to the open stream.
using WriterBody = void (*)(void* context, CFileStream& file);

// Runs `body` on the open `file`, then flushes and closes it; a failed flush
// or close is the writer's write error.
void FinishImageStream(CFileStream& file, const WriterFailures& failures, WriterBody body,
                       void* context);

// Saves through `body` to `path`. The file is written to a new temporary file
// beside the target, one without a name where the file system has such
// files, which replaces the target only once everything is written, flushed
// and closed; on any failure (an abort too) the temporary is removed and the
// old file stays as it was, and a process killed meanwhile leaves no unnamed
// temporary behind; a named one it left goes with the next save there. Devices, FIFOs and targets whose folder refuses a
// temporary file are written in place.
void SaveImageFile(const char* path, const WriterFailures& failures, WriterBody body,
                   void* context);
void SaveImageFile(const wchar16* path, const WriterFailures& failures, WriterBody body,
                   void* context);

class CImageWriter {
 public:
  CImageWriter() = default;
  CImageWriter(const CImageWriter&) = default;
  CImageWriter& operator=(const CImageWriter&) = default;
  virtual ~CImageWriter() = default;

  // Writes the whole file to an open stream.
  virtual void Write(CFileStream& file, const CGraphicsImage& image) = 0;
  virtual void Save(const wchar16* path, const CGraphicsImage& image) = 0;
  virtual void Save(const char* path, const CGraphicsImage& image) = 0;

  void SetProgressCallback(ImageWriterProgressFunc fn, DWORD user) {
    comment.progress = fn;
    comment.user = user;
  }

  // Reports `percent`; throws EGraphicsAbort when the callback asks to stop.
  void Progress(DWORD percent);

  CImageComment comment;

 protected:
  // SaveImageFile with a callable body.
  template <class Char, class Body>
  static void SaveWith(const Char* path, const WriterFailures& failures, Body&& body) {
    SaveImageFile(
        path, failures,
        [](void* context, CFileStream& file) { (*static_cast<Body*>(context))(file); },
        const_cast<void*>(static_cast<const void*>(&body)));
  }
};
