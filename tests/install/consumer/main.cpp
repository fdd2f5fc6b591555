// Uses the installed package the way another project would: one call into
// each library, so every static library and its own dependencies (libpng,
// libjpeg, zlib) must link from the installed package alone.
#include <cstdio>
#include <cstdlib>

#include "formula/formula.h"
#include "graphics/graphics.h"

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
  return 0;
}
