// The path text functions written once for 8-bit and 16-bit text; the
// named functions of path.h are one-line wrappers over these.
#pragma once

#include <cstring>
#include <string>

#include "toolkit/charclass.h"

namespace files_detail {

template <class Ch>
constexpr bool IsSep(Ch c) {
  return c == Ch('\\') || c == Ch('/');
}

template <class Ch>
constexpr bool IsNameStop(Ch c) {
  return IsSep(c) || c == Ch(':');
}

template <class Ch>
int Measure(const Ch* text, int length) {
  if (text == nullptr) return 0;
  if (length >= 0) return length;
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Characters before the terminator, at most length of them (-1: no bound);
// null is empty.
template <class Ch>
int StrLenBounded(const Ch* text, int length) {
  if (text == nullptr) return 0;
  int n = 0;
  while ((length < 0 || n < length) && text[n] != 0) ++n;
  return n;
}

// Letters of both ASCII and Latin-1 folded to lower case (0xD7 is the
// multiplication sign, no letter).
template <class Ch>
constexpr unsigned FoldCase(Ch c) {
  unsigned code = static_cast<std::make_unsigned_t<Ch>>(c);
  if (code < 256 && code != 0xD7 && (CharClassTable[code] & (CHC_UPPER | CHC_LATIN1_UPPER))) code += 32;
  return code;
}

// Writes text[0, n) terminated when it fits into size - 1; otherwise empties
// output (size >= 1) and returns 0.
template <class Ch>
int CopyOrEmpty(Ch* output, const Ch* text, int n, int size) {
  if (size < 1) return 0;
  if (n > size - 1) {
    output[0] = 0;
    return 0;
  }
  std::memmove(output, text, sizeof(Ch) * size_t(n));
  output[n] = 0;
  return n;
}

// Writes text cut to size - 1 characters.
template <class Ch>
int CopyCut(Ch* output, const Ch* text, int n, int size) {
  if (size < 1) return 0;
  if (n > size - 1) n = size - 1;
  std::memmove(output, text, sizeof(Ch) * size_t(n));
  output[n] = 0;
  return n;
}

template <class Ch>
int FileNameOffset(const Ch* path, int n) {
  int i = n;
  while (i > 0 && !IsNameStop(path[i - 1])) --i;
  return i;
}

// Position of the extension's dot, or -1. stopAtColon makes ':' end the
// search as a separator does.
template <class Ch>
int ExtensionDot(const Ch* path, int n, bool stopAtColon) {
  for (int i = n - 1; i >= 0; --i) {
    Ch c = path[i];
    if (IsSep(c) || (stopAtColon && c == Ch(':'))) return -1;
    if (c == Ch('.')) {
      if (i == 0 || IsNameStop(path[i - 1])) return -1;
      return i;
    }
  }
  return -1;
}

template <class Ch>
int RootLength(const Ch* path) {
  if (path == nullptr) return 0;
  if (IsSep(path[0]) && IsSep(path[1])) {
    if (path[2] == Ch('\\')) return 2;
    int i = 2;
    while (path[i] != 0 && !IsSep(path[i])) {
      if (path[i] == Ch(':')) return i + 1;
      ++i;
    }
    return i;
  }
  if (path[0] == Ch('\\')) return 0;
  for (int i = 0; path[i] != 0 && !IsSep(path[i]); ++i) {
    if (path[i] == Ch(':')) return IsSep(path[i + 1]) && IsSep(path[i + 2]) ? i + 2 : i + 1;
  }
  return 0;
}

template <class Ch>
int ComponentsEnd(const Ch* path, int n) {
  if (path == nullptr || n < 1) return 0;
  int root = RootLength(path);
  int pos = root;
  if (IsSep(path[pos])) ++pos;
  int want = root == 0 ? n : n - 1;
  while (want > 0 && path[pos] != 0) {
    if (IsSep(path[pos])) --want;
    ++pos;
  }
  return pos;
}

template <class Ch>
int MatchExtensions(const Ch* path, const Ch* list, int length) {
  if (path == nullptr || list == nullptr) return 0;
  int n = Measure(path, length);
  int dot = ExtensionDot(path, n, true);
  const Ch* ext = dot < 0 ? path + n : path + dot + 1;
  int extLen = dot < 0 ? 0 : n - dot - 1;
  int index = 1;
  for (const Ch* entry = list;; ++index) {
    int len = 0;
    while (entry[len] != 0 && entry[len] != Ch(';')) ++len;
    if (len == extLen) {
      int i = 0;
      while (i < len && FoldCase(entry[i]) == FoldCase(ext[i])) ++i;
      if (i == len) return index;
    }
    if (entry[len] == 0) return 0;
    entry += len + 1;
  }
}

// ---- Edits, built in a scratch string so that output may alias input ----

template <class Ch>
using Text = std::basic_string<Ch>;

template <class Ch>
const Ch* SkipExtLead(const Ch* ext) {
  if (*ext == Ch('*')) ++ext;
  if (*ext == Ch('.')) ++ext;
  return ext;
}

template <class Ch>
int SetExtension(int length, Ch* output, const Ch* input, const Ch* ext, int size) {
  int n = Measure(input, length);
  int dot = ExtensionDot(input, n, false);
  Text<Ch> r(input, size_t(dot < 0 ? n : dot));
  ext = ext ? SkipExtLead(ext) : ext;
  if (ext && *ext) {
    r += Ch('.');
    r += ext;
  }
  return CopyCut(output, r.data(), int(r.size()), size);
}

template <class Ch>
int InsertExtension(int length, Ch* output, const Ch* input, const Ch* ext, int size) {
  int n = Measure(input, length);
  int dot = ExtensionDot(input, n, false);
  int at = dot < 0 ? n : dot;
  Text<Ch> r(input, size_t(at));
  r += Ch('.');
  if (ext) r += ext;
  r.append(input + at, size_t(n - at));
  if (int(r.size()) > size - 1) return CopyCut(output, input, n, size);
  return CopyCut(output, r.data(), int(r.size()), size);
}

template <class Ch>
int SetFileName(int length, Ch* output, const Ch* input, const Ch* name, int size, int nameLength) {
  int n = Measure(input, length);
  Text<Ch> r(input, size_t(FileNameOffset(input, n)));
  r.append(name ? name : input + n, size_t(Measure(name, nameLength)));
  return CopyCut(output, r.data(), int(r.size()), size);
}

template <class Ch>
int SetBaseName(int length, Ch* output, const Ch* input, const Ch* name, int size, int nameLength) {
  int n = Measure(input, length);
  int start = FileNameOffset(input, n);
  int dot = ExtensionDot(input, n, false);
  int end = dot < start ? n : dot;
  Text<Ch> r(input, size_t(start));
  r.append(name ? name : input + n, size_t(Measure(name, nameLength)));
  r.append(input + end, size_t(n - end));
  if (size < 1 || int(r.size()) > size - 1) return n;
  return CopyCut(output, r.data(), int(r.size()), size);
}

template <class Ch>
int SetDirectory(int length, Ch* output, const Ch* input, const Ch* dir, int size, int dirLength) {
  int n = Measure(input, length);
  int start = FileNameOffset(input, n);
  int dn = Measure(dir, dirLength);
  Text<Ch> r(dir ? dir : input, size_t(dn));
  if (dn == 0 || !IsSep(r.back())) r += Ch('\\');
  r.append(input + start, size_t(n - start));
  if (size < 1 || int(r.size()) > size - 1) return n;
  return CopyCut(output, r.data(), int(r.size()), size);
}

template <class Ch>
int AppendComponent(int length, Ch* output, const Ch* path, const Ch* component, int size) {
  int n = Measure(path, length);
  int cn = Measure(component, -1);
  Text<Ch> r;
  if (n > 0) {
    r.assign(path, size_t(IsSep(path[n - 1]) ? n - 1 : n));
    r += Ch('\\');
  }
  if (cn > 0 && IsSep(component[0])) ++component, --cn;
  if (cn > 0) r.append(component, size_t(cn));
  return CopyOrEmpty(output, r.data(), int(r.size()), size);
}

template <class Ch>
int AddTrailing(Ch character, Ch* path, int length) {
  if (path == nullptr) return 0;
  int n = Measure(path, length);
  if (n > 0 && IsSep(path[n - 1])) return n;
  path[n] = character;
  path[n + 1] = 0;
  return n + 1;
}

template <class Ch>
int RemoveTrailing(Ch* path, int length) {
  int n = Measure(path, length);
  if (n > 0 && IsSep(path[n - 1])) path[--n] = 0;
  return n;
}

template <class Ch>
int CutDirectory(int length, Ch* path) {
  int n = Measure(path, length);
  int i = n;
  while (i > 0 && !IsSep(path[i - 1])) --i;
  if (i == 0) {
    if (path) path[0] = 0;
    return 0;
  }
  int sep = i - 1;
  bool keep = sep == 0 || IsNameStop(path[sep - 1]);
  int cut = keep ? sep + 1 : sep;
  path[cut] = 0;
  return cut;
}

template <class Ch>
Ch ConvertOne(Ch c, int separator) {
  bool toSlash = separator == '/' || separator == 0;
  if (toSlash && c == Ch('\\')) return Ch('/');
  if (!toSlash && c == Ch('/')) return Ch('\\');
  return c;
}

template <class Ch>
int ConvertInPlace(Ch* path, int separator) {
  if (path == nullptr) return 0;
  int i = 0;
  for (; path[i] != 0; ++i) path[i] = ConvertOne(path[i], separator);
  return i;
}

template <class Ch>
int CopyConvert(Ch* output, const Ch* input, int size, int separator) {
  if (size < 1) return 0;
  int i = 0;
  for (; input && i < size - 1 && input[i] != 0; ++i) output[i] = ConvertOne(input[i], separator);
  output[i] = 0;
  return i;
}

}  // namespace files_detail
