// Numbered backups: a name pattern with a counter, the older backups moved
// one number up before the source takes the first number.
#include <string>
#include <vector>

#include "files/copyengine.h"
#include "files/fileops.h"
#include "files/fileops_text.h"
#include "files/path.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"

using namespace fileops_detail;
using files_detail::IsNameStop;

namespace {

constexpr int kMaxDigits = 4;

template <class Ch>
struct BackupName {
  Str<Ch> text;         // the name without its counter digits
  int counterAt = -1;   // where the digits go; -1: no counter
  int digits = 0;

  Str<Ch> Numbered(int number) const {
    if (counterAt < 0) return text;
    Str<Ch> digitsText(size_t(digits), Ch('0'));
    for (int i = digits - 1; i >= 0; --i, number /= 10) digitsText[size_t(i)] = Ch('0' + number % 10);
    return text.substr(0, size_t(counterAt)) + digitsText + text.substr(size_t(counterAt));
  }
};

// Cuts n extensions off the last name of text.
template <class Ch>
void DropExtensions(Str<Ch>& text, int n) {
  for (; n > 0; --n) {
    int dot = files_detail::ExtensionDot(text.c_str(), int(text.size()), true);
    if (dot < 0) return;
    text.resize(size_t(dot));
  }
}

// Expands the pattern; false for a counter position or digit count out of
// range.
template <class Ch>
bool BuildName(const Str<Ch>& pattern, const Str<Ch>& base, int flags, int counterPosition, int digits,
               BackupName<Ch>& name) {
  Str<Ch> fileName = base.substr(NameOffset(base));
  Str<Ch> stem = fileName;
  DropExtensions(stem, 1);
  Str<Ch>& out = name.text;
  bool hasFolder = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    Ch c = pattern[i];
    if (IsNameStop(c)) hasFolder = true;
    if (c == Ch('*')) {
      out += fileName;
    } else if (c == Ch('?')) {
      out += stem;
    } else if (c == Ch('$') && i + 1 < pattern.size() && pattern[i + 1] >= Ch('0') && pattern[i + 1] <= Ch('9')) {
      DropExtensions(out, int(pattern[++i] - Ch('0')));
    } else if (c == Ch('#') && i + 2 < pattern.size() && pattern[i + 1] >= Ch('1') &&
               pattern[i + 1] <= Ch('0' + kMaxDigits) && pattern[i + 2] == Ch('#') && name.counterAt < 0) {
      name.counterAt = int(out.size());
      name.digits = int(pattern[i + 1] - Ch('0'));
      i += 2;
    } else {
      out += c;
    }
  }
  if (name.counterAt < 0) {
    if (counterPosition >= 0) {
      if (counterPosition > int(out.size()) || digits < 1 || digits > kMaxDigits) return false;
      name.counterAt = counterPosition;
      name.digits = digits;
    } else if (!(flags & BACKUP_NO_COUNTER)) {
      out += Ch('.');
      name.counterAt = int(out.size());
      name.digits = 1;
    }
  }
  if (!hasFolder) {
    size_t folder = NameOffset(base);
    out.insert(0, base, 0, folder);
    if (name.counterAt >= 0) name.counterAt += int(folder);
  }
  return !out.empty();
}

bool SameFile(const std::string& a, const std::string& b) {
  std::string fullA(4096, '\0'), fullB(4096, '\0');
  fullA.resize(size_t(SysGetFullPathName(a.c_str(), &fullA[0], int(fullA.size()))));
  fullB.resize(size_t(SysGetFullPathName(b.c_str(), &fullB[0], int(fullB.size()))));
  std::string hostA, hostB;
  SysHostPath(fullA.c_str(), hostA);
  SysHostPath(fullB.c_str(), hostB);
  return !hostA.empty() && hostA == hostB;
}

bool MoveTo(const std::string& from, const std::string& to) { return SysMoveFile(from.c_str(), to.c_str(), false) == SYS_OK; }

template <class Ch>
bool Backup(const Ch* source, const Ch* pattern, int flags, int count, int counterPosition, int digits,
            const Ch* basePath) {
  std::string sourceNarrow;
  if (source == nullptr || !Narrow(source, sourceNarrow) || GetPathType(sourceNarrow.c_str()) != PATH_FILE) return false;
  static const Ch kEveryName[] = {Ch('*'), Ch(0)};
  BackupName<Ch> name;
  if (!BuildName(Str<Ch>(pattern ? pattern : kEveryName), Str<Ch>(basePath ? basePath : source), flags,
                 counterPosition, digits, name))
    return false;
  int slots = count < 1 ? 1 : count;
  if (name.counterAt < 0) {
    slots = 1;
  } else {
    int limit = 1;
    for (int i = 0; i < name.digits; ++i) limit *= 10;
    if (slots > limit) slots = limit;
  }
  std::vector<std::string> names(static_cast<size_t>(slots));
  for (int i = 0; i < slots; ++i) {
    if (!Narrow(name.Numbered(i), names[size_t(i)]) || SameFile(names[size_t(i)], sourceNarrow)) return false;
  }
  if (GetPathType(names[0].c_str()) != PATH_NONE) {
    if (flags & BACKUP_NO_ROTATE) return false;
    int free = 1;
    while (free < slots && GetPathType(names[size_t(free)].c_str()) != PATH_NONE) ++free;
    if (free == slots) {
      free = slots - 1;
      if (!DeleteFileForced(names[size_t(free)].c_str())) return false;
    }
    for (int i = free - 1; i >= 0; --i)
      if (!MoveTo(names[size_t(i)], names[size_t(i) + 1])) return false;
  }
  if (flags & BACKUP_COPY)
    return CopyFileEngine(COPY_FAIL_IF_EXISTS | COPY_TIMES | COPY_ATTRIBUTES, sourceNarrow.c_str(), names[0].c_str(),
                          nullptr, nullptr, nullptr) == COPY_OK;
  return MoveTo(sourceNarrow, names[0]);
}

}  // namespace

bool MakeBackupFile(const char* source, const char* pattern, int flags, int count, int counterPosition, int digits,
                    const char* basePath) {
  return Backup(source, pattern, flags, count, counterPosition, digits, basePath);
}

bool MakeBackupFileW(const wchar16* source, const wchar16* pattern, int flags, int count, int counterPosition,
                     int digits, const wchar16* basePath) {
  return Backup(source, pattern, flags, count, counterPosition, digits, basePath);
}
