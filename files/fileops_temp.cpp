// Unique temporary names: a path built from a start folder and parts, with
// names of eight hex digits that nothing has yet, and its folders created.
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "files/fileops.h"
#include "files/fileops_text.h"
#include "files/path.h"
#include "platform/dirhandle.h"
#include "platform/fsops.h"
#include "platform/pathsys.h"
#include "platform/shellinfo.h"

using namespace fileops_detail;
using files_detail::IsSep;

namespace {

constexpr int kTempPathCap = 1024;
constexpr uint32_t kUniqueTries = 65536;
constexpr int kUniqueRoom = 10;  // eight digits, a separator, the terminator
constexpr char kHexDigits[] = "0123456789ABCDEF";

// A pseudo-random number per call (xorshift over a process-wide state that
// starts from the clock).
uint32_t NextRandom() {
  static std::atomic<uint32_t> state{uint32_t(SysGetSystemTimeTicks() >> 4) | 1u};
  uint32_t x = state.load(std::memory_order_relaxed), next;
  do {
    next = x;
    next ^= next << 13;
    next ^= next >> 17;
    next ^= next << 5;
  } while (!state.compare_exchange_weak(x, next, std::memory_order_relaxed));
  return next;
}

uint32_t UniqueStart() {
  uint32_t timeLow = uint32_t(SysGetSystemTimeTicks() / 10000) & 0xFFFFu;
  return timeLow ^ SysGetTickCount() ^ NextRandom() ^ (NextRandom() << 16);
}

template <class Ch>
Str<Ch> HexName(uint32_t value) {
  Str<Ch> out(8, Ch('0'));
  for (int i = 7; i >= 0; --i, value >>= 4) out[size_t(i)] = Ch(kHexDigits[value & 0xF]);
  return out;
}

// A unique name in the built path: where its eight digits stand and the
// number they spell.
struct Slot {
  size_t digits;
  uint32_t number;
};

// The text a part adds when it continues the name before it ('*' or '#'),
// with its '?' marks skipped; *cutToDot tells a "#." part.
template <class Ch>
bool Continuation(const TempNamePartT<Ch>& part, Str<Ch>* text, bool* cutToDot) {
  if (part.text == nullptr) return false;
  const Ch* p = part.text;
  while (*p == Ch('?')) ++p;
  if (*p != Ch('*') && *p != Ch('#')) return false;
  *cutToDot = p[0] == Ch('#') && p[1] == Ch('.');
  *text = Str<Ch>(p + 1);
  return true;
}

// Appends a continuation to path: a separator at its end goes, and with
// cutToDot the last name is first cut back to its last dot (unique names
// cut away with it are forgotten).
template <class Ch>
void Continue(Str<Ch>& path, const Str<Ch>& text, bool cutToDot, std::vector<Slot>& slots) {
  while (!path.empty() && IsSep(path.back())) path.pop_back();
  if (cutToDot) {
    size_t dot = path.rfind(Ch('.'));
    if (dot != Str<Ch>::npos && dot >= NameOffset(path)) path.resize(dot);
  }
  while (!slots.empty() && slots.back().digits + 8 > path.size()) slots.pop_back();
  path += text;
}

template <class Ch>
void SpellNumber(Str<Ch>& path, const Slot& slot) {
  Str<Ch> digits = HexName<Ch>(slot.number);
  path.replace(slot.digits, 8, digits);
}

// What Reserve made: each name with true for a file.
using Made = std::vector<std::pair<std::string, bool>>;

// Undoes what Reserve made, the latest first.
void Release(const Made& made) {
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    if (it->second) SysDeleteFile(it->first.c_str());
    else SysRemoveDirectory(it->first.c_str());
  }
}

// Creates every unique name of path with one call that fails when the name
// is taken (a folder, or with lastIsFile a name that ends the path as an
// empty file), taking the next number until one is free: no other process
// can slip in between the choice and the creation. The folders above each
// are made first. False (with nothing of its own left) when a name cannot
// be made; *createdFolder tells whether a folder was made.
template <class Ch>
bool Reserve(Str<Ch>& path, std::vector<Slot>& slots, bool lastIsFile, Made& made, bool* createdFolder) {
  for (Slot& slot : slots) {
    size_t end = slot.digits + 8;
    while (end < path.size() && !IsSep(path[end])) ++end;
    bool file = lastIsFile && end == path.size();
    std::string name;
    if (!Narrow(path.substr(0, end), name)) break;
    int above = CreateDirectoryPath(name.c_str(), PATH_DIRS_TO_LAST_SEPARATOR);
    if (above == 0) break;
    if (above == 1) *createdFolder = true;
    int code = SYS_ERROR_EXISTS;
    for (uint32_t tries = 0; tries < kUniqueTries; ++tries, ++slot.number) {
      SpellNumber(path, slot);
      if (!Narrow(path.substr(0, end), name)) break;
      code = file ? SysCreateNewFile(name.c_str()) : SysCreateDirectory(name.c_str());
      if (code != SYS_ERROR_EXISTS) break;
    }
    if (code != SYS_OK) break;
    made.emplace_back(name, file);
    if (!file) *createdFolder = true;
  }
  if (made.size() == slots.size()) return true;
  Release(made);
  return false;
}

