// A small registry of our own for hosts that have none: keys holding typed
// values below the predefined roots, kept per user in one SQLite database
// ($XDG_CONFIG_HOME/zelvaro/registry.db, ~/.config when unset) that every
// process of the user opens for itself. The functions follow the registry
// calls the libraries were written against: they return 0 or a Win32 error
// code. Key and value names compare without regard to letter case
// (Latin-1); subkeys enumerate in that order, values in the order they were
// first written.
//
// Every call that changes the store has committed its change when it
// returns: other processes see it at once, and a crash of the process loses
// none of it. Reads always see what was last committed; nothing is copied
// into the process. A store that is busy past a few seconds, full or
// unwritable makes the change fail with an error code and leaves nothing
// half done. A handle whose key was deleted (by this process or another)
// gives ERROR_KEY_DELETED.
//
// Value data reads back byte for byte through calls of the width that wrote
// it. Text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) written through the 16-bit
// calls reads through the 8-bit ones in Latin-1, a unit above 0xFF becoming
// '?', and 8-bit text reads through the 16-bit calls widened unit by unit.
//
// A database that is no store of ours is moved aside to "registry.db.bad"
// (".bad.1", ".bad.2"... never over an earlier one) and a fresh store
// begins; one that exists but cannot be opened at all is never replaced:
// the roots read as empty and every change reports the error. A store file
// of the older form ("registry.dat" beside the database) is taken over
// once, when the database is created, and renamed "registry.dat.imported"
// (by the next process to open the store when the one that made it died
// first); a malformed one is moved aside to "registry.dat.bad" and nothing
// of it taken over.
//
// Each process writes the journal into the database as it closes the store
// at its end, and the last to close removes it, so whenever no process has
// the store open the database file alone holds all of it (after a kill:
// once the next process has opened and closed it). A store of the
// earlier schema is converted when first opened; one of a later schema is
// left unchanged, its changes failing with ERROR_REVISION_MISMATCH.
#pragma once

#include <cstddef>
#include <string>

#include "platform/types.h"

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(uintptr_t{0x80000003});
inline HKEY const HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(uintptr_t{0x80000005});
inline HKEY const HKEY_DYN_DATA = reinterpret_cast<HKEY>(uintptr_t{0x80000006});

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights; a handle without KEY_SET_VALUE or KEY_CREATE_SUB_KEY is
// refused writes with ERROR_ACCESS_DENIED.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Dispositions of RegCreateKeyExA.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Win32 error codes the store reports.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_READ_FAULT = 30;
constexpr LONG ERROR_NOT_SUPPORTED = 50;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_INVALID_LEVEL = 124;
constexpr LONG ERROR_BUSY = 170;
constexpr LONG ERROR_ALREADY_EXISTS = 183;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_REVISION_MISMATCH = 1306;

// Keys. A path is backslash-separated; empty components are skipped, a
// component longer than 255 characters is ERROR_INVALID_PARAMETER, a key
// deeper than 512 levels ERROR_BADKEY.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass,
                     DWORD options, REGSAM access, const void* security, HKEY* result,
                     DWORD* disposition);
// Frees a handle; every change was committed when its call returned.
LONG RegCloseKey(HKEY key);
// Succeeds for a handle of an existing key (and moves the journal into the
// database when no reader holds it back).
LONG RegFlushKey(HKEY key);
// Deletes a subkey that has no subkeys of its own (ERROR_ACCESS_DENIED else).
LONG RegDeleteKeyA(HKEY key, const char* subKey);
LONG RegDeleteValueA(HKEY key, const char* name);

// Values. A null or empty name is the key's default value. Reading: a null
// data pointer asks for the size only; a buffer smaller than the data gives
// ERROR_MORE_DATA with *size set to the size needed. Writing more than
// 256 MiB into one value gives ERROR_OUTOFMEMORY.
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
// Wide-named twins: a name unit above 0xFF matches no stored name
// (ERROR_FILE_NOT_FOUND on reads, ERROR_INVALID_PARAMETER on writes).
LONG RegQueryValueExW(HKEY key, const wchar16* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegSetValueExW(HKEY key, const wchar16* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);

// Enumeration. *nameLen holds the room in characters on entry and the
// name's length on return; a name that does not fit with its NUL gives
// ERROR_MORE_DATA. Past the end: ERROR_NO_MORE_ITEMS.
LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* size);
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD* reserved,
                   char* keyClass, DWORD* classLen, void* lastWrite);
// Counts and longest lengths of a key's subkeys and values (any may be null).
LONG RegQueryInfoKeyA(HKEY key, DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* values,
                      DWORD* maxValueNameLen, DWORD* maxValueLen);

// A key with everything below it saved to a file of its own, which must not
// exist yet (ERROR_ALREADY_EXISTS). Text is saved in its 8-bit form. The
// file is written under a hidden temporary beside it (".file.tmp", cut to
// fit where the name is long; a link there is refused with
// ERROR_ACCESS_DENIED) and named only once whole.
LONG RegSaveKeyA(HKEY key, const char* file, const void* security);
// A saved file becomes the new subkey subKey (ERROR_ALREADY_EXISTS when the
// subkey exists), all of it or nothing. A file that is no saved key gives
// ERROR_BADDB.
LONG RegLoadKeyA(HKEY key, const char* subKey, const char* file);
// The content of subKey is saved to oldFile and replaced by newFile's, all
// of it or nothing; oldFile takes its name (from the temporary, as for a
// save) only once the replacement has committed.
LONG RegReplaceKeyA(HKEY key, const char* subKey, const char* newFile, const char* oldFile);

namespace platform {

// Points the store at another database (null: back to the default path),
// opened on next use; handles opened before give ERROR_KEY_DELETED. A
// child made by fork opens its own connection on its first call.
void RegistryUseStoreFile(const char* path);
// The database the store uses.
std::string RegistryStoreFile();
// What opening the store found: 0 when it opened (or was made), ERROR_BADDB
// when a malformed database or older store file was moved aside, else the
// error that keeps the store shut.
LONG RegistryLoadError();

// Failure injection: the next call of the operation fails with `error`.
enum class RegistryFault : unsigned {
  Open,     // RegOpenKeyExA
  Create,   // RegCreateKeyExA
  Query,    // RegQueryValueExA/W
  Set,      // RegSetValueExA/W
  Delete,   // RegDeleteKeyA, RegDeleteValueA
  Enum,     // RegEnumValueA, RegEnumKeyExA
  Close,    // RegCloseKey
  ReadFile,  // opening the store (it stays shut) or reading a saved key
  WriteFile,  // committing a change or writing a saved key
  Count
};
void RegistryFailNextCall(RegistryFault point, LONG error);
void RegistryClearFaults();

// Parses an older store file image and writes it out again in its own
// form; 0 on success, ERROR_BADDB for a malformed image (out untouched).
LONG RegistryReformatStoreImage(const BYTE* data, size_t size, std::string* out);

}  // namespace platform

namespace platform {

// The application object's names that default registry paths are built
// from ("Software\<registry key>\<application name>"); null or empty: none.
void SetAppRegistryNames(const char* registryKey, const char* appName);
// The names as set, or null when there is none.
const char* AppRegistryKey();
const char* AppName();

}  // namespace platform
