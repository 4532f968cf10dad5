// Shared by the benchmarks: noise pictures, decoding a picture file and the
// megapixel rate.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "images/picture_file.h"
#include "images/raster_image.h"

// A picture of random bytes, the same for the same seed.
inline RasterImage NoisePicture(int width, int height, uint32_t seed)
{
    RasterImage image;
    image.Init(width, height);
    std::mt19937 rng(seed);
    uint8_t* p = image.Lock();
    for (int32_t k = 0; k < image.ImageSize; ++k)
        p[k] = static_cast<uint8_t>(rng());
    image.Unlock();
    return image;
}

// Reads file through LoadPictureFile once an iteration, freeing the packed
// picture again.
inline void DecodeEachIteration(benchmark::State& state, const std::string& file)
{
    for (auto _ : state) {
        uint8_t* dib = LoadPictureFile(file);
        if (!dib) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(dib);
        FreePackedDib(dib);
    }
}

// Reports "Mpx/s": pixels made per iteration, per second.
inline void ReportMegapixels(benchmark::State& state, double pixelsPerIteration)
{
    state.counters["Mpx/s"] = benchmark::Counter(
        pixelsPerIteration * static_cast<double>(state.iterations()) / 1e6,
        benchmark::Counter::kIsRate);
}
