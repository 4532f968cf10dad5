#include <gtest/gtest.h>

#include "images/picture_file.h"
#include "images/picture_io.h"
#include "picture_test_util.h"

namespace {
RgbPicture LoadPcx(const TempDir& dir, const std::vector<uint8_t>& bytes, ErrorCapture& cap,
                   const std::string& name = "p.pcx")
{
    return LoadBytes(dir, bytes, cap, name);
}
}  // namespace

TEST(PcxRead, RunLengthCodesPlanesAndRows)
{
    TempDir dir;
    ErrorCapture cap;
    // 3 x 2, 4 bytes per line: red, green, blue planes per row, top row first.
    // 0xC3 0x07 gives three 7s; 0xC0 with its byte gives nothing; a run
    // crosses from the red plane into the green one.
    const std::vector<uint8_t> data = {0xC3, 0x07, 0xC0, 0x55, 0x09,  // red: 7 7 7 9
                                       0xC4, 0x20,                    // green: 32 x4
                                       0x01, 0x02, 0x03, 0x04,        // blue
                                       0xC5, 0x11, 0xC1, 0xC8, 0x00, 0x00, 0x00, 0xC4, 0x30, 0x00, 0x00};
    const RgbPicture p = LoadPcx(dir, PcxHeader(3, 2, 4) + data, cap);
    ASSERT_EQ(p.Width, 3);
    ASSERT_EQ(p.Height, 2);
    EXPECT_EQ(p.Rgb, (std::vector<uint8_t>{7, 32, 1, 7, 32, 2, 7, 32, 3,  // top row
                                           0x11, 0x11, 0, 0x11, 0xC8, 0x30, 0x11, 0, 0x30}));
    // The same bytes stored plainly (encoding other than 1).
    const std::vector<uint8_t> plain = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 0xC1, 0xC2, 0xC3, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const RgbPicture q = LoadPcx(dir, PcxHeader(3, 2, 4, 0) + plain, cap);
    EXPECT_EQ(q.Rgb, (std::vector<uint8_t>{1, 4, 7, 2, 5, 8, 3, 6, 9, 0xC1, 0, 0, 0xC2, 0, 0, 0xC3, 0, 0}));
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PcxRead, LargePictureMatchesPlainDecoding)
{
    TempDir dir;
    ErrorCapture cap;
    // Random runs over many input and sink buffers, compared with the same
    // picture stored plainly.
    for (const int w : {513, 514, 515, 516}) {
        const int h = 61, bpl = w + 3;
        std::vector<uint8_t> plain(size_t(h) * 3 * bpl);
        uint32_t s = 3;
        for (size_t i = 0; i < plain.size();) {
            s = s * 1664525u + 1013904223u;
            const size_t n = std::min<size_t>((s >> 24) % 70 + 1, plain.size() - i);
            for (size_t k = 0; k < n; ++k)
                plain[i + k] = static_cast<uint8_t>(n > 5 ? s >> 8 : (s >> 8) + k * 77);
            i += n;
    }
        std::vector<uint8_t> rle;
        for (size_t i = 0; i < plain.size();) {
            size_t n = 1;
            while (i + n < plain.size() && n < 63 && plain[i + n] == plain[i])
                ++n;
            if (n > 1 || plain[i] >= 0xC0)
                rle.insert(rle.end(), {uint8_t(0xC0 | n), plain[i]});
            else
                rle.push_back(plain[i]);
            i += n;
    }
        const RgbPicture a = LoadPcx(dir, PcxHeader(w, h, bpl, 1) + rle, cap);
        const RgbPicture b = LoadPcx(dir, PcxHeader(w, h, bpl, 0) + plain, cap);
        ASSERT_EQ(a.Width, w);
        EXPECT_EQ(a, b);
        // Every pixel against its three planes.
        RgbPicture planes{w, h, {}};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    planes.Rgb.push_back(plain[size_t(y) * 3 * bpl + size_t(c) * bpl + x]);
        EXPECT_EQ(a, planes) << w;
    }
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PcxRead, FileEndingEarlyLeavesTheRestBlack)
{
    TempDir dir;
    ErrorCapture cap;
    // Only the red plane of the top row is present.
    const RgbPicture p = LoadPcx(dir, PcxHeader(2, 2, 2) + std::vector<uint8_t>{0xC2, 0x40}, cap);
    EXPECT_EQ(p.Rgb, (std::vector<uint8_t>{0x40, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cap.Count(), 0u);
}

TEST(PcxRead, RefusalsShowTheirText)
{
    TempDir dir;
    auto notTen = PcxHeader(2, 2, 2);
    notTen[0] = 11;
    auto flipped = PcxHeader(2, 2, 2);
    Put16(flipped, 4, 5);  // xMin beyond xMax
    const std::string depth = "2,4,16 and 256 colr PCX and BMP are not supported.";
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        int code;
        std::string text;
    };
    const std::vector<uint8_t> px(12, 1);
    const std::vector<uint8_t> full = PcxHeader(2, 2, 2);
    const std::vector<Case> cases = {
        {"short_header.pcx", std::vector<uint8_t>(full.begin(), full.begin() + 100), 12, "Error: File read error: "},
        {"manufacturer.pcx", notTen + px, 15, "Error: Unsupported image format."},
        {"version3.pcx", PcxHeader(2, 2, 2, 1, 3) + px, 18, depth},
        {"one_plane.pcx", PcxHeader(2, 2, 2, 1, 5, 1) + px, 18, depth},
        {"four_bits.pcx", PcxHeader(2, 2, 2, 1, 5, 3, 4) + px, 18, depth},
        {"line_shorter_than_width.pcx", PcxHeader(5, 2, 4) + px, 15, ""},
        {"zero_bytes_per_line.pcx", PcxHeader(5, 2, 0) + px, 15, ""},
        {"negative_width.pcx", flipped + px, 15, ""},
        {"gigabyte_planes.pcx", PcxHeader(60000, 60000, 60000) + px, 15, ""},
    };
    for (const Case& c : cases) {
        ErrorCapture cap;
        EXPECT_EQ(LoadPcx(dir, c.bytes, cap, c.name), RgbPicture{}) << c.name;
        ExpectOneRefusal(cap, c.name, c.code, c.text, dir.File(c.name));
        EXPECT_EQ(Pio.Decoded, nullptr);
        EXPECT_FALSE(Pio.FileOpen);
    }
}
