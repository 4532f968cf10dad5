// The node warp: basis function, solver, the warp's geometry and its failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <random>

#include "images/cpu_features.h"
#include "images/progress.h"
#include "node/node_basis.h"
#include "node/node_defs.h"
#include "node/node_warp.h"
#include "node/node_warp_fast.h"
#include "node/node_warp_rows.h"
#include "numerics/real48.h"
#include "test_support.h"

namespace {

// Sets the program-wide parameters for one test and puts them back.
struct WarpParams {
    uint8_t Mode = NodeRadiusMode;
    double R = NodeRadius, Mi = NodeMi;
    WarpParams(uint8_t mode, double r, double mi) { NodeRadiusMode = mode; NodeRadius = r; NodeMi = mi; }
    ~WarpParams() { NodeRadiusMode = Mode; NodeRadius = R; NodeMi = Mi; }
};

struct ProgressRecorder : ProgressDisplay {
    int Begun = 0, Ended = 0, Last = -1;
    ProgressDisplay* Previous;
    ProgressRecorder() { Previous = SetProgressDisplay(this); }
    ~ProgressRecorder() override { SetProgressDisplay(Previous); }
    void ProgressBegun() override { ++Begun; }
    void ProgressChanged(int percent) override { Last = percent; }
    void ProgressEnded() override { ++Ended; }
};

uint8_t* Pixel(RasterImage& img, int x, int rowFromTop)
{
    return img.Lock() + (img.Height() - 1 - rowFromTop) * img.RowBytes + 3 * x;
}

// Blue = column, green = row from the top, red = noise: reading an output
// pixel tells where the warp sampled.
RasterImage GradientPicture(int w, int h, unsigned seed = 1)
{
    RasterImage img;
    img.Init(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = Pixel(img, x, y);
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(rng());
        }
    return img;
}

RasterImage NoisePicture(int w, int h, unsigned seed)
{
    RasterImage img;
    img.Init(w, h);
    std::mt19937 rng(seed);
    for (int i = 0; i < img.ImageSize; ++i)
        img.Lock()[i] = static_cast<uint8_t>(rng());
    return img;
}

TNodeDefsData Nodes(std::vector<NodePoint> pts)
{
    TNodeDefsData d(static_cast<int32_t>(pts.size()));
    for (size_t i = 0; i < pts.size(); ++i) {
        d.X[i] = RoundReal48(pts[i].X);
        d.Y[i] = RoundReal48(pts[i].Y);
    }
    return d;
}

// n random nodes on a w x h source and the same nodes moved by up to jitter
// pixels in each direction, kept on the picture.
void RandomNodePairs(int n, int w, int h, double jitter, std::mt19937& rng, TNodeDefsData& S,
                     TNodeDefsData& D)
{
    std::uniform_real_distribution<double> ux(0, w - 1), uy(0, h - 1), jit(-jitter, jitter);
    std::vector<NodePoint> s, d;
    for (int i = 0; i < n; ++i) {
        const double x = ux(rng), y = uy(rng);
        s.push_back({x, y});
        d.push_back({std::clamp(x + jit(rng), 0.0, w - 1.0), std::clamp(y + jit(rng), 0.0, h - 1.0)});
    }
    S = Nodes(s);
    D = Nodes(d);
}

bool AllBlack(RasterImage& img, int fromRowFromTop = 0, int toRowFromTop = -1)
{
    if (toRowFromTop < 0)
        toRowFromTop = img.Height() - 1;
    for (int y = fromRowFromTop; y <= toRowFromTop; ++y)
        for (int x = 0; x < img.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                if (Pixel(img, x, y)[c] != 0)
                    return false;
    return true;
}

// The warp one pixel at a time, written plainly from the definition, with the
// library's basis function and solver. The fast warp must give the same bytes.
NodeWarpStatus PlainWarp(RasterImage& src, const TNodeDefsData& S, const TNodeDefsData& D,
                         RasterImage& out, const NodeRadii& radii)
{
    const int n = S.Count;
    auto radius = [&](int j) { return NodeRadiusMode == 0 ? NodeRadius : radii[j]; };
    NodeMatrix m{};
    NodeVector bx{}, by{};
    for (int i = 0; i < n; ++i) {
        bx[i] = RoundReal48(S.X[i] - D.X[i]);
        by[i] = RoundReal48(S.Y[i] - D.Y[i]);
        for (int j = 0; j < n; ++j) {
            const double dx = D.X[i] - D.X[j], dy = D.Y[i] - D.Y[j];
            const NodeWarpStatus st = TryPhi(std::sqrt(dx * dx + dy * dy), radius(j), NodeMi, m[i][j]);
            if (st != NodeWarpStatus::Ok)
                return st;
        }
    }
    NodePivots piv{};
    double parity;
    NodeWarpStatus st = LUDecompose(m, n, piv, parity);
    if (st == NodeWarpStatus::Ok)
        st = LUBackSubstitute(m, n, piv, bx);
    if (st == NodeWarpStatus::Ok)
        st = LUBackSubstitute(m, n, piv, by);
    if (st != NodeWarpStatus::Ok)
        return st;
    const int sw = src.Width(), sh = src.Height(), ow = out.Width(), oh = out.Height();
    const double kx = double(sw - 1) / (ow - 1), ky = double(sh - 1) / (oh - 1);
    for (int v = oh - 1; v >= 0; --v)
        for (int u = 0; u < ow; ++u) {
            const double px = u * kx, py = v * ky;
            double sx = 0.0, sy = 0.0;
            for (int j = 0; j < n; ++j) {
                const double dx = px - D.X[j], dy = py - D.Y[j];
                double phi;
                st = TryPhi(std::sqrt(dx * dx + dy * dy), radius(j), NodeMi, phi);
                if (st != NodeWarpStatus::Ok)
                    return st;
                sx += bx[j] * phi;
                sy += by[j] * phi;
            }
            const double qx = px + sx, qy = py + sy;
            const double qr = (sh - 1) - qy;
            uint8_t* o = Pixel(out, u, v);
            if (!(qx >= 0 && qx < sw - 1 && qr >= 0 && qr < sh - 1)) {
                o[0] = o[1] = o[2] = 0;
                continue;
            }
            const int x0 = static_cast<int>(std::trunc(qx)), y0 = static_cast<int>(std::trunc(qr));
            const double fx = qx - x0, fy = qr - y0;
            const uint8_t* base = src.Lock();
            auto P = [&](int x, int y, int c) { return double(base[y * src.RowBytes + 3 * x + c]); };
            for (int c = 0; c < 3; ++c) {
                const double a = RoundReal48(P(x0, y0, c) + fx * (P(x0 + 1, y0, c) - P(x0, y0, c)));
                const double b = RoundReal48(P(x0, y0 + 1, c) + fx * (P(x0 + 1, y0 + 1, c) - P(x0, y0 + 1, c)));
                o[c] = static_cast<uint8_t>(std::clamp(std::nearbyint(a + fy * (b - a)), 0.0, 255.0));
            }
        }
    return NodeWarpStatus::Ok;
}

bool SamePixels(RasterImage& a, RasterImage& b)
{
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(Pixel(a, 0, y), Pixel(b, 0, y), 3 * a.Width()) != 0)
            return false;
    return true;
}

// Gaussian elimination with partial pivoting in plain doubles.
std::vector<double> Gauss(std::vector<std::vector<double>> a, std::vector<double> b)
{
    const size_t n = b.size();
    for (size_t c = 0; c < n; ++c) {
        size_t p = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        std::swap(a[p], a[c]);
        std::swap(b[p], b[c]);
        for (size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (size_t k = c; k < n; ++k)
                a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    std::vector<double> x(n);
    for (size_t i = n; i-- > 0;) {
        double s = b[i];
        for (size_t k = i + 1; k < n; ++k)
            s -= a[i][k] * x[k];
        x[i] = s / a[i][i];
    }
    return x;
}

std::vector<double> SolveLU(const std::vector<std::vector<double>>& rows, const std::vector<double>& rhs,
                            NodeWarpStatus* status = nullptr)
{
    const int n = static_cast<int>(rhs.size());
    NodeMatrix m{};
    NodeVector b{};
    for (int i = 0; i < n; ++i) {
        b[i] = RoundReal48(rhs[i]);
        for (int j = 0; j < n; ++j)
            m[i][j] = RoundReal48(rows[i][j]);
    }
    NodePivots piv{};
    double parity = 0;
    NodeWarpStatus st = LUDecompose(m, n, piv, parity);
    if (st == NodeWarpStatus::Ok)
        st = LUBackSubstitute(m, n, piv, b);
    if (status)
        *status = st;
    return std::vector<double>(b.begin(), b.begin() + n);
}

}  // namespace

TEST(NodeBasis, FastReal48RoundingMatchesTheLibrary)
{
    std::mt19937_64 rng(3);
    std::vector<double> values = {0.0, 1.0, 255.0, 0x1p-128, 0x1.fffffffffffffp-129, 0x1p127,
                                  0x1.fffffffffp126, 0x1.fffffffffffffp126, 1e38, 1.7e38, 1e-40};
    // Exact ties between two 40-bit values, both parities.
    values.push_back(1.0 + 0x1p-40);
    values.push_back(1.0 + 3 * 0x1p-40);
    for (int i = 0; i < 200000; ++i) {
        const double mant = std::ldexp(static_cast<double>(rng() >> 11), -53);
        values.push_back(std::ldexp(0.5 + mant / 2, static_cast<int>(rng() % 300) - 150));
    }
    for (double v : values) {
        double lib = 0;
        const bool ok = TryRoundReal48(v, lib);
        uint64_t overflow = 0;
        const double fast = nodebasis::StoreReal48(v, overflow);
        ASSERT_EQ(ok, overflow == 0) << v;
        if (ok) {
            ASSERT_EQ(std::bit_cast<uint64_t>(lib), std::bit_cast<uint64_t>(fast)) << v;
        }
    }
    uint64_t overflow = 0;
    nodebasis::StoreReal48(NAN, overflow);
    EXPECT_NE(overflow, 0u);
}

TEST(NodeBasis, LogAndExpAreAccurateToTheLastBits)
{
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> e(-170.0, 170.0), x(-88.0, 88.0);
    double worstLog = 0, worstExp = 0;
    for (int i = 0; i < 100000; ++i) {
        const double s = std::exp(e(rng));
        worstLog = std::max(worstLog, std::fabs(nodebasis::Log(s) - std::log(s)) /
                                          std::max(1.0, std::fabs(std::log(s))));
        const double t = x(rng);
        worstExp = std::max(worstExp, std::fabs(nodebasis::Exp(t) / std::exp(t) - 1.0));
    }
    EXPECT_LT(worstLog, 4e-16);
    EXPECT_LT(worstExp, 4e-16);
    EXPECT_EQ(nodebasis::Exp(0.0), 1.0);
    EXPECT_EQ(nodebasis::Log(1.0), 0.0);
    EXPECT_GT(nodebasis::Exp(1000.0), 1e300);
    EXPECT_LT(nodebasis::Exp(-1000.0), 1e-300);
}

TEST(NodeBasis, SpecialExponentsEqualTheGeneralPower)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> dist(0.0, 1500.0), rad(0.0, 400.0);
    for (double mi : {-1.0, 1.0, -0.5, 0.5, 2.0, 3.0, -2.0, 1.7, -1.5, 0.3}) {
        for (int i = 0; i < 2000; ++i) {
            const double d = dist(rng), r = RoundReal48(rad(rng));
            double phi;
            ASSERT_EQ(TryPhi(d, r, mi, phi), NodeWarpStatus::Ok);
            const double dr = RoundReal48(d);
            const double expected = std::pow(dr * dr + r * r, mi);
            // One unit in the last place of a Real48 at most.
            ASSERT_LE(std::fabs(phi - expected), expected * 0x1p-39) << mi << " " << d << " " << r;
            ASSERT_EQ(phi, RoundReal48(phi));
        }
    }
    double phi;
    ASSERT_EQ(TryPhi(0.0, 0.0, 0.0, phi), NodeWarpStatus::Ok);
    EXPECT_EQ(phi, 1.0);
    ASSERT_EQ(TryPhi(3.0, 4.0, 1.0, phi), NodeWarpStatus::Ok);
    EXPECT_EQ(phi, 25.0);
    ASSERT_EQ(TryPhi(3.0, 4.0, -0.5, phi), NodeWarpStatus::Ok);
    EXPECT_EQ(phi, RoundReal48(0.2));
}

TEST(NodeBasis, ZeroDistanceAndRadiusAndOverflowAreReported)
{
    double phi = -1;
    for (double mi : {-1.0, -0.5, -2.0, -1.3, 1.7, 0.3})
        EXPECT_EQ(TryPhi(0.0, 0.0, mi, phi), NodeWarpStatus::ZeroBasis) << mi;
    for (double mi : {1.0, 0.5, 2.0, 3.0}) {
        ASSERT_EQ(TryPhi(0.0, 0.0, mi, phi), NodeWarpStatus::Ok) << mi;
        EXPECT_EQ(phi, 0.0);
    }
    EXPECT_EQ(TryPhi(1000.0, 0.0, 10.0, phi), NodeWarpStatus::Overflow);
    EXPECT_EQ(TryPhi(1000.0, 0.0, 6.5, phi), NodeWarpStatus::Overflow);
    EXPECT_EQ(TryPhi(NAN, 1.0, -1.0, phi), NodeWarpStatus::Overflow);
    WarpParams params(0, 0.0, -1.0);
    EXPECT_THROW(Phi(0.0, 0.0), NodeArithmeticError);
    EXPECT_EQ(Phi(2.0, 0.0), 0.25);
}

TEST(NodeSolver, KnownSystemsPivotingAndGaussianElimination)
{
    // 2x + y = 5, x + 3y = 10 -> (1, 3).
    auto x = SolveLU({{2, 1}, {1, 3}}, {5, 10});
    EXPECT_NEAR(x[0], 1.0, 1e-11);
    EXPECT_NEAR(x[1], 3.0, 1e-11);

    // A zero in the corner needs a row swap.
    NodeMatrix m{};
    m[0] = {};
    m[0][0] = 0; m[0][1] = 1; m[0][2] = 2;
    m[1][0] = 1; m[1][1] = 1; m[1][2] = 1;
    m[2][0] = 2; m[2][1] = 0; m[2][2] = 1;
    NodePivots piv{};
    double parity = 0;
    ASSERT_EQ(LUDecompose(m, 3, piv, parity), NodeWarpStatus::Ok);
    EXPECT_NE(piv[0], 0);
    // det = parity * product of the diagonal = 0*(1-0) - 1*(1-2) + 2*(0-2) = -3
    EXPECT_NEAR(parity * m[0][0] * m[1][1] * m[2][2], -3.0, 1e-10);
    NodeVector b{};
    b[0] = 8; b[1] = 6; b[2] = 5;  // solution (1, 2, 3)
    ASSERT_EQ(LUBackSubstitute(m, 3, piv, b), NodeWarpStatus::Ok);
    EXPECT_NEAR(b[0], 1.0, 1e-11);
    EXPECT_NEAR(b[1], 2.0, 1e-11);
    EXPECT_NEAR(b[2], 3.0, 1e-11);

    // Random systems, some with leading zeros on the right-hand side.
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(-10.0, 10.0);
    for (int n : {1, 4, 17, 60, 100}) {
        std::vector<std::vector<double>> a(n, std::vector<double>(n));
        std::vector<double> rhs(n);
        for (int i = 0; i < n; ++i) {
            rhs[i] = i < n / 3 ? 0.0 : RoundReal48(u(rng));
            for (int j = 0; j < n; ++j)
                a[i][j] = RoundReal48(u(rng));
        }
        const auto lu = SolveLU(a, rhs);
        const auto ge = Gauss(a, rhs);
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(lu[i], ge[i], 1e-7 * (1 + std::fabs(ge[i]))) << n << " " << i;
    }
}

TEST(NodeSolver, ZeroRowIsSingularAndZeroPivotIsReplaced)
{
    NodeWarpStatus st;
    SolveLU({{1, 2}, {0, 0}}, {1, 1}, &st);
    EXPECT_EQ(st, NodeWarpStatus::SingularMatrix);
    // All ones (mi = 0): the second pivot is 0 and becomes 1.0e-20, no error.
    NodeMatrix m{};
    m[0][0] = m[0][1] = m[1][0] = m[1][1] = 1.0;
    NodePivots piv{};
    double parity;
    ASSERT_EQ(LUDecompose(m, 2, piv, parity), NodeWarpStatus::Ok);
    EXPECT_EQ(m[1][1], RoundReal48(1.0e-20));
    EXPECT_EQ(LUDecompose(m, 101, piv, parity), NodeWarpStatus::BadInput);
}

TEST(NodeWarp, FastWarpGivesThePlainWarpsPixels)
{
    RasterImage src = NoisePicture(97, 61, 9);
    std::mt19937 rng(4);
    TNodeDefsData S, D;
    RandomNodePairs(12, 97, 61, 6.0, rng, S, D);
    for (double mi : {-1.0, -0.5, 0.5, 1.0, 1.7, 2.0, -1.5, 0.0}) {
        for (uint8_t mode : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << "mi " << mi << " mode " << int(mode));
            WarpParams params(mode, 15.0, mi);
            TNodeDefsData& radiiFrom = mode == 2 ? D : S;
            radiiFrom.ComputeRadii(mode);
            RasterImage fast, plain;
            fast.Init(130, 45);  // another size, and more than one run of pixels per row
            plain.Init(130, 45);
            ErrorCapture errors;
            ASSERT_EQ(NodeWarp(src, S, D, fast, radiiFrom.Radii), NodeWarpStatus::Ok);
            ASSERT_EQ(PlainWarp(src, S, D, plain, radiiFrom.Radii), NodeWarpStatus::Ok);
            EXPECT_TRUE(SamePixels(fast, plain));
            if (mi != 0.0) {  // mi = 0 makes the weights meaningless
                EXPECT_FALSE(AllBlack(fast));
            }
            EXPECT_EQ(errors.Count(), 0u);
        }
    }
    // A fixed radius of 0 takes the loop with every range check in it.
    for (double mi : {1.0, 0.5, 3.0}) {
        SCOPED_TRACE(testing::Message() << "radius 0, mi " << mi);
        WarpParams params(0, 0.0, mi);
        RasterImage fast, plain;
        fast.Init(97, 61);
        plain.Init(97, 61);
        ASSERT_EQ(NodeWarp(src, S, D, fast, S.Radii), NodeWarpStatus::Ok);
        ASSERT_EQ(PlainWarp(src, S, D, plain, S.Radii), NodeWarpStatus::Ok);
        EXPECT_TRUE(SamePixels(fast, plain));
        EXPECT_FALSE(AllBlack(fast));
    }
}

