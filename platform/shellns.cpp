#include "platform/shellns.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>

namespace {
std::atomic<long> g_taskBlocks{0};
}  // namespace

void* SysTaskAlloc(size_t size) {
  void* block = malloc(size ? size : 1);
  if (block) ++g_taskBlocks;
  return block;
}

void SysTaskFree(void* block) {
  if (block == nullptr) return;
  --g_taskBlocks;
  free(block);
}

long SysTaskBlocksLive() { return g_taskBlocks.load(); }

UINT SysIdListSize(const BYTE*) { return 0; }
int SysGetDesktopFolder(SysShellFolder** out) {
  if (out) *out = nullptr;
  return SYS_E_FAIL;
}
int SysGetSpecialFolderLocation(int, BYTE** list) {
  if (list) *list = nullptr;
  return SYS_E_FAIL;
}
bool SysGetPathFromIdList(const BYTE*, char* out) {
  if (out) out[0] = 0;
  return false;
}
long SysShellDesktopFetches() { return 0; }
long SysShellLiveObjects() { return 0; }
