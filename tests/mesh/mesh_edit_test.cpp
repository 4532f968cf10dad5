// Grid row and column editing of a mesh pair, and drawing a mesh through a
// recording canvas.
#include <gtest/gtest.h>

#include <vector>

#include "mesh/mesh_defs.h"
#include "numerics/real48.h"
#include "test_support.h"

namespace {

struct Owner : TMeshDefsOwner {
    TMeshDefs* Other = nullptr;
    TMeshDefs* PartnerMeshDefs() override { return Other; }
};

// Two meshes that know each other, as the two views of a project do.
struct MeshPair {
    Owner LeftOwner, RightOwner;
    TMeshDefs Left{&LeftOwner}, Right{&RightOwner};
    MeshPair()
    {
        LeftOwner.Other = &Right;
        RightOwner.Other = &Left;
    }
};

// Replaces the mesh by cols x rows nodes given row by row.
void SetMesh(TMeshDefs& d, int32_t cols, int32_t rows, const std::vector<RealPoint>& nodes)
{
    *d.Data = TMeshDefsData(cols, rows);
    for (int32_t j = 0; j < rows; ++j)
        for (int32_t i = 0; i < cols; ++i)
            d.Data->SetNode(i, j, nodes[j * cols + i], false);
}

// A regular grid with the given column x and row y positions.
void SetGrid(TMeshDefs& d, const std::vector<double>& xs, const std::vector<double>& ys)
{
    std::vector<RealPoint> nodes;
    for (double y : ys)
        for (double x : xs)
            nodes.push_back({x, y});
    SetMesh(d, static_cast<int32_t>(xs.size()), static_cast<int32_t>(ys.size()), nodes);
}

std::vector<double> Column(const TMeshDefsData& m, int32_t i, bool x)
{
    std::vector<double> v;
    for (int32_t j = 0; j < m.Rows; ++j)
        v.push_back(x ? m.GetNode(i, j).X : m.GetNode(i, j).Y);
    return v;
}

void ExpectNodesNear(const TMeshDefsData& m, int32_t i0, int32_t j0, int32_t i1, int32_t j1,
                     const std::vector<RealPoint>& expected)
{
    size_t k = 0;
    for (int32_t j = j0; j <= j1; ++j)
        for (int32_t i = i0; i <= i1; ++i, ++k) {
            EXPECT_NEAR(m.GetNode(i, j).X, expected[k].X, 1e-11) << i << "," << j;
            EXPECT_NEAR(m.GetNode(i, j).Y, expected[k].Y, 1e-11) << i << "," << j;
        }
}

struct Stroke {
    int X1, Y1, X2, Y2;
    uint32_t Colour;
    bool operator==(const Stroke&) const = default;
};

class RecordingCanvas : public LineCanvas {
public:
    std::vector<Stroke> Strokes;
    void MoveTo(int x, int y) override { AtX = x, AtY = y; }
    void LineTo(int x, int y) override
    {
        Strokes.push_back({AtX, AtY, x, y, Pen});
        AtX = x, AtY = y;
    }
    uint32_t PenColor() const override { return Pen; }
    void SetPenColor(uint32_t color) override { Pen = color; }
    int Count(uint32_t colour) const
    {
        int n = 0;
        for (const Stroke& s : Strokes)
            n += s.Colour == colour;
        return n;
    }

private:
    int AtX = 0, AtY = 0;
    uint32_t Pen = 0x123456;
};

// Screen 0..size on world 0..1 in both directions.
ClipLineContext Context(RecordingCanvas& canvas, int size, double worldLow, double worldHigh)
{
    ClipLineContext c;
    c.Canvas = &canvas;
    c.ScreenRight = c.ScreenBottom = size;
    c.WorldX1 = c.WorldY1 = worldLow;
    c.WorldX2 = c.WorldY2 = worldHigh;
    return c;
}

}  // namespace

