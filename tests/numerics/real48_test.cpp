#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "numerics/real48.h"

namespace {
Real48Bytes B(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5)
{
    return {b0, b1, b2, b3, b4, b5};
}
}  // namespace

TEST(Real48, DocumentedExamplesEncodeAndDecode)
{
    EXPECT_EQ(EncodeReal48(1.0), B(0x81, 0, 0, 0, 0, 0));
    EXPECT_EQ(EncodeReal48(2.0), B(0x82, 0, 0, 0, 0, 0));
    EXPECT_EQ(EncodeReal48(0.5), B(0x80, 0, 0, 0, 0, 0));
    EXPECT_EQ(EncodeReal48(-1.0), B(0x81, 0, 0, 0, 0, 0x80));
    EXPECT_EQ(EncodeReal48(0.0), B(0, 0, 0, 0, 0, 0));
    EXPECT_EQ(EncodeReal48(-0.0), B(0, 0, 0, 0, 0, 0));
    EXPECT_EQ(DecodeReal48(B(0x81, 0, 0, 0, 0, 0)), 1.0);
    EXPECT_EQ(DecodeReal48(B(0x82, 0, 0, 0, 0, 0)), 2.0);
    EXPECT_EQ(DecodeReal48(B(0x80, 0, 0, 0, 0, 0)), 0.5);
    EXPECT_EQ(DecodeReal48(B(0x81, 0, 0, 0, 0, 0x80)), -1.0);
    // Exponent 0 is zero whatever the mantissa holds.
    EXPECT_EQ(DecodeReal48(B(0, 1, 2, 3, 4, 0x85)), 0.0);
    // 1.5 = 1.1b: the top fraction bit is bit 6 of byte 5.
    EXPECT_EQ(EncodeReal48(1.5), B(0x81, 0, 0, 0, 0, 0x40));
    EXPECT_EQ(EncodeReal48(-3.0), B(0x82, 0, 0, 0, 0, 0xC0));
}

TEST(Real48, RoundsToFortyBitSignificandTiesToEven)
{
    const double ulp = std::ldexp(1.0, -39);  // spacing just above 1.0
    EXPECT_EQ(RoundReal48(1.0 + ulp), 1.0 + ulp);
    EXPECT_EQ(RoundReal48(1.0 + ulp / 2), 1.0);                 // tie, even is 1.0
    EXPECT_EQ(RoundReal48(1.0 + 3 * ulp / 2), 1.0 + 2 * ulp);   // tie, even is up
    EXPECT_EQ(RoundReal48(1.0 + ulp / 2 + ulp / 1024), 1.0 + ulp);
    EXPECT_EQ(RoundReal48(-(1.0 + ulp / 2 + ulp / 1024)), -(1.0 + ulp));
    // Rounding up can carry into the exponent.
    EXPECT_EQ(RoundReal48(2.0 - ulp / 4), 2.0);
    EXPECT_EQ(EncodeReal48(2.0 - ulp / 4), B(0x82, 0, 0, 0, 0, 0));
    // 0.1 is not exact: the decoded value is the rounded one and re-encodes identically.
    const double r = RoundReal48(0.1);
    EXPECT_NE(r, 0.1);
    EXPECT_NEAR(r, 0.1, 1e-12);
    EXPECT_EQ(EncodeReal48(r), EncodeReal48(0.1));
}

TEST(Real48, ExponentLimits)
{
    const double largest = std::ldexp(2.0 - std::ldexp(1.0, -39), 126);
    const double smallest = std::ldexp(1.0, -128);
    EXPECT_EQ(EncodeReal48(largest), B(0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F));
    EXPECT_EQ(DecodeReal48(EncodeReal48(largest)), largest);
    EXPECT_EQ(EncodeReal48(smallest), B(0x01, 0, 0, 0, 0, 0));
    EXPECT_EQ(DecodeReal48(EncodeReal48(-smallest)), -smallest);
    // Too small becomes zero.
    EXPECT_EQ(RoundReal48(smallest / 4), 0.0);
    EXPECT_EQ(EncodeReal48(1e-300), B(0, 0, 0, 0, 0, 0));
    // Too large is an error, not garbage.
    double out = 7.0;
    EXPECT_FALSE(TryRoundReal48(std::ldexp(1.0, 127), out));
    EXPECT_EQ(out, 7.0);
    EXPECT_FALSE(TryRoundReal48(largest * (1 + std::ldexp(1.0, -41)), out));  // rounds up past the top
    EXPECT_THROW(EncodeReal48(1e300), Real48Overflow);
    EXPECT_THROW(EncodeReal48(INFINITY), Real48Overflow);
    EXPECT_THROW(RoundReal48(NAN), Real48Overflow);
}

TEST(Real48, RandomRoundTrips)
{
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mant(1.0, 2.0);
    std::uniform_int_distribution<int> exp(-128, 126);
    for (int i = 0; i < 200000; ++i) {
        double v = std::ldexp(mant(rng), exp(rng));
        if (rng() & 1)
            v = -v;
        const Real48Bytes b = EncodeReal48(v);
        const double d = DecodeReal48(b);
        ASSERT_EQ(d, RoundReal48(v));
        ASSERT_EQ(EncodeReal48(d), b);
        ASSERT_LE(std::fabs(d - v), std::fabs(v) * std::ldexp(1.0, -40));
        // Random bytes decode and re-encode to the same bytes.
        Real48Bytes r;
        for (auto& x : r)
            x = static_cast<uint8_t>(rng());
        if (r[0] == 0)
            continue;
        ASSERT_EQ(EncodeReal48(DecodeReal48(r)), r);
    }
}
