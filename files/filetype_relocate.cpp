// Moving a file type's commands and icon to another program path, and
// removing a registration.
#include <cstring>

#include "files/filetype.h"
#include "files/filetype_impl.h"
#include "toolkit/wildcard_fold.h"

using namespace filetype_detail;

namespace {

// The command with its program part (a leading quoted text, or else
// everything up to the first blank or tab) replaced by the path in quotes.
std::string ReplaceProgramPart(const std::string& command, const std::string& path) {
  size_t start = command.find_first_not_of(" \t");
  if (start == std::string::npos) start = command.size();
  size_t end;
  if (start < command.size() && command[start] == '"') {
    end = command.find('"', start + 1);
    end = end == std::string::npos ? command.size() : end + 1;
  } else {
    end = command.find_first_of(" \t", start);
    if (end == std::string::npos) end = command.size();
  }
  return "\"" + path + "\"" + command.substr(end);
}

// A stored command, read as the rewrite allows.
bool ReadCommand(CRegistryKey& key, std::string* out) {
  char buf[kCommandSize];
  if (!key.QueryValue(buf, sizeof buf, nullptr, REG_SZ)) return false;
  *out = buf;
  return true;
}

// Opens ProgID\sub for writing; false when either is missing.
bool OpenProgIdKey(const char* ext, const char* sub, CRegistryKey& key, Extension* e) {
  std::string progName;
  return TakeExtension(ext, kMaxExtension, e) && ReadProgId(e->keyName, &progName) &&
         key.Open(HKEY_CLASSES_ROOT, progName.c_str(), REGKEY_MODE_WRITE) &&
         (sub == nullptr || key.OpenSubKey(sub, 1));
}

bool DeleteFromClassesRoot(const std::string& name) {
  CRegistryKey root;
  return root.Open(HKEY_CLASSES_ROOT, "", REGKEY_MODE_WRITE) && root.DeleteKey(name.c_str());
}

// Whether every subkey of the key on top is DefaultIcon or Shell.
bool HoldsOnlyIconAndShell(CRegistryKey& key) {
  const DWORD count = key.GetSubKeyCount();
  if (count > 2) return false;
  for (DWORD i = 0; i < count; ++i) {
    const char* name = key.EnumSubKey(i);
    if (name == nullptr ||
        (StrCompareNoCase(name, "DefaultIcon") != 0 && StrCompareNoCase(name, "Shell") != 0)) {
      return false;
    }
  }
  return true;
}

// The command of a verb below the open Shell key; empty when missing.
std::string VerbCommand(CRegistryKey& shell, const std::string& verb) {
  const int depth = shell.depth;
  std::string command;
  if (shell.OpenSubKey(verb.c_str(), 1)) command = ReadSubKeyDefault(shell, "Command");
  CloseTo(shell, depth);
  return command;
}

}  // namespace

bool RelocateFileVerbs(const char* ext, const char* oldPath, const char* newPath,
                       const char* verb) {
  Extension e;
  std::string path;
  Verb v;
  if (!TakeProgramPath(newPath, false, &path) || !TakeVerb(verb, true, &v)) return false;
  CRegistryKey key;
  if (!OpenProgIdKey(ext, "Shell", key, &e)) return false;
  const int shellDepth = key.depth;
  const std::string pattern = PathPattern(oldPath);
  int rewritten = 0;
  bool failed = false;
  for (const std::string& name : VerbKeyNames(key, v)) {
    std::string command;
    if (key.OpenSubKey(name.c_str(), 1) && key.OpenSubKey("Command", 1) &&
        ReadCommand(key, &command) && MatchesPathPattern(pattern, command)) {
      const std::string moved = ReplaceProgramPart(command, path);
      if (moved.size() < kCommandSize) {
        if (WriteText(key, nullptr, moved)) {
          ++rewritten;
          key.Close();
          key.DeleteKey("ddeexec");
        } else {
          failed = true;
        }
      }
    }
    CloseTo(key, shellDepth);
  }
  if (rewritten > 0) key.DeleteKey("DropTarget");
  return rewritten > 0 && !failed;
}

