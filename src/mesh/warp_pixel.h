// The pixel arithmetic of the mesh warp's line resampling, shared by the
// plain and the vector line routines so that both give the same bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "numerics/store_real48.h"

namespace warp_pixel {
constexpr double kTwoPow52 = 4503599627370496.0;

// Round to nearest, ties to even, for 0 <= v < 2^52 without a library call:
// after adding 2^52 no fraction bits are left, so the addition does the
// rounding (in the default rounding mode).
inline double RoundNonNegative(double v) { return (v + kTwoPow52) - kTwoPow52; }

// Round for positions on a line (v >= -0.5): the negative ones round to 0.
inline double RoundPosition(double v) { return v < 0.0 ? 0.0 : RoundNonNegative(v); }

// Area average over [a, b] with -0.5 <= a, b <= m and b - a > 0, channel by
// channel in byte order (blue, green, red).
inline void AreaAverageOf(const uint8_t* line, int m, ptrdiff_t step, double a, double b,
                          double out[3])
{
    // lo: first pixel whose left edge is at or after a; hi: last pixel wholly
    // before b.
    const double ra = RoundPosition(a);
    int lo;
    bool startPartial = true;
    if (ra - a == 0.5) {
        lo = static_cast<int>(ra);
        startPartial = false;  // a is exactly a pixel edge
    } else {
        const int ta = static_cast<int>(a);
        lo = a - ta < 0.5 ? ta + 1 : static_cast<int>(ra) + 1;
    }
    const int tb = static_cast<int>(b);
    const int hi = b - tb > 0.5 ? static_cast<int>(RoundPosition(b)) - 1 : tb - 1;
    if (lo - hi >= 2) {  // a and b inside the same pixel
        const uint8_t* p = line + std::min(lo - 1, m - 1) * step;
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        return;
    }
    double s0 = 0.0, s1 = 0.0, s2 = 0.0;
    if (startPartial) {
        const double w = lo - 0.5 - a;
        const uint8_t* p = line + (lo - 1) * step;
        s0 = RoundReal48InRange(w * p[0]);
        s1 = RoundReal48InRange(w * p[1]);
        s2 = RoundReal48InRange(w * p[2]);
    }
    const uint8_t* p = line + lo * step;
    for (int k = lo; k <= hi; ++k, p += step) {
        s0 = RoundReal48InRange(s0 + p[0]);
        s1 = RoundReal48InRange(s1 + p[1]);
        s2 = RoundReal48InRange(s2 + p[2]);
    }
    // Past the end only for the last target pixel, with a weight below 0.5.
    const int last = hi + 1 < m ? hi + 1 : m - 1;
    const double w = b - (hi + 0.5);
    p = line + last * step;
    s0 = RoundReal48InRange(s0 + w * p[0]);
    s1 = RoundReal48InRange(s1 + w * p[1]);
    s2 = RoundReal48InRange(s2 + w * p[2]);
    const double length = b - a;
    out[0] = RoundReal48InRange(s0 / length);
    out[1] = RoundReal48InRange(s1 / length);
    out[2] = RoundReal48InRange(s2 / length);
}

// Byte values as doubles: a load instead of a conversion per use.
struct ByteTable {
    double Value[256];
    constexpr ByteTable() : Value()
    {
        for (int k = 0; k < 256; ++k)
            Value[k] = k;
    }
};
inline constexpr ByteTable kByte;

// ClampRound(255, v) for values that are not NaN: negative values give 0,
// values at or above 255 give 255, the rest round to nearest, ties to even.
inline uint8_t ClampByteFast(double v)
{
    const double r = RoundNonNegative(std::max(v, 0.0));
    return static_cast<uint8_t>(static_cast<int>(std::min(r, 255.0)));
}

// The fast paths below compute a target pixel in plain double arithmetic,
// without the Real48 rounding of every partial sum, and keep the result only
// where it must give the same byte. Both values approximate the same exact
// average: the Real48 roundings (relative 2^-40 each, at most length + 4 of
// them on sums below 255 * (length + 1)) and the double roundings move it by
// less than 255 * (length + 4) * 2^-38, below 2^-16 for lengths under 4096.
// Bytes come from rounding to nearest, so a value farther than that from
// every half-integer rounds to the same byte either way; the rest (and longer
// intervals) take the exact path.
constexpr double kFastLength = 4096.0;
constexpr double kTieDistance = 0.5 - 0x1p-16;

// Rounds v as ClampByteFast does into r and tells whether v lies so close
// to a half-integer that the exact value might round the other way.
inline bool NearTie(double v, double& r)
{
    r = RoundNonNegative(std::max(v, 0.0));
    return std::fabs(v - r) > kTieDistance;
}

// The byte of a value already rounded by NearTie.
inline uint8_t ToByte(double r)
{
    return static_cast<uint8_t>(static_cast<int>(std::min(r, 255.0)));
}

// One target pixel of the area branch, the plain way: every partial sum and
// the quotient at Real48 precision, then ClampRound per channel.
inline void AreaPixelExact(const uint8_t* line, int m, ptrdiff_t step, double a, double b,
                    uint8_t* target)
{
    double c[3];
    AreaAverageOf(line, m, step, a, b, c);
    target[0] = ClampByteFast(c[0]);
    target[1] = ClampByteFast(c[1]);
    target[2] = ClampByteFast(c[2]);
}

// The area branch (b - a = length >= 1): the fast path where it is safe.
inline void AreaPixel(const uint8_t* line, int m, ptrdiff_t step, double a, double b,
                      double length, uint8_t* target)
{
    // lo and hi as AreaAverageOf finds them: with ta = Trunc(a), lo is ta + 1,
    // or ta + 2 when the fraction of a is above 0.5, or 0 for a = -0.5; hi is
    // Trunc(b) - 1, or Trunc(b) when the fraction of b is above 0.5.
    const int ta = static_cast<int>(a);
    const int lo = ta + 1 + (a - ta > 0.5) - (a == -0.5);
    const int tb = static_cast<int>(b);
    const int hi = tb - 1 + (b - tb > 0.5);
    if (length < kFastLength && lo - hi < 2) {
        const double w0 = lo - 0.5 - a;
        const double whole = lo <= hi;  // the first whole pixel, if any
        const double w1 = b - (hi + 0.5);
        const uint8_t* p0 = line + std::max(lo - 1, 0) * step;
        const uint8_t* p1 = line + std::min(lo, m - 1) * step;
        const uint8_t* p2 = line + std::min(hi + 1, m - 1) * step;
        double s0 = w0 * kByte.Value[p0[0]] + whole * kByte.Value[p1[0]];
        double s1 = w0 * kByte.Value[p0[1]] + whole * kByte.Value[p1[1]];
        double s2 = w0 * kByte.Value[p0[2]] + whole * kByte.Value[p1[2]];
        const uint8_t* p = p1;
        for (int k = lo + 1; k <= hi; ++k) {
            p += step;
            s0 += kByte.Value[p[0]];
            s1 += kByte.Value[p[1]];
            s2 += kByte.Value[p[2]];
        }
        const double reciprocal = 1.0 / length;
        const double v0 = (s0 + w1 * kByte.Value[p2[0]]) * reciprocal;
        const double v1 = (s1 + w1 * kByte.Value[p2[1]]) * reciprocal;
        const double v2 = (s2 + w1 * kByte.Value[p2[2]]) * reciprocal;
        double r0, r1, r2;
        const bool t0 = NearTie(v0, r0);
        const bool t1 = NearTie(v1, r1);
        const bool t2 = NearTie(v2, r2);
        if (!(t0 | t1 | t2)) {
            target[0] = ToByte(r0);
            target[1] = ToByte(r1);
            target[2] = ToByte(r2);
            return;
        }
    }
    AreaPixelExact(line, m, step, a, b, target);
}

// The linear branch: p0 + (p1 - p0) * t per channel, rounded to Real48 only
// where that could change the byte (by at most 2^-33 below 256).
inline uint8_t InterpolatedByte(uint8_t p0, uint8_t p1, double t)
{
    const double v = kByte.Value[p0] + (p1 - p0) * t;
    double r;
    if (NearTie(v, r))
        return ClampByteFast(RoundReal48InRange(v));
    return ToByte(r);
}

// The linear branch (b - a = length < 1): between the two pixels around the
// centre of the interval.
inline void LinearPixel(const uint8_t* line, int m, ptrdiff_t step, double a, double length,
                        uint8_t* target)
{
    const double u = a + length * 0.5;
    // Trunc: u never reaches -1
    const int i0 = std::min(static_cast<int>(std::max(u, 0.0)), m - 1);
    const ptrdiff_t next = i0 + 1 < m ? step : 0;
    const double t = u - i0;
    const uint8_t* p0 = line + i0 * step;
    const uint8_t* p1 = p0 + next;
    target[0] = InterpolatedByte(p0[0], p1[0], t);
    target[1] = InterpolatedByte(p0[1], p1[1], t);
    target[2] = InterpolatedByte(p0[2], p1[2], t);
}

// Inverse map: inv[d + 1] is the source position (in edge units) that lands
// on target position d, inv[0] = -0.5. The search stops at map[s + 1] >= d
// with map[s] < d, so the divisor is never zero, even where map entries
// repeat (a grid cell squeezed to nothing: its source pixels are skipped).
// The two map entries around s stay in registers, s also as a double.
inline void InverseMap(const double* map, int m, int n, double* inv)
{
    const double top = m;
    inv[0] = -0.5;
    int s = 0;
    double sd = 0.0;
    double left = map[0], right = map[1];
    double x = 0.0;  // d as a double
    for (int d = 0; d < n; ++d, x += 1.0) {
        while (x > right && s < m - 1) {
            ++s;
            sd += 1.0;
            left = right;
            right = map[s + 1];
        }
        double v = sd + (x - left) / (right - left);
        // Only a map that breaks its contract (or holds NaN) needs these.
        v = v <= top ? v : top;
        v = v < -0.5 ? -0.5 : v;
        inv[d + 1] = v;
    }
}
}  // namespace warp_pixel
