// The mesh warp and the morph frame on 1, 2 and 8 threads: the same bytes,
// the same progress and the same messages, all from the calling thread.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "mesh/mesh_frame.h"
#include "mesh/two_pass_warp.h"
#include "images/scale_test_util.h"
#include "test_support.h"

namespace {

// A normalised cols x rows grid whose interior nodes move by a smooth field.
TMeshDefsData Mesh(int cols, int rows, double phase)
{
    TMeshDefsData mesh(cols, rows);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) {
            double x = static_cast<double>(i) / (cols - 1);
            double y = static_cast<double>(j) / (rows - 1);
            if (i > 0 && i < cols - 1 && j > 0 && j < rows - 1) {
                x += 0.3 / cols * std::sin(1.1 * i + 0.7 * j + phase);
                y += 0.3 / rows * std::cos(0.6 * i - 0.9 * j + phase);
            }
            mesh.X[mesh.Index(i, j)] = x;
            mesh.Y[mesh.Index(i, j)] = y;
        }
    return mesh;
}

struct WarpRun {
    std::vector<uint8_t> Bytes;
    std::vector<int> Progress;
    size_t Messages = 0;
};

WarpRun Warp(int threads, const RasterImage& src, const TMeshDefsData& from,
             const TMeshDefsData& to, int method, int wd, int hd)
{
    WarpRun run;
    WithThreads(threads, [&] {
        RasterImage dst;
        dst.Init(wd, hd);
        ErrorCapture errors;
        ProgressLog progress;
        TwoPassWarp(src, from, to, method, dst);
        EXPECT_EQ(errors.OffThread, 0);
        EXPECT_EQ(progress.OffThread, 0);
        run.Bytes = PixelBytes(dst);
        run.Progress = progress.Values;
        run.Messages = errors.Count();
    });
    return run;
}

}  // namespace

TEST(WarpThreads, TwoPassWarpGivesTheSameBytesProgressAndMessagesOnAnyNumberOfThreads)
{
    const RasterImage src = RandomPicture(301, 203, 5);
    // Enlarging in one direction and reducing in the other, and the reverse.
    const int sizes[][2] = {{257, 311}, {611, 97}};
    for (int method = 0; method < 4; ++method)
        for (const auto& size : sizes) {
            const TMeshDefsData from = MeshInPixels(Mesh(7, 6, 0.0), 301, 203);
            const TMeshDefsData to = MeshInPixels(Mesh(7, 6, 2.1), size[0], size[1]);
            const WarpRun one = Warp(1, src, from, to, method, size[0], size[1]);
            ASSERT_EQ(one.Messages, 0u);
            ASSERT_FALSE(one.Progress.empty());
            EXPECT_EQ(one.Progress.back(), 100);
            for (int threads : {2, 8}) {
                const WarpRun many = Warp(threads, src, from, to, method, size[0], size[1]);
                EXPECT_TRUE(many.Bytes == one.Bytes) << method << " " << threads;
                EXPECT_EQ(many.Progress, one.Progress);
                EXPECT_EQ(many.Messages, 0u);
            }
        }
}

TEST(WarpThreads, RefusedLinesKeepTheMapOfTheLineBeforeOnAnyNumberOfThreads)
{
    // A left border node pulled inwards: the source rows near it start right
    // of x = 0, so their maps are refused and each keeps the map of the last
    // row before that had one. The refused run is longer than a band, so
    // bands start inside it.
    const RasterImage src = RandomPicture(240, 400, 9);
    TMeshDefsData from = Mesh(5, 5, 0.0);
    from.X[from.Index(0, 2)] = 0.2;
    // A top border node pulled down does the same to columns of pass 2.
    from.Y[from.Index(2, 0)] = 0.15;
    const TMeshDefsData to = Mesh(5, 5, 1.0);
    const TMeshDefsData f = MeshInPixels(from, 240, 400);
    const TMeshDefsData t = MeshInPixels(to, 260, 380);
    for (int method = 0; method < 4; ++method) {
        const WarpRun one = Warp(1, src, f, t, method, 260, 380);
        // Linear names every refused line (and grid curve); Catmull-Rom
        // refuses silently.
        if ((method & kWarpSplineIntervals) == 0)
            EXPECT_GT(one.Messages, 32u) << method;
        else if ((method & kWarpSplineMesh) == 0)
            EXPECT_LT(one.Messages, 5u) << method;
        else
            EXPECT_EQ(one.Messages, 0u) << method;
        for (int threads : {2, 8}) {
            const WarpRun many = Warp(threads, src, f, t, method, 260, 380);
            EXPECT_TRUE(many.Bytes == one.Bytes) << method << " " << threads;
            EXPECT_EQ(many.Messages, one.Messages);
            EXPECT_EQ(many.Progress, one.Progress);
        }
        // Every line a band of its own against one band of all lines, which
        // is the warp going through its lines one after the other.
        SetWarpBandLines(1);
        const WarpRun single = Warp(2, src, f, t, method, 260, 380);
        SetWarpBandLines(1 << 20);
        const WarpRun whole = Warp(2, src, f, t, method, 260, 380);
        SetWarpBandLines(0);
        EXPECT_TRUE(single.Bytes == one.Bytes) << method;
        EXPECT_TRUE(whole.Bytes == one.Bytes) << method;
        EXPECT_EQ(single.Progress, one.Progress);
    }
}

TEST(WarpThreads, MorphFrameIsTheSameOnAnyNumberOfThreads)
{
    const RasterImage left = RandomPicture(320, 200, 1);
    const RasterImage right = RandomPicture(280, 260, 2);
    const TMeshDefsData leftMesh = Mesh(6, 6, 0.3);
    const TMeshDefsData rightMesh = Mesh(6, 6, 1.7);
    MeshMorphSettings s;
    std::memset(&s, 0, sizeof s);
    s.DoMorph = 1;
    s.TotalFrames = 7;
    s.FirstFrame = 1;
    s.LastFrame = 7;
    s.ResultWidth = 333;
    s.ResultHeight = 177;
    for (int method = 0; method < 4; ++method) {
        s.WarpMethod = static_cast<uint8_t>(method);
        std::vector<uint8_t> first;
        for (int threads : {1, 2, 8})
            WithThreads(threads, [&] {
                RasterImage frame;
                ASSERT_FALSE(MeshFrame(left, leftMesh, right, rightMesh, s, 3, frame));
                if (first.empty())
                    first = PixelBytes(frame);
                else
                    EXPECT_TRUE(PixelBytes(frame) == first) << method << " " << threads;
            });
        // Frame 3 of 7 is neither picture alone.
        RasterImage a;
        s.DoMorph = 0;
        ASSERT_FALSE(MeshFrame(left, leftMesh, right, rightMesh, s, 3, a));
        s.DoMorph = 1;
        EXPECT_FALSE(PixelBytes(a) == first);
    }
}
