// PNG and JPEG pictures: decoding 4096 x 4096 files through LoadPictureFile
// beside the libraries decoding the same files, already in memory, into a
// fresh picture-sized block in their own layout (the pace they set; the
// difference is ours: reading the file and the conversion into the packed
// picture's rows); and a 640 x 480 morph frame rendered and written as TGA or
// as PNG. Reports megapixels per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <spng.h>

#include "bench_support.h"
#include "images/picture_file.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "mesh/mesh_frame.h"

namespace {
constexpr int kSize = 4096;

std::string TempName(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::string("qv-bench-") + name)).string();
}

std::vector<uint8_t> ReadFile(const std::string& name)
{
    std::vector<uint8_t> bytes;
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(static_cast<size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
            bytes.clear();
        std::fclose(f);
    }
    return bytes;
}

void WriteFile(const std::string& name, const void* data, size_t n)
{
    if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
        std::fwrite(data, 1, n, f);
        std::fclose(f);
    }
}

// Something like a photo: smooth shading with fine grain, red, green, blue.
void Photo(int x, int y, uint8_t* rgb)
{
    const uint32_t grain = (static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u) >> 28;
    rgb[0] = static_cast<uint8_t>(120 + 90 * std::sin(x * 0.0021 + y * 0.0013) + grain);
    rgb[1] = static_cast<uint8_t>(110 + 80 * std::cos(x * 0.0017 - y * 0.0024) + grain);
    rgb[2] = static_cast<uint8_t>(100 + 70 * std::sin((x + y) * 0.0011) + grain);
}

// A PNG of the photo made with the library's default (thorough) settings,
// as other programs write them; with alpha, a ramp of transparency.
const std::string& PngFile(bool alpha)
{
    static std::string names[2];
    std::string& name = names[alpha];
    if (!name.empty())
        return name;
    const int channels = alpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(kSize) * kSize * channels);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * kSize + x) * channels];
            Photo(x, y, p);
            if (alpha)
                p[3] = static_cast<uint8_t>((x + y) / 32);
        }
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = ihdr.height = kSize;
    ihdr.bit_depth = 8;
    ihdr.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    spng_set_ihdr(ctx, &ihdr);
    spng_encode_image(ctx, pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t n = 0;
    int error = 0;
    void* png = spng_get_png_buffer(ctx, &n, &error);
    name = TempName(alpha ? "decode-alpha.png" : "decode.png");
    WriteFile(name, png, n);
    std::free(png);
    spng_ctx_free(ctx);
    return name;
}

// A JPEG of the photo at quality 90 with 4:2:0 colour, as cameras write them.
const std::string& JpegFile()
{
    static const std::string name = [] {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long n = 0;
        jpeg_mem_dest(&c, &out, &n);
        c.image_width = c.image_height = kSize;
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 90, TRUE);
        jpeg_start_compress(&c, TRUE);
        std::vector<uint8_t> row(3 * kSize);
        while (c.next_scanline < c.image_height) {
            for (int x = 0; x < kSize; ++x)
                Photo(x, static_cast<int>(c.next_scanline), &row[3 * x]);
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        const std::string file = TempName("decode.jpg");
        WriteFile(file, out, n);
        std::free(out);
        jpeg_destroy_compress(&c);
        return file;
    }();
    return name;
}

void Decode(benchmark::State& state, const std::string& file)
{
    DecodeEachIteration(state, file);
    ReportMegapixels(state, static_cast<double>(kSize) * kSize);
}

