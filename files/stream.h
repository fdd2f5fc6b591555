// CFileStream: one buffered byte stream over a file, a memory block, a
// resource of the program's own file or back-end functions a caller supplies.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/types.h"

class CFileStream;
struct ResourceKey;

// Open modes of CFileStream::Open / OpenW.
enum : int {
  STREAM_MODE_READ = 0,       // read-only
  STREAM_MODE_READWRITE = 1,  // read and write an existing file, created when missing
  STREAM_MODE_CREATE = 2,     // create or truncate, read and write
};

// Back-end functions, shaped like descriptor I/O: read gives the count read,
// 0 at the end or -1; write the count taken or -1; seek (origin 0 from the
// start, 1 from the current position, 2 from the end) the new position or
// -1; close 0 or -1. `handle` is what the stream was opened with.
using StreamReadFunc = int (*)(INT_PTR handle, void* destination, int count);
using StreamWriteFunc = int (*)(INT_PTR handle, const void* source, int count);
using StreamSeekFunc = int (*)(INT_PTR handle, int offset, int origin);
using StreamCloseFunc = int (*)(INT_PTR handle);

// A text codec between what the stream's user sees and what the storage
// holds. `init` installs the codec with (stream, codec, 0) and removes it with
// (stream, nullptr, 1); non-zero is success.
struct StreamCodec {
  StreamWriteFunc write;
  StreamReadFunc read;
  StreamSeekFunc seek;
  int (*init)(CFileStream* stream, const StreamCodec* codec, int request);
};

// The user sees bytes, the storage holds 16-bit little-endian units (a unit
// above 0xFF reads as 0xFF).
extern const StreamCodec StreamCodec8Over16;
// The user sees 16-bit units (little-endian byte pairs), the storage holds
// bytes (a unit above 0xFF is stored as 0xFF).
extern const StreamCodec StreamCodec16Over8;

class CFileStream {
 public:
  explicit CFileStream(int bufferSize = 32768);
  CFileStream(const char* path, int bufferSize);
  CFileStream(const wchar16* path, int bufferSize);
  ~CFileStream();
  CFileStream(const CFileStream&) = delete;
  CFileStream& operator=(const CFileStream&) = delete;

  // Opening; each closes an open stream first.
  bool Open(const char* path, int mode = STREAM_MODE_READ, bool append = false);
  bool OpenW(const wchar16* path, int mode = STREAM_MODE_READ, bool append = false);
  bool OpenWithCodec(const char* path, int mode, bool append, const StreamCodec* codec);
  bool OpenWithCodec(const wchar16* path, int mode, bool append, const StreamCodec* codec);
  bool OpenResource(const char* name, const char* type = nullptr);
  bool OpenResource(WORD id, const char* type = nullptr);
  bool OpenResourceW(const wchar16* name, const wchar16* type = nullptr);
  bool OpenResourceW(WORD id, const wchar16* type = nullptr);
  // Modes: 0 read `block`; 1 append to `block` (from ::operator new, or
  // null), growing; 2 a new growing block; 3 read and write `block` in place.
  bool OpenMemory(void* block, unsigned size, int mode, const StreamCodec* codec = nullptr);
  bool OpenCallbacks(INT_PTR handle, StreamReadFunc read, StreamCloseFunc close,
                     StreamWriteFunc write = nullptr, StreamSeekFunc seek = nullptr);

  int Read(void* destination, int count);
  DWORD ReadU8();
  DWORD ReadU16();
  DWORD ReadU32();
  uint64_t ReadU64();
  int ReadLine(char* line, int size);
  int ReadLineW(wchar16* line, int size);
  int Peek(int skip, const unsigned char** data, int need);
  int Fill(int need);

  int Write(const void* data, int count);
  // The byte store comes last: a store through a byte pointer may alias any
  // member, so every member read after it would be read again from memory.
  int WriteU8(BYTE value) {
    const int at = m_position;
    if (m_dirty && at < m_capacity) {
      BYTE* const buffer = m_buffer;
      const int next = at + 1;
      m_position = next;
      if (next > m_fill) m_fill = next;
      buffer[at] = value;
      return next;
    }
    return WriteBytes(value, 1);
  }
  int WriteU16(WORD value) { return WriteLE(value); }
  int WriteU32(DWORD value) { return WriteLE(value); }
  int WriteU64(uint64_t value) { return WriteLE(value); }
  int Printf(const char* format, ...);
  int PrintfW(const wchar16* format, ...);

