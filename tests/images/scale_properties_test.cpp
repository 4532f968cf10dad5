#include <gtest/gtest.h>

#include <cstring>

#include "images/display_scale.h"
#include "images/render_view.h"
#include "scale_test_util.h"
#include "test_support.h"

namespace {

using Scaler = void (*)(const RasterImage&, RasterImage&);
const struct { const char* name; Scaler fn; uint8_t mode; } kScalers[] = {
    {"quick", ScaleQuick, kDisplayQuick},
    {"normal", ScaleNormal, kDisplayNormal},
    {"high", ScaleHigh, kDisplayHigh},
};

class SuspendGuard {
public:
    explicit SuspendGuard(bool on) : Saved(RedrawSuspended) { RedrawSuspended = on; }
    ~SuspendGuard() { RedrawSuspended = Saved; }
private:
    bool Saved;
};

}  // namespace

TEST(DisplayScalers, EqualSizeCopiesPixelsByteForByteInEveryMode)
{
    for (const auto& s : kScalers) {
        for (auto size : {std::pair{1, 1}, std::pair{5, 3}, std::pair{64, 40}}) {
            const RasterImage src = RandomPicture(size.first, size.second, 7);
            RasterImage dst = Blank(size.first, size.second);
            s.fn(src, dst);
            EXPECT_EQ(PixelBytes(dst), PixelBytes(src)) << s.name;
        }
    }
}

TEST(DisplayScalers, ConstantPictureStaysConstantInEveryModeAndSize)
{
    const int sizes[][2] = {{1, 1}, {2, 3}, {7, 7}, {13, 29}, {100, 61}, {3, 1}};
    for (const auto& s : kScalers)
        for (uint8_t value : {0, 1, 128, 254, 255})
            for (const auto& from : sizes)
                for (const auto& to : sizes) {
                    // A colour that differs per channel keeps every channel apart.
                    const RasterImage src = MakePicture(from[0], from[1], [&](int, int, int c) {
                        return static_cast<uint8_t>(c == 1 ? 255 - value : value); });
                    RasterImage dst = Blank(to[0], to[1], 0x5A);
                    s.fn(src, dst);
                    for (int y = 0; y < to[1]; ++y)
                        for (int x = 0; x < to[0]; ++x) {
                            ASSERT_EQ(PixelAt(dst, x, y, 0), value) << s.name << " " << from[0] << "x" << from[1] << " -> " << to[0] << "x" << to[1];
                            ASSERT_EQ(PixelAt(dst, x, y, 1), 255 - value) << s.name;
                            ASSERT_EQ(PixelAt(dst, x, y, 2), value) << s.name;
                        }
                }
}

TEST(DisplayScalers, ScalingLeavesNoTargetPixelUnwritten)
{
    // Odd ratios whose edges never meet exactly; a blank marker must vanish.
    const RasterImage src = MakePicture(97, 89, [](int, int, int) { return uint8_t{200}; });
    for (const auto& s : kScalers)
        for (auto to : {std::pair{31, 13}, std::pair{300, 7}, std::pair{3, 250}}) {
            RasterImage dst = Blank(to.first, to.second, 0);
            s.fn(src, dst);
            const auto bytes = PixelBytes(dst);
            EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 200), static_cast<long>(bytes.size())) << s.name;
        }
}

TEST(DisplayScalers, SameBytesOnOneTwoAndEightThreadsWithAndWithoutVectors)
{
    // Both reduce (the fused path), both enlarge, one of each, one equal.
    const int sizes[][4] = {{640, 480, 211, 157}, {90, 70, 700, 333},
                            {300, 40, 170, 400}, {123, 300, 123, 77}, {500, 91, 37, 91}};
    for (const auto& s : kScalers)
        for (const auto& size : sizes) {
            const RasterImage src = RandomPicture(size[0], size[1], 5);
            std::vector<uint8_t> first;
            for (bool vector : {true, false})
                for (int threads : {1, 2, 8}) {
                    SetVectorScaling(vector);
                    WithThreads(threads, [&] {
                        RasterImage dst = Blank(size[2], size[3]);
                        s.fn(src, dst);
                        if (first.empty())
                            first = PixelBytes(dst);
                        else
                            EXPECT_EQ(PixelBytes(dst), first)
                                << s.name << " " << size[0] << "x" << size[1] << " -> " << size[2]
                                << "x" << size[3] << " threads " << threads;
                    });
                }
            SetVectorScaling(true);
        }
}

