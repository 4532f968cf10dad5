#include "images/view_region.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "numerics/real48.h"

namespace {

constexpr int32_t kSmallestZoom = 5;  // a zoomed region must be wider and higher than this

// Round to nearest, ties to even, kept inside the int32 range.
int32_t Round(double v)
{
    const double r = RoundEven(v);
    if (!(r > -2147483648.0))
        return INT32_MIN;
    if (r >= 2147483647.0)
        return INT32_MAX;
    return static_cast<int32_t>(r);
}

double Stored(double v)
{
    double out = 0.0;
    return TryRoundReal48(v, out) ? out : v;
}

// A picture of one pixel across has no extent in world units; it maps as if
// it were two pixels wide rather than dividing by zero.
double WorldSpan(int32_t size) { return size > 1 ? size - 1.0 : 1.0; }

struct Span {
    int32_t Low, High;
};

// The span low..high of one axis scaled by 1 / f around centre and moved back
// inside 0 .. size - 1. At the low edge zoom out clamps the far end as well,
// zoom in keeps the scaled extent.
Span ZoomSpan(double centre, int32_t low, int32_t high, int32_t size, double f, bool zoomOut)
{
    const double half = (high - low) / (2 * f);
    Span n{Round(centre - half), Round(centre + half)};
    const int32_t extent = Round((high - low) / f);
    if (n.Low < 0) {
        n.Low = 0;
        n.High = zoomOut ? ClampRound(size - 1, extent) : extent;
    }
    if (n.High > size - 1) {
        // A factor below 1 could push the low edge out as well.
        n.Low = AtLeastRound(0, static_cast<double>(size - 1) - extent);
        n.High = size - 1;
    }
    return n;
}

bool UsableFactor(double f) { return f > 0 && std::isfinite(f); }

bool InsidePicture(const ViewRegion& r, int32_t w, int32_t h)
{
    return r.Left >= 0 && r.Top >= 0 && r.Left <= r.Right && r.Top <= r.Bottom && r.Right < w && r.Bottom < h;
}

}  // namespace

ViewMapping::ViewMapping(const ViewRegion& region, int32_t pictureWidth, int32_t pictureHeight,
                         const ViewArea& area)
    : Shown(region), Where(area)
{
    const double sw = WorldSpan(pictureWidth), sh = WorldSpan(pictureHeight);
    Window.X1 = Stored((region.Left - 0.5) / sw);
    Window.Y1 = Stored((region.Top - 0.5) / sh);
    Window.X2 = Stored((region.Right + 0.5) / sw);
    Window.Y2 = Stored((region.Bottom + 0.5) / sh);
    UX = Stored((Window.X2 - Window.X1) / std::max(1, area.Width));
    UY = Stored((Window.Y2 - Window.Y1) / std::max(1, area.Height));
}

double ViewMapping::PictureX(double panelX) const
{
    const double perPixel = static_cast<double>(Shown.Right - Shown.Left + 1) / std::max(1, Where.Width);
    return Shown.Left - 0.5 + (panelX - Where.Left) * perPixel;
}

double ViewMapping::PictureY(double panelY) const
{
    const double perPixel = static_cast<double>(Shown.Bottom - Shown.Top + 1) / std::max(1, Where.Height);
    return Shown.Top - 0.5 + (panelY - Where.Top) * perPixel;
}

namespace {
// Whole part below a half, rounded (ties to even) from a half on.
double Nearest(double v)
{
    const double whole = std::trunc(v);
    return v - whole < 0.5 ? whole : RoundEven(v);
}
}  // namespace

int32_t ViewMapping::PixelX(double panelX) const { return ClampRound(Shown.Right, Nearest(PictureX(panelX))); }

int32_t ViewMapping::PixelY(double panelY) const { return ClampRound(Shown.Bottom, Nearest(PictureY(panelY))); }

double ViewMapping::WorldX(double panelX) const { return Stored(Window.X1 + (panelX - Where.Left) * UX); }

double ViewMapping::WorldY(double panelY) const { return Stored(Window.Y1 + (panelY - Where.Top) * UY); }

double ViewMapping::PanelX(double worldX) const
{
    const double span = Window.X2 - Window.X1;
    return span != 0 ? Where.Left + (worldX - Window.X1) * Where.Width / span : Where.Left;
}

