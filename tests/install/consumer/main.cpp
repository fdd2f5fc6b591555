// Uses the installed package the way another project would.
#include "formula/formula.h"
#include "graphics/graphics.h"

int main() {
  DWORD value = 0;
  return value == 0 ? 0 : 1;
}
