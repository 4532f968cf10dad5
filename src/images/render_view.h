// The rendering step shared by the picture views: the visible region of a
// picture, scaled by the chosen display mode into a display picture of the
// view's picture-area size. Painting that picture is the view's business.
#pragma once

#include <cstdint>
#include <functional>

#include "images/raster_image.h"

// True while a settings dialog of a project is open: views neither render
// nor paint. False at start-up.
extern bool RedrawSuspended;

// Visible part of a picture in picture pixels, inclusive, rows counted from
// the top row of the picture.
struct ViewRegion {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = -1;
    int32_t Bottom = -1;
    bool operator==(const ViewRegion&) const = default;
};

ViewRegion WholePicture(const RasterImage& picture);
// A non-empty region that lies inside the picture.
bool RegionInside(const RasterImage& picture, const ViewRegion& region);

// A new picture holding a copy of the region; not allocated when the region
// is not inside the picture or memory is short.
RasterImage CutRegion(const RasterImage& picture, const ViewRegion& region);

// Scales by display mode 0 quick, 1 normal, 2 high; false (nothing done)
// for any other mode.
bool ScaleForDisplay(uint8_t mode, const RasterImage& source, RasterImage& target);

// Called with true before a slow (normal or high) scaling and false after,
// so that a front end can show a busy cursor.
using RenderBusyHook = std::function<void(bool busy)>;

// Builds the display picture (re-allocated when its size differs from the
// area) from the region of the picture. Does nothing, and keeps the previous
// display picture, while RedrawSuspended is set, when the picture is not
// allocated, the region is not inside it, or the area is narrower or lower
// than minimumSize. Returns true when it rendered.
bool RenderView(const RasterImage& picture, const ViewRegion& region, uint8_t mode,
                int32_t areaWidth, int32_t areaHeight, int32_t minimumSize, RasterImage& display,
                const RenderBusyHook& busy = {});