TEST(MeshEdit, MarginClickInsertsALineInBothMeshesOfAFreshPair)
{
    struct Case {
        bool Columns;
        RealPoint P;
    };
    for (const Case& c : {Case{false, {0.0001, 0.25}}, Case{true, {0.75, 0.9999}}}) {
        ErrorCapture capture;
        MeshPair pair;
        EXPECT_FALSE(c.Columns ? pair.Left.InsertColumn(c.P, true) : pair.Left.InsertRow(c.P, true));
        EXPECT_EQ(capture.Beeps, 1);
        for (const TMeshDefs* d : {&pair.Left, &pair.Right}) {
            const TMeshDefsData& m = *d->Data;
            EXPECT_EQ(c.Columns ? m.Cols : m.Rows, 3);
            EXPECT_EQ(c.Columns ? m.Rows : m.Cols, 2);
            EXPECT_TRUE(m.Modified);
            if (c.Columns) {
                EXPECT_EQ(Column(m, 1, true), (std::vector<double>{0.75, 0.75}));
                EXPECT_EQ(Column(m, 1, false), (std::vector<double>{0.0, 1.0}));
            } else {
                ExpectNodesNear(m, 0, 1, 1, 1, {{0.0, 0.25}, {1.0, 0.25}});
                EXPECT_EQ(Column(m, 0, false), (std::vector<double>{0.0, 0.25, 1.0}));
            }
        }
        // The same click again lies exactly on the new line: refused.
        EXPECT_TRUE(c.Columns ? pair.Left.InsertColumn(c.P, true) : pair.Left.InsertRow(c.P, true));
        EXPECT_EQ(capture.Beeps, 1);
        EXPECT_EQ(pair.Right.Data->Cols * pair.Right.Data->Rows, 6);
        EXPECT_EQ(capture.Count(), 0u);
    }
}

TEST(MeshEdit, RefusedClicksChangeNothingAndShowNothing)
{
    // Row 1 meets the bottom row within 1e-05 at the left border only.
    const std::vector<RealPoint> narrow = {{0, 0},   {0.5, 0},   {1, 0},   {0, 0.999995}, {0.5, 0.5},
                                           {1, 0.5}, {0, 1},     {0.5, 1}, {1, 1}};
    struct Case {
        const char* What;
        bool (*Edit)(TMeshDefs&);
    };
    const Case cases[] = {
        {"outside the square", [](TMeshDefs& d) { return d.InsertRow({1.2, 0.75}, true); }},
        {"on the top border row", [](TMeshDefs& d) { return d.InsertRow({0.3, 0.0}, true); }},
        {"gap at the left border", [](TMeshDefs& d) { return d.InsertRow({0.5, 0.75}, true); }},
        {"nothing within the tolerance", [](TMeshDefs& d) { return d.DeleteRow({0.5, 0.75}, 0.1); }},
        {"a border row", [](TMeshDefs& d) { return d.DeleteRow({0.5, 0.98}, 0.1); }},
        {"a border column", [](TMeshDefs& d) { return d.DeleteColumn({0.01, 0.5}, 0.1); }},
    };
    for (const Case& c : cases) {
        ErrorCapture capture;
        MeshPair pair;
        SetMesh(pair.Left, 3, 3, narrow);
        SetMesh(pair.Right, 3, 3, narrow);
        pair.Left.Data->Modified = pair.Right.Data->Modified = false;
        const TMeshDefsData before = *pair.Left.Data;
        EXPECT_TRUE(c.Edit(pair.Left)) << c.What;
        for (const TMeshDefs* d : {&pair.Left, &pair.Right}) {
            EXPECT_EQ(d->Data->X, before.X) << c.What;
            EXPECT_EQ(d->Data->Y, before.Y) << c.What;
            EXPECT_FALSE(d->Data->Modified) << c.What;
        }
        EXPECT_EQ(capture.Beeps, 0) << c.What;
        EXPECT_EQ(capture.Count(), 0u) << c.What;
    }
    // The right border is wide enough for the same click.
    MeshPair pair;
    SetMesh(pair.Left, 3, 3, narrow);
    SetMesh(pair.Right, 3, 3, narrow);
    EXPECT_FALSE(pair.Left.InsertRow({0.5, 0.75}, false));
    EXPECT_EQ(pair.Right.Data->Rows, 4);
}

