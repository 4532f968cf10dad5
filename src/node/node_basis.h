// The basis function of the node warp, written branch-free so that the pixel
// loop can evaluate it on several pixels at once: Real48 rounding by bit
// arithmetic, and a power made of plain arithmetic instead of library calls.
// Every routine here gives the same bits whether it runs one value at a time
// or vectorised, which is what lets the fast warp match the plain one.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace nodebasis {

// Smallest magnitude a Real48 holds, and the first one it cannot hold.
constexpr double kReal48Min = 0x1p-128;
constexpr double kReal48Limit = 0x1p127;

// Rounds a double to the 40-bit significand of a Real48, ties to even.
// Range is not handled here (see StoreReal48).
inline double Round40(double x)
{
    uint64_t b = std::bit_cast<uint64_t>(x);
    b += 0xFFF + ((b >> 13) & 1);
    b &= ~uint64_t{0x1FFF};
    return std::bit_cast<double>(b);
}

// What storing a value into a Real48 gives: rounded, then 0 when below the
// smallest Real48. overflow becomes non-zero when the value cannot be held
// (too large, infinite or not a number).
inline double StoreReal48(double x, uint64_t& overflow)
{
    double r = Round40(x);
    r = std::fabs(r) < kReal48Min ? 0.0 : r;
    overflow |= static_cast<uint64_t>(!(std::fabs(r) < kReal48Limit));
    return r;
}

// Natural logarithm of a positive, finite, normal double; about one unit in
// the last place. log m = 2 atanh((m - 1) / (m + 1)) with m in [sqrt(1/2), sqrt(2)).
inline double Log(double s)
{
    constexpr double kLn2Hi = 6.93147180369123816490e-01;  // exact times any exponent
    constexpr double kLn2Lo = 1.90821492927058770002e-10;
    const uint64_t b = std::bit_cast<uint64_t>(s);
    // The biased exponent as a double without an integer conversion.
    const double e = std::bit_cast<double>((b >> 52) | 0x4330000000000000ULL) - 0x1p52 - 1023.0;
    double m = std::bit_cast<double>((b & 0x000FFFFFFFFFFFFFULL) | 0x3FF0000000000000ULL);
    const bool high = m > 1.4142135623730951;
    m = high ? 0.5 * m : m;
    const double k = high ? e + 1.0 : e;
    const double f = (m - 1.0) / (m + 1.0);
    const double f2 = f * f;
    double p = 1.0 / 21.0;
    p = p * f2 + 1.0 / 19.0;
    p = p * f2 + 1.0 / 17.0;
    p = p * f2 + 1.0 / 15.0;
    p = p * f2 + 1.0 / 13.0;
    p = p * f2 + 1.0 / 11.0;
    p = p * f2 + 1.0 / 9.0;
    p = p * f2 + 1.0 / 7.0;
    p = p * f2 + 1.0 / 5.0;
    p = p * f2 + 1.0 / 3.0;
    const double logm = 2.0 * f + 2.0 * f * f2 * p;
    return k * kLn2Hi + (k * kLn2Lo + logm);
}

// e to the power x for finite x; values beyond +-700 are clamped there, which
// still overflows or vanishes as a Real48.
inline double Exp(double x)
{
    constexpr double kInvLn2 = 1.44269504088896338700e+00;
    constexpr double kLn2Hi = 6.93147180369123816490e-01;
    constexpr double kLn2Lo = 1.90821492927058770002e-10;
    constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer
    x = x > 700.0 ? 700.0 : x;
    x = x < -700.0 ? -700.0 : x;
    const double t = x * kInvLn2 + kShifter;
    const double k = t - kShifter;
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= ln2 / 2
    double p = 1.0 / 6227020800.0;                   // 1/13!
    p = p * r + 1.0 / 479001600.0;
    p = p * r + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    p = p * r + 1.0;
    p = p * r + 1.0;
    // 2^k from the integer held in the low bits of t.
    const uint64_t kbits = (std::bit_cast<uint64_t>(t) - std::bit_cast<uint64_t>(kShifter) + 1023) << 52;
    return p * std::bit_cast<double>(kbits);
}

