#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "numerics/real48.h"
#include "numerics/resample.h"
#include "test_support.h"

namespace {
using Routine = bool (*)(const double*, const double*, int, const double*, double*, int);

std::vector<double> Resampled(Routine routine, const std::vector<double>& xIn,
                        const std::vector<double>& yIn, const std::vector<double>& xOut)
{
    std::vector<double> yOut(xOut.size(), -7.0);
    EXPECT_FALSE(routine(xIn.data(), yIn.data(), static_cast<int>(xIn.size()), xOut.data(),
                         yOut.data(), static_cast<int>(xOut.size())));
    return yOut;
}

// Uneven samples with values of Real48 precision.
const std::vector<double> kX = {0.0, 1.5, 2.0, 4.25, 7.0, 8.0};
const std::vector<double> kY = {3.0, -1.0, 2.5, 2.5, 10.0, 0.125};

std::vector<double> Reversed(std::vector<double> v)
{
    std::reverse(v.begin(), v.end());
    return v;
}

// Independent piecewise linear interpolation.
double LinearAt(const std::vector<double>& xs, const std::vector<double>& ys, double x)
{
    size_t i = 0;
    while (i + 2 < xs.size() && x > xs[i + 1])
        ++i;
    return ys[i] + (ys[i + 1] - ys[i]) * (x - xs[i]) / (xs[i + 1] - xs[i]);
}
}  // namespace

TEST(Resample, BothRoutinesAreExactAtEverySample)
{
    for (Routine r : {Linear, CatmullRom}) {
        EXPECT_EQ(Resampled(r, kX, kY, kX), kY);
        // A single inner sample, and the last sample alone.
        EXPECT_EQ(Resampled(r, kX, kY, {4.25}), std::vector<double>{2.5});
        EXPECT_EQ(Resampled(r, kX, kY, {8.0}), std::vector<double>{0.125});
    }
}

TEST(Resample, LinearMatchesAnIndependentInterpolationAtRealPrecision)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> step(0.05, 3.0), value(-50.0, 50.0);
    for (int round = 0; round < 50; ++round) {
        std::vector<double> xs{RoundReal48(value(rng))}, ys{RoundReal48(value(rng))};
        for (int k = 0; k < 8; ++k) {
            xs.push_back(RoundReal48(xs.back() + step(rng)));
            ys.push_back(RoundReal48(value(rng)));
        }
        std::vector<double> out;
        for (double x = xs.front(); x < xs.back(); x += 0.37)
            out.push_back(x);
        out.push_back(xs.back());
        const std::vector<double> got = Resampled(Linear, xs, ys, out);
        for (size_t k = 0; k < out.size(); ++k) {
            const double want = LinearAt(xs, ys, out[k]);
            EXPECT_NEAR(got[k], want, 1e-9 * (1.0 + std::fabs(want))) << out[k];
            EXPECT_EQ(got[k], RoundReal48(got[k]));  // stored at Real48 precision
        }
    }
}

TEST(Resample, DecreasingInputGivesTheResultsOfTheReversedData)
{
    const std::vector<double> out = {0.0, 0.7, 1.5, 1.9, 3.3, 4.25, 6.0, 7.99, 8.0};
    for (Routine r : {Linear, CatmullRom}) {
        const std::vector<double> up = Resampled(r, kX, kY, out);
        const std::vector<double> down = Resampled(r, Reversed(kX), Reversed(kY), Reversed(out));
        const std::vector<double> back = Reversed(down);
        for (size_t k = 0; k < out.size(); ++k)
            EXPECT_NEAR(back[k], up[k], 1e-10) << "at " << out[k];
    }
}

TEST(Resample, TwoSamplesAndCollinearSamplesGiveTheStraightLine)
{
    const std::vector<double> out = {-2.0, -1.25, 0.0, 0.5, 3.0, 6.0};
    for (Routine r : {Linear, CatmullRom}) {
        // Two samples: the chord.
        const std::vector<double> chord = Resampled(r, {-2.0, 6.0}, {1.0, 5.0}, out);
        for (size_t k = 0; k < out.size(); ++k)
            EXPECT_NEAR(chord[k], 1.0 + (out[k] + 2.0) * 0.5, 1e-11);
        // Samples on y = 3x - 1 at uneven spacing.
        const std::vector<double> xs = {-2.0, -1.5, 0.25, 1.0, 6.0};
        std::vector<double> ys;
        for (double x : xs)
            ys.push_back(3.0 * x - 1.0);
        const std::vector<double> line = Resampled(r, xs, ys, out);
        for (size_t k = 0; k < out.size(); ++k)
            EXPECT_NEAR(line[k], 3.0 * out[k] - 1.0, 1e-10);
    }
}

