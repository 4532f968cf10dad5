// The result view: shows the last computed frame, owns it, and lets the user
// zoom in (band or click), zoom out (right click), show everything again and
// move the visible part by hand. Reports the picture pixel under the mouse
// through StatusText, meant for panel 0 of the main window's status bar.
#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>

#include "images/raster_image.h"
#include "images/render_view.h"
#include "images/result_view.h"

class TResuImag : public QWidget, public ResultView {
    Q_OBJECT
public:
    // Smallest view size that is rendered at all.
    static constexpr int kMinimumRenderSize = 40;

    explicit TResuImag(QWidget* parent = nullptr);
    ~TResuImag() override;

    // Takes the picture over; the whole picture becomes visible and the view
    // (and, through PictureSized, its window) takes the picture's size.
    void SetPicture(RasterImage&& picture) override;
    void RefreshView() override;

    // Display settings from the project's view settings.
    void SetDisplayMode(uint8_t mode) { DisplayMode = mode; }
    void SetZoomInFactor(double factor) { ZoomInFactor = factor; }
    void SetZoomOutFactor(double factor) { ZoomOutFactor = factor; }
    // True when the view fills its window; zooming then keeps the view's size
    // and the region is not brought to the picture's proportions.
    void SetAligned(bool aligned) { Aligned = aligned; }

    uint8_t GetDisplayMode() const { return DisplayMode; }
    double GetZoomInFactor() const { return ZoomInFactor; }
    double GetZoomOutFactor() const { return ZoomOutFactor; }
    const RasterImage& GetPicture() const { return Picture; }
    const RasterImage& GetDisplay() const { return Display; }
    const ViewRegion& GetRegion() const { return Region; }
    bool IsDragging() const { return Dragging; }
    bool IsBandShown() const { return BandShown; }

signals:
    // "Pixel: (x, y)" for the main window's status bar.
    void StatusText(const QString& text);
    // The picture's size after SetPicture, for the owning window's client area.
    void PictureSized(int width, int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Scratch values: region origin, pixel size per view pixel.
    struct Scratch {
        double L, T, Sx, Sy;
    };
    Scratch ComputeScratch() const;
    void RenderView();
    void ZoomOutAt(QPoint point);
    void ZoomInAt(QPoint point);
    void FinishBand(QPoint anchor, QPoint corner);
    void ShowPixelUnder(QPoint point);
    void SetToolCursor();
    int PictureWidth() const { return Picture.Width(); }
    int PictureHeight() const { return Picture.Height(); }

    RasterImage Picture;
    RasterImage Display;
    uint8_t DisplayMode = 0;
    double ZoomInFactor = 2.0;
    double ZoomOutFactor = 0.5;
    ViewRegion Region;
    bool Dragging = false;
    bool BandShown = false;
    bool Aligned = false;
    QPoint Anchor;
    QPoint LastPoint;
};
