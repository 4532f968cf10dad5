// The result view: shows the last computed frame, owns it, and lets the user
// zoom in (band or click), zoom out (right click), show everything again and
// move the visible part by hand. Reports the picture pixel under the mouse
// through StatusText, meant for panel 0 of the main window's status bar.
// Its tools: zoom in, zoom all and hand move; edit and delete do nothing.
#pragma once

#include "images/raster_image.h"
#include "images/result_view.h"
#include "views/pict_imag.h"

class TResuImag : public TPictImag, public ResultView {
    Q_OBJECT
public:
    // Smallest view size that is rendered at all.
    static constexpr int kMinimumRenderSize = kResultViewRules.MinimumPanelSize;

    explicit TResuImag(QWidget* parent = nullptr);
    ~TResuImag() override;

    // Takes the picture over; the whole picture becomes visible and the view
    // (and, through PictureSized, its window) takes the picture's size.
    void SetPicture(RasterImage&& picture) override;
    void RefreshView() override { TPictImag::RefreshView(); }

signals:
    // The picture's size after SetPicture, for the owning window's client area.
    void PictureSized(int width, int height);

protected:
    // Without a window: the program-wide result tool (0 none, 1 zoom in,
    // 2 zoom all, 3 hand move).
    ToolMode FallbackTool() const override;
};
