// A line canvas over a QPainter, for drawing through ClipLine. Like the
// system's own LineTo, a stroke leaves out its end point, so the chords of a
// polyline meet without a pixel drawn twice (which matters in XOR mode).
// Strokes are gathered and drawn together when the pen changes or at Flush.
#pragma once

#include <QLine>
#include <QPoint>
#include <vector>

#include "numerics/clip_line.h"

class QPainter;

class PainterCanvas : public LineCanvas {
public:
    explicit PainterCanvas(QPainter& painter);
    ~PainterCanvas() override;

    void MoveTo(int x, int y) override { At = QPoint(x, y); }
    void LineTo(int x, int y) override;
    uint32_t PenColor() const override { return Colour; }
    void SetPenColor(uint32_t color) override;
    // Exclusive-or with white: a stroke drawn twice leaves no trace.
    void SetInvert(bool invert);
    void Flush();

private:
    QPainter& Painter;
    QPoint At;
    uint32_t Colour = 0;
    bool Invert = false;
    std::vector<QLine> Pending;
};
