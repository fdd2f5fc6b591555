#include "graphics/globals.h"

#include <cstring>

char GraphicsErrorText[513];
int GraphicsSaveOption = -2;

char* GetGraphicsErrorText() {
  return GraphicsErrorText;
}

int SetGraphicsSaveOption(int option) {
  GraphicsSaveOption = option;
  return option;
}

void SetGraphicsErrorText(const char* text, int limit) {
  std::memset(GraphicsErrorText, 0, sizeof GraphicsErrorText);
  if (text == nullptr) return;
  for (int i = 0; i < limit && i < int(sizeof GraphicsErrorText) - 1 && text[i] != 0; ++i) {
    GraphicsErrorText[i] = text[i];
  }
}
