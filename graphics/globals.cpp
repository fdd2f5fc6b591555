#include "graphics/globals.h"

char GraphicsErrorText[513];
int GraphicsSaveOption = -2;

char* GetGraphicsErrorText() { return GraphicsErrorText; }

int SetGraphicsSaveOption(int option) {
  GraphicsSaveOption = option;
  return option;
}
