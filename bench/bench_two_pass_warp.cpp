// Throughput of the two-pass mesh warp: a 1920 x 1080 picture onto 1920 x 1080
// with a 10 x 10 mesh whose interior nodes are displaced smoothly, for each
// of the four warp methods, with the vector line routine (the default where
// the processor has it) and with the plain one. Reports megapixels
// (destination) per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "bench_support.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "mesh/two_pass_warp.h"

namespace {
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kNodes = 10;

// A regular grid over the picture in pixels; with displace, the interior
// nodes move by a smooth field of up to a sixth of a cell.
TMeshDefsData PixelMesh(bool displace)
{
    TMeshDefsData mesh(kNodes, kNodes);
    const double cellX = (kWidth - 1.0) / (kNodes - 1);
    const double cellY = (kHeight - 1.0) / (kNodes - 1);
    for (int j = 0; j < kNodes; ++j) {
        for (int i = 0; i < kNodes; ++i) {
            double x = i * cellX;
            double y = j * cellY;
            const bool interior = i > 0 && i < kNodes - 1 && j > 0 && j < kNodes - 1;
            if (displace && interior) {
                x += cellX / 6 * std::sin(0.9 * i + 0.4 * j);
                y += cellY / 6 * std::cos(0.5 * i - 0.8 * j);
            }
            mesh.SetNode(i, j, {x, y}, false);
        }
    }
    return mesh;
}

void BM_TwoPassWarp(benchmark::State& state)
{
    const int method = static_cast<int>(state.range(0));
    SetVectorWarp(state.range(1) != 0);
    const RasterImage src = NoisePicture(kWidth, kHeight, 7);
    RasterImage dst;
    dst.Init(kWidth, kHeight);
    const TMeshDefsData srcMesh = PixelMesh(false);
    const TMeshDefsData dstMesh = PixelMesh(true);
    for (auto _ : state) {
        TwoPassWarp(src, srcMesh, dstMesh, method, dst);
        benchmark::DoNotOptimize(dst.Lock());
        benchmark::ClobberMemory();
    }
    ReportMegapixels(state, static_cast<double>(kWidth) * kHeight);
    SetVectorWarp(true);
}
}  // namespace

BENCHMARK(BM_TwoPassWarp)
    ->ArgNames({"method", "vector"})
    ->ArgsProduct({{0, 1, 2, 3}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
