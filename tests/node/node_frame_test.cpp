// Node frames and animations: in-between nodes, the sets each warp works in,
// the radius tables, the cross-dissolve, frame order and names, failures.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "images/avi_file.h"
#include "images/picture_file.h"
#include "images/progress.h"
#include "images/safe_file.h"
#include "mesh/frame_run.h"
#include "node/node_defs.h"
#include "node/node_frame.h"
#include "node/node_warp.h"
#include "numerics/real48.h"
#include "test_support.h"

namespace {

// Saves the program-wide node warp parameters and puts them back.
struct KeepWarpParams {
    uint8_t Mode = NodeRadiusMode;
    double R = NodeRadius, Mi = NodeMi;
    ~KeepWarpParams() { NodeRadiusMode = Mode; NodeRadius = R; NodeMi = Mi; }
};

struct ProgressRecorder : ProgressDisplay {
    int Begun = 0, Ended = 0;
    ProgressDisplay* Previous;
    ProgressRecorder() { Previous = SetProgressDisplay(this); }
    ~ProgressRecorder() override { SetProgressDisplay(Previous); }
    void ProgressBegun() override { ++Begun; }
    void ProgressChanged(int) override {}
    void ProgressEnded() override { ++Ended; }
};

// Keeps every picture handed over, in order; counts refreshes after each.
struct RecordingView : ResultView {
    std::vector<RasterImage> Pictures;
    std::vector<size_t> RefreshedAt;  // picture count at each refresh
    void SetPicture(RasterImage&& picture) override { Pictures.push_back(std::move(picture)); }
    void RefreshView() override { RefreshedAt.push_back(Pictures.size()); }
};

uint8_t* Pixel(RasterImage& img, int x, int rowFromTop)
{
    return img.Lock() + (img.Height() - 1 - rowFromTop) * img.RowBytes + 3 * x;
}

RasterImage Uniform(int w, int h, uint8_t b, uint8_t g, uint8_t r)
{
    RasterImage img;
    img.Init(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = Pixel(img, x, y);
            p[0] = b, p[1] = g, p[2] = r;
        }
    return img;
}

// Blue = column, green = row from the top: an output pixel tells where the
// warp sampled the source.
RasterImage Gradient(int w, int h)
{
    RasterImage img;
    img.Init(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = Pixel(img, x, y);
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 77;
        }
    return img;
}

RasterImage Noise(int w, int h, unsigned seed)
{
    RasterImage img;
    img.Init(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x)
            img.Lock()[y * img.RowBytes + x] = static_cast<uint8_t>(rng());
    return img;
}

TNodeDefsData Nodes(const std::vector<NodePoint>& pts)
{
    TNodeDefsData d(static_cast<int32_t>(pts.size()));
    for (size_t i = 0; i < pts.size(); ++i)
        d.SetNode(static_cast<int32_t>(i), pts[i]);
    return d;
}

NodeMorphSettings Settings(int total, int width, int height, uint8_t method = 1, int radius = 50,
                           double mi = -1.0)
{
    NodeMorphSettings s{};
    s.WarpMethod = method;
    s.Radius = radius;
    s.Mi.Set(mi);
    s.TotalFrames = total;
    s.FirstFrame = 1;
    s.LastFrame = total;
    s.CurrentFrame = 1;
    s.FrameDelay = 40;
    s.ResultWidth = width;
    s.ResultHeight = height;
    s.OutputPrefix.Set("Out");
    return s;
}

// Pixel rows without padding, top row first.
std::vector<uint8_t> TopDownBgr(const RasterImage& img)
{
    std::vector<uint8_t> out;
    for (int y = img.Height() - 1; y >= 0; --y) {
        const uint8_t* row = img.Lock() + y * img.RowBytes;
        out.insert(out.end(), row, row + 3 * img.Width());
    }
    return out;
}

std::vector<uint8_t> FfmpegBgr(const std::string& file)
{
    std::string out;
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -f rawvideo -pix_fmt bgr24 -", &out), 0);
    return std::vector<uint8_t>(out.begin(), out.end());
}

std::set<std::string> FilesIn(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        names.insert(e.path().filename().string());
    return names;
}

bool AllBlack(const RasterImage& img)
{
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < 3 * img.Width(); ++x)
            if (img.Lock()[y * img.RowBytes + x] != 0)
                return false;
    return true;
}

