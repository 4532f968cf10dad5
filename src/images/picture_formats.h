// The per-format readers and writers behind picture_file.h. Readers work on
// the picture file work area (Pio.FileName set, record cleared) and leave the
// packed picture they built in Pio.Dib.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "images/picture_io.h"
#include "images/raster_image.h"

enum class PictureType { None, Bmp, Tga, Pcx, Png, Jpeg };

// Type by the text from the last "." of the name, compared in lower case.
PictureType PictureTypeOf(const std::string& fileName);

bool ReadBmp();  // failed?
bool ReadTga();  // failed?
bool ReadPcx();  // failed?
bool ReadPng();  // failed?
bool ReadJpeg();  // failed?
bool WriteBmp(const std::string& fileName, const RasterImage& image);  // failed?
bool WriteTga(const std::string& fileName, const RasterImage& image);  // failed?
bool WritePng(const std::string& fileName, const RasterImage& image);  // failed?

// Pixel memory above which a picture file is refused before anything is
// allocated for it.
constexpr int64_t kMaxPictureBytes = int64_t{1} << 30;

// Refuses (with a message naming Pio.FileName) a picture whose width or
// height is 0 or negative, above 65535, or whose 24-bit pixel memory or
// decoded size would exceed kMaxPictureBytes. True when refused.
bool RefusePictureSize(int64_t width, int64_t height, int64_t decodedBytes);

// The 24-bit packed DIB a decoder fills, for a size RefusePictureSize has
// let through: bit count, image and row bytes, a 40-byte header.
void SetDib24Layout(int64_t width, int64_t height);

// SetDib24Layout, then the cleared packed picture itself in Pio.Dib; null
// (nothing shown) when there is no memory for it.
uint8_t* NewDib24(int64_t width, int64_t height);

// Row y, counted from the top, of the packed picture in Pio.Dib.
inline uint8_t* DibRowFromTop(int64_t y, int64_t height)
{
    return Pio.Dib + Pio.DibHeaderBytes + (height - 1 - y) * Pio.DibRowBytes;
}

// Little-endian field readers for headers.
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutU16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v)
{
    PutU16(p, v);
    PutU16(p + 2, v >> 16);
}

// Creates fileName and lets writeBody write the picture through
// WriteOutput, with the pixels of image locked (pixels is the bottom row).
// Removes the file again when the write fails and the file did not exist
// before. True when it failed (message shown).
bool WritePictureFile(const std::string& fileName, const RasterImage& image,
                      const std::function<bool(const uint8_t* pixels)>& writeBody);

// Writes the header and then the rows of image (bottom row first, rowOut
// bytes of each) through WritePictureFile.
bool WritePictureRows(const std::string& fileName, const RasterImage& image,
                      const uint8_t* header, size_t headerBytes, size_t rowOut);
