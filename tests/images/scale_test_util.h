// Small helpers for the scaler tests: building pictures from a pixel rule,
// reading pixels, and comparing pixel bytes (row padding ignored).
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "images/raster_image.h"

// Pixel rule: (x, row counted from the bottom as stored, channel) -> byte.
using PixelRule = std::function<uint8_t(int x, int y, int c)>;

inline RasterImage MakePicture(int w, int h, const PixelRule& rule)
{
    RasterImage img;
    img.Init(w, h);
    uint8_t* p = img.Lock();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                p[y * img.RowBytes + 3 * x + c] = rule(x, y, c);
    img.Unlock();
    return img;
}

// A row picture (w x 1) or a column picture (1 x h, values bottom first)
// with the same value in all three channels.
inline RasterImage MakeLine(const std::vector<int>& values, bool column)
{
    const int n = static_cast<int>(values.size());
    return MakePicture(column ? 1 : n, column ? n : 1,
                       [&](int x, int y, int) { return static_cast<uint8_t>(values[column ? y : x]); });
}

inline uint8_t PixelAt(const RasterImage& img, int x, int y, int c)
{
    return img.Lock()[y * img.RowBytes + 3 * x + c];
}

// The values of channel c along a line picture.
inline std::vector<int> LineValues(const RasterImage& img, int c = 0)
{
    std::vector<int> v;
    const bool column = img.Width() == 1 && img.Height() > 1;
    const int n = column ? img.Height() : img.Width();
    for (int i = 0; i < n; ++i)
        v.push_back(column ? PixelAt(img, 0, i, c) : PixelAt(img, i, 0, c));
    return v;
}

inline RasterImage Blank(int w, int h, uint8_t fill = 0x5A)
{
    RasterImage img;
    img.Init(w, h);
    std::fill(img.Lock(), img.Lock() + img.ImageSize, fill);
    return img;
}

// Pixel bytes only, row padding left out.
inline std::vector<uint8_t> PixelBytes(const RasterImage& img)
{
    std::vector<uint8_t> out;
    const uint8_t* p = img.Lock();
    for (int y = 0; y < img.Height(); ++y)
        out.insert(out.end(), p + y * img.RowBytes, p + y * img.RowBytes + 3 * img.Width());
    return out;
}

inline RasterImage RandomPicture(int w, int h, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    return MakePicture(w, h, [&](int, int, int) { return static_cast<uint8_t>(byte(gen)); });
}