// The frame NodeFrame makes for k, to compare generated sequences against.
RasterImage FrameOf(const RasterImage& l, const TNodeDefsData& ln, const RasterImage& r,
                    const TNodeDefsData& rn, const NodeMorphSettings& s, int k)
{
    RasterImage f;
    EXPECT_FALSE(NodeFrame(l, ln, r, rn, s, k, f));
    return f;
}

// Round half to even of num / den (den > 0), in integers.
int RoundHalfEven(int num, int den)
{
    int q = num / den, rem = num % den;
    if (rem < 0)
        rem += den, --q;
    if (2 * rem > den || (2 * rem == den && q % 2 != 0))
        ++q;
    return q;
}

}  // namespace

TEST(NodeFrameParameters, ActivationSetsModeRadiusAndMiFromTheSettings)
{
    KeepWarpParams keep;
    NodeMorphSettings s = Settings(5, 40, 40, 2, 37, 1.7);
    ApplyNodeWarpParameters(s);
    EXPECT_EQ(NodeRadiusMode, 2);
    EXPECT_EQ(NodeRadius, 37.0);
    EXPECT_EQ(NodeMi, RoundReal48(1.7));
    EXPECT_EQ(EncodeReal48(NodeMi), s.Mi.Bytes);  // byte for byte

    s = Settings(5, 40, 40, 0, 0, -0.5);
    ApplyNodeWarpParameters(s);
    EXPECT_EQ(NodeRadiusMode, 0);
    EXPECT_EQ(NodeRadius, 0.0);
    EXPECT_EQ(NodeMi, -0.5);
}

TEST(NodeFrameParameters, InBetweenNodesRunFromLeftToRightAtRealPrecision)
{
    const double l = RoundReal48(0.1), r = RoundReal48(0.7);
    EXPECT_EQ(NodeInBetween(l, r, 1, 7), l);
    EXPECT_EQ(NodeInBetween(l, r, 7, 7), r);
    EXPECT_EQ(NodeInBetween(0.25, 0.75, 3, 5), 0.5);
    for (int k = 2; k < 7; ++k) {
        const double v = NodeInBetween(l, r, k, 7);
        EXPECT_EQ(RoundReal48(v), v) << "stored as Real48";
        const long double exact = l + (static_cast<long double>(r) - l) * (k - 1) / 6.0L;
        EXPECT_LE(std::fabs(static_cast<long double>(v) - exact), std::ldexp(1.0L, -40)) << k;
    }
}

TEST(NodeFrameDissolve, ZeroNodesMorphAsAPlainCrossDissolve)
{
    KeepWarpParams keep;
    ProgressRecorder progress;
    const TNodeDefsData none;
    // Uniform pictures of other sizes than the result: every pixel but the
    // black top row and right column is the blend, worked out by hand.
    const RasterImage left = Uniform(13, 11, 10, 31, 200);  // steps 2 x 2
    const RasterImage right = Uniform(19, 6, 200, 32, 7);   // steps 3 x 1
    NodeMorphSettings s = Settings(5, 7, 6);
    s.DoMorph = 1;
    ApplyNodeWarpParameters(s);
    const uint8_t expected[6][3] = {{0, 0, 0},      {10, 31, 200},  {58, 31, 152},
                                    {105, 32, 104}, {152, 32, 55},  {200, 32, 7}};
    for (int k = 1; k <= 5; ++k) {
        RasterImage f;
        const int begun = progress.Begun;
        ASSERT_FALSE(NodeFrame(left, none, right, none, s, k, f));
        EXPECT_EQ(progress.Begun - begun, 2) << "a morph warps both pictures";
        ASSERT_EQ(f.Width(), 7);
        ASSERT_EQ(f.Height(), 6);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 7; ++x) {
                const uint8_t* p = Pixel(f, x, y);
                const uint8_t* e = (y == 0 || x == 6) ? expected[0] : expected[k];
                EXPECT_EQ(p[0], e[0]) << k << " " << x << "," << y;
                EXPECT_EQ(p[1], e[1]) << k << " " << x << "," << y;
                EXPECT_EQ(p[2], e[2]) << k << " " << x << "," << y;
            }
            for (int i = 21; i < f.RowBytes; ++i)
                EXPECT_EQ(f.Lock()[(5 - y) * f.RowBytes + i], 0) << "row padding";
        }
    }

    // Pictures of the result size are not moved at all: each channel is the
    // blend of the two source pixels, rounded half to even.
    RasterImage a = Noise(11, 8, 3), b = Noise(11, 8, 4);
    s = Settings(7, 11, 8);
    s.DoMorph = 1;
    for (int k = 1; k <= 7; ++k) {
        RasterImage f;
        ASSERT_FALSE(NodeFrame(a, none, b, none, s, k, f));
        for (int y = 1; y < 8; ++y)
            for (int x = 0; x < 10; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int c1 = Pixel(a, x, y)[c];
                    const int c2 = Pixel(b, x, y)[c];
                    ASSERT_EQ(Pixel(f, x, y)[c], RoundHalfEven(c1 * 6 + (c2 - c1) * (k - 1), 6))
                        << k << " " << x << "," << y << " " << c;
                }
    }
}