double ViewMapping::PanelY(double worldY) const
{
    const double span = Window.Y2 - Window.Y1;
    return span != 0 ? Where.Top + (worldY - Window.Y1) * Where.Height / span : Where.Top;
}

std::optional<ViewRegion> ZoomInRegion(const ViewRegion& r, int32_t w, int32_t h, double cx, double cy, double f,
                                       bool testCurrent)
{
    if (!UsableFactor(f))
        return std::nullopt;
    if (testCurrent && (r.Right - r.Left <= kSmallestZoom || r.Bottom - r.Top <= kSmallestZoom))
        return std::nullopt;
    const Span x = ZoomSpan(cx, r.Left, r.Right, w, f, false);
    const Span y = ZoomSpan(cy, r.Top, r.Bottom, h, f, false);
    const ViewRegion next{x.Low, y.Low, x.High, y.High};
    if (!testCurrent && (x.High - x.Low <= kSmallestZoom || y.High - y.Low <= kSmallestZoom))
        return std::nullopt;
    // A factor below 1 could ask for more than the picture.
    if (!InsidePicture(next, w, h))
        return std::nullopt;
    return next;
}

std::optional<ViewRegion> ZoomOutRegion(const ViewRegion& r, int32_t w, int32_t h, double cx, double cy, double f)
{
    if (!UsableFactor(f))
        return std::nullopt;
    const Span x = ZoomSpan(cx, r.Left, r.Right, w, f, true);
    const Span y = ZoomSpan(cy, r.Top, r.Bottom, h, f, true);
    const ViewRegion next{x.Low, y.Low, x.High, y.High};
    if (std::abs(x.High - x.Low) > w - 1 || std::abs(y.High - y.Low) > h - 1)
        return std::nullopt;
    if (!InsidePicture(next, w, h))
        return std::nullopt;
    return next;
}

std::optional<ViewRegion> BandRegion(int32_t w, int32_t h, double x0, double y0, double x1, double y1,
                                     BandProportions proportions)
{
    ViewRegion n{Round(x0), Round(y0), Round(x1), Round(y1)};
    if (std::abs(n.Right - n.Left) <= kSmallestZoom || std::abs(n.Bottom - n.Top) <= kSmallestZoom)
        return std::nullopt;
    n.Left = std::max(n.Left, 0);
    n.Top = std::max(n.Top, 0);
    n.Right = std::min(n.Right, w - 1);
    n.Bottom = std::min(n.Bottom, h - 1);
    if (proportions != BandProportions::Keep && n.Bottom > n.Top && h > 0) {
        // The view keeps the picture's proportions, so the region must too.
        const double a = static_cast<double>(n.Right - n.Left) / (n.Bottom - n.Top);
        const double p = static_cast<double>(w) / h;
        if (a < p) {
            n.Right = proportions == BandProportions::Ratio ? Round(p * (n.Bottom - n.Top) + n.Left)
                                                            : Round(n.Left + static_cast<double>(n.Bottom - n.Top) * w / h);
        } else {
            n.Bottom = proportions == BandProportions::Ratio ? Round((n.Right - n.Left) / p + n.Top)
                                                             : Round(n.Top + static_cast<double>(n.Right - n.Left) * h / w);
        }
        if (n.Right > w - 1) {
            n.Left = AtLeastRound(0, n.Left - (n.Right - (w - 1.0)));
            n.Right = w - 1;
        }
        if (n.Bottom > h - 1) {
            n.Top = AtLeastRound(0, n.Top - (n.Bottom - (h - 1.0)));
            n.Bottom = h - 1;
        }
    }
    if (!InsidePicture(n, w, h))
        return std::nullopt;
    return n;
}

ViewRegion ShiftRegion(const ViewRegion& r, int32_t w, int32_t h, int32_t dx, int32_t dy, bool strictLow)
{
    ViewRegion n = r;
    const int32_t lowest = strictLow ? 1 : 0;
    if (static_cast<int64_t>(r.Top) + dy >= lowest && static_cast<int64_t>(r.Bottom) + dy <= h - 1) {
        n.Top += dy;
        n.Bottom += dy;
    }
    if (static_cast<int64_t>(r.Left) + dx >= lowest && static_cast<int64_t>(r.Right) + dx <= w - 1) {
        n.Left += dx;
        n.Right += dx;
    }
    return n;
}
