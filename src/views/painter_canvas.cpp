#include "views/painter_canvas.h"

#include <QPainter>
#include <QPen>

PainterCanvas::PainterCanvas(QPainter& painter) : Painter(painter) {}

PainterCanvas::~PainterCanvas() { Flush(); }

void PainterCanvas::LineTo(int x, int y)
{
    const QPoint to(x, y);
    if (to != At)
        Pending.emplace_back(At, to);
    At = to;
}

void PainterCanvas::SetPenColor(uint32_t color)
{
    if (color == Colour)
        return;
    Flush();
    Colour = color;
}

void PainterCanvas::SetInvert(bool invert)
{
    if (invert == Invert)
        return;
    Flush();
    Invert = invert;
}

void PainterCanvas::Flush()
{
    if (Pending.empty())
        return;
    Painter.save();
    // A flat cap leaves the last pixel of each stroke out.
    QPen pen(Invert ? QColor(Qt::white) : QColor(Colour & 0xFF, (Colour >> 8) & 0xFF, (Colour >> 16) & 0xFF), 0,
             Qt::SolidLine, Qt::FlatCap);
    Painter.setPen(pen);
    Painter.setRenderHint(QPainter::Antialiasing, false);
    if (Invert)
        Painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    Painter.drawLines(Pending.data(), static_cast<int>(Pending.size()));
    Painter.restore();
    Pending.clear();
}
