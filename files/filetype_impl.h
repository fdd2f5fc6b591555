// The steps the file-type functions share: taking the extension, program
// path and verb arguments apart, reading the ProgID, and matching stored
// commands against a program path.
#pragma once

#include <string>
#include <vector>

#include "files/registry.h"

namespace filetype_detail {

inline constexpr int kMaxExtension = 14;
inline constexpr int kMaxNotifyExtension = 15;
inline constexpr size_t kMaxPath = 259;
inline constexpr size_t kMaxVerb = 63;
// Stored commands are read and rewritten within this many bytes.
inline constexpr size_t kCommandSize = 0x218;

// One alias group of verbs: the key name and the texts that stand for it.
struct VerbGroup {
  const char* key;
  const char* aliases[4];  // null-padded
};
inline constexpr int kVerbGroupCount = 3;
inline constexpr int kEditGroup = 2;
extern const VerbGroup kVerbGroups[kVerbGroupCount];

struct Extension {
  std::string text;     // as the caller wrote it, without the dot
  std::string keyName;  // '.' and the text in lower case
};
// False for a null, empty, too long or malformed extension.
bool TakeExtension(const char* arg, int maxLength, Extension* out);
std::string DefaultProgId(const Extension& ext);
std::string DefaultDescription(const Extension& ext);

// A program or icon path that passes the checks; null counts as a failure
// unless ownWhenNull, where it stands for the program's own file.
bool TakeProgramPath(const char* path, bool ownWhenNull, std::string* out);
// "path,index".
std::string IconValue(const std::string& path, int index);

struct Verb {
  std::string key;      // the key name below Shell
  std::string display;  // the display text to write; empty for none
  int group = -1;       // index into kVerbGroups, -1 for a verb of its own
  bool all = false;     // FILEVERB_ALL
};
// False for a refused verb (or FILEVERB_ALL unless allowAll).
bool TakeVerb(const char* verb, bool allowAll, Verb* out);
// The key names a verb argument stands for below the open Shell key: every
// subkey for FILEVERB_ALL, the group's key name and aliases, or the one key.
std::vector<std::string> VerbKeyNames(CRegistryKey& shell, const Verb& verb);

// A ProgID names one key directly below HKEY_CLASSES_ROOT.
bool IsSingleKeyName(const std::string& name);
// The ProgID the extension key names; false when the key or a usable ProgID
// is missing.
bool ReadProgId(const std::string& keyName, std::string* progId);
// The ProgID of the extension key, which is created and given the default
// ProgID when it names none.
bool EnsureProgId(const Extension& ext, std::string* progId);

// A text value of the key on top of the stack (null name: the default);
// false when missing or unreadable.
bool ReadText(CRegistryKey& key, const char* name, std::string* out);
bool WriteText(CRegistryKey& key, const char* name, const std::string& text);
// The default value of the named subkey of the key on top (the stack is
// left as it was); empty when missing.
std::string ReadSubKeyDefault(CRegistryKey& key, const char* subKey);

// path followed by '*' with '\' separators (null path: "*").
std::string PathPattern(const char* path);
// Whether a stored command or icon value matches the pattern.
bool MatchesPathPattern(const std::string& pattern, const std::string& stored);

// Pops the key object back down to the given depth.
void CloseTo(CRegistryKey& key, int depth);
// Deletes a subkey of the key on top when it is there.
void DeleteSubKeyIfPresent(CRegistryKey& key, const char* parent, const char* subKey);

}  // namespace filetype_detail
