#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "images/progress.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "mesh/two_pass_warp.h"
#include "test_support.h"

namespace {
// Pixels as (x, y from the top, channel) -> byte, independent of the layout.
class Picture {
public:
    Picture(int w, int h) : W(w), H(h), Bytes(static_cast<size_t>(w) * h * 3, 0) {}
    int W, H;
    std::vector<uint8_t> Bytes;
    uint8_t& At(int x, int y, int c) { return Bytes[(static_cast<size_t>(y) * W + x) * 3 + c]; }
    uint8_t At(int x, int y, int c) const { return Bytes[(static_cast<size_t>(y) * W + x) * 3 + c]; }
    bool operator==(const Picture&) const = default;
};

RasterImage ToRaster(const Picture& p)
{
    RasterImage r;
    r.Init(p.W, p.H);
    uint8_t* base = r.Lock();
    for (int y = 0; y < p.H; ++y)
        for (int x = 0; x < p.W; ++x)
            for (int c = 0; c < 3; ++c)
                base[(p.H - 1 - y) * r.RowBytes + 3 * x + c] = p.At(x, y, c);
    r.Unlock();
    return r;
}

Picture FromRaster(const RasterImage& r)
{
    Picture p(r.Width(), r.Height());
    const uint8_t* base = r.Lock();
    for (int y = 0; y < p.H; ++y)
        for (int x = 0; x < p.W; ++x)
            for (int c = 0; c < 3; ++c)
                p.At(x, y, c) = base[(p.H - 1 - y) * r.RowBytes + 3 * x + c];
    r.Unlock();
    return p;
}

Picture RandomPicture(int w, int h, unsigned seed)
{
    Picture p(w, h);
    std::mt19937 rng(seed);
    for (uint8_t& b : p.Bytes)
        b = static_cast<uint8_t>(rng());
    return p;
}

// Smooth colours with some noise: area averages and interpolations differ.
Picture SmoothPicture(int w, int h, unsigned seed)
{
    Picture p(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                p.At(x, y, c) = static_cast<uint8_t>(
                    std::clamp(127.0 + 100.0 * std::sin(0.21 * x * (c + 1) + 0.13 * y) +
                                   static_cast<double>(rng() % 21) - 10.0,
                               0.0, 255.0));
    return p;
}

// A regular cols x rows grid over w x h pixels.
TMeshDefsData Grid(int cols, int rows, int w, int h)
{
    TMeshDefsData m(cols, rows);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i)
            m.SetNode(i, j, {i * (w - 1.0) / (cols - 1), j * (h - 1.0) / (rows - 1)}, false);
    return m;
}

Picture Warp(const Picture& src, const TMeshDefsData& srcMesh, const TMeshDefsData& dstMesh,
             int method, int wd, int hd)
{
    const RasterImage s = ToRaster(src);
    RasterImage d;
    d.Init(wd, hd);
    TwoPassWarp(s, srcMesh, dstMesh, method, d);
    return FromRaster(d);
}

// ---- A plain model of the warp, written from the algorithm's description:
// every value in double with no Real48 rounding, every target pixel found
// on its own by a search from the start and an overlap integral.

double ModelLinear(const std::vector<double>& xs, const std::vector<double>& ys, double x)
{
    size_t i = 0;
    while (i + 2 < xs.size() && x > xs[i + 1])
        ++i;
    return ys[i] + (ys[i + 1] - ys[i]) * (x - xs[i]) / (xs[i + 1] - xs[i]);
}

// Hermite form of the Catmull-Rom cubic; the chord is the tangent at the ends.
double ModelCatmullRom(const std::vector<double>& xs, const std::vector<double>& ys, double x)
{
    const size_t n = xs.size();
    size_t i = 0;
    while (i + 2 < n && x > xs[i + 1])
        ++i;
    const size_t prev = i == 0 ? 0 : i - 1, next = std::min(i + 2, n - 1);
    const double h = xs[i + 1] - xs[i];
    const double m0 = (ys[i + 1] - ys[prev]) / (xs[i + 1] - xs[prev]);
    const double m1 = (ys[next] - ys[i]) / (xs[next] - xs[i]);
    const double t = (x - xs[i]) / h;
    return (2 * t * t * t - 3 * t * t + 1) * ys[i] + (t * t * t - 2 * t * t + t) * h * m0 +
           (-2 * t * t * t + 3 * t * t) * ys[i + 1] + (t * t * t - t * t) * h * m1;
}

using ModelCurve = double (*)(const std::vector<double>&, const std::vector<double>&, double);

// One scanline: source line -> target line through the edge map.
std::vector<double> ModelLine(const std::vector<double>& line, int n,
                              const std::vector<double>& map)
{
    const int m = static_cast<int>(line.size());
    const auto pixel = [&](int k) { return line[std::clamp(k, 0, m - 1)]; };
    // The source edge position (edge k at k) that lands on target position d.
    const auto inverse = [&](double d) {
        int s = 0;
        while (d > map[s + 1])
            ++s;
        return s + (d - map[s]) / (map[s + 1] - map[s]);
    };
    std::vector<double> out(n);
    for (int d = 0; d < n; ++d) {
        const double a = d == 0 ? -0.5 : inverse(d - 1);
        const double b = inverse(d);
        if (b - a >= 1.0) {
            double sum = 0.0;
            for (int k = static_cast<int>(std::floor(a)) - 1; k <= static_cast<int>(b) + 1; ++k) {
                const double overlap = std::min(b, k + 0.5) - std::max(a, k - 0.5);
                if (overlap > 0)
                    sum += overlap * pixel(k);
            }
            out[d] = sum / (b - a);
        } else {
            const double u = (a + b) / 2;
            const int i0 = static_cast<int>(std::trunc(u));
            const int i1 = i0 + 1 >= m ? i0 : i0 + 1;
            out[d] = pixel(i0) + (pixel(i1) - pixel(i0)) * (u - i0);
        }
    }
    return out;
}

uint8_t ModelByte(double v) { return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

// Map of a line: the curves' positions at the line give the samples.
std::vector<double> ModelMap(ModelCurve interval, const std::vector<double>& from,
                             const std::vector<double>& to, int m, int n)
{
    std::vector<double> map(m + 1);
    map[0] = -0.5;
    for (int k = 1; k < m; ++k)
        map[k] = interval(from, to, k - 0.5);
    map[m] = n - 0.5;
    return map;
}

Picture ModelWarp(const Picture& src, const TMeshDefsData& sm, const TMeshDefsData& dm,
                  int method, int wd, int hd)
{
    const ModelCurve grid = (method & 2) ? ModelCatmullRom : ModelLinear;
    const ModelCurve interval = (method & 1) ? ModelCatmullRom : ModelLinear;
    const int cols = sm.Cols, rows = sm.Rows, ws = src.W, hs = src.H;
    std::vector<std::vector<double>> mid(3, std::vector<double>(static_cast<size_t>(wd) * hs));
    for (int y = 0; y < hs; ++y) {
        std::vector<double> from(cols), to(cols);
        for (int i = 0; i < cols; ++i) {
            std::vector<double> ny(rows), sx(rows), dx(rows);
            for (int j = 0; j < rows; ++j) {
                ny[j] = sm.GetNode(i, j).Y;
                sx[j] = sm.GetNode(i, j).X;
                dx[j] = dm.GetNode(i, j).X;
            }
            from[i] = grid(ny, sx, y);
            to[i] = grid(ny, dx, y);
        }
        const std::vector<double> map = ModelMap(interval, from, to, ws, wd);
        for (int c = 0; c < 3; ++c) {
            std::vector<double> line(ws);
            for (int x = 0; x < ws; ++x)
                line[x] = src.At(x, y, c);
            // The intermediate picture holds bytes.
            const std::vector<double> out = ModelLine(line, wd, map);
            for (int x = 0; x < wd; ++x)
                mid[c][static_cast<size_t>(y) * wd + x] = ModelByte(out[x]);
        }
    }
    Picture dst(wd, hd);
    for (int x = 0; x < wd; ++x) {
        std::vector<double> from(rows), to(rows);
        for (int j = 0; j < rows; ++j) {
            std::vector<double> nx(cols), sy(cols), dy(cols);
            for (int i = 0; i < cols; ++i) {
                nx[i] = dm.GetNode(i, j).X;
                sy[i] = sm.GetNode(i, j).Y;
                dy[i] = dm.GetNode(i, j).Y;
            }
            from[j] = grid(nx, sy, x);
            to[j] = grid(nx, dy, x);
        }
        const std::vector<double> map = ModelMap(interval, from, to, hs, hd);
        for (int c = 0; c < 3; ++c) {
            std::vector<double> line(hs);
            for (int y = 0; y < hs; ++y)
                line[y] = mid[c][static_cast<size_t>(y) * wd + x];
            const std::vector<double> out = ModelLine(line, hd, map);
            for (int y = 0; y < hd; ++y)
                dst.At(x, y, c) = ModelByte(out[y]);
        }
    }
    return dst;
}

int MaxDifference(const Picture& a, const Picture& b)
{
    int worst = 0;
    for (size_t k = 0; k < a.Bytes.size(); ++k)
        worst = std::max(worst, std::abs(a.Bytes[k] - b.Bytes[k]));
    return worst;
}

// A 4 x 4 mesh over w x h with both interior nodes of each interior line moved.
TMeshDefsData Displaced4x4(int w, int h, double dx, double dy)
{
    TMeshDefsData m = Grid(4, 4, w, h);
    m.SetNode(1, 1, {m.GetNode(1, 1).X + dx, m.GetNode(1, 1).Y - dy}, false);
    m.SetNode(2, 1, {m.GetNode(2, 1).X - dx * 0.5, m.GetNode(2, 1).Y + dy}, false);
    m.SetNode(1, 2, {m.GetNode(1, 2).X + dx * 0.7, m.GetNode(1, 2).Y + dy * 0.4}, false);
    m.SetNode(2, 2, {m.GetNode(2, 2).X - dx, m.GetNode(2, 2).Y - dy * 0.8}, false);
    return m;
}

class Recorder : public ProgressDisplay {
public:
    int Begun = 0, Ended = 0;
    std::vector<int> Values;
    void ProgressBegun() override { ++Begun; }
    void ProgressChanged(int percent) override { Values.push_back(percent); }
    void ProgressEnded() override { ++Ended; }
};
}  // namespace

TEST(TwoPassWarp, IdentityReproducesThePictureBitForBitWithEveryMethod)
{
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {17, 9}, {63, 41}, {100, 7}}) {
        const Picture src = RandomPicture(w, h, w * 100 + h);
        for (int meshSize : {2, 4}) {
            const TMeshDefsData mesh = Grid(meshSize, meshSize, w, h);
            for (int method = 0; method < 4; ++method) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << " mesh " << meshSize
                                                << " method " << method);
                ErrorCapture errors;  // no range message either, even for one-pixel lines
                EXPECT_EQ(Warp(src, mesh, mesh, method, w, h), src);
                EXPECT_EQ(errors.Count(), 0u);
            }
        }
    }
}

