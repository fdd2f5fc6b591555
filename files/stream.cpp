// CFileStream's buffer: reading, line reading, writing, positioning, closing.
//
// A file or callback stream's buffer is in one of two states. Reading: it
// holds [0, fill) read ahead from the back-end, which stands behind the fill.
// Writing (dirty): it holds [0, position) that the back-end has not yet
// received, and the back-end stands where those bytes belong. Before any
// write the read-ahead is given back; before any read the pending bytes are
// flushed. A memory stream's buffer is its data, so it has no states.
#include "files/stream.h"

#include <algorithm>
#include <climits>
#include <new>

namespace {

constexpr int kClosedCapacity = 32768;
constexpr int kMinCapacity = 512;

void Terminate4(BYTE* at) { std::memset(at, 0, 4); }

}  // namespace

CFileStream::CFileStream(int bufferSize) {
  m_capacity = bufferSize < kMinCapacity ? kMinCapacity : bufferSize;
  SetDefaultThreshold();
}

CFileStream::CFileStream(const char* path, int bufferSize) : CFileStream(bufferSize) {
  Open(path, STREAM_MODE_READ, false);
}

CFileStream::CFileStream(const wchar16* path, int bufferSize) : CFileStream(bufferSize) {
  OpenW(path, STREAM_MODE_READ, false);
}

CFileStream::~CFileStream() { Close(); }

void CFileStream::SetDefaultThreshold() {
  m_threshold = m_capacity / 8;
  if (m_threshold < 4096) m_threshold = m_capacity / 2;
}

bool CFileStream::AllocateBuffer() {
  m_buffer = static_cast<BYTE*>(::operator new(size_t(m_capacity) + 4, std::nothrow));
  if (m_buffer == nullptr) return false;
  Terminate4(m_buffer);
  return true;
}

int CFileStream::SetBufferSize(int size, int threshold) {
  if (m_open) return -1;
  int previous = m_capacity;
  if (size < 1) size = kClosedCapacity;
  if (size < kMinCapacity) size = kMinCapacity;
  m_capacity = size;
  if (threshold < 1) {
    threshold = m_capacity / 8;
    if (threshold < 4096) threshold = m_capacity / 2;
  }
  m_threshold = std::min(m_capacity / 2, threshold);
  return previous;
}

int CFileStream::BackendRead(BYTE* destination, int count) {
  ++m_stamp;  // the buffer's content changes (also after a slide or move)
  int got = m_read(m_handle, destination, count);
  if (got < 0 || got > count) return -1;  // a back-end claiming more is broken
  m_sourcePosition += got;
  return got;
}

bool CFileStream::BackendWriteAll(const BYTE* source, int count, int* taken) {
  int done = 0;
  while (done < count) {
    int put = m_write(m_handle, source + done, count - done);
    if (put <= 0 || put > count - done) break;
    done += put;
  }
  *taken = done;
  return done == count;
}

bool CFileStream::LeaveWritingState() { return !m_dirty || Flush(); }

bool CFileStream::LeaveReadingState() {
  if (m_dirty || m_fill == 0) return true;
  int rest = m_fill - m_position;
  if (rest > 0) {
    if (m_seek == nullptr || m_seek(m_handle, -rest, 1) == -1) return false;
    m_sourcePosition -= rest;
  }
  m_position = m_fill = 0;
  return true;
}

// ---------------------------------------------------------------- reading