TEST(NodeFrameGeometry, WarpsWorkInThePixelsOfThePictureBeingWarped)
{
    KeepWarpParams keep;
    // Different picture sizes on the two sides: nodes scaled by the wrong
    // picture would land elsewhere. Coordinates are exact in both.
    const RasterImage left = Gradient(129, 65);    // steps 128 x 64
    const RasterImage right = Gradient(65, 33);    // steps 64 x 32
    const TNodeDefsData ln = Nodes({{0.25, 0.5}, {0.75, 0.25}, {0.5, 0.75}});
    const TNodeDefsData rn = Nodes({{0.375, 0.375}, {0.625, 0.5}, {0.5, 0.5}});
    for (uint8_t method = 0; method <= 2; ++method) {
        for (double mi : {-1.0, 0.5, 1.7}) {
            SCOPED_TRACE("method " + std::to_string(method) + " mi " + std::to_string(mi));
            NodeMorphSettings s = Settings(5, 65, 33, method, 20, mi);
            ApplyNodeWarpParameters(s);

            // Frame 1 of the left picture: the picture resampled to the
            // result, sample (2u, 2v) for output (u, v).
            RasterImage f;
            ASSERT_FALSE(NodeFrame(left, ln, right, rn, s, 1, f));
            for (int v = 1; v < 33; ++v)
                for (int u = 0; u < 64; ++u) {
                    ASSERT_EQ(Pixel(f, u, v)[0], 2 * u) << u << "," << v;
                    ASSERT_EQ(Pixel(f, u, v)[1], 2 * v) << u << "," << v;
                }

            // Last frame of the left picture at its own size: the output at
            // each right node position shows the left node's place.
            s.ResultWidth = 129, s.ResultHeight = 65;
            ASSERT_FALSE(NodeFrame(left, ln, right, rn, s, 5, f));
            for (int i = 0; i < 3; ++i) {
                const uint8_t* p = Pixel(f, static_cast<int>(rn.X[i] * 128), static_cast<int>(rn.Y[i] * 64));
                EXPECT_EQ(p[0], ln.X[i] * 128) << "node " << i;
                EXPECT_EQ(p[1], ln.Y[i] * 64) << "node " << i;
            }

            // Frame 3 of the right picture at its own size: halfway nodes in
            // right pixels show the right nodes' places.
            s.WarpSide = 1;
            s.ResultWidth = 65, s.ResultHeight = 33;
            ASSERT_FALSE(NodeFrame(left, ln, right, rn, s, 3, f));
            for (int i = 0; i < 3; ++i) {
                const double hx = (ln.X[i] + rn.X[i]) / 2 * 64, hy = (ln.Y[i] + rn.Y[i]) / 2 * 32;
                ASSERT_EQ(hx, std::floor(hx));
                ASSERT_EQ(hy, std::floor(hy));
                const uint8_t* p = Pixel(f, static_cast<int>(hx), static_cast<int>(hy));
                EXPECT_EQ(p[0], rn.X[i] * 64) << "node " << i;
                EXPECT_EQ(p[1], rn.Y[i] * 32) << "node " << i;
            }
            // Last frame of the right picture: resampled only.
            ASSERT_FALSE(NodeFrame(left, ln, right, rn, s, 5, f));
            for (int v = 1; v < 33; ++v)
                for (int u = 0; u < 64; ++u)
                    ASSERT_EQ(Pixel(f, u, v)[0] * 1000 + Pixel(f, u, v)[1], u * 1000 + v);
        }
    }
}