TEST(NodeWarp, ExactAtTheNodesAndIdentityGivesTheSourceBack)
{
    RasterImage src = NoisePicture(80, 50, 21);
    TNodeDefsData S = Nodes({{10, 12}, {40, 30}, {65, 8}, {22, 41}});
    TNodeDefsData D = Nodes({{14, 10}, {37, 33}, {60, 12}, {25, 38}});
    for (double mi : {-1.0, 0.5, 1.7}) {
        WarpParams params(1, 10.0, mi);
        S.ComputeRadii(1);
        RasterImage out;
        out.Init(80, 50);
        ASSERT_EQ(NodeWarp(src, S, D, out, S.Radii), NodeWarpStatus::Ok);
        for (int i = 0; i < 4; ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(Pixel(out, int(D.X[i]), int(D.Y[i]))[c], Pixel(src, int(S.X[i]), int(S.Y[i]))[c])
                    << "mi " << mi << " node " << i;
    }
    // Identical sets: zero weights, so every pixel but the right column and
    // the top row is the source pixel.
    WarpParams params(0, 20.0, -1.0);
    RasterImage out;
    out.Init(80, 50);
    ASSERT_EQ(NodeWarp(src, S, S, out, S.Radii), NodeWarpStatus::Ok);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x)
            for (int c = 0; c < 3; ++c) {
                const uint8_t expected = (x == 79 || y == 0) ? 0 : Pixel(src, x, y)[c];
                ASSERT_EQ(Pixel(out, x, y)[c], expected) << x << "," << y;
            }
}

