// The geometry of the picture views: panel to picture and world mapping, and
// the region arithmetic of zooming and panning.
#include <gtest/gtest.h>

#include <optional>

#include "images/display_scale.h"
#include "images/view_region.h"
#include "numerics/real48.h"
#include "scale_test_util.h"

namespace {
const ViewRegion kWhole{0, 0, 319, 199};

std::optional<ViewRegion> R(int32_t l, int32_t t, int32_t r, int32_t b) { return ViewRegion{l, t, r, b}; }
}  // namespace

TEST(ViewMapping, PanelPicturePixelAndWorldAgree)
{
    // A result view (no margin) and a mesh view (14-pixel margin) at 1:1.
    for (int32_t margin : {0, 14}) {
        const ViewMapping m(kWhole, 320, 200, ViewArea{margin, margin, 320, 200});
        EXPECT_EQ(m.PictureX(margin), -0.5);
        EXPECT_EQ(m.PictureY(margin + 200), 199.5);
        EXPECT_EQ(m.PixelX(margin), 0);
        EXPECT_EQ(m.PixelX(margin + 160.5), 160);  // 160 exactly: whole part
        EXPECT_EQ(m.PixelX(margin + 161), 160);    // 160.5 ties to even
        EXPECT_EQ(m.PixelY(margin + 200), 199);    // limited to the region
        EXPECT_EQ(m.World().X1, RoundReal48(-0.5 / 319));
        EXPECT_EQ(m.World().Y2, RoundReal48(199.5 / 199));
        EXPECT_EQ(m.UnitsX(), RoundReal48((m.World().X2 - m.World().X1) / 320));
        EXPECT_EQ(m.WorldX(margin), m.World().X1);
    }
    // Zoomed, and stretched unevenly: panel -> world -> panel is the identity.
    const ViewMapping z(ViewRegion{30, 40, 129, 89}, 320, 200, ViewArea{14, 14, 333, 117});
    for (double x : {14.0, 20.5, 100.0, 347.0})
        EXPECT_NEAR(z.PanelX(z.WorldX(x)), x, 1e-7);
    for (double y : {14.0, 77.25, 131.0})
        EXPECT_NEAR(z.PanelY(z.WorldY(y)), y, 1e-7);
    // The centre of picture pixel k lies at world k / (size - 1).
    EXPECT_NEAR(z.WorldX(14 + (50 - 29.5) * 333 / 100.0), 50.0 / 319, 1e-12);
}