namespace {

// Sample position of output pixel p for two nodes warped from S to D with
// mi = -1 and radius r for both, solved here by Cramer's rule.
void TwoNodeSample(const double S[2][2], const double D[2][2], double r, const double p[2], double q[2])
{
    double M[2][2];
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            const double dx = D[i][0] - D[j][0], dy = D[i][1] - D[j][1];
            M[i][j] = 1.0 / (dx * dx + dy * dy + r * r);
        }
    const double det = M[0][0] * M[1][1] - M[0][1] * M[1][0];
    for (int c = 0; c < 2; ++c) {
        const double b0 = S[0][c] - D[0][c], b1 = S[1][c] - D[1][c];
        const double w[2] = {(b0 * M[1][1] - M[0][1] * b1) / det, (M[0][0] * b1 - b0 * M[1][0]) / det};
        q[c] = p[c];
        for (int j = 0; j < 2; ++j) {
            const double dx = p[0] - D[j][0], dy = p[1] - D[j][1];
            q[c] += w[j] / (dx * dx + dy * dy + r * r);
        }
    }
}

}  // namespace

TEST(NodeFrameGeometry, RadiusTableFollowsTheWarpMethod)
{
    KeepWarpParams keep;
    const RasterImage left = Gradient(129, 65);
    const RasterImage right = Uniform(40, 40, 1, 2, 3);
    // 8 pixels apart on the left picture, 96 apart where the last frame puts them.
    const TNodeDefsData ln = Nodes({{0.25, 0.5}, {0.3125, 0.5}});
    const TNodeDefsData rn = Nodes({{0.125, 0.5}, {0.875, 0.5}});
    const double S[2][2] = {{32, 32}, {40, 32}}, D[2][2] = {{16, 32}, {112, 32}};
    const double radiusOf[3] = {30.0, 8.0, 96.0};  // fixed, source spacing, destination spacing
    const double probes[3][2] = {{64, 20}, {90, 32}, {20, 10}};
    for (uint8_t method = 0; method <= 2; ++method) {
        SCOPED_TRACE("method " + std::to_string(method));
        NodeMorphSettings s = Settings(4, 129, 65, method, 30, -1.0);
        ApplyNodeWarpParameters(s);
        RasterImage f;
        ASSERT_FALSE(NodeFrame(left, ln, right, rn, s, 4, f));
        for (const auto& p : probes) {
            double q[2];
            TwoNodeSample(S, D, radiusOf[method], p, q);
            // The other tables would sample far enough away to tell.
            for (uint8_t other = 0; other <= 2; ++other) {
                double o[2];
                TwoNodeSample(S, D, radiusOf[other], p, o);
                if (other != method) {
                    ASSERT_GT(std::fabs(o[0] - q[0]), 2.0);
                }
            }
            const uint8_t* px = Pixel(f, static_cast<int>(p[0]), static_cast<int>(p[1]));
            EXPECT_LE(std::fabs(px[0] - q[0]), 0.5 + 1e-6) << p[0] << "," << p[1];
            EXPECT_LE(std::fabs(px[1] - q[1]), 0.5 + 1e-6) << p[0] << "," << p[1];
        }
    }
}

namespace {

// Zero nodes, uniform pictures: every frame of a morph has its own colour.
struct DissolveProject {
    RasterImage Left = Uniform(41, 40, 0, 100, 250);
    RasterImage Right = Uniform(40, 41, 240, 100, 10);
    TNodeDefsData None;
    NodeMorphSettings S;
    explicit DissolveProject(const std::string& path)
    {
        S = Settings(5, 40, 40);
        S.DoMorph = 1;
        S.DoAnimation = 1;
        S.OutputPath.Set(path);
        ApplyNodeWarpParameters(S);
    }
    RasterImage Frame(int k) const { return FrameOf(Left, None, Right, None, S, k); }
    bool Run(ResultView& view) const { return NodeAnimation(Left, None, Right, None, S, view); }
};

// Checks that view received exactly the frames ks, in order, each refreshed.
void ExpectFrames(const DissolveProject& p, const RecordingView& view, const std::vector<int>& ks)
{
    ASSERT_EQ(view.Pictures.size(), ks.size());
    ASSERT_EQ(view.RefreshedAt.size(), ks.size());
    for (size_t i = 0; i < ks.size(); ++i) {
        EXPECT_EQ(view.RefreshedAt[i], i + 1);
        EXPECT_EQ(TopDownBgr(view.Pictures[i]), TopDownBgr(p.Frame(ks[i]))) << "picture " << i;
    }
}

}  // namespace

