#include "numerics/resample.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <immintrin.h>

#include "images/cpu_features.h"
#include "images/error_box.h"
#include "numerics/store_real48.h"

namespace {
// Direction of the samples (+1 increasing, -1 decreasing) and whether the
// first and last output position lie inside the sample range.
bool OutputsInRange(const double* xIn, int nIn, const double* xOut, int nOut, int& dir)
{
    if (nIn < 2)
        return false;
    if (xIn[0] < xIn[1]) {
        dir = 1;
        return xOut[0] >= xIn[0] && xOut[nOut - 1] <= xIn[nIn - 1];
    }
    dir = -1;
    return xOut[0] <= xIn[0] && xOut[nOut - 1] >= xIn[nIn - 1];
}

// True when no sample lies before its predecessor. Only then may the interval
// search resume where the previous output left it: with ordered samples the
// first sample not before x can only move forward as x does.
bool SamplesOrdered(const double* xIn, int nIn, int dir)
{
    for (int i = 1; i < nIn; ++i)
        if (dir * xIn[i] < dir * xIn[i - 1])
            return false;
    return true;
}

// Finds the interval [idx, idx + 1] for x. 'first' is the index of the first
// sample not before x (multiplying by dir = +-1 is exact, so dir * a < dir * x
// means "a is before x" in either direction); the search starts at 'from'.
// An output on an inner sample uses the interval that starts there, one on
// the last sample the last interval. Outputs outside the samples (possible
// only when the outputs are not in order) use the nearest end interval.
int FindInterval(const double* xIn, int nIn, double x, int dir, int from, int& first)
{
    int i = from;
    while (i < nIn && dir * xIn[i] < dir * x)
        ++i;
    first = i;
    int idx;
    if (i == nIn)
        idx = nIn - 2;
    else if (dir * xIn[i] > dir * x || i == nIn - 1)
        idx = i - 1;
    else
        idx = i;
    return idx < 0 ? 0 : idx;
}

// Keeps the resumable search position between outputs.
class IntervalSearch {
public:
    IntervalSearch(const double* xIn, int nIn, int dir)
        : XIn(xIn), NIn(nIn), Dir(dir), Ordered(SamplesOrdered(xIn, nIn, dir)) {}

    int Find(double x)
    {
        const bool resume = Ordered && Started && !(Dir * x < Dir * PrevX);
        Started = true;
        PrevX = x;
        return FindInterval(XIn, NIn, x, Dir, resume ? First : 0, First);
    }

private:
    const double* XIn;
    int NIn;
    int Dir;
    bool Ordered;
    bool Started = false;
    double PrevX = 0.0;
    int First = 0;
};
}  // namespace

namespace {
// yOut[k] = RoundReal48InRange((xOut[k] - x0) * slope + y0) for k in
// [from, to), two at a time; true when a value fails the range test of
// StoreReal48 (NaN fails it too).
bool LineValues(const double* xOut, double* yOut, int from, int to, double x0, double slope,
                double y0)
{
    const __m128d vx0 = _mm_set1_pd(x0), vslope = _mm_set1_pd(slope), vy0 = _mm_set1_pd(y0);
    const __m128d smallest = _mm_set1_pd(0x1p-128), largest = _mm_set1_pd(0x1p126);
    const __m128d split = _mm_set1_pd(8193.0), sign = _mm_set1_pd(-0.0);
    __m128d outside2 = _mm_setzero_pd();
    int k = from;
    for (; k + 2 <= to; k += 2) {
        const __m128d x = _mm_loadu_pd(xOut + k);
        const __m128d v = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(x, vx0), vslope), vy0);
        const __m128d a = _mm_andnot_pd(sign, v);
        outside2 = _mm_or_pd(outside2, _mm_cmpnge_pd(a, smallest));
        outside2 = _mm_or_pd(outside2, _mm_cmpnlt_pd(a, largest));
        const __m128d c = _mm_mul_pd(v, split);
        _mm_storeu_pd(yOut + k, _mm_sub_pd(c, _mm_sub_pd(c, v)));
    }
    bool outside = _mm_movemask_pd(outside2) != 0;
    for (; k < to; ++k) {
        const double v = (xOut[k] - x0) * slope + y0;
        const double a = std::fabs(v);
        outside |= !(a >= 0x1p-128 && a < 0x1p126);
        yOut[k] = RoundReal48InRange(v);
    }
    return outside;
}

