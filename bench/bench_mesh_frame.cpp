// One mesh morph frame at 1920 x 1080: two two-pass warps of 1920 x 1080
// pictures with 10 x 10 meshes and the cross-dissolve, frame 3 of 5, for each
// warp method; the same at 640 x 480; and the cross-dissolve alone. Each on
// 1 and 2 threads. Reports megapixels of the frame per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "bench_support.h"
#include "bench_threads.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "mesh/mesh_frame.h"

namespace {
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kNodes = 10;

// A regular normalised grid; with phase, the interior nodes move by a smooth
// field of up to a sixth of a cell.
TMeshDefsData Mesh(double phase)
{
    TMeshDefsData mesh(kNodes, kNodes);
    const double cell = 1.0 / (kNodes - 1);
    for (int j = 0; j < kNodes; ++j)
        for (int i = 0; i < kNodes; ++i) {
            double x = i * cell;
            double y = j * cell;
            if (i > 0 && i < kNodes - 1 && j > 0 && j < kNodes - 1) {
                x += cell / 6 * std::sin(0.9 * i + 0.4 * j + phase);
                y += cell / 6 * std::cos(0.5 * i - 0.8 * j + phase);
            }
            mesh.SetNode(i, j, {x, y}, false);
        }
    return mesh;
}

MeshMorphSettings MorphSettings(int method)
{
    MeshMorphSettings s;
    std::memset(&s, 0, sizeof s);
    s.WarpMethod = static_cast<uint8_t>(method);
    s.DoAnimation = 1;
    s.DoMorph = 1;
    s.TotalFrames = 5;
    s.FirstFrame = 1;
    s.LastFrame = 5;
    s.CurrentFrame = 3;
    s.ResultWidth = kWidth;
    s.ResultHeight = kHeight;
    return s;
}

// Arguments: warp method, threads, frame width and height.
void BM_MeshMorphFrame(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(2));
    const int height = static_cast<int>(state.range(3));
    const RasterImage left = NoisePicture(width, height, 1);
    const RasterImage right = NoisePicture(width, height, 2);
    RasterImage frame;
    const TMeshDefsData leftMesh = Mesh(0.0);
    const TMeshDefsData rightMesh = Mesh(1.3);
    MeshMorphSettings s = MorphSettings(static_cast<int>(state.range(0)));
    s.ResultWidth = width;
    s.ResultHeight = height;
    OnThreads(state, static_cast<int>(state.range(1)), [&] {
        for (auto _ : state) {
            if (MeshFrame(left, leftMesh, right, rightMesh, s, 3, frame))
                state.SkipWithError("MeshFrame failed");
            benchmark::DoNotOptimize(frame.Lock());
        }
    });
    ReportMegapixels(state, static_cast<double>(width) * height);
}
BENCHMARK(BM_MeshMorphFrame)
    ->ArgsProduct({{0, 1, 2, 3}, {1, 2}, {kWidth}, {kHeight}})
    ->ArgsProduct({{0, 3}, {1, 2}, {640}, {480}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CrossDissolve(benchmark::State& state)
{
    const RasterImage a = NoisePicture(kWidth, kHeight, 3);
    const RasterImage b = NoisePicture(kWidth, kHeight, 4);
    RasterImage frame;
    frame.Init(kWidth, kHeight);
    OnThreads(state, static_cast<int>(state.range(0)), [&] {
        for (auto _ : state) {
            CrossDissolve(a, b, 3, 5, frame);
            benchmark::DoNotOptimize(frame.Lock());
        }
    });
    ReportMegapixels(state, static_cast<double>(kWidth) * kHeight);
}
BENCHMARK(BM_CrossDissolve)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
