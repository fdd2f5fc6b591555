// The arguments of the file-type functions and the registry steps they share.
#include <cstring>

#include "files/filetype.h"
#include "files/filetype_impl.h"
#include "files/path.h"
#include "toolkit/strcase.h"
#include "toolkit/wildcard.h"
#include "toolkit/wildcard_fold.h"

namespace filetype_detail {

// The aliases are Latin-1; both cases of the umlaut are listed because the
// case-blind compare folds ASCII letters only.
const VerbGroup kVerbGroups[kVerbGroupCount] = {
    {"open", {"\326ffne", "\366ffne", "\326ffnen", "\366ffnen"}},
    {"print", {"Drucke", "Drucken", nullptr, nullptr}},
    {"Edit", {"Bearbeiten", nullptr, nullptr, nullptr}},
};

namespace {

constexpr char kEditDisplay[] = "&Bearbeiten";

bool IsSpecialPointer(const char* text) { return text == REGKEY_NEXT || text == REGKEY_ALL; }

// Key names compare as the registry compares them: Latin-1 letters in
// either case alike.
std::string KeyFold(const char* name) {
  std::string folded = name;
  StrCaseConvert(folded.data(), folded.c_str(), CASE_UPPER | CASE_LATIN1);
  return folded;
}

int FindVerbGroup(const std::string& name) {
  for (int g = 0; g < kVerbGroupCount; ++g) {
    if (StrCompareNoCase(name.c_str(), kVerbGroups[g].key) == 0) return g;
    for (const char* alias : kVerbGroups[g].aliases) {
      if (alias != nullptr && StrCompareNoCase(name.c_str(), alias) == 0) return g;
    }
  }
  return -1;
}

}  // namespace

bool TakeExtension(const char* arg, int maxLength, Extension* out) {
  if (arg == nullptr || IsSpecialPointer(arg)) return false;
  int length = 0;
  const char* found = FindPathExtension(-1, arg, &length);
  // Without an extension of a file name the argument is the extension
  // itself, perhaps written with its dot.
  std::string text = length > 0 ? std::string(found, static_cast<size_t>(length))
                                : std::string(arg[0] == '.' ? arg + 1 : arg);
  if (text.empty() || text.size() > static_cast<size_t>(maxLength)) return false;
  // What is left of a path without extension is no extension.
  if (text.find_first_of("\\/:.") != std::string::npos) return false;
  out->keyName = "." + text;
  StrLower(out->keyName.data());
  out->text = std::move(text);
  return true;
}

std::string DefaultProgId(const Extension& ext) { return ext.keyName.substr(1) + "file"; }

std::string DefaultDescription(const Extension& ext) {
  std::string text = ext.text;
  StrUpper(text.data());
  return text + " Datei";
}

bool TakeProgramPath(const char* path, bool ownWhenNull, std::string* out) {
  if (IsSpecialPointer(path)) return false;
  if (path == nullptr) {
    if (!ownWhenNull) return false;
    char own[kMaxPath + 1];
    if (GetProgramPath(own, static_cast<int>(sizeof own)) <= 0) return false;
    *out = own;
    return true;
  }
  // A longer path would have to be cut, and the cut path names another file;
  // a quote could not be quoted in a command line.
  if (std::strlen(path) > kMaxPath || std::strchr(path, '"') != nullptr) return false;
  if (GetPathType(path) != PATH_FILE && std::strchr(path, '%') == nullptr) return false;
  *out = path;
  return true;
}

std::string IconValue(const std::string& path, int index) {
  return path + "," + std::to_string(index);
}

bool TakeVerb(const char* verb, bool allowAll, Verb* out) {
  *out = Verb();
  if (verb == FILEVERB_ALL) {
    out->all = true;
    return allowAll;
  }
  if (verb == REGKEY_ALL) return false;
  if (verb == nullptr || verb[0] == '\0') verb = "open";
  std::string name;
  for (const char* p = verb; *p != '\0'; ++p) {
    if (*p != '&') name.push_back(*p);
  }
  const bool hadAmpersand = name.size() != std::strlen(verb);
  if (name.size() > kMaxVerb) name.resize(kMaxVerb);
  // An empty name would be the Shell key itself, a '\' a key below a verb.
  if (name.empty() || name.find('\\') != std::string::npos) return false;
  out->group = FindVerbGroup(name);
  if (out->group >= 0) {
    out->key = kVerbGroups[out->group].key;
    if (out->group == kEditGroup) out->display = kEditDisplay;
  } else {
    out->key = name;
    if (hadAmpersand) out->display = verb;
  }
  return true;
}

std::vector<std::string> VerbKeyNames(CRegistryKey& shell, const Verb& verb) {
  std::vector<std::string> names;
  if (verb.all) {
    for (DWORD i = 0, n = shell.GetSubKeyCount(); i < n; ++i) {
      char name[CRegistryKey::kNameSize];
      if (shell.GetSubKeyName(name, CRegistryKey::kNameSize, i) > 0) names.emplace_back(name);
    }
  } else if (verb.group >= 0) {
    names.emplace_back(kVerbGroups[verb.group].key);
    for (const char* alias : kVerbGroups[verb.group].aliases) {
      if (alias == nullptr) continue;
      bool known = false;
      for (const std::string& name : names) known = known || KeyFold(name.c_str()) == KeyFold(alias);
      if (!known) names.emplace_back(alias);
    }
  } else {
    names.push_back(verb.key);
  }
  return names;
}

bool IsSingleKeyName(const std::string& name) {
  return !name.empty() && name.size() < 256 && name.find('\\') == std::string::npos;
}

bool ReadProgId(const std::string& keyName, std::string* progId) {
  CRegistryKey key;
  return key.Open(HKEY_CLASSES_ROOT, keyName.c_str(), REGKEY_MODE_READ) &&
         ReadText(key, nullptr, progId) && IsSingleKeyName(*progId);
}

bool EnsureProgId(const Extension& ext, std::string* progId) {
  CRegistryKey key;
  if (!key.Open(HKEY_CLASSES_ROOT, ext.keyName.c_str(), REGKEY_MODE_READ) &&
      !key.Create(HKEY_CLASSES_ROOT, ext.keyName.c_str(), 0)) {
    return false;
  }
  if (ReadText(key, nullptr, progId) && !progId->empty()) return IsSingleKeyName(*progId);
  *progId = DefaultProgId(ext);
  return key.Create(HKEY_CLASSES_ROOT, ext.keyName.c_str(), 0) &&
         WriteText(key, nullptr, *progId);
}

bool ReadText(CRegistryKey& key, const char* name, std::string* out) {
  void* data = nullptr;
  if (!key.QueryValueAlloc(&data, name, REG_SZ)) return false;
  *out = static_cast<const char*>(data);
  delete[] static_cast<BYTE*>(data);
  return true;
}

bool WriteText(CRegistryKey& key, const char* name, const std::string& text) {
  return key.SetValue(text.c_str(), static_cast<DWORD>(text.size()), name, REG_SZ);
}

std::string ReadSubKeyDefault(CRegistryKey& key, const char* subKey) {
  const int depth = key.depth;
  std::string text;
  if (key.OpenSubKey(subKey, 1) && !ReadText(key, nullptr, &text)) text.clear();
  CloseTo(key, depth);
  return text;
}

std::string PathPattern(const char* path) {
  std::string pattern = path != nullptr ? path : "";
  pattern.push_back('*');
  ConvertSeparators(pattern.data(), '\\');
  return pattern;
}

bool MatchesPathPattern(const std::string& pattern, const std::string& stored) {
  std::string text = stored;
  ConvertSeparators(text.data(), '\\');
  if (MatchFilePattern(pattern.c_str(), text.c_str(), MATCH_NOCASE) == 0) return true;
  // Commands hold their program path in quotes.
  return !text.empty() && text[0] == '"' &&
         MatchFilePattern(pattern.c_str(), text.c_str() + 1, MATCH_NOCASE) == 0;
}

void CloseTo(CRegistryKey& key, int depth) {
  while (key.depth > depth) key.Close();
}

void DeleteSubKeyIfPresent(CRegistryKey& key, const char* parent, const char* subKey) {
  const int depth = key.depth;
  if (key.OpenSubKey(parent, 1)) key.DeleteKey(subKey);
  CloseTo(key, depth);
}

}  // namespace filetype_detail
