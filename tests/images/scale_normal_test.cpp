#include <gtest/gtest.h>

#include "images/display_scale.h"
#include "scale_reference.h"
#include "scale_test_util.h"

namespace {

std::vector<int> NormalLine(const std::vector<int>& values, int m, bool column)
{
    const RasterImage src = MakeLine(values, column);
    RasterImage dst = Blank(column ? 1 : m, column ? m : 1);
    ScaleNormal(src, dst);
    return LineValues(dst);
}

}  // namespace

TEST(ScaleNormal, EnlargingBlendsOnlyThePixelThatStraddlesAnEdge)
{
    EXPECT_EQ(NormalLine({0, 200}, 3, false), (std::vector<int>{0, 100, 200}));
    EXPECT_EQ(NormalLine({0, 200}, 3, true), (std::vector<int>{0, 100, 200}));
    // Exact multiples: every target lies inside one source pixel.
    EXPECT_EQ(NormalLine({10, 90}, 4, false), (std::vector<int>{10, 10, 90, 90}));
    // 2 to 5: edges at 2.5; target 3 straddles with d = 0.5, ties to even.
    EXPECT_EQ(NormalLine({0, 101}, 5, false), (std::vector<int>{0, 0, 50, 101, 101}));
}

TEST(ScaleNormal, ReducingTruncatesAlongRowsAndRoundsAlongColumns)
{
    EXPECT_EQ(NormalLine({10, 20, 30, 40}, 2, false), (std::vector<int>{15, 35}));
    EXPECT_EQ(NormalLine({10, 20, 30, 40}, 2, true), (std::vector<int>{15, 35}));
    EXPECT_EQ(NormalLine({0, 3, 0, 3}, 2, false), (std::vector<int>{1, 1}));
    EXPECT_EQ(NormalLine({0, 3, 0, 3}, 2, true), (std::vector<int>{2, 2}));
    // 1.5 rounds to 2 but 2.5 rounds to 2 as well (ties to even).
    EXPECT_EQ(NormalLine({2, 3, 2, 3}, 2, true), (std::vector<int>{2, 2}));
    // 3 to 2: the middle pixel is split half and half between the targets.
    EXPECT_EQ(NormalLine({30, 60, 90}, 2, false), (std::vector<int>{40, 80}));
}

TEST(ScaleNormal, BothPassesRunRowsFirst)
{
    // 2 x 2 to 1 x 1 with rows (0, 1) and (1, 2): rows truncate to 0 and 1,
    // the column rounds 0.5 to 0. Columns first would give 0 and 2, then 1.
    const RasterImage src = MakePicture(2, 2, [](int x, int y, int) { return static_cast<uint8_t>(x + y); });
    RasterImage dst = Blank(1, 1);
    ScaleNormal(src, dst);
    EXPECT_EQ(PixelAt(dst, 0, 0, 0), 0);
    EXPECT_EQ(PixelAt(dst, 0, 0, 2), 0);
}

TEST(ScaleNormal, TableDrivenPassesMatchTheStepByStepRules)
{
    const int sources[][2] = {{1, 1}, {2, 3}, {7, 5}, {33, 20}, {60, 41}};
    const int targets[][2] = {{1, 1}, {3, 2}, {7, 5}, {20, 33}, {100, 7}, {5, 90}, {41, 60}, {13, 13}};
    uint32_t seed = 100;
    for (const auto& s : sources) {
        const RasterImage src = RandomPicture(s[0], s[1], seed++);
        for (const auto& t : targets) {
            RasterImage fast = Blank(t[0], t[1]);
            ScaleNormal(src, fast);
            const RasterImage plain = reference::Scale(src, t[0], t[1], reference::Mode::Normal);
            EXPECT_EQ(PixelBytes(fast), PixelBytes(plain))
                << s[0] << "x" << s[1] << " -> " << t[0] << "x" << t[1];
        }
    }
}

TEST(ScaleNormal, LargePicturesAndLongLinesGiveTheSameBytes)
{
    // Both directions reducing (fused passes) on a picture of some size.
    const RasterImage src = RandomPicture(1100, 700, 99);
    for (auto mode : {reference::Mode::Normal, reference::Mode::High}) {
        RasterImage fast = Blank(600, 150);
        (mode == reference::Mode::Normal ? ScaleNormal : ScaleHigh)(src, fast);
        const RasterImage plain = reference::Scale(src, 600, 150, mode);
        EXPECT_EQ(PixelBytes(fast), PixelBytes(plain));
    }
    // Lines longer than 8192 pixels, and longer than 2^22, take wider sums.
    for (int width : {9000, 4200000}) {
        const RasterImage wide = RandomPicture(width, 1, 97);
        for (auto mode : {reference::Mode::Normal, reference::Mode::High}) {
            RasterImage fast = Blank(7, 2);
            (mode == reference::Mode::Normal ? ScaleNormal : ScaleHigh)(wide, fast);
            EXPECT_EQ(PixelBytes(fast), PixelBytes(reference::Scale(wide, 7, 2, mode))) << width;
        }
    }
    const RasterImage small = RandomPicture(300, 200, 98);
    RasterImage fast = Blank(1500, 1000);
    ScaleHigh(small, fast);
    EXPECT_EQ(PixelBytes(fast), PixelBytes(reference::Scale(small, 1500, 1000, reference::Mode::High)));
}
