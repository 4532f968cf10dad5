#include "views/pict_imag.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "numerics/clip_line.h"
#include "numerics/real48.h"
#include "views/program_state.h"

namespace {

int32_t Round(double v) { return static_cast<int32_t>(RoundEven(v)); }

// The bottom-up BGR rows of a picture as a top-down 32-bit screen image. On
// a little-endian machine the four bytes at a pixel are blue, green, red and
// the next pixel's blue: one load and the alpha byte make the screen pixel.
QImage ScreenImage(const RasterImage& picture)
{
    static_assert(std::endian::native == std::endian::little);
    const int32_t w = picture.Width(), h = picture.Height();
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull() || w <= 0)
        return image;
    const uint8_t* bits = picture.Lock();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* s = bits + static_cast<size_t>(h - 1 - y) * picture.RowBytes;
        auto* d = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int32_t x = 0; x + 1 < w; ++x, s += 3) {
            uint32_t v;
            std::memcpy(&v, s, 4);
            d[x] = v | 0xFF000000u;
        }
        // The last pixel of a row may end the memory: byte by byte.
        d[w - 1] = 0xFF000000u | uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
    }
    picture.Unlock();
    return image;
}

}  // namespace

TPictImag::TPictImag(const PictViewRules& rules, QWidget* parent) : QWidget(parent), Kind(rules)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TPictImag::~TPictImag() = default;  // Picture and Display release themselves

void TPictImag::ShowPlaceholder(int32_t width, int32_t height)
{
    RasterImage grey;
    grey.Init(width, height);
    if (grey.Allocated) {
        std::memset(grey.Lock(), kEmptyGrey, static_cast<size_t>(grey.ImageSize));
        grey.Unlock();
    }
    Picture = std::move(grey);
    Region = ViewRegion{0, 0, width - 1, height - 1};
    resize(width + 2 * Kind.Margin, height + 2 * Kind.Margin);
    RenderView();
}

void TPictImag::InstallPicture(RasterImage&& picture, const ViewRegion* region)
{
    Picture = std::move(picture);
    Region = region && RegionInside(Picture, *region) ? *region : WholePicture(Picture);
}

void TPictImag::ResizeToPicture()
{
    if (Picture.Allocated && Picture.Width() > 0 && Picture.Height() > 0)
        resize(Picture.Width() + 2 * Kind.Margin, Picture.Height() + 2 * Kind.Margin);
}

void TPictImag::StartWith(RasterImage&& picture, const ViewRegion& region)
{
    if (!picture.Allocated || picture.Width() <= 0 || picture.Height() <= 0) {
        ShowPlaceholder(320, 200);
        return;
    }
    InstallPicture(std::move(picture), &region);
    ResizeToPicture();
    RenderView();
}

bool TPictImag::SetRegion(const ViewRegion& region)
{
    if (!RegionInside(Picture, region))
        return false;
    Region = region;
    return true;
}

bool TPictImag::RenderView()
{
    const ViewArea area = PictureArea();
    const bool rendered =
        ::RenderView(Picture, Region, DisplayMode, area.Width, area.Height, Kind.MinimumPanelSize - 2 * Kind.Margin,
                     Display, [](bool busy) {
                         if (busy)
                             QGuiApplication::setOverrideCursor(Qt::WaitCursor);
                         else
                             QGuiApplication::restoreOverrideCursor();
                     });
    if (rendered)
        Screen = ScreenImage(Display);
    return rendered;
}

void TPictImag::RefreshView()
{
    RenderView();
    Refreshed();
    update();
}

ViewArea TPictImag::PictureArea() const
{
    return ViewArea{Kind.Margin, Kind.Margin, width() - 2 * Kind.Margin, height() - 2 * Kind.Margin};
}

ViewMapping TPictImag::Mapping() const
{
    return ViewMapping(Region, Picture.Width(), Picture.Height(), PictureArea());
}

void TPictImag::FillClipContext(ClipLineContext& c) const
{
    const ViewMapping m = Mapping();
    c.ScreenLeft = Kind.Margin;
    c.ScreenTop = Kind.Margin;
    c.ScreenRight = width() - Kind.Margin;
    c.ScreenBottom = height() - Kind.Margin;
    c.WorldX1 = m.World().X1;
    c.WorldY1 = m.World().Y1;
    c.WorldX2 = m.World().X2;
    c.WorldY2 = m.World().Y2;
    c.UseWorldWindow();
}

