// Uses the installed package the way another project would: one call into
// each library, so every static library and its own dependencies (libpng,
// libjpeg, zlib, SQLite) must link from the installed package alone.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formula/formula.h"
#include "graphics/graphics.h"
#include "platform/registry.h"

int main(int argc, char** argv) {
  if (StrToInt("0x2A", 0) != 42) return 1;

  CFormulaProgram program;
  const char* error = nullptr;
  if (!program.Reset(0, nullptr, nullptr) || !program.Compile("6*7", &error)) return 2;
  int ok = 0;
  if (program.Evaluate(&ok) != 42.0 || !ok) return 3;

  char block[16] = {};
  CFileStream stream;
  if (!stream.OpenMemory(block, sizeof block, 0)) return 4;

  CGraphicsImage image;
  if (!image.Create(24, 8, 4, 0x336699, nullptr)) return 5;
  const char* path = argc > 1 ? argv[1] : "consumer.png";
  if (SaveImage(path, image, "consumer") != 0) return 6;
  std::remove(path);

  // The registry's store, beside the picture.
  const std::string store = std::string(path) + ".db";
  platform::RegistryUseStoreFile(store.c_str());
  HKEY key = nullptr;
  const BYTE data[4] = {42, 0, 0, 0};
  BYTE back[4] = {};
  DWORD size = sizeof back;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Consumer", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS ||
      RegSetValueExA(key, "v", 0, REG_DWORD, data, 4) != ERROR_SUCCESS ||
      RegQueryValueExA(key, "v", nullptr, nullptr, back, &size) != ERROR_SUCCESS || back[0] != 42) {
    return 7;
  }
  RegCloseKey(key);
  platform::RegistryUseStoreFile(nullptr);
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((store + suffix).c_str());
  return 0;
}