// The library alone: rows in its own format, one after the other, into a
// cleared block of the picture's size, as the packed picture is.
void DecodePngLibrary(benchmark::State& state, bool alpha)
{
    const std::vector<uint8_t> file = ReadFile(PngFile(alpha));
    const int format = alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    const size_t rowBytes = static_cast<size_t>(kSize) * (alpha ? 4 : 3);
    for (auto _ : state) {
        auto* image = static_cast<uint8_t*>(std::calloc(rowBytes, kSize));
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_buffer(ctx, file.data(), file.size());
        int e = spng_decode_image(ctx, nullptr, 0, format, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
        for (size_t y = 0; e == 0; ++y)
            e = spng_decode_row(ctx, image + y * rowBytes, rowBytes);
        spng_ctx_free(ctx);
        benchmark::DoNotOptimize(image);
        std::free(image);
        if (e != SPNG_EOI) {
            state.SkipWithError("decode failed");
            break;
        }
    }
    ReportMegapixels(state, static_cast<double>(kSize) * kSize);
}

void BM_DecodePng(benchmark::State& state) { Decode(state, PngFile(false)); }
void BM_DecodePngLibrary(benchmark::State& state) { DecodePngLibrary(state, false); }
void BM_DecodePngAlpha(benchmark::State& state) { Decode(state, PngFile(true)); }
void BM_DecodePngAlphaLibrary(benchmark::State& state) { DecodePngLibrary(state, true); }

void BM_DecodeJpeg(benchmark::State& state) { Decode(state, JpegFile()); }
void BM_DecodeJpegLibrary(benchmark::State& state)
{
    const std::vector<uint8_t> file = ReadFile(JpegFile());
    const size_t rowBytes = static_cast<size_t>(3) * kSize;
    for (auto _ : state) {
        auto* image = static_cast<uint8_t*>(std::calloc(rowBytes, kSize));
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, file.data(), file.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW r[4];
            for (size_t i = 0; i < 4; ++i)
                r[i] = image + (d.output_scanline + i) * rowBytes;
            jpeg_read_scanlines(&d, r, 4);
        }
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(image);
        std::free(image);
    }
    ReportMegapixels(state, static_cast<double>(kSize) * kSize);
}

BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePngAlphaLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpegLibrary)->Unit(benchmark::kMillisecond);

// A morph frame of two photos, rendered and stored as the animation does.
constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;

RasterImage PhotoPicture(int shift)
{
    RasterImage image;
    image.Init(kFrameWidth, kFrameHeight);
    uint8_t* p = image.Lock();
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) {
            uint8_t rgb[3];
            Photo(4 * x + shift, 4 * y, rgb);
            uint8_t* d = p + static_cast<size_t>(y) * image.RowBytes + 3 * x;
            d[0] = rgb[2];
            d[1] = rgb[1];
            d[2] = rgb[0];
        }
    image.Unlock();
    return image;
}

TMeshDefsData FrameMesh(double shift)
{
    TMeshDefsData mesh(5, 5);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) {
            const bool inner = i > 0 && i < 4 && j > 0 && j < 4;
            mesh.SetNode(i, j, {i / 4.0 + (inner ? shift : 0.0), j / 4.0}, false);
        }
    return mesh;
}

void RenderAndStore(benchmark::State& state, const char* name)
{
    const RasterImage left = PhotoPicture(0);
    const RasterImage right = PhotoPicture(900);
    const TMeshDefsData leftMesh = FrameMesh(0.0);
    const TMeshDefsData rightMesh = FrameMesh(0.05);
    MeshMorphSettings s;
    std::memset(&s, 0, sizeof s);
    s.DoAnimation = 1;
    s.DoMorph = 1;
    s.TotalFrames = 5;
    s.FirstFrame = s.LastFrame = s.CurrentFrame = 3;
    s.ResultWidth = kFrameWidth;
    s.ResultHeight = kFrameHeight;
    const std::string file = TempName(name);
    RasterImage frame;
    for (auto _ : state) {
        if (MeshFrame(left, leftMesh, right, rightMesh, s, 3, frame) || SavePicture(file, frame)) {
            state.SkipWithError("frame failed");
            break;
        }
    }
    std::remove(file.c_str());
    ReportMegapixels(state, static_cast<double>(kFrameWidth) * kFrameHeight);
}

void BM_MorphFrameToTga(benchmark::State& state) { RenderAndStore(state, "frame.TGA"); }
void BM_MorphFrameToPng(benchmark::State& state) { RenderAndStore(state, "frame.PNG"); }

BENCHMARK(BM_MorphFrameToTga)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MorphFrameToPng)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