// The same four at a time.
__attribute__((target("avx2"))) bool LineValuesAvx2(const double* xOut, double* yOut, int from,
                                                    int to, double x0, double slope, double y0)
{
    const __m256d vx0 = _mm256_set1_pd(x0), vslope = _mm256_set1_pd(slope);
    const __m256d vy0 = _mm256_set1_pd(y0);
    const __m256d smallest = _mm256_set1_pd(0x1p-128), largest = _mm256_set1_pd(0x1p126);
    const __m256d split = _mm256_set1_pd(8193.0), sign = _mm256_set1_pd(-0.0);
    __m256d outside4 = _mm256_setzero_pd();
    int k = from;
    for (; k + 4 <= to; k += 4) {
        const __m256d v = _mm256_add_pd(
            _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(xOut + k), vx0), vslope), vy0);
        const __m256d a = _mm256_andnot_pd(sign, v);
        outside4 = _mm256_or_pd(outside4, _mm256_or_pd(_mm256_cmp_pd(a, smallest, _CMP_NGE_UQ),
                                                       _mm256_cmp_pd(a, largest, _CMP_NLT_UQ)));
        const __m256d c = _mm256_mul_pd(v, split);
        _mm256_storeu_pd(yOut + k, _mm256_sub_pd(c, _mm256_sub_pd(c, v)));
    }
    const bool outside = _mm256_movemask_pd(outside4) != 0;
    return LineValues(xOut, yOut, k, to, x0, slope, y0) || outside;
}


// y on the interval [idx, idx + 1] at x. A zero-width interval behaves as a
// flat one: no division by zero.
class LinearPiece {
public:
    void Use(const double* xIn, const double* yIn, int idx)
    {
        X0 = xIn[idx];
        Y0 = yIn[idx];
        Y1 = yIn[idx + 1];
        const double dx = xIn[idx + 1] - X0;
        Slope = dx == 0.0 ? 0.0 : (Y1 - Y0) / dx;
    }
    double At(double x) const { return StoreReal48(Slope == 0.0 ? Y1 : (x - X0) * Slope + Y0); }

    // At for the outputs xOut[k..] while each is inside the interval (before
    // limit, the walk's "dir * x < dir * xIn[idx + 1]" without the sign) and
    // not before the one ahead of it: the walk below would neither restart nor
    // move for them. NaN ends a run. Returns the first output not taken.
    // With ordered outputs (no NaN, none before its predecessor) the end of
    // the run is found by bisection and the values in a loop that vectorises.
    template <bool Up>
    int Run(const double* xOut, double* yOut, int k, int nOut, double limit, double& prev,
            bool ordered) const
    {
        // For decreasing samples "before" is "greater": negating both sides
        // of a comparison is exact, so x > prev is -x < -prev.
        const auto before = [](double p, double q) { return Up ? p < q : p > q; };
        if (ordered) {
            const double* end = std::partition_point(
                xOut + k, xOut + nOut, [&](double x) { return before(x, limit); });
            const int stop = static_cast<int>(end - xOut);
            if (stop > k) {
                prev = xOut[stop - 1];
                Values(xOut, yOut, k, stop);
            }
            return stop;
        }
        int stop = k;
        for (; stop < nOut; ++stop) {
            const double x = xOut[stop];
            if (before(x, prev) || !before(x, limit))
                break;
            prev = x;
        }
        Values(xOut, yOut, k, stop);
        return stop;
    }

private:
    // At for xOut[from..to-1]: Real48 rounding without a range test in the
    // loop; a value outside the plain range takes StoreReal48 again, in
    // order, so that an overflow throws where it would have.
    void Values(const double* xOut, double* yOut, int from, int to) const
    {
        if (Slope == 0.0) {
            std::fill(yOut + from, yOut + to, StoreReal48(Y1));
            return;
        }
        const bool outside = CpuHasAvx2() ? LineValuesAvx2(xOut, yOut, from, to, X0, Slope, Y0)
                                       : LineValues(xOut, yOut, from, to, X0, Slope, Y0);
        if (outside)
            for (int k = from; k < to; ++k)
                yOut[k] = StoreReal48((xOut[k] - X0) * Slope + Y0);
    }

    double X0 = 0.0, Y0 = 0.0, Y1 = 0.0, Slope = 0.0;
};

