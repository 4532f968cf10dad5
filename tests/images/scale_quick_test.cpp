#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "images/display_scale.h"
#include "numerics/real48.h"
#include "scale_test_util.h"

namespace {

// Picture whose every pixel names its own column and row (blue = x, green = y).
RasterImage Coordinates(int w, int h)
{
    return MakePicture(w, h, [](int x, int y, int c) { return static_cast<uint8_t>(c == 0 ? x : c == 1 ? y : 77); });
}

std::vector<int> TargetColumns(const RasterImage& target, int row = 0)
{
    std::vector<int> v;
    for (int x = 0; x < target.Width(); ++x)
        v.push_back(PixelAt(target, x, row, 0));
    return v;
}

std::vector<int> TargetRows(const RasterImage& target, int column = 0)
{
    std::vector<int> v;
    for (int y = 0; y < target.Height(); ++y)
        v.push_back(PixelAt(target, column, y, 1));
    return v;
}

// The counters exactly as the rules read, written independently of the
// scaler: ratio kept at 6-byte-real precision, the product truncated.
std::vector<int> ReferenceIndices(int n, int m, bool reducing)
{
    const long double ratio = RoundReal48(static_cast<double>(n) / m);
    const long long step = (2147483647LL - n - 1) / n;
    const long long increment = static_cast<long long>(std::trunc(ratio * step));
    std::vector<int> out;
    long long counter = 0, threshold = reducing ? 0 : step, index = 0;
    for (int i = 0; i < m; ++i) {
        counter += increment;
        if (reducing) {
            while (counter > threshold) {
                threshold += step;
                ++index;
            }
            if (index == n)
                index = n - 1;
        } else if (counter > threshold) {
            threshold += step;
            ++index;
        }
        out.push_back(static_cast<int>(index));
    }
    return out;
}

// Plain per-pixel quick scaling from the reference indices.
RasterImage ReferenceQuick(const RasterImage& src, int tw, int th)
{
    const int sw = src.Width(), sh = src.Height();
    RasterImage dst = Blank(tw, th);
    if (sw == tw && sh == th) {
        std::memcpy(dst.Lock(), src.Lock(), src.ImageSize);
        return dst;
    }
    const int dc = tw > sw ? 1 : tw < sw ? -1 : 0, dr = th > sh ? 1 : th < sh ? -1 : 0;
    const bool colsReducing = dc < 0 || (dc == 0 && dr < 0);
    const bool rowsReducing = dr < 0 || (dr == 0 && dc < 0);
    const auto cols = ReferenceIndices(sw, tw, colsReducing);
    const auto rows = ReferenceIndices(sh, th, rowsReducing);
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x)
            for (int c = 0; c < 3; ++c)
                dst.Lock()[y * dst.RowBytes + 3 * x + c] = PixelAt(src, cols[x], rows[y], c);
    return dst;
}

}  // namespace

