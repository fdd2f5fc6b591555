#include "files/pathnormal.h"

#include <string>
#include <vector>

#include "files/path.h"
#include "files/path_host.h"
#include "files/path_impl.h"
#include "platform/pathsys.h"

using namespace files_detail;

namespace {

// The root NormalizePath keeps as written: \\server, or everything up to a
// colon in the first component (with one separator when two follow it).
template <class Ch>
int NormalRoot(const Ch* p, int n) {
  if (n >= 2 && IsSep(p[0]) && IsSep(p[1])) {
    int i = 2;
    while (i < n && !IsSep(p[i])) ++i;
    return i;
  }
  for (int i = 0; i < n && !IsSep(p[i]); ++i) {
    if (p[i] == Ch(':')) return i + 2 < n && IsSep(p[i + 1]) && IsSep(p[i + 2]) ? i + 2 : i + 1;
  }
  return 0;
}

template <class Ch>
struct Component {
  Text<Ch> name;
  Ch sep;  // the separator written behind it, 0 for none
};

template <class Ch>
bool IsDots(const Text<Ch>& name, int count) {
  if (int(name.size()) != count) return false;
  for (Ch c : name)
    if (c != Ch('.')) return false;
  return true;
}

// Whether the component starting at p[i] holds a ':': first in a path, it
// would read as a drive.
template <class Ch>
bool ColonAhead(const Ch* p, int n, int i) {
  for (; i < n && !IsSep(p[i]); ++i)
    if (p[i] == Ch(':')) return true;
  return false;
}

// Resolves "." and ".." in the part of a path behind its root.
template <class Ch>
Text<Ch> NormalRest(const Ch* p, int n) {
  std::vector<Component<Ch>> out;
  int i = 0;
  while (i < n) {
    int start = i;
    while (i < n && !IsSep(p[i])) ++i;
    Component<Ch> c{Text<Ch>(p + start, size_t(i - start)), i < n ? p[i] : Ch(0)};
    if (i < n) ++i;
    const bool more = i < n;
    // The leading separator of a rooted rest is an empty first component.
    const bool leading = !out.empty() && out.size() == 1 && out[0].name.empty();
    if (IsDots(c.name, 1)) {
      if (out.empty()) {
        // A leading "." goes when a name follows ("." alone and ".\" still
        // name the current folder); before a second separator it stays, or
        // the relative path would turn into a rooted one, and so it does
        // before a name with a colon, which would turn into a drive.
        if (!more || IsSep(p[i]) || ColonAhead(p, n, i)) out.push_back(c);
      } else if (c.sep == 0 && !more) {
        if (leading)
          out.push_back(c);  // "\." names the root's directory
        else
          out.back().sep = 0;
      }
      continue;
    }
    if (IsDots(c.name, 2)) {
      if (!out.empty() && IsDots(out.back().name, 1)) out.pop_back();
      if (out.empty() || out.back().name.empty() || IsDots(out.back().name, 2)) {
        out.push_back(c);
        continue;
      }
      out.pop_back();
      if (out.empty()) {
        if (more) out.push_back({Text<Ch>(1, Ch('.')), c.sep});
      } else if (out.size() == 1 && out[0].name.empty()) {
        if (!more) out.push_back({Text<Ch>(1, Ch('.')), Ch(0)});
      } else {
        out.back().sep = c.sep;
      }
      continue;
    }
    out.push_back(std::move(c));
  }
  Text<Ch> r;
  for (const auto& c : out) {
    r += c.name;
    if (c.sep) r += c.sep;
  }
  return r;
}

template <class Ch>
Text<Ch> NormalText(const Ch* p, int n) {
  int root = NormalRoot(p, n);
  return Text<Ch>(p, size_t(root)) + NormalRest(p + root, n - root);
}

template <class Ch>
int Emit(const Text<Ch>& text, Ch* output, int size) {
  if (size >= 1) output[0] = 0;
  if (size < 2 || int(text.size()) > size - 1) return -1;
  std::memmove(output, text.data(), sizeof(Ch) * text.size());
  output[text.size()] = 0;
  return int(text.size());
}

template <class Ch>
int Normalize(Ch* output, const Ch* input, int size, int length) {
  if (size < 2) return Emit(Text<Ch>(), output, size);
  int n = StrLenBounded(input, length);
  return Emit(NormalText(input, n), output, size);
}

template <class Ch>
Text<Ch> JoinRest(const Ch* a, int na, const Ch* b, int nb) {
  Text<Ch> r(a, size_t(na));
  bool aSep = na > 0 && IsSep(a[na - 1]), bSep = nb > 0 && IsSep(b[0]);
  if (aSep && bSep) {
    ++b;
    --nb;
  } else if (na > 0 && nb > 0 && !aSep && !bSep) {
    r += Ch('\\');
  }
  r.append(b, size_t(nb));
  return r;
}

template <class Ch>
int Join(Ch* output, const Ch* first, int size, int firstLength, const Ch* second, int secondLength) {
  if (size < 2) return Emit(Text<Ch>(), output, size);
  int n1 = StrLenBounded(first, firstLength);
  int n2 = StrLenBounded(second, secondLength);
  int r2 = NormalRoot(second, n2);
  if (r2 > 0) return Emit(NormalText(second, n2), output, size);
  int r1 = NormalRoot(first, n1);
  Text<Ch> rest = JoinRest(first + r1, n1 - r1, second, n2);
  // A server name and the share behind it are two components.
  if (r1 > 0 && IsSep(first[0]) && n1 == r1 && !rest.empty() && !IsSep(rest[0])) rest.insert(0, 1, Ch('\\'));
  return Emit(Text<Ch>(first, size_t(r1)) + NormalRest(rest.data(), int(rest.size())), output, size);
}

template <class Ch>
bool HasDrive(const Ch* p) {
  return p[0] != 0 && p[1] == Ch(':') && !IsSep(p[0]);
}

template <class Ch>
bool IsServer(const Ch* p) {
  return IsSep(p[0]) && IsSep(p[1]);
}

// rest normalised, with the ".." that would climb above a kept prefix
// dropped.
template <class Ch>
Text<Ch> NoClimb(const Text<Ch>& prefix, const Ch* rest, int n) {
  Text<Ch> r = NormalRest(rest, n);
  const size_t lead = !r.empty() && IsSep(r[0]) ? 1 : 0;
  size_t at = lead;
  for (;;) {
    size_t len = 0;
    while (at + len < r.size() && !IsSep(r[at + len])) ++len;
    Text<Ch> part = r.substr(at, len);
    if (!IsDots(part, 1) && !IsDots(part, 2)) break;
    at += len;
    if (at < r.size()) ++at;
  }
  r.erase(lead, at - lead);
  if (!prefix.empty() && !IsSep(prefix.back()) && !r.empty() && !IsSep(r[0])) return prefix + Ch('\\') + r;
  return prefix + r;
}

template <class Ch>
int Absolute(Ch* output, const Ch* base, const Ch* path, int size, int keep) {
  if (size < 2) return Emit(Text<Ch>(), output, size);
  // Own copies, so the output may be an input.
  Text<Ch> b = base ? base : Text<Ch>(), p = path ? path : Text<Ch>();
  const Ch* pp = p.c_str();
  if (IsServer(pp)) return Emit(NormalText(pp, int(p.size())), output, size);
  if (HasDrive(pp)) {
    bool sameDrive = HasDrive(b.c_str()) && FoldCase(b[0]) == FoldCase(p[0]);
    if (!sameDrive || IsSep(p[2])) return Emit(NormalText(pp, int(p.size())), output, size);
    p.erase(0, 2);  // C:name on the base's drive: name beside the base
  }
  const Ch* bb = b.c_str();
  int keepEnd = keep < 1 ? 0 : ComponentsEnd(bb, keep);
  if (!p.empty() && IsSep(p[0])) {
    if (keep < 1) return Emit(NormalText(p.c_str(), int(p.size())), output, size);
    Text<Ch> prefix = b.substr(0, size_t(keepEnd));
    while (!prefix.empty() && IsSep(prefix.back()) && int(prefix.size()) > RootLength(prefix.c_str())) {
      prefix.pop_back();
    }
    if (!prefix.empty() && IsSep(prefix.back())) p.erase(0, 1);
    return Emit(NoClimb(prefix, p.c_str(), int(p.size())), output, size);
  }
  Text<Ch> joined = JoinRest(bb + keepEnd, int(b.size()) - keepEnd, p.c_str(), int(p.size()));
  if (keepEnd == 0) {
    Text<Ch> all = JoinRest(bb, int(b.size()), p.c_str(), int(p.size()));
    return Emit(NormalText(all.c_str(), int(all.size())), output, size);
  }
  return Emit(NoClimb(b.substr(0, size_t(keepEnd)), joined.c_str(), int(joined.size())), output, size);
}

// The leading component (root) and the others of a path.
template <class Ch>
struct Split {
  Text<Ch> root;
  std::vector<std::pair<int, int>> parts;  // offset and length of each component
};

template <class Ch>
Split<Ch> SplitPath(const Text<Ch>& p) {
  Split<Ch> s;
  int n = int(p.size());
  int root = 0;
  if (IsServer(p.c_str())) {
    root = 2;
    while (root < n && !IsSep(p[size_t(root)])) ++root;
  } else if (HasDrive(p.c_str())) {
    root = 2;
  }
  s.root = p.substr(0, size_t(root));
  for (int i = root; i < n;) {
    while (i < n && IsSep(p[size_t(i)])) ++i;
    int start = i;
    while (i < n && !IsSep(p[size_t(i)])) ++i;
    if (i > start) s.parts.push_back({start, i - start});
  }
  return s;
}

template <class Ch>
bool SameNoCase(const Ch* a, int na, const Ch* b, int nb) {
  if (na != nb) return false;
  for (int i = 0; i < na; ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

template <class Ch>
int Relative(Ch* output, const Ch* base, const Ch* path, int size, int minimum) {
  if (size < 2) return Emit(Text<Ch>(), output, size);
  Text<Ch> b = base ? base : Text<Ch>(), p = path ? path : Text<Ch>();
  const bool bServer = IsServer(b.c_str()), pServer = IsServer(p.c_str());
  const bool bDrive = HasDrive(b.c_str()), pDrive = HasDrive(p.c_str());
  Split<Ch> sb = SplitPath(b), sp = SplitPath(p);
  if (bServer != pServer || bDrive != pDrive ||
      !SameNoCase(sb.root.data(), int(sb.root.size()), sp.root.data(), int(sp.root.size()))) {
    Emit(Text<Ch>(), output, size);
    return -1;
  }
  int shared = 1;  // the root
  size_t k = 0;
  while (k < sb.parts.size() && k < sp.parts.size() &&
         SameNoCase(b.data() + sb.parts[k].first, sb.parts[k].second, p.data() + sp.parts[k].first,
                    sp.parts[k].second)) {
    ++k;
    ++shared;
  }
  if (shared < minimum) {
    Emit(Text<Ch>(), output, size);
    return -1;
  }
  Ch sep = Ch('\\');
  for (Ch c : b)
    if (IsSep(c)) {
      sep = c;
      break;
    }
  Text<Ch> r;
  for (size_t i = k; i < sb.parts.size(); ++i) {
    r += Ch('.');
    r += Ch('.');
    r += sep;
  }
  if (k < sp.parts.size()) r += p.substr(size_t(sp.parts[k].first));
  return Emit(r, output, size);
}

// The stored spelling of every component of path's full path; empty when
// one is missing or holds a wildcard.
std::string TrueCase(const char* path) {
  std::string full = FullPathOf(path);
  if (full.empty()) return full;
  int n = int(full.size());
  int i = RootLength(full.c_str());
  while (i < n && IsSep(full[size_t(i)])) ++i;
  if (IsServer(full.c_str())) {
    // A share is no directory entry of its server: it stays as written.
    while (i < n && !IsSep(full[size_t(i)])) ++i;
    while (i < n && IsSep(full[size_t(i)])) ++i;
  }
  std::string out = full.substr(0, size_t(i));
  std::vector<char> stored(full.size() + 256);
  while (i < n) {
    int start = i;
    while (i < n && !IsSep(full[size_t(i)])) ++i;
    std::string name = full.substr(size_t(start), size_t(i - start));
    if (name.find_first_of("*?") != std::string::npos) return std::string();
    if (!SysFindStoredName(out.empty() ? "." : out.c_str(), name.c_str(), stored.data(), int(stored.size())))
      return std::string();
    out += stored.data();
    while (i < n && IsSep(full[size_t(i)])) out += full[size_t(i++)];
  }
  return out;
}

int TrueCaseEmit(const std::string& text, char* output, int size) {
  return CopyOrEmpty(output, text.data(), int(text.size()), size);
}

}  // namespace

int NormalizePath(char* output, const char* input, int size) { return Normalize(output, input, size, -1); }
int NormalizePathW(wchar16* output, const wchar16* input, int size) { return Normalize(output, input, size, -1); }
int NormalizePathN(char* output, const char* input, int size, int inputLength) {
  return Normalize(output, input, size, inputLength);
}
int NormalizePathNW(wchar16* output, const wchar16* input, int size, int inputLength) {
  return Normalize(output, input, size, inputLength);
}
int NormalizePathJoin(char* output, const char* first, int size, int firstLength, const char* second,
                      int secondLength) {
  return Join(output, first, size, firstLength, second, secondLength);
}
int NormalizePathJoinW(wchar16* output, const wchar16* first, int size, int firstLength, const wchar16* second,
                       int secondLength) {
  return Join(output, first, size, firstLength, second, secondLength);
}
int MakeAbsolutePath(char* output, const char* base, const char* path, int size, int keep) {
  return Absolute(output, base, path, size, keep);
}
int MakeAbsolutePathW(wchar16* output, const wchar16* base, const wchar16* path, int size, int keep) {
  return Absolute(output, base, path, size, keep);
}
int MakeRelativePath(char* output, const char* base, const char* path, int size, int minimum) {
  return Relative(output, base, path, size, minimum);
}
int MakeRelativePathW(wchar16* output, const wchar16* base, const wchar16* path, int size, int minimum) {
  return Relative(output, base, path, size, minimum);
}
int GetTrueCasePath(char* output, const char* path, int size) {
  return TrueCaseEmit(path ? TrueCase(path) : std::string(), output, size);
}
int GetTrueCasePathW(wchar16* output, const wchar16* path, int size) {
  std::string narrow;
  Text<wchar16> wide = NarrowPath(path, narrow) ? WidenUtf8(TrueCase(narrow.c_str())) : Text<wchar16>();
  return CopyOrEmpty(output, wide.data(), int(wide.size()), size);
}
