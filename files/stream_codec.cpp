// Text codecs between 8-bit and 16-bit text under a CFileStream. On a file or
// callback stream the codec sits between the buffer and the saved back-end;
// on a memory stream the whole block is converted into the user's form and
// converted back on request.
#include <algorithm>
#include <climits>
#include <new>

#include "files/stream_codec.h"

const StreamCodec StreamCodec8Over16 = {
    StreamCodecAccess::Write8Over16, StreamCodecAccess::Read8Over16,
    StreamCodecAccess::Seek8Over16, StreamCodecAccess::Init8Over16};

const StreamCodec StreamCodec16Over8 = {
    StreamCodecAccess::Write16Over8, StreamCodecAccess::Read16Over8,
    StreamCodecAccess::Seek16Over8, StreamCodecAccess::Init16Over8};

namespace {

constexpr int kBlock = 1024;

CFileStream* StreamOf(INT_PTR handle) { return reinterpret_cast<CFileStream*>(handle); }

// A 16-bit unit as one byte: its low byte, or 0xFF when it does not fit.
inline BYTE Narrow(unsigned low, unsigned high) { return high == 0 ? BYTE(low) : BYTE(0xFF); }

int ClampPosition(int64_t at) { return (at < 0 || at > INT_MAX) ? -1 : int(at); }

}  // namespace

bool StreamCodecAccess::SavedWriteAll(CFileStream* s, const BYTE* source, int count) {
  int done = 0;
  while (done < count) {
    int put = s->m_codec.write(s->m_codec.handle, source + done, count - done);
    if (put <= 0 || put > count - done) return false;
    done += put;
  }
  return true;
}

int StreamCodecAccess::SavedRead(CFileStream* s, BYTE* destination, int count) {
  int got = s->m_codec.read(s->m_codec.handle, destination, count);
  return got > count ? -1 : got;
}

// ------------------------------------------------------- bytes over units

int StreamCodecAccess::Write8Over16(INT_PTR handle, const void* source, int count) {
  CFileStream* s = StreamOf(handle);
  const BYTE* in = static_cast<const BYTE*>(source);
  BYTE block[kBlock];
  int used = 0;
  for (int i = 0; i < count; ++i) {
    block[used++] = in[i];
    block[used++] = 0;
    if (used == kBlock) {
      if (!SavedWriteAll(s, block, used)) return -1;
      used = 0;
    }
  }
  if (used > 0 && !SavedWriteAll(s, block, used)) return -1;
  return count;
}

int StreamCodecAccess::Read8Over16(INT_PTR handle, void* destination, int count) {
  CFileStream* s = StreamOf(handle);
  BYTE* out = static_cast<BYTE*>(destination);
  BYTE block[kBlock + 1];
  int produced = 0;
  while (produced < count) {
    int ask = int(std::min<int64_t>(kBlock, 2 * int64_t(count - produced)));
    int got = SavedRead(s, block, ask);
    if (got < 0) return produced > 0 ? produced : -1;
    if (got == 0) break;
    if (got & 1) {  // complete a unit the back-end split
      int more = SavedRead(s, block + got, 1);
      if (more == 1) ++got;
    }
    for (int i = 0; i + 1 < got; i += 2) out[produced++] = Narrow(block[i], block[i + 1]);
    if (got & 1) out[produced++] = block[got - 1];  // a final odd byte: high byte 0
    if (got < ask) break;
  }
  return produced;
}

int StreamCodecAccess::Seek8Over16(INT_PTR handle, int offset, int origin) {
  CFileStream* s = StreamOf(handle);
  int64_t storage = 2 * int64_t(offset);
  if (storage < INT_MIN || storage > INT_MAX) return -1;
  int at = s->m_codec.seek(s->m_codec.handle, int(storage), origin);
  return at < 0 ? -1 : at / 2;
}

int StreamCodecAccess::Init8Over16(CFileStream* stream, const StreamCodec* codec, int request) {
  return Init(stream, codec, request, false);
}

// ------------------------------------------------------- units over bytes

