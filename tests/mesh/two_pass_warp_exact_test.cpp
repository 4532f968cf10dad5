// The warp's fast paths (no Real48 rounding of partial sums unless a value
// lies near a rounding tie, a reciprocal instead of three divisions,
// branch-free interval ends) must give exactly the pixels of the plain
// routine. The plain routine is kept here: one target pixel at a time, every
// partial sum and every quotient rounded with RoundReal48, the pixel
// interval found by the Round/Trunc rules, ClampRound per channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "mesh/two_pass_warp.h"
#include "mesh/warp_line.h"
#include "numerics/real48.h"
#include "numerics/resample.h"

namespace {
// ---- The plain routine.

uint8_t PlainClamp(double v)
{
    if (v >= 255.0)
        return 255;
    if (v < 0.0)
        return 0;
    return static_cast<uint8_t>(std::nearbyint(v));
}

double PlainRound(double v) { return v < 0.0 ? 0.0 : std::nearbyint(v); }

void PlainArea(const uint8_t* line, int m, ptrdiff_t step, double a, double b, double out[3])
{
    const double ra = PlainRound(a);
    int lo;
    bool startPartial = true;
    if (ra - a == 0.5) {
        lo = static_cast<int>(ra);
        startPartial = false;
    } else if (a - std::trunc(a) < 0.5) {
        lo = static_cast<int>(std::trunc(a)) + 1;
    } else {
        lo = static_cast<int>(ra) + 1;
    }
    const int hi = b - std::trunc(b) > 0.5 ? static_cast<int>(PlainRound(b)) - 1
                                           : static_cast<int>(std::trunc(b)) - 1;
    for (int c = 0; c < 3; ++c) {
        if (lo - hi >= 2) {
            out[c] = line[std::min(lo - 1, m - 1) * step + c];
            continue;
        }
        double sum = 0.0;
        if (startPartial)
            sum = RoundReal48((lo - 0.5 - a) * line[(lo - 1) * step + c]);
        for (int k = lo; k <= hi; ++k)
            sum = RoundReal48(sum + line[k * step + c]);
        const int last = hi + 1 < m ? hi + 1 : m - 1;
        sum = RoundReal48(sum + (b - (hi + 0.5)) * line[last * step + c]);
        out[c] = RoundReal48(sum / (b - a));
    }
}

void PlainScanline(const uint8_t* source, int m, ptrdiff_t sourceStep, int n,
                   ptrdiff_t targetStep, const double* map, uint8_t* target)
{
    std::vector<double> inv(static_cast<size_t>(n) + 1);
    inv[0] = -0.5;
    int s = 0;
    for (int d = 0; d < n; ++d) {
        while (s < m - 1 && d > map[s + 1])
            ++s;
        inv[d + 1] = std::clamp(s + (d - map[s]) / (map[s + 1] - map[s]), -0.5,
                                static_cast<double>(m));
    }
    for (int d = 0; d < n; ++d, target += targetStep) {
        const double a = inv[d];
        const double b = inv[d + 1];
        if (b - a >= 1.0) {
            double c[3];
            PlainArea(source, m, sourceStep, a, b, c);
            for (int k = 0; k < 3; ++k)
                target[k] = PlainClamp(c[k]);
        } else {
            const double u = a + (b - a) * 0.5;
            const int i0 = std::min(static_cast<int>(std::trunc(std::max(u, 0.0))), m - 1);
            const int i1 = i0 + 1 >= m ? i0 : i0 + 1;
            for (int k = 0; k < 3; ++k) {
                const double p0 = source[i0 * sourceStep + k];
                const double p1 = source[i1 * sourceStep + k];
                target[k] = PlainClamp(RoundReal48(p0 + (p1 - p0) * (u - i0)));
            }
        }
    }
}

using Resampler = bool (*)(const double*, const double*, int, const double*, double*, int);

// The whole warp on top of the plain scanline: curve tables, maps with fixed
// outer edges, one pass along the rows and one along the columns.
void PlainWarp(const RasterImage& src, const TMeshDefsData& sm, const TMeshDefsData& dm,
               int method, RasterImage& dst)
{
    const int ws = src.Width(), hs = src.Height(), wd = dst.Width(), hd = dst.Height();
    const int cols = sm.Cols, rows = sm.Rows;
    const Resampler lines = (method & 2) ? CatmullRom : Linear;
    const Resampler between = (method & 1) ? CatmullRom : Linear;
    auto positions = [](int count, bool edges) {
        std::vector<double> p(count);
        for (int k = 0; k < count; ++k)
            p[k] = edges ? (k == 0 ? 0.0 : k - 0.5) : k;
        return p;
    };
    // Pass 1.
    std::vector<double> srcX(static_cast<size_t>(cols) * hs), midX(srcX.size());
    for (int i = 0; i < cols; ++i) {
        std::vector<double> ys(rows), xs(rows), xd(rows), outS(hs), outD(hs);
        for (int j = 0; j < rows; ++j) {
            ys[j] = sm.Y[sm.Index(i, j)];
            xs[j] = sm.X[sm.Index(i, j)];
            xd[j] = dm.X[dm.Index(i, j)];
        }
        const std::vector<double> at = positions(hs, false);
        ASSERT_FALSE(lines(ys.data(), xs.data(), rows, at.data(), outS.data(), hs));
        ASSERT_FALSE(lines(ys.data(), xd.data(), rows, at.data(), outD.data(), hs));
        for (int y = 0; y < hs; ++y) {
            srcX[static_cast<size_t>(y) * cols + i] = outS[y];
            midX[static_cast<size_t>(y) * cols + i] = outD[y];
        }
    }
    RasterImage mid;
    mid.Init(wd, hs);
    const uint8_t* s = src.Lock();
    uint8_t* md = mid.Lock();
    std::vector<double> map(std::max({ws, hs}) + 1);
    const std::vector<double> edgesW = positions(ws, true), edgesH = positions(hs, true);
    for (int y = 0; y < hs; ++y) {
        const size_t at = static_cast<size_t>(y) * cols;
        ASSERT_FALSE(between(&srcX[at], &midX[at], cols, edgesW.data(), map.data(), ws));
        map[0] = -0.5;
        map[ws] = wd - 0.5;
        PlainScanline(s + static_cast<ptrdiff_t>(hs - 1 - y) * src.RowBytes, ws, 3, wd, 3,
                      map.data(), md + static_cast<ptrdiff_t>(hs - 1 - y) * mid.RowBytes);
    }
    src.Unlock();
    // Pass 2.
    std::vector<double> midY(static_cast<size_t>(rows) * wd), dstY(midY.size());
    const std::vector<double> at = positions(wd, false);
    for (int j = 0; j < rows; ++j) {
        ASSERT_FALSE(lines(&dm.X[dm.Index(0, j)], &sm.Y[sm.Index(0, j)], cols, at.data(),
                           &midY[static_cast<size_t>(j) * wd], wd));
        ASSERT_FALSE(lines(&dm.X[dm.Index(0, j)], &dm.Y[dm.Index(0, j)], cols, at.data(),
                           &dstY[static_cast<size_t>(j) * wd], wd));
    }
    uint8_t* dp = dst.Lock();
    for (int x = 0; x < wd; ++x) {
        std::vector<double> from(rows), to(rows);
        for (int j = 0; j < rows; ++j) {
            from[j] = midY[static_cast<size_t>(j) * wd + x];
            to[j] = dstY[static_cast<size_t>(j) * wd + x];
        }
        ASSERT_FALSE(between(from.data(), to.data(), rows, edgesH.data(), map.data(), hs));
        map[0] = -0.5;
        map[hs] = hd - 0.5;
        PlainScanline(md + static_cast<ptrdiff_t>(hs - 1) * mid.RowBytes + 3 * x, hs,
                      -static_cast<ptrdiff_t>(mid.RowBytes), hd,
                      -static_cast<ptrdiff_t>(dst.RowBytes), map.data(),
                      dp + static_cast<ptrdiff_t>(hd - 1) * dst.RowBytes + 3 * x);
    }
    dst.Unlock();
    mid.Unlock();
    mid.Done();
}

// ---- Random inputs.

void Fill(RasterImage& r, std::mt19937& rng, bool flat)
{
    uint8_t* p = r.Lock();
    // Flat pictures (few distinct values) give many sums that land exactly on
    // rounding ties, which the fast path must hand to the exact one.
    for (int32_t k = 0; k < r.ImageSize; ++k)
        p[k] = flat ? static_cast<uint8_t>(85 * (rng() % 4)) : static_cast<uint8_t>(rng());
    r.Unlock();
}

// A valid cols x rows mesh over w x h pixels: border nodes on the edges,
// interior nodes moved by up to 0.4 of a cell, so grid lines stay ordered.
TMeshDefsData RandomMesh(int cols, int rows, int w, int h, std::mt19937& rng, bool displace)
{
    std::uniform_real_distribution<double> shift(-0.4, 0.4);
    TMeshDefsData m(cols, rows);
    const double cx = (w - 1.0) / (cols - 1), cy = (h - 1.0) / (rows - 1);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) {
            double x = i * cx, y = j * cy;
            if (displace && i > 0 && i < cols - 1)
                x += shift(rng) * cx;
            if (displace && j > 0 && j < rows - 1)
                y += shift(rng) * cy;
            m.SetNode(i, j, {x, y}, false);
        }
    return m;
}

