#include "numerics/clip_line.h"

#include <cmath>
#include <utility>

#include "numerics/real48.h"

ClipLineContext ClipContext;

namespace {
constexpr int kLeft = 1;
constexpr int kRight = 2;
constexpr int kAbove = 4;
constexpr int kBelow = 8;
// Rounding can leave a moved point a hair outside the next boundary; a
// segment not decided after this many moves is dropped instead of looping.
constexpr int kMaxMoves = 16;

int OutCode(const ClipLineContext& c, double x, double y)
{
    int code = 0;
    if (x < c.ClipXMin)
        code = kLeft;
    else if (x > c.ClipXMax)
        code = kRight;
    if (y < c.ClipYMin)
        code += kAbove;
    else if (y > c.ClipYMax)
        code += kBelow;
    return code;
}

double ScaleOf(int32_t screenFrom, int32_t screenTo, double worldFrom, double worldTo)
{
    double scale = 0.0;
    if (!TryRoundReal48((static_cast<double>(screenTo) - screenFrom) / (worldTo - worldFrom), scale))
        scale = 0.0;
    return scale;
}

// Round to nearest (ties to even), kept inside the int range.
int ToPixel(double v)
{
    const double r = std::nearbyint(v);
    if (std::isnan(r))
        return 0;
    if (r >= 2147483647.0)
        return 2147483647;
    if (r <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(r);
}
}  // namespace

void ClipLineContext::UseWorldWindow()
{
    ScaleX = ScaleOf(ScreenLeft, ScreenRight, WorldX1, WorldX2);
    ScaleY = ScaleOf(ScreenTop, ScreenBottom, WorldY1, WorldY2);
    ClipXMin = WorldX1;
    ClipXMax = WorldX2;
    ClipYMin = WorldY1;
    ClipYMax = WorldY2;
}

void ClipLine(ClipLineContext& c, double x1, double y1, double x2, double y2)
{
    for (int moves = 0;; ++moves) {
        if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
            return;
        int code1 = OutCode(c, x1, y1);
        int code2 = OutCode(c, x2, y2);
        if (code1 == 0 && code2 == 0)
            break;
        if ((code1 & code2) != 0 || moves == kMaxMoves)
            return;
        if (code1 == 0) {
            std::swap(x1, x2);
            std::swap(y1, y2);
            std::swap(code1, code2);
        }
        const bool vertical = x2 == x1;
        const double slope = vertical ? 1e10 : (y2 - y1) / (x2 - x1);
        if (code1 & kLeft) {
            y1 += (c.ClipXMin - x1) * slope;
            x1 = c.ClipXMin;
        } else if (code1 & kRight) {
            y1 += (c.ClipXMax - x1) * slope;
            x1 = c.ClipXMax;
        } else if (code1 & kAbove) {
            if (!vertical)
                x1 += (c.ClipYMin - y1) / slope;
            y1 = c.ClipYMin;
        } else {
            if (!vertical)
                x1 += (c.ClipYMax - y1) / slope;
            y1 = c.ClipYMax;
        }
    }
    if (!c.Canvas)
        return;
    c.Canvas->MoveTo(ToPixel((x1 - c.WorldX1) * c.ScaleX + c.ScreenLeft),
                     ToPixel((y1 - c.WorldY1) * c.ScaleY + c.ScreenTop));
    c.Canvas->LineTo(ToPixel((x2 - c.WorldX1) * c.ScaleX + c.ScreenLeft),
                     ToPixel((y2 - c.WorldY1) * c.ScaleY + c.ScreenTop));
}

void ClipMarker(ClipLineContext& c, double x, double y, int32_t size)
{
    if (c.ScaleX == 0 || c.ScaleY == 0)
        return;
    const double s = size, u = 1 / c.ScaleX, v = 1 / c.ScaleY;
    ClipLine(c, x - (s - 1) * u, y, x + s * u, y);
    ClipLine(c, x - (s - 2) * u, y + v, x + (s - 1) * u, y + v);
    ClipLine(c, x - (s - 2) * u, y - v, x + (s - 1) * u, y - v);
    ClipLine(c, x, y - (s - 1) * v, x, y + s * v);
    ClipLine(c, x + u, y - (s - 2) * v, x + u, y + (s - 1) * v);
    ClipLine(c, x - u, y - (s - 2) * v, x - u, y + (s - 1) * v);
}
