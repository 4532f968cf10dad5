#include <gtest/gtest.h>

#include "images/display_scale.h"
#include "scale_reference.h"
#include "scale_test_util.h"

namespace {

std::vector<int> HighLine(const std::vector<int>& values, int m, bool column)
{
    const RasterImage src = MakeLine(values, column);
    RasterImage dst = Blank(column ? 1 : m, column ? m : 1);
    ScaleHigh(src, dst);
    return LineValues(dst);
}

}  // namespace

TEST(ScaleHigh, EnlargingInterpolatesLinearlyBetweenMatchingEnds)
{
    EXPECT_EQ(HighLine({0, 100}, 5, false), (std::vector<int>{0, 25, 50, 75, 100}));
    EXPECT_EQ(HighLine({0, 100}, 5, true), (std::vector<int>{0, 25, 50, 75, 100}));
    // 3 to 5 lands on every source pixel; the last one is never overrun.
    EXPECT_EQ(HighLine({10, 50, 250}, 5, false), (std::vector<int>{10, 30, 50, 150, 250}));
    // Ties round to even: 0 .. 1 over 3 pixels gives 0, 0.5 -> 0, 1.
    EXPECT_EQ(HighLine({0, 1}, 3, false), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(HighLine({3, 4}, 3, false), (std::vector<int>{3, 4, 4}));
    // One source pixel gives a constant line.
    EXPECT_EQ(HighLine({42}, 4, false), (std::vector<int>{42, 42, 42, 42}));
}

TEST(ScaleHigh, ReducingTruncatesInBothDirections)
{
    EXPECT_EQ(HighLine({10, 20, 30, 40}, 2, false), (std::vector<int>{15, 35}));
    EXPECT_EQ(HighLine({0, 3, 0, 3}, 2, false), (std::vector<int>{1, 1}));
    EXPECT_EQ(HighLine({0, 3, 0, 3}, 2, true), (std::vector<int>{1, 1}));
    // 3 to 2: 10 x 2/3 + 7 x 1/3 = 9, then 7 x 1/3 + 0 x 2/3 = 2.33 -> 2.
    EXPECT_EQ(HighLine({10, 7, 0}, 2, false), (std::vector<int>{9, 2}));
    EXPECT_EQ(HighLine({10, 7, 0}, 2, true), (std::vector<int>{9, 2}));
    // The carried 8/3 keeps its fraction along a column too: (8 + 2) / 3.
    EXPECT_EQ(HighLine({0, 8, 1}, 2, false), (std::vector<int>{2, 3}));
    EXPECT_EQ(HighLine({0, 8, 1}, 2, true), (std::vector<int>{2, 3}));
    // A flat 255 stays 255 whatever the edges: 255 x 7 / 3 = 595 twice.
    EXPECT_EQ(HighLine({255, 255, 255, 255, 255, 255, 255}, 3, true), (std::vector<int>{255, 255, 255}));
}

TEST(ScaleHigh, TableDrivenPassesMatchTheStepByStepRules)
{
    const int sources[][2] = {{1, 1}, {2, 3}, {7, 5}, {33, 20}, {60, 41}};
    const int targets[][2] = {{1, 1}, {3, 2}, {7, 5}, {20, 33}, {100, 7}, {5, 90}, {41, 60}, {13, 13}};
    uint32_t seed = 200;
    for (const auto& s : sources) {
        const RasterImage src = RandomPicture(s[0], s[1], seed++);
        for (const auto& t : targets) {
            RasterImage fast = Blank(t[0], t[1]);
            ScaleHigh(src, fast);
            const RasterImage plain = reference::Scale(src, t[0], t[1], reference::Mode::High);
            EXPECT_EQ(PixelBytes(fast), PixelBytes(plain))
                << s[0] << "x" << s[1] << " -> " << t[0] << "x" << t[1];
        }
    }
}