int CFileStream::Read(void* destination, int count) {
  if (m_read == nullptr) return -1;
  if (count < 1) return 0;
  BYTE* out = static_cast<BYTE*>(destination);
  if (!m_memory && !LeaveWritingState()) return -1;
  int available = m_fill - m_position;
  if (available >= count) {
    std::memcpy(out, m_buffer + m_position, size_t(count));
    m_position += count;
    return count;
  }
  if (available > 0) std::memcpy(out, m_buffer + m_position, size_t(available));
  int copied = available;
  if (m_memory) {
    m_position = m_fill;
    m_eof = true;
    return copied;
  }
  m_position = m_fill = 0;
  int wanted = count - copied;
  if (wanted > m_capacity) {
    int direct = wanted - wanted % m_capacity;
    int got = BackendRead(out + copied, direct);
    if (got < 0) return -1;
    if (got != direct) m_eof = true;
    copied += got;
    wanted -= got;
  }
  if (wanted == 0) return copied;
  int ask = (m_writable && m_capacity >= 512 && wanted < 128) ? 512 : m_capacity;
  int got = BackendRead(m_buffer, ask);
  if (got < 0) return -1;
  if (got == 0) m_exhausted = true;
  if (got < wanted) {
    m_eof = true;
    wanted = got;
  }
  m_fill = got;
  Terminate4(m_buffer + m_fill);
  std::memcpy(out + copied, m_buffer, size_t(wanted));
  m_position = wanted;
  return copied + wanted;
}

namespace {

template <class T>
T LoadLE(const BYTE* bytes) {
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value |= T(bytes[i]) << (8 * i);
  return value;
}

}  // namespace

template <class T>
T CFileStream::ReadLE() {
  constexpr int n = int(sizeof(T));
  if (m_writable || m_read == nullptr) return T(~T(0));
  if (m_fill - m_position >= n) {
    T value = LoadLE<T>(m_buffer + m_position);
    m_position += n;
    return value;
  }
  BYTE bytes[sizeof(T)];
  if (Read(bytes, n) != n) return T(~T(0));
  return LoadLE<T>(bytes);
}

DWORD CFileStream::ReadU8() {
  if (m_writable || m_read == nullptr) return ~DWORD(0);
  if (m_position < m_fill) return m_buffer[m_position++];
  BYTE byte;
  return Read(&byte, 1) == 1 ? byte : ~DWORD(0);
}

DWORD CFileStream::ReadU16() {
  if (m_writable || m_read == nullptr) return ~DWORD(0);
  if (m_fill - m_position >= 2) return ReadLE<WORD>();
  BYTE bytes[2];
  return Read(bytes, 2) == 2 ? LoadLE<WORD>(bytes) : ~DWORD(0);
}

DWORD CFileStream::ReadU32() { return ReadLE<DWORD>(); }

uint64_t CFileStream::ReadU64() { return ReadLE<uint64_t>(); }

int CFileStream::Fill(int need) {
  if (m_read == nullptr) return -1;
  int wanted = std::min(need, m_threshold);
  if (!m_memory && !LeaveWritingState()) return -1;
  int available = m_fill - m_position;
  if (available >= wanted) return available;
  if (m_memory) {
    m_eof = true;
    return available;
  }
  int ask;
  if (m_position > m_capacity - m_threshold) {
    // Slide: keep the last threshold bytes before the end of the window.
    int shift = m_capacity - m_threshold;
    std::memmove(m_buffer, m_buffer + shift, size_t(m_fill - shift));
    m_position -= shift;
    m_fill -= shift;
    ask = m_threshold;
  } else {
    if (!m_writable && m_exhausted) return available;
    ask = m_capacity - m_fill;
  }
  int got = BackendRead(m_buffer + m_fill, ask);
  if (got < 0) return -1;
  if (got == 0) m_exhausted = true;
  if (got < ask) m_eof = true;
  m_fill += got;
  Terminate4(m_buffer + m_fill);
  return m_fill - m_position;
}

int CFileStream::Peek(int skip, const unsigned char** data, int need) {
  if (data != nullptr) *data = nullptr;
  if (skip > 0 && Seek(skip, 1) == -1) return -1;
  int available = Fill(need);
  if (available < 0 || m_access == Access::None) return -1;
  if (m_blockSlack || !m_memory) {
    m_buffer[m_fill] = 0;
    m_buffer[m_fill + 1] = 0;
  }
  if (data != nullptr) *data = m_buffer + m_position;
  return available;
}

// ------------------------------------------------------------ line reading

