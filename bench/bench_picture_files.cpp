// Throughput of the picture files: decoding 4096 x 4096 run-length encoded
// TGA and PCX files, writing 4096 x 4096 BMP and TGA files. Reports bytes of
// 24-bit pixels per second and megapixels per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "images/raster_image.h"

namespace {
constexpr int kSize = 4096;

std::string TempName(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::string("qv-bench-") + name)).string();
}

// A picture with flat stretches and detail, so that both run and literal
// packets occur: value at (x, y) as blue, green, red.
void Pixel(int x, int y, uint8_t* bgr)
{
    const bool flat = ((x / 64) + (y / 64)) % 3 == 0;
    bgr[0] = flat ? 40 : static_cast<uint8_t>(x * 7 + y);
    bgr[1] = flat ? 90 : static_cast<uint8_t>(x ^ y);
    bgr[2] = flat ? 200 : static_cast<uint8_t>(y * 3);
}

void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

const std::string& TgaFile()
{
    static const std::string name = [] {
        std::vector<uint8_t> b(18, 0);
        b[2] = 10;
        b[12] = kSize & 0xFF;
        b[13] = kSize >> 8;
        b[14] = kSize & 0xFF;
        b[15] = kSize >> 8;
        b[16] = 24;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize;) {
                uint8_t p[3], q[3];
                Pixel(x, y, p);
                int n = 1;
                while (x + n < kSize && n < 128 && (Pixel(x + n, y, q), q[0] == p[0] && q[1] == p[1] && q[2] == p[2]))
                    ++n;
                if (n > 1) {
                    b.push_back(static_cast<uint8_t>(0x80 | (n - 1)));
                    b.insert(b.end(), p, p + 3);
                } else {
                    n = std::min(kSize - x, 16);
                    b.push_back(static_cast<uint8_t>(n - 1));
                    for (int k = 0; k < n; ++k) {
                        Pixel(x + k, y, q);
                        b.insert(b.end(), q, q + 3);
                    }
                }
                x += n;
            }
        }
        const std::string file = TempName("decode.tga");
        WriteFile(file, b);
        return file;
    }();
    return name;
}

const std::string& PcxFile()
{
    static const std::string name = [] {
        std::vector<uint8_t> b(128, 0);
        b[0] = 10;
        b[1] = 5;
        b[2] = 1;
        b[3] = 8;
        b[8] = (kSize - 1) & 0xFF;
        b[9] = (kSize - 1) >> 8;
        b[10] = (kSize - 1) & 0xFF;
        b[11] = (kSize - 1) >> 8;
        b[65] = 3;
        b[66] = kSize & 0xFF;
        b[67] = kSize >> 8;
        std::vector<uint8_t> plane(kSize);
        for (int y = 0; y < kSize; ++y) {
            for (int c = 2; c >= 0; --c) {  // red, green, blue planes
                for (int x = 0; x < kSize; ++x) {
                    uint8_t p[3];
                    Pixel(x, y, p);
                    plane[x] = p[c];
                }
                for (int x = 0; x < kSize;) {
                    int n = 1;
                    while (x + n < kSize && n < 63 && plane[x + n] == plane[x])
                        ++n;
                    if (n > 1 || plane[x] >= 0xC0)
                        b.insert(b.end(), {static_cast<uint8_t>(0xC0 | n), plane[x]});
                    else
                        b.push_back(plane[x]);
                    x += n;
                }
            }
        }
        const std::string file = TempName("decode.pcx");
        WriteFile(file, b);
        return file;
    }();
    return name;
}

void Report(benchmark::State& state)
{
    const double pixels = static_cast<double>(kSize) * kSize * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(3 * pixels));
    state.counters["Mpixel/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

void Decode(benchmark::State& state, const std::string& file)
{
    DecodeEachIteration(state, file);
    Report(state);
}

void BM_DecodeTgaRle(benchmark::State& state) { Decode(state, TgaFile()); }
void BM_DecodePcxRle(benchmark::State& state) { Decode(state, PcxFile()); }

void Write(benchmark::State& state, const char* name)
{
    RasterImage image;
    image.Init(kSize, kSize);
    uint8_t* p = image.Lock();
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            Pixel(x, y, p + static_cast<size_t>(y) * image.RowBytes + 3 * x);
    image.Unlock();
    const std::string file = TempName(name);
    for (auto _ : state) {
        if (SavePicture(file, image)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    std::remove(file.c_str());
    Report(state);
}

void BM_WriteBmp(benchmark::State& state) { Write(state, "write.bmp"); }
void BM_WriteTga(benchmark::State& state) { Write(state, "write.tga"); }

BENCHMARK(BM_DecodeTgaRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePcxRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTga)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
