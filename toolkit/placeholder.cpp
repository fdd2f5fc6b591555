// Keeps the toolkit library non-empty while its folder fills.
#include "toolkit/toolkit.h"