TEST(MeshEdit, DeleteTakesTheNearestInteriorLineFromBothAndClearsTheSelection)
{
    struct Case {
        bool Columns;
        RealPoint P;
        double Tol;
        std::vector<double> Left;  // line positions left
    };
    const Case cases[] = {
        {false, {0.5, 0.27}, 0.05, {0.0, 0.75, 1.0}},
        {false, {0.5, 0.73}, 0.05, {0.0, 0.25, 1.0}},
        {false, {0.5, 0.5}, 0.3, {0.0, 0.75, 1.0}},  // equally near: the lower index goes
        {true, {0.76, 0.5}, 0.05, {0.0, 0.25, 1.0}},
    };
    for (const Case& c : cases) {
        ErrorCapture capture;
        MeshPair pair;
        for (TMeshDefs* d : {&pair.Left, &pair.Right}) {
            SetGrid(*d, {0.0, 0.25, 0.75, 1.0}, {0.0, 0.25, 0.75, 1.0});
            d->SelCol = d->SelRow = 2;
        }
        EXPECT_FALSE(c.Columns ? pair.Left.DeleteColumn(c.P, c.Tol) : pair.Left.DeleteRow(c.P, c.Tol));
        EXPECT_EQ(capture.Beeps, 1);
        for (const TMeshDefs* d : {&pair.Left, &pair.Right}) {
            const TMeshDefsData& m = *d->Data;
            EXPECT_EQ(c.Columns ? m.Cols : m.Rows, 3);
            std::vector<double> lines;
            for (int32_t k = 0; k < 3; ++k)
                lines.push_back(c.Columns ? m.GetNode(k, 1).X : m.GetNode(1, k).Y);
            EXPECT_EQ(lines, c.Left);
            EXPECT_EQ(d->SelCol, -1);
            EXPECT_EQ(d->SelRow, -1);
        }
    }
}

TEST(MeshEdit, SplineRowsSetTheFractionNodesStayOnStraightLines)
{
    // Row 1 bends up through (0.5, 0.3). At x = 0.25 its polyline is at 0.4;
    // its Catmull-Rom curve (tangents -0.4 and 0) at 0.5 - 0.1 - 0.05 + 0.025.
    const std::vector<RealPoint> bent = {{0, 0}, {0.5, 0}, {1, 0}, {0, 0.5}, {0.5, 0.3},
                                         {1, 0.5}, {0, 1}, {0.5, 1}, {1, 1}};
    for (bool splines : {false, true}) {
        MeshPair pair;
        SetMesh(pair.Left, 3, 3, bent);
        SetMesh(pair.Right, 3, 3, bent);
        pair.Left.ShowSplines = splines;
        pair.Left.SelCol = pair.Left.SelRow = 2;
        ASSERT_FALSE(pair.Left.InsertRow({0.25, 0.7}, true));
        const double v = splines ? 0.375 : 0.4;
        const double f = (0.7 - v) / (1.0 - v);
        for (const TMeshDefs* d : {&pair.Left, &pair.Right})
            ExpectNodesNear(*d->Data, 0, 2, 2, 2, {{0, 0.5 + f * 0.5}, {0.5, 0.3 + f * 0.7}, {1, 0.5 + f * 0.5}});
        // The selected node keeps its place in the grown mesh.
        EXPECT_EQ(pair.Left.SelRow, 3);
    }
}

TEST(MeshEdit, FailuresShowTheirCodeAndLeaveBothMeshes)
{
    {
        // A hand-made mesh whose top row is not on the frame: a click above it
        // has no row before it.
        ErrorCapture capture;
        MeshPair pair;
        SetGrid(pair.Left, {0.0, 1.0}, {0.1, 1.0});
        EXPECT_TRUE(pair.Left.InsertRow({0.5, 0.05}, true));
        EXPECT_EQ(capture.LastCode(), 2);
        EXPECT_EQ(capture.LastText(), "Error: ");
        EXPECT_EQ(capture.Messages.back().Caption, "Error");
        EXPECT_EQ(pair.Left.Data->Rows, 2);
    }
    {
        // A partner of another size cannot take the row: neither mesh changes.
        ErrorCapture capture;
        MeshPair pair;
        SetGrid(pair.Left, {0.0, 1.0}, {0.0, 0.3, 0.6, 1.0});
        EXPECT_TRUE(pair.Left.InsertRow({0.5, 0.8}, true));
        EXPECT_EQ(capture.LastCode(), 2);
        EXPECT_EQ(pair.Left.Data->Rows, 4);
        EXPECT_EQ(pair.Right.Data->Rows, 2);
        EXPECT_EQ(capture.Beeps, 0);
    }
}

