// The picture panes of a mesh project window: the start picture on the left
// and the end picture on the right, each in a scrolling pane with a
// TMeshImag in it, a 5-pixel divider between them. The two views are each
// other's partners, so row and column edits change both meshes.
#pragma once

#include <QSplitter>

#include "images/raster_image.h"
#include "project/project_record.h"

class QScrollArea;
class TMeshImag;

class TMeshPanes : public QSplitter {
    Q_OBJECT
public:
    static constexpr int kDividerWidth = 5;
    // A pane is this much wider and higher than the view in it (its frame).
    static constexpr int kPaneFrame = 4;

    explicit TMeshPanes(QWidget* parent = nullptr);

    TMeshImag* View(bool left) const { return left ? LeftView : RightView; }
    QScrollArea* Pane(bool left) const { return left ? LeftScrollBox : RightScrollBox; }

    // Shows a picture in one view: all of it, or the region given (in the
    // record's order top, left, bottom, right) when that lies inside it.
    void ShowPicture(bool left, RasterImage&& picture, const int32_t* recordRegion = nullptr);
    // True once a picture was shown on that side (not the grey placeholder).
    bool HasPicture(bool left) const { return left ? LeftShown : RightShown; }

    // What the views take from the view settings: show flags, colours,
    // segment count, point size, zoom factors and quality; then both repaint.
    void ApplyDrawing(const MeshViewSettings& view);
    // The fit flags: a view set to fit fills its pane, the others keep their
    // size; with resizeViews those get the stored pane size plus the margins.
    void ApplyLayout(const MeshViewSettings& view, bool resizeViews) { ApplyLayout(view, resizeViews, resizeViews); }
    void ApplyLayout(const MeshViewSettings& view, bool resizeLeft, bool resizeRight);
    // The left pane just wide enough for its view (the divider follows).
    void FitLeftPane();

    // The region a view shows, in the record's order top, left, bottom, right.
    void StoreRegion(bool left, int32_t* recordRegion) const;
    int DividerPos() const;

signals:
    void MeshEdited();
    void StatusText(const QString& text);

private:
    QScrollArea* LeftScrollBox;
    QScrollArea* RightScrollBox;
    TMeshImag* LeftView;
    TMeshImag* RightView;
    bool LeftShown = false;
    bool RightShown = false;
};
