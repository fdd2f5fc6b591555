// Library-wide values of the graphics library. Unlocked: pictures are saved
// on one thread at a time.
#pragma once

// Message text of the last failed save: 512 characters and a terminator.
extern char GraphicsErrorText[513];
// Option steering some writers (GIF transparent index, PNG alpha, BMP depth);
// -2 until set.
extern int GraphicsSaveOption;

char* GetGraphicsErrorText();
// Puts at most `limit` characters of `text` (fewer at a terminator, at most
// 512) into GraphicsErrorText and zeroes the rest.
void SetGraphicsErrorText(const char* text, int limit);
// Stores the option and returns it.
int SetGraphicsSaveOption(int option);
