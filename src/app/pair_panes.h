// The picture panes of a project window: the start picture on the left and
// the end picture on the right, each view in a scrolling pane, a 5-pixel
// divider between them. The two views are each other's partners. What the
// views draw over their pictures is the derived panes' business.
#pragma once

#include <QSplitter>
#include <cstdint>

#include "images/raster_image.h"

class QScrollArea;
class TPictImag;

// The pane sizes and fit flags of a record's view settings.
struct PaneLayout {
    int32_t LeftWidth, LeftHeight, RightWidth, RightHeight;
    bool FitLeft, FitRight;
};

template <class ViewSettings>
PaneLayout PaneLayoutOf(const ViewSettings& s)
{
    return {s.LeftPaneWidth, s.LeftPaneHeight, s.RightPaneWidth, s.RightPaneHeight, s.FitLeft != 0,
            s.FitRight != 0};
}

class TPairPanes : public QSplitter {
    Q_OBJECT
public:
    static constexpr int kDividerWidth = 5;
    // A pane is this much wider and higher than the view in it (its frame).
    static constexpr int kPaneFrame = 4;

    TPictImag* PictView(bool left) const { return left ? LeftPict : RightPict; }
    QScrollArea* Pane(bool left) const { return left ? LeftScrollBox : RightScrollBox; }

    // Shows a picture in one view: all of it, or the region given (in the
    // record's order top, left, bottom, right) when that lies inside it.
    void ShowPicture(bool left, RasterImage&& picture, const int32_t* recordRegion = nullptr);
    // True once a picture was shown on that side (not the grey placeholder).
    bool HasPicture(bool left) const { return left ? LeftShown : RightShown; }

    // The fit flags: a view set to fit fills its pane, the others keep their
    // size; with resizeLeft / resizeRight those get the stored pane size plus
    // the margins.
    void ApplyLayout(const PaneLayout& layout, bool resizeLeft, bool resizeRight);
    // Zoom factors and quality of both views.
    void ApplyZoom(double zoomIn, double zoomOut, uint8_t quality);
    // The left pane just wide enough for its view (the divider follows).
    void FitLeftPane();

    // The region a view shows, in the record's order top, left, bottom, right.
    void StoreRegion(bool left, int32_t* recordRegion) const;
    int DividerPos() const;

signals:
    void StatusText(const QString& text);

protected:
    // Takes over both views.
    TPairPanes(TPictImag* left, TPictImag* right, QWidget* parent);
    // The view's own way of taking a new picture (all of it shown, the
    // panel sized to it); the panes refresh it.
    virtual void TakePicture(bool left, RasterImage&& picture) = 0;

private:
    QScrollArea* LeftScrollBox;
    QScrollArea* RightScrollBox;
    TPictImag* LeftPict;
    TPictImag* RightPict;
    bool LeftShown = false;
    bool RightShown = false;
};
