// CRegistryKey: reading and writing values, with the terminators a text
// read must end in.
#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/registry.h"
#include "toolkit/textlist.h"

namespace {

constexpr DWORD kSelectorMask = 0x30000000;
constexpr DWORD kSelectorShift = 28;
constexpr DWORD kSelectorWide = 2;
constexpr DWORD kSelectorRefused = 3;
constexpr size_t kMaxName = 256;

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The registry call of one charset: the 8-bit name as it is, or widened
// unit by unit for the wide entry points.
struct NameForm {
  bool wide = false;
  wchar16 units[kMaxName + 1] = {};

  void Widen(const char* text) {
    size_t i = 0;
    for (; text[i] != '\0' && i < kMaxName; ++i) units[i] = static_cast<unsigned char>(text[i]);
    units[i] = 0;
    wide = true;
  }
  LONG Query(HKEY key, const char* text, DWORD* type, BYTE* data, DWORD* size) const {
    return wide ? RegQueryValueExW(key, units, nullptr, type, data, size)
                : RegQueryValueExA(key, text, nullptr, type, data, size);
  }
  LONG Set(HKEY key, const char* text, DWORD type, const BYTE* data, DWORD size) const {
    return wide ? RegSetValueExW(key, units, 0, type, data, size)
                : RegSetValueExA(key, text, 0, type, data, size);
  }
  // Takes the charset selector out of *type and chooses the call it asks
  // for; a refused selector, or a wide name too long to widen, is an error.
  DWORD Select(const char* text, DWORD* type) {
    const DWORD selector = (*type & kSelectorMask) >> kSelectorShift;
    *type &= ~kSelectorMask;
    if (selector == kSelectorRefused || text == REGKEY_NEXT || text == REGKEY_ALL) {
      return ERROR_NOT_SUPPORTED;
    }
    if (selector != kSelectorWide) return ERROR_SUCCESS;
    if (text != nullptr && std::strlen(text) >= kMaxName) return ERROR_FILE_NOT_FOUND;
    Widen(text != nullptr ? text : "");
    return ERROR_SUCCESS;
  }
};

// Bytes of a double-NUL-terminated list with its final NUL; one for a list
// that starts with its end.
DWORD MultiStringSize(const char* list) {
  const char* p = list;
  while (*p != '\0') p += std::strlen(p) + 1;
  return static_cast<DWORD>(p - list) + 1;
}

}  // namespace

void CRegistryKey::SetName(const char* text) {
  size_t len = 0;
  if (text != nullptr) {
    while (len < kMaxName && text[len] != '\0') ++len;
    std::memcpy(name, text, len);
  }
  name[len] = '\0';
  nameLength = static_cast<DWORD>(len);
}

bool CRegistryKey::TakeNextValueName() {
  DWORD room = kMaxName + 1;
  const LONG rc = RegEnumValueA(currentKey, valueEnumPos[depth], name, &room, nullptr, nullptr,
                                nullptr, nullptr);
  ++valueEnumPos[depth];
  if (rc != ERROR_SUCCESS) {
    name[0] = '\0';
    nameLength = 0;
    lastError = static_cast<DWORD>(rc);
    return false;
  }
  nameLength = room;
  return true;
}

bool CRegistryKey::NeedBuffer(const void* buf) {
  // Without a buffer the registry would only measure the value, and a read
  // would report success with nothing read.
  if (buf != nullptr) return true;
  dataSize = 0;
  lastError = ERROR_INVALID_PARAMETER;
  return false;
}

bool CRegistryKey::BeginValue(const char* text, bool takeNext) {
  if (!NeedValueDepth()) return false;
  if (text == REGKEY_ALL) {  // only the deletions take every value
    lastError = ERROR_NOT_SUPPORTED;
    return false;
  }
  if (text == REGKEY_NEXT) {
    if (takeNext) return TakeNextValueName();
    lastError = ERROR_NOT_SUPPORTED;
    return false;
  }
  SetName(text);
  return true;
}

