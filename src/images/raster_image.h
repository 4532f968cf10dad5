// The in-memory picture: 24 bits per pixel (blue, green, red), rows bottom-up,
// each row padded to a multiple of 4 bytes, with a ready bitmap header.
#pragma once

#include <cstdint>
#include <memory>

// BITMAPINFOHEADER, 40 bytes, the published Windows layout (little-endian).
struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 24;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Bytes per 24-bit row: 3 x width rounded up to a multiple of 4.
constexpr int64_t RasterRowBytes(int64_t width) { return (3 * width + 3) / 4 * 4; }

class RasterImage {
public:
    bool Allocated = false;
    int32_t RowBytes = 0;
    int32_t ImageSize = 0;
    BitmapInfoHeader Header;

    RasterImage() = default;
    RasterImage(const RasterImage&) = delete;
    RasterImage& operator=(const RasterImage&) = delete;
    RasterImage(RasterImage&& other) noexcept;
    RasterImage& operator=(RasterImage&& other) noexcept;
    ~RasterImage() { Done(); }

    // Sets up the header and asks for the pixel memory; Allocated tells
    // whether it was obtained. Never throws. Pixel contents are undefined.
    void Init(int32_t width, int32_t height);
    // Init with every byte 0. A large block stays mapped lazily: pages
    // never written cost no memory.
    void InitCleared(int32_t width, int32_t height);
    // Frees the pixel memory; harmless when nothing is held.
    void Done();
    // Pointer to the first byte of the bottom row. Every pixel access is
    // bracketed by Lock and Unlock.
    uint8_t* Lock() { return Memory.get(); }
    const uint8_t* Lock() const { return Memory.get(); }
    void Unlock() const {}

    int32_t Width() const { return Header.biWidth; }
    int32_t Height() const { return Header.biHeight; }

private:
    void Allocate(int32_t width, int32_t height, bool cleared);
    struct FreeBlock {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, FreeBlock> Memory;
};

// Pixel blocks. Large ones are mapped straight from the system, so that
// pages never written cost no memory and returning them costs nothing,
// with an inaccessible page right after the block; small ones come from
// the heap. Free with FreePixelBlock; null when there is no memory.
uint8_t* AllocPixelBlock(size_t bytes, bool cleared);
void FreePixelBlock(uint8_t* block);

// Packed device-independent picture: header, palette, rows. Allocated with
// CreatePackedDib, released with FreePackedDib.
uint8_t* CreatePackedDib(const uint8_t* paletteRgb, int32_t width, int32_t height,
                         uint32_t imageBytes, uint32_t headerBytes, int bitCount);
void FreePackedDib(uint8_t* dib);

int DibColourCount(int bitCount);
int DibColourCount(const BitmapInfoHeader& header);
int DibPaletteSize(const BitmapInfoHeader& header);
int64_t DibImageBytes(int64_t width, int64_t height, int bitCount);

struct DibDimensions {
    uint16_t Width = 0;
    uint16_t Height = 0;
};
// Width and height of a packed DIB; (0, 0) for null. Throws std::range_error
// for values outside 0..65535.
DibDimensions DibSize(const uint8_t* dib);

// Real coordinate to pixel index in 0..limit (0 when limit < 0).
int32_t ClampRound(int32_t limit, double value);
// Round(value) when value > limit, else limit.
int32_t AtLeastRound(int32_t limit, double value);
// Round to nearest, ties to even.
double RoundEven(double value);
