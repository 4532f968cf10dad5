// Linear walks forward through the samples while the outputs move forward;
// both routines evaluate a whole run of outputs on one interval in a tight
// loop. They must give exactly what a search from the first sample gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "numerics/real48.h"
#include "numerics/resample.h"

namespace {
// One output the plain way: the interval from a search that starts at the
// first sample, then the value of the line through its two samples.
int PlainInterval(const std::vector<double>& xs, double x);

double PlainLinearAt(const std::vector<double>& xs, const std::vector<double>& ys, double x)
{
    const int idx = PlainInterval(xs, x);
    const double dx = xs[idx + 1] - xs[idx];
    const double slope = dx == 0.0 ? 0.0 : (ys[idx + 1] - ys[idx]) / dx;
    return RoundReal48(slope == 0.0 ? ys[idx + 1] : (x - xs[idx]) * slope + ys[idx]);
}

// The interval for x the plain way: a search that starts at the first sample.
int PlainInterval(const std::vector<double>& xs, double x)
{
    const int n = static_cast<int>(xs.size());
    const double dir = xs[0] < xs[1] ? 1.0 : -1.0;
    int i = 0;
    while (i < n && dir * xs[i] < dir * x)
        ++i;
    int idx;
    if (i == n)
        idx = n - 2;
    else if (dir * xs[i] > dir * x || i == n - 1)
        idx = i - 1;
    else
        idx = i;
    return std::max(idx, 0);
}

// Catmull-Rom the plain way: a new cubic (found by a search from the start)
// whenever x is past the current one; a failed cubic is not kept; a failed
// output copies the one before, the first the sample its interval starts at.
std::vector<double> PlainCatmullRom(const std::vector<double>& xs, const std::vector<double>& ys,
                                    const std::vector<double>& out)
{
    const int n = static_cast<int>(xs.size());
    const double dir = xs[0] < xs[1] ? 1.0 : -1.0;
    std::vector<double> y(out.size());
    bool have = false;
    int start = 0;
    double x0 = 0, x1 = 0, c0 = 0, c1 = 0, c2 = 0, c3 = 0;
    for (size_t k = 0; k < out.size(); ++k) {
        const double x = out[k];
        bool ok = true;
        if (!have || dir * x > dir * x1) {
            const int i = PlainInterval(xs, x);
            const int ip = std::max(i - 1, 0), in = std::min(i + 2, n - 1);
            const double h = 1.0 / (xs[i + 1] - xs[i]);
            const double d = (ys[i + 1] - ys[i]) * h;
            const double m0 = (ys[i + 1] - ys[ip]) / (xs[i + 1] - xs[ip]);
            const double m1 = (ys[in] - ys[i]) / (xs[in] - xs[i]);
            const double n2 = (3.0 * d - 2.0 * m0 - m1) * h;
            const double n3 = (m0 + m1 - 2.0 * d) * h * h;
            start = i;
            ok = std::isfinite(h) && std::isfinite(m0) && std::isfinite(m1) &&
                 std::isfinite(n2) && std::isfinite(n3);
            if (ok) {
                x0 = xs[i], x1 = xs[i + 1], c0 = ys[i], c1 = m0, c2 = n2, c3 = n3;
                have = true;
            }
        }
        if (ok) {
            const double s = x - x0;
            ok = TryRoundReal48(((c3 * s + c2) * s + c1) * s + c0, y[k]);
        }
        if (!ok)
            y[k] = k > 0 ? y[k - 1] : ys[start];
    }
    return y;
}

// Bitwise equality, so that -0.0 and 0.0 (and NaN payloads) count as different.
bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

TEST(ResampleWalk, BothRoutinesMatchASearchFromTheStartForEveryOutput)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> gap(0.01, 40.0), value(-300.0, 300.0), unit(0.0, 1.0);
    for (int round = 0; round < 400; ++round) {
        const int nIn = 2 + static_cast<int>(rng() % 9);
        std::vector<double> xs{RoundReal48(value(rng))}, ys;
        // Some rounds repeat a sample position: no longer strictly ordered.
        for (int k = 1; k < nIn; ++k)
            xs.push_back(round % 5 == 4 && k == nIn / 2 + 1 && nIn > 2
                             ? xs.back()
                             : RoundReal48(xs.back() + gap(rng)));
        for (int k = 0; k < nIn; ++k)  // some flat pieces: the zero-slope run
            ys.push_back(round % 3 == 0 && k % 2 ? ys.back() : RoundReal48(value(rng)));
        const bool down = round % 2 == 1;
        if (down) {
            std::reverse(xs.begin(), xs.end());
            std::reverse(ys.begin(), ys.end());
        }
        const double first = xs.front(), last = xs.back();
        // Outputs from the first to the last sample: pixel-like steps, samples
        // hit exactly, repeats, and (some rounds) steps back and outputs
        // beyond the samples in between, which must restart the walk.
        std::vector<double> out{first};
        const double step = (last - first) / (5 + rng() % 200);
        while (down ? out.back() + step > last : out.back() + step < last) {
            double x = out.back() + step * (rng() % 4 == 0 ? 0.0 : unit(rng) * 2.0);
            if (rng() % 10 == 0)
                x = xs[rng() % nIn];
            if (round % 4 >= 2 && rng() % 15 == 0)
                x = first + (last - first) * (unit(rng) * 1.4 - 0.2);
            out.push_back(x);
        }
        out.push_back(last);
        std::vector<double> got(out.size(), -7.0);
        ASSERT_FALSE(Linear(xs.data(), ys.data(), nIn, out.data(), got.data(),
                            static_cast<int>(out.size())));
        for (size_t k = 0; k < out.size(); ++k)
            ASSERT_TRUE(SameBits(got[k], PlainLinearAt(xs, ys, out[k])))
                << "round " << round << " output " << k << " at " << out[k] << ": " << got[k]
                << " vs " << PlainLinearAt(xs, ys, out[k]);
        std::vector<double> cubic(out.size(), -7.0);
        ASSERT_FALSE(CatmullRom(xs.data(), ys.data(), nIn, out.data(), cubic.data(),
                                static_cast<int>(out.size())));
        const std::vector<double> plain = PlainCatmullRom(xs, ys, out);
        for (size_t k = 0; k < out.size(); ++k)
            ASSERT_TRUE(SameBits(cubic[k], plain[k]))
                << "round " << round << " output " << k << " at " << out[k] << ": " << cubic[k]
                << " vs " << plain[k];
    }
}

