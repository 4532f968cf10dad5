// Clipped line drawing in world (mesh) coordinates: Cohen-Sutherland clipping
// against a clip window, then mapping to screen pixels and drawing on a
// toolkit-free canvas that the views implement.
#pragma once

#include <cstdint>

// A surface to draw lines on. Colours are 0x00BBGGRR.
class LineCanvas {
public:
    virtual ~LineCanvas() = default;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual uint32_t PenColor() const = 0;
    virtual void SetPenColor(uint32_t color) = 0;
};

// Where and how ClipLine draws. World y grows downwards, like screen y;
// (WorldX1, WorldY1) maps to (ScreenLeft, ScreenTop). The real fields hold
// values of Real48 precision.
struct ClipLineContext {
    LineCanvas* Canvas = nullptr;
    int32_t ScreenLeft = 0;
    int32_t ScreenTop = 0;
    int32_t ScreenRight = 0;
    int32_t ScreenBottom = 0;
    double WorldX1 = 0.0;
    double WorldY1 = 0.0;
    double WorldX2 = 0.0;
    double WorldY2 = 0.0;
    double ScaleX = 0.0;   // pixels per world unit
    double ScaleY = 0.0;
    double ClipXMin = 0.0;
    double ClipXMax = 0.0;
    double ClipYMin = 0.0;
    double ClipYMax = 0.0;

    // Derives ScaleX and ScaleY from the screen rectangle and the world window
    // and copies the world window into the clip window. An empty world window
    // gives scale 0 (everything lands on the left or top screen edge).
    void UseWorldWindow();
};

// The one context shared by all mesh drawing; the caller fills it first.
extern ClipLineContext ClipContext;

// Clips the segment to the clip window and draws what remains with MoveTo
// and LineTo (nothing without a canvas). Non-finite coordinates draw nothing.
void ClipLine(ClipLineContext& context, double x1, double y1, double x2, double y2);
inline void ClipLine(double x1, double y1, double x2, double y2)
{
    ClipLine(ClipContext, x1, y1, x2, y2);
}

// The marker of a point at world (x, y): a plus three screen pixels thick,
// 2 * size - 1 pixels across in the middle and 2 * size - 3 on the sides, as
// six clipped strokes whose end points are left out. Nothing while the
// context has no scale.
void ClipMarker(ClipLineContext& context, double x, double y, int32_t size);
