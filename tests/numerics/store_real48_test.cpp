#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "numerics/real48.h"
#include "numerics/store_real48.h"

namespace {
double FromBits(uint64_t u)
{
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// Random doubles over the whole Real48 range and a little beyond, a third of
// them exact ties at the 40-bit boundary and a third just beside one.
double RandomValue(std::mt19937_64& rng, int kind)
{
    uint64_t u = rng();
    const uint64_t exponent = 1023 - 132 + rng() % 264;
    u = (u & 0x800FFFFFFFFFFFFFull) | (exponent << 52);
    if (kind == 1)
        u = (u & ~uint64_t{0x1FFF}) | 0x1000;
    else if (kind == 2)
        u = (u & ~uint64_t{0x1FFF}) | ((rng() & 1) ? 0x0FFF : 0x1001);
    return FromBits(u);
}
}  // namespace

TEST(StoreReal48, AgreesWithRoundReal48EverywhereIncludingTies)
{
    std::mt19937_64 rng(20240601);
    int checked = 0;
    for (int n = 0; n < 3000000; ++n) {
        const double v = RandomValue(rng, n % 3);
        double expected;
        if (TryRoundReal48(v, expected)) {
            ASSERT_EQ(StoreReal48(v), expected) << std::hexfloat << v;
            double got = -1.0;
            ASSERT_TRUE(TryStoreReal48(v, got));
            ASSERT_EQ(got, expected) << std::hexfloat << v;
            ++checked;
        } else {
            double got = 42.0;
            EXPECT_FALSE(TryStoreReal48(v, got));
            EXPECT_EQ(got, 42.0);
            EXPECT_THROW(StoreReal48(v), Real48Overflow);
        }
    }
    EXPECT_GT(checked, 2500000);
}

TEST(StoreReal48, InRangeRoundingMatchesOnPixelValues)
{
    // The warp's sums and interpolations: weights times bytes, sums of a few
    // thousand bytes, quotients by interval lengths.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> weight(0.0, 1.0);
    for (int n = 0; n < 1000000; ++n) {
        const double v = weight(rng) * static_cast<double>(rng() % 256) +
                         static_cast<double>(rng() % 100000);
        const double q = v / (1.0 + weight(rng) * 7.0);
        ASSERT_EQ(RoundReal48InRange(v), RoundReal48(v)) << std::hexfloat << v;
        ASSERT_EQ(RoundReal48InRange(q), RoundReal48(q)) << std::hexfloat << q;
        ASSERT_EQ(RoundReal48InRange(-q), RoundReal48(-q)) << std::hexfloat << q;
    }
    EXPECT_EQ(RoundReal48InRange(0.0), 0.0);
    EXPECT_EQ(RoundReal48InRange(255.0), 255.0);
}

TEST(StoreReal48, EdgesOfTheRange)
{
    EXPECT_EQ(StoreReal48(0.0), 0.0);
    EXPECT_EQ(StoreReal48(-0.0), 0.0);
    EXPECT_EQ(StoreReal48(std::ldexp(1.0, -129)), 0.0);   // too small: zero
    EXPECT_EQ(StoreReal48(std::ldexp(1.0, -128)), std::ldexp(1.0, -128));
    const double largest = std::ldexp(2.0 - std::ldexp(1.0, -39), 126);
    EXPECT_EQ(StoreReal48(largest), largest);
    EXPECT_THROW(StoreReal48(std::ldexp(1.0, 127)), Real48Overflow);
    EXPECT_THROW(StoreReal48(std::nan("")), Real48Overflow);
    EXPECT_THROW(StoreReal48(INFINITY), Real48Overflow);
    // Just below 2^127 rounds up to it: an overflow, not a wrong value.
    EXPECT_THROW(StoreReal48(std::nextafter(std::ldexp(1.0, 127), 0.0)), Real48Overflow);
}
