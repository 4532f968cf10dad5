// Reducing in normal and high quality: the AVX2 row path, the fused passes
// and the plain path must all give the bytes of the step-by-step rules.
#include <gtest/gtest.h>

#include <algorithm>

#include "images/display_scale.h"
#include "scale_reference.h"
#include "scale_test_util.h"

namespace {

using reference::Mode;

void ScaleIn(Mode mode, const RasterImage& src, RasterImage& dst)
{
    (mode == Mode::Normal ? ScaleNormal : ScaleHigh)(src, dst);
}

// Scales with the vector path on and off and checks both against the rules.
void ExpectBothPathsMatchRules(const RasterImage& src, int tw, int th, Mode mode)
{
    const std::vector<uint8_t> expected = PixelBytes(reference::Scale(src, tw, th, mode));
    for (bool vector : {true, false}) {
        SetVectorScaling(vector);
        RasterImage dst = Blank(tw, th);
        ScaleIn(mode, src, dst);
        EXPECT_EQ(PixelBytes(dst), expected)
            << (mode == Mode::Normal ? "normal " : "high ") << src.Width() << "x" << src.Height() << " -> "
            << tw << "x" << th << (vector ? " vector" : " plain");
    }
    SetVectorScaling(true);
}

}  // namespace

TEST(ScaleReduce, RatiosOfTheBenchmarkFollowTheRules)
{
    // 4096 x 4096 to 1280 x 800 is 16 : 5 across and 128 : 25 down; the
    // first case keeps the ratios, the second the full row length.
    const RasterImage square = RandomPicture(512, 512, 11);
    const RasterImage strip = RandomPicture(4096, 128, 12);
    for (Mode mode : {Mode::Normal, Mode::High}) {
        ExpectBothPathsMatchRules(square, 160, 100, mode);
        ExpectBothPathsMatchRules(strip, 1280, 25, mode);
    }
}

TEST(ScaleReduce, FullBenchmarkSizeGivesTheSameBytesBothWays)
{
    // Too big for the step-by-step rules in reasonable time; the plain path
    // is checked against them above and in the other scaler tests.
    const RasterImage src = RandomPicture(4096, 4096, 13);
    for (Mode mode : {Mode::Normal, Mode::High}) {
        RasterImage vector = Blank(1280, 800), plain = Blank(1280, 800, 0xA5);
        ScaleIn(mode, src, vector);
        SetVectorScaling(false);
        ScaleIn(mode, src, plain);
        SetVectorScaling(true);
        EXPECT_EQ(PixelBytes(vector), PixelBytes(plain));
    }
}

TEST(ScaleReduce, OddSizesLongSpansAndMixedDirectionsFollowTheRules)
{
    // Widths: odd target counts (a last target outside the pairs), spans of
    // more than five pixels (several load groups), a ratio just over one,
    // and heights that reduce (fused passes), stay (rows only) or enlarge.
    const int cases[][4] = {
        {7, 9, 3, 4},     {33, 20, 5, 7},    {100, 30, 7, 29},  {101, 40, 100, 13}, {1001, 21, 97, 20},
        {257, 64, 17, 64}, {64, 57, 63, 56}, {90, 12, 31, 40},  {41, 300, 41, 77},  {4097, 9, 1280, 4},
        {999, 33, 3, 32},  {30, 31, 29, 5},  {512, 6, 160, 12}, {17, 17, 2, 1},     {2, 200, 1, 3},
    };
    uint32_t seed = 300;
    for (const auto& c : cases) {
        const RasterImage src = RandomPicture(c[0], c[1], seed++);
        for (Mode mode : {Mode::Normal, Mode::High})
            ExpectBothPathsMatchRules(src, c[2], c[3], mode);
    }
}

TEST(ScaleReduce, LargestSumsStayExact)
{
    // Full-white pixels give the largest sums the row path handles (255 x n
    // with n up to 65535); any inexact division would show as 254.
    for (int n : {4096, 65535, 65536}) {
        const RasterImage white = MakePicture(n, 3, [](int, int, int) { return uint8_t(255); });
        for (Mode mode : {Mode::Normal, Mode::High}) {
            RasterImage dst = Blank(7, 2);
            ScaleIn(mode, white, dst);
            const std::vector<uint8_t> bytes = PixelBytes(dst);
            EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 255), static_cast<long>(bytes.size())) << n;
        }
        const RasterImage noise = RandomPicture(n, 3, static_cast<uint32_t>(n));
        ExpectBothPathsMatchRules(noise, 7, 2, Mode::High);
        ExpectBothPathsMatchRules(noise, 9, 3, Mode::Normal);
    }
}
