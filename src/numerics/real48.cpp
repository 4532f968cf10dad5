#include "numerics/real48.h"

#include <cmath>

namespace {
constexpr int kBias = 129;
constexpr int kFractionBits = 39;  // explicit bits; 40 with the hidden one

// Splits |value| into a rounded 40-bit significand and an exponent byte.
// Returns false on overflow; exponent 0 means the result is zero.
bool Split(double value, uint64_t& significand, int& exponent)
{
    const double a = std::fabs(value);
    if (a == 0.0) {
        significand = 0;
        exponent = 0;
        return true;
    }
    int e2;
    const double m = std::frexp(a, &e2);  // a = m * 2^e2, 0.5 <= m < 1
    // Real48: a = 1.f * 2^(E - 129), so E = e2 - 1 + 129.
    int e = e2 - 1 + kBias;
    // m * 2^40 is exact in a double; nearbyint rounds ties to even.
    double s = std::nearbyint(std::ldexp(m, kFractionBits + 1));
    if (s >= std::ldexp(1.0, kFractionBits + 1)) {  // rounded up to 2^40
        s = std::ldexp(s, -1);
        ++e;
    }
    if (e > 255)
        return false;
    if (e < 1) {
        significand = 0;
        exponent = 0;
        return true;
    }
    significand = static_cast<uint64_t>(s);
    exponent = e;
    return true;
}
}  // namespace

bool TryRoundReal48(double value, double& out)
{
    if (std::isnan(value))
        return false;
    uint64_t s;
    int e;
    if (std::isinf(value) || !Split(value, s, e))
        return false;
    if (e == 0) {
        out = 0.0;
        return true;
    }
    const double r = std::ldexp(static_cast<double>(s), e - kBias - kFractionBits);
    out = std::signbit(value) ? -r : r;
    return true;
}

double RoundReal48(double value)
{
    double out;
    if (!TryRoundReal48(value, out))
        throw Real48Overflow();
    return out;
}

bool TryEncodeReal48(double value, Real48Bytes& out)
{
    if (std::isnan(value) || std::isinf(value))
        return false;
    uint64_t s;
    int e;
    if (!Split(value, s, e))
        return false;
    Real48Bytes b{};
    if (e != 0) {
        const uint64_t fraction = s & ((uint64_t{1} << kFractionBits) - 1);
        b[0] = static_cast<uint8_t>(e);
        for (int i = 0; i < 5; ++i)
            b[1 + i] = static_cast<uint8_t>(fraction >> (8 * i));
        if (std::signbit(value))
            b[5] |= 0x80;
    }
    out = b;
    return true;
}

Real48Bytes EncodeReal48(double value)
{
    Real48Bytes b;
    if (!TryEncodeReal48(value, b))
        throw Real48Overflow();
    return b;
}

double DecodeReal48(const uint8_t* bytes)
{
    if (bytes[0] == 0)
        return 0.0;
    uint64_t fraction = 0;
    for (int i = 0; i < 5; ++i)
        fraction |= static_cast<uint64_t>(bytes[1 + i]) << (8 * i);
    const bool negative = (fraction >> kFractionBits) & 1;
    fraction &= (uint64_t{1} << kFractionBits) - 1;
    const uint64_t s = fraction | (uint64_t{1} << kFractionBits);
    const double v = std::ldexp(static_cast<double>(s), bytes[0] - kBias - kFractionBits);
    return negative ? -v : v;
}
