// The mesh model: a rectangular grid of control nodes in normalised picture
// coordinates (x, y in 0..1, y = 0 at the top edge), its node operations and
// the mesh definition file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mesh/my_exception.h"
#include "numerics/clip_line.h"

struct RealPoint {
    double X = 0.0;
    double Y = 0.0;
};

// Gap kept between a node and a neighbour it is pushed against.
constexpr double kMeshMinGap = 5e-05;
// Largest mesh (Cols x Rows) a mesh file may announce.
constexpr int64_t kMaxMeshNodes = 1000000;

// One mesh. Node (i, j), column i and row j, is element j * Cols + i of X and
// Y. Coordinates are held at Real48 precision, so that a file writes them
// exactly and reads them back bit for bit.
class TMeshDefsData {
public:
    bool IsNew = true;       // not yet saved to or loaded from a file
    bool Modified = false;   // set by every SetNode, cleared by save and load
    int32_t Cols = 0;
    int32_t Rows = 0;
    std::vector<double> X;
    std::vector<double> Y;

    // Cols x Rows nodes, all at (0, 0) until the caller fills them. Throws
    // std::invalid_argument for negative counts.
    TMeshDefsData(int32_t cols, int32_t rows);

    size_t Index(int32_t i, int32_t j) const { return static_cast<size_t>(j) * Cols + i; }

    // Throws exMyException for an index outside the mesh.
    RealPoint GetNode(int32_t i, int32_t j) const;
    // Writes node (i, j) rounded to Real48 and sets Modified. With constrain,
    // x stays 5e-05 inside its neighbours in the grid row and y inside its
    // neighbours in the grid column (left, right, upper, lower, in that
    // order, so the last one wins when they are closer than 1e-04).
    // Throws exMyException for an index outside the mesh and Real48Overflow
    // for a coordinate no Real48 can hold.
    void SetNode(int32_t i, int32_t j, RealPoint p, bool constrain);

    // Both return true (failed) after showing the error box; the mesh is
    // unchanged on failure. Saving replaces the file atomically. Loading with
    // checkSize refuses a file whose mesh size differs from this one; without
    // it the file's size is taken over.
    bool SaveToFile(const std::string& fileName);
    bool LoadFromFile(const std::string& fileName, bool checkSize);
};

class TMeshDefs;

// What a mesh needs from the view that shows it: the view of the other
// picture, whose mesh row and column edits must change as well.
class TMeshDefsOwner {
public:
    virtual ~TMeshDefsOwner() = default;
    virtual TMeshDefs* PartnerMeshDefs() = 0;
};

// A mesh with the way it is shown and the selected node; one per mesh view.
class TMeshDefs {
public:
    // Starts as the picture frame alone: a 2 x 2 mesh on the four corners,
    // IsNew, not Modified, nothing selected.
    explicit TMeshDefs(TMeshDefsOwner* owner = nullptr);

    TMeshDefsOwner* Owner = nullptr;
    uint32_t LineColor = 0;     // 0x00BBGGRR
    uint32_t SplineColor = 0;
    uint32_t PointColor = 0;
    std::unique_ptr<TMeshDefsData> Data;
    int32_t SelCol = -1;        // negative: no node selected
    int32_t SelRow = -1;
    int32_t PointSize = 5;      // selected-node marker, pixels
    bool ShowLines = false;
    bool ShowSplines = false;
    int32_t SegmentCount = 0;   // straight segments per spline interval

    // Drag of node (i, j) to p: corners stay, border nodes slide along their
    // border, and the write is constrained by the neighbours. p is not
    // clipped to the unit square.
    void MoveNode(int32_t i, int32_t j, RealPoint p);
    // Hit test: the node nearest to p among those with |dx| < tol and
    // |dy| < tol; on equal distances the lower column, then the lower row.
    bool FindNearestNode(RealPoint p, double tol, int32_t& i, int32_t& j) const;

    // Grid row and column editing (mesh_edit.cpp). Each changes this mesh and
    // the partner's at the same index, or neither, and returns true (failed)
    // when nothing changed. A refused click (p outside the unit square,
    // exactly on a grid line, a gap narrower than 1e-05 at the border,
    // nothing within tol, a border line) shows nothing; a bad node index
    // shows error code 2 and a lack of memory code 8. A success beeps once.
    //
    // InsertRow adds a grid row through p between the two rows around it,
    // each new node at the same fraction between its neighbours in its
    // column; the gap test uses the left (atLeftEdge) or right border column.
    bool InsertRow(RealPoint p, bool atLeftEdge);
    // The same for a grid column; the gap test uses the top or bottom row.
    bool InsertColumn(RealPoint p, bool atTopEdge);
    // Delete the interior grid row (column) nearest to p within tol, and
    // clear the selection.
    bool DeleteRow(RealPoint p, double tol);
    bool DeleteColumn(RealPoint p, double tol);
    // The partner's side of those: insert at index r with fraction f between
    // lines r - 1 and r, or delete line r. No beep, no gap test.
    bool PartnerInsertRow(int32_t r, double f);
    bool PartnerInsertColumn(int32_t c, double f);
    bool PartnerDeleteRow(int32_t r);
    bool PartnerDeleteColumn(int32_t c);

    // Drawing through ClipLine (mesh_draw.cpp). The context's canvas, screen
    // rectangle and world window are set by the caller. DrawLines and
    // DrawSplines set the scale and clip window from them, draw the picture
    // frame, the interior grid lines and the selected-node marker in their
    // colour (LineColor, SplineColor; the marker in PointColor) and put the
    // pen colour back. The Through variants draw only grid row j and grid
    // column i and the marker, with the caller's pen.
    void DrawLines(ClipLineContext& context = ClipContext) const;
    void DrawSplines(ClipLineContext& context = ClipContext) const;
    void DrawLinesThrough(int32_t i, int32_t j, ClipLineContext& context = ClipContext) const;
    void DrawSplinesThrough(int32_t i, int32_t j, ClipLineContext& context = ClipContext) const;
    // What stays put while node (i, j) is dragged: the whole mesh but grid
    // column i, grid row j and the marker, in the mesh colour.
    void DrawLinesExcept(int32_t i, int32_t j, ClipLineContext& context = ClipContext) const;
    void DrawSplinesExcept(int32_t i, int32_t j, ClipLineContext& context = ClipContext) const;
    // The selected-node marker alone, with the caller's pen.
    void DrawMarker(ClipLineContext& context = ClipContext) const;

private:
    bool InsertLine(bool columns, RealPoint p, bool atLowEdge);
    bool DeleteLine(bool columns, RealPoint p, double tol);
    bool PartnerInsertLine(bool columns, int32_t r, double f);
    bool PartnerDeleteLine(bool columns, int32_t r);
    TMeshDefs* Partner() const;
};
