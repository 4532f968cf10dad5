// The geometry shared by the picture views: where a panel point lies on the
// picture (in picture pixels and in normalised world coordinates) and back,
// and how zooming and panning change the visible region. Toolkit-free, so the
// views keep only the mouse handling.
#pragma once

#include <cstdint>
#include <optional>

#include "images/render_view.h"

// The rectangle of a panel that shows the visible region, in panel pixels.
struct ViewArea {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// The world (normalised, 0..1 across the picture) window a region shows:
// pixel k of a picture of size s covers [(k - 0.5) / (s - 1), (k + 0.5) / (s - 1)].
struct WorldWindow {
    double X1 = 0.0;
    double Y1 = 0.0;
    double X2 = 0.0;
    double Y2 = 0.0;
};

// The mapping of one view at one moment: its region of a picture of the given
// size stretched over the area. World values are held at Real48 precision,
// as the drawing context stores them.
class ViewMapping {
public:
    ViewMapping(const ViewRegion& region, int32_t pictureWidth, int32_t pictureHeight, const ViewArea& area);

    // Picture pixel coordinates of a panel point (pixel k covers k - 0.5 .. k + 0.5).
    double PictureX(double panelX) const;
    double PictureY(double panelY) const;
    // The picture pixel a panel point lies on, as the status read-out shows
    // it: rounded to nearest, limited to 0 .. right (bottom) of the region.
    int32_t PixelX(double panelX) const;
    int32_t PixelY(double panelY) const;

    const WorldWindow& World() const { return Window; }
    // World units per panel pixel.
    double UnitsX() const { return UX; }
    double UnitsY() const { return UY; }
    // World coordinates of a panel point, and the panel point of a world point.
    double WorldX(double panelX) const;
    double WorldY(double panelY) const;
    double PanelX(double worldX) const;
    double PanelY(double worldY) const;

    const ViewRegion& Region() const { return Shown; }
    const ViewArea& Area() const { return Where; }

private:
    ViewRegion Shown;
    ViewArea Where;
    WorldWindow Window;
    double UX = 0.0, UY = 0.0;
};

// Zoom around the picture point (cx, cy) by factor f: the spans right - left
// and bottom - top are divided by f around it, and a result that sticks out
// is moved back inside the picture. nullopt (region unchanged) for a factor
// that is not positive and finite or a result that is not inside the picture.
//
// Zooming in is refused when the new region (or, with testCurrent, the
// current one) is not more than 5 pixels wide and high; at the low edge it
// keeps the scaled extent, so the caller's test sees a region that collapsed.
std::optional<ViewRegion> ZoomInRegion(const ViewRegion& region, int32_t pictureWidth, int32_t pictureHeight,
                                       double cx, double cy, double f, bool testCurrent);
// Zooming out clamps the far end at the low edge and the near end at the high
// edge, and never gives more than the whole picture.
std::optional<ViewRegion> ZoomOutRegion(const ViewRegion& region, int32_t pictureWidth, int32_t pictureHeight,
                                        double cx, double cy, double f);

// How a rubber band is brought to the picture's proportions: the edge is
// computed from the ratio W / H, or (byProducts) from the products with W and H.
enum class BandProportions : uint8_t { Keep, Ratio, Products };

// The region of a rubber band whose corners (x0, y0) .. (x1, y1), x0 <= x1 and
// y0 <= y1, are given in picture pixel coordinates: the corners rounded; a
// band not more than 5 pixels wide and high gives nullopt; otherwise it is
// limited to the picture and, unless Keep, widened or heightened to the
// picture's proportions and moved back inside where it then sticks out.
std::optional<ViewRegion> BandRegion(int32_t pictureWidth, int32_t pictureHeight, double x0, double y0, double x1,
                                     double y1, BandProportions proportions);

// The region moved by whole pixels dx, dy; each axis moves only when the moved
// region stays inside the picture. strictLow asks for left (top) above 0
// rather than at least 0, as the last shift of a hand move does.
ViewRegion ShiftRegion(const ViewRegion& region, int32_t pictureWidth, int32_t pictureHeight, int32_t dx,
                       int32_t dy, bool strictLow);
