// Rounding to Real48 precision on the hot paths (resampling, warps), without
// leaving the floating-point registers. Veltkamp's split with 2^13 + 1 rounds
// a double to its 40 leading significand bits, to nearest with ties to even,
// which is exactly the Real48 rounding wherever the result is a normal
// Real48. A test checks both routines against RoundReal48.
//
// The split needs c - (c - v) evaluated as written: no fused multiply-add
// contraction and no fast-math for code that includes this header.
#pragma once

#include <cmath>

#include "numerics/real48.h"

// For values known to be 0 or far inside the Real48 range (pixel sums and
// interpolations: at most a few million, at least 2^-60 when not 0). Gives
// RoundReal48(value) there, and never throws.
inline double RoundReal48InRange(double value)
{
    const double c = value * 8193.0;
    return c - (c - value);
}

// The value a Real48 field would hold; throws Real48Overflow when none can.
// Zero, values too small or too large and NaN take the plain routine.
inline double StoreReal48(double value)
{
    const double a = std::fabs(value);
    if (a >= 0x1p-128 && a < 0x1p126)
        return RoundReal48InRange(value);
    return RoundReal48(value);
}

// As StoreReal48, but returns false (out untouched) instead of throwing.
inline bool TryStoreReal48(double value, double& out)
{
    const double a = std::fabs(value);
    if (a >= 0x1p-128 && a < 0x1p126) {
        out = RoundReal48InRange(value);
        return true;
    }
    return TryRoundReal48(value, out);
}