TEST(ResampleWalk, ANaNOutputInsideARunFailsAsTheFirstOutputDoes)
{
    // A NaN position has no Real48 value: the run must hand it to the step
    // that stores it, which throws, whether it comes first or inside a run.
    const std::vector<double> xs = {0.0, 2.0, 5.0, 9.0}, ys = {1.0, 4.0, -2.0, 3.0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const std::vector<double>& out :
         {std::vector<double>{0.0, 0.5, nan, 1.0, 9.0},
          std::vector<double>{0.0, 3.0, 3.5, nan, 9.0}}) {
        std::vector<double> got(out.size(), -7.0);
        EXPECT_THROW(Linear(xs.data(), ys.data(), 4, out.data(), got.data(),
                            static_cast<int>(out.size())),
                     Real48Overflow);
        // The outputs before it are written, and are the plain values.
        for (size_t k = 0; !std::isnan(out[k]); ++k)
            EXPECT_TRUE(SameBits(got[k], PlainLinearAt(xs, ys, out[k]))) << k;
    }
}

TEST(ResampleWalk, ValuesAtTheEdgesOfTheRealRangeMatchInOrderedRuns)
{
    // Ordered outputs are evaluated a run at a time; values that cross 0,
    // fall below the smallest Real48 or lie near the largest one must still
    // come out as the plain routine stores them, and one beyond the range
    // throws after the outputs before it were written.
    std::vector<double> out;
    for (int k = 0; k <= 400; ++k)
        out.push_back(k * 0.025);  // 0 .. 10, ascending
    const std::vector<double> xs = {0.0, 3.0, 6.0, 10.0};
    for (const std::vector<double>& ys :
         {std::vector<double>{-1.0, 1.0, -3e-39, 3e-39},
          std::vector<double>{1e-40, 6e-39, 0.0, 2.0},
          std::vector<double>{1e38, 1.6e38, -1.2e38, 9e37}}) {
        std::vector<double> got(out.size(), -7.0);
        ASSERT_FALSE(Linear(xs.data(), ys.data(), 4, out.data(), got.data(),
                            static_cast<int>(out.size())));
        for (size_t k = 0; k < out.size(); ++k)
            ASSERT_TRUE(SameBits(got[k], PlainLinearAt(xs, ys, out[k])))
                << "output " << k << ": " << got[k];
    }
    const std::vector<double> beyond = {0.0, 1.75e38, 1.0, 3.0};  // passes 2^127 near x = 2.9
    std::vector<double> got(out.size(), -7.0);
    EXPECT_THROW(Linear(xs.data(), beyond.data(), 4, out.data(), got.data(),
                        static_cast<int>(out.size())),
                 Real48Overflow);
    EXPECT_TRUE(SameBits(got[1], PlainLinearAt(xs, beyond, out[1])));
}

