#include "views/mesh_imag.h"

#include <QPaintEvent>
#include <QPainter>

#include "numerics/clip_line.h"
#include "numerics/store_real48.h"
#include "views/painter_canvas.h"
#include "views/program_state.h"

TMeshImag::TMeshImag(QWidget* parent) : TEditImag(kMeshViewRules, parent) {}

TMeshImag::TMeshImag(RasterImage&& picture, const ViewRegion& region, QWidget* parent)
    : TEditImag(kMeshViewRules, std::move(picture), region, parent)
{
}

TMeshImag::~TMeshImag() = default;

ToolMode TMeshImag::FallbackTool() const { return ToolModeOf(MeshTool); }

bool TMeshImag::AcceptsPress(ToolMode tool) const
{
    // Nothing to see, nothing to edit.
    return !(tool == ToolMode::Edit && !Mesh.ShowLines && !Mesh.ShowSplines);
}

RealPoint TMeshImag::WorldAt(QPoint point) const
{
    const ViewMapping m = Mapping();
    return RealPoint{m.WorldX(point.x()), m.WorldY(point.y())};
}

void TMeshImag::MarkEdited()
{
    Modified = true;
    if (Partner)
        Partner->Modified = true;
    emit MeshEdited();
}

void TMeshImag::RepaintBoth()
{
    update();
    if (Partner)
        Partner->update();
}

void TMeshImag::PressEdit(Qt::MouseButton button, QPoint point, ToolMode tool)
{
    if (button != Qt::LeftButton)
        return;
    const RealPoint p = WorldAt(point);
    int32_t i = 0, j = 0;
    if (!Mesh.FindNearestNode(p, StoreReal48(kHitRadius * Mapping().UnitsX()), i, j))
        return;
    BeginEditDrag(button, tool, point);
    Moved = false;
    DragNode = QPoint(i, j);
    DragStart = Mesh.Data->GetNode(i, j);
    Mesh.SelCol = i;
    Mesh.SelRow = j;
    if (Partner) {
        Partner->Mesh.SelCol = i;
        Partner->Mesh.SelRow = j;
    }
    Backdrop = QImage();
    RepaintBoth();
}

void TMeshImag::DragEdit(QPoint point)
{
    Moved = true;
    Mesh.MoveNode(DragNode.x(), DragNode.y(), WorldAt(point));
    update();
}

void TMeshImag::ReleaseEdit(QPoint point)
{
    Backdrop = QImage();
    if (Moved) {
        Mesh.MoveNode(DragNode.x(), DragNode.y(), WorldAt(point));
        const RealPoint now = Mesh.Data->GetNode(DragNode.x(), DragNode.y());
        if (now.X != DragStart.X || now.Y != DragStart.Y)
            MarkEdited();
    }
    Moved = false;
    RepaintBoth();
}

void TMeshImag::PressMargin(Qt::MouseButton button, QPoint point, PanelZone zone, ToolMode tool)
{
    if (button != Qt::RightButton || (tool != ToolMode::Edit && tool != ToolMode::Delete) ||
        zone == PanelZone::Corner)
        return;
    const ViewMapping m = Mapping();
    const WorldWindow& w = m.World();
    const bool across = zone == PanelZone::Top || zone == PanelZone::Bottom;  // a grid column
    RealPoint p = WorldAt(point);
    // The edge of the picture shown, kept one screen pixel inside the picture.
    if (zone == PanelZone::Top)
        p.Y = w.Y1 < 0 ? m.UnitsY() : w.Y1;
    else if (zone == PanelZone::Bottom)
        p.Y = w.Y2 > 1 ? StoreReal48(1 - m.UnitsY()) : w.Y2;
    else if (zone == PanelZone::Left)
        p.X = w.X1 < 0 ? m.UnitsX() : w.X1;
    else
        p.X = w.X2 > 1 ? StoreReal48(1 - m.UnitsX()) : w.X2;
    const double tol = StoreReal48(kHitRadius * m.UnitsX());
    bool failed;
    if (tool == ToolMode::Edit)
        failed = across ? Mesh.InsertColumn(p, zone == PanelZone::Top) : Mesh.InsertRow(p, zone == PanelZone::Left);
    else
        failed = across ? Mesh.DeleteColumn(p, tol) : Mesh.DeleteRow(p, tol);
    if (!failed)
        MarkEdited();
    RepaintBoth();
}

void TMeshImag::PaintOver(QPainter& painter)
{
    if (!Mesh.ShowLines && !Mesh.ShowSplines)
        return;
    PainterCanvas canvas(painter);
    ClipLineContext context;
    FillClipContext(context);
    context.Canvas = &canvas;
    if (Mesh.ShowLines)
        Mesh.DrawLines(context);
    if (Mesh.ShowSplines)
        Mesh.DrawSplines(context);
}

void TMeshImag::PaintThrough(QPainter& painter) const
{
    PainterCanvas canvas(painter);
    ClipLineContext context;
    FillClipContext(context);
    context.Canvas = &canvas;
    const int32_t i = DragNode.x(), j = DragNode.y();
    // Drawn as the whole mesh draws them, then inverted so that they stand out.
    for (bool invert : {false, true}) {
        canvas.SetInvert(invert);
        if (Mesh.ShowLines) {
            canvas.SetPenColor(Mesh.LineColor);
            Mesh.DrawLinesThrough(i, j, context);
        }
        if (Mesh.ShowSplines) {
            canvas.SetPenColor(Mesh.SplineColor);
            Mesh.DrawSplinesThrough(i, j, context);
        }
        if (!invert) {
            canvas.SetPenColor(Mesh.PointColor);
            Mesh.DrawMarker(context);
        }
    }
    canvas.Flush();
}

void TMeshImag::MakeBackdrop()
{
    Backdrop = QImage(size(), QImage::Format_RGB32);
    QPainter painter(&Backdrop);
    PaintPicture(painter);
    PainterCanvas canvas(painter);
    ClipLineContext context;
    FillClipContext(context);
    context.Canvas = &canvas;
    if (Mesh.ShowLines)
        Mesh.DrawLinesExcept(DragNode.x(), DragNode.y(), context);
    if (Mesh.ShowSplines)
        Mesh.DrawSplinesExcept(DragNode.x(), DragNode.y(), context);
}

void TMeshImag::paintEvent(QPaintEvent* event)
{
    if (!EditDragging() || RedrawSuspended || !GetPicture().Allocated || (!Mesh.ShowLines && !Mesh.ShowSplines)) {
        TPictImag::paintEvent(event);
        return;
    }
    if (Backdrop.size() != size())
        MakeBackdrop();
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawImage(r.topLeft(), Backdrop, r);
    PaintThrough(painter);
}

QCursor TMeshImag::EditCursor() const { return CursorSlot(1); }

QCursor TMeshImag::MarginCursor(PanelZone zone, ToolMode tool) const
{
    if (tool != ToolMode::Edit && tool != ToolMode::Delete)
        return QCursor(Qt::ArrowCursor);
    switch (zone) {
    case PanelZone::Left: return CursorSlot(2);
    case PanelZone::Right: return CursorSlot(3);
    case PanelZone::Top: return CursorSlot(4);
    case PanelZone::Bottom: return CursorSlot(5);
    default: return QCursor(Qt::ArrowCursor);
    }
}
