// The mesh image view: one picture of a mesh project inside a 14-pixel margin,
// with its mesh drawn over it as lines and/or splines. The user drags nodes
// (edit and delete tools, left button on the picture), inserts (edit) or
// deletes (delete) whole grid rows and columns with a right click in the
// margin, zooms and pans. Row and column edits and the selection are applied
// to the partner view's mesh as well, so both meshes keep the same size.
#pragma once

#include <QImage>
#include <QPointer>

#include "mesh/mesh_defs.h"
#include "views/edit_imag.h"

class TMeshImag : public TEditImag, public TMeshDefsOwner {
    Q_OBJECT
public:
    // Pick and delete tolerance in screen pixels.
    static constexpr int kHitRadius = 8;

    // A view without a picture: 320 x 200 light grey, panel 348 x 228.
    explicit TMeshImag(QWidget* parent = nullptr);
    // A view of the given picture and visible region (the whole picture when
    // the region does not lie inside it), panel sized to the picture.
    TMeshImag(RasterImage&& picture, const ViewRegion& region, QWidget* parent = nullptr);
    ~TMeshImag() override;

    // The mesh of this picture and the way it is shown.
    TMeshDefs Mesh{this};

    // The view of the other picture; its mesh follows this one's row and
    // column edits and selection. Not owned.
    void SetPartner(TMeshImag* partner) { Partner = partner; }
    TMeshImag* GetPartner() const { return Partner; }
    TMeshDefs* PartnerMeshDefs() override { return Partner ? &Partner->Mesh : nullptr; }

    QPoint DraggedNode() const { return DragNode; }

signals:
    // A node was moved or a grid row or column inserted or deleted.
    void MeshEdited();

protected:
    ToolMode FallbackTool() const override;
    bool AcceptsPress(ToolMode tool) const override;
    void PressEdit(Qt::MouseButton button, QPoint point, ToolMode tool) override;
    void PressMargin(Qt::MouseButton button, QPoint point, PanelZone zone, ToolMode tool) override;
    void DragEdit(QPoint point) override;
    void ReleaseEdit(QPoint point) override;
    void PaintOver(QPainter& painter) override;
    // While a node is dragged only the lines through it are drawn anew, over
    // a picture of everything else made when the drag began.
    void paintEvent(QPaintEvent* event) override;
    QCursor EditCursor() const override;
    QCursor MarginCursor(PanelZone zone, ToolMode tool) const override;

private:
    RealPoint WorldAt(QPoint point) const;
    void PaintThrough(QPainter& painter) const;
    void MakeBackdrop();
    void MarkEdited();
    void RepaintBoth();

    QPointer<TMeshImag> Partner;
    QPoint DragNode;        // column, row of the node being dragged
    RealPoint DragStart;    // where it was when the drag began
};