// True when no output is NaN or before the one ahead of it.
bool OutputsOrdered(const double* xOut, int nOut, int dir)
{
    // Two neighbour pairs at a time; "not in order" is also true for NaN.
    __m128d disorder = _mm_cmpunord_pd(_mm_set1_pd(xOut[0]), _mm_set1_pd(xOut[0]));
    int k = 1;
    for (; k + 2 <= nOut; k += 2) {
        const __m128d before = _mm_loadu_pd(xOut + k - 1);
        const __m128d after = _mm_loadu_pd(xOut + k);
        disorder = _mm_or_pd(disorder, dir > 0 ? _mm_cmpnle_pd(before, after)
                                               : _mm_cmpnge_pd(before, after));
    }
    bool out = _mm_movemask_pd(disorder) != 0;
    for (; k < nOut; ++k)
        out |= dir > 0 ? !(xOut[k - 1] <= xOut[k]) : !(xOut[k - 1] >= xOut[k]);
    return !out;
}

bool SamplesStrictlyOrdered(const double* xIn, int nIn, int dir)
{
    for (int i = 1; i < nIn; ++i)
        if (!(dir * xIn[i - 1] < dir * xIn[i]))
            return false;
    return true;
}
}  // namespace

bool ResampleRangeValid(const double* xIn, int nIn, const double* xOut, int nOut)
{
    int dir = 1;
    return nOut <= 0 || OutputsInRange(xIn, nIn, xOut, nOut, dir);
}

void ShowLinearRangeError()
{
    ShowErrorBox(4, "Linear: Output X-coord out of range of input");
}

bool Linear(const double* xIn, const double* yIn, int nIn,
            const double* xOut, double* yOut, int nOut)
{
    if (nOut <= 0)
        return false;
    int dir = 1;
    if (!OutputsInRange(xIn, nIn, xOut, nOut, dir)) {
        ShowLinearRangeError();
        return true;
    }
    LinearPiece piece;
    int pieceIdx = -1;
    if (SamplesStrictlyOrdered(xIn, nIn, dir)) {
        // With strictly ordered samples the interval of x is the one with
        // xIn[idx] <= x < xIn[idx + 1] (the last one for x on the last
        // sample), so walking forward with the outputs finds what a search
        // from the start finds; an output that steps back restarts the walk.
        int idx = 0;
        double prev = xOut[0];
        const bool ordered = OutputsOrdered(xOut, nOut, dir);
        for (int k = 0; k < nOut;) {
            const double x = xOut[k];
            if (dir * x < dir * prev)
                idx = 0;
            prev = x;
            while (idx < nIn - 2 && !(dir * x < dir * xIn[idx + 1]))
                ++idx;
            if (idx != pieceIdx) {
                piece.Use(xIn, yIn, idx);
                pieceIdx = idx;
            }
            yOut[k] = piece.At(x);
            // On the last interval the walk stays for every x not before
            // the previous one; NaN it leaves to the step above.
            const double inf = std::numeric_limits<double>::infinity();
            if (dir > 0)
                k = piece.Run<true>(xOut, yOut, k + 1, nOut, idx == nIn - 2 ? inf : xIn[idx + 1],
                                    prev, ordered);
            else
                k = piece.Run<false>(xOut, yOut, k + 1, nOut,
                                     idx == nIn - 2 ? -inf : xIn[idx + 1], prev, ordered);
        }
        return false;
    }
    IntervalSearch search(xIn, nIn, dir);
    for (int k = 0; k < nOut; ++k) {
        const double x = xOut[k];
        const int idx = search.Find(x);
        if (idx != pieceIdx) {
            piece.Use(xIn, yIn, idx);
            pieceIdx = idx;
        }
        yOut[k] = piece.At(x);
    }
    return false;
}