namespace {

// Index of the first CR or LF among `count` units at `p`, or `count`.
inline int FindLineEnd(const BYTE* p, int count, char) {
  const void* lf = std::memchr(p, '\n', size_t(count));
  int end = lf ? int(static_cast<const BYTE*>(lf) - p) : count;
  const void* cr = std::memchr(p, '\r', size_t(end));
  return cr ? int(static_cast<const BYTE*>(cr) - p) : end;
}

inline int FindLineEnd(const BYTE* p, int count, wchar16) {
  for (int i = 0; i < count; ++i) {
    if (p[2 * i + 1] == 0 && (p[2 * i] == '\n' || p[2 * i] == '\r')) return i;
  }
  return count;
}

inline void CopyUnits(char* line, const BYTE* p, int count) {
  std::memcpy(line, p, size_t(count));
}

inline void CopyUnits(wchar16* line, const BYTE* p, int count) {
  for (int i = 0; i < count; ++i) line[i] = wchar16(p[2 * i] | (p[2 * i + 1] << 8));
}

}  // namespace

// Lines end at CR, LF or CR LF; a line longer than size - 1 units comes in
// pieces of size - 1. Where the bytes fall in the buffer (capacity, short
// back-end reads) never changes the result. A trailing odd byte of 16-bit
// text is one unit with a zero high byte.
template <class Char>
int CFileStream::ReadLineT(Char* line, int size) {
  constexpr int kUnit = int(sizeof(Char));
  if (size < 1 || line == nullptr) return -1;
  line[0] = 0;
  if (m_read == nullptr || size == 1) return -1;
  if constexpr (kUnit == 1) {
    const int available = m_fill - m_position;
    if (!m_writable && available > 0) {
      // The common case: the line and its LF or CR LF lie in the buffer.
      const BYTE* p = m_buffer + m_position;
      const void* lf = std::memchr(p, '\n', size_t(std::min(available, size)));
      if (lf != nullptr) {
        const int k = int(static_cast<const BYTE*>(lf) - p);
        if (m_crStamp != m_stamp || m_position < m_crFrom || m_position > m_crAt) {
          const void* cr = std::memchr(p, '\r', size_t(available));
          m_crAt = cr ? int(static_cast<const BYTE*>(cr) - m_buffer) : m_fill;
          m_crFrom = m_position;
          m_crStamp = m_stamp;
        }
        const int cr = m_crAt - m_position;  // no CR before this distance
        if (cr >= k - 1) {
          const int n = cr == k - 1 ? k - 1 : k;  // CR LF, or LF alone
          std::memcpy(line, p, size_t(n));
          line[n] = 0;
          m_position += k + 1;
          return n;
        }
      }
    }
  }
  if (!m_memory && !LeaveWritingState()) return -1;
  const int limit = size - 1;
  bool ended = m_memory;  // no more bytes can come into the buffer
  bool failed = false;

  // Makes at least one unit (or the final odd byte) available; false at the end.
  auto ensureUnit = [&]() -> bool {
    while (m_fill - m_position < kUnit && !ended) {
      int rest = m_fill - m_position;
      std::memmove(m_buffer, m_buffer + m_position, size_t(rest));
      m_position = 0;
      m_fill = rest;
      int got = BackendRead(m_buffer + m_fill, m_capacity - m_fill);
      if (got < 0) {
        failed = true;
        return false;
      }
      if (got == 0) {
        m_exhausted = true;
        ended = true;
      }
      m_fill += got;
      Terminate4(m_buffer + m_fill);
    }
    return m_fill > m_position;
  };
  auto unitAt = [&]() -> unsigned {
    if (kUnit == 1 || m_fill - m_position == 1) return m_buffer[m_position];
    return unsigned(m_buffer[m_position] | (m_buffer[m_position + 1] << 8));
  };
  auto advanceUnit = [&]() { m_position = std::min(m_position + kUnit, m_fill); };

  int n = 0;
  bool lineEnds = false;
  while (ensureUnit()) {
    int bytes = m_fill - m_position;
    int units = bytes >= kUnit ? bytes / kUnit : 1;
    int span = std::min(units, limit - n);
    int k;
    if (bytes < kUnit) {  // the final odd byte
      unsigned u = m_buffer[m_position];
      k = (u == '\r' || u == '\n') ? 0 : 1;
      if (k == 1) line[n] = Char(u);
      m_position += k;
    } else {
      k = FindLineEnd(m_buffer + m_position, span, Char());
      CopyUnits(line + n, m_buffer + m_position, k);
      m_position += k * kUnit;
    }
    n += k;
    if (k < span || n == limit) {
      lineEnds = true;
      break;
    }
  }
  if (failed) {
    line[0] = 0;
    return -1;
  }
  line[n] = 0;
  if (!lineEnds) {  // the data ended
    m_eof = true;
    return n > 0 ? n : -1;
  }
  // Skip one line end: CR, LF or CR LF (also right after a cut line).
  if (ensureUnit()) {
    unsigned u = unitAt();
    if (u == '\r') {
      advanceUnit();
      if (ensureUnit() && unitAt() == '\n') advanceUnit();
    } else if (u == '\n') {
      advanceUnit();
    }
  }
  if (failed) {
    line[0] = 0;
    return -1;
  }
  return n;
}