TEST(MeshDraw, StrokesOfLinesSplinesAndTheMarker)
{
    TMeshDefs d;
    SetGrid(d, {0.0, 0.5, 1.0}, {0.0, 0.5, 1.0});
    d.LineColor = 0x00FF00;
    d.SplineColor = 0x00FFFF;
    d.PointColor = 0xFF00FF;
    d.SegmentCount = 10;
    RecordingCanvas canvas;
    ClipLineContext c = Context(canvas, 1000, -0.5, 1.5);  // nothing is clipped

    d.DrawLines(c);
    EXPECT_EQ(canvas.Strokes.size(), 4u + 2u + 2u);  // frame, row 1, column 1
    EXPECT_EQ(canvas.Count(0x00FF00), 8);
    EXPECT_EQ(canvas.PenColor(), 0x123456u);  // the pen is given back

    // Each interval of the 3-column row and of the 3-row column in 10 chords.
    canvas.Strokes.clear();
    d.SelCol = d.SelRow = 1;
    d.DrawSplines(c);
    EXPECT_EQ(canvas.Count(0x00FFFF), 4 + 20 + 20);
    EXPECT_EQ(canvas.Count(0xFF00FF), 6);
    // The chords of a straight row run end to end along it.
    for (size_t k = 5; k < 24; ++k) {
        EXPECT_EQ(canvas.Strokes[k].X1, canvas.Strokes[k - 1].X2);
        EXPECT_EQ(canvas.Strokes[k].Y1, 500);
    }

    // Only the lines through a node, with the caller's pen.
    canvas.Strokes.clear();
    canvas.SetPenColor(0xFFFFFF);
    d.DrawSplinesThrough(1, 1, c);
    EXPECT_EQ(canvas.Count(0xFFFFFF), 20 + 20 + 6);
    canvas.Strokes.clear();
    d.DrawLinesThrough(1, 0, c);  // the top row (the frame edge) and column 1
    EXPECT_EQ(canvas.Count(0xFFFFFF), 2 + 2 + 6);
    EXPECT_EQ(canvas.Strokes.front(), (Stroke{250, 250, 500, 250, 0xFFFFFF}));

    // A segment count not yet set draws the chords between the nodes.
    canvas.Strokes.clear();
    d.SegmentCount = 0;
    d.DrawSplines(c);
    EXPECT_EQ(canvas.Count(0x00FFFF), 4 + 2 + 2);
}

TEST(MeshDraw, MarkerIsAPlusThreePixelsThick)
{
    TMeshDefs d;
    SetGrid(d, {0.0, 0.5, 1.0}, {0.0, 0.5, 1.0});
    d.SelCol = d.SelRow = 1;
    d.PointColor = 7;
    RecordingCanvas canvas;
    ClipLineContext c = Context(canvas, 100, 0.0, 1.0);
    d.DrawLines(c);
    std::vector<Stroke> marker;
    for (const Stroke& s : canvas.Strokes)
        if (s.Colour == 7)
            marker.push_back(s);
    const std::vector<Stroke> expected = {{46, 50, 55, 50, 7}, {47, 51, 54, 51, 7}, {47, 49, 54, 49, 7},
                                          {50, 46, 50, 55, 7}, {51, 47, 51, 54, 7}, {49, 47, 49, 54, 7}};
    EXPECT_EQ(marker, expected);
    // A selection the mesh does not have draws no marker.
    canvas.Strokes.clear();
    d.SelCol = 5;
    d.DrawLines(c);
    EXPECT_EQ(canvas.Count(7), 0);
}