TEST(Resample, CatmullRomUsesCatmullRomTangentsAndIsSmoothAcrossSamples)
{
    // On [1.5, 2.0] the cubic has tangents (2.5 - 3) / 2 at 1.5 and
    // (2.5 - -1) / 2.75 at 2.0; check the midpoint against the Hermite form.
    const double h = 0.5, m0 = (2.5 - 3.0) / 2.0, m1 = (2.5 - -1.0) / 2.75;
    const double mid = 0.5 * (-1.0 + 2.5) + 0.125 * h * (m0 - m1);
    EXPECT_NEAR(Resampled(CatmullRom, kX, kY, {1.75})[0], mid, 1e-10);
    // The slope just left and just right of an inner sample agree.
    const double e = 1e-5;
    const std::vector<double> v = Resampled(CatmullRom, kX, kY, {4.25 - e, 4.25, 4.25 + e});
    const double left = (v[1] - v[0]) / e, right = (v[2] - v[1]) / e;
    EXPECT_NEAR(left, right, 1e-3);
    EXPECT_NEAR(left, (10.0 - 2.5) / (7.0 - 2.0), 1e-3);
}

TEST(Resample, RangeErrorsLeaveTheOutputUntouched)
{
    const std::vector<std::vector<double>> bad = {
        {-0.001, 4.0}, {1.0, 8.001}, {-1.0, 9.0}};
    for (const auto& out : bad) {
        for (int dir = 0; dir < 2; ++dir) {
            const std::vector<double> xs = dir == 0 ? kX : Reversed(kX);
            const std::vector<double> ys = dir == 0 ? kY : Reversed(kY);
            const std::vector<double> xo = dir == 0 ? out : Reversed(out);
            std::vector<double> y(xo.size(), -7.0);
            {
                ErrorCapture errors;
                EXPECT_TRUE(Linear(xs.data(), ys.data(), 6, xo.data(), y.data(), 2));
                ASSERT_EQ(errors.Count(), 1u);
                EXPECT_EQ(errors.Messages[0].Code, 4);
                EXPECT_EQ(errors.Messages[0].Caption, "Error.");
                EXPECT_EQ(errors.LastText(), "Error: Linear: Output X-coord out of range of input");
            }
            EXPECT_EQ(y, std::vector<double>(2, -7.0));
            {
                ErrorCapture errors;
                EXPECT_TRUE(CatmullRom(xs.data(), ys.data(), 6, xo.data(), y.data(), 2));
                EXPECT_EQ(errors.Count(), 0u);
            }
            EXPECT_EQ(y, std::vector<double>(2, -7.0));
        }
    }
}

TEST(Resample, EqualNeighbouringSamplesGiveNoNaN)
{
    // x = 2 appears twice: a zero-width interval.
    const std::vector<double> xs = {0.0, 2.0, 2.0, 4.0}, ys = {0.0, 1.0, 5.0, 6.0};
    const std::vector<double> lin = Resampled(Linear, xs, ys, {0.0, 1.0, 2.0, 3.0, 4.0});
    EXPECT_EQ(lin, (std::vector<double>{0.0, 0.5, 5.0, 5.5, 6.0}));

    // Catmull-Rom: an output that lands on the interval [2, 2] divides by
    // zero and copies the output before it.
    const std::vector<double> cr =
        Resampled(CatmullRom, {0.0, 1.0, 2.0, 2.0, 4.0}, {0.0, 1.0, 3.0, 5.0, 6.0}, {0.5, 2.0, 3.0});
    for (double v : cr)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(cr[1], cr[0]);
    EXPECT_NE(cr[2], cr[1]);
    // The very first output failing has nothing to copy: it takes the sample
    // at the start of its interval.
    const std::vector<double> first =
        Resampled(CatmullRom, {0.0, 1.0, 1.0, 4.0}, {7.0, 2.0, 9.0, 3.0}, {1.0, 2.0});
    EXPECT_EQ(first[0], 2.0);
    EXPECT_TRUE(std::isfinite(first[1]));
}

TEST(Resample, OutputsOutOfOrderStayInsideTheSamples)
{
    // Only the first and last outputs are range-checked; the ones between
    // beyond the samples use the nearest end interval.
    const std::vector<double> xs = {0.0, 1.0, 3.0}, ys = {0.0, 2.0, 3.0};
    const std::vector<double> out = {0.0, 5.0, -2.0, 0.5, 3.0};
    EXPECT_EQ(Resampled(Linear, xs, ys, out), (std::vector<double>{0.0, 4.0, -4.0, 1.0, 3.0}));
    const std::vector<double> cr = Resampled(CatmullRom, xs, ys, out);
    EXPECT_EQ(cr.front(), 0.0);
    EXPECT_EQ(cr.back(), 3.0);
    for (double v : cr)
        EXPECT_TRUE(std::isfinite(v));
}