PanelZone TPictImag::ZoneAt(QPoint p) const
{
    const int32_t m = Kind.Margin;
    const bool strict = Kind.StrictInside;
    const bool left = strict ? p.x() <= m : p.x() < m;
    const bool right = strict ? p.x() >= width() - m : p.x() > width() - m;
    const bool top = strict ? p.y() <= m : p.y() < m;
    const bool bottom = strict ? p.y() >= height() - m : p.y() > height() - m;
    const int sides = int(left) + int(right) + int(top) + int(bottom);
    if (sides == 0)
        return PanelZone::Inner;
    if (sides > 1)
        return PanelZone::Corner;
    return left ? PanelZone::Left : right ? PanelZone::Right : top ? PanelZone::Top : PanelZone::Bottom;
}

void TPictImag::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    RenderView();
}

void TPictImag::PaintFrames(QPainter& painter) const
{
    const int32_t w = width(), h = height(), m = Kind.Margin;
    const QColor face = palette().color(QPalette::Button);
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    painter.fillRect(QRect(0, 0, w, m), face);
    painter.fillRect(QRect(0, h - m, w, m), face);
    painter.fillRect(QRect(0, m, m, h - 2 * m), face);
    painter.fillRect(QRect(w - m, m, m, h - 2 * m), face);
    // offset, colour of the top and left edges, colour of the bottom and right edges
    const struct {
        int32_t Offset;
        QColor TopLeft, BottomRight;
    } frames[] = {{0, light, shadow}, {1, light, shadow}, {m - 2, shadow, light}, {m - 1, shadow, light}};
    for (const auto& f : frames) {
        const int32_t o = f.Offset;
        painter.setPen(f.TopLeft);
        painter.drawLine(o, o, w - 1 - o, o);
        painter.drawLine(o, o, o, h - 1 - o);
        painter.setPen(f.BottomRight);
        painter.drawLine(o, h - 1 - o, w - 1 - o, h - 1 - o);
        painter.drawLine(w - 1 - o, o, w - 1 - o, h - 1 - o);
    }
}

void TPictImag::PaintPicture(QPainter& painter) const
{
    if (Kind.Margin > 0)
        PaintFrames(painter);
    // Before the first rendering the picture itself is shown, unscaled.
    if (Display.Allocated && !Screen.isNull())
        painter.drawImage(Kind.Margin, Kind.Margin, Screen);
    else
        painter.drawImage(Kind.Margin, Kind.Margin, ScreenImage(Picture));
}

void TPictImag::paintEvent(QPaintEvent*)
{
    if (RedrawSuspended || !Picture.Allocated)
        return;
    QPainter painter(this);
    PaintPicture(painter);
    PaintOver(painter);
    if (Dragging && DragTool == ToolMode::ZoomIn) {
        // A dotted white band drawn by XOR stays visible on any picture.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(Anchor, LastPoint).normalized());
    }
}

QCursor TPictImag::EditCursor() const { return QCursor(Qt::ArrowCursor); }

QCursor TPictImag::MarginCursor(PanelZone, ToolMode) const { return QCursor(Qt::ArrowCursor); }

void TPictImag::SetCursorFor(QPoint p)
{
    const ToolMode tool = CurrentTool();
    const PanelZone zone = ZoneAt(p);
    if (zone != PanelZone::Inner) {
        setCursor(MarginCursor(zone, tool));
        return;
    }
    switch (tool) {
    case ToolMode::ZoomIn:
        setCursor(CursorSlot(6));
        break;
    case ToolMode::ZoomAll:
        setCursor(CursorSlot(7));
        break;
    case ToolMode::HandMove:
        setCursor(CursorSlot(8));
        break;
    default:
        setCursor(EditCursor());
    }
}

void TPictImag::BeginDrag(Qt::MouseButton button, ToolMode tool, QPoint point)
{
    Dragging = true;
    BandShown = false;
    DragTool = tool;
    DragButton = button;
    Anchor = LastPoint = point;
}

void TPictImag::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (!Picture.Allocated || Dragging)
        return;
    const QPoint p = event->position().toPoint();
    const ToolMode tool = CurrentTool();
    if (!AcceptsPress(tool))
        return;
    const Qt::MouseButton button = event->button();
    const PanelZone zone = ZoneAt(p);
    if (zone != PanelZone::Inner) {
        PressMargin(button, p, zone, tool);
        return;
    }
    const bool left = button == Qt::LeftButton;
    switch (tool) {
    case ToolMode::ZoomIn:
        if (left) {
            BeginDrag(button, tool, p);
            update();
        } else {
            ZoomOutAt(p);
            RefreshView();
        }
        break;
    case ToolMode::ZoomAll:
        Region = WholePicture(Picture);
        if (!Aligned)
            ResizeToPicture();
        RefreshView();
        break;
    case ToolMode::HandMove:
        if (left) {
            BeginDrag(button, tool, p);
            setCursor(CursorSlot(8));
        }
        break;
    default:
        PressEdit(button, p, tool);
    }
}

