// Reading what is registered for a file type.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "files/filetype.h"
#include "files/filetype_impl.h"
#include "files/path.h"

using namespace filetype_detail;

namespace {

// The verb keys whose presence GetFileTypeState reports, bit by bit: a
// whole alias group, or one key.
struct VerbBit {
  DWORD bit;
  int group;
  const char* key;
};
constexpr VerbBit kVerbBits[] = {
    {FILETYPE_VERB_OPEN, 0, "open"},
    {FILETYPE_VERB_PRINT, 1, "print"},
    {FILETYPE_VERB_BEARBEITEN, -1, "Bearbeiten"},
    {FILETYPE_VERB_EDIT, -1, "Edit"},
};

// Opens the ProgID key of the extension for reading.
bool OpenProgId(const char* ext, CRegistryKey& key) {
  Extension e;
  std::string progName;
  return TakeExtension(ext, kMaxExtension, &e) && ReadProgId(e.keyName, &progName) &&
         key.Open(HKEY_CLASSES_ROOT, progName.c_str(), REGKEY_MODE_READ);
}

// Splits "path,index": the length of the path part and the index (0 when
// there is no index part).
size_t SplitIconValue(const char* value, int* index) {
  *index = 0;
  const char* comma = std::strrchr(value, ',');
  if (comma == nullptr || std::strspn(comma + 1, "0123456789-") != std::strlen(comma + 1)) {
    return std::strlen(value);
  }
  // As atoi reads it, but a number out of range is clamped rather than undefined.
  const long number = std::strtol(comma + 1, nullptr, 10);
  *index = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
  return static_cast<size_t>(comma - value);
}

bool ReadInto(CRegistryKey& key, char* buf, int size) {
  return key.QueryValue(buf, static_cast<DWORD>(size), nullptr, REG_SZ);
}

}  // namespace

bool GetFileTypeDescription(const char* ext, char* buf, int size) {
  if (buf == nullptr || size < 1) return false;
  buf[0] = '\0';
  CRegistryKey key;
  return OpenProgId(ext, key) && ReadInto(key, buf, size);
}

DWORD GetFileTypeState(const char* ext) {
  Extension e;
  std::string progName;
  if (!TakeExtension(ext, kMaxExtension, &e) || !ReadProgId(e.keyName, &progName)) return 0;
  DWORD state = FILETYPE_PROGID;
  CRegistryKey key;
  if (!key.Open(HKEY_CLASSES_ROOT, progName.c_str(), REGKEY_MODE_READ)) return state;
  std::string text;
  if (ReadText(key, nullptr, &text) && !text.empty()) state |= FILETYPE_DESCRIPTION;
  text = ReadSubKeyDefault(key, "DefaultIcon");
  if (!text.empty()) {
    state |= FILETYPE_ICON;
    int index = 0;
    text.resize(SplitIconValue(text.c_str(), &index));
    if (GetPathType(text.c_str()) == PATH_FILE) state |= FILETYPE_ICON_FILE;
  }
  if (key.OpenSubKey("Shell", 1)) {
    for (const VerbBit& entry : kVerbBits) {
      Verb verb;
      verb.key = entry.key;
      verb.group = entry.group;
      for (const std::string& name : VerbKeyNames(key, verb)) {
        if (key.OpenSubKey(name.c_str(), 1)) {
          key.Close();
          state |= entry.bit;
          break;
        }
      }
    }
  }
  return state;
}

bool GetFileVerbCommand(const char* ext, char* buf, int size, const char* verb) {
  if (buf == nullptr || size < 1) return false;
  buf[0] = '\0';
  if (verb == nullptr || verb[0] == '\0') verb = "open";
  if (verb == REGKEY_NEXT || verb == REGKEY_ALL) return false;
  CRegistryKey key;
  return OpenProgId(ext, key) && key.OpenSubKey("Shell", 1) && key.OpenSubKey(verb, 1) &&
         key.OpenSubKey("Command", 1) && ReadInto(key, buf, size);
}

bool GetFileTypeIcon(const char* ext, char* buf, int size, int* index) {
  if (index != nullptr) *index = 0;
  if (buf == nullptr || size < 1) return false;
  buf[0] = '\0';
  CRegistryKey key;
  if (!OpenProgId(ext, key) || !key.OpenSubKey("DefaultIcon", 1) || !ReadInto(key, buf, size)) {
    return false;
  }
  int number = 0;
  buf[SplitIconValue(buf, &number)] = '\0';
  if (index != nullptr) *index = number;
  return true;
}