TEST(ViewRegion, ZoomInAndOutAroundAPoint)
{
    struct Case {
        const char* What;
        ViewRegion From;
        double Cx, Cy, F;
        bool Out, TestCurrent;
        std::optional<ViewRegion> Expected;
    };
    const Case cases[] = {
        {"in at the centre", kWhole, 159.5, 99.5, 2, false, false, R(80, 50, 239, 149)},
        {"in near a corner keeps the extent", kWhole, 1.5, 1.5, 2, false, false, R(0, 0, 160, 100)},
        {"in near the far corner", kWhole, 318, 198, 2, false, true, R(159, 99, 319, 199)},
        {"in to 5 pixels or less", ViewRegion{0, 0, 20, 20}, 10, 10, 4, false, false, std::nullopt},
        {"in from 5 pixels across", ViewRegion{0, 0, 5, 40}, 2, 20, 2, false, true, std::nullopt},
        {"in from 6 pixels across", ViewRegion{0, 0, 6, 40}, 3, 20, 2, false, true, R(2, 10, 4, 30)},
        {"no factor", kWhole, 100, 100, 0, false, false, std::nullopt},
        {"out sticking out at the top left", ViewRegion{80, 50, 239, 149}, 84.5, 54.5, 0.5, true, false,
         R(0, 0, 318, 198)},
        {"out sticking out at the bottom right", ViewRegion{80, 50, 238, 148}, 236.5, 146.5, 0.5, true, false,
         R(3, 3, 319, 199)},
        {"out of everything", kWhole, 159.5, 99.5, 0.5, true, false, kWhole},
        {"out by a negative factor", kWhole, 100, 100, -2, true, false, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto got = c.Out ? ZoomOutRegion(c.From, 320, 200, c.Cx, c.Cy, c.F)
                               : ZoomInRegion(c.From, 320, 200, c.Cx, c.Cy, c.F, c.TestCurrent);
        EXPECT_EQ(got, c.Expected) << c.What;
    }
}

TEST(ViewRegion, BandsAreRoundedLimitedAndFitted)
{
    struct Case {
        const char* What;
        double X0, Y0, X1, Y1;
        BandProportions P;
        std::optional<ViewRegion> Expected;
    };
    const Case cases[] = {
        {"kept as drawn", 10.2, 20.4, 50.6, 40.0, BandProportions::Keep, R(10, 20, 51, 40)},
        {"heightened by the ratio", 10.2, 20.4, 50.6, 40.0, BandProportions::Ratio, R(10, 20, 51, 46)},
        {"heightened by products", 10.2, 20.4, 50.6, 40.0, BandProportions::Products, R(10, 20, 51, 46)},
        {"widened and moved back inside", 300, 150, 330, 190, BandProportions::Ratio, R(255, 150, 319, 190)},
        {"5 pixels wide", 10, 10, 15, 50, BandProportions::Keep, std::nullopt},
        {"5 pixels high", 10, 10, 50, 15, BandProportions::Ratio, std::nullopt},
        {"limited to the picture", -20, -9.6, 400, 300, BandProportions::Keep, kWhole},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BandRegion(320, 200, c.X0, c.Y0, c.X1, c.Y1, c.P), c.Expected) << c.What;
}

TEST(ViewRegion, ShiftsMoveEachAxisOnlyInsideThePicture)
{
    const ViewRegion r{10, 10, 100, 100};
    EXPECT_EQ(ShiftRegion(r, 320, 200, -10, 5, false), (ViewRegion{0, 15, 90, 105}));
    EXPECT_EQ(ShiftRegion(r, 320, 200, -11, 5, false), (ViewRegion{10, 15, 100, 105}));
    EXPECT_EQ(ShiftRegion(r, 320, 200, -10, -10, true), r);  // the last shift must keep left, top above 0
    EXPECT_EQ(ShiftRegion(r, 320, 200, 219, 99, false), (ViewRegion{229, 109, 319, 199}));
    EXPECT_EQ(ShiftRegion(r, 320, 200, 220, 100, false), r);
}

TEST(RenderView, QuickRegionsReadInPlaceGiveTheCutOutRegionsPixels)
{
    // Zooming and panning in quick mode sample the picture where it lies;
    // the pixels must be those of the region cut out and scaled.
    const RasterImage pic = RandomPicture(97, 61, 11);
    struct Case {
        ViewRegion Region;
        int32_t W, H;
    };
    const Case cases[] = {
        {{10, 5, 49, 34}, 120, 50},  // wider, lower
        {{10, 5, 49, 34}, 20, 90},   // narrower, taller
        {{3, 7, 82, 56}, 40, 41},    // smaller both ways
        {{3, 7, 82, 56}, 200, 150},  // larger both ways
        {{0, 1, 95, 60}, 96, 60},    // the same size: a copy
        {{1, 0, 96, 59}, 96, 45},    // same width, lower: shifted by one pixel
        {{1, 0, 96, 59}, 96, 80},    // same width, taller
        {{96, 60, 96, 60}, 40, 40},  // one pixel
    };
    for (const Case& c : cases) {
        RasterImage display;
        ASSERT_TRUE(RenderView(pic, c.Region, kDisplayQuick, c.W, c.H, 1, display));
        RasterImage expected = Blank(c.W, c.H);
        ScaleQuick(CutRegion(pic, c.Region), expected);
        EXPECT_EQ(PixelBytes(display), PixelBytes(expected)) << c.Region.Left << "," << c.Region.Top << " to " << c.W
                                                             << "x" << c.H;
    }
}
