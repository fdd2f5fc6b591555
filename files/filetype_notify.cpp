// Telling the shell that file-type associations changed.
#include "files/filetype.h"
#include "files/filetype_impl.h"
#include "files/path.h"
#include "platform/fileio.h"
#include "platform/fsops.h"
#include "platform/shellnotify.h"

using namespace filetype_detail;

bool NotifyAssociationChanged(const char* ext) {
  Extension e;
  if (!TakeExtension(ext, kMaxNotifyExtension, &e)) return false;
  char dir[SHELL_MAX_PATH];
  if (SysGetTempPath(dir, SHELL_MAX_PATH) <= 0) return false;
  // The file is made new: one of the same name that exists already, perhaps
  // someone else's, is neither emptied nor deleted; the next number is tried.
  for (UINT unique = 1; unique <= 0xFFFF; ++unique) {
    char name[SHELL_MAX_PATH];
    if (GetTempFileNameA(dir, "CFR", unique, name) == 0) return false;
    const std::string path = std::string(name) + "." + e.text;
    // The shell takes paths of at most SHELL_MAX_PATH - 1 characters.
    if (path.size() >= static_cast<size_t>(SHELL_MAX_PATH)) return false;
    const int fd = FdOpen(path.c_str(), FD_OPEN_READWRITE | FD_OPEN_CREATE | FD_OPEN_EXCLUSIVE |
                                            FD_OPEN_BINARY);
    // Something of that name exists (a file, a folder, a dangling link):
    // the descriptor layer reports that as an error of no particular kind.
    if (fd == FD_ERROR_OTHER) continue;
    if (fd < 0) return false;
    if (FdClose(fd) != 0) {
      DeleteFileForced(path.c_str());
      return false;
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_PATHA, path.c_str(), nullptr);
    DeleteFileForced(path.c_str());
    return true;
  }
  return false;
}
