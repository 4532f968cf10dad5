#include "views/resu_imag.h"

#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "views/program_state.h"

namespace {

constexpr uint8_t kToolNone = 0;
constexpr uint8_t kToolZoomIn = 1;
constexpr uint8_t kToolZoomAll = 2;
constexpr uint8_t kToolHand = 3;
constexpr int kDeadZone = 5;      // view pixels before a press becomes a band
constexpr int kSmallestZoom = 5;  // a zoomed region must be wider and higher than this
constexpr uint8_t kEmptyGrey = 207;

int32_t Round(double v) { return static_cast<int32_t>(RoundEven(v)); }

// Region edges after a zoom around one point, kept inside 0 .. size - 1.
struct Span {
    int32_t Low, High;
};

// The span low..high of one axis scaled by 1 / f around centre. A span that
// sticks out is moved inside; at the low edge zoom out also clamps its far
// end, zoom in keeps the scaled extent (the caller checks the result).
Span ZoomSpan(double centre, int32_t low, int32_t high, int32_t size, double f, bool clampFarEnd)
{
    const double half = (high - low) / (2 * f);
    Span n{Round(centre - half), Round(centre + half)};
    const int32_t extent = Round((high - low) / f);
    if (n.Low < 0) {
        n.Low = 0;
        n.High = clampFarEnd ? ClampRound(size - 1, extent) : extent;
    }
    if (n.High > size - 1) {
        // A factor below 1 could push the left edge out as well.
        n.Low = AtLeastRound(0, static_cast<double>(size - 1) - extent);
        n.High = size - 1;
    }
    return n;
}

}  // namespace

TResuImag::TResuImag(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(160, 100);
    Picture.Init(160, 100);
    if (Picture.Allocated) {
        std::memset(Picture.Lock(), kEmptyGrey, static_cast<size_t>(Picture.ImageSize));
        Picture.Unlock();
    }
    Region = ViewRegion{0, 0, 159, 99};
    RenderView();
}

TResuImag::~TResuImag() = default;  // Picture and Display release themselves

void TResuImag::SetPicture(RasterImage&& picture)
{
    Picture = std::move(picture);
    Region = WholePicture(Picture);
    if (Picture.Allocated && Picture.Width() > 0 && Picture.Height() > 0) {
        resize(Picture.Width(), Picture.Height());
        emit PictureSized(Picture.Width(), Picture.Height());
    }
}

void TResuImag::RefreshView()
{
    RenderView();
    update();
}

void TResuImag::RenderView()
{
    ::RenderView(Picture, Region, DisplayMode, width(), height(), kMinimumRenderSize, Display,
                 [](bool busy) {
                     if (busy)
                         QGuiApplication::setOverrideCursor(Qt::WaitCursor);
                     else
                         QGuiApplication::restoreOverrideCursor();
                 });
}

void TResuImag::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    RenderView();
}

void TResuImag::paintEvent(QPaintEvent*)
{
    if (RedrawSuspended || !Picture.Allocated)
        return;
    QPainter painter(this);
    // Before the first rendering the picture itself is shown, unscaled.
    const RasterImage& shown = Display.Allocated ? Display : Picture;
    const uchar* bits = shown.Lock();
    // Rows are stored bottom-up; the image is flipped into screen order.
    const QImage rows(bits, shown.Width(), shown.Height(), shown.RowBytes, QImage::Format_BGR888);
    painter.drawImage(0, 0, rows.mirrored(false, true));
    shown.Unlock();
    if (Dragging && ResultTool == kToolZoomIn) {
        // A dotted white band drawn by XOR stays visible on any picture.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(Anchor, LastPoint).normalized());
    }
}

TResuImag::Scratch TResuImag::ComputeScratch() const
{
    Scratch s;
    s.L = Region.Left - 0.5;
    s.T = Region.Top - 0.5;
    const double w = Region.Right + 0.5 - s.L;
    const double h = Region.Bottom + 0.5 - s.T;
    s.Sx = w / std::max(1, width());
    s.Sy = h / std::max(1, height());
    return s;
}