bool CRegistryKey::QueryValue(void* buf, DWORD size, const char* text, DWORD type) {
  if (!NeedValueDepth() || !NeedBuffer(buf)) return false;
  auto* bytes = static_cast<BYTE*>(buf);
  const DWORD room = bytes != nullptr ? size : 0;
  const bool isText = IsText(type);
  const bool isMulti = type == REG_MULTI_SZ;
  DWORD got = room;
  DWORD reported = REG_NONE;
  LONG rc = ERROR_SUCCESS;
  if (!BeginValue(text, true)) {
    rc = static_cast<LONG>(lastError);
  } else {
    rc = RegQueryValueExA(currentKey, name, nullptr, &reported, bytes, &got);
    valueType = reported;
  }
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) {
    // Whatever failed, a text buffer is left holding a valid empty text.
    dataSize = 0;
    if (room > 0 && isText) {
      bytes[0] = 0;
      dataSize = 1;
    } else if (room >= 2 && isMulti) {
      bytes[0] = bytes[1] = 0;
      dataSize = 2;
    }
    return false;
  }
  dataSize = got;
  if (!isText && !isMulti) return true;
  if (got == 0) {
    if (room > 0 && isText) {
      bytes[0] = 0;
      dataSize = 1;
    } else if (room >= 2 && isMulti) {
      bytes[0] = bytes[1] = 0;
      dataSize = 2;
    } else if (room == 1 && isMulti) {  // no room for the two zeros of an empty list
      bytes[0] = 0;
      lastError = ERROR_MORE_DATA;
      return false;
    }
    return true;
  }
  DWORD missing = 0;
  if (isText) {
    missing = bytes[got - 1] == 0 ? 0 : 1;
  } else if (bytes[got - 1] != 0) {
    missing = 2;
  } else {
    missing = got >= 2 && bytes[got - 2] == 0 ? 0 : 1;
  }
  if (missing > 0 && (room < 2 && isMulti ? true : got + missing > room)) {
    std::memset(bytes, 0, isMulti && room >= 2 ? 2 : (room > 0 ? 1 : 0));
    dataSize = 0;
    lastError = ERROR_MORE_DATA;
    return false;
  }
  std::memset(bytes + got, 0, missing);
  dataSize = got + missing;
  return true;
}

bool CRegistryKey::ReadAlloc(void** out, const char* text, DWORD type, bool exForm) {
  if (out != nullptr) *out = nullptr;
  if (!NeedValueDepth()) return false;
  NameForm form;
  if (exForm) {
    const DWORD refused = form.Select(text, &type);
    if (refused != ERROR_SUCCESS) {
      lastError = refused;
      return false;
    }
  }
  if (!BeginValue(text, true)) return false;
  DWORD size = 0;
  DWORD reported = REG_NONE;
  LONG rc = form.Query(currentKey, name, &reported, nullptr, &size);
  valueType = reported;
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
    lastError = static_cast<DWORD>(rc);
    dataSize = 0;
    return false;
  }
  auto* block = new BYTE[size_t{size} + 4];  // counted wide: a 32-bit size + 4 could wrap
  DWORD got = size;
  rc = form.Query(currentKey, name, &reported, block, &got);
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) {  // the value changed in between
    delete[] block;
    dataSize = 0;
    return false;
  }
  valueType = reported;
  // Four zero bytes behind the data end it as text of either width.
  std::memset(block + got, 0, 4);
  dataSize = got;
  if (!exForm) {
    if (got == 0) {
      dataSize = IsText(type) ? 1 : (type == REG_MULTI_SZ ? 2 : 0);
    } else if (IsText(type)) {
      dataSize += block[got - 1] != 0 ? 1 : 0;
    } else if (type == REG_MULTI_SZ) {
      dataSize += block[got - 1] != 0 ? 2 : (got >= 2 && block[got - 2] == 0 ? 0 : 1);
    }
  }
  if (out != nullptr) {
    *out = block;
  } else {
    delete[] block;
  }
  return true;
}

bool CRegistryKey::QueryValueAlloc(void** out, const char* text, DWORD type) {
  return ReadAlloc(out, text, type, false);
}

bool CRegistryKey::QueryValueAllocEx(void** out, const char* text, DWORD type) {
  return ReadAlloc(out, text, type, true);
}

bool CRegistryKey::QueryValueEx(void* buf, DWORD size, const char* text, DWORD type) {
  if (!NeedValueDepth() || !NeedBuffer(buf)) return false;
  auto* bytes = static_cast<BYTE*>(buf);
  const DWORD room = bytes != nullptr ? size : 0;
  const DWORD selector = (type & kSelectorMask) >> kSelectorShift;
  if (selector == kSelectorRefused || text == REGKEY_NEXT || text == REGKEY_ALL) {
    lastError = ERROR_NOT_SUPPORTED;
    return false;
  }
  NameForm form;
  LONG rc = ERROR_SUCCESS;
  DWORD got = room;
  if (selector == kSelectorWide && text != nullptr && std::strlen(text) >= kMaxName) {
    rc = ERROR_FILE_NOT_FOUND;
  } else {
    if (selector == kSelectorWide) form.Widen(text != nullptr ? text : "");
    SetName(text);
    DWORD reported = REG_NONE;
    rc = form.Query(currentKey, name, &reported, bytes, &got);
    valueType = reported;
  }
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) {
    std::memset(bytes, 0, room >= 2 ? 2 : room);
    dataSize = 0;
    return false;
  }
  const DWORD left = room - got;
  std::memset(bytes + got, 0, left >= 4 ? 4 : (left >= 2 ? 2 : left));
  dataSize = got;
  return true;
}

