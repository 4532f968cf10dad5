// The row conversions of the PNG files: the vector routines give the bytes
// of the plain loops at every width, and the plain compositing is the exact
// rounding of c * a / 255.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "images/rgb_rows.h"
#include "picture_test_util.h"

TEST(RgbRows, VectorRoutinesGiveThePlainBytesAtEveryWidth)
{
    for (int32_t width = 0; width <= 70; ++width) {
        const RgbPicture rgb = TestPattern(width, 1, 7u + width);
        const RgbPicture rgba = TestPattern(4 * width, 1, 9u + width);  // 4 bytes a pixel
        // Guard bytes after each row: nothing may be written there.
        std::vector<uint8_t> plain(3 * width + 16, 0xA5), fast(3 * width + 16, 0xA5);
        SwapRedBluePlain(rgb.Rgb.data(), plain.data(), width);
        SwapRedBlue(rgb.Rgb.data(), fast.data(), width);
        EXPECT_EQ(fast, plain) << width;
        for (int32_t x = 0; x < width; ++x)
            ASSERT_EQ(plain[3 * x], rgb.Rgb[3 * x + 2]) << width;
        std::vector<uint8_t> plainA(3 * width + 16, 0xA5), fastA(3 * width + 16, 0xA5);
        RgbaOverBlackPlain(rgba.Rgb.data(), plainA.data(), width);
        RgbaOverBlack(rgba.Rgb.data(), fastA.data(), width);
        EXPECT_EQ(fastA, plainA) << width;
        EXPECT_EQ(std::vector<uint8_t>(plain.end() - 16, plain.end()), std::vector<uint8_t>(16, 0xA5));
        EXPECT_EQ(std::vector<uint8_t>(plainA.end() - 16, plainA.end()), std::vector<uint8_t>(16, 0xA5));
    }
}

TEST(RgbRows, CompositingRoundsEveryColourAndAlpha)
{
    // Every (c, a): as red, green and blue of pixels of a long row.
    std::vector<uint8_t> src;
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c)
            src.insert(src.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c / 2), uint8_t(a)});
    const int32_t n = static_cast<int32_t>(src.size() / 4);
    std::vector<uint8_t> plain(3 * n), fast(3 * n);
    RgbaOverBlackPlain(src.data(), plain.data(), n);
    RgbaOverBlack(src.data(), fast.data(), n);
    EXPECT_EQ(fast, plain);
    for (int32_t i = 0; i < n; ++i) {
        const double a = src[4 * i + 3];
        ASSERT_EQ(plain[3 * i + 2], std::nearbyint(src[4 * i] * a / 255)) << i;
        ASSERT_EQ(plain[3 * i + 1], std::nearbyint(src[4 * i + 1] * a / 255)) << i;
        ASSERT_EQ(plain[3 * i + 0], std::nearbyint(src[4 * i + 2] * a / 255)) << i;
    }
    // 16 bits: opaque samples round to the nearest of the 8-bit values,
    // a clear pixel is black, a half-clear one half as bright.
    const uint16_t s16[] = {257 * 200 + 128, 257 * 200 + 129, 65535, 65535,
                            65535, 65535, 65535, 0,
                            65535, 32768, 0, 32768};
    uint8_t d16[9];
    Rgba16OverBlack(s16, d16, 3);
    EXPECT_EQ(std::vector<uint8_t>(d16, d16 + 9), (std::vector<uint8_t>{255, 201, 200, 0, 0, 0, 0, 64, 128}));
}
