// The picture view every view of the workstation derives from. It owns the
// picture, its display picture and the visible region, maps panel points to
// picture pixels and to world (normalised) coordinates, and does the gestures
// all views share: zoom in by click or rubber band, zoom out, zoom all and
// hand move, with the pointer confined to the picture area during a drag.
// A subclass paints over the picture (PaintOver) and adds the edit tools.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "images/raster_image.h"
#include "images/render_view.h"
#include "images/view_region.h"
#include "project/project_record.h"

struct ClipLineContext;
class QPainter;

// What tells the kinds of view apart.
struct PictViewRules {
    int32_t Margin;             // band round the picture area (frames, margin clicks), pixels
    int32_t MinimumPanelSize;   // a narrower or lower panel renders nothing
    int32_t BandStart;          // pointer distance, in x or in y, at which a press becomes a rubber band
    bool StrictInside;          // gestures only strictly inside the margin
    bool ZoomTestsCurrent;      // a zoom click is refused by the current span, not the new one
    bool ShiftOnRelease;        // a hand move applies the last shift at the release
    bool ClickAtLargerCorner;   // a zoom click is centred on the larger corner of press and release
    BandProportions Proportions;  // how a band is fitted to the picture when the view is not aligned
};

inline constexpr PictViewRules kResultViewRules{0, 40, 6, false, false, true, true, BandProportions::Ratio};
inline constexpr PictViewRules kMeshViewRules{14, 68, 6, false, true, false, false, BandProportions::Ratio};
inline constexpr PictViewRules kNodeViewRules{14, 68, 4, true, true, true, true, BandProportions::Products};

// Where a panel point lies: in the picture area or in one of the margins
// (Corner: in two at once).
enum class PanelZone : uint8_t { Inner, Left, Right, Top, Bottom, Corner };

class TPictImag : public QWidget {
    Q_OBJECT
public:
    static constexpr uint8_t kEmptyGrey = 207;
    // The tool of the view's window, asked at every mouse event.
    using ToolSource = std::function<ToolMode()>;

    ~TPictImag() override;

    void SetToolSource(ToolSource source) { Tools = std::move(source); }
    ToolMode CurrentTool() const { return Tools ? Tools() : FallbackTool(); }

    // Renders the visible region into the display picture and repaints.
    void RefreshView();

    void SetDisplayMode(uint8_t mode) { DisplayMode = mode; }
    void SetZoomInFactor(double factor) { ZoomInFactor = factor; }
    void SetZoomOutFactor(double factor) { ZoomOutFactor = factor; }
    // True when the view fills its window or pane: zooming then keeps the
    // view's size and a band keeps its own proportions.
    void SetAligned(bool aligned) { Aligned = aligned; }
    // Shows another part of the picture; false (nothing changes) for a region
    // that is not inside it. The caller refreshes.
    bool SetRegion(const ViewRegion& region);

    uint8_t GetDisplayMode() const { return DisplayMode; }
    double GetZoomInFactor() const { return ZoomInFactor; }
    double GetZoomOutFactor() const { return ZoomOutFactor; }
    bool IsAligned() const { return Aligned; }
    const RasterImage& GetPicture() const { return Picture; }
    const RasterImage& GetDisplay() const { return Display; }
    const ViewRegion& GetRegion() const { return Region; }
    bool IsDragging() const { return Dragging; }
    bool IsBandShown() const { return BandShown; }
    const PictViewRules& Rules() const { return Kind; }

    // The picture area in panel pixels, and the mapping as it is now.
    ViewArea PictureArea() const;
    ViewMapping Mapping() const;
    // Puts the picture area and the world window into a drawing context.
    void FillClipContext(ClipLineContext& context) const;
    PanelZone ZoneAt(QPoint point) const;

signals:
    // "Pixel: (x, y)" for the main window's status bar.
    void StatusText(const QString& text);

protected:
    TPictImag(const PictViewRules& rules, QWidget* parent);

    // A light grey picture of that size, all of it shown, the panel sized to it.
    void ShowPlaceholder(int32_t width, int32_t height);
    // Takes the picture over and shows all of it (or the region given, when
    // it lies inside); the caller sizes the panel and refreshes.
    void InstallPicture(RasterImage&& picture, const ViewRegion* region = nullptr);
    // Panel size = picture size plus the margins.
    void ResizeToPicture();
    // A new view's picture: this one with its region (all of it when the
    // region does not lie inside), panel sized to it and rendered; the
    // 320 x 200 placeholder when there is no picture.
    void StartWith(RasterImage&& picture, const ViewRegion& region);
    // Takes a new picture, shows all of it and sizes the panel to it.
    void ReplacePicture(RasterImage&& picture)
    {
        InstallPicture(std::move(picture));
        ResizeToPicture();
    }
    // Renders without repainting; false when nothing was rendered.
    bool RenderView();

    // The tool when the window has not said: the program-wide one.
    virtual ToolMode FallbackTool() const { return ToolMode::Edit; }
    // False: the press is ignored altogether.
    virtual bool AcceptsPress(ToolMode /*tool*/) const { return true; }
    // The edit and delete tools in the picture area, and any tool in a margin.
    virtual void PressEdit(Qt::MouseButton /*button*/, QPoint /*point*/, ToolMode /*tool*/) {}
    virtual void PressMargin(Qt::MouseButton /*button*/, QPoint /*point*/, PanelZone /*zone*/, ToolMode /*tool*/) {}
    // Moves and the release of a drag begun with BeginEditDrag; the point is
    // already confined to the picture area.
    virtual void DragEdit(QPoint /*point*/) {}
    virtual void ReleaseEdit(QPoint /*point*/) {}
    // Called after every refresh, before the repaint.
    virtual void Refreshed() {}
    // Drawn over the picture, inside the panel.
    virtual void PaintOver(QPainter& /*painter*/) {}
    // The frames (with a margin) and the display picture.
    void PaintPicture(QPainter& painter) const;
    virtual QCursor EditCursor() const;
    virtual QCursor MarginCursor(PanelZone /*zone*/, ToolMode /*tool*/) const;

    // Starts a drag of the edit tools, pressed with that button at point.
    void BeginEditDrag(Qt::MouseButton button, ToolMode tool, QPoint point) { BeginDrag(button, tool, point); }
    bool EditDragging() const { return Dragging && (DragTool == ToolMode::Edit || DragTool == ToolMode::Delete); }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void BeginDrag(Qt::MouseButton button, ToolMode tool, QPoint point);
    void ZoomOutAt(QPoint point);
    void ZoomInAt(QPoint point);
    void FinishBand(QPoint low, QPoint high);
    void MoveHand(QPoint point);
    void ReleaseHand(QPoint point);
    void ShowPixelUnder(QPoint point);
    void SetCursorFor(QPoint point);
    QPoint Confined(QPoint point) const;
    void PaintFrames(QPainter& painter) const;

    PictViewRules Kind;
    ToolSource Tools;
    RasterImage Picture;
    RasterImage Display;
    // The display picture in the screen's own pixel format, made once per
    // rendering so that a repaint only copies it.
    QImage Screen;
    uint8_t DisplayMode = 0;
    double ZoomInFactor = 2.0;
    double ZoomOutFactor = 0.5;
    ViewRegion Region;
    bool Aligned = false;
    bool Dragging = false;
    bool BandShown = false;
    ToolMode DragTool = ToolMode::Edit;
    Qt::MouseButton DragButton = Qt::NoButton;
    QPoint Anchor;
    QPoint LastPoint;
};
