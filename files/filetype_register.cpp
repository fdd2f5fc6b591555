// Writing a file type: the extension and ProgID keys, verbs and verb icons.
#include <cstring>

#include "files/filetype.h"
#include "files/filetype_impl.h"
#include "files/pathnormal.h"

using namespace filetype_detail;

namespace {

constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr BYTE kEditFlags[4] = {0, 0, 0, 0};

// The choice the user made in the shell would override the registration.
// Nothing is created where there is nothing to clear; failures do not
// matter.
void ClearUserChoice(const std::string& keyName) {
  CRegistryKey user;
  if (user.Open(HKEY_CURRENT_USER, kFileExts, REGKEY_MODE_WRITE) &&
      user.OpenSubKey(keyName.c_str(), 1) && user.OpenSubKey("UserChoice", 1)) {
    user.DeleteValue("Progid");
  }
}

}  // namespace

bool RegisterFileType(const char* ext, const char* programPath, int iconIndex,
                      const char* description, const char* progId) {
  Extension e;
  if (!TakeExtension(ext, kMaxExtension, &e)) return false;
  const bool ownDescription = description == nullptr || description[0] == '\0';
  const bool ownProgId = progId == nullptr || progId[0] == '\0';
  std::string progName = ownProgId ? DefaultProgId(e) : std::string(progId);
  if (!IsSingleKeyName(progName)) return false;
  std::string path;
  if (!TakeProgramPath(programPath, false, &path)) return false;

  CRegistryKey key;
  if (!key.Create(HKEY_CLASSES_ROOT, e.keyName.c_str(), 0)) return false;
  std::string current;
  if (ownProgId && ReadText(key, nullptr, &current) && !current.empty()) {
    // The type is associated already: that ProgID gets our description and icon.
    if (!IsSingleKeyName(current)) return false;
    progName = current;
  } else if (!WriteText(key, nullptr, progName)) {
    return false;
  }
  ClearUserChoice(e.keyName);

  if (!key.Create(HKEY_CLASSES_ROOT, progName.c_str(), 0)) return false;
  if (!ownDescription || !ReadText(key, nullptr, &current) || current.empty()) {
    if (!WriteText(key, nullptr, ownDescription ? DefaultDescription(e) : description)) {
      return false;
    }
  }
  if (!WriteText(key, "AlwaysShowExt", std::string()) ||
      !key.SetValue(kEditFlags, sizeof kEditFlags, "EditFlags", REG_BINARY)) {
    return false;
  }
  if (!key.OpenSubKey("DefaultIcon", 0) || !WriteText(key, nullptr, IconValue(path, iconIndex))) {
    return false;
  }
  key.Close();
  DeleteSubKeyIfPresent(key, "ShellEx", "IconHandler");
  return true;
}

bool RegisterFileVerbs(const char* ext, const char* programPath, const char* verb,
                       const char* arguments) {
  Extension e;
  std::string path;
  Verb v;
  if (!TakeExtension(ext, kMaxExtension, &e) || !TakeProgramPath(programPath, true, &path) ||
      !TakeVerb(verb, false, &v)) {
    return false;
  }
  std::string progName;
  if (!EnsureProgId(e, &progName)) return false;
  const std::string command = "\"" + path + "\" " +
      (arguments != nullptr && arguments[0] != '\0' ? arguments : "\"%1\"");

  CRegistryKey key;
  if (!key.Open(HKEY_CLASSES_ROOT, progName.c_str(), REGKEY_MODE_CREATE) ||
      !key.OpenSubKey("Shell", 0)) {
    return false;
  }
  if (v.group == kEditGroup) {
    key.DeleteKey("Bearbeiten");
    key.DeleteKey("&Bearbeiten");
  }
  if (!key.OpenSubKey(v.key.c_str(), 0)) return false;
  if (!v.display.empty() && !WriteText(key, nullptr, v.display)) return false;
  if (!key.OpenSubKey("Command", 0) || !WriteText(key, nullptr, command)) return false;
  key.Close();
  key.DeleteKey("ddeexec");
  key.Close();
  key.DeleteKey("DropTarget");
  return true;
}

bool SetFileVerbIcon(const char* ext, const char* verb, const char* iconPath, int iconIndex) {
  Extension e;
  std::string path;
  Verb v;
  if (!TakeExtension(ext, kMaxExtension, &e) || !TakeProgramPath(iconPath, true, &path) ||
      !TakeVerb(verb, false, &v)) {
    return false;
  }
  std::string progName;
  if (!EnsureProgId(e, &progName)) return false;
  if (path.find(' ') != std::string::npos) {
    char stored[kMaxPath + 1];
    if (GetTrueCasePath(stored, path.c_str(), static_cast<int>(sizeof stored)) > 0) path = stored;
  }
  CRegistryKey key;
  return key.Open(HKEY_CLASSES_ROOT, progName.c_str(), REGKEY_MODE_CREATE) &&
         key.OpenSubKey("Shell", 0) && key.OpenSubKey(v.key.c_str(), 0) &&
         WriteText(key, "Icon", IconValue(path, iconIndex));
}