template <class Ch>
Str<Ch> StartFolder(bool besideProgram) {
  std::string start(kTempPathCap, '\0');
  int n = besideProgram ? GetPathBesideProgram(&start[0], kTempPathCap) : SysGetTempPath(&start[0], kTempPathCap);
  start.resize(size_t(n));
  return Widen<Ch>(start);
}

template <class Ch>
int MakeTemp(Ch* output, int size, const TempNamePartT<Ch>& base, const TempNamePartT<Ch>* more, Ch** end) {
  if (output == nullptr || size < 1) return 0;
  output[0] = 0;
  if (end) *end = output;
  bool besideProgram = base.code == TEMP_NAME_PROGRAM_DIRECTORY;
  Str<Ch> path = StartFolder<Ch>(besideProgram);
  if (path.empty() || path.size() > size_t(size - 1)) return 0;
  const Ch sep = SeparatorFor(path);
  std::vector<TempNamePartT<Ch>> parts;
  if (!besideProgram && !base.IsNone()) parts.push_back(base);
  for (int i = 0; i < 3; ++i)
    if (!more[i].IsNone()) parts.push_back(more[i]);

  bool isFile = false, nameOnly = false;
  std::vector<Slot> slots;
  for (size_t i = 0; i < parts.size(); ++i) {
    const TempNamePartT<Ch>& part = parts[i];
    isFile = false;
    if (part.code == TEMP_NAME_FILE_NAME_OF_NEXT) {
      nameOnly = true;
    } else if (part.code == TEMP_NAME_UNIQUE || part.code == TEMP_NAME_UNIQUE_FOLDER) {
      if (part.code == TEMP_NAME_UNIQUE_FOLDER && !path.empty() && !IsSep(path.back())) path += sep;
      if (path.size() + kUniqueRoom > size_t(size)) return 0;
      Slot slot{path.size(), UniqueStart()};
      path += HexName<Ch>(slot.number);
      path += sep;
      slots.push_back(slot);
    } else if (part.text != nullptr) {
      const Ch* text = part.text;
      while (*text == Ch('?')) {
        isFile = true;
        ++text;
      }
      Str<Ch> after;
      bool cutToDot = false;
      if (Continuation(part, &after, &cutToDot)) {
        Continue(path, after, cutToDot, slots);
      } else {
        Str<Ch> piece(text);
        if (nameOnly) piece = piece.substr(NameOffset(piece));
        while (!piece.empty() && IsSep(piece[0])) piece.erase(0, 1);
        if (!path.empty() && !IsSep(path.back())) path += sep;
        path += piece;
      }
      nameOnly = false;
    }
  }
  if (path.size() > size_t(size - 1)) return 0;
  bool createdFolder = false;
  Made made;
  if (!Reserve(path, slots, isFile, made, &createdFolder)) return 0;
  std::memcpy(output, path.c_str(), sizeof(Ch) * (path.size() + 1));
  if (end) *end = output + path.size();
  std::string narrow;
  int result = Narrow(path, narrow) ? CreateDirectoryPath(narrow.c_str(), isFile ? PATH_DIRS_TO_LAST_SEPARATOR : 0) : 0;
  if (result == 0) Release(made);
  // Folders this call made count as made, though the last step found them.
  return result == 2 && createdFolder ? 1 : result;
}

}  // namespace

int MakeTempFileName(char* output, int size, TempNamePart base, TempNamePart part1, TempNamePart part2,
                     TempNamePart part3, char** end) {
  const TempNamePart more[3] = {part1, part2, part3};
  return MakeTemp(output, size, base, more, end);
}

int MakeTempFileNameW(wchar16* output, int size, TempNamePartW base, TempNamePartW part1, TempNamePartW part2,
                      TempNamePartW part3, wchar16** end) {
  const TempNamePartW more[3] = {part1, part2, part3};
  return MakeTemp(output, size, base, more, end);
}