TEST(NodeWarp, OneNodeMovesAPointAtDistanceRByHalf)
{
    RasterImage src = GradientPicture(200, 120);
    TNodeDefsData S = Nodes({{50, 40}}), D = Nodes({{60, 40}});
    for (uint8_t mode : {0, 1, 2}) {  // one node: every mode uses R
        WarpParams params(mode, 20.0, -1.0);
        S.Radii.fill(-5.0);
        S.ComputeRadii(mode);
        RasterImage out;
        out.Init(200, 120);
        ASSERT_EQ(NodeWarp(src, S, D, out, S.Radii), NodeWarpStatus::Ok);
        // At the node the whole displacement (-10, 0), at distance R half of it.
        EXPECT_EQ(Pixel(out, 60, 40)[0], 50);
        EXPECT_EQ(Pixel(out, 80, 40)[0], 75);
        EXPECT_EQ(Pixel(out, 80, 40)[1], 40);
        EXPECT_EQ(Pixel(out, 60, 60)[0], 55);
        EXPECT_EQ(Pixel(out, 60, 60)[1], 60);
        // Farther away, (S - D) * R^2 / (d^2 + R^2): d = 40 -> -2.
        EXPECT_EQ(Pixel(out, 100, 40)[0], 98);
    }
}

TEST(NodeWarp, SmallerOutputSamplesAtTheScaledSteps)
{
    RasterImage src = NoisePicture(320, 200, 33);
    TNodeDefsData none;
    WarpParams params(0, 50.0, -1.0);
    RasterImage out;
    out.Init(160, 100);
    ASSERT_EQ(NodeWarp(src, none, none, out, none.Radii), NodeWarpStatus::Ok);
    const double kx = 319.0 / 159.0, ky = 199.0 / 99.0;
    int checked = 0;
    for (int v = 0; v < 100; ++v)
        for (int u = 0; u < 160; ++u) {
            const double qx = u * kx, qr = 199 - v * ky;
            uint8_t* o = Pixel(out, u, v);
            if (u == 159 || v == 0) {  // lands on the last column or the top row
                EXPECT_EQ(o[0] | o[1] | o[2], 0) << u << "," << v;
                continue;
            }
            const int x0 = int(qx), y0 = int(qr);
            const double fx = qx - x0, fy = qr - y0;
            const uint8_t* b = src.Lock();
            for (int c = 0; c < 3; ++c) {
                auto P = [&](int x, int y) { return double(b[y * src.RowBytes + 3 * x + c]); };
                const double a = P(x0, y0) + fx * (P(x0 + 1, y0) - P(x0, y0));
                const double bb = P(x0, y0 + 1) + fx * (P(x0 + 1, y0 + 1) - P(x0, y0 + 1));
                const double expected = a + fy * (bb - a);
                ASSERT_NEAR(o[c], expected, 0.5 + 1e-6) << u << "," << v << " c" << c;
                ++checked;
            }
        }
    EXPECT_EQ(checked, 159 * 99 * 3);
}

