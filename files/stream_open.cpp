// Opening CFileStream: files by path, memory blocks, resources by "res://"
// name, caller back-ends; and what depends on the kind of stream (size, data).
#include <algorithm>
#include <climits>
#include <new>

#include "files/stream.h"
#include "files/stream_codec.h"
#include "platform/fileio.h"
#include "platform/resource.h"

struct StreamBackends {
  static int FileRead(INT_PTR handle, void* destination, int count) {
    return FdRead(int(handle), destination, count);
  }
  static int FileWrite(INT_PTR handle, const void* source, int count) {
    return FdWrite(int(handle), source, count);
  }
  // Positions stay below 2 GiB: a move beyond fails and leaves the file where
  // it stood.
  static int FileSeek(INT_PTR handle, int offset, int origin) {
    int fd = int(handle);
    int64_t before = 0;
    bool moves = !(origin == FD_SEEK_CUR && offset == 0);
    if (moves && origin != FD_SEEK_SET) before = FdSeek(fd, 0, FD_SEEK_CUR);
    int64_t at = FdSeek(fd, offset, origin);
    if (at > INT_MAX) {
      if (moves && before >= 0) FdSeek(fd, before, FD_SEEK_SET);
      return -1;
    }
    return int(at);
  }
  static int FileClose(INT_PTR handle) { return FdClose(int(handle)); }

  // A memory stream's data is its buffer; these only fill the slots.
  static int MemoryRead(INT_PTR, void*, int) { return 0; }
  static int MemoryWrite(INT_PTR, const void*, int) { return 0; }
  static int MemorySeek(INT_PTR, int, int) { return 0; }
  static int MemoryClose(INT_PTR) { return 0; }
};

namespace {

// Streams open their files without sharing restrictions, so streams never
// keep each other out; a copy or whole-file write still refuses a file a
// stream has open, and a stream one that such a writer holds.
int OpenDescriptor(const char* path, int flags, int permission) {
  return FdOpen(path, flags | FD_OPEN_SHARE_ALL, permission);
}
int OpenDescriptor(const wchar16* path, int flags, int permission) {
  return FdOpenW(path, flags | FD_OPEN_SHARE_ALL, permission);
}
bool ClearReadOnly(const char* path) { return FdClearReadOnly(path); }
bool ClearReadOnly(const wchar16* path) { return FdClearReadOnlyW(path); }

template <class Char>
unsigned Unit(Char c) {
  return static_cast<std::make_unsigned_t<Char>>(c);
}

template <class Char>
unsigned UpperAscii(Char c) {
  unsigned u = Unit(c);
  return (u >= 'a' && u <= 'z') ? u - 32 : u;
}

template <class Char>
bool IsSlash(Char c) {
  return c == Char('/') || c == Char('\\');
}

// "res:" in any case followed by two slashes of either kind.
template <class Char>
bool IsResourcePath(const Char* path) {
  return UpperAscii(path[0]) == 'R' && UpperAscii(path[1]) == 'E' &&
         UpperAscii(path[2]) == 'S' && path[3] == Char(':') && IsSlash(path[4]) &&
         IsSlash(path[5]);
}

template <class Char>
bool EqualsAsciiUpper(const Char* text, const char* upper) {
  for (; *upper != 0; ++text, ++upper) {
    if (UpperAscii(*text) != unsigned(static_cast<unsigned char>(*upper))) return false;
  }
  return *text == 0;
}

// An optional sign and leading decimal digits; true when they make a number
// other than 0, whose value modulo 65536 goes to `id`.
template <class Char>
bool LeadingNumber(const Char* text, WORD* id) {
  bool negative = false;
  if (*text == Char('+') || *text == Char('-')) negative = *text++ == Char('-');
  uint32_t value = 0;  // wraps modulo 2^32, which keeps it right modulo 65536
  bool nonZero = false;
  for (; *text >= Char('0') && *text <= Char('9'); ++text) {
    value = value * 10 + uint32_t(Unit(*text) - '0');
    nonZero |= *text != Char('0');
  }
  if (!nonZero) return false;
  *id = WORD(negative ? 0u - value : value);
  return true;
}

struct NamedType {
  const char* name;
  WORD id;
};
constexpr NamedType kNamedTypes[] = {
    {"CURSOR", RESOURCE_TYPE_CURSOR},
    {"BITMAP", RESOURCE_TYPE_BITMAP},
    {"ICON", RESOURCE_TYPE_ICON},
    {"HTML", RESOURCE_TYPE_HTML},
};

template <class Char>
ResourceKey KeyFromText(const Char* text, bool isType) {
  WORD id;
  if (LeadingNumber(text, &id)) return ResourceKey::Id(id);
  if (isType) {
    for (const NamedType& named : kNamedTypes) {
      if (EqualsAsciiUpper(text, named.name)) return ResourceKey::Id(named.id);
    }
  }
  return ResourceKey::Text(text);
}

template <class Char>
ResourceKey KeyFromTypeArgument(const Char* type) {
  static const Char kData[] = {Char('D'), Char('A'), Char('T'), Char('A'), Char(0)};
  return ResourceKey::Text(type != nullptr ? type : kData);
}

}  // namespace