TEST(NodeAnimationOutput, FramesAreNamedAndOrderedBySide)
{
    KeepWarpParams keep;
    ErrorCapture errors;
    {
        TempDir dir;
        DissolveProject p(dir.Path().string());  // no trailing separator
        p.S.FirstFrame = 2, p.S.LastFrame = 4;
        RecordingView view;
        ASSERT_FALSE(p.Run(view));
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Out2.TGA", "Out3.TGA", "Out4.TGA"}));
        ExpectFrames(p, view, {2, 3, 4});
        for (int k = 2; k <= 4; ++k)  // read back by an independent decoder
            EXPECT_EQ(FfmpegBgr(dir.File("Out" + std::to_string(k) + ".TGA")), TopDownBgr(p.Frame(k))) << k;
    }
    {
        TempDir dir;
        DissolveProject p(dir.Path().string() + "/");
        p.S.FirstFrame = 2, p.S.LastFrame = 4, p.S.WarpSide = 1;
        p.S.OutputType = 1;
        RecordingView view;
        ASSERT_FALSE(p.Run(view));
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Out2.BMP", "Out3.BMP", "Out4.BMP"}));
        ExpectFrames(p, view, {4, 3, 2});
        EXPECT_EQ(FfmpegBgr(dir.File("Out4.BMP")), TopDownBgr(p.Frame(4)));
    }
    {
        TempDir dir;
        DissolveProject p(dir.Path().string());
        p.S.FirstFrame = 2, p.S.LastFrame = 3;
        p.S.OutputType = 3;
        RecordingView view;
        ASSERT_FALSE(p.Run(view));
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Out2.PNG", "Out3.PNG"}));
        ExpectFrames(p, view, {2, 3});
        for (int k = 2; k <= 3; ++k)
            EXPECT_EQ(FfmpegBgr(dir.File("Out" + std::to_string(k) + ".PNG")), TopDownBgr(p.Frame(k))) << k;
    }
    {
        // Without DoAnimation only the current frame, under its own number.
        TempDir dir;
        DissolveProject p(dir.Path().string());
        p.S.DoAnimation = 0, p.S.CurrentFrame = 3, p.S.FirstFrame = 1, p.S.LastFrame = 5;
        p.S.OutputPrefix.Set("Frame_");
        RecordingView view;
        ASSERT_FALSE(p.Run(view));
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Frame_3.TGA"}));
        ExpectFrames(p, view, {3});
    }
    {
        // A path ending in the separator gets no second one: the name in the
        // message shows it.
        DissolveProject p("/nonexistent-qv-folder/");
        p.S.FirstFrame = p.S.LastFrame = 2;
        RecordingView view;
        EXPECT_TRUE(p.Run(view));
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_NE(errors.LastText().find("/nonexistent-qv-folder/Out2.TGA"), std::string::npos)
            << errors.LastText();
        errors.Messages.clear();
    }
    EXPECT_EQ(errors.Count(), 0u) << errors.LastText();
}

