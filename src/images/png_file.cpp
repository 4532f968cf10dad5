// PNG pictures. Read through libspng: every colour type and bit depth,
// interlaced or not; 16-bit samples are rounded to 8 bits and transparency
// is composited over black. Written as 8-bit RGB, not interlaced, the data
// compressed by libdeflate at a fast level.
#include <libdeflate.h>
#include <spng.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "images/error_box.h"
#include "images/picture_formats.h"
#include "images/picture_io.h"
#include "images/progress.h"
#include "images/rgb_rows.h"

namespace {
struct SpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using SpngContext = std::unique_ptr<spng_ctx, SpngFree>;

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate expands its input at most 1032-fold: a file smaller than its
// filtered rows / 1032 cannot hold the picture its header claims.
constexpr int64_t kMaxDeflateRatio = 1032;
// Text, profiles and other side chunks: one may hold 16 MiB, all together 64 MiB.
constexpr size_t kMaxChunkBytes = size_t{1} << 24;
constexpr size_t kMaxChunkCache = size_t{1} << 26;
// Written frames: libdeflate's fastest level over rows with the Up filter;
// it compresses better than zlib's fastest at twice the pace, so that PNG
// frames keep up with rendering them.
constexpr int kWriteLevel = 1;
constexpr size_t kIdatBytes = size_t{1} << 20;  // compressed data per IDAT chunk

bool Refuse(int code, const std::string& text)
{
    ShowErrorBox(code, text + Pio.FileName);
    return true;
}

bool Damaged(int error)
{
    if (error == SPNG_EMEM) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    if (error == SPNG_EOF || error == SPNG_IO_EOF || error == SPNG_EIDAT_TOO_SHORT)
        return Refuse(12, "PNG file ends too early: ");
    ShowErrorBox(12, "Damaged PNG file: " + Pio.FileName + " (" + spng_strerror(error) + ")");
    return true;
}

int SamplesPerPixel(int colourType)
{
    switch (colourType) {
    case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
    default: return 1;  // grey, palette
    }
}

void RowFromRgba16(const uint8_t* bytes, uint8_t* d, int32_t width)
{
    Rgba16OverBlack(reinterpret_cast<const uint16_t*>(bytes), d, width);
}

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

void PutBe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// Length, type, data and the CRC of type and data.
bool WriteChunk(const char* type, const uint8_t* data, size_t n)
{
    uint8_t head[8];
    PutBe32(head, static_cast<uint32_t>(n));
    std::memcpy(head + 4, type, 4);
    // libdeflate_crc32 starts afresh for a null buffer: the empty IEND skips it.
    uint32_t sum = libdeflate_crc32(0, head + 4, 4);
    if (n > 0)
        sum = libdeflate_crc32(sum, data, n);
    uint8_t crc[4];
    PutBe32(crc, sum);
    return WriteOutput(head, sizeof head) && WriteOutput(data, n) && WriteOutput(crc, sizeof crc);
}

// The picture's rows as PNG stores them, top row first: filter byte 2 (Up:
// each byte less the one above it, the top row as it is), then red, green,
// blue.
void FilterRows(const uint8_t* pixels, const RasterImage& image, uint8_t* out)
{
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const size_t rowBytes = 1 + size_t{3} * static_cast<size_t>(width);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = out + static_cast<size_t>(y) * rowBytes;
        row[0] = 2;
        SwapRedBlue(pixels + static_cast<size_t>(height - 1 - y) * image.RowBytes, row + 1, width);
    }
    // Bottom up, so that the row above is still unfiltered.
    for (int32_t y = height - 1; y > 0; --y) {
        uint8_t* row = out + static_cast<size_t>(y) * rowBytes + 1;
        const uint8_t* above = row - rowBytes;
        for (size_t i = 0; i + 1 < rowBytes; ++i)
            row[i] = static_cast<uint8_t>(row[i] - above[i]);
    }
}
}  // namespace

