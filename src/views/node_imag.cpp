#include "views/node_imag.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "numerics/clip_line.h"
#include "numerics/store_real48.h"
#include "views/painter_canvas.h"
#include "views/program_state.h"

namespace {

// A screen coordinate as ClipLine rounds it, kept far inside the int range.
int32_t ScreenPixel(double v)
{
    const double r = std::nearbyint(v);
    if (!(r > -1e9))
        return -1000000000;
    return r < 1e9 ? static_cast<int32_t>(r) : 1000000000;
}

QColor ColourOf(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

void EllipsePixels(QPoint centre, int32_t a, int32_t b, const QRect& clip, std::vector<QPoint>& out)
{
    if (a < 0 || b < 0 || a > kLargestEllipseRadius || b > kLargestEllipseRadius)
        return;
    const int32_t cx = centre.x(), cy = centre.y();
    auto put = [&](int64_t x, int64_t y) {
        const QPoint p(static_cast<int>(x), static_cast<int>(y));
        if (clip.contains(p))
            out.push_back(p);
    };
    // The four mirror images, a pixel on an axis only once.
    auto plot = [&](int64_t x, int64_t y) {
        put(cx + x, cy + y);
        if (x != 0)
            put(cx - x, cy + y);
        if (y != 0) {
            put(cx + x, cy - y);
            if (x != 0)
                put(cx - x, cy - y);
        }
    };
    // 64-bit arithmetic gives what 32 bits give within the radius limit.
    const int64_t a2 = int64_t(a) * a, b2 = int64_t(b) * b;
    int64_t x = 0, y = b;
    int64_t d = b2 - a2 * b + a2 / 4;
    int64_t dx = 0, dy = 2 * a2 * b;
    while (dx < dy) {
        plot(x, y);
        if (d >= 0) {
            y -= 1;
            dy -= 2 * a2;
            d -= dy;
        }
        x += 1;
        dx += 2 * b2;
        d += dx + b2;
    }
    d += (3 * (a2 - b2) / 2 - (dx + dy)) / 2;
    while (y >= 0) {
        plot(x, y);
        if (d <= 0) {
            x += 1;
            dx += 2 * b2;
            d += dx;
        }
        y -= 1;
        dy -= 2 * a2;
        d += a2 - dy;
    }
}

TNodeImag::TNodeImag(QWidget* parent) : TEditImag(kNodeViewRules, parent) {}

TNodeImag::TNodeImag(RasterImage&& picture, const ViewRegion& region, QWidget* parent)
    : TEditImag(kNodeViewRules, std::move(picture), region, parent)
{
}

TNodeImag::~TNodeImag() = default;

void TNodeImag::ComputeBothRadii()
{
    ComputeRadii();
    if (Partner)
        Partner->ComputeRadii();
}

void TNodeImag::SetShowFlags(bool points, bool radii)
{
    Nodes.ShowPoints = points;
    Nodes.ShowRadii = radii;
    Backdrop = QImage();
    update();
}

ToolMode TNodeImag::FallbackTool() const { return ToolModeOf(NodeTool); }

bool TNodeImag::AcceptsPress(ToolMode tool) const
{
    // Nothing to see, nothing to edit.
    return !(tool == ToolMode::Edit && !Nodes.ShowPoints && !Nodes.ShowRadii);
}

NodePoint TNodeImag::WorldAt(QPoint point) const
{
    const ViewMapping m = Mapping();
    return NodePoint{m.WorldX(point.x()), m.WorldY(point.y())};
}

NodePoint TNodeImag::KeptInside(QPoint point) const
{
    const ViewMapping m = DragMapping ? *DragMapping : Mapping();
    const double w = std::max(1, PictureWidth()), h = std::max(1, PictureHeight());
    double x = m.WorldX(point.x()), y = m.WorldY(point.y());
    if (x < 0)
        x = 0.01 / w;
    else if (x > 1)
        x = 1 - 0.01 / w;
    if (y < 0)
        y = 0.01 / h;
    else if (y > 1)
        y = 1 - 0.01 / h;
    return NodePoint{x, y};
}

void TNodeImag::MarkEdited()
{
    Modified = true;
    if (Partner)
        Partner->Modified = true;
    emit NodesEdited();
}

void TNodeImag::RepaintBoth()
{
    update();
    if (Partner)
        Partner->update();
}

void TNodeImag::PressEdit(Qt::MouseButton button, QPoint point, ToolMode tool)
{
    const NodePoint p = WorldAt(point);
    const double tol = StoreReal48(HitRadius * Mapping().UnitsX());
    if (button == Qt::LeftButton) {
        int32_t k = -1;
        if (!Nodes.FindNearestNode(p, tol, k))
            return;
        BeginEditDrag(button, tool, point);
        Moved = false;
        DragIndex = k;
        DragStart = Nodes.Data.GetNode(k);
        DragMapping = Mapping();
        Nodes.Selected = k;
        if (Partner)
            Partner->Nodes.Selected = k;
        Backdrop = QImage();
        DragDrawn = NodeBounds(k);
        RepaintBoth();
        return;
    }
    const bool edited = tool == ToolMode::Edit ? !Nodes.AddNodePair(p) : Nodes.DeleteNodePair(p, tol);
    if (!edited)
        return;
    ComputeBothRadii();
    MarkEdited();
    RepaintBoth();
}

void TNodeImag::DragEdit(QPoint point)
{
    if (DragIndex < 0 || DragIndex >= Nodes.Data.Count)
        return;
    Moved = true;
    Nodes.MoveNode(DragIndex, KeptInside(point));
    ComputeRadii();
    // Only the old and the new place of the node change on the screen.
    const QRect now = NodeBounds(DragIndex);
    update(DragDrawn.united(now));
    DragDrawn = now;
}

void TNodeImag::ReleaseEdit(QPoint point)
{
    Backdrop = QImage();
    if (Moved && DragIndex >= 0 && DragIndex < Nodes.Data.Count) {
        Nodes.MoveNode(DragIndex, KeptInside(point));
        ComputeBothRadii();
        const NodePoint now = Nodes.Data.GetNode(DragIndex);
        if (now.X != DragStart.X || now.Y != DragStart.Y)
            MarkEdited();
    }
    Moved = false;
    DragMapping.reset();
    RepaintBoth();
}

QPoint TNodeImag::ScreenPosition(const ClipLineContext& c, int32_t i) const
{
    return QPoint(ScreenPixel((Nodes.Data.X[i] - c.WorldX1) * c.ScaleX + c.ScreenLeft),
                  ScreenPixel((Nodes.Data.Y[i] - c.WorldY1) * c.ScaleY + c.ScreenTop));
}

bool TNodeImag::EllipseRadii(const ClipLineContext& c, int32_t i, int32_t& a, int32_t& b) const
{
    const double w = PictureWidth(), h = PictureHeight();
    if (!Nodes.ShowRadii || i < 0 || i >= kMaxNodes || w <= 0 || h <= 0)
        return false;
    const double r = Nodes.Data.Radii[i];
    const double ra = std::nearbyint(r / w * c.ScaleX), rb = std::nearbyint(r / h * c.ScaleY);
    // Larger ellipses are not drawn at all.
    if (!(ra >= 0 && ra <= kLargestEllipseRadius && rb >= 0 && rb <= kLargestEllipseRadius))
        return false;
    a = static_cast<int32_t>(ra);
    b = static_cast<int32_t>(rb);
    return true;
}

QRect TNodeImag::NodeBounds(int32_t i) const
{
    if (i < 0 || i >= Nodes.Data.Count)
        return QRect();
    ClipLineContext c;
    FillClipContext(c);
    const QPoint at = ScreenPosition(c, i);
    int32_t ex = std::max(Nodes.PointSize, 1) + 1, ey = ex;
    int32_t a = 0, b = 0;
    if (EllipseRadii(c, i, a, b)) {
        ex = std::max(ex, a + 1);
        ey = std::max(ey, b + 1);
    }
    return QRect(at.x() - ex, at.y() - ey, 2 * ex + 1, 2 * ey + 1) & rect();
}

void TNodeImag::DrawNode(QPainter& painter, PainterCanvas& canvas, ClipLineContext& c, int32_t i,
                         uint32_t colour) const
{
    int32_t a = 0, b = 0;
    if (EllipseRadii(c, i, a, b)) {
        std::vector<QPoint> pixels;
        pixels.reserve(4 * (a + b) + 8);
        const QRect clip(QPoint(c.ScreenLeft, c.ScreenTop), QPoint(c.ScreenRight, c.ScreenBottom));
        EllipsePixels(ScreenPosition(c, i), a, b, clip, pixels);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(ColourOf(colour), 0));
        painter.drawPoints(pixels.data(), static_cast<int>(pixels.size()));
        painter.restore();
    }
    canvas.SetPenColor(colour);
    ClipMarker(c, Nodes.Data.X[i], Nodes.Data.Y[i], Nodes.PointSize);
    // Each node over the ones before it, as it is drawn one at a time.
    canvas.Flush();
}

void TNodeImag::DrawNodes(QPainter& painter, int32_t skip) const
{
    PainterCanvas canvas(painter);
    ClipLineContext context;
    FillClipContext(context);
    context.Canvas = &canvas;
    const int32_t n = std::min<int64_t>({Nodes.Data.Count, static_cast<int64_t>(Nodes.Data.X.size()),
                                         static_cast<int64_t>(Nodes.Data.Y.size())});
    for (int32_t i = 0; i < n; ++i)
        if (i != skip)
            DrawNode(painter, canvas, context, i, i == Nodes.Selected ? Nodes.SelectedPointColor : Nodes.PointColor);
}

void TNodeImag::PaintOver(QPainter& painter)
{
    if (Nodes.ShowPoints)
        DrawNodes(painter, -1);
}

void TNodeImag::MakeBackdrop()
{
    Backdrop = QImage(size(), QImage::Format_RGB32);
    QPainter painter(&Backdrop);
    PaintPicture(painter);
    DrawNodes(painter, DragIndex);
}

void TNodeImag::paintEvent(QPaintEvent* event)
{
    if (!EditDragging() || RedrawSuspended || !GetPicture().Allocated || !Nodes.ShowPoints || DragIndex < 0 ||
        DragIndex >= Nodes.Data.Count) {
        TPictImag::paintEvent(event);
        return;
    }
    if (Backdrop.size() != size())
        MakeBackdrop();
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawImage(r.topLeft(), Backdrop, r);
    // The node drawn in white on black, then XORed on: every pixel it covers
    // is inverted once, where its strokes cross as well.
    const QRect box = DragDrawn;
    if (box.isEmpty())
        return;
    QImage mask(box.size(), QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter onMask(&mask);
        onMask.translate(-box.topLeft());
        PainterCanvas canvas(onMask);
        ClipLineContext context;
        FillClipContext(context);
        context.Canvas = &canvas;
        DrawNode(onMask, canvas, context, DragIndex, 0x00FFFFFF);
    }
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(box.topLeft(), mask);
}

QCursor TNodeImag::EditCursor() const { return CursorSlot(1); }
