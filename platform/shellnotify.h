// What the libraries take from the shell for file-type changes, on a host
// without one: the change notification and numbered temporary names (the
// folder for them is SysGetTempPath's, platform/fsops.h).
//
// SHChangeNotify reaches no desktop here. Every notification is counted and
// the last one kept; a listener of this process, when one is set, hears
// each one on the notifying thread before SHChangeNotify returns, so a
// program or a test can follow what the libraries announce (and look at the
// named file while it still exists).
#pragma once

#include <string>

#include "platform/types.h"

// Event of SHChangeNotify: the association of a file type changed.
inline constexpr LONG SHCNE_ASSOCCHANGED = 0x08000000;
// Kinds of the two items (the low byte of the flags).
inline constexpr UINT SHCNF_IDLIST = 0x0000;
inline constexpr UINT SHCNF_PATHA = 0x0001;
inline constexpr UINT SHCNF_TYPE = 0x00FF;

// Announces a change. Items of kind SHCNF_PATHA are terminated 8-bit paths
// and are kept as text; items of other kinds are not looked at.
void SHChangeNotify(LONG eventId, UINT flags, const void* item1, const void* item2);

namespace platform {

struct ShellNotification {
  LONG eventId = 0;
  UINT flags = 0;
  std::string item1;  // the path of a SHCNF_PATHA item; empty otherwise
  std::string item2;
};

// Called for every notification; null removes the listener.
using ShellNotifyListener = void (*)(void* context, const ShellNotification& note);
void SetShellNotifyListener(ShellNotifyListener listener, void* context);
// Notifications since the process started, and the last of them (an empty
// record before the first).
unsigned ShellNotifyCount();
ShellNotification LastShellNotification();

}  // namespace platform

// The longest path the numbered names are formed for, terminator included.
inline constexpr int SHELL_MAX_PATH = 260;

// Forms dir, a separator unless dir ends in one, the first three characters
// of prefix, unique's low 16 bits in upper-case hexadecimal and ".TMP" into
// out (room for SHELL_MAX_PATH characters). Returns the number used, or 0
// when the name does not fit, an argument is null, dir is empty, or unique
// is 0 (the search for a free number, which creates the file, is not
// offered here). No file is made or looked at.
UINT GetTempFileNameA(const char* dir, const char* prefix, UINT unique, char* out);