int CFileStream::ReadLine(char* line, int size) { return ReadLineT(line, size); }

int CFileStream::ReadLineW(wchar16* line, int size) { return ReadLineT(line, size); }

// ---------------------------------------------------------------- writing

int CFileStream::Write(const void* data, int count) {
  if (m_write == nullptr) return -1;
  if (count < 1) return 0;
  const BYTE* in = static_cast<const BYTE*>(data);
  if ((m_dirty || m_memory) && count <= m_capacity - m_position) {
    std::memcpy(m_buffer + m_position, in, size_t(count));
    m_position += count;
    if (m_position > m_fill) m_fill = m_position;
    m_dirty = true;
    return count;
  }
  if (!m_memory && !LeaveReadingState()) return -1;
  int room = m_capacity - m_position;
  int rest = count;
  if (count > room) {
    if (m_memory && !m_fixed) {
      int64_t need = int64_t(m_position) + count;
      if (need > INT_MAX) return -1;
      int64_t grown = std::max<int64_t>(need * 3 / 2, kClosedCapacity);
      grown = std::min<int64_t>(grown, INT_MAX);
      BYTE* block = static_cast<BYTE*>(::operator new(size_t(grown) + 4, std::nothrow));
      if (block == nullptr) return -1;
      std::memcpy(block, m_buffer, size_t(m_fill));
      ::operator delete(m_buffer);
      m_buffer = block;
      m_capacity = int(grown);
      m_blockSlack = true;
      if (m_access == Access::Block) m_access = Access::GrownBlock;
    } else {
      if (room > 0) {
        std::memcpy(m_buffer + m_position, in, size_t(room));
        m_position += room;
        if (m_position > m_fill) m_fill = m_position;
        m_dirty = true;
        in += room;
        rest -= room;
      }
      if (m_memory) return -1;  // a fixed block is full
      if (!Flush()) return -1;
      if (rest > m_capacity) {
        int taken;
        if (!BackendWriteAll(in, rest, &taken)) return -1;
        m_exhausted = false;
        return count;
      }
    }
  }
  std::memcpy(m_buffer + m_position, in, size_t(rest));
  m_position += rest;
  if (m_position > m_fill) m_fill = m_position;
  m_dirty = true;
  return count;
}

int CFileStream::WriteBytes(uint64_t value, int count) {
  BYTE bytes[sizeof value];
  for (int i = 0; i < count; ++i) bytes[i] = BYTE(value >> (8 * i));
  return Write(bytes, count);
}

bool CFileStream::Flush() {
  if (m_write == nullptr || m_memory) return false;
  if (!m_dirty) return true;
  int taken;
  if (!BackendWriteAll(m_buffer, m_position, &taken)) {
    // Keep what the back-end refused, so a later Flush can hand it on.
    std::memmove(m_buffer, m_buffer + taken, size_t(m_position - taken));
    m_position -= taken;
    m_fill = m_position;
    return false;
  }
  m_dirty = false;
  m_exhausted = false;
  m_position = m_fill = 0;
  return true;
}

