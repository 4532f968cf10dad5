// The picture panes of a node project window, each with a TNodeImag. The two
// views are each other's partners, so adding and deleting acts on both node
// sets and they keep the same count.
#pragma once

#include "app/pair_panes.h"
#include "project/project_record.h"

class TNodeImag;

class TNodePanes : public TPairPanes {
    Q_OBJECT
public:
    explicit TNodePanes(QWidget* parent = nullptr);

    TNodeImag* View(bool left) const;

    // Show flags, point and selected-point colours, marker size, zoom
    // factors and quality; then both repaint.
    void ApplyDrawing(const NodeViewSettings& view);
    // The warp method with which both views draw the radii.
    void SetRadiusMode(uint8_t mode);
    // Both sets' radii for that method, and both views repainted.
    void RecomputeRadii();

signals:
    void NodesEdited();

protected:
    void TakePicture(bool left, RasterImage&& picture) override;
};
