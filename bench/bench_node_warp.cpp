// Node warp throughput: 1920 x 1080 into 1920 x 1080 with 100 nodes, one
// thread, for the four special exponents and a general one.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "bench_support.h"
#include "node/node_defs.h"
#include "node/node_warp.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kNodes = 100;

void FillPicture(RasterImage& picture)
{
    uint8_t* p = picture.Lock();
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            uint8_t* px = p + y * picture.RowBytes + 3 * x;
            px[0] = static_cast<uint8_t>(x);
            px[1] = static_cast<uint8_t>(y);
            px[2] = static_cast<uint8_t>(x ^ y);
        }
    picture.Unlock();
}

void BM_NodeWarp(benchmark::State& state)
{
    const double mi = static_cast<double>(state.range(0)) / 10.0;
    RasterImage source, output;
    source.Init(kWidth, kHeight);
    output.Init(kWidth, kHeight);
    FillPicture(source);

    // Nodes on a jittered grid, moved a little: a realistic, well-posed set.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-20.0, 20.0);
    TNodeDefsData from(kNodes), to(kNodes);
    for (int i = 0; i < kNodes; ++i) {
        const double x = 96.0 + (i % 10) * 192.0 + jitter(rng);
        const double y = 54.0 + (i / 10) * 108.0 + jitter(rng);
        from.X[i] = x;
        from.Y[i] = y;
        to.X[i] = x + jitter(rng);
        to.Y[i] = y + jitter(rng);
    }
    NodeRadiusMode = 1;
    NodeRadius = 50.0;
    NodeMi = mi;
    from.ComputeRadii(NodeRadiusMode);

    for (auto _ : state) {
        const NodeWarpStatus st = NodeWarp(source, from, to, output, from.Radii);
        if (st != NodeWarpStatus::Ok)
            state.SkipWithError("node warp failed");
        benchmark::DoNotOptimize(output.Lock());
    }
    ReportMegapixels(state, static_cast<double>(kWidth) * kHeight);
    state.SetLabel("mi = " + std::to_string(mi).substr(0, 4));
}

}  // namespace

BENCHMARK(BM_NodeWarp)->Arg(-10)->Arg(-5)->Arg(5)->Arg(10)->Arg(17)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
