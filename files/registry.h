// CRegistryKey: a handle on one branch of the registry that walks down and
// up through nested subkeys like a stack. Every value operation works on the
// key on top of the stack; every operation reports success by its result and
// leaves the reason of a failure in `lastError`.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "platform/registry.h"
#include "platform/types.h"

class CTextList;

// Special name arguments: the entry at the current level's enumeration
// position, and every value or subkey of the delete operations.
inline const char* const REGKEY_NEXT = reinterpret_cast<const char*>(~uintptr_t{0});
inline const char* const REGKEY_ALL = reinterpret_cast<const char*>(~uintptr_t{1});

// Open modes (the low 6 bits of the Open flags); REGKEY_MODE_WRITE stands
// for every value other than 0 and 2.
constexpr DWORD REGKEY_MODE_READ = 0;
constexpr DWORD REGKEY_MODE_WRITE = 1;
constexpr DWORD REGKEY_MODE_CREATE = 2;

// The wide character-set selector of the Ex forms (2 in bits 28-29 of the
// type argument).
constexpr DWORD REGKEY_CHARSET_WIDE = 0x20000000;

// The object's own error codes in lastError.
constexpr DWORD REGKEY_ERR_NOT_OPEN = 22549;
constexpr DWORD REGKEY_ERR_TOO_DEEP = 22550;
constexpr DWORD REGKEY_ERR_OPEN_FAILED = 22551;
constexpr DWORD REGKEY_ERR_NO_DATA = 22552;

class CRegistryKey {
 public:
  static constexpr int kLevels = 12;
  static constexpr int kNameSize = 260;

  CRegistryKey();
  ~CRegistryKey();
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  // Construction and opening.
  bool Open(HKEY root, const char* path, DWORD flags);
  bool Create(HKEY root, const char* path, DWORD flags);
  bool OpenSubKey(const char* name, DWORD noCreate);
  bool CreateSubKey(const char* name);
  bool Close();
  bool CloseAll();

  // Values of the key on top of the stack.
  bool QueryValue(void* buf, DWORD size, const char* name, DWORD type);
  bool QueryValueAlloc(void** out, const char* name, DWORD type);
  int GetValueSize(const char* name);
  bool GetString(CString& out, const char* name);
  // Numbers as REG_SZ text with '.' whatever the process locale; SetDouble
  // writes the shortest text that reads back to the same double.
  bool GetDouble(double* out, const char* name);
  bool GetFloat(float* out, const char* name);
  bool SetValue(const void* data, DWORD size, const char* name, DWORD type);
  bool SetDouble(const double* value, const char* name);
  bool SetMultiString(const char* list, const char* name);
  bool SetTextList(const CTextList& list, const char* name, int from, int to);
  bool GetTextList(CTextList& list, const char* name);
  bool DeleteValue(const char* name);
  bool QueryValueEx(void* buf, DWORD size, const char* name, DWORD type);
  bool QueryValueAllocEx(void** out, const char* name, DWORD type);
  bool SetValueEx(const void* data, DWORD size, const char* name, DWORD type);

  // Keys and enumeration.
  bool DeleteKey(const char* name);
  DWORD GetValueCount();
  DWORD GetSubKeyCount();
  char* EnumValueName(DWORD index);
  char* EnumValueName(DWORD index, int* len);
  int EnumValueNameAlloc(char** out, DWORD index);
  int GetValueName(char* buf, int size, DWORD index);
  char* EnumSubKey(DWORD index);
  char* EnumSubKey(DWORD index, int* len);
  int EnumSubKeyAlloc(char** out, DWORD index);
  int GetSubKeyName(char* buf, int size, DWORD index);
  bool ResetSubKeyEnum();
  const char* GetLevelPath(int level);
  const char* GetLevelPath(int level, int* len);
  int CopyLevelPath(char* buf, int size, int level);
  int GetLevelPathAlloc(char** out, int level);
  int GetKeyPath(char* buf, int size, int mode);
  int FindSubKeyIndex(int level);
  bool SaveKey(const char* file);
  bool LoadKey(const char* subKey, const char* file);
  bool ReplaceKey(const char* subKey, const char* newFile, const char* oldFile);

  // The state, in this order; callers read lastError directly.
  HKEY currentKey = nullptr;
  HKEY rootKey = nullptr;
  char name[kNameSize] = {};        // name of the last value operation or enumeration
  DWORD valueType = 0;              // after a read: the type the registry reported
  DWORD dataSize = 0;               // after the terminator fix-up of the reads
  DWORD nameLength = 0;
  HKEY keyStack[kLevels] = {};
  DWORD valueEnumPos[kLevels] = {};
  DWORD subKeyEnumPos[kLevels] = {};
  char* levelPaths[kLevels] = {};   // heap copies of the texts each level was opened by
  int depth = -1;                   // index of the top level; -1 = closed
  DWORD openMode = 0;
  DWORD accessMask = 0;
  DWORD lastError = 0;

 private:
  bool NeedOpen();
  bool NeedValueDepth();
  bool NeedWriteMode();
  // A read into a caller's buffer needs one (ERROR_INVALID_PARAMETER else).
  bool NeedBuffer(const void* buf);
  void SetName(const char* text);
  // The name of the value at the current enumeration position into the name
  // field, advancing the position; false (lastError set) at the end.
  bool TakeNextValueName();
  void Push(HKEY key, const char* path);
  bool FinishOpen(HKEY root, const char* path, HKEY key);
  // The checks and name handling that every read and write begins with.
  bool BeginValue(const char* text, bool takeNext);
  bool ReadAlloc(void** out, const char* text, DWORD type, bool exForm);
  bool WriteValue(const void* data, DWORD size, const char* text, DWORD type, bool exForm);
};

// "Software", then "\" and the application's registry-key name, its
// application name and subKey, each when there is one; cut to size - 1.
int RegistryDefaultPath(char* buf, int size, const char* subKey);
// The root named at the start of path (and how much of path it takes), else
// HKEY_CURRENT_USER and 0.
int RegistryParseRootKey(HKEY* root, const char* path);