bool RelocateFileTypeIcon(const char* ext, const char* oldPath, const char* newPath,
                          int iconIndex) {
  Extension e;
  std::string path;
  if (!TakeProgramPath(newPath, false, &path)) return false;
  CRegistryKey key;
  std::string icon;
  if (!OpenProgIdKey(ext, "DefaultIcon", key, &e) || !ReadText(key, nullptr, &icon) ||
      !MatchesPathPattern(PathPattern(oldPath), icon) ||
      !WriteText(key, nullptr, IconValue(path, iconIndex))) {
    return false;
  }
  key.Close();
  DeleteSubKeyIfPresent(key, "ShellEx", "IconHandler");
  return true;
}

bool UnregisterFileType(const char* ext, const char* programPath, const char* iconPath) {
  Extension e;
  std::string progName;
  if (!TakeExtension(ext, kMaxExtension, &e) || !ReadProgId(e.keyName, &progName)) return false;
  CRegistryKey key;
  if (!key.Open(HKEY_CLASSES_ROOT, progName.c_str(), REGKEY_MODE_WRITE)) {
    return DeleteFromClassesRoot(e.keyName);
  }
  if (!HoldsOnlyIconAndShell(key)) return false;
  const std::string icon = ReadSubKeyDefault(key, "DefaultIcon");
  if (!icon.empty() &&
      !MatchesPathPattern(PathPattern(iconPath != nullptr ? iconPath : programPath), icon)) {
    return false;
  }
  if (key.OpenSubKey("Shell", 1)) {
    const std::string pattern = PathPattern(programPath);
    Verb all;
    all.all = true;
    for (const std::string& name : VerbKeyNames(key, all)) {
      const std::string command = VerbCommand(key, name);
      if (!command.empty() && !MatchesPathPattern(pattern, command)) return false;
    }
  }
  key.CloseAll();
  const bool extensionGone = DeleteFromClassesRoot(e.keyName);
  return DeleteFromClassesRoot(progName) && extensionGone;
}

bool UnregisterFileVerbs(const char* ext, const char* verb, const char* programPath) {
  Extension e;
  Verb v;
  if (!TakeVerb(verb, true, &v)) return false;
  CRegistryKey key;
  if (!OpenProgIdKey(ext, "Shell", key, &e)) return false;
  const std::string pattern = PathPattern(programPath);
  int deleted = 0;
  for (const std::string& name : VerbKeyNames(key, v)) {
    const int depth = key.depth;
    const bool present = key.OpenSubKey(name.c_str(), 1);
    CloseTo(key, depth);
    if (!present) continue;
    const std::string command = VerbCommand(key, name);
    if ((command.empty() || MatchesPathPattern(pattern, command)) && key.DeleteKey(name.c_str())) {
      ++deleted;
    }
  }
  return deleted > 0;
}

bool DeleteFileVerb(const char* ext, const char* verb) {
  // The verb names its key as it is written: without '&' removal or
  // aliases, so "Bearbeiten" or "Drucken" remove those keys, never "Edit"
  // or "print" of another program.
  if (verb == REGKEY_NEXT || verb == REGKEY_ALL) return false;
  const std::string verbKey = verb == nullptr || verb[0] == '\0' ? "open" : verb;
  Extension e;
  std::string progName;
  if (!IsSingleKeyName(verbKey) || !TakeExtension(ext, kMaxExtension, &e) ||
      !ReadProgId(e.keyName, &progName)) {
    return false;
  }
  CRegistryKey key;
  if (!key.Open(HKEY_CLASSES_ROOT, progName.c_str(), REGKEY_MODE_WRITE)) {
    DeleteFromClassesRoot(e.keyName);
    return true;
  }
  return key.OpenSubKey("Shell", 1) && key.DeleteKey(verbKey.c_str());
}