int CountDifferences(const RasterImage& a, const RasterImage& b)
{
    int differ = 0;
    const uint8_t* pa = a.Lock();
    const uint8_t* pb = b.Lock();
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < 3 * a.Width(); ++x)
            differ += pa[y * a.RowBytes + x] != pb[y * b.RowBytes + x];
    a.Unlock();
    b.Unlock();
    return differ;
}

// The plain routine's bytes against ResampleScanline and, where the
// processor has it, the vector line routine (writing every other pixel of a
// wider buffer, as the passes write with a step).
void ExpectLinesMatch(const std::vector<uint8_t>& line, int m, int n,
                      const std::vector<double>& map, const char* what)
{
    std::vector<uint8_t> plain(3 * static_cast<size_t>(n), 2), fast(plain.size(), 1);
    PlainScanline(line.data(), m, 3, n, 3, map.data(), plain.data());
    ResampleScanline(line.data(), m, 3, n, 3, map.data(), fast.data());
    ASSERT_EQ(fast, plain) << what << ": plain line routine";
    if (!VectorLineAvailable())
        return;
    WarpLineWork work(std::max(m, n));
    std::vector<uint8_t> wide(6 * static_cast<size_t>(n), 7);
    ResampleLineVector(line.data(), m, n, map.data(), wide.data(), 6, work);
    for (int d = 0; d < n; ++d) {
        for (int c = 0; c < 3; ++c) {
            ASSERT_EQ(wide[6 * d + c], plain[3 * d + c]) << what << ": pixel " << d;
            ASSERT_EQ(wide[6 * d + 3 + c], 7) << what << ": wrote between pixels";
        }
    }
}
}  // namespace

