// The picture panes of a mesh project window, each with a TMeshImag. The two
// views are each other's partners, so row and column edits change both
// meshes.
#pragma once

#include "app/pair_panes.h"
#include "project/project_record.h"

class TMeshImag;

class TMeshPanes : public TPairPanes {
    Q_OBJECT
public:
    explicit TMeshPanes(QWidget* parent = nullptr);

    TMeshImag* View(bool left) const;

    // What the views take from the view settings: show flags, colours,
    // segment count, point size, zoom factors and quality; then both repaint.
    void ApplyDrawing(const MeshViewSettings& view);
    void ApplyLayout(const MeshViewSettings& view, bool resizeViews) { ApplyLayout(view, resizeViews, resizeViews); }
    void ApplyLayout(const MeshViewSettings& view, bool resizeLeft, bool resizeRight)
    {
        TPairPanes::ApplyLayout(PaneLayoutOf(view), resizeLeft, resizeRight);
    }

signals:
    void MeshEdited();

protected:
    void TakePicture(bool left, RasterImage&& picture) override;
};
