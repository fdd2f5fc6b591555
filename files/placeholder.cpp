// Keeps the files library non-empty while its folder fills.
#include "files/files.h"