void TResuImag::SetToolCursor()
{
    switch (ResultTool) {
    case kToolZoomIn:
        setCursor(CursorSlot(6));
        break;
    case kToolZoomAll:
        setCursor(CursorSlot(7));
        break;
    case kToolHand:
        setCursor(CursorSlot(8));
        break;
    default:
        unsetCursor();
    }
}

void TResuImag::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (!Picture.Allocated)
        return;
    const QPoint p = event->position().toPoint();
    const bool left = event->button() == Qt::LeftButton;
    if (ResultTool == kToolZoomIn && left) {
        Anchor = LastPoint = p;
        Dragging = true;
        BandShown = false;
        update();
    } else if (ResultTool == kToolZoomIn) {
        ZoomOutAt(p);
        RefreshView();
    } else if (ResultTool == kToolZoomAll) {
        Region = WholePicture(Picture);
        if (!Aligned)
            resize(PictureWidth(), PictureHeight());
        RefreshView();
    } else if (ResultTool == kToolHand && left) {
        Anchor = LastPoint = p;
        setCursor(CursorSlot(8));
        Dragging = true;
    }
}

void TResuImag::ZoomOutAt(QPoint point)
{
    const double f = ZoomOutFactor;
    if (!(f > 0) || !std::isfinite(f))
        return;  // no sensible zoom; the region stays
    const Scratch s = ComputeScratch();
    const double px = s.L + s.Sx * point.x(), py = s.T + s.Sy * point.y();
    const Span h = ZoomSpan(px, Region.Left, Region.Right, PictureWidth(), f, true);
    const Span v = ZoomSpan(py, Region.Top, Region.Bottom, PictureHeight(), f, true);
    const ViewRegion next{h.Low, v.Low, h.High, v.High};
    if (std::abs(h.High - h.Low) <= PictureWidth() - 1 && std::abs(v.High - v.Low) <= PictureHeight() - 1 &&
        RegionInside(Picture, next))
        Region = next;
}

void TResuImag::ZoomInAt(QPoint point)
{
    const double f = ZoomInFactor;
    if (!(f > 0) || !std::isfinite(f))
        return;
    const Scratch s = ComputeScratch();
    const double px = s.L + s.Sx * point.x(), py = s.T + s.Sy * point.y();
    const Span h = ZoomSpan(px, Region.Left, Region.Right, PictureWidth(), f, false);
    const Span v = ZoomSpan(py, Region.Top, Region.Bottom, PictureHeight(), f, false);
    const ViewRegion next{h.Low, v.Low, h.High, v.High};
    if (h.High - h.Low > kSmallestZoom && v.High - v.Low > kSmallestZoom && RegionInside(Picture, next))
        Region = next;
}

void TResuImag::FinishBand(QPoint anchor, QPoint corner)
{
    const Scratch s = ComputeScratch();
    ViewRegion n{Round(s.L + s.Sx * anchor.x()), Round(s.T + s.Sy * anchor.y()),
                 Round(s.L + s.Sx * corner.x()), Round(s.T + s.Sy * corner.y())};
    if (std::abs(n.Right - n.Left) <= kSmallestZoom || std::abs(n.Bottom - n.Top) <= kSmallestZoom)
        return;  // a band this small changes nothing
    const int32_t w = PictureWidth(), h = PictureHeight();
    n.Left = std::max(n.Left, 0);
    n.Top = std::max(n.Top, 0);
    n.Right = std::min(n.Right, w - 1);
    n.Bottom = std::min(n.Bottom, h - 1);
    if (!Aligned && n.Bottom > n.Top) {
        // Keep the picture's proportions, since the view keeps them too.
        const double a = static_cast<double>(n.Right - n.Left) / (n.Bottom - n.Top);
        const double p = static_cast<double>(w) / h;
        if (a < p)
            n.Right = Round(p * (n.Bottom - n.Top) + n.Left);
        else
            n.Bottom = Round((n.Right - n.Left) / p + n.Top);
        if (n.Right > w - 1) {
            n.Left = AtLeastRound(0, n.Left - (n.Right - (w - 1.0)));
            n.Right = w - 1;
        }
        if (n.Bottom > h - 1) {
            n.Top = AtLeastRound(0, n.Top - (n.Bottom - (h - 1.0)));
            n.Bottom = h - 1;
        }
    }
    if (RegionInside(Picture, n))
        Region = n;
}

