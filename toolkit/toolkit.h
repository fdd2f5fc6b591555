// Umbrella header of the toolkit library.
#pragma once

#include "platform/platform.h"
#include "toolkit/charclass.h"
#include "toolkit/format.h"
#include "toolkit/format_convert.h"
#include "toolkit/format_digits.h"
#include "toolkit/format_file.h"
#include "toolkit/format_print.h"
#include "toolkit/format_spec.h"
#include "toolkit/inttext.h"
#include "toolkit/numtext.h"
#include "toolkit/unitvalue.h"
#include "toolkit/memblock.h"
#include "toolkit/bitarray.h"
#include "toolkit/scramble.h"
