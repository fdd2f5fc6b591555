// Umbrella header of the formula library.
#pragma once

#include "toolkit/toolkit.h"
#include "formula/code_format.h"
#include "formula/evaluator.h"
#include "formula/program.h"