QPoint TPictImag::Confined(QPoint p) const
{
    const int32_t m = Kind.Margin;
    return QPoint(std::clamp(p.x(), m, std::max(m, width() - m)), std::clamp(p.y(), m, std::max(m, height() - m)));
}

void TPictImag::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    QPoint p = event->position().toPoint();
    if (!Dragging) {
        SetCursorFor(p);
        if (ZoneAt(p) == PanelZone::Inner)
            ShowPixelUnder(p);
        return;
    }
    // The pointer may not leave the picture area while dragging.
    const QPoint limited = Confined(p);
    if (limited != p) {
        p = limited;
        QCursor::setPos(mapToGlobal(p));
    }
    switch (DragTool) {
    case ToolMode::ZoomIn:
        if (!BandShown && std::abs(Anchor.x() - p.x()) < Kind.BandStart &&
            std::abs(Anchor.y() - p.y()) < Kind.BandStart)
            return;
        LastPoint = p;
        BandShown = true;
        update();
        break;
    case ToolMode::HandMove:
        MoveHand(p);
        break;
    default:
        DragEdit(p);
    }
}

void TPictImag::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (!Dragging || event->button() != DragButton)
        return;
    const QPoint p = Confined(event->position().toPoint());
    switch (DragTool) {
    case ToolMode::ZoomIn: {
        const QPoint low(std::min(Anchor.x(), p.x()), std::min(Anchor.y(), p.y()));
        const QPoint high(std::max(Anchor.x(), p.x()), std::max(Anchor.y(), p.y()));
        if (BandShown)
            FinishBand(low, high);
        else
            ZoomInAt(Kind.ClickAtLargerCorner ? high : p);
        Dragging = false;  // the band is gone with the next paint
        RefreshView();
        break;
    }
    case ToolMode::HandMove:
        ReleaseHand(p);
        break;
    default:
        Dragging = false;
        ReleaseEdit(p);
    }
    Dragging = false;
    BandShown = false;
    DragButton = Qt::NoButton;
}

void TPictImag::ZoomOutAt(QPoint point)
{
    const ViewMapping m = Mapping();
    if (auto next = ZoomOutRegion(Region, Picture.Width(), Picture.Height(), m.PictureX(point.x()),
                                  m.PictureY(point.y()), ZoomOutFactor))
        Region = *next;
}

void TPictImag::ZoomInAt(QPoint point)
{
    const ViewMapping m = Mapping();
    if (auto next = ZoomInRegion(Region, Picture.Width(), Picture.Height(), m.PictureX(point.x()),
                                 m.PictureY(point.y()), ZoomInFactor, Kind.ZoomTestsCurrent))
        Region = *next;
}

void TPictImag::FinishBand(QPoint low, QPoint high)
{
    const ViewMapping m = Mapping();
    if (auto next = BandRegion(Picture.Width(), Picture.Height(), m.PictureX(low.x()), m.PictureY(low.y()),
                               m.PictureX(high.x()), m.PictureY(high.y()),
                               Aligned ? BandProportions::Keep : Kind.Proportions))
        Region = *next;
}

void TPictImag::MoveHand(QPoint p)
{
    // Spans without the +1 while moving, with it at the release.
    const ViewArea area = PictureArea();
    const double sx = static_cast<double>(Region.Right - Region.Left) / std::max(1, area.Width);
    const double sy = static_cast<double>(Region.Bottom - Region.Top) / std::max(1, area.Height);
    const double dx = sx * (LastPoint.x() - p.x()), dy = sy * (LastPoint.y() - p.y());
    if (std::abs(dx) <= 1 && std::abs(dy) <= 1)
        return;  // small motions add up until they make a pixel
    Region = ShiftRegion(Region, Picture.Width(), Picture.Height(), Round(dx), Round(dy), false);
    LastPoint = p;
    RefreshView();
}

void TPictImag::ReleaseHand(QPoint p)
{
    if (!Kind.ShiftOnRelease)
        return;
    const ViewArea area = PictureArea();
    const double sx = static_cast<double>(Region.Right - Region.Left + 1) / std::max(1, area.Width);
    const double sy = static_cast<double>(Region.Bottom - Region.Top + 1) / std::max(1, area.Height);
    const double dx = sx * (LastPoint.x() - p.x()), dy = sy * (LastPoint.y() - p.y());
    if (std::abs(dx) < 1 && std::abs(dy) < 1)
        return;
    Region = ShiftRegion(Region, Picture.Width(), Picture.Height(), Round(dx), Round(dy), true);
    setCursor(CursorSlot(8));
    RefreshView();
}

void TPictImag::ShowPixelUnder(QPoint point)
{
    if (!Picture.Allocated)
        return;
    const ViewMapping m = Mapping();
    emit StatusText(QString::asprintf("Pixel: (%d, %d)", m.PixelX(point.x()), m.PixelY(point.y())));
}
