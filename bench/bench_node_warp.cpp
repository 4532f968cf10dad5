// Node warp throughput: 1920 x 1080 into 1920 x 1080 with 100 nodes, for the
// four special exponents and a general one, on 1 and 2 threads; and a
// 640 x 480 node morph frame with 30 nodes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "bench_support.h"
#include "bench_threads.h"
#include "node/node_defs.h"
#include "node/node_frame.h"
#include "node/node_warp.h"
#include "node/node_warp_fast.h"

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

// Nodes on a jittered grid of columns x rows cells over w x h pixels,
// moved a little: a realistic, well-posed set.
void GridNodes(int columns, int rows, double w, double h, TNodeDefsData& from, TNodeDefsData& to)
{
    std::mt19937 rng(7);
    const double cw = w / columns, ch = h / rows;
    std::uniform_real_distribution<double> jitter(-0.1, 0.1);
    from = TNodeDefsData(columns * rows);
    to = TNodeDefsData(columns * rows);
    for (int i = 0; i < columns * rows; ++i) {
        const double x = (0.5 + i % columns + 2 * jitter(rng)) * cw;
        const double y = (0.5 + i / columns + 2 * jitter(rng)) * ch;
        from.X[i] = x;
        from.Y[i] = y;
        to.X[i] = x + jitter(rng) * cw;
        to.Y[i] = y + jitter(rng) * ch;
    }
}

// Arguments: 10 x mi, threads, fast evaluation (1) or plain (0).
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
    SetFastNodeWarp(state.range(2) != 0);
    NodeRadiusMode = 1;
    NodeRadius = 50.0;
    NodeMi = mi;
    from.ComputeRadii(NodeRadiusMode);

    OnThreads(state, static_cast<int>(state.range(1)), [&] {
        for (auto _ : state) {
            const NodeWarpStatus st = NodeWarp(source, from, to, output, from.Radii);
            if (st != NodeWarpStatus::Ok)
                state.SkipWithError("node warp failed");
            benchmark::DoNotOptimize(output.Lock());
        }
    });
    SetFastNodeWarp(true);
    ReportMegapixels(state, static_cast<double>(kWidth) * kHeight);
    state.SetLabel("mi = " + std::to_string(mi).substr(0, 4));
}

// A 640 x 480 node morph frame (frame 3 of 5) with 30 nodes, mi = -1,
// adaptive radii. Argument: threads.
void BM_NodeMorphFrame(benchmark::State& state)
{
    constexpr int w = 640, h = 480;
    RasterImage left, right, frame;
    left.Init(w, h);
    right.Init(w, h);
    FillPicture(left);
    FillPicture(right);
    TNodeDefsData from, to;
    GridNodes(6, 5, 1.0, 1.0, from, to);
    NodeMorphSettings s{};
    s.WarpMethod = 1;
    s.DoMorph = 1;
    s.TotalFrames = 5;
    s.FirstFrame = 1;
    s.LastFrame = 5;
    s.ResultWidth = w;
    s.ResultHeight = h;
    NodeRadiusMode = 1;
    NodeRadius = 50.0;
    NodeMi = -1.0;
    OnThreads(state, static_cast<int>(state.range(0)), [&] {
        for (auto _ : state) {
            if (NodeFrame(left, from, right, to, s, 3, frame))
                state.SkipWithError("node frame failed");
            benchmark::DoNotOptimize(frame.Lock());
        }
    });
    ReportMegapixels(state, static_cast<double>(w) * h);
}

}  // namespace

BENCHMARK(BM_NodeWarp)
    ->ArgsProduct({{-10, -5, 5, 10, 17}, {1, 2}, {1}})
    ->ArgsProduct({{-10, -5, 5, 10, 17}, {1}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_NodeMorphFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
