// The digit tables of the printf engine's converters.
#include "toolkit/format_convert.h"

const char FormatDigitsLower[19] = "0123456789abcdefxp";
const char FormatDigitsUpper[19] = "0123456789ABCDEFXP";