TEST(TwoPassWarpExact, RandomMeshesAndPicturesMatchThePlainRoutineBitForBit)
{
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> size(2, 90), nodes(2, 6);
    for (int round = 0; round < 24; ++round) {
        const int ws = size(rng), hs = size(rng);
        // Some rounds keep the size (near 1:1, where both branches meet), some
        // enlarge or shrink strongly.
        const int wd = round % 3 == 0 ? ws : size(rng);
        const int hd = round % 3 == 0 ? hs : size(rng);
        const int cols = std::min(nodes(rng), ws), rows = std::min(nodes(rng), hs);
        const TMeshDefsData sm = RandomMesh(cols, rows, ws, hs, rng, round % 4 != 1);
        const TMeshDefsData dm = RandomMesh(cols, rows, wd, hd, rng, true);
        RasterImage src;
        src.Init(ws, hs);
        Fill(src, rng, round % 2 == 1);
        for (int method = 0; method < 4; ++method) {
            RasterImage plain;
            plain.Init(wd, hd);
            PlainWarp(src, sm, dm, method, plain);
            // The vector lines (where the processor has them) and the plain ones.
            for (bool vector : {true, false}) {
                RasterImage fast;
                fast.Init(wd, hd);
                SetVectorWarp(vector);
                TwoPassWarp(src, sm, dm, method, fast);
                SetVectorWarp(true);
                ASSERT_EQ(CountDifferences(fast, plain), 0)
                    << "round " << round << " method " << method << " vector " << vector << ": "
                    << ws << "x" << hs << " -> " << wd << "x" << hd << ", mesh " << cols << "x"
                    << rows;
            }
        }
    }
}

