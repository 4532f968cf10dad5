// BMP pictures: 24-bit uncompressed Windows bitmaps with a 40-byte info
// header (108 and 124 bytes accepted on reading), read straight from the file
// and written from a RasterImage.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "images/error_box.h"
#include "images/picture_formats.h"
#include "images/picture_io.h"
#include "images/progress.h"

namespace {
constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr size_t kReadBlock = size_t{1} << 20;

bool ReadError()
{
    ShowErrorBox(12, "File read error: " + Pio.FileName);
    return true;
}

// Reads n bytes in blocks so that a large picture shows progress.
bool ReadPixels(uint8_t* dst, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const size_t want = std::min(kReadBlock, n - done);
        if (ReadInputBlock(dst + done, want) != want)
            return false;
        done += want;
        if (ProgressActive())
            SetProgress(static_cast<int>(std::nearbyint(100.0 * static_cast<double>(done) / static_cast<double>(n))));
    }
    return true;
}

void FlipRows(uint8_t* rows, size_t rowBytes, size_t height)
{
    std::vector<uint8_t> tmp(rowBytes);
    for (size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rows + top * rowBytes;
        uint8_t* b = rows + bottom * rowBytes;
        std::memcpy(tmp.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, tmp.data(), rowBytes);
    }
}
}  // namespace

bool ReadBmp()
{
    if (OpenInputFile())
        return true;
    uint8_t fileHeader[kFileHeaderBytes];
    uint8_t info[kInfoHeaderBytes];
    if (ReadInputBlock(fileHeader, sizeof fileHeader) != sizeof fileHeader)
        return ReadError();
    if (ReadInputBlock(info, sizeof info) != sizeof info)
        return ReadError();
    // Today's tools write the same pixels behind the larger version 4 and 5
    // info headers (108 and 124 bytes); their colour-space tail is ignored.
    const uint32_t infoSize = GetU32(info);
    const bool laterHeader = (infoSize == 108 || infoSize == 124) && GetU32(info + 16) == 0;
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M' || (infoSize != kInfoHeaderBytes && !laterHeader)) {
        ShowErrorBox(16, "This is not Windows bitmat");
        return true;
    }
    if (GetU16(info + 14) != 24) {
        ShowErrorBox(18, "");
        return true;
    }
    const int64_t width = static_cast<int32_t>(GetU32(info + 4));
    const int64_t fileHeight = static_cast<int32_t>(GetU32(info + 8));
    // A negative height marks rows stored top row first.
    const bool topDown = fileHeight < 0;
    const int64_t height = topDown ? -fileHeight : fileHeight;
    if (RefusePictureSize(width, height, 0))
        return true;

    const int64_t rowBytes = RasterRowBytes(width);
    const int64_t needed = rowBytes * height;
    const uint32_t sizeImage = GetU32(info + 20);
    const int64_t offBits = GetU32(fileHeader + 10);
    const int64_t stated = sizeImage != 0 ? int64_t{sizeImage}
                                          : int64_t{GetU32(fileHeader + 2)} - offBits;
    // Check against the file before allocating: a short file must not cost
    // the memory its header claims.
    if (stated < needed || offBits > Pio.InputSize || Pio.InputSize - offBits < needed)
        return ReadError();

    Pio.BitCount = 24;
    Pio.DibHeaderBytes = static_cast<int32_t>(kInfoHeaderBytes);
    Pio.DibImageBytes = static_cast<int32_t>(needed);
    Pio.DibRowBytes = static_cast<int32_t>(rowBytes);
    Pio.Dib = CreatePackedDib(nullptr, static_cast<int32_t>(width), static_cast<int32_t>(height),
                              static_cast<uint32_t>(needed), kInfoHeaderBytes, 24);
    if (!Pio.Dib) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    uint8_t* pixels = Pio.Dib + kInfoHeaderBytes;
    if (!SeekInput(offBits) || !ReadPixels(pixels, static_cast<size_t>(needed)))
        return ReadError();
    CloseFile();
    if (topDown)
        FlipRows(pixels, static_cast<size_t>(rowBytes), static_cast<size_t>(height));
    return false;
}

bool WriteBmp(const std::string& fileName, const RasterImage& image)
{
    uint8_t header[kFileHeaderBytes + kInfoHeaderBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header + 2, static_cast<uint32_t>(image.ImageSize) + 54);
    PutU32(header + 10, 54);
    const BitmapInfoHeader& h = image.Header;
    uint8_t* info = header + kFileHeaderBytes;
    PutU32(info + 0, h.biSize);
    PutU32(info + 4, static_cast<uint32_t>(h.biWidth));
    PutU32(info + 8, static_cast<uint32_t>(h.biHeight));
    PutU16(info + 12, h.biPlanes);
    PutU16(info + 14, h.biBitCount);
    PutU32(info + 16, h.biCompression);
    PutU32(info + 20, h.biSizeImage);
    PutU32(info + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    PutU32(info + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    PutU32(info + 32, h.biClrUsed);
    PutU32(info + 36, h.biClrImportant);
    return WritePictureRows(fileName, image, header, sizeof header, static_cast<size_t>(image.RowBytes));
}