int StreamCodecAccess::Write16Over8(INT_PTR handle, const void* source, int count) {
  CFileStream* s = StreamOf(handle);
  CFileStream::CodecSave& c = s->m_codec;
  const BYTE* in = static_cast<const BYTE*>(source);
  BYTE block[kBlock];
  int used = 0;
  int i = 0;
  auto flushBlock = [&]() {
    bool ok = SavedWriteAll(s, block, used);
    used = 0;
    return ok;
  };
  if (count > 0 && c.halfUnit) {  // complete the unit the last call began
    block[used++] = Narrow(c.halfByte, in[0]);
    c.halfUnit = false;
    i = 1;
  }
  for (; i + 1 < count; i += 2) {
    block[used++] = Narrow(in[i], in[i + 1]);
    if (used == kBlock && !flushBlock()) return -1;
  }
  if (i < count) {
    c.halfUnit = true;
    c.halfByte = in[i];
  }
  if (used > 0 && !flushBlock()) return -1;
  return count;
}

int StreamCodecAccess::Read16Over8(INT_PTR handle, void* destination, int count) {
  CFileStream* s = StreamOf(handle);
  CFileStream::CodecSave& c = s->m_codec;
  BYTE* out = static_cast<BYTE*>(destination);
  if (count <= 0) return 0;
  int produced = 0;
  if (c.halfRead) {  // the high byte of the unit the last call split
    out[produced++] = 0;
    c.halfRead = false;
  }
  BYTE block[kBlock];
  while (produced < count) {
    int ask = std::min(kBlock, (count - produced + 1) / 2);
    int got = SavedRead(s, block, ask);
    if (got < 0) return produced > 0 ? produced : -1;
    if (got == 0) break;
    for (int i = 0; i < got; ++i) {
      out[produced++] = block[i];
      if (produced < count) {
        out[produced++] = 0;
      } else {
        c.halfRead = true;
      }
    }
    if (got < ask) break;
  }
  return produced;
}

int StreamCodecAccess::Seek16Over8(INT_PTR handle, int offset, int origin) {
  CFileStream* s = StreamOf(handle);
  CFileStream::CodecSave& c = s->m_codec;
  if (origin == 1 && offset == 0) {
    int at = c.seek(c.handle, 0, 1);
    if (at < 0) return -1;
    return ClampPosition(2 * int64_t(at) + c.halfUnit - c.halfRead);
  }
  if (c.halfUnit) {  // a started unit goes out before the position moves
    if (c.write == nullptr || !SavedWriteAll(s, &c.halfByte, 1)) return -1;
    c.halfUnit = false;
  }
  int64_t target;
  if (origin == 0) {
    target = offset;
  } else if (origin == 1) {
    int at = c.seek(c.handle, 0, 1);
    if (at < 0) return -1;
    target = 2 * int64_t(at) - c.halfRead + offset;
  } else {
    int before = c.seek(c.handle, 0, 1);
    int end = c.seek(c.handle, 0, 2);
    if (end < 0) return -1;
    if (before >= 0) c.seek(c.handle, before, 0);
    target = 2 * int64_t(end) + offset;
  }
  if (target < 0 || target > INT_MAX) return -1;
  // An odd position lies behind a unit's low byte: the storage stands behind
  // that unit and its zero high byte is still owed.
  int64_t storage = target / 2 + (target & 1);
  if (c.seek(c.handle, int(storage), 0) < 0) return -1;
  c.halfRead = (target & 1) != 0;
  return int(target);
}

int StreamCodecAccess::Init16Over8(CFileStream* stream, const StreamCodec* codec, int request) {
  return Init(stream, codec, request, true);
}

// ------------------------------------------------------ install / remove

