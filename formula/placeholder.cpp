// Keeps the formula library non-empty while its folder fills.
#include "formula/formula.h"
