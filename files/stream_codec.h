// Internal: how the text codecs reach into CFileStream.
#pragma once

#include "files/stream.h"

struct StreamCodecAccess {
  // The storage form of a writable memory stream's data, converted into the
  // saved block (grown when needed); its size goes to `fill`.
  static void* StorageBlock(CFileStream* stream, int* fill);
  // The size of the storage behind a stream with a codec.
  static int StorageSize(CFileStream* stream);

  static int Write8Over16(INT_PTR handle, const void* source, int count);
  static int Read8Over16(INT_PTR handle, void* destination, int count);
  static int Seek8Over16(INT_PTR handle, int offset, int origin);
  static int Init8Over16(CFileStream* stream, const StreamCodec* codec, int request);
  static int Write16Over8(INT_PTR handle, const void* source, int count);
  static int Read16Over8(INT_PTR handle, void* destination, int count);
  static int Seek16Over8(INT_PTR handle, int offset, int origin);
  static int Init16Over8(CFileStream* stream, const StreamCodec* codec, int request);

 private:
  static int Init(CFileStream* stream, const StreamCodec* codec, int request, bool wideUser);
  static bool SavedWriteAll(CFileStream* stream, const BYTE* source, int count);
  static int SavedRead(CFileStream* stream, BYTE* destination, int count);
  static bool WideUser(const CFileStream* stream) {
    return stream->m_codecHook == Init16Over8;
  }
};