  bool Flush();
  int Tell();
  int Seek(int offset, int origin);
  int GetSize();
  int SetBufferSize(int size, int threshold = 0);
  bool Close();

  // The data a memory stream holds (a block it grew or allocated is then the
  // caller's, to release with ::operator delete after Close), or a file
  // stream's buffer; its valid byte count goes to `fill`. Null for streams
  // over caller functions.
  void* GetData(int* fill = nullptr);
  // A read delivered fewer bytes than asked.
  bool IsEof() const { return m_eof; }
  bool IsOpen() const { return m_open; }

 private:
  friend struct StreamCodecAccess;
  friend struct StreamBackends;

  enum class Access : BYTE { None, Buffer, Block, GrownBlock, Codec };

  template <class T>
  int WriteLE(T value) {
    const int at = m_position;
    if (m_dirty && int(sizeof(T)) <= m_capacity - at) {
      BYTE bytes[sizeof(T)];
      for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = BYTE(value >> (8 * i));
      BYTE* const buffer = m_buffer;
      const int next = at + int(sizeof(T));
      m_position = next;
      if (next > m_fill) m_fill = next;
      std::memcpy(buffer + at, bytes, sizeof(T));
      return next;
    }
    return WriteBytes(uint64_t(value), int(sizeof(T)));
  }
  // The typed writes' way through Write: the low `count` bytes of value,
  // little-endian. Out of line, so the fast paths keep their value in a
  // register.
  int WriteBytes(uint64_t value, int count);
  template <class T>
  T ReadLE();
  template <class Char>
  int ReadLineT(Char* line, int size);
  template <class Char>
  bool OpenT(const Char* path, int mode, bool append);
  template <class Char>
  bool OpenWithCodecT(const Char* path, int mode, bool append, const StreamCodec* codec);
  bool OpenResourceKeys(const ResourceKey& type, const ResourceKey& name);

  bool LeaveWritingState();
  bool LeaveReadingState();
  int BackendRead(BYTE* destination, int count);
  bool BackendWriteAll(const BYTE* source, int count, int* taken);
  int64_t BackendTell();
  void SetDefaultThreshold();
  void ResetClosed();
  bool AllocateBuffer();
  bool InstallCodec(const StreamCodec* codec);

  INT_PTR m_handle = -1;
  bool m_writable = false;
  bool m_eof = true;
  bool m_memory = false;
  bool m_fixed = false;
  bool m_exhausted = false;
  bool m_open = false;
  bool m_dirty = false;
  bool m_blockSlack = false;  // a memory block of ours, with 4 bytes behind it
  int m_position = 0;
  int m_fill = 0;
  int m_capacity = 32768;
  int64_t m_sourcePosition = 0;  // bytes read from the back-end so far
  int m_threshold = 4096;
  BYTE* m_buffer = nullptr;
  StreamCloseFunc m_close = nullptr;
  StreamWriteFunc m_write = nullptr;
  StreamReadFunc m_read = nullptr;
  StreamSeekFunc m_seek = nullptr;
  int (*m_codecHook)(CFileStream*, const StreamCodec*, int) = nullptr;
  Access m_access = Access::None;
  // Line reading on read-only streams remembers where the next CR stands,
  // so that each byte is searched for it once. The note holds while the
  // buffer's content is unchanged: every change bumps m_stamp.
  uint32_t m_stamp = 0;
  uint32_t m_crStamp = ~0u;
  int m_crFrom = 0;  // the search started here ...
  int m_crAt = 0;    // ... and found the next CR here (or the fill)

  // What a codec saved of the stream when it took over the back-end.
  struct CodecSave {
    INT_PTR handle = -1;
    BYTE* block = nullptr;     // memory streams: the storage block
    int blockSize = 0;         // its valid bytes
    int blockCapacity = 0;     // its allocated bytes (without slack)
    bool blockSlack = false;
    bool halfUnit = false;     // 16-over-8: half a unit pending
    BYTE halfByte = 0;         //   ... its byte (write) or nothing (read)
    bool halfRead = false;     // 16-over-8 read: a zero high byte is owed
    StreamWriteFunc write = nullptr;
    StreamReadFunc read = nullptr;
    StreamSeekFunc seek = nullptr;
  } m_codec;
};