TEST(ScaleQuick, CounterSequencesOfTheDocumentedCases)
{
    EXPECT_EQ(QuickIndices(2, 4, false), (std::vector<int32_t>{0, 0, 1, 1}));
    EXPECT_EQ(QuickIndices(4, 2, true), (std::vector<int32_t>{2, 3}));
    // Equal size: identity under the enlarging rule, shifted under the reducing one.
    EXPECT_EQ(QuickIndices(4, 4, true), (std::vector<int32_t>{1, 2, 3, 3}));
    EXPECT_EQ(QuickIndices(5, 5, false), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(QuickIndices(1, 3, false), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(QuickIndices(3, 1, true), (std::vector<int32_t>{2}));
}

TEST(ScaleQuick, RuleTableForEveryShapeOfTarget)
{
    struct Case { int tw, th; bool cols, rows; } cases[] = {
        {20, 20, false, false},  // wider and taller
        {20, 10, false, false},  // wider, same height
        {10, 20, false, false},  // same width, taller
        {5, 5, true, true},      // narrower and lower
        {10, 5, true, true},     // same width, lower
        {5, 10, true, true},     // narrower, same height
        {5, 20, true, false},    // narrower and taller
        {20, 5, false, true},    // wider and lower
    };
    for (const auto& c : cases) {
        const QuickRules r = ChooseQuickRules(10, 10, c.tw, c.th);
        EXPECT_EQ(r.ColumnsReducing, c.cols) << c.tw << "x" << c.th;
        EXPECT_EQ(r.RowsReducing, c.rows) << c.tw << "x" << c.th;
    }
}

TEST(ScaleQuick, PicturesTakeTheDocumentedSourcePixels)
{
    const RasterImage src2 = Coordinates(2, 1);
    RasterImage t4 = Blank(4, 1);
    ScaleQuick(src2, t4);
    EXPECT_EQ(TargetColumns(t4), (std::vector<int>{0, 0, 1, 1}));

    const RasterImage src4 = Coordinates(4, 1);
    RasterImage t2 = Blank(2, 1);
    ScaleQuick(src4, t2);
    EXPECT_EQ(TargetColumns(t2), (std::vector<int>{2, 3}));

    // 4 x 4 to 4 x 2: the equal width follows the reducing rows and shifts.
    const RasterImage sq = Coordinates(4, 4);
    RasterImage half = Blank(4, 2);
    ScaleQuick(sq, half);
    EXPECT_EQ(TargetColumns(half, 0), (std::vector<int>{1, 2, 3, 3}));
    EXPECT_EQ(TargetColumns(half, 1), (std::vector<int>{1, 2, 3, 3}));
    EXPECT_EQ(TargetRows(half, 0), (std::vector<int>{2, 3}));
    EXPECT_EQ(PixelAt(half, 2, 1, 2), 77);
}

TEST(ScaleQuick, EqualSizeCopiesTheWholeMemory)
{
    RasterImage src = RandomPicture(7, 5, 11);  // 21-byte rows carry 3 padding bytes
    std::memset(src.Lock() + 21, 0xEE, 3);
    RasterImage dst = Blank(7, 5);
    ScaleQuick(src, dst);
    EXPECT_EQ(0, std::memcmp(src.Lock(), dst.Lock(), src.ImageSize));
}

TEST(ScaleQuick, FastPathMatchesPlainReference)
{
    const int sizes[][2] = {{1, 1}, {3, 2}, {17, 9}, {64, 48}, {5, 31}};
    const int targets[][2] = {{1, 1}, {2, 7}, {40, 40}, {13, 5}, {64, 24}, {100, 3}, {9, 80}, {17, 9}};
    uint32_t seed = 1;
    for (const auto& s : sizes) {
        const RasterImage src = RandomPicture(s[0], s[1], seed++);
        for (const auto& t : targets) {
            RasterImage fast = Blank(t[0], t[1]);
            ScaleQuick(src, fast);
            const RasterImage plain = ReferenceQuick(src, t[0], t[1]);
            EXPECT_EQ(PixelBytes(fast), PixelBytes(plain))
                << s[0] << "x" << s[1] << " -> " << t[0] << "x" << t[1];
        }
    }
}

TEST(ScaleQuick, IndicesStayInsideTheSourceForManyRatios)
{
    for (int n = 1; n <= 300; n += 7)
        for (int m = 1; m <= 700; m += 13)
            for (bool reducing : {false, true}) {
                const auto idx = QuickIndices(n, m, reducing);
                ASSERT_EQ(static_cast<int>(idx.size()), m);
                for (int i = 0; i < m; ++i) {
                    ASSERT_GE(idx[i], 0);
                    ASSERT_LT(idx[i], n) << n << " -> " << m;
                    if (i > 0) {
                        ASSERT_GE(idx[i], idx[i - 1]);  // never goes back
                    }
                }
                const auto expected = ReferenceIndices(n, m, reducing);
                EXPECT_EQ(std::vector<int>(idx.begin(), idx.end()), expected) << n << " -> " << m;
            }
}

TEST(ScaleQuick, UnallocatedSourceLeavesTargetAlone)
{
    RasterImage none;
    RasterImage dst = Blank(4, 4, 0x33);
    ScaleQuick(none, dst);
    EXPECT_EQ(PixelBytes(dst), std::vector<uint8_t>(48, 0x33));
}
