// Helpers of the picture file tests: PPM parsing, pictures as top-first RGB,
// and small file builders.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "images/picture_file.h"
#include "images/raster_image.h"
#include "test_support.h"

struct RgbPicture {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Rgb;  // top row first, red, green, blue
    bool operator==(const RgbPicture&) const = default;
};

// Binary PPM (P6, maxval 255); empty picture when it is not one.
inline RgbPicture ParsePpm(const std::string& bytes)
{
    RgbPicture p;
    size_t pos = 0;
    std::vector<std::string> fields;
    while (fields.size() < 4 && pos < bytes.size()) {
        while (pos < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[pos])))
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '#') {
            while (pos < bytes.size() && bytes[pos] != '\n')
                ++pos;
            continue;
        }
        const size_t start = pos;
        while (pos < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[pos])))
            ++pos;
        fields.push_back(bytes.substr(start, pos - start));
    }
    if (fields.size() < 4 || fields[0] != "P6" || fields[3] != "255")
        return p;
    const int w = std::stoi(fields[1]);
    const int h = std::stoi(fields[2]);
    ++pos;
    if (bytes.size() < pos + size_t(3) * w * h)
        return p;
    p.Width = w;
    p.Height = h;
    p.Rgb.assign(bytes.begin() + static_cast<long>(pos), bytes.begin() + static_cast<long>(pos + size_t(3) * w * h));
    return p;
}

inline RgbPicture ReadPpmFile(const std::string& name)
{
    const std::vector<uint8_t> b = ReadAll(name);
    return ParsePpm(std::string(b.begin(), b.end()));
}

// Output of a decoding command (e.g. "tgatoppm FILE") as a picture.
inline RgbPicture DecodeWith(const std::string& command)
{
    std::string out;
    if (RunCommand(command + " 2>/dev/null", &out) != 0)
        return {};
    return ParsePpm(out);
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// A committed picture fixture.
inline std::string PictureFixture(const std::string& name) { return FixturesDir() + "/pictures/" + name; }


// The one message a refused picture file gives: its code, and its text, or
// (where the text is not fixed) one that names the file at path.
inline void ExpectOneRefusal(const ErrorCapture& cap, const std::string& name, int code,
                             const std::string& text, const std::string& path)
{
    ASSERT_EQ(cap.Count(), 1u) << name;
    EXPECT_EQ(cap.LastCode(), code) << name;
    if (!text.empty() && text.back() == ' ')
        EXPECT_EQ(cap.LastText(), text + path) << name;  // a text that ends in the file's name
    else if (!text.empty())
        EXPECT_EQ(cap.LastText(), text) << name;
    else
        EXPECT_NE(cap.LastText().find(path), std::string::npos) << cap.LastText();
}

inline RgbPicture ToRgb(const RasterImage& image)
{
    RgbPicture p;
    if (!image.Allocated)
        return p;
    p.Width = image.Width();
    p.Height = image.Height();
    const uint8_t* base = image.Lock();
    for (int y = p.Height - 1; y >= 0; --y) {
        const uint8_t* row = base + static_cast<size_t>(y) * image.RowBytes;
        for (int x = 0; x < p.Width; ++x) {
            p.Rgb.push_back(row[3 * x + 2]);
            p.Rgb.push_back(row[3 * x + 1]);
            p.Rgb.push_back(row[3 * x + 0]);
        }
    }
    image.Unlock();
    return p;
}

// A picture file through LoadPicture, top row first; empty when it does not load.
inline RgbPicture LoadRgb(const std::string& name)
{
    RasterImage image;
    LoadPicture(name, image);
    return ToRgb(image);
}

inline void FromRgb(const RgbPicture& p, RasterImage& image)
{
    image.Init(p.Width, p.Height);
    uint8_t* base = image.Lock();
    for (int y = 0; y < p.Height; ++y) {
        uint8_t* row = base + static_cast<size_t>(p.Height - 1 - y) * image.RowBytes;
        for (int x = 0; x < p.Width; ++x) {
            const uint8_t* s = &p.Rgb[3 * (static_cast<size_t>(y) * p.Width + x)];
            row[3 * x + 0] = s[2];
            row[3 * x + 1] = s[1];
            row[3 * x + 2] = s[0];
        }
        for (int pad = 3 * p.Width; pad < image.RowBytes; ++pad)
            row[pad] = 0xEE;  // padding must not matter
    }
    image.Unlock();
}

// A picture with every channel different, deterministic.
inline RgbPicture TestPattern(int w, int h, unsigned seed = 1)
{
    RgbPicture p{w, h, {}};
    uint32_t s = seed * 2654435761u + 12345u;
    for (int i = 0; i < 3 * w * h; ++i) {
        s = s * 1103515245u + 12345u;
        p.Rgb.push_back(static_cast<uint8_t>(s >> 16));
    }
    return p;
}

// Drops the low 3 bits of every channel (comparing 5-bit colour).
inline RgbPicture FiveBits(RgbPicture p)
{
    for (uint8_t& v : p.Rgb)
        v = static_cast<uint8_t>(v >> 3);
    return p;
}

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

inline std::vector<uint8_t> TgaHeader(int type, int w, int h, int depth, int descriptor, int idLength = 0)
{
    std::vector<uint8_t> b(18, 0);
    b[0] = static_cast<uint8_t>(idLength);
    b[2] = static_cast<uint8_t>(type);
    Put16(b, 12, static_cast<uint32_t>(w));
    Put16(b, 14, static_cast<uint32_t>(h));
    b[16] = static_cast<uint8_t>(depth);
    b[17] = static_cast<uint8_t>(descriptor);
    return b;
}

inline std::vector<uint8_t> PcxHeader(int w, int h, int bytesPerLine, int encoding = 1, int version = 5,
                                      int planes = 3, int bits = 8)
{
    std::vector<uint8_t> b(128, 0);
    b[0] = 10;
    b[1] = static_cast<uint8_t>(version);
    b[2] = static_cast<uint8_t>(encoding);
    b[3] = static_cast<uint8_t>(bits);
    Put16(b, 8, static_cast<uint32_t>(w - 1));
    Put16(b, 10, static_cast<uint32_t>(h - 1));
    b[65] = static_cast<uint8_t>(planes);
    Put16(b, 66, static_cast<uint32_t>(bytesPerLine));
    return b;
}

// 24-bit BMP file of a picture, rows bottom-up with padding.
inline std::vector<uint8_t> MakeBmp(const RgbPicture& p)
{
    const size_t rowBytes = (3 * static_cast<size_t>(p.Width) + 3) / 4 * 4;
    std::vector<uint8_t> b(54 + rowBytes * p.Height, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<uint32_t>(p.Width));
    Put32(b, 22, static_cast<uint32_t>(p.Height));
    Put16(b, 26, 1);
    Put16(b, 28, 24);
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x)
            for (int c = 0; c < 3; ++c)
                b[54 + (p.Height - 1 - y) * rowBytes + 3 * x + c] = p.Rgb[3 * (y * p.Width + x) + 2 - c];
    return b;
}

// Writes bytes as a picture file in dir and loads it; the picture is
// allocated exactly when no error box was shown.
inline RgbPicture LoadBytes(const TempDir& dir, const std::vector<uint8_t>& bytes, ErrorCapture& cap,
                            const std::string& name)
{
    WriteAll(dir.File(name), bytes);
    RasterImage image;
    LoadPicture(dir.File(name), image);
    EXPECT_EQ(image.Allocated, cap.Count() == 0) << name;
    return ToRgb(image);
}

inline std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
