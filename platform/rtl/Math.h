// Rounding with the framework's rules. Both are exact for every double whose result
// fits in an Int64; NaN, infinities and anything outside the Int64 range raise
// EInvalidOp.
#pragma once

#include "platform/rtl/Types.h"

// To the nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
Int64 Round(double value);
// Toward zero.
Int64 Trunc(double value);
