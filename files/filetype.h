// Registering a document extension with the shell under HKEY_CLASSES_ROOT:
// the extension key naming a ProgID, the ProgID's description, icon and
// verbs with their command lines; asking what is registered, moving a
// registration to another program path, and removing it again.
//
// Layout (every text value REG_SZ of the text's bytes without terminator):
//   .ext                        default: the ProgID
//   ProgID                      default: the description; "AlwaysShowExt"
//                               empty; "EditFlags" REG_BINARY 00 00 00 00
//   ProgID\DefaultIcon          default: icon path, ',' and index
//   ProgID\Shell\verb           default: the display text (when there is
//                               one); "Icon": icon path, ',' and index
//   ProgID\Shell\verb\Command   default: the command line
//
// The extension argument is a bare extension ("zlv"), one with its dot
// (".zlv"), or a file name or path whose extension is taken ("D:\a\b.ZLV");
// at most 14 characters (15 for NotifyAssociationChanged), no separator,
// ':' or '.' in it. Its key is '.' and the extension in lower case. The
// ProgID defaults to the lower-case extension and "file", the description
// to the upper-case extension and " Datei".
//
// Verbs lose every '&' (the rest is cut to 63 characters; one that is left
// empty or holds a '\' is refused); "Öffne", "Öffnen" (either case of the
// first letter) stand for "open", "Drucke" and "Drucken" for "print",
// "Bearbeiten" for "Edit". A null or empty verb is "open".
//
// A program or icon path must name an existing file unless it holds a '%'
// (an environment reference); it may have at most 259 characters and no
// double quote. Where a null path is allowed it means the program's own
// file. A path matches a stored command or icon when the stored text, with
// or without its opening quote, matches the path followed by '*' (letter
// case ignored, '/' and '\' alike); a null path matches everything.
//
// Every function returns false (0) on the first failure; what was written
// before it stays.
#pragma once

#include "files/registry.h"
#include "platform/types.h"

// The verb argument of RelocateFileVerbs and UnregisterFileVerbs that stands
// for every verb of the type (the pointer value -1).
inline const char* const FILEVERB_ALL = REGKEY_NEXT;

// GetFileTypeState bits.
inline constexpr DWORD FILETYPE_PROGID = 0x01;           // the extension key names a ProgID
inline constexpr DWORD FILETYPE_DESCRIPTION = 0x02;      // the ProgID key has a description
inline constexpr DWORD FILETYPE_ICON = 0x04;             // DefaultIcon is not empty
inline constexpr DWORD FILETYPE_ICON_FILE = 0x08;        // and names an existing file
inline constexpr DWORD FILETYPE_VERB_OPEN = 0x10;        // "open" or an alias of it
inline constexpr DWORD FILETYPE_VERB_PRINT = 0x20;       // "print", "Drucke" or "Drucken"
inline constexpr DWORD FILETYPE_VERB_BEARBEITEN = 0x40;  // "Bearbeiten"
inline constexpr DWORD FILETYPE_VERB_EDIT = 0x80;        // "Edit"

// Writes the extension key, the ProgID key with description, the two flag
// values and DefaultIcon = programPath,iconIndex, and removes
// ShellEx\IconHandler. With no ProgID given, one the extension key already
// names is kept; with no description given, one already there is kept. A
// choice the user made in the shell for the extension is cleared.
bool RegisterFileType(const char* ext, const char* programPath, int iconIndex,
                      const char* description, const char* progId);
// Writes Shell\verb\Command = "programPath" arguments (default "%1" in
// quotes) and a display text for a verb of its own given with '&'; the
// edit verb shows "&Bearbeiten" and replaces verbs named "Bearbeiten" and
// "&Bearbeiten". Removes verb\ddeexec and Shell\DropTarget. The extension
// key gets the default ProgID when it names none.
bool RegisterFileVerbs(const char* ext, const char* programPath, const char* verb,
                       const char* arguments);
// Writes the verb's "Icon" value; an icon path with a blank is written in
// the spelling stored on the disk.
bool SetFileVerbIcon(const char* ext, const char* verb, const char* iconPath, int iconIndex);

// The description into buf (emptied first); false without buf or size.
bool GetFileTypeDescription(const char* ext, char* buf, int size);
// FILETYPE_* bits; 0 when the extension is invalid or names no ProgID,
// FILETYPE_PROGID alone when the ProgID key is missing.
DWORD GetFileTypeState(const char* ext);
// The command line of the verb (null or empty: "open"; taken as given,
// without '&' removal or aliases) into buf (emptied first).
bool GetFileVerbCommand(const char* ext, char* buf, int size, const char* verb);
// The icon path into buf (emptied first) and its index into *index (0
// first; may be null): a last ',' followed only by digits and '-' is cut
// off and what follows read as a decimal number (clamped to int).
bool GetFileTypeIcon(const char* ext, char* buf, int size, int* index);

// Rewrites the program part of the commands of one verb, a verb and its
// aliases, or FILEVERB_ALL, where the command matches oldPath; the rest of
// each command stays. True when at least one command was rewritten and no
// write failed.
bool RelocateFileVerbs(const char* ext, const char* oldPath, const char* newPath,
                       const char* verb);
// DefaultIcon = newPath,iconIndex where it matched oldPath; true then.
bool RelocateFileTypeIcon(const char* ext, const char* oldPath, const char* newPath,
                          int iconIndex);

// Deletes the extension key and the ProgID key, but only when the ProgID key
// holds nothing but DefaultIcon and Shell, its icon matches iconPath (null:
// programPath) and every command matches programPath. A missing ProgID key:
// the extension key alone is deleted.
bool UnregisterFileType(const char* ext, const char* programPath, const char* iconPath);
// Deletes the verb (its aliases too; FILEVERB_ALL: every verb) where its
// command is empty, missing or matches programPath; true when at least one
// verb was deleted.
bool UnregisterFileVerbs(const char* ext, const char* verb, const char* programPath);
// Deletes one verb key (null or empty: "open") whatever its command; the
// verb is the key's name as written, without '&' removal or aliases. A
// missing ProgID key: the extension key is deleted and the result is true.
bool DeleteFileVerb(const char* ext, const char* verb);

// Tells the shell that associations changed, naming a fresh temporary file
// of the extension, which is deleted afterwards. An existing file is never
// reused.
bool NotifyAssociationChanged(const char* ext);