TEST(TwoPassWarpExact, ScanlinesWithTiesAndLongIntervalsMatchThePlainRoutine)
{
    std::mt19937 rng(7);
    // Exact integer and half-integer scales put averages on rounding ties
    // (4 -> 3 and 7 -> 5 with one whole pixel between two partial ones);
    // 6000 -> 1 is longer than the fast path accepts; random maps mix both
    // branches and squeezed (repeated) map entries.
    struct Case {
        int m, n;
        bool random;
    };
    const Case cases[] = {{8, 4, false},   {12, 3, false},  {9, 6, false},  {5, 10, false},
                          {6000, 1, false}, {6000, 3, false}, {40, 17, true}, {17, 40, true},
                          {300, 299, true}, {1, 5, false},   {5, 1, false},
                          {4, 3, false},    {7, 5, false},   {1920, 1600, false}};
    for (const Case& c : cases) {
        for (int picture = 0; picture < 6; ++picture) {
            std::vector<uint8_t> line(3 * static_cast<size_t>(c.m));
            for (uint8_t& b : line)
                b = static_cast<uint8_t>(picture % 2 ? rng() : 51 * (rng() % 6));
            std::vector<double> map(c.m + 1);
            if (c.random) {
                std::vector<double> cuts(c.m - 1);
                std::uniform_real_distribution<double> at(-0.5, c.n - 0.5);
                for (double& v : cuts)
                    v = RoundReal48(at(rng));
                std::sort(cuts.begin(), cuts.end());
                if (c.m > 3)
                    cuts[c.m / 2] = cuts[c.m / 2 - 1];  // a squeezed cell
                std::copy(cuts.begin(), cuts.end(), map.begin() + 1);
            } else {
                for (int k = 1; k < c.m; ++k)
                    map[k] = RoundReal48(static_cast<double>(k) * c.n / c.m - 0.5);
            }
            map[0] = -0.5;
            map[c.m] = c.n - 0.5;
            const std::string what = std::to_string(c.m) + " -> " + std::to_string(c.n) +
                                     " picture " + std::to_string(picture);
            ExpectLinesMatch(line, c.m, c.n, map, what.c_str());
        }
    }
}

TEST(TwoPassWarpExact, ScanlinesWithMapsOutOfOrderMatchThePlainRoutine)
{
    // A map that breaks its order (Catmull-Rom overshoot of a bad mesh) sends
    // the inverse-map walk back and forth; the clamps of the inverse map then
    // matter, and the fast walk must still find the same source positions.
    std::mt19937 rng(99);
    for (const auto& [m, n] : {std::pair{40, 17}, std::pair{17, 40}, std::pair{64, 64},
                               std::pair{2, 9}, std::pair{9, 2}}) {
        for (int picture = 0; picture < 8; ++picture) {
            std::vector<uint8_t> line(3 * static_cast<size_t>(m));
            for (uint8_t& b : line)
                b = static_cast<uint8_t>(rng());
            std::uniform_real_distribution<double> at(-2.0, n + 1.0);
            std::vector<double> map(m + 1);
            for (double& v : map)
                v = RoundReal48(at(rng));
            if (picture % 2 == 0) {  // the outer edges as the passes set them
                map[0] = -0.5;
                map[m] = n - 0.5;
            }
            const std::string what = std::to_string(m) + " -> " + std::to_string(n) +
                                     " picture " + std::to_string(picture);
            ExpectLinesMatch(line, m, n, map, what.c_str());
        }
    }
}