TEST(TwoPassWarp, MethodUsesOnlyItsTwoLowBits)
{
    const Picture src = SmoothPicture(30, 20, 5);
    const TMeshDefsData s = Grid(4, 4, 30, 20);
    const TMeshDefsData d = Displaced4x4(30, 20, 3.0, 2.0);
    for (int method = 0; method < 4; ++method) {
        const Picture base = Warp(src, s, d, method, 30, 20);
        EXPECT_EQ(Warp(src, s, d, method + 4, 30, 20), base);
        EXPECT_EQ(Warp(src, s, d, method | 0xF0, 30, 20), base);
    }
    // The bits do matter: lines and splines differ on a displaced mesh.
    EXPECT_NE(Warp(src, s, d, 0, 30, 20), Warp(src, s, d, 3, 30, 20));
}

TEST(TwoPassWarp, DoubleWidthInterpolatesAndExtrapolatesTheFirstPixel)
{
    // A row 10, 110, 210 onto 6 pixels (height 2 kept). The edge map is
    // -0.5, 1.25, 3.75, 5.5, so target d takes the source interval between
    // Inv[d] and Inv[d + 1] = -0.5, 5/14, 6/7, 1.3, 1.7, 2 + 1/7, 2 + 5/7
    // and interpolates at its centre u.
    Picture src(3, 2);
    const int row[3] = {10, 110, 210};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 3; ++c)
                src.At(x, y, c) = static_cast<uint8_t>(row[x] - 5 * c);
    const double inv[7] = {-0.5, 0.5 / 1.75, 1.5 / 1.75, 1.3, 1.7, 2 + 0.25 / 1.75, 2 + 1.25 / 1.75};
    for (int method = 0; method < 4; ++method) {
        const Picture out = Warp(src, Grid(2, 2, 3, 2), Grid(2, 2, 6, 2), method, 6, 2);
        for (int d = 0; d < 6; ++d) {
            const double u = (inv[d] + inv[d + 1]) / 2;
            const int i0 = static_cast<int>(u), i1 = std::min(i0 + 1, 2);
            for (int c = 0; c < 3; ++c) {
                const double v = row[i0] - 5 * c + (row[i1] - row[i0]) * (u - i0);
                const int expected = std::clamp(static_cast<int>(std::nearbyint(v)), 0, 255);
                EXPECT_EQ(out.At(d, 0, c), expected) << "d " << d << " c " << c;
                EXPECT_EQ(out.At(d, 1, c), expected);
            }
        }
        // The first pixel lies slightly left of the first source pixel and
        // extrapolates 10 - 100 * 0.107 below zero: clamped, not wrapped.
        EXPECT_EQ(out.At(0, 0, 0), 0);
        EXPECT_EQ(out.At(1, 0, 0), 67);
        EXPECT_EQ(out.At(3, 0, 0), 160);
        EXPECT_EQ(out.At(5, 0, 0), 210);
    }
}

