// Drawing a mesh over its picture: the picture frame, the grid lines as
// polylines or Catmull-Rom splines, and the marker of the selected node, all
// as straight strokes through ClipLine.
#include <vector>

#include "mesh/mesh_defs.h"
#include "numerics/resample.h"
#include "numerics/store_real48.h"

namespace {

// Grid row j (column false) or grid column i (column true) of the mesh.
struct GridLine {
    const TMeshDefsData& M;
    bool Column;
    int32_t Index;

    int32_t Length() const { return Column ? M.Rows : M.Cols; }
    RealPoint Node(int32_t k) const
    {
        const size_t at = Column ? M.Index(Index, k) : M.Index(k, Index);
        return {M.X[at], M.Y[at]};
    }
};

bool Inside(const TMeshDefsData& m, int32_t i, int32_t j) { return i >= 0 && j >= 0 && i < m.Cols && j < m.Rows; }

void DrawPolyline(ClipLineContext& c, const GridLine& line)
{
    for (int32_t k = 1; k < line.Length(); ++k) {
        const RealPoint a = line.Node(k - 1), b = line.Node(k);
        ClipLine(c, a.X, a.Y, b.X, b.Y);
    }
}

// The Catmull-Rom curve of the line (the value as a function of the
// parameter: y of x along a row, x of y down a column), each node interval
// cut into `segments` equal steps and joined by chords.
void DrawSpline(ClipLineContext& c, const GridLine& line, int32_t segments)
{
    const int32_t n = line.Length();
    if (n < 2)
        return;
    if (segments < 1)
        segments = 1;  // an unset count draws the chords between the nodes
    std::vector<double> along(n), across(n);
    for (int32_t k = 0; k < n; ++k) {
        const RealPoint p = line.Node(k);
        along[k] = line.Column ? p.Y : p.X;
        across[k] = line.Column ? p.X : p.Y;
    }
    std::vector<double> at;
    at.reserve(static_cast<size_t>(n - 1) * segments + 1);
    for (int32_t k = 1; k < n; ++k) {
        const double from = along[k - 1], step = (along[k] - from) / segments;
        for (int32_t s = 0; s < segments; ++s)
            at.push_back(StoreReal48(from + s * step));
    }
    at.push_back(along[n - 1]);
    std::vector<double> value(at.size());
    if (CatmullRom(along.data(), across.data(), n, at.data(), value.data(), static_cast<int>(at.size())))
        return;  // a line that is not monotonic has no spline to draw
    for (size_t k = 1; k < at.size(); ++k) {
        if (line.Column)
            ClipLine(c, value[k - 1], at[k - 1], value[k], at[k]);
        else
            ClipLine(c, at[k - 1], value[k - 1], at[k], value[k]);
    }
}

// A plus sign three pixels thick round the selected node.
void DrawMarkerOf(ClipLineContext& c, const TMeshDefs& d)
{
    const TMeshDefsData& m = *d.Data;
    if (Inside(m, d.SelCol, d.SelRow))
        ClipMarker(c, m.X[m.Index(d.SelCol, d.SelRow)], m.Y[m.Index(d.SelCol, d.SelRow)], d.PointSize);
}

// The whole mesh in its colour, but for grid column skipCol and grid row
// skipRow (-1: none); the marker only when asked.
void DrawWholeMesh(ClipLineContext& c, const TMeshDefs& d, uint32_t colour, bool splines, int32_t skipCol = -1,
                   int32_t skipRow = -1, bool marker = true)
{
    c.UseWorldWindow();
    LineCanvas* canvas = c.Canvas;
    const uint32_t saved = canvas ? canvas->PenColor() : 0;
    if (canvas)
        canvas->SetPenColor(colour);
    ClipLine(c, 0.0, 0.0, 1.0, 0.0);
    ClipLine(c, 1.0, 0.0, 1.0, 1.0);
    ClipLine(c, 1.0, 1.0, 0.0, 1.0);
    ClipLine(c, 0.0, 1.0, 0.0, 0.0);
    const TMeshDefsData& m = *d.Data;
    for (bool column : {false, true}) {
        const int32_t count = column ? m.Cols : m.Rows;
        for (int32_t k = 1; k + 1 < count; ++k) {
            if (k == (column ? skipCol : skipRow))
                continue;
            const GridLine line{m, column, k};
            if (splines)
                DrawSpline(c, line, d.SegmentCount);
            else
                DrawPolyline(c, line);
        }
    }
    if (canvas && marker)
        canvas->SetPenColor(d.PointColor);
    if (marker)
        DrawMarkerOf(c, d);
    if (canvas)
        canvas->SetPenColor(saved);
}

void DrawThrough(ClipLineContext& c, const TMeshDefs& d, int32_t i, int32_t j, bool splines)
{
    c.UseWorldWindow();
    const TMeshDefsData& m = *d.Data;
    if (Inside(m, i, j)) {
        for (const GridLine& line : {GridLine{m, false, j}, GridLine{m, true, i}}) {
            if (splines)
                DrawSpline(c, line, d.SegmentCount);
            else
                DrawPolyline(c, line);
        }
    }
    DrawMarkerOf(c, d);
}

}  // namespace

void TMeshDefs::DrawLines(ClipLineContext& context) const { DrawWholeMesh(context, *this, LineColor, false); }

void TMeshDefs::DrawSplines(ClipLineContext& context) const { DrawWholeMesh(context, *this, SplineColor, true); }

void TMeshDefs::DrawLinesThrough(int32_t i, int32_t j, ClipLineContext& context) const
{
    DrawThrough(context, *this, i, j, false);
}

void TMeshDefs::DrawSplinesThrough(int32_t i, int32_t j, ClipLineContext& context) const
{
    DrawThrough(context, *this, i, j, true);
}

void TMeshDefs::DrawLinesExcept(int32_t i, int32_t j, ClipLineContext& context) const
{
    DrawWholeMesh(context, *this, LineColor, false, i, j, false);
}

void TMeshDefs::DrawSplinesExcept(int32_t i, int32_t j, ClipLineContext& context) const
{
    DrawWholeMesh(context, *this, SplineColor, true, i, j, false);
}

void TMeshDefs::DrawMarker(ClipLineContext& context) const
{
    context.UseWorldWindow();
    DrawMarkerOf(context, *this);
}