TEST(NodeWarp, FailuresEndCleanlyWithOneMessageAndBlackOutput)
{
    RasterImage src = GradientPicture(60, 40);
    struct Case {
        const char* Name;
        uint8_t Mode;
        double R, Mi;
        std::vector<NodePoint> S, D;
        NodeWarpStatus Status;
        std::string Text;
    };
    const std::vector<Case> cases = {
        // Coincident targets, radius 0, positive mi: a row of zeros.
        {"singular", 0, 0.0, 1.0, {{10, 10}, {30, 20}}, {{20, 15}, {20, 15}}, NodeWarpStatus::SingularMatrix,
         "Error: pause in LUDCMP - singular matrix"},
        // mi = -1 with a fixed radius of 0: the diagonal is 1/0.
        {"inverse", 0, 0.0, -1.0, {{10, 10}}, {{12, 11}}, NodeWarpStatus::ZeroBasis, ""},
        // Coincident nodes in an adaptive mode give radius 0.
        {"adaptive", 1, 30.0, -0.5, {{10, 10}, {10, 10}, {40, 30}}, {{11, 10}, {11, 10}, {40, 31}},
         NodeWarpStatus::ZeroBasis, ""},
        {"general", 0, 0.0, 1.5, {{10, 10}}, {{12, 11}}, NodeWarpStatus::ZeroBasis, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WarpParams params(c.Mode, c.R, c.Mi);
        TNodeDefsData S = Nodes(c.S), D = Nodes(c.D);
        S.ComputeRadii(c.Mode);
        RasterImage out;
        out.Init(50, 30);
        std::memset(out.Lock(), 0x77, out.ImageSize);
        ErrorCapture errors;
        ProgressRecorder progress;
        EXPECT_EQ(NodeWarp(src, S, D, out, S.Radii), c.Status);
        EXPECT_TRUE(AllBlack(out));
        EXPECT_FALSE(ProgressActive());
        EXPECT_EQ(progress.Begun, 1);
        EXPECT_EQ(progress.Ended, 1);
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.LastCode(), kNodeWarpErrorCode);
        if (!c.Text.empty())
            EXPECT_EQ(errors.LastText(), c.Text);
        else
            EXPECT_EQ(errors.LastText(), "Error: " + NodeWarpMessage(c.Status, c.Mi));
        EXPECT_NE(errors.LastText().find(c.Status == NodeWarpStatus::SingularMatrix ? "singular" : "radius 0"),
                  std::string::npos);
    }
    // Mismatched sets are refused the same way.
    WarpParams params(0, 10.0, -1.0);
    TNodeDefsData two = Nodes({{1, 1}, {2, 2}}), one = Nodes({{1, 1}});
    RasterImage out;
    out.Init(20, 20);
    ErrorCapture errors;
    EXPECT_EQ(NodeWarp(src, two, one, out, two.Radii), NodeWarpStatus::BadInput);
    EXPECT_TRUE(AllBlack(out));
    EXPECT_EQ(errors.Count(), 1u);
}

TEST(NodeWarp, OverflowPartWayKeepsTheRowsDoneAndBlacksTheRest)
{
    // Identity nodes near the bottom-left corner: zero weights, so the rows
    // computed are the source, but mi = 10 overflows once a pixel is about
    // 79 pixels away from a node.
    RasterImage src = GradientPicture(60, 200);
    TNodeDefsData S = Nodes({{2, 197}, {4, 198}});
    WarpParams params(0, 1.0, 10.0);
    RasterImage out;
    out.Init(60, 200);
    ErrorCapture errors;
    ProgressRecorder progress;
    EXPECT_EQ(NodeWarp(src, S, S, out, S.Radii), NodeWarpStatus::Overflow);
    EXPECT_EQ(progress.Ended, 1);
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_NE(errors.LastText().find("overflow"), std::string::npos);
    // Bottom rows (from the top: 199 .. ) were computed: equal to the source.
    for (int y = 150; y < 200; ++y)
        for (int x = 0; x < 59; ++x)
            ASSERT_EQ(Pixel(out, x, y)[1], Pixel(src, x, y)[1]) << x << "," << y;
    EXPECT_TRUE(AllBlack(out, 0, 110));
    EXPECT_GT(progress.Last, 0);
    EXPECT_LT(progress.Last, 100);
}