int StreamCodecAccess::Init(CFileStream* s, const StreamCodec* codec, int request,
                            bool wideUser) {
  CFileStream::CodecSave& c = s->m_codec;
  if (request == 0) {
    if (codec == nullptr) return 0;
    c = CFileStream::CodecSave();
    c.handle = s->m_handle;
    if (!s->m_memory) {
      c.write = s->m_write;
      c.read = s->m_read;
      c.seek = s->m_seek;
      s->m_handle = reinterpret_cast<INT_PTR>(s);
      if (s->m_write != nullptr) s->m_write = codec->write;
      if (s->m_read != nullptr) s->m_read = codec->read;
      if (s->m_seek != nullptr) s->m_seek = codec->seek;
      return 1;
    }
    // Memory: the buffer becomes the user's form of the whole block.
    const BYTE* block = s->m_buffer;
    const int size = s->m_fill;
    int64_t userSize = wideUser ? 2 * int64_t(size) : (int64_t(size) + 1) / 2;
    int64_t userCapacity = userSize;
    if (s->m_fixed) {
      userCapacity = wideUser ? 2 * int64_t(s->m_capacity)
                              : std::max<int64_t>(userSize, s->m_capacity / 2);
    }
    if (userCapacity > INT_MAX - 4) return 0;
    BYTE* user = static_cast<BYTE*>(::operator new(size_t(userCapacity) + 4, std::nothrow));
    if (user == nullptr) return 0;
    if (wideUser) {
      for (int i = 0; i < size; ++i) {
        user[2 * i] = block[i];
        user[2 * i + 1] = 0;
      }
    } else {
      for (int i = 0; 2 * i < size; ++i) {
        user[i] = Narrow(block[2 * i], 2 * i + 1 < size ? block[2 * i + 1] : 0);
      }
    }
    std::memset(user + userSize, 0, 4);
    c.block = s->m_buffer;
    c.blockSize = size;
    c.blockCapacity = s->m_capacity;
    c.blockSlack = s->m_blockSlack;
    int position = s->m_position == size ? int(userSize)
                   : wideUser            ? 2 * s->m_position
                                         : s->m_position / 2;
    s->m_buffer = user;
    s->m_fill = int(userSize);
    s->m_capacity = int(userCapacity);
    s->m_position = position;
    s->m_blockSlack = true;
    // A read-only block is never written: its data is the converted buffer.
    s->m_access = s->m_writable ? CFileStream::Access::Codec : CFileStream::Access::GrownBlock;
    return 1;
  }
  // Removal.
  if (!s->m_memory) {
    int ok = 1;
    if (c.halfUnit && c.write != nullptr && !SavedWriteAll(s, &c.halfByte, 1)) ok = 0;
    s->m_handle = c.handle;
    s->m_write = c.write;
    s->m_read = c.read;
    s->m_seek = c.seek;
    c = CFileStream::CodecSave();
    return ok;
  }
  ::operator delete(s->m_buffer);
  s->m_buffer = c.block;
  s->m_fill = c.blockSize;
  s->m_capacity = c.blockCapacity;
  s->m_blockSlack = c.blockSlack;
  c = CFileStream::CodecSave();
  return 1;
}

void* StreamCodecAccess::StorageBlock(CFileStream* s, int* fill) {
  CFileStream::CodecSave& c = s->m_codec;
  const bool wideUser = WideUser(s);
  const BYTE* user = s->m_buffer;
  const int userSize = s->m_fill;
  int64_t need = wideUser ? (int64_t(userSize) + 1) / 2 : 2 * int64_t(userSize);
  if (need > c.blockCapacity) {
    if (s->m_fixed) {
      need = wideUser ? c.blockCapacity : c.blockCapacity & ~1;
    } else {
      if (need > INT_MAX) return nullptr;
      int64_t grown = std::min<int64_t>(need * 3 / 2 + 1024, INT_MAX - 4);
      BYTE* block = static_cast<BYTE*>(::operator new(size_t(grown) + 4, std::nothrow));
      if (block == nullptr) return nullptr;
      ::operator delete(c.block);
      c.block = block;
      c.blockCapacity = int(grown);
      c.blockSlack = true;
    }
  }
  BYTE* block = c.block;
  if (wideUser) {
    for (int64_t i = 0; i < need; ++i) {
      block[i] = Narrow(user[2 * i], 2 * i + 1 < userSize ? user[2 * i + 1] : 0);
    }
  } else {
    for (int64_t i = 0; 2 * i < need; ++i) {
      block[2 * i] = user[i];
      block[2 * i + 1] = 0;
    }
  }
  c.blockSize = int(need);
  if (c.blockSlack) {
    block[need] = 0;
    block[need + 1] = 0;
  }
  if (fill != nullptr) *fill = int(need);
  return block;
}

int StreamCodecAccess::StorageSize(CFileStream* s) {
  CFileStream::CodecSave& c = s->m_codec;
  if (s->m_memory) {
    if (!s->m_writable) return c.blockSize;
    int size = 0;
    return StorageBlock(s, &size) != nullptr ? size : -1;
  }
  if (s->m_writable && !s->Flush()) return -1;
  if (c.seek == nullptr) return -1;
  int current = c.seek(c.handle, 0, 1);
  if (current < 0) return -1;
  int end = c.seek(c.handle, 0, 2);
  c.seek(c.handle, current, 0);
  if (end < 0) return -1;
  return std::max(end, current);
}
