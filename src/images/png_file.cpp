// PNG pictures through libspng. Read: every colour type and bit depth,
// interlaced or not; 16-bit samples are rounded to 8 bits and transparency
// is composited over black. Written: 8-bit RGB, not interlaced, with a fast
// deflate level so that writing frames keeps up with rendering them.
#include <spng.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "images/error_box.h"
#include "images/picture_formats.h"
#include "images/picture_io.h"
#include "images/progress.h"

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
// Written frames: zlib level 1 with the Up filter, which costs a fraction of
// an adaptive choice and compresses rendered pictures nearly as well.
constexpr int kWriteLevel = 1;
constexpr int kWriteFilters = SPNG_FILTER_CHOICE_UP;

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

// Red-green-blue to blue-green-red and back.
void SwapRedBlue(const uint8_t* s, uint8_t* d, int32_t width)
{
    for (int32_t x = 0; x < width; ++x, s += 3, d += 3) {
        const uint8_t r = s[0];
        d[1] = s[1];
        d[0] = s[2];
        d[2] = r;
    }
}

// 8-bit colour c under alpha a, over black: Round(c * a / 255). The
// quotient is never halfway, so the integer form is exact.
inline uint8_t OverBlack8(unsigned c, unsigned a) { return static_cast<uint8_t>((c * a + 127) / 255); }

void RowFromRgba8(const uint8_t* src, uint8_t* d, int32_t width)
{
    for (int32_t x = 0; x < width; ++x, src += 4, d += 3) {
        const unsigned a = src[3];
        if (a == 255) {
            d[0] = src[2];
            d[1] = src[1];
            d[2] = src[0];
        } else {
            d[0] = OverBlack8(src[2], a);
            d[1] = OverBlack8(src[1], a);
            d[2] = OverBlack8(src[0], a);
        }
    }
}

// 16-bit colour c under alpha a, over black, to 8 bits:
// Round(c * a * 255 / 65535^2), exact in 64 bits and never halfway.
inline uint8_t OverBlack16(uint64_t c, uint64_t a)
{
    constexpr uint64_t kFull = uint64_t{65535} * 65535;
    return static_cast<uint8_t>((c * a * 255 + kFull / 2) / kFull);
}

void RowFromRgba16(const uint8_t* bytes, uint8_t* d, int32_t width)
{
    const uint16_t* s = reinterpret_cast<const uint16_t*>(bytes);
    for (int32_t x = 0; x < width; ++x, s += 4, d += 3) {
        d[0] = OverBlack16(s[2], s[3]);
        d[1] = OverBlack16(s[1], s[3]);
        d[2] = OverBlack16(s[0], s[3]);
    }
}

int WriteToOutput(spng_ctx*, void*, void* src, size_t n) { return WriteOutput(src, n) ? 0 : SPNG_IO_ERROR; }
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
        convert = RowFromRgba8;
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
    std::vector<uint8_t> row;
    if (width > 0 && height > 0) {
        try {
            row.resize(static_cast<size_t>(3) * width);
        } catch (const std::bad_alloc&) {
            ShowErrorBox(8, "Not Enought memory");
            return true;
        }
    }
    if (row.empty()) {
        ShowErrorBox(13, "Error writing to file: " + fileName);
        return true;
    }
    return WritePictureFile(fileName, image, [&](const uint8_t* pixels) {
        SpngContext ctx(spng_ctx_new(SPNG_CTX_ENCODER));
        if (!ctx)
            return false;
        spng_ihdr ihdr{};
        ihdr.width = static_cast<uint32_t>(width);
        ihdr.height = static_cast<uint32_t>(height);
        ihdr.bit_depth = 8;
        ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
        if (spng_set_png_stream(ctx.get(), WriteToOutput, nullptr) || spng_set_ihdr(ctx.get(), &ihdr) ||
            spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, kWriteLevel) ||
            spng_set_option(ctx.get(), SPNG_FILTER_CHOICE, kWriteFilters) ||
            spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG,
                              SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE))
            return false;
        int e = SPNG_OK;
        for (int32_t y = height - 1; y >= 0 && e == SPNG_OK; --y) {
            SwapRedBlue(pixels + static_cast<size_t>(y) * image.RowBytes, row.data(), width);
            e = spng_encode_row(ctx.get(), row.data(), row.size());
        }
        return e == SPNG_EOI;
    });
}