TEST(NodeWarp, SameBytesProgressAndMessagesOnOneTwoAndEightThreads)
{
    RasterImage src = NoisePicture(211, 157, 3);
    std::mt19937 rng(11);
    TNodeDefsData S, D;
    RandomNodePairs(20, 211, 157, 9.0, rng, S, D);
    const struct {
        double Mi;
        uint8_t Mode;
    } cases[] = {{-1.0, 1}, {-0.5, 2}, {0.5, 0}, {1.0, 1}, {1.7, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mi " << c.Mi);
        WarpParams params(c.Mode, 25.0, c.Mi);
        TNodeDefsData& radiiFrom = c.Mode == 2 ? D : S;
        radiiFrom.ComputeRadii(c.Mode);
        RasterImage first;
        first.Init(263, 190);
        std::vector<int> firstProgress;
        for (int threads : {1, 2, 8})
            WithThreads(threads, [&] {
                RasterImage out;
                out.Init(263, 190);
                ErrorCapture errors;
                ProgressLog progress;
                ASSERT_EQ(NodeWarp(src, S, D, out, radiiFrom.Radii), NodeWarpStatus::Ok);
                EXPECT_EQ(errors.Count(), 0u);
                EXPECT_EQ(progress.OffThread, 0);
                if (threads == 1) {
                    std::memcpy(first.Lock(), out.Lock(), static_cast<size_t>(out.ImageSize));
                    firstProgress = progress.Values;
                    EXPECT_EQ(progress.Values.back(), 100);
                } else {
                    EXPECT_TRUE(SamePixels(out, first)) << threads;
                    EXPECT_EQ(progress.Values, firstProgress);
                }
            });
        EXPECT_FALSE(AllBlack(first));
    }

    // A warp that overflows part way keeps the same rows on any number of
    // threads, and its one message and beep come from the calling thread.
    RasterImage gradient = GradientPicture(60, 200);
    TNodeDefsData corner = Nodes({{2, 197}, {4, 198}});
    WarpParams params(0, 1.0, 10.0);
    RasterImage first;
    first.Init(60, 200);
    for (int threads : {1, 2, 8})
        WithThreads(threads, [&] {
            RasterImage out;
            out.Init(60, 200);
            ErrorCapture errors;
            ProgressLog progress;
            ASSERT_EQ(NodeWarp(gradient, corner, corner, out, corner.Radii), NodeWarpStatus::Overflow);
            EXPECT_EQ(errors.Count(), 1u);
            EXPECT_EQ(errors.Beeps, 1);
            EXPECT_EQ(errors.OffThread, 0);
            EXPECT_EQ(progress.OffThread, 0);
            EXPECT_EQ(progress.Ended, 1);
            if (threads == 1)
                std::memcpy(first.Lock(), out.Lock(), static_cast<size_t>(out.ImageSize));
            else
                EXPECT_TRUE(SamePixels(out, first)) << threads;
        });
    EXPECT_FALSE(AllBlack(first, 150, 199));
    EXPECT_TRUE(AllBlack(first, 0, 110));
}

namespace {

// Warps once the fast way (where it applies) and once the plain way; true
// when the bytes agree. fastPixels: pixels the fast way took from its own
// positions.
bool FastEqualsPlain(RasterImage& src, const TNodeDefsData& S, const TNodeDefsData& D,
                     int ow, int oh, const NodeRadii& radii, int64_t& fastPixels)
{
    RasterImage fast, plain;
    fast.Init(ow, oh);
    plain.Init(ow, oh);
    SetFastNodeWarp(true);
    const NodeWarpStatus a = NodeWarp(src, S, D, fast, radii);
    fastPixels = LastNodeWarpFastPixels();
    SetFastNodeWarp(false);
    const NodeWarpStatus b = NodeWarp(src, S, D, plain, radii);
    EXPECT_EQ(LastNodeWarpFastPixels(), 0);
    SetFastNodeWarp(true);
    EXPECT_EQ(a, NodeWarpStatus::Ok);
    EXPECT_EQ(b, NodeWarpStatus::Ok);
    return SamePixels(fast, plain);
}

// A smooth picture (small differences between neighbours, the case where the
// fast positions decide most pixels) with a little noise.
RasterImage SmoothPicture(int w, int h, unsigned seed)
{
    RasterImage img;
    img.Init(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = Pixel(img, x, y);
            p[0] = static_cast<uint8_t>(128 + 100 * std::sin(0.05 * x + 0.02 * y));
            p[1] = static_cast<uint8_t>((x + 2 * y) / 3 + rng() % 3);
            p[2] = static_cast<uint8_t>(255 - (x * y) % 256);
        }
    return img;
}

}  // namespace

TEST(NodeWarpFast, SameBytesAsThePlainEvaluationOverRandomNodeSetsExponentsAndRadiusModes)
{
    const double exponents[] = {-1.0, -0.5, 0.5, 1.0, 1.7, -1.3};
    int64_t fastPixels[6] = {};
    std::mt19937 rng(2024);
    for (int set = 0; set < 6; ++set) {
        const int sw = 120 + static_cast<int>(rng() % 140), sh = 80 + static_cast<int>(rng() % 100);
        RasterImage src = set % 2 ? NoisePicture(sw, sh, set) : SmoothPicture(sw, sh, set);
        const int ow = 100 + static_cast<int>(rng() % 160), oh = 60 + static_cast<int>(rng() % 120);
        const int counts[] = {1, 3, 9, 25, 40, 100};
        const int n = counts[set];
        TNodeDefsData S, D;
        RandomNodePairs(n, sw, sh, 12.0, rng, S, D);
        for (int e = 0; e < 6; ++e)
            for (uint8_t mode : {0, 1, 2}) {
                SCOPED_TRACE(testing::Message() << "set " << set << " nodes " << n << " mi "
                                                << exponents[e] << " mode " << int(mode));
                WarpParams params(mode, 4.0 + rng() % 60, exponents[e]);
                TNodeDefsData& radiiFrom = mode == 2 ? D : S;
                radiiFrom.ComputeRadii(mode);
                int64_t taken = 0;
                EXPECT_TRUE(FastEqualsPlain(src, S, D, ow, oh, radiiFrom.Radii, taken));
                fastPixels[e] += taken;
            }
    }
    // The four special exponents went the fast way for most pixels, where the
    // processor has the fast evaluation's instructions; elsewhere none did.
    for (int e = 0; e < 6; ++e) {
        if (!CpuHasAvx512())
            EXPECT_EQ(fastPixels[e], 0) << exponents[e];
        else if (e < 4)
            EXPECT_GT(fastPixels[e], 100000) << exponents[e];
    }
}

TEST(NodeWarpFast, PixelsOnAndNearRoundingTiesComeOutAsThePlainOnes)
{
    // Output columns at half the source step: every other sample lies halfway
    // between two source pixels whose values differ by an odd number, so its
    // value is a tie (x.5) that rounds to even.
    const int sw = 90, sh = 40;
    RasterImage src;
    src.Init(sw, sh);
    std::mt19937 rng(5);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
            for (int c = 0; c < 3; ++c)
                Pixel(src, x, y)[c] = static_cast<uint8_t>(2 * (rng() % 128) + (x + c) % 2);
    const int ow = 2 * sw - 1, oh = sh;
    TNodeDefsData S = Nodes({{10.25, 7.5}, {50.5, 20}, {80, 33.75}});
    S.ComputeRadii(1);
    for (double mi : {-1.0, -0.5, 0.5, 1.0}) {
        SCOPED_TRACE(testing::Message() << "mi " << mi);
        WarpParams params(1, 20.0, mi);
        // Nodes that stay: zero weights, the samples exactly on the ties (and
        // on the cell edges), the positions the pixels' own.
        RasterImage out;
        out.Init(ow, oh);
        ASSERT_EQ(NodeWarp(src, S, S, out, S.Radii), NodeWarpStatus::Ok);
        EXPECT_EQ(LastNodeWarpFastPixels(), CpuHasAvx512() ? static_cast<int64_t>(ow) * oh : 0);
        for (int y = 1; y < oh; ++y)
            for (int u = 0; u + 1 < ow; ++u)
                for (int c = 0; c < 3; ++c) {
                    const int a = Pixel(src, u / 2, y)[c];
                    const int b = Pixel(src, (u + 1) / 2, y)[c];
                    const int want = static_cast<int>(std::nearbyint((a + b) / 2.0));
                    ASSERT_EQ(Pixel(out, u, y)[c], want) << u << "," << y << "," << c;
                }
        // Nodes moved by tiny amounts of every size: samples near the ties, some
        // within the bound of the fast positions and some beyond it.
        int64_t near = 0;
        for (int k = 3; k <= 15; ++k) {
            const double step = std::pow(10.0, -k);
            TNodeDefsData D = Nodes({{10.25 + step, 7.5 - step}, {50.5 - 3 * step, 20 + step},
                                     {80 + 2 * step, 33.75}});
            int64_t fast = 0;
            EXPECT_TRUE(FastEqualsPlain(src, S, D, ow, oh, S.Radii, fast)) << k;
            // Below about 1e-12 the moves vanish in the last bits of the
            // positions, which then sit on the cell edges: plain pixels.
            if (k <= 9 && CpuHasAvx512()) {
                EXPECT_GT(fast, 0) << k;
            }
            near += static_cast<int64_t>(ow) * oh - fast;
        }
        EXPECT_GT(near, 0);
    }
}

TEST(NodeWarp, ProgressRunsOncePerWarpToOneHundred)
{
    RasterImage src = NoisePicture(30, 30, 1);
    TNodeDefsData S = Nodes({{5, 5}}), D = Nodes({{6, 7}});
    WarpParams params(0, 10.0, -1.0);
    RasterImage out;
    out.Init(25, 37);
    ProgressRecorder progress;
    ASSERT_EQ(NodeWarp(src, S, D, out, S.Radii), NodeWarpStatus::Ok);
    EXPECT_EQ(progress.Begun, 1);
    EXPECT_EQ(progress.Ended, 1);
    EXPECT_EQ(progress.Last, 100);
    EXPECT_FALSE(ProgressActive());
}

namespace {

// The sample positions of one run, summed one pixel and one node at a time
// from the scalar basis function.
void PlainPositions(const NodeWarpNodes& nodes, const double* dy2, double py, int u0, int n,
                    std::vector<double>& qx, std::vector<double>& qy)
{
    qx.assign(n, 0.0);
    qy.assign(n, 0.0);
    for (int k = 0; k < n; ++k) {
        const double px = static_cast<double>(u0 + k) * nodes.Kx;
        double sx = 0.0, sy = 0.0;
        for (int j = 0; j < nodes.N; ++j) {
            const double dx = px - nodes.Dx[j];
            const double d = nodebasis::Round40(std::sqrt(dx * dx + dy2[j]));
            uint64_t undefined = 0;
            const double phi =
                nodebasis::Round40(nodebasis::RaiseToAny(nodes.Power, d * d + nodes.R2[j], undefined));
            sx += nodes.Wx[j] * phi;
            sy += nodes.Wy[j] * phi;
        }
        qx[k] = px + sx;
        qy[k] = py + sy;
    }
}

// n nodes for the row routine, claimed in range; the arrays stay the caller's.
NodeWarpNodes NodesOf(int n, const double* dx, const double* dy, const double* r2,
                      const double* wx, const double* wy, const nodebasis::Power& power, double kx)
{
    NodeWarpNodes nodes;
    nodes.N = n;
    nodes.Dx = dx;
    nodes.Dy = dy;
    nodes.R2 = r2;
    nodes.Wx = wx;
    nodes.Wy = wy;
    nodes.Power = power;
    nodes.Kx = kx;
    nodes.InRange = true;
    return nodes;
}

// Distance of the 13 bits Round40 drops from the half-way pattern.
int FromTie(double v)
{
    return std::abs(static_cast<int>(std::bit_cast<uint64_t>(v) & 0x1FFF) - 0x1000);
}

}  // namespace

TEST(NodeWarpRows, RunsGiveThePlainSumsBitForBit)
{
    std::mt19937_64 rng(21);
    std::uniform_real_distribution<double> pos(0.0, 1919.0), w(-30.0, 30.0), rad(1.0, 300.0);
    constexpr int kN = 100;
    std::vector<double> dx(kN), dy(kN), r2(kN), wx(kN), wy(kN), dy2(kN);
    for (double mi : {1.7, -1.3, 0.3, 2.5, -0.7, -1.0, 1.0, -0.5, 0.5}) {
        for (int j = 0; j < kN; ++j) {
            dx[j] = nodebasis::Round40(pos(rng));
            dy[j] = nodebasis::Round40(pos(rng) * 0.5);
            r2[j] = std::pow(nodebasis::Round40(rad(rng)), 2);
            wx[j] = nodebasis::Round40(w(rng));
            wy[j] = nodebasis::Round40(w(rng));
        }
        // In range: s lies in [1, 2^23] and |mi ln s| < 40.
        const NodeWarpNodes nodes = NodesOf(kN, dx.data(), dy.data(), r2.data(), wx.data(),
                                            wy.data(), nodebasis::ClassifyPower(mi), 1919.0 / 1300.0);
        // Full runs, a short one and one that ends inside a vector.
        for (int n : {kNodeWarpRun, 37, 5, 1}) {
            for (int u0 : {0, 613, 1297}) {
                SCOPED_TRACE(testing::Message() << "mi " << mi << " n " << n << " u0 " << u0);
                const double py = nodebasis::Round40(pos(rng) * 0.5);
                for (int j = 0; j < kN; ++j)
                    dy2[j] = (py - dy[j]) * (py - dy[j]);
                double qx[kNodeWarpRun], qy[kNodeWarpRun];
                NodeWarpFlags flags;
                NodeWarpSamplePositions(nodes, dy2.data(), py, u0, n, qx, qy, flags);
                std::vector<double> px, pyv;
                PlainPositions(nodes, dy2.data(), py, u0, n, px, pyv);
                EXPECT_EQ(flags.Undefined | flags.Overflow, 0u);
                for (int k = 0; k < n; ++k) {
                    ASSERT_EQ(std::bit_cast<uint64_t>(qx[k]), std::bit_cast<uint64_t>(px[k])) << k;
                    ASSERT_EQ(std::bit_cast<uint64_t>(qy[k]), std::bit_cast<uint64_t>(pyv[k])) << k;
                }
            }
        }
    }
}

// Basis values that lie next to the half-way point between two 40-bit values
// are where a different evaluation would round the other way. With one node,
// weight 1 and py = 0, each qy is the stored basis value itself.
TEST(NodeWarpRows, ValuesNextToRoundingTiesComeOutBitForBit)
{
    std::mt19937_64 rng(33);
    std::uniform_real_distribution<double> rad(1.0, 5000.0);
    for (double mi : {1.7, -1.3, 0.3, -0.5, -1.0}) {
        SCOPED_TRACE(testing::Message() << "mi " << mi);
        const nodebasis::Power power = nodebasis::ClassifyPower(mi);
        int nearTies = 0;
        for (int found = 0, tries = 0; found < 300 && tries < 4000000; ++tries) {
            // Lane 0 sits on the node, so its s is r2 itself: look for an r2
            // whose basis value before rounding is within one unit of a tie.
            const double r2 = nodebasis::Round40(rad(rng));
            uint64_t undefined = 0;
            if (FromTie(nodebasis::RaiseToAny(power, r2, undefined)) > 1)
                continue;
            ++found;
            const double zero = 0.0, one = 1.0, dxNode = 0.0;
            const NodeWarpNodes nodes = NodesOf(1, &dxNode, &zero, &r2, &one, &one, power, 0.75);
            double qx[kNodeWarpRun], qy[kNodeWarpRun];
            NodeWarpFlags flags;
            NodeWarpSamplePositions(nodes, &zero, 0.0, 0, kNodeWarpRun, qx, qy, flags);
            std::vector<double> px, pyv;
            PlainPositions(nodes, &zero, 0.0, 0, kNodeWarpRun, px, pyv);
            for (int k = 0; k < kNodeWarpRun; ++k) {
                const double dk = nodebasis::Round40(0.75 * k);
                const double raw = nodebasis::RaiseToAny(power, dk * dk + r2, undefined);
                nearTies += FromTie(raw) <= 1;
                ASSERT_EQ(std::bit_cast<uint64_t>(qy[k]), std::bit_cast<uint64_t>(pyv[k])) << r2 << " " << k;
                ASSERT_EQ(std::bit_cast<uint64_t>(qx[k]), std::bit_cast<uint64_t>(px[k])) << r2 << " " << k;
                ASSERT_EQ(qy[k], nodebasis::Round40(raw));
            }
        }
        // The search must really have produced values next to ties.
        EXPECT_GE(nearTies, 300);
    }
}

// Distances at the edges of what the row loop sees: roots within two units of
// a 40-bit rounding tie, a pixel exactly on a node (q = 0), subnormal, tiny
// and large q. Node j sits on pixel j's column, so that pixel's q for node j is
// dy2[j] itself; every other pixel sees the other nodes at ordinary distances.
TEST(NodeWarpRows, DistancesAtRoundingTiesZeroAndExtremesComeOutBitForBit)
{
    std::mt19937_64 rng(57);
    std::uniform_real_distribution<double> root(1.0, 3000.0), w(-30.0, 30.0), rad(1.0, 300.0);
    std::uniform_int_distribution<int> units(-2, 2);
    constexpr int kN = kNodeWarpRun;
    for (double mi : {-1.0, -0.5, 0.5, 1.0, 1.7, -1.3}) {
        const nodebasis::Power power = nodebasis::ClassifyPower(mi);
        // s^mi must stay inside the Real48 range for the InRange claim.
        const double large = power.Kind == nodebasis::PowerKind::General ? 0x1p40 : 0x1p100;
        const double extremes[] = {0.0, 4.9406564584124654e-324, 0x1p-1030, 1e-300, 0x1p-60, large};
        std::vector<double> dx(kN), dy(kN, 0.0), r2(kN), wx(kN), wy(kN), dy2(kN);
        const double kx = 1919.0 / 1300.0;
        int nearTies = 0;
        for (int j = 0; j < kN; ++j) {
            dx[j] = static_cast<double>(j) * kx;  // the very value of pixel j's position
            r2[j] = std::pow(nodebasis::Round40(rad(rng)), 2);
            wx[j] = nodebasis::Round40(w(rng));
            wy[j] = nodebasis::Round40(w(rng));
            if (j < 6) {
                dy2[j] = extremes[j];
                // Every pixel is that far from the large-q node; for mi > 0
                // its weight is scaled down so that its term does not swamp
                // the near-tie terms in the sums.
                if (dy2[j] == large && mi > 0) {
                    const int scale = -static_cast<int>(mi * std::log2(large));
                    wx[j] = std::ldexp(wx[j], scale);
                    wy[j] = std::ldexp(wy[j], scale);
                }
                continue;
            }
            // A root whose 13 dropped bits lie within two units of 0x1000.
            const uint64_t base = std::bit_cast<uint64_t>(nodebasis::Round40(root(rng))) & ~uint64_t{0x1FFF};
            const double t = std::bit_cast<double>(base + 0x1000 + units(rng));
            dy2[j] = t * t;
            nearTies += FromTie(std::sqrt(dy2[j])) <= 2;
        }
        EXPECT_GE(nearTies, kN - 12) << "mi " << mi;  // the search really made near-tie roots
        NodeWarpNodes nodes =
            NodesOf(kN, dx.data(), dy.data(), r2.data(), wx.data(), wy.data(), power, kx);
        for (bool inRange : {true, false}) {
            nodes.InRange = inRange;
            for (int n : {kNodeWarpRun, 37}) {
                SCOPED_TRACE(testing::Message() << "mi " << mi << " InRange " << inRange << " n " << n);
                double qx[kNodeWarpRun], qy[kNodeWarpRun];
                NodeWarpFlags flags;
                NodeWarpSamplePositions(nodes, dy2.data(), 0.0, 0, n, qx, qy, flags);
                EXPECT_EQ(flags.Undefined | flags.Overflow, 0u);
                std::vector<double> px, pyv;
                PlainPositions(nodes, dy2.data(), 0.0, 0, n, px, pyv);
                for (int k = 0; k < n; ++k) {
                    ASSERT_EQ(std::bit_cast<uint64_t>(qx[k]), std::bit_cast<uint64_t>(px[k])) << k;
                    ASSERT_EQ(std::bit_cast<uint64_t>(qy[k]), std::bit_cast<uint64_t>(pyv[k])) << k;
                }
            }
        }
    }
}

// A single node on a pixel: that pixel's distance is exactly 0 and its stored
// basis value is the one of s = r^2, for every kind of power.
TEST(NodeWarpRows, PixelOnANodeHasDistanceZero)
{
    for (double mi : {-1.0, -0.5, 0.5, 1.0, 1.7, -1.3}) {
        SCOPED_TRACE(testing::Message() << "mi " << mi);
        const nodebasis::Power power = nodebasis::ClassifyPower(mi);
        const double kx = 0.75, dxNode = 5 * kx, dyZero = 0.0, r2 = 2.25, one = 1.0;
        const NodeWarpNodes nodes = NodesOf(1, &dxNode, &dyZero, &r2, &one, &one, power, kx);
        double qx[kNodeWarpRun], qy[kNodeWarpRun];
        NodeWarpFlags flags;
        NodeWarpSamplePositions(nodes, &dyZero, 0.0, 0, kNodeWarpRun, qx, qy, flags);
        uint64_t undefined = 0;
        const double phi = nodebasis::Round40(nodebasis::RaiseToAny(power, r2, undefined));
        EXPECT_EQ(qy[5], phi);
        EXPECT_EQ(qx[5], 5 * kx + phi);
        // and that is r^(2 mi) to Real48 precision.
        EXPECT_NEAR(phi, std::pow(r2, mi), std::pow(r2, mi) * 0x1p-38);
    }
}

namespace {
// The sample the plain way, from the library's Real48 rounding and nearbyint.
void ReferenceSample(const std::vector<uint8_t>& src, int rowBytes, int sw, int sh, double qx,
                     double qy, uint8_t* out)
{
    const double qr = (sh - 1) - qy;
    if (!(qx >= 0 && qx < sw - 1 && qr >= 0 && qr < sh - 1)) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const int x0 = static_cast<int>(std::trunc(qx)), y0 = static_cast<int>(std::trunc(qr));
    const double fx = qx - x0, fy = qr - y0;
    auto P = [&](int x, int y, int c) { return double(src[y * rowBytes + 3 * x + c]); };
    for (int c = 0; c < 3; ++c) {
        const double a = RoundReal48(P(x0, y0, c) + fx * (P(x0 + 1, y0, c) - P(x0, y0, c)));
        const double b =
            RoundReal48(P(x0, y0 + 1, c) + fx * (P(x0 + 1, y0 + 1, c) - P(x0, y0 + 1, c)));
        out[c] = static_cast<uint8_t>(std::clamp(std::nearbyint(a + fy * (b - a)), 0.0, 255.0));
    }
}
}  // namespace

// Sampling: an interpolation on exactly half a level rounds to even, one a
// hair above half a level rounds to it all the same (the Real48 store drops
// the hair), positions on or past the last column or row are black, and
// random positions agree with the plain formula, in both routines. The
// source is 4 x 3 pixels with rows padded to 16 bytes, its last row last in
// memory, so a read past a pixel pair would show under the sanitizers.
TEST(NodeWarpSamples, TiesHairsEdgesAndRandomPositionsMatchThePlainFormula)
{
    const int sw = 4, sh = 3, rowBytes = 16;
    std::vector<uint8_t> src(static_cast<size_t>(rowBytes) * sh, 0);
    std::mt19937 rng(5);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < 3 * sw; ++x)
            src[y * rowBytes + x] = static_cast<uint8_t>(rng());
    // Bottom row: blue 0, 1, 2, 3 and green 3, 2, 1, 0 along x; red 255.
    for (int x = 0; x < sw; ++x) {
        src[3 * x] = static_cast<uint8_t>(x);
        src[3 * x + 1] = static_cast<uint8_t>(3 - x);
        src[3 * x + 2] = 255;
    }
    const double bottom = sh - 1.0;  // qy of the bottom row
    std::vector<double> qx = {0.5,  1.5,  2.5, 0.5 + 0x1p-45, 1.5 + 0x1p-45, 3.0, 2.9999,
                              -0.01, 0.0, 1.25, 0.75};
    std::vector<double> qy = {bottom, bottom, bottom, bottom, bottom, bottom, bottom,
                              bottom, 0.0,    1.5,    0.2};
    std::uniform_real_distribution<double> ux(-0.5, sw - 0.5), uy(-0.5, sh - 0.5);
    for (int k = 0; k < 200; ++k) {
        qx.push_back(ux(rng));
        qy.push_back(uy(rng));
    }
    const int count = static_cast<int>(qx.size());
    std::vector<uint8_t> expected(3 * qx.size());
    for (int k = 0; k < count; ++k)
        ReferenceSample(src, rowBytes, sw, sh, qx[k], qy[k], &expected[3 * k]);
    // The hand-worked ones: blue 0.5 -> 0, 1.5 -> 2, 2.5 -> 2; green 2.5 -> 2,
    // 1.5 -> 2, 0.5 -> 0; the hairs as without them; the last column black.
    const uint8_t worked[] = {0, 2, 255, 2, 2, 255, 2, 0, 255, 0, 2, 255, 2, 2, 255, 0, 0, 0};
    ASSERT_TRUE(std::equal(std::begin(worked), std::end(worked), expected.begin()));
    EXPECT_NE(expected[3 * 6 + 2], 0);  // just inside the last column
    EXPECT_EQ(expected[3 * 7 + 2], 0);  // left of the first column
    for (bool vector : {true, false}) {
        std::vector<uint8_t> got(expected.size(), 77);
        if (vector)
            NodeWarpSamples(src.data(), rowBytes, sw, sh, qx.data(), qy.data(), count, got.data());
        else
            NodeWarpSamplesPlain(src.data(), rowBytes, sw, sh, qx.data(), qy.data(), count,
                                 got.data());
        for (int k = 0; k < count; ++k)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(got[3 * k + c], expected[3 * k + c])
                    << (vector ? "vector" : "plain") << " sample " << k << " (" << qx[k] << ", "
                    << qy[k] << ") channel " << c;
    }
}