TEST(TwoPassWarp, ExtrapolationIsClampedAtBothEnds)
{
    // 2x in both directions: the first pixel of each line is extrapolated
    // from the first two. 255 then 0 overshoots above 255, 0 then 255 below 0.
    Picture src(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool bright = (x == 0) != (y == 0);  // only row 0 / column 0 flip
            src.At(x, y, 0) = bright ? 255 : 0;
            src.At(x, y, 1) = bright ? 0 : 255;
            src.At(x, y, 2) = 128;
        }
    for (int method = 0; method < 4; ++method) {
        const Picture out = Warp(src, Grid(2, 2, 4, 4), Grid(2, 2, 8, 8), method, 8, 8);
        EXPECT_EQ(out.At(0, 3, 0), 255);  // 255, 0, 0, ... along the row
        EXPECT_EQ(out.At(0, 3, 1), 0);
        EXPECT_EQ(out.At(3, 0, 0), 255);  // and down the column
        EXPECT_EQ(out.At(3, 0, 1), 0);
        EXPECT_EQ(out.At(5, 5, 2), 128);
    }
}

TEST(TwoPassWarp, HalvingAveragesTheCoveredAreaWorkedByHand)
{
    // Row 10, 110, 210, 60, 0, 250 onto 3 pixels. The edge map is -0.5, 0.2,
    // 0.6, 1.0, 1.4, 1.8, 2.5; target edges fall at source 5/7, 3 and 5 + 2/7.
    //   pixel 0: [-0.5, 5/7]: 10 + (5/7 - 0.5) * 110, over 17/14
    //   pixel 1: [5/7, 3]: (1.5 - 5/7) * 110 + 210 + 0.5 * 60, over 16/7
    //   pixel 2: [3, 5 + 2/7]: 0.5 * 60 + 0 + (5 + 2/7 - 4.5) * 250, over 16/7
    const int row[6] = {10, 110, 210, 60, 0, 250};
    const double expected[3] = {(10 + (5.0 / 7 - 0.5) * 110) / (17.0 / 14),
                                ((1.5 - 5.0 / 7) * 110 + 210 + 0.5 * 60) / (16.0 / 7),
                                (0.5 * 60 + 0 + (5 + 2.0 / 7 - 4.5) * 250) / (16.0 / 7)};
    EXPECT_NEAR(expected[0], 27.647, 1e-3);
    EXPECT_NEAR(expected[1], 142.8125, 1e-9);
    EXPECT_NEAR(expected[2], 99.0625, 1e-9);
    Picture src(6, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            for (int c = 0; c < 3; ++c)
                src.At(x, y, c) = static_cast<uint8_t>(c == 1 ? 255 - row[x] : row[x]);
    const Picture out = Warp(src, Grid(2, 2, 6, 2), Grid(2, 2, 3, 2), 0, 3, 2);
    for (int d = 0; d < 3; ++d)
        for (int y = 0; y < 2; ++y) {
            EXPECT_EQ(out.At(d, y, 0), std::nearbyint(expected[d])) << d;
            EXPECT_EQ(out.At(d, y, 2), std::nearbyint(expected[d])) << d;
            EXPECT_EQ(out.At(d, y, 1), std::nearbyint(255 - expected[d])) << d;
        }
}

TEST(TwoPassWarp, MovingAnInteriorNodeStretchesLeftAndSqueezesRight)
{
    // A ramp of 12 per pixel over 21 pixels; the middle grid column moves
    // from x = 10 to x = 14.
    Picture src(21, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 21; ++x)
            for (int c = 0; c < 3; ++c)
                src.At(x, y, c) = static_cast<uint8_t>(12 * x);
    TMeshDefsData s = Grid(3, 2, 21, 5);
    TMeshDefsData d = Grid(3, 2, 21, 5);
    d.SetNode(1, 0, {14.0, 0.0}, false);
    d.SetNode(1, 1, {14.0, 4.0}, false);
    const Picture out = Warp(src, s, d, 0, 21, 5);
    for (int y = 0; y < 5; ++y) {
        // The edges stay: the last pixel averages the squeezed end of the
        // row, which lies between the last two source pixels.
        EXPECT_EQ(out.At(0, y, 0), 0);
        EXPECT_GE(out.At(20, y, 0), 228);
        EXPECT_LE(out.At(20, y, 0), 240);
        // The content at x = 10 (120) arrives at x = 14, up to the half
        // pixel by which each target pixel's source interval trails.
        EXPECT_NEAR(out.At(14, y, 0), 120, 6);
        EXPECT_GT(out.At(14, y, 0), out.At(13, y, 0));
        for (int x = 1; x < 13; ++x) {  // stretched: 12 * 10 / 14 per pixel
            const int step = out.At(x + 1, y, 0) - out.At(x, y, 0);
            EXPECT_GE(step, 7) << x;
            EXPECT_LE(step, 10) << x;
        }
        for (int x = 15; x < 19; ++x) {  // squeezed: 12 * 10 / 6 per pixel
            const int step = out.At(x + 1, y, 0) - out.At(x, y, 0);
            EXPECT_GE(step, 18) << x;
            EXPECT_LE(step, 22) << x;
        }
    }
    EXPECT_EQ(MaxDifference(out, ModelWarp(src, s, d, 0, 21, 5)), 0);
}

TEST(TwoPassWarp, DisplacedMeshMatchesThePlainModelWithinOneLevel)
{
    const Picture src = SmoothPicture(57, 43, 9);
    const TMeshDefsData s = Grid(4, 4, 57, 43);
    for (auto [wd, hd] : {std::pair{57, 43}, {80, 31}, {40, 60}}) {
        const TMeshDefsData d = Displaced4x4(wd, hd, wd / 12.0, hd / 10.0);
        for (int method = 0; method < 4; ++method) {
            SCOPED_TRACE(testing::Message() << wd << "x" << hd << " method " << method);
            const Picture got = Warp(src, s, d, method, wd, hd);
            const Picture want = ModelWarp(src, s, d, method, wd, hd);
            EXPECT_LE(MaxDifference(got, want), 1);
        }
    }
}

TEST(TwoPassWarp, SqueezedCellsAndOvershootKeepAConstantPictureConstant)
{
    Picture src(40, 30);
    for (size_t k = 0; k < src.Bytes.size(); ++k)
        src.Bytes[k] = static_cast<uint8_t>(k % 3 == 0 ? 77 : (k % 3 == 1 ? 200 : 3));
    const TMeshDefsData regular = Grid(5, 5, 40, 30);
    // Two grid columns and two grid rows squeezed to nothing in the target.
    TMeshDefsData squeezed = regular;
    for (int j = 0; j < 5; ++j)
        squeezed.SetNode(2, j, {squeezed.GetNode(1, j).X, squeezed.GetNode(2, j).Y}, false);
    for (int i = 0; i < 5; ++i)
        squeezed.SetNode(i, 3, {squeezed.GetNode(i, 3).X, squeezed.GetNode(i, 2).Y}, false);
    // A large jump between neighbouring nodes: the splines overshoot.
    TMeshDefsData jump = regular;
    jump.SetNode(1, 2, {1.0, 12.0}, false);
    jump.SetNode(3, 2, {38.0, 16.0}, false);
    for (int method = 0; method < 4; ++method) {
        using MeshPair = std::pair<const TMeshDefsData*, const TMeshDefsData*>;
        for (const MeshPair& p : {MeshPair{&regular, &squeezed}, MeshPair{&squeezed, &regular},
                                  MeshPair{&squeezed, &squeezed}, MeshPair{&regular, &jump},
                                  MeshPair{&jump, &regular}}) {
            const Picture out = Warp(src, *p.first, *p.second, method, 40, 30);
            EXPECT_EQ(out, src) << "method " << method;
        }
    }
}

TEST(TwoPassWarp, ReportsProgressFromZeroToOneHundred)
{
    // 10 source rows and 10 destination columns: every line is worth 5 per
    // cent, so every step passes the 5-percent rule and is shown.
    Recorder recorder;
    ProgressDisplay* previous = SetProgressDisplay(&recorder);
    Warp(SmoothPicture(33, 10, 1), Grid(3, 3, 33, 10), Grid(3, 3, 10, 23), 1, 10, 23);
    SetProgressDisplay(previous);
    EXPECT_EQ(recorder.Begun, 1);
    EXPECT_EQ(recorder.Ended, 1);
    EXPECT_FALSE(ProgressActive());
    std::vector<int> expected;
    for (int p = 5; p <= 100; p += 5)
        expected.push_back(p);
    EXPECT_EQ(recorder.Values, expected);

    // Other sizes: the passes still end on 50 and 100.
    Recorder other;
    SetProgressDisplay(&other);
    Warp(SmoothPicture(31, 7, 1), Grid(3, 3, 31, 7), Grid(3, 3, 13, 29), 3, 13, 29);
    SetProgressDisplay(previous);
    EXPECT_TRUE(std::is_sorted(other.Values.begin(), other.Values.end()));
    EXPECT_NE(std::find(other.Values.begin(), other.Values.end(), 50), other.Values.end());
    ASSERT_FALSE(other.Values.empty());
    EXPECT_EQ(other.Values.back(), 100);
}

TEST(TwoPassWarp, RefusesMismatchedInputAndEndsItsProgress)
{
    const RasterImage src = ToRaster(SmoothPicture(8, 8, 2));
    RasterImage dst;
    dst.Init(8, 8);
    RasterImage none;
    EXPECT_THROW(TwoPassWarp(src, Grid(3, 3, 8, 8), Grid(2, 2, 8, 8), 0, dst), std::invalid_argument);
    EXPECT_THROW(TwoPassWarp(src, Grid(2, 2, 8, 8), Grid(2, 2, 8, 8), 0, none), std::invalid_argument);
    EXPECT_FALSE(ProgressActive());
}

TEST(ResampleScanline, ColumnsWithNegativeStepsMatchRows)
{
    // The same line laid out as a row (step 3) and as a column of a
    // bottom-up picture (step minus the row size), warped by the same map.
    const int m = 9, n = 14, rowBytes = 40;
    std::mt19937 rng(4);
    std::vector<uint8_t> row(3 * m), column(static_cast<size_t>(rowBytes) * m, 0xEE);
    for (int k = 0; k < m; ++k)
        for (int c = 0; c < 3; ++c)
            row[3 * k + c] = column[(m - 1 - k) * rowBytes + 6 + c] = static_cast<uint8_t>(rng());
    std::vector<double> map = {-0.5, 0.3, 1.1, 1.1, 4.0, 6.5, 7.0, 9.25, 12.0, n - 0.5};
    std::vector<uint8_t> rowOut(3 * n), colOut(static_cast<size_t>(rowBytes) * n, 0x55);
    ResampleScanline(row.data(), m, 3, n, 3, map.data(), rowOut.data());
    ResampleScanline(column.data() + (m - 1) * rowBytes + 6, m, -rowBytes, n, -rowBytes,
                     map.data(), colOut.data() + (n - 1) * rowBytes + 6);
    for (int d = 0; d < n; ++d)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(colOut[(n - 1 - d) * rowBytes + 6 + c], rowOut[3 * d + c]);
    // Nothing outside the column was written.
    for (size_t k = 0; k < colOut.size(); ++k) {
        if (k % rowBytes < 6 || k % rowBytes >= 9) {
            ASSERT_EQ(colOut[k], 0x55) << k;
        }
    }
    // The source pixel squeezed to nothing (map 1.1 twice) is skipped, and
    // every target pixel is within the source's range of values.
    const auto [lo, hi] = std::minmax_element(row.begin(), row.end());
    for (uint8_t v : rowOut) {
        EXPECT_GE(v, *lo);
        EXPECT_LE(v, *hi);
    }
}

TEST(AreaAverage, PartialAndWholePixelsWorkedByHand)
{
    // Results are Real48 values: equal to the hand values to 1e-9.
    // Pixels (blue, green, red): (10, 200, 1), (20, 100, 2), (30, 0, 3), (40, 50, 4).
    const uint8_t line[12] = {10, 200, 1, 20, 100, 2, 30, 0, 3, 40, 50, 4};
    // [0.25, 2.75]: a quarter of pixel 0, pixels 1 and 2, a quarter of pixel 3.
    AreaColour c = AreaAverage(line, 4, 3, 0.25, 2.75);
    EXPECT_NEAR(c.Blue, (0.25 * 10 + 20 + 30 + 0.25 * 40) / 2.5, 1e-9);
    EXPECT_NEAR(c.Green, (0.25 * 200 + 100 + 0 + 0.25 * 50) / 2.5, 1e-9);
    EXPECT_NEAR(c.Red, (0.25 * 1 + 2 + 3 + 0.25 * 4) / 2.5, 1e-9);
    // Both ends inside pixel 1: that pixel unchanged.
    c = AreaAverage(line, 4, 3, 1.1, 1.3);
    EXPECT_EQ(c.Blue, 20.0);
    EXPECT_EQ(c.Green, 100.0);
    // Starting exactly on an edge (1.5: pixel 2 onwards) and on a half edge
    // that rounds down (0.5: weight 0 for pixel 0).
    c = AreaAverage(line, 4, 3, 1.5, 3.0);
    EXPECT_NEAR(c.Blue, (30 + 0.5 * 40) / 1.5, 1e-9);
    c = AreaAverage(line, 4, 3, 0.5, 2.0);
    EXPECT_NEAR(c.Blue, (20 + 0.5 * 30) / 1.5, 1e-9);
    // Ending past the last pixel: the last pixel stands in for the rest.
    c = AreaAverage(line, 4, 3, 2.6, 4.0);
    EXPECT_NEAR(c.Blue, (0.9 * 40 + 0.5 * 40) / 1.4, 1e-9);
    // A step of -3 reads the same line backwards.
    c = AreaAverage(line + 9, 4, -3, 0.25, 1.0);
    EXPECT_NEAR(c.Blue, (0.25 * 40 + 0.5 * 30) / 0.75, 1e-9);
}