// ------------------------------------------------------------ positioning

int CFileStream::Tell() {
  if (!m_open) return -1;
  if (m_memory) return m_position;
  int64_t at;
  if (m_seek != nullptr) {
    int backend = m_seek(m_handle, 0, 1);
    if (backend < 0) return -1;
    at = int64_t(backend) + m_position - (m_dirty ? 0 : m_fill);
  } else {
    if (m_writable) return -1;
    at = m_sourcePosition - m_fill + m_position;
  }
  return (at < 0 || at > INT_MAX) ? -1 : int(at);
}

int CFileStream::Seek(int offset, int origin) {
  if (m_seek == nullptr || origin < 0 || origin > 2) return -1;
  if (m_memory) {
    int64_t base = origin == 0 ? 0 : origin == 1 ? m_position : m_fill;
    int64_t target = std::clamp<int64_t>(base + offset, 0, m_fill);
    int previous = m_position;
    m_position = int(target);
    return previous;
  }
  int previous = Tell();
  if (m_dirty && !Flush()) return -1;
  if (previous == -1) {
    // No position to report (the back-end cannot tell, or the stream stands
    // beyond 2 GiB): the move is passed on as asked, and the buffer is
    // emptied only once the back-end has moved, so a refused move keeps the
    // read-ahead that the next read needs.
    int64_t move = offset;
    if (origin == 1) move -= m_fill - m_position;  // the back-end stands behind the read-ahead
    if (move < INT_MIN || m_seek(m_handle, int(move), origin) < 0) return -1;
    m_position = m_fill = 0;
    m_exhausted = false;
    return -1;
  }
  // Stream offset of the buffer's first byte (the buffer holds read-ahead).
  int64_t bufferStart = int64_t(previous) - m_position;
  int64_t target;
  if (origin == 2) {
    int end = m_seek(m_handle, offset, 2);
    if (end < 0) return -1;
    target = end;
    if (target >= bufferStart && target <= bufferStart + m_fill &&
        m_seek(m_handle, int(bufferStart + m_fill), 0) >= 0) {
      m_position = int(target - bufferStart);
    } else {
      m_position = m_fill = 0;
      if (target < previous) m_exhausted = false;
    }
    return previous;
  }
  target = origin == 0 ? int64_t(offset) : int64_t(previous) + offset;
  if (target < 0 || target > INT_MAX) return -1;
  if (target >= bufferStart && target <= bufferStart + m_fill) {
    m_position = int(target - bufferStart);
    return previous;
  }
  if (m_seek(m_handle, int(target), 0) < 0) return -1;
  m_sourcePosition = target;
  m_position = m_fill = 0;
  if (target < previous) m_exhausted = false;
  return previous;
}

// ---------------------------------------------------------------- closing

void CFileStream::ResetClosed() {
  m_handle = -1;
  m_writable = false;
  m_eof = true;
  m_memory = false;
  m_fixed = false;
  m_exhausted = false;
  m_open = false;
  m_dirty = false;
  m_blockSlack = false;
  m_position = 0;
  m_fill = 0;
  m_capacity = kClosedCapacity;
  SetDefaultThreshold();
  m_sourcePosition = 0;
  m_buffer = nullptr;
  m_close = nullptr;
  m_write = nullptr;
  m_read = nullptr;
  m_seek = nullptr;
  m_codecHook = nullptr;
  m_access = Access::None;
  m_codec = CodecSave();
  ++m_stamp;
}

bool CFileStream::Close() {
  if (!m_open) return false;
  bool ok = true;
  if (m_writable && !m_memory && !Flush()) ok = false;
  if (m_codecHook != nullptr) {
    if (m_codecHook(this, nullptr, 1) == 0) ok = false;
    m_codecHook = nullptr;
  }
  if (!m_memory) ::operator delete(m_buffer);
  m_buffer = nullptr;
  int closed = m_close != nullptr ? m_close(m_handle) : 0;
  if (closed == -1) ok = false;
  ResetClosed();
  return ok;
}
