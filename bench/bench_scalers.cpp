// Throughput of the display scalers in megapixels of output per second:
// a large picture reduced to a screen, and a small one enlarged to full HD,
// on 1 and 2 threads (wall-clock time).
#include <benchmark/benchmark.h>


#include "bench_support.h"
#include "bench_threads.h"
#include "images/display_scale.h"

namespace {

template <void (*Scale)(const RasterImage&, RasterImage&)>
void Run(benchmark::State& state)
{
    const RasterImage src = NoisePicture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 42);
    RasterImage dst;
    dst.Init(static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
    OnThreads(state, static_cast<int>(state.range(4)), [&] {
        for (auto _ : state) {
            Scale(src, dst);
            benchmark::DoNotOptimize(dst.Lock());
            benchmark::ClobberMemory();
        }
    });
    const double outPixels = static_cast<double>(dst.Width()) * dst.Height();
    ReportMegapixels(state, outPixels);
}

// The same reductions with the AVX2 row path turned off.
template <void (*Scale)(const RasterImage&, RasterImage&)>
void RunPlain(benchmark::State& state)
{
    SetVectorScaling(false);
    Run<Scale>(state);
    SetVectorScaling(true);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->ArgsProduct({{4096}, {4096}, {1280}, {800}, {1, 2}})
        ->ArgsProduct({{640}, {480}, {1920}, {1080}, {1, 2}})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void Reducing(benchmark::internal::Benchmark* b)
{
    b->Args({4096, 4096, 1280, 800, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(Run<ScaleQuick>)->Name("ScaleQuick")->Apply(Sizes);
BENCHMARK(Run<ScaleNormal>)->Name("ScaleNormal")->Apply(Sizes);
BENCHMARK(Run<ScaleHigh>)->Name("ScaleHigh")->Apply(Sizes);
BENCHMARK(RunPlain<ScaleNormal>)->Name("ScaleNormalPlain")->Apply(Reducing);
BENCHMARK(RunPlain<ScaleHigh>)->Name("ScaleHighPlain")->Apply(Reducing);

BENCHMARK_MAIN();