bool ReadPng()
{
    Pio.LoadWholeFile = true;
    if (OpenInputFile())
        return true;
    const std::vector<uint8_t>& file = Pio.Memory;
    if (file.size() < sizeof kSignature || std::memcmp(file.data(), kSignature, sizeof kSignature) != 0)
        return Refuse(15, "This is not a PNG picture: ");
    SpngContext ctx(spng_ctx_new(0));
    if (!ctx)
        return Damaged(SPNG_EMEM);
    // A damaged side chunk is dropped; damaged picture data is refused.
    spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
    spng_set_chunk_limits(ctx.get(), kMaxChunkBytes, kMaxChunkCache);
    spng_set_png_buffer(ctx.get(), file.data(), file.size());

    spng_ihdr ihdr;
    if (const int e = spng_get_ihdr(ctx.get(), &ihdr))
        return Damaged(e);
    spng_trns trns;
    const int trnsState = spng_get_trns(ctx.get(), &trns);
    if (trnsState != SPNG_OK && trnsState != SPNG_ECHUNKAVAIL)
        return Damaged(trnsState);
    const bool alpha = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                       ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA || trnsState == SPNG_OK;
    // The library expands palettes, grey and small depths; 16-bit samples
    // and alpha are ours to round and composite.
    int format = SPNG_FMT_RGB8;
    int64_t pixelBytes = 3;
    void (*convert)(const uint8_t*, uint8_t*, int32_t) = SwapRedBlue;
    if (ihdr.bit_depth == 16) {
        format = SPNG_FMT_RGBA16;
        pixelBytes = 8;
        convert = RowFromRgba16;
    } else if (alpha) {
        format = SPNG_FMT_RGBA8;
        pixelBytes = 4;
        convert = RgbaOverBlack;
    }
    const int64_t width = ihdr.width;
    const int64_t height = ihdr.height;
    const bool interlaced = ihdr.interlace_method != 0;
    // Interlaced rows arrive in seven passes: the whole picture waits in the
    // decoding format; otherwise one row does.
    const int64_t decodedBytes = (interlaced ? height : 1) * width * pixelBytes;
    if (RefusePictureSize(width, height, decodedBytes))
        return true;
    const int64_t filteredBytes =
        height * (1 + (width * SamplesPerPixel(ihdr.color_type) * ihdr.bit_depth + 7) / 8);
    if (Pio.InputSize * kMaxDeflateRatio < filteredBytes)
        return Refuse(12, "PNG file ends too early: ");

    NewDib24(width, height);
    std::vector<uint8_t> rows;
    try {
        rows.resize(static_cast<size_t>(decodedBytes));
    } catch (const std::bad_alloc&) {
        FreeDib();
    }
    if (!Pio.Dib)
        return Damaged(SPNG_EMEM);
    if (const int e = spng_decode_image(ctx.get(), nullptr, 0, format,
                                        SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE))
        return Damaged(e);

    const size_t rowBytes = static_cast<size_t>(width * pixelBytes);
    int e = 0;
    do {
        spng_row_info info;
        e = spng_get_row_info(ctx.get(), &info);
        if (e != SPNG_OK)
            break;
        uint8_t* row = interlaced ? rows.data() + info.row_num * rowBytes : rows.data();
        e = spng_decode_row(ctx.get(), row, rowBytes);
        if (e != SPNG_OK && e != SPNG_EOI)
            break;
        if (!interlaced)
            convert(row, DibRowFromTop(info.row_num, height), static_cast<int32_t>(width));
        if (ProgressActive()) {
            const double done = interlaced ? (info.pass + (info.row_num + 1.0) / height) / 7.0
                                           : (info.row_num + 1.0) / height;
            SetProgress(static_cast<int>(std::nearbyint(done * 100.0)));
        }
    } while (e == SPNG_OK);
    if (e != SPNG_EOI)
        return Damaged(e);
    if (interlaced) {
        for (int64_t y = 0; y < height; ++y)
            convert(rows.data() + y * rowBytes, DibRowFromTop(y, height), static_cast<int32_t>(width));
    }
    CloseFile();
    return false;
}

bool WritePng(const std::string& fileName, const RasterImage& image)
{
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    if (width <= 0 || height <= 0) {
        ShowErrorBox(13, "Error writing to file: " + fileName);
        return true;
    }
    const size_t rowBytes = 1 + size_t{3} * static_cast<size_t>(width);
    const size_t filteredBytes = rowBytes * static_cast<size_t>(height);
    const Compressor compressor(libdeflate_alloc_compressor(kWriteLevel));
    std::vector<uint8_t> filtered, packed;
    try {
        if (!compressor)
            throw std::bad_alloc();
        filtered.resize(filteredBytes);
        packed.resize(libdeflate_zlib_compress_bound(compressor.get(), filteredBytes));
    } catch (const std::bad_alloc&) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    return WritePictureFile(fileName, image, [&](const uint8_t* pixels) {
        FilterRows(pixels, image, filtered.data());
        const size_t packedBytes = libdeflate_zlib_compress(compressor.get(), filtered.data(), filteredBytes,
                                                            packed.data(), packed.size());
        uint8_t header[13] = {};
        PutBe32(header, static_cast<uint32_t>(width));
        PutBe32(header + 4, static_cast<uint32_t>(height));
        header[8] = 8;  // bits per sample
        header[9] = 2;  // colour type: red, green, blue
        bool ok = packedBytes > 0 && WriteOutput(kSignature, sizeof kSignature) && WriteChunk("IHDR", header, 13);
        for (size_t at = 0; ok && at < packedBytes; at += kIdatBytes)
            ok = WriteChunk("IDAT", packed.data() + at, std::min(kIdatBytes, packedBytes - at));
        return ok && WriteChunk("IEND", nullptr, 0);
    });
}