int CRegistryKey::GetValueSize(const char* text) {
  if (!NeedValueDepth()) return -1;
  if (text == REGKEY_ALL) {
    lastError = ERROR_NOT_SUPPORTED;
    return -1;
  }
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG rc = ERROR_SUCCESS;
  if (text == REGKEY_NEXT) {
    DWORD room = kMaxName + 1;
    rc = RegEnumValueA(currentKey, valueEnumPos[depth], name, &room, nullptr, &type, nullptr,
                       &size);
    nameLength = rc == ERROR_SUCCESS ? room : 0;
    if (rc != ERROR_SUCCESS) name[0] = '\0';
  } else {
    SetName(text);
    rc = RegQueryValueExA(currentKey, name, nullptr, &type, nullptr, &size);
  }
  lastError = static_cast<DWORD>(rc);
  if (rc != ERROR_SUCCESS) return -1;
  valueType = type;
  dataSize = size;
  return size <= INT_MAX ? static_cast<int>(size) : -1;
}

bool CRegistryKey::GetString(CString& out, const char* text) {
  void* block = nullptr;
  if (!QueryValueAlloc(&block, text, REG_SZ)) return false;
  out = CString(static_cast<const char*>(block));
  delete[] static_cast<BYTE*>(block);
  return true;
}

namespace {

// Reads a number as atof does in the C locale, whatever the process's
// locale says: settings written anywhere read the same everywhere.
double ReadNumber(const char* text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c != static_cast<locale_t>(nullptr) ? strtod_l(text, nullptr, c) : std::atof(text);
}

}  // namespace

bool CRegistryKey::GetDouble(double* out, const char* text) {
  char buf[64] = {};
  if (!QueryValue(buf, sizeof buf, text, REG_SZ)) return false;
  if (out != nullptr) *out = ReadNumber(buf);
  return true;
}

bool CRegistryKey::GetFloat(float* out, const char* text) {
  char buf[64] = {};
  if (!QueryValue(buf, sizeof buf, text, REG_SZ)) return false;
  const double value = ReadNumber(buf);
  // Beyond the float range the stored text means an infinity, not undefined behaviour.
  if (out != nullptr) {
    *out = std::fabs(value) <= FLT_MAX || std::isnan(value)
               ? static_cast<float>(value)
               : (value < 0 ? -HUGE_VALF : HUGE_VALF);
  }
  return true;
}

bool CRegistryKey::WriteValue(const void* data, DWORD size, const char* text, DWORD type,
                              bool exForm) {
  if (!NeedValueDepth() || !NeedWriteMode()) return false;
  if (data == nullptr) {
    lastError = REGKEY_ERR_NO_DATA;
    return false;
  }
  NameForm form;
  if (exForm) {
    const DWORD refused = form.Select(text, &type);
    if (refused != ERROR_SUCCESS) {
      lastError = refused;
      return false;
    }
  }
  if (!BeginValue(text, true)) return false;
  valueType = type;
  dataSize = size;
  const LONG rc = form.Set(currentKey, name, type, static_cast<const BYTE*>(data), size);
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS;
}

bool CRegistryKey::SetValue(const void* data, DWORD size, const char* text, DWORD type) {
  return WriteValue(data, size, text, type, false);
}

bool CRegistryKey::SetValueEx(const void* data, DWORD size, const char* text, DWORD type) {
  return WriteValue(data, size, text, type, true);
}

bool CRegistryKey::SetDouble(const double* value, const char* text) {
  if (value == nullptr) return SetValue(nullptr, 0, text, REG_SZ);
  // The shortest text that reads back to the same double, with '.' in
  // every locale.
  char buf[64];
  const auto written = std::to_chars(buf, buf + sizeof buf, *value);
  return SetValue(buf, static_cast<DWORD>(written.ptr - buf), text, REG_SZ);
}

bool CRegistryKey::SetMultiString(const char* list, const char* text) {
  return SetValue(list, list != nullptr ? MultiStringSize(list) : 0, text, REG_MULTI_SZ);
}

bool CRegistryKey::SetTextList(const CTextList& list, const char* text, int from, int to) {
  char* block = nullptr;
  list.GetMultiString(from, to, &block);
  const bool ok = SetMultiString(block, text);
  delete[] block;
  return ok;
}

bool CRegistryKey::GetTextList(CTextList& list, const char* text) {
  void* block = nullptr;
  const bool ok = QueryValueAlloc(&block, text, REG_MULTI_SZ);
  list.RemoveAll();
  if (ok) list.Split('\0', static_cast<const char*>(block), INT_MAX, nullptr);
  delete[] static_cast<BYTE*>(block);
  return ok;
}

bool CRegistryKey::DeleteValue(const char* text) {
  if (!NeedValueDepth() || !NeedWriteMode()) return false;
  if (text == REGKEY_ALL) {
    bool all = true;
    for (DWORD i = GetValueCount(); i-- > 0;) {
      if (EnumValueName(i) == nullptr) {
        all = false;
        continue;
      }
      const LONG rc = RegDeleteValueA(currentKey, name);
      if (rc != ERROR_SUCCESS) {
        lastError = static_cast<DWORD>(rc);
        all = false;
      }
    }
    return all;
  }
  if (text == REGKEY_NEXT) {
    if (EnumValueName(valueEnumPos[depth]) == nullptr) return false;
  } else {
    SetName(text);
  }
  const LONG rc = RegDeleteValueA(currentKey, name);
  lastError = static_cast<DWORD>(rc);
  return rc == ERROR_SUCCESS;
}
