#include "files/shares.h"

#include <cstring>
#include <new>

#include "platform/findfile.h"
#include "toolkit/unicode.h"

namespace {

constexpr int kPathChars = 260;

bool IsSep(char c) { return c == '\\' || c == '/'; }

// Whether \\server\share names a directory.
bool IsDirectory(const wchar16* path) {
  char narrow[4 * kPathChars + 8];
  WideToUtf8(narrow, path, int(sizeof narrow));
  SysFindData data;
  return SysGetFileAttributesEx(narrow, &data, nullptr) && (data.attributes & SYS_ATTR_DIRECTORY);
}

// The listing's next batch; false when the walk ends.
bool FetchMore(ShareEnum* state) {
  if (state->buffer != nullptr) {
    SysNetApiBufferFree(state->buffer);
    state->buffer = nullptr;
  }
  state->entriesRead = 0;
  state->next = 0;
  if (state->status != SYS_NET_MORE_DATA) return false;
  state->status = SysNetShareEnum(state->path, &state->buffer, &state->entriesRead,
                                  &state->totalEntries, &state->resume);
  return state->status == SYS_NET_OK || state->status == SYS_NET_MORE_DATA;
}

}  // namespace

ShareEnum* OpenShareEnum(const char* uncPath) {
  if (uncPath == nullptr) return nullptr;
  const char* server = uncPath;
  for (int i = 0; i < 2 && IsSep(*server); ++i) ++server;
  const char* end = server;
  while (*end && !IsSep(*end)) ++end;
  int length = int(end - server);
  if (length < 1 || length > SHARE_SERVER_MAX) return nullptr;
  auto* state = new (std::nothrow) ShareEnum();
  if (state == nullptr) return nullptr;
  state->path[0] = state->path[1] = u'\\';
  // Room for the server's characters, whatever their encoding, and the rest.
  int written = Utf8ToWide(state->path + 2, server, SHARE_SERVER_MAX + 2, length);
  state->serverLength = 2 + written;
  state->path[state->serverLength] = 0;
  state->status = SysNetShareEnum(state->path, &state->buffer, &state->entriesRead,
                                  &state->totalEntries, &state->resume);
  if (written < 1 || (state->status != SYS_NET_OK && state->status != SYS_NET_MORE_DATA)) {
    CloseShareEnum(state);
    return nullptr;
  }
  return state;
}

int NextShareName(ShareEnum* state, char* name, int size) {
  if (size < 1 || name == nullptr) return 0;
  name[0] = 0;
  if (state == nullptr) return 0;
  for (;;) {
    while (state->buffer != nullptr && state->next < state->entriesRead) {
      const wchar16* share = state->buffer[state->next++].name;
      size_t length = 0;
      while (share[length]) ++length;
      // Hidden and administrative shares end in '$'; a path too long to test
      // is passed over too.
      if (length == 0 || share[length - 1] == u'$' ||
          size_t(state->serverLength) + 1 + length >= size_t(kPathChars))
        continue;
      wchar16* tail = state->path + state->serverLength;
      tail[0] = u'\\';
      memcpy(tail + 1, share, (length + 1) * sizeof(wchar16));
      bool visible = IsDirectory(state->path);
      tail[0] = 0;
      if (!visible) continue;
      char narrow[4 * kPathChars + 8];
      int n = WideToUtf8(narrow, share, int(sizeof narrow));
      if (n + 1 > size) return -1;
      memcpy(name, narrow, size_t(n) + 1);
      return n + 1;
    }
    if (!FetchMore(state)) return 0;
  }
}

bool CloseShareEnum(ShareEnum* state) {
  if (state == nullptr) return false;
  if (state->buffer != nullptr) SysNetApiBufferFree(state->buffer);
  delete state;
  return true;
}
