#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "numerics/clip_line.h"

namespace {
struct Stroke {
    int X1, Y1, X2, Y2;
    bool operator==(const Stroke&) const = default;
};

// The clipper may swap the ends; compare segments regardless of direction.
std::vector<std::vector<int>> Ends(const Stroke& s)
{
    std::vector<std::vector<int>> ends = {{s.X1, s.Y1}, {s.X2, s.Y2}};
    std::sort(ends.begin(), ends.end());
    return ends;
}

class RecordingCanvas : public LineCanvas {
public:
    std::vector<Stroke> Strokes;
    void MoveTo(int x, int y) override { At = {x, y}; }
    void LineTo(int x, int y) override
    {
        Strokes.push_back({At[0], At[1], x, y});
        At = {x, y};
    }
    uint32_t PenColor() const override { return Pen; }
    void SetPenColor(uint32_t color) override { Pen = color; }

private:
    std::vector<int> At{0, 0};
    uint32_t Pen = 0;
};

// World window [0, 1] x [0, 1] on the screen rectangle (10, 20)-(110, 220).
ClipLineContext UnitWindow(RecordingCanvas& canvas)
{
    ClipLineContext c;
    c.Canvas = &canvas;
    c.ScreenLeft = 10;
    c.ScreenTop = 20;
    c.ScreenRight = 110;
    c.ScreenBottom = 220;
    c.WorldX1 = 0.0;
    c.WorldY1 = 0.0;
    c.WorldX2 = 1.0;
    c.WorldY2 = 1.0;
    c.UseWorldWindow();
    return c;
}
}  // namespace

TEST(ClipLine, WorldWindowGivesScaleAndClipWindow)
{
    RecordingCanvas canvas;
    ClipLineContext c = UnitWindow(canvas);
    EXPECT_EQ(c.ScaleX, 100.0);
    EXPECT_EQ(c.ScaleY, 200.0);
    EXPECT_EQ(c.ClipXMin, 0.0);
    EXPECT_EQ(c.ClipXMax, 1.0);
    EXPECT_EQ(c.ClipYMin, 0.0);
    EXPECT_EQ(c.ClipYMax, 1.0);
    c.WorldX2 = 0.0;  // empty window: no division by zero
    c.UseWorldWindow();
    EXPECT_EQ(c.ScaleX, 0.0);
}

TEST(ClipLine, InsideIsDrawnMappedToThePixelRectangle)
{
    RecordingCanvas canvas;
    ClipLineContext c = UnitWindow(canvas);
    ClipLine(c, 0.25, 0.5, 0.75, 0.1);
    ASSERT_EQ(canvas.Strokes.size(), 1u);
    EXPECT_EQ(canvas.Strokes[0], (Stroke{35, 120, 85, 40}));
    // Ties round to even: 0.125 * 100 + 10 = 22.5 -> 22; 0.0125 * 200 + 20 = 22.5 -> 22.
    ClipLine(c, 0.125, 0.0125, 0.135, 0.0125);
    ASSERT_EQ(canvas.Strokes.size(), 2u);
    EXPECT_EQ(canvas.Strokes[1], (Stroke{22, 22, 24, 22}));
}

TEST(ClipLine, SegmentsOutsideOnOneSideDrawNothing)
{
    RecordingCanvas canvas;
    ClipLineContext c = UnitWindow(canvas);
    ClipLine(c, -0.5, 0.2, -0.1, 0.9);   // left
    ClipLine(c, 1.2, 0.2, 1.5, 0.3);     // right
    ClipLine(c, 0.2, -1.0, 0.8, -0.01);  // above
    ClipLine(c, 0.2, 1.5, 0.8, 1.01);    // below
    // Outside on different sides but passing beside the corner.
    ClipLine(c, -0.5, 0.4, 0.4, -0.5);
    EXPECT_TRUE(canvas.Strokes.empty());
}

TEST(ClipLine, CrossingSegmentsAreCutAtTheBoundaries)
{
    RecordingCanvas canvas;
    ClipLineContext c = UnitWindow(canvas);
    // Vertical through the top edge: cut at ClipYMin with x unchanged.
    ClipLine(c, 0.3, -2.0, 0.3, 0.5);
    ASSERT_EQ(canvas.Strokes.size(), 1u);
    EXPECT_EQ(canvas.Strokes[0], (Stroke{40, 20, 40, 120}));
    // Horizontal right through the window: cut at both sides.
    ClipLine(c, -1.0, 0.5, 2.0, 0.5);
    ASSERT_EQ(canvas.Strokes.size(), 2u);
    EXPECT_EQ(Ends(canvas.Strokes[1]), Ends({10, 120, 110, 120}));
    // Diagonal from left-above to right-below: y = x - 0.25 cut at y = 0
    // (x = 0.25) and at x = 1 (y = 0.75).
    ClipLine(c, -0.75, -1.0, 1.75, 1.5);
    ASSERT_EQ(canvas.Strokes.size(), 3u);
    EXPECT_EQ(Ends(canvas.Strokes[2]), Ends({35, 20, 110, 170}));
}

TEST(ClipLine, SharedContextAndDegenerateInput)
{
    RecordingCanvas canvas;
    ClipContext = UnitWindow(canvas);
    ClipLine(0.0, 0.0, 1.0, 1.0);
    ASSERT_EQ(canvas.Strokes.size(), 1u);
    EXPECT_EQ(canvas.Strokes[0], (Stroke{10, 20, 110, 220}));
    ClipLine(std::nan(""), 0.0, 1.0, 1.0);
    ClipLine(0.0, INFINITY, 1.0, 1.0);
    EXPECT_EQ(canvas.Strokes.size(), 1u);
    ClipContext.Canvas = nullptr;
    ClipLine(0.0, 0.0, 1.0, 1.0);  // nothing to draw on: nothing happens
    ClipContext = ClipLineContext();
}