TEST(RenderView, CutRegionTakesRowsCountedFromTheTop)
{
    const RasterImage pic = MakePicture(10, 8, [](int x, int y, int c) { return static_cast<uint8_t>(c == 0 ? x : c == 1 ? y : 9); });
    const ViewRegion r{2, 1, 6, 4};  // top row 1 is memory row 8 - 1 - 1 = 6
    const RasterImage part = CutRegion(pic, r);
    ASSERT_TRUE(part.Allocated);
    ASSERT_EQ(part.Width(), 5);
    ASSERT_EQ(part.Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(PixelAt(part, x, y, 0), x + 2);
            EXPECT_EQ(PixelAt(part, x, y, 1), 8 - 1 - 4 + y);  // bottom of part = row of region bottom
        }
    EXPECT_FALSE(CutRegion(pic, ViewRegion{-1, 0, 3, 3}).Allocated);
    EXPECT_FALSE(CutRegion(pic, ViewRegion{0, 0, 10, 3}).Allocated);
    EXPECT_FALSE(CutRegion(pic, ViewRegion{5, 0, 4, 3}).Allocated);
}

TEST(RenderView, RegionScalesLikeTheSameRegionCutOutFirst)
{
    const RasterImage pic = RandomPicture(90, 70, 3);
    const ViewRegion regions[] = {{10, 5, 49, 34}, {0, 0, 89, 69}, {80, 60, 89, 69}, {33, 0, 33, 69}};
    for (const auto& s : kScalers)
        for (const auto& r : regions) {
            RasterImage display;
            ASSERT_TRUE(RenderView(pic, r, s.mode, 120, 50, 40, display));
            const RasterImage cut = CutRegion(pic, r);
            RasterImage expected = Blank(120, 50);
            s.fn(cut, expected);
            EXPECT_EQ(PixelBytes(display), PixelBytes(expected)) << s.name << " " << r.Left << "," << r.Top;
        }
}

TEST(RenderView, RefusesWhileSuspendedTooSmallOrUnknownMode)
{
    const RasterImage pic = RandomPicture(50, 50, 5);
    const ViewRegion whole = WholePicture(pic);
    RasterImage display;
    ASSERT_TRUE(RenderView(pic, whole, kDisplayQuick, 60, 45, 40, display));
    const auto before = PixelBytes(display);
    const RasterImage other = RandomPicture(50, 50, 6);

    EXPECT_FALSE(RenderView(other, whole, kDisplayQuick, 39, 45, 40, display));
    EXPECT_FALSE(RenderView(other, whole, kDisplayQuick, 60, 39, 40, display));
    EXPECT_FALSE(RenderView(other, whole, kDisplayQuick, 67, 80, 68, display));
    EXPECT_FALSE(RenderView(other, whole, 3, 60, 45, 40, display));
    EXPECT_FALSE(RenderView(other, ViewRegion{0, 0, 50, 49}, kDisplayQuick, 60, 45, 40, display));
    RasterImage none;
    EXPECT_FALSE(RenderView(none, whole, kDisplayQuick, 60, 45, 40, display));
    {
        SuspendGuard guard(true);
        EXPECT_FALSE(RenderView(other, whole, kDisplayQuick, 60, 45, 40, display));
    }
    EXPECT_EQ(display.Width(), 60);
    EXPECT_EQ(PixelBytes(display), before);  // the previous display picture is kept

    EXPECT_TRUE(RenderView(other, whole, kDisplayQuick, 40, 40, 40, display));
    EXPECT_EQ(display.Width(), 40);  // re-allocated at the new area size
    EXPECT_EQ(display.Height(), 40);
}

TEST(RenderView, BusyHookBracketsOnlyTheSlowModes)
{
    const RasterImage pic = RandomPicture(30, 30, 8);
    for (const auto& s : kScalers) {
        std::vector<bool> calls;
        RasterImage display;
        ASSERT_TRUE(RenderView(pic, WholePicture(pic), s.mode, 50, 50, 40, display,
                               [&](bool busy) { calls.push_back(busy); }));
        if (s.mode == kDisplayQuick)
            EXPECT_TRUE(calls.empty());
        else
            EXPECT_EQ(calls, (std::vector<bool>{true, false})) << s.name;
    }
}