TEST(ResampleWalk, CatmullRomKeepsItsCubicUpToTheEndOfTheInterval)
{
    // Values of very different size: the cubic of [0, 1] evaluated at 1 misses
    // the sample 0.001 by far more than Real48 precision, so an output on
    // x = 1 shows whether it stayed on that cubic (it must: it is not past
    // its end) or started the next interval.
    const std::vector<double> xs = {0.0, 1.0, 2.0, 3.0};
    const std::vector<double> ys = {1e6, RoundReal48(0.001), -1e6, 5.0};
    for (const bool down : {false, true}) {
        std::vector<double> x = xs, y = ys, out = {0.0, 0.5, 1.0, 1.5, 3.0};
        if (down) {
            for (double& v : x)
                v = -v;
            for (double& v : out)
                v = -v;
        }
        const std::vector<double> plain = PlainCatmullRom(x, y, out);
        ASSERT_NE(plain[2], y[1]);  // the case tells both ways apart
        std::vector<double> got(out.size());
        ASSERT_FALSE(CatmullRom(x.data(), y.data(), 4, out.data(), got.data(), 5));
        for (size_t k = 0; k < out.size(); ++k)
            EXPECT_TRUE(SameBits(got[k], plain[k])) << down << " " << k;
        // Starting on the sample itself gives it exactly.
        const std::vector<double> on = {out[2], out[3]};
        std::vector<double> fresh(2);
        ASSERT_FALSE(CatmullRom(x.data(), y.data(), 4, on.data(), fresh.data(), 2));
        EXPECT_EQ(fresh[0], y[1]);
    }
}

TEST(ResampleWalk, ACatmullRomOutputThatFailsInsideARunCopiesTheOneBefore)
{
    const std::vector<double> xs = {0.0, 2.0, 5.0, 9.0}, ys = {1.0, 4.0, -2.0, 3.0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> out = {0.0, 0.5, nan, 1.0, 9.0};
    std::vector<double> got(out.size(), -7.0);
    ASSERT_FALSE(CatmullRom(xs.data(), ys.data(), 4, out.data(), got.data(), 5));
    EXPECT_EQ(got[2], got[1]);
    EXPECT_NE(got[2], ys[0]);
    const std::vector<double> plain = PlainCatmullRom(xs, ys, out);
    for (size_t k : {0u, 1u, 3u, 4u})
        EXPECT_TRUE(SameBits(got[k], plain[k])) << k;
}