TEST(NodeAnimationOutput, MovieOfTheRightSideHoldsTheFramesInDescendingOrder)
{
    if (RunCommand("ffprobe -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffprobe not installed";
    KeepWarpParams keep;
    ErrorCapture errors;
    TempDir dir;
    DissolveProject p(dir.Path().string());
    p.S.WarpSide = 1, p.S.OutputType = 2;
    RecordingView view;
    ASSERT_FALSE(p.Run(view));
    EXPECT_FALSE(AviMovieOpen());
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Out.AVI"}));
    ExpectFrames(p, view, {5, 4, 3, 2, 1});
    std::string info;
    RunCommand("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames "
               "-of csv=p=0 '" + dir.File("Out.AVI") + "'", &info);
    EXPECT_EQ(info, "40,40,5\n");
    std::vector<uint8_t> all;
    for (int k = 5; k >= 1; --k) {
        const std::vector<uint8_t> one = TopDownBgr(p.Frame(k));
        all.insert(all.end(), one.begin(), one.end());
    }
    EXPECT_EQ(FfmpegBgr(dir.File("Out.AVI")), all);
    EXPECT_EQ(errors.Count(), 0u) << errors.LastText();
}

namespace {

// Two nodes that swap places: in frame 3 of 5 both stand on the same spot,
// so radii taken from the destination are 0 there and the warp fails.
struct CrossingProject {
    RasterImage Left = Gradient(60, 50);
    RasterImage Right = Uniform(50, 60, 9, 9, 9);
    TNodeDefsData Ln = Nodes({{0.25, 0.5}, {0.75, 0.5}});
    TNodeDefsData Rn = Nodes({{0.75, 0.5}, {0.25, 0.5}});
    NodeMorphSettings S;
    CrossingProject(const std::string& path, double mi)
    {
        S = Settings(5, 40, 40, 2, 10, mi);
        S.DoAnimation = 1;
        S.OutputPath.Set(path);
        ApplyNodeWarpParameters(S);
    }
    bool Run(ResultView& view) const { return NodeAnimation(Left, Ln, Right, Rn, S, view); }
};

}  // namespace

TEST(NodeAnimationFailure, WarpFailureKeepsEarlierFramesAndShowsTheFailingOne)
{
    KeepWarpParams keep;
    struct Case {
        double Mi;
        uint8_t DoMorph;
        std::string Message;
    };
    const Case cases[] = {
        {1.0, 0, "Error: pause in LUDCMP - singular matrix"},
        {1.0, 1, "Error: pause in LUDCMP - singular matrix"},
        {-1.0, 0, "Error: " + NodeWarpMessage(NodeWarpStatus::ZeroBasis, -1.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mi " + std::to_string(c.Mi) + " morph " + std::to_string(c.DoMorph));
        ErrorCapture errors;
        ProgressRecorder progress;
        TempDir dir;
        CrossingProject p(dir.Path().string(), c.Mi);
        p.S.DoMorph = c.DoMorph;
        RecordingView view;
        EXPECT_TRUE(p.Run(view));
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.LastText(), c.Message);
        EXPECT_EQ(errors.LastCode(), kNodeWarpErrorCode);
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Out1.TGA", "Out2.TGA"}));
        ASSERT_EQ(view.Pictures.size(), 3u);
        EXPECT_EQ(view.RefreshedAt.size(), 3u);
        EXPECT_FALSE(AllBlack(view.Pictures[1]));
        EXPECT_TRUE(AllBlack(view.Pictures[2])) << "nothing of the failing frame was computed";
        EXPECT_FALSE(ProgressActive());
        EXPECT_EQ(progress.Begun, progress.Ended);
        EXPECT_EQ(progress.Begun, c.DoMorph ? 5 : 3) << "no warp after the failing one";
    }
}

TEST(NodeAnimationFailure, MovieIsFinishedWithTheFramesBeforeAFailure)
{
    if (RunCommand("ffprobe -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffprobe not installed";
    KeepWarpParams keep;
    ErrorCapture errors;
    ProgressRecorder progress;
    TempDir dir;
    CrossingProject p(dir.Path().string(), -1.0);
    p.S.DoMorph = 1, p.S.OutputType = 2;
    RecordingView view;
    EXPECT_TRUE(p.Run(view));
    EXPECT_FALSE(AviMovieOpen());
    EXPECT_EQ(errors.Count(), 1u);
    EXPECT_FALSE(ProgressActive());
    ASSERT_EQ(view.Pictures.size(), 3u);
    std::string info;
    EXPECT_EQ(RunCommand("ffprobe -v error -count_frames -show_entries stream=nb_read_frames "
                         "-of csv=p=0 '" + dir.File("Out.AVI") + "'", &info), 0);
    EXPECT_EQ(info, "2\n");
    std::vector<uint8_t> two = TopDownBgr(view.Pictures[0]);
    const std::vector<uint8_t> second = TopDownBgr(view.Pictures[1]);
    two.insert(two.end(), second.begin(), second.end());
    EXPECT_EQ(FfmpegBgr(dir.File("Out.AVI")), two);
}

TEST(NodeAnimationFailure, StoreFailuresStopTheRun)
{
    KeepWarpParams keep;
    {
        // The second frame's name is taken by a folder.
        ErrorCapture errors;
        TempDir dir;
        std::filesystem::create_directory(dir.Path() / "Out2.TGA");
        DissolveProject p(dir.Path().string());
        RecordingView view;
        EXPECT_TRUE(p.Run(view));
        EXPECT_EQ(errors.Count(), 1u);
        EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Out1.TGA", "Out2.TGA"}));
        EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "Out2.TGA"));
        ExpectFrames(p, view, {1, 2});
        EXPECT_EQ(FfmpegBgr(dir.File("Out1.TGA")), TopDownBgr(p.Frame(1)));
    }
    {
        // A movie that cannot be begun: no frame is computed.
        ErrorCapture errors;
        ProgressRecorder progress;
        DissolveProject p("/nonexistent-qv-folder");
        p.S.OutputType = 2;
        RecordingView view;
        EXPECT_TRUE(p.Run(view));
        EXPECT_EQ(errors.Count(), 1u);
        EXPECT_TRUE(view.Pictures.empty());
        EXPECT_EQ(progress.Begun, 0);
        EXPECT_FALSE(AviMovieOpen());
    }
}

TEST(NodeAnimationFailure, UnusableSettingsAreRefusedBeforeAnyWork)
{
    KeepWarpParams keep;
    TempDir dir;
    struct Case {
        const char* Name;
        void (*Spoil)(NodeMorphSettings&);
        std::string Message;
    };
    const std::string frames = "Error: There is inconsistence in frame numbers.";
    const Case cases[] = {
        {"one frame in all", [](NodeMorphSettings& s) { s.TotalFrames = 1, s.FirstFrame = s.LastFrame = 1; }, frames},
        {"first after last", [](NodeMorphSettings& s) { s.FirstFrame = 4, s.LastFrame = 3; }, frames},
        {"last beyond total", [](NodeMorphSettings& s) { s.LastFrame = 6; }, frames},
        {"first frame 0", [](NodeMorphSettings& s) { s.FirstFrame = 0; }, frames},
        {"current beyond total", [](NodeMorphSettings& s) { s.DoAnimation = 0, s.CurrentFrame = 6; }, frames},
        {"zero width", [](NodeMorphSettings& s) { s.ResultWidth = 0; }, "Error: Width of image must be greater then 40."},
        {"zero height", [](NodeMorphSettings& s) { s.ResultHeight = -3; }, "Error: Height of image must be greater then 40."},
        {"unknown output type", [](NodeMorphSettings& s) { s.OutputType = 4; }, "Error: Save to this file type in not supported."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ErrorCapture errors;
        ProgressRecorder progress;
        DissolveProject p(dir.Path().string());
        c.Spoil(p.S);
        RecordingView view;
        EXPECT_TRUE(p.Run(view));
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.LastText(), c.Message);
        EXPECT_TRUE(view.Pictures.empty());
        EXPECT_EQ(progress.Begun, 0);
        EXPECT_TRUE(FilesIn(dir).empty());
    }
}

TEST(NodeFrameFailure, NodeSetsThatDoNotMatchGiveABlackFrame)
{
    KeepWarpParams keep;
    ErrorCapture errors;
    const RasterImage left = Gradient(50, 50), right = Gradient(50, 50);
    const TNodeDefsData two = Nodes({{0.2, 0.2}, {0.8, 0.8}});
    const TNodeDefsData three = Nodes({{0.2, 0.2}, {0.8, 0.8}, {0.5, 0.5}});
    NodeMorphSettings s = Settings(5, 40, 40);
    s.DoMorph = 1;
    RasterImage f;
    EXPECT_TRUE(NodeFrame(left, three, right, two, s, 2, f));
    ASSERT_TRUE(f.Allocated);
    EXPECT_TRUE(AllBlack(f));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.LastText(), "Error: " + NodeWarpMessage(NodeWarpStatus::BadInput, NodeMi));

    // A frame number outside the sequence is refused the same way.
    EXPECT_TRUE(NodeFrame(left, two, right, two, s, 6, f));
    EXPECT_FALSE(f.Allocated);
    EXPECT_EQ(errors.LastText(), "Error: There is inconsistence in frame numbers.");
    EXPECT_EQ(errors.Count(), 2u);
}

namespace {

// All a user meets of one generation run.
struct RunOutcome {
    bool Failed = false;
    std::vector<std::pair<int, std::string>> Messages;
    int Beeps = 0;
    std::map<std::string, std::vector<uint8_t>> Files;
    std::vector<std::vector<uint8_t>> Shown;
    std::vector<size_t> RefreshedAt;
    bool operator==(const RunOutcome&) const = default;
};

// Runs p on threads threads, frames stored beside the next one or one after
// the other, with the write that fails after failAfter bytes (-1: none).
RunOutcome Generate(const CrossingProject& p, int threads, bool oneAfterTheOther, int64_t failAfter)
{
    RunOutcome r;
    ErrorCapture errors;
    ProgressLog progress;
    RecordingView view;
    SetFramesOneAfterTheOther(oneAfterTheOther);
    AtomicFileWriter::FailWritesAfter(failAfter);
    WithThreads(threads, [&] { r.Failed = p.Run(view); });
    AtomicFileWriter::FailWritesAfter(-1);
    SetFramesOneAfterTheOther(false);
    EXPECT_EQ(errors.OffThread, 0);
    EXPECT_EQ(progress.OffThread, 0);
    EXPECT_EQ(progress.Begun, progress.Ended);
    EXPECT_FALSE(AviMovieOpen());
    for (const ErrorBoxMessage& m : errors.Messages)
        r.Messages.emplace_back(m.Code, m.Text);
    r.Beeps = errors.Beeps;
    for (const auto& e : std::filesystem::directory_iterator(p.S.OutputPath.Get()))
        r.Files[e.path().filename().string()] = ReadAll(e.path().string());
    for (const RasterImage& picture : view.Pictures)
        r.Shown.push_back(TopDownBgr(picture));
    r.RefreshedAt = view.RefreshedAt;
    return r;
}

}  // namespace

// Each frame is stored while the next one is computed. Whatever the number
// of threads, a run gives what the plain run gives: the same files, the
// same messages and beeps in the same order, the same pictures shown. A
// store that fails part-way ends the run before anything of the frame
// computed beside it is shown, even when that frame fails itself.
TEST(NodeAnimationOverlap, FilesMessagesAndViewsAreThoseOfTheRunOneFrameAfterTheOther)
{
    KeepWarpParams keep;
    struct Case {
        const char* Name;
        double Mi;
        uint8_t Method, DoMorph, Type;
    };
    // Destination radii fail in frame 3, where the two nodes meet.
    const Case cases[] = {
        {"warp, TGA, all frames", -1.0, 0, 0, 0},
        {"morph, AVI, all frames", -1.0, 0, 1, 2},
        {"warp, BMP, frame 3 fails", 1.0, 2, 0, 1},
        {"morph, AVI, frame 3 fails", -1.0, 2, 1, 2},
    };
    for (const Case& c : cases) {
        TempDir sized;
        CrossingProject probe(sized.Path().string(), c.Mi);
        probe.S.WarpMethod = c.Method, probe.S.DoMorph = c.DoMorph, probe.S.OutputType = c.Type;
        ApplyNodeWarpParameters(probe.S);
        const RunOutcome whole = Generate(probe, 1, true, -1);
        int64_t bytes = 0;
        for (const auto& [name, file] : whole.Files)
            bytes += static_cast<int64_t>(file.size());
        const int64_t storedFrames = static_cast<int64_t>(whole.Shown.size()) - (whole.Failed ? 1 : 0);
        ASSERT_GE(storedFrames, 2);
        const int64_t perFrame = bytes / storedFrames;
        // No failing write, one failing inside frame 1 and one inside frame 2.
        for (const int64_t failAfter : {int64_t{-1}, perFrame / 2, perFrame * 3 / 2}) {
            SCOPED_TRACE(std::string(c.Name) + ", write failing after " + std::to_string(failAfter));
            std::vector<RunOutcome> runs;
            for (const bool plain : {true, false}) {
                for (const int threads : {1, 2, 8}) {
                    TempDir dir;
                    CrossingProject p(dir.Path().string(), c.Mi);
                    p.S = probe.S;
                    p.S.OutputPath.Set(dir.Path().string());
                    runs.push_back(Generate(p, threads, plain, failAfter));
                    // Names are the same in every folder; the messages name the folder.
                    for (auto& m : runs.back().Messages) {
                        const size_t at = m.second.find(dir.Path().string());
                        if (at != std::string::npos)
                            m.second.replace(at, dir.Path().string().size(), "<dir>");
                    }
                    if (runs.size() > 1) {
                        EXPECT_TRUE(runs.back() == runs.front())
                            << (plain ? "one after the other" : "overlapped") << ", " << threads << " threads";
                    }
                }
            }
            const RunOutcome& r = runs.front();
            EXPECT_TRUE(r.Failed || failAfter < 0);
            if (failAfter < 0) {
                EXPECT_EQ(r.Files, whole.Files);
                continue;
            }
            // Only the store's own message: the next frame was never begun.
            ASSERT_EQ(r.Messages.size(), 1u);
            EXPECT_EQ(r.Messages[0].second.find(c.Type == 2 ? "Error: Error writing to AVI file" : "Error: Error writing to file: <dir>/Out"), 0u)
                << r.Messages[0].second;
            EXPECT_EQ(r.Beeps, 0);
            const size_t stored = failAfter < perFrame ? 0 : 1;
            EXPECT_EQ(r.Shown.size(), stored + 1);
            EXPECT_EQ(std::vector<std::vector<uint8_t>>(whole.Shown.begin(), whole.Shown.begin() + static_cast<long>(stored + 1)), r.Shown);
            if (c.Type != 2) {
                EXPECT_EQ(r.Files.size(), stored);
                for (const auto& [name, file] : r.Files)
                    EXPECT_EQ(file, whole.Files.at(name)) << name;
            }
        }
    }
}
