// The plain interpreter of formula code.
#pragma once

#include "formula/code_format.h"

#include <cstdint>

// Runs code over values and returns slot 0. ok (may be null) is only ever
// cleared: on an invalid word, a domain error, a missing label, a stack
// overrun or an empty code, with the error result (slot 0 made a NaN).
double EvaluateCode(const uint16_t* code, uint32_t length, const double* values, int* ok);
