// The node image view: one picture of a node project inside a 14-pixel
// margin, with its nodes drawn over it as crosses and, when asked, their radii
// as ellipses. The user adds node pairs (edit tool, any button but the left),
// deletes them (delete tool, same buttons), selects and drags nodes (left
// button), zooms and pans. Adding, deleting and selecting act on the partner
// view's set as well, so both sets keep the same count.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <optional>
#include <vector>

#include "node/node_defs.h"
#include "views/edit_imag.h"

class PainterCanvas;

// The pixels of the ellipse with horizontal radius a and vertical radius b
// round centre, by the integer midpoint algorithm, each pixel once; pixels
// outside clip (bounds included) are left out. Nothing unless both radii lie
// in 0 .. kLargestEllipseRadius, which keeps the algorithm's products in range.
inline constexpr int32_t kLargestEllipseRadius = 894;
void EllipsePixels(QPoint centre, int32_t a, int32_t b, const QRect& clip, std::vector<QPoint>& out);

class TNodeImag : public TEditImag, public NodeDefsOwner {
    Q_OBJECT
public:
    // Pick and delete tolerance in screen pixels, measured with the
    // horizontal scale on both axes.
    static constexpr int32_t HitRadius = 8;

    // A view without a picture: 320 x 200 light grey, panel 348 x 228.
    explicit TNodeImag(QWidget* parent = nullptr);
    // A view of the given picture and visible region (the whole picture when
    // the region does not lie inside it), panel sized to the picture.
    TNodeImag(RasterImage&& picture, const ViewRegion& region, QWidget* parent = nullptr);
    ~TNodeImag() override;

    // The node set of this picture and the way it is shown.
    TNodeDefs Nodes{this};

    // The view of the other picture; its set follows this one's additions,
    // deletions and selection. Not owned.
    void SetPartner(TNodeImag* partner) { Partner = partner; }
    TNodeImag* GetPartner() const { return Partner; }
    TNodeDefs* PartnerNodeDefs() override { return Partner ? &Partner->Nodes : nullptr; }
    int32_t PictureWidth() const override { return GetPicture().Width(); }
    int32_t PictureHeight() const override { return GetPicture().Height(); }


    // The project's warp method, with which the view recomputes radii.
    void SetRadiusMode(uint8_t mode) { RadiusMode = mode; }
    uint8_t GetRadiusMode() const { return RadiusMode; }
    // The radii of this view's set, and of both views' sets, in pixels of
    // each view's picture.
    void ComputeRadii() { Nodes.ComputeRadii(RadiusMode); }
    void ComputeBothRadii();
    // What is drawn; radii are never drawn without the points. Repaints.
    void SetShowFlags(bool points, bool radii);

    int32_t DraggedIndex() const { return DragIndex; }

signals:
    // A node pair was added or deleted, or a node was moved elsewhere.
    void NodesEdited();

protected:
    ToolMode FallbackTool() const override;
    bool AcceptsPress(ToolMode tool) const override;
    void PressEdit(Qt::MouseButton button, QPoint point, ToolMode tool) override;
    void DragEdit(QPoint point) override;
    void ReleaseEdit(QPoint point) override;
    void PaintOver(QPainter& painter) override;
    // While a node is dragged only that node is drawn anew, over a picture
    // of everything else made when the drag began.
    void paintEvent(QPaintEvent* event) override;
    QCursor EditCursor() const override;

private:
    NodePoint WorldAt(QPoint point) const;
    // The node-space point under the pointer during a drag, kept 0.01
    // picture pixel inside the picture.
    NodePoint KeptInside(QPoint point) const;
    // Where node i is drawn and the radii of its ellipse, in screen pixels.
    QPoint ScreenPosition(const ClipLineContext& context, int32_t i) const;
    bool EllipseRadii(const ClipLineContext& context, int32_t i, int32_t& a, int32_t& b) const;
    // The panel pixels that drawing node i may touch.
    QRect NodeBounds(int32_t i) const;
    // Ellipse and marker of node i in that colour.
    void DrawNode(QPainter& painter, PainterCanvas& canvas, ClipLineContext& context, int32_t i,
                  uint32_t colour) const;
    // Every node but skip (-1: none) in its colour.
    void DrawNodes(QPainter& painter, int32_t skip) const;
    void MakeBackdrop();
    void MarkEdited();
    void RepaintBoth();

    QPointer<TNodeImag> Partner;
    uint8_t RadiusMode = 0;
    int32_t DragIndex = -1;
    NodePoint DragStart;                      // where the dragged node was
    std::optional<ViewMapping> DragMapping;  // the mapping when the drag began
    QRect DragDrawn;                          // where the dragged node was last drawn
};