// ----------------------------------------------------------------- files

template <class Char>
bool CFileStream::OpenT(const Char* path, int mode, bool append) {
  Close();
  if (path == nullptr || mode < STREAM_MODE_READ || mode > STREAM_MODE_CREATE) return false;
  if (mode == STREAM_MODE_READ && IsResourcePath(path)) {
    // "res://[type/]name": the type part is shorter than 63 characters (127
    // in 16-bit text), else the whole rest names a DATA resource.
    const Char* rest = path + 6;
    const Char* slash = rest;
    while (*slash != 0 && !IsSlash(*slash)) ++slash;
    const ptrdiff_t typeLimit = sizeof(Char) == 1 ? 63 : 127;
    Char type[128];
    if (*slash != 0 && slash - rest < typeLimit) {
      std::copy(rest, slash, type);
      type[slash - rest] = 0;
      return OpenResourceKeys(KeyFromText(type, true), KeyFromText(slash + 1, false));
    }
    return OpenResourceKeys(KeyFromTypeArgument<Char>(nullptr), KeyFromText(rest, false));
  }
  const int appendFlag = append ? FD_OPEN_APPEND : 0;
  const int createFlags = FD_OPEN_BINARY | FD_OPEN_READWRITE | FD_OPEN_CREATE;
  int fd;
  if (mode == STREAM_MODE_READ) {
    fd = OpenDescriptor(path, FD_OPEN_BINARY | FD_OPEN_READ | appendFlag, 0);
  } else if (mode == STREAM_MODE_READWRITE) {
    fd = OpenDescriptor(path, FD_OPEN_BINARY | FD_OPEN_READWRITE | appendFlag, 0);
    // Create only what is missing: an existing file the stream cannot open
    // keeps its content and mode.
    if (fd == FD_ERROR_NOT_FOUND) {
      fd = OpenDescriptor(path, createFlags | appendFlag, FD_PERM_READ | FD_PERM_WRITE);
    }
  } else {
    fd = OpenDescriptor(path, createFlags | FD_OPEN_TRUNCATE, FD_PERM_READ | FD_PERM_WRITE);
    if (fd == FD_ERROR_ACCESS && ClearReadOnly(path)) {
      fd = OpenDescriptor(path, createFlags | FD_OPEN_TRUNCATE, FD_PERM_READ | FD_PERM_WRITE);
    }
  }
  if (fd < 0) return false;
  if (!AllocateBuffer()) {
    FdClose(fd);
    return false;
  }
  m_handle = fd;
  m_writable = mode != STREAM_MODE_READ;
  m_read = StreamBackends::FileRead;
  m_write = m_writable ? StreamBackends::FileWrite : nullptr;
  m_seek = StreamBackends::FileSeek;
  m_close = StreamBackends::FileClose;
  m_access = Access::Buffer;
  m_position = m_fill = 0;
  m_sourcePosition = 0;
  m_dirty = m_eof = m_exhausted = false;
  m_open = true;
  return true;
}

bool CFileStream::Open(const char* path, int mode, bool append) {
  return OpenT(path, mode, append);
}

bool CFileStream::OpenW(const wchar16* path, int mode, bool append) {
  return OpenT(path, mode, append);
}

template <class Char>
bool CFileStream::OpenWithCodecT(const Char* path, int mode, bool append,
                                 const StreamCodec* codec) {
  if (!OpenT(path, mode, append)) return false;
  if (codec != nullptr && !InstallCodec(codec)) {
    Close();
    return false;
  }
  return true;
}

bool CFileStream::OpenWithCodec(const char* path, int mode, bool append,
                                const StreamCodec* codec) {
  return OpenWithCodecT(path, mode, append, codec);
}

bool CFileStream::OpenWithCodec(const wchar16* path, int mode, bool append,
                                const StreamCodec* codec) {
  return OpenWithCodecT(path, mode, append, codec);
}

bool CFileStream::InstallCodec(const StreamCodec* codec) {
  if (codec->init == nullptr || codec->init(this, codec, 0) == 0) return false;
  m_codecHook = codec->init;
  return true;
}

// ------------------------------------------------------------- resources

