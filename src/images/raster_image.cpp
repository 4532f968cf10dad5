#include "images/raster_image.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <stdexcept>
#include <utility>

namespace {
// Every block starts with the record of how it was obtained.
struct BlockRecord {
    uint8_t* MapBase;      // null for a heap block
    size_t MapBytes;
};
constexpr size_t kRecordBytes = 16;
static_assert(sizeof(BlockRecord) <= kRecordBytes);
constexpr size_t kMappedFrom = size_t{16} << 20;
}  // namespace

uint8_t* AllocPixelBlock(size_t bytes, bool cleared)
{
    if (bytes > SIZE_MAX / 2)
        return nullptr;
    if (bytes < kMappedFrom) {
        void* heap = cleared ? std::calloc(bytes + kRecordBytes, 1) : std::malloc(bytes + kRecordBytes);
        if (!heap)
            return nullptr;
        const BlockRecord r{nullptr, 0};
        std::memcpy(heap, &r, sizeof r);
        return static_cast<uint8_t*>(heap) + kRecordBytes;
    }
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t data = (bytes + 15) / 16 * 16;
    const size_t mapped = (data + kRecordBytes + page - 1) / page * page + page;
    void* base = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    auto* b = static_cast<uint8_t*>(base);
    // The block ends where the guard page begins: a run past its end faults.
    ::mprotect(b + mapped - page, page, PROT_NONE);
    uint8_t* block = b + mapped - page - data;
    const BlockRecord r{b, mapped};
    std::memcpy(block - kRecordBytes, &r, sizeof r);
    return block;
}

void FreePixelBlock(uint8_t* block)
{
    if (!block)
        return;
    BlockRecord r;
    std::memcpy(&r, block - kRecordBytes, sizeof r);
    if (r.MapBase)
        ::munmap(r.MapBase, r.MapBytes);
    else
        std::free(block - kRecordBytes);
}

RasterImage::RasterImage(RasterImage&& other) noexcept
    : Allocated(other.Allocated), RowBytes(other.RowBytes), ImageSize(other.ImageSize),
      Header(other.Header), Memory(std::move(other.Memory))
{
    other.Allocated = false;
}

RasterImage& RasterImage::operator=(RasterImage&& other) noexcept
{
    if (this != &other) {
        Done();
        Allocated = std::exchange(other.Allocated, false);
        RowBytes = other.RowBytes;
        ImageSize = other.ImageSize;
        Header = other.Header;
        Memory = std::move(other.Memory);
    }
    return *this;
}

void RasterImage::FreeBlock::operator()(uint8_t* p) const { FreePixelBlock(p); }

void RasterImage::Init(int32_t width, int32_t height) { Allocate(width, height, false); }

void RasterImage::InitCleared(int32_t width, int32_t height) { Allocate(width, height, true); }

void RasterImage::Allocate(int32_t width, int32_t height, bool cleared)
{
    Done();
    Header = BitmapInfoHeader{};
    Header.biWidth = width;
    Header.biHeight = height;
    const int64_t rowBytes = RasterRowBytes(width);
    const int64_t size = rowBytes * static_cast<int64_t>(height);
    if (width < 0 || height < 0 || size > INT32_MAX) {
        RowBytes = 0;
        ImageSize = 0;
        return;
    }
    RowBytes = static_cast<int32_t>(rowBytes);
    ImageSize = static_cast<int32_t>(size);
    // At least one byte so that an empty picture still has a valid block.
    const size_t bytes = size > 0 ? static_cast<size_t>(size) : 1;
    Memory.reset(AllocPixelBlock(bytes, cleared));
    Allocated = Memory != nullptr;
}

void RasterImage::Done()
{
    Memory.reset();
    Allocated = false;
}

uint8_t* CreatePackedDib(const uint8_t* paletteRgb, int32_t width, int32_t height,
                         uint32_t imageBytes, uint32_t headerBytes, int bitCount)
{
    const size_t total = static_cast<size_t>(imageBytes) + headerBytes;
    if (headerBytes < sizeof(BitmapInfoHeader))
        return nullptr;
    uint8_t* dib = AllocPixelBlock(total, true);
    if (!dib)
        return nullptr;
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<uint16_t>(bitCount);
    h.biSizeImage = imageBytes;
    h.biClrUsed = static_cast<uint32_t>(DibColourCount(bitCount));
    std::memcpy(dib, &h, sizeof h);
    if (bitCount <= 8 && paletteRgb) {
        const int colours = DibColourCount(bitCount);
        uint8_t* pal = dib + sizeof h;
        for (int i = 0; i < colours && sizeof h + 4u * (i + 1) <= headerBytes; ++i) {
            pal[4 * i + 0] = paletteRgb[3 * i + 2];
            pal[4 * i + 1] = paletteRgb[3 * i + 1];
            pal[4 * i + 2] = paletteRgb[3 * i + 0];
            pal[4 * i + 3] = 0;
        }
    }
    return dib;
}

void FreePackedDib(uint8_t* dib) { FreePixelBlock(dib); }

int DibColourCount(int bitCount)
{
    if (bitCount < 0 || bitCount >= 31)
        return 0;
    return (1 << bitCount) & 0x1FF;
}

int DibColourCount(const BitmapInfoHeader& header)
{
    return DibColourCount(header.biPlanes * header.biBitCount);
}

int DibPaletteSize(const BitmapInfoHeader& header) { return 4 * DibColourCount(header); }

int64_t DibImageBytes(int64_t width, int64_t height, int bitCount)
{
    int64_t row;
    switch (bitCount) {
    case 1: row = (width + 31) / 32 * 4; break;
    case 2:
    case 4: row = (width + 7) / 8 * 4; break;
    case 8: row = (width + 3) / 4 * 4; break;
    case 15:
    case 16:
    case 24: row = (3 * width + 3) / 4 * 4; break;
    default: return 0;
    }
    return row * height;
}

DibDimensions DibSize(const uint8_t* dib)
{
    if (!dib)
        return {};
    BitmapInfoHeader h;
    std::memcpy(&h, dib, sizeof h);
    if (h.biWidth < 0 || h.biWidth > 65535 || h.biHeight < 0 || h.biHeight > 65535)
        throw std::range_error("Range check error");
    return {static_cast<uint16_t>(h.biWidth), static_cast<uint16_t>(h.biHeight)};
}

double RoundEven(double value) { return std::nearbyint(value); }

int32_t ClampRound(int32_t limit, double value)
{
    if (value < limit)
        return value < 0 ? 0 : static_cast<int32_t>(RoundEven(value));
    if (value >= limit)
        return limit < 0 ? 0 : limit;
    return 0;  // NaN
}

int32_t AtLeastRound(int32_t limit, double value)
{
    if (value > limit) {
        const double r = RoundEven(value);
        return r >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(r);
    }
    return limit;
}