TEST(NodeWarpSamples, CheckedSamplesMatchThePlainOnesAndSafeMeansTheSameBytesWithinTheBound)
{
    const int sw = 37, sh = 23, rowBytes = 112;
    std::vector<uint8_t> src(static_cast<size_t>(rowBytes) * sh);
    std::mt19937 rng(8);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < 3 * sw; ++x)  // smooth in places, rough in others
            src[y * rowBytes + x] = static_cast<uint8_t>(x < 50 ? 3 * x + y : rng());
    std::vector<double> qx, qy, err;
    std::uniform_real_distribution<double> ux(-1.0, sw), uy(-1.0, sh);
    const double bounds[] = {0.0, 1e-15, 1e-9, 1e-5, 1e-3, 0.05};
    for (int k = 0; k < 4000; ++k) {
        double x = ux(rng), y = uy(rng);
        if (k % 4 == 1)  // on ties, cell edges and the edges of the picture
            x = std::round(2 * x) / 2;
        if (k % 4 == 2)
            y = std::round(y);
        if (k % 50 == 3)
            x = sw - 1.0;
        qx.push_back(x);
        qy.push_back(y);
        err.push_back(bounds[k % 6]);
    }
    const int count = static_cast<int>(qx.size());
    std::vector<uint8_t> plain(3 * qx.size()), checked(3 * qx.size(), 77);
    std::vector<uint8_t> safePlain(qx.size()), safeChecked(qx.size(), 7);
    NodeWarpSamplesPlain(src.data(), rowBytes, sw, sh, qx.data(), qy.data(), count, plain.data());
    NodeWarpSafeSamples(src.data(), rowBytes, sw, sh, qx.data(), qy.data(), err.data(), count,
                        safePlain.data());
    // Runs of every length up to 64, as the warp hands them over.
    for (int k0 = 0, n = 1; k0 < count; k0 += n, n = n % 64 + 1) {
        const int m = std::min(n, count - k0);
        NodeWarpFastSamples(src.data(), rowBytes, sw, sh, qx.data() + k0, qy.data() + k0,
                            err.data() + k0, m, checked.data() + 3 * k0, safeChecked.data() + k0);
    }
    EXPECT_EQ(checked, plain);
    EXPECT_EQ(safeChecked, safePlain);
    // Safe means: every position within the bound gives the same bytes.
    int safe = 0, unsafe = 0;
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < count; ++k) {
        if (!safePlain[k]) {
            ++unsafe;
            continue;
        }
        ++safe;
        for (int t = 0; t < 20; ++t) {
            const double dx = t < 4 ? (t & 1 ? 1 : -1) : unit(rng);
            const double dy = t < 4 ? (t & 2 ? 1 : -1) : unit(rng);
            const double px = qx[k] + dx * err[k], py = qy[k] + dy * err[k];
            uint8_t moved[3];
            NodeWarpSamplesPlain(src.data(), rowBytes, sw, sh, &px, &py, 1, moved);
            ASSERT_TRUE(std::equal(moved, moved + 3, &plain[3 * k]))
                << "(" << qx[k] << ", " << qy[k] << ") bound " << err[k];
        }
    }
    EXPECT_GT(safe, 1000);
    EXPECT_GT(unsafe, 200);
}