bool CFileStream::OpenResourceKeys(const ResourceKey& type, const ResourceKey& name) {
  Close();
  const BYTE* data;
  DWORD size;
  if (!ResourceFind(type, name, &data, &size)) return false;
  // Mode 0 never writes: the read-only data is only ever read.
  return OpenMemory(const_cast<BYTE*>(data), size, 0, nullptr);
}

bool CFileStream::OpenResource(const char* name, const char* type) {
  if (name == nullptr) return false;
  return OpenResourceKeys(KeyFromTypeArgument(type), ResourceKey::Text(name));
}

bool CFileStream::OpenResource(WORD id, const char* type) {
  return OpenResourceKeys(KeyFromTypeArgument(type), ResourceKey::Id(id));
}

bool CFileStream::OpenResourceW(const wchar16* name, const wchar16* type) {
  if (name == nullptr) return false;
  return OpenResourceKeys(KeyFromTypeArgument(type), ResourceKey::Text(name));
}

bool CFileStream::OpenResourceW(WORD id, const wchar16* type) {
  return OpenResourceKeys(KeyFromTypeArgument(type), ResourceKey::Id(id));
}

// ---------------------------------------------------------------- memory

bool CFileStream::OpenMemory(void* block, unsigned size, int mode, const StreamCodec* codec) {
  Close();
  if (mode < 0 || mode > 3 || size > unsigned(INT_MAX)) return false;
  BYTE* data = static_cast<BYTE*>(block);
  if (data == nullptr && size > 0 && mode != 1) return false;
  m_writable = mode != 0;
  m_access = Access::Block;
  if (mode == 1 && data == nullptr) mode = 2;
  switch (mode) {
    case 0:
      m_buffer = data;
      m_fill = m_capacity = int(size);
      m_position = 0;
      break;
    case 1:  // continue behind the caller's bytes
      m_buffer = data;
      m_position = m_fill = m_capacity = int(size);
      break;
    case 2:
      m_buffer = static_cast<BYTE*>(::operator new(4, std::nothrow));
      if (m_buffer == nullptr) {
        m_writable = false;
        m_access = Access::None;
        return false;
      }
      std::memset(m_buffer, 0, 4);
      m_position = m_fill = m_capacity = 0;
      m_blockSlack = true;
      m_access = Access::GrownBlock;
      break;
    default:
      m_buffer = data;
      m_fill = m_capacity = data != nullptr ? int(size) : 0;
      m_position = 0;
      m_fixed = true;
      break;
  }
  m_handle = reinterpret_cast<INT_PTR>(this);
  m_read = StreamBackends::MemoryRead;
  m_write = m_writable ? StreamBackends::MemoryWrite : nullptr;
  m_seek = StreamBackends::MemorySeek;
  m_close = StreamBackends::MemoryClose;
  m_eof = !m_writable && size < 1;
  m_memory = m_open = m_exhausted = true;
  m_dirty = false;
  ++m_stamp;
  if (codec != nullptr && !InstallCodec(codec)) {
    // The caller never saw a block made here: it goes with the stream.
    if (mode == 2) ::operator delete(m_buffer);
    Close();
    return false;
  }
  ++m_stamp;
  return true;
}

bool CFileStream::OpenCallbacks(INT_PTR handle, StreamReadFunc read, StreamCloseFunc close,
                                StreamWriteFunc write, StreamSeekFunc seek) {
  Close();
  if (!AllocateBuffer()) return false;
  m_handle = handle;
  m_read = read;
  m_close = close;
  m_write = write;
  m_seek = seek;
  m_writable = write != nullptr;
  m_access = Access::None;
  m_position = m_fill = 0;
  m_sourcePosition = 0;
  m_dirty = m_eof = m_exhausted = false;
  m_open = true;
  return true;
}

// ------------------------------------------------------ size and raw data

int CFileStream::GetSize() {
  if (m_seek == nullptr) return -1;
  if (m_codecHook != nullptr) return StreamCodecAccess::StorageSize(this);
  if (m_memory) return m_fill;
  int current = m_seek(m_handle, 0, 1);
  if (current < 0) return -1;
  int end = m_seek(m_handle, 0, 2);
  m_seek(m_handle, current, 0);
  if (end < 0) return -1;
  return m_writable ? std::max(end, Tell()) : end;
}

void* CFileStream::GetData(int* fill) {
  if (fill != nullptr) *fill = 0;
  switch (m_access) {
    case Access::None:
      return nullptr;
    case Access::Codec:
      return StreamCodecAccess::StorageBlock(this, fill);
    case Access::Buffer:
    case Access::GrownBlock:
      m_buffer[m_fill] = 0;
      m_buffer[m_fill + 1] = 0;
      break;
    case Access::Block:
      break;
  }
  if (fill != nullptr) *fill = m_fill;
  return m_buffer;
}
