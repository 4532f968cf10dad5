// The 6-byte real of the project, mesh and node files. Byte 0 is the exponent
// biased by 129 (0 means 0.0); bytes 1..5 the mantissa, least significant
// byte first, implicit leading 1, sign in the top bit of byte 5. Significand
// 40 bits, range about 2.9e-39 .. 1.7e38.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>

using Real48Bytes = std::array<uint8_t, 6>;

class Real48Overflow : public std::range_error {
public:
    Real48Overflow() : std::range_error("Floating point overflow") {}
};

// Rounds to Real48 precision: nearest, ties to even; too small gives 0.
// Returns false (and leaves out alone) for a value too large or not a number.
bool TryRoundReal48(double value, double& out);
// As TryRoundReal48, but throws Real48Overflow.
double RoundReal48(double value);

// Encodes after rounding; throws Real48Overflow for a value too large or NaN.
Real48Bytes EncodeReal48(double value);
bool TryEncodeReal48(double value, Real48Bytes& out);
double DecodeReal48(const uint8_t* bytes);
inline double DecodeReal48(const Real48Bytes& bytes) { return DecodeReal48(bytes.data()); }

// A Real48 field inside a packed record.
struct Real48 {
    Real48Bytes Bytes{};
    double Get() const { return DecodeReal48(Bytes); }
    void Set(double value) { Bytes = EncodeReal48(value); }
};
static_assert(sizeof(Real48) == 6 && alignof(Real48) == 1);
