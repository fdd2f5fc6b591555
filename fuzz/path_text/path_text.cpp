// The path text functions survive any bytes, stay inside every output size,
// agree with their wide twins, and keep their laws: a normal form is its own
// normal form, and the orders are antisymmetric.
//
// Input: byte 0 = output size (0-63), then the first path, a 0 byte, and the
// second path.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/path.h"
#include "files/pathcompare.h"
#include "files/pathnormal.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w += static_cast<char16_t>(c);
  return w;
}

int Sign(int v) { return (v > 0) - (v < 0); }

// Output of the given size with guard bytes behind it.
struct Guarded {
  explicit Guarded(int size) : size(size), bytes(size_t(size) + 8, '\x5A') {}
  char* data() { return bytes.data(); }
  void CheckGuard() const {
    for (size_t i = size_t(size); i < bytes.size(); ++i) Check(bytes[i] == '\x5A');
  }
  int size;
  std::vector<char> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
  if (n < 1 || n > 4096) return 0;
  const int size = data[0] & 63;
  std::string rest(reinterpret_cast<const char*>(data + 1), n - 1);
  size_t nul = rest.find('\0');
  std::string a = rest.substr(0, nul);
  std::string b = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
  b = b.substr(0, b.find('\0'));
  const int la = int(a.size());
  std::u16string wa = Widen(a), wb = Widen(b);

  // Queries stay inside the path.
  int len = -1;
  const char* ext = FindPathExtension(la, a.c_str(), &len);
  Check(ext >= a.c_str() && ext + len == a.c_str() + la);
  const char* name = FindPathFileName(la, a.c_str(), &len);
  Check(name + len == a.c_str() + la);
  Check(GetPathRootLength(a.c_str()) <= la);
  for (int k = -1; k < 6; ++k) Check(GetPathComponentsEnd(a.c_str(), k) <= la);
  Check(GetPathComponentsEnd(a.c_str(), 3) == GetPathComponentsEndW(wa.c_str(), 3));
  Check(MatchExtensionList(a.c_str(), b.c_str()) == MatchExtensionListW(wa.c_str(), wb.c_str()));

  // Copies and edits at the given size.
  using Edit = int (*)(int, char*, const char*, const char*, int);
  const Edit edits[] = {SetPathExtension, InsertPathExtension,
                        [](int l, char* o, const char* i, const char* x, int s) { return SetPathFileName(l, o, i, x, s); },
                        [](int l, char* o, const char* i, const char* x, int s) { return SetPathBaseName(l, o, i, x, s); },
                        [](int l, char* o, const char* i, const char* x, int s) { return SetPathDirectory(l, o, i, x, s); },
                        AppendPathComponent};
  for (Edit e : edits) {
    Guarded out(size);
    int r = e(la, out.data(), a.c_str(), b.c_str(), size);
    out.CheckGuard();
    Check(r >= 0);
  }
  {
    Guarded out(size);
    GetPathBaseName(out.data(), la, a.c_str(), size);
    GetPathDirectory(out.data(), la, a.c_str(), size);
    CopyConvertSeparators(out.data(), a.c_str(), size, '/');
    out.CheckGuard();
  }
  std::string cut = a;
  cut.reserve(cut.size() + 2);
  Check(CutToDirectory(la, &cut[0]) <= la);

  // Normal forms.
  {
    Guarded out(size);
    int r = NormalizePath(out.data(), a.c_str(), size);
    out.CheckGuard();
    Check(r < size);
    std::vector<char> big(a.size() + 4);
    int n1 = NormalizePath(big.data(), a.c_str(), int(big.size()));
    Check(n1 >= 0 && n1 <= la + 2);
    std::string once(big.data());
    // A second pass may only drop the ".\" that a ".." left in front of the
    // rest; a third changes nothing.
    std::vector<char> again(once.size() + 4);
    int n2 = NormalizePath(again.data(), once.c_str(), int(again.size()));
    Check(n2 == n1 || n2 == n1 - 2);
    std::vector<char> third(once.size() + 4);
    Check(NormalizePath(third.data(), again.data(), int(third.size())) == n2);
    Check(std::string(again.data()) == third.data());
    std::vector<char16_t> wide(a.size() + 4);
    Check(NormalizePathW(wide.data(), wa.c_str(), int(wide.size())) == n1);
    Check(Widen(once) == wide.data());
  }
  {
    Guarded out(size);
    NormalizePathJoin(out.data(), a.c_str(), size, -1, b.c_str(), -1);
    MakeAbsolutePath(out.data(), a.c_str(), b.c_str(), size, size & 3);
    MakeRelativePath(out.data(), a.c_str(), b.c_str(), size, size & 3);
    out.CheckGuard();
  }

  // Orders.
  Check(Sign(ComparePathNoCase(a.c_str(), b.c_str())) == -Sign(ComparePathNoCase(b.c_str(), a.c_str())));
  Check(Sign(ComparePath(a.c_str(), b.c_str())) == Sign(ComparePathW(wa.c_str(), wb.c_str())));
  Check(Sign(ComparePathNaturalNoCase(a.c_str(), -1, b.c_str(), -1)) ==
        -Sign(ComparePathNaturalNoCase(b.c_str(), -1, a.c_str(), -1)));
  Check(ComparePathNoCase(a.c_str(), a.c_str()) == 0);
  return 0;
}
