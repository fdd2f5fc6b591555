// What the file operations share: for writing each 8-bit/16-bit twin once,
// paths as strings of either width, their UTF-8 spelling for the calls into
// the platform and the separator a built path continues with; and whole
// transfers over descriptors. Internal to files/.
#pragma once

#include <cstdint>
#include <string>

#include "files/path.h"
#include "files/path_host.h"
#include "files/path_impl.h"
#include "platform/fileio.h"
#include "platform/types.h"

namespace fileops_detail {

template <class Ch>
using Str = std::basic_string<Ch>;

// The UTF-8 spelling the platform takes; false for null, or a wide path with
// a lone surrogate (which names nothing).
inline bool Narrow(const char* path, std::string& out) {
  if (path == nullptr) return false;
  out = path;
  return true;
}
inline bool Narrow(const wchar16* path, std::string& out) { return files_detail::NarrowPath(path, out); }
template <class Ch>
bool Narrow(const Str<Ch>& path, std::string& out) {
  return Narrow(path.c_str(), out);
}

// UTF-8 from the platform in the caller's width.
template <class Ch>
Str<Ch> Widen(const std::string& text);
template <>
inline std::string Widen<char>(const std::string& text) {
  return text;
}
template <>
inline std::u16string Widen<wchar16>(const std::string& text) {
  return files_detail::WidenUtf8(text);
}

// Text of an ASCII literal in either width.
template <class Ch>
Str<Ch> Ascii(const char* text) {
  Str<Ch> out;
  for (; *text; ++text) out += Ch(static_cast<unsigned char>(*text));
  return out;
}

// The separator a path built on `path` continues with: '/' on a host path
// written with '/' alone (so host paths stay in the host's spelling), '\'
// on every other.
template <class Ch>
Ch SeparatorFor(const Str<Ch>& path) {
  if (!path.empty() && path[0] == Ch('/') && path.find(Ch('\\')) == Str<Ch>::npos) return Ch('/');
  return Ch('\\');
}

// Offset of the file name: behind the last '\', '/' or ':'.
template <class Ch>
size_t NameOffset(const Str<Ch>& path) {
  return size_t(files_detail::FileNameOffset(path.c_str(), int(path.size())));
}

// What GetPathType reports for path (0 for one that cannot be spelt).
inline int PathTypeOf(const std::string& path) { return GetPathType(path.c_str()); }
template <class Ch>
int PathTypeOf(const Str<Ch>& path) {
  std::string narrow;
  return Narrow(path, narrow) ? PathTypeOf(narrow) : 0;
}

// FdRead and FdWrite take int counts: larger transfers go in these steps.
inline constexpr int kChunk = 1 << 30;

// Writes all size bytes; false on a failure or a short write.
inline bool WriteAll(int fd, const void* data, int64_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    int step = size > kChunk ? kChunk : int(size);
    if (FdWrite(fd, bytes, step) != step) return false;
    bytes += step;
    size -= step;
  }
  return true;
}

// Reads exactly size bytes; false when the file ends early or fails.
inline bool ReadAll(int fd, void* data, int64_t size) {
  unsigned char* bytes = static_cast<unsigned char*>(data);
  while (size > 0) {
    int step = size > kChunk ? kChunk : int(size);
    if (FdRead(fd, bytes, step) != step) return false;
    bytes += step;
    size -= step;
  }
  return true;
}

}  // namespace fileops_detail