// How the exponent mi is evaluated: the four special values, mi = 0, an
// integral mi (repeated squaring) and any other mi (exp of mi ln s).
enum class PowerKind { InverseSquare, Square, InverseRoot, Root, One, Integral, General };

struct Power {
    PowerKind Kind = PowerKind::General;
    double Mi = 0.0;
    uint64_t IntegralExponent = 0;  // |mi| for an integral mi
    bool Negative = false;
    // s = 0 leaves the function undefined (division by zero or ln 0).
    bool ZeroIsUndefined = false;
};

inline Power ClassifyPower(double mi)
{
    Power p;
    p.Mi = mi;
    p.Negative = mi < 0.0;
    if (mi == -1.0)
        p.Kind = PowerKind::InverseSquare;
    else if (mi == 1.0)
        p.Kind = PowerKind::Square;
    else if (mi == -0.5)
        p.Kind = PowerKind::InverseRoot;
    else if (mi == 0.5)
        p.Kind = PowerKind::Root;
    else if (mi == 0.0)
        p.Kind = PowerKind::One;
    else if (std::trunc(mi) == mi && std::fabs(mi) <= 0x1p30) {
        p.Kind = PowerKind::Integral;
        p.IntegralExponent = static_cast<uint64_t>(std::fabs(mi));
    } else
        p.Kind = PowerKind::General;  // also huge or non-finite mi
    p.ZeroIsUndefined = p.Negative || p.Kind == PowerKind::General;
    return p;
}

// s raised to the power, before the result is stored; the kind is a template
// argument so that the pixel loop holds no branch. undefined becomes non-zero
// for s = 0 where the power does not exist; s is then taken as 1 so that no
// division by zero or logarithm of 0 is evaluated. Without ZeroCheck the
// caller guarantees s > 0.
template <PowerKind K, bool ZeroCheck = true>
inline double RaiseTo(const Power& pw, double s, uint64_t& undefined)
{
    constexpr bool kNegative = K == PowerKind::InverseSquare || K == PowerKind::InverseRoot;
    if constexpr (ZeroCheck && (kNegative || K == PowerKind::Integral || K == PowerKind::General)) {
        const uint64_t zero = static_cast<uint64_t>(s == 0.0) &
                              static_cast<uint64_t>(kNegative || pw.ZeroIsUndefined);
        undefined |= zero;
        s = zero ? 1.0 : s;
    }
    if constexpr (K == PowerKind::InverseSquare)
        return 1.0 / s;
    else if constexpr (K == PowerKind::Square)
        return s;
    else if constexpr (K == PowerKind::InverseRoot)
        return 1.0 / std::sqrt(s);
    else if constexpr (K == PowerKind::Root)
        return std::sqrt(s);
    else if constexpr (K == PowerKind::One)
        return 1.0;
    else if constexpr (K == PowerKind::Integral) {
        double result = 1.0;
        double base = s;
        for (uint64_t n = pw.IntegralExponent; n != 0; n >>= 1) {
            if (n & 1)
                result *= base;
            base *= base;
        }
        if (pw.Negative) {
            // A power that vanished in double has a reciprocal far beyond any Real48.
            const bool vanished = result == 0.0;
            result = 1.0 / (vanished ? 1.0 : result);
            result = vanished ? HUGE_VAL : result;
        }
        return result;
    } else
        return Exp(pw.Mi * Log(s));
}

inline double RaiseToAny(const Power& pw, double s, uint64_t& undefined)
{
    switch (pw.Kind) {
    case PowerKind::InverseSquare: return RaiseTo<PowerKind::InverseSquare>(pw, s, undefined);
    case PowerKind::Square: return RaiseTo<PowerKind::Square>(pw, s, undefined);
    case PowerKind::InverseRoot: return RaiseTo<PowerKind::InverseRoot>(pw, s, undefined);
    case PowerKind::Root: return RaiseTo<PowerKind::Root>(pw, s, undefined);
    case PowerKind::One: return RaiseTo<PowerKind::One>(pw, s, undefined);
    case PowerKind::Integral: return RaiseTo<PowerKind::Integral>(pw, s, undefined);
    case PowerKind::General: break;
    }
    return RaiseTo<PowerKind::General>(pw, s, undefined);
}

}  // namespace nodebasis