void TResuImag::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    QPoint p = event->position().toPoint();
    if (!Dragging) {
        SetToolCursor();
        ShowPixelUnder(p);
        return;
    }
    // The pointer may not leave the view while dragging.
    const QPoint limited(std::clamp(p.x(), 0, width()), std::clamp(p.y(), 0, height()));
    if (limited != p) {
        p = limited;
        QCursor::setPos(mapToGlobal(p));
    }
    if (ResultTool == kToolZoomIn) {
        if (!BandShown && std::abs(Anchor.x() - p.x()) <= kDeadZone && std::abs(Anchor.y() - p.y()) <= kDeadZone)
            return;
        LastPoint = p;
        BandShown = true;
        update();
    } else if (ResultTool == kToolHand) {
        const double sx = static_cast<double>(Region.Right - Region.Left) / std::max(1, width());
        const double sy = static_cast<double>(Region.Bottom - Region.Top) / std::max(1, height());
        const double dx = sx * (LastPoint.x() - p.x()), dy = sy * (LastPoint.y() - p.y());
        if (std::abs(dx) <= 1 && std::abs(dy) <= 1)
            return;  // small motions add up until they make a pixel
        const int32_t rx = Round(dx), ry = Round(dy);
        if (Region.Top + ry >= 0 && Region.Bottom + ry <= PictureHeight() - 1) {
            Region.Top += ry;
            Region.Bottom += ry;
        }
        if (Region.Left + rx >= 0 && Region.Right + rx <= PictureWidth() - 1) {
            Region.Left += rx;
            Region.Right += rx;
        }
        LastPoint = p;
        RefreshView();
    }
}

void TResuImag::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (!Dragging)
        return;
    QPoint p = event->position().toPoint();
    p = QPoint(std::clamp(p.x(), 0, width()), std::clamp(p.y(), 0, height()));
    if (ResultTool == kToolZoomIn) {
        const QPoint low(std::min(Anchor.x(), p.x()), std::min(Anchor.y(), p.y()));
        const QPoint high(std::max(Anchor.x(), p.x()), std::max(Anchor.y(), p.y()));
        if (BandShown)
            FinishBand(low, high);
        else
            ZoomInAt(high);
        Dragging = false;  // the band is gone with the next paint
        RefreshView();
    } else if (ResultTool == kToolHand) {
        const double sx = static_cast<double>(Region.Right - Region.Left + 1) / std::max(1, width());
        const double sy = static_cast<double>(Region.Bottom - Region.Top + 1) / std::max(1, height());
        const double dx = sx * (LastPoint.x() - p.x()), dy = sy * (LastPoint.y() - p.y());
        if (std::abs(dx) >= 1 || std::abs(dy) >= 1) {
            const int32_t rx = Round(dx), ry = Round(dy);
            if (Region.Top + ry > 0 && Region.Bottom + ry <= PictureHeight() - 1) {
                Region.Top += ry;
                Region.Bottom += ry;
            }
            if (Region.Left + rx > 0 && Region.Right + rx <= PictureWidth() - 1) {
                Region.Left += rx;
                Region.Right += rx;
            }
            setCursor(CursorSlot(8));
            RefreshView();
        }
    }
    Dragging = false;
    BandShown = false;
}

void TResuImag::ShowPixelUnder(QPoint point)
{
    if (!Picture.Allocated)
        return;
    const double sx = static_cast<double>(Region.Right - Region.Left + 1) / std::max(1, width());
    const double sy = static_cast<double>(Region.Bottom - Region.Top + 1) / std::max(1, height());
    auto nearest = [](double v) {
        const double whole = std::trunc(v);
        return v - whole < 0.5 ? whole : RoundEven(v);
    };
    const double px = nearest(sx * point.x() + Region.Left - 0.5);
    const double py = nearest(sy * point.y() + Region.Top - 0.5);
    const int32_t x = ClampRound(Region.Right, px);
    const int32_t y = ClampRound(Region.Bottom, py);
    emit StatusText(QString::asprintf("Pixel: (%d, %d)", x, y));
}