namespace {
// The outputs xOut[k..] (k > 0) that stay on the current cubic: each one not
// past x1 ("dir * x > dir * x1" without the sign; NaN stays and fails to
// store, as in the step of CatmullRom). Returns the first output past x1.
// The same four outputs at a time while all four stay on the cubic and their
// values lie inside the plain Real48 range: the very operations of the loop
// below, lane by lane. Returns the first output it left to that loop.
template <bool Up>
__attribute__((target("avx2"))) int CubicRunAvx2(const double* xOut, double* yOut, int k, int nOut,
                                                  double x0, double x1, double c0, double c1,
                                                  double c2, double c3)
{
    const __m256d vx0 = _mm256_set1_pd(x0), vx1 = _mm256_set1_pd(x1);
    const __m256d v0 = _mm256_set1_pd(c0), v1 = _mm256_set1_pd(c1);
    const __m256d v2 = _mm256_set1_pd(c2), v3 = _mm256_set1_pd(c3);
    const __m256d smallest = _mm256_set1_pd(0x1p-128), largest = _mm256_set1_pd(0x1p126);
    const __m256d split = _mm256_set1_pd(8193.0), sign = _mm256_set1_pd(-0.0);
    for (; k + 4 <= nOut; k += 4) {
        const __m256d x = _mm256_loadu_pd(xOut + k);
        // "past x1" is false for NaN, which stays (and then fails to store).
        const __m256d past = Up ? _mm256_cmp_pd(x, vx1, _CMP_GT_OQ) : _mm256_cmp_pd(x, vx1, _CMP_LT_OQ);
        const __m256d t = _mm256_sub_pd(x, vx0);
        const __m256d v = _mm256_add_pd(
            _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(v3, t), v2), t), v1), t),
            v0);
        const __m256d a = _mm256_andnot_pd(sign, v);
        const __m256d inside = _mm256_and_pd(_mm256_cmp_pd(a, smallest, _CMP_GE_OQ),
                                             _mm256_cmp_pd(a, largest, _CMP_LT_OQ));
        if (_mm256_movemask_pd(past) != 0 || _mm256_movemask_pd(inside) != 0xF)
            break;
        const __m256d c = _mm256_mul_pd(v, split);
        _mm256_storeu_pd(yOut + k, _mm256_sub_pd(c, _mm256_sub_pd(c, v)));
    }
    return k;
}

template <bool Up>
int CubicRun(const double* xOut, double* yOut, int k, int nOut, double x0, double x1, double c0,
             double c1, double c2, double c3)
{
    if (CpuHasAvx2())
        k = CubicRunAvx2<Up>(xOut, yOut, k, nOut, x0, x1, c0, c1, c2, c3);
    for (; k < nOut; ++k) {
        const double x = xOut[k];
        if (Up ? x > x1 : x < x1)
            break;
        const double s = x - x0;
        if (!TryStoreReal48(((c3 * s + c2) * s + c1) * s + c0, yOut[k]))
            yOut[k] = yOut[k - 1];
    }
    return k;
}
}  // namespace

bool CatmullRom(const double* xIn, const double* yIn, int nIn,
                const double* xOut, double* yOut, int nOut)
{
    if (nOut <= 0)
        return false;
    int dir = 1;
    if (!OutputsInRange(xIn, nIn, xOut, nOut, dir))
        return true;
    IntervalSearch search(xIn, nIn, dir);
    bool haveCubic = false;
    int start = 0;  // first sample of the current (or last attempted) interval
    double x0 = 0.0, x1 = 0.0, c0 = 0.0, c1 = 0.0, c2 = 0.0, c3 = 0.0;
    for (int k = 0; k < nOut;) {
        const double x = xOut[k];
        bool ok = true;
        if (!haveCubic || dir * x > dir * x1) {
            const int idx = search.Find(x);
            const int iPrev = idx > 0 ? idx - 1 : 0;
            const int iNext = idx + 2 < nIn ? idx + 2 : nIn - 1;
            const double nx0 = xIn[idx];
            const double nx1 = xIn[idx + 1];
            const double h = 1.0 / (nx1 - nx0);
            const double d = (yIn[idx + 1] - yIn[idx]) * h;
            const double m0 = (yIn[idx + 1] - yIn[iPrev]) / (nx1 - xIn[iPrev]);
            const double m1 = (yIn[iNext] - yIn[idx]) / (xIn[iNext] - nx0);
            const double n2 = (3.0 * d - 2.0 * m0 - m1) * h;
            const double n3 = (m0 + m1 - 2.0 * d) * h * h;
            start = idx;
            // A failed interval is not kept, so the next output searches again.
            ok = std::isfinite(h) && std::isfinite(m0) && std::isfinite(m1) &&
                 std::isfinite(n2) && std::isfinite(n3);
            if (ok) {
                x0 = nx0;
                x1 = nx1;
                c0 = yIn[idx];
                c1 = m0;
                c2 = n2;
                c3 = n3;
                haveCubic = true;
            }
        }
        if (ok) {
            const double s = x - x0;
            ok = TryStoreReal48(((c3 * s + c2) * s + c1) * s + c0, yOut[k]);
        }
        if (!ok)
            yOut[k] = k > 0 ? yOut[k - 1] : yIn[start];
        ++k;
        if (haveCubic)
            k = dir > 0 ? CubicRun<true>(xOut, yOut, k, nOut, x0, x1, c0, c1, c2, c3)
                        : CubicRun<false>(xOut, yOut, k, nOut, x0, x1, c0, c1, c2, c3);
    }
    return false;
}
