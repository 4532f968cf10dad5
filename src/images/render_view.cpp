#include "images/render_view.h"

#include <cstring>

#include "images/display_scale.h"

bool RedrawSuspended = false;

ViewRegion WholePicture(const RasterImage& picture)
{
    return ViewRegion{0, 0, picture.Width() - 1, picture.Height() - 1};
}

bool RegionInside(const RasterImage& picture, const ViewRegion& r)
{
    return r.Left >= 0 && r.Top >= 0 && r.Left <= r.Right && r.Top <= r.Bottom &&
           r.Right < picture.Width() && r.Bottom < picture.Height();
}

RasterImage CutRegion(const RasterImage& picture, const ViewRegion& region)
{
    RasterImage part;
    if (!picture.Allocated || !RegionInside(picture, region))
        return part;
    const int32_t w = region.Right - region.Left + 1;
    const int32_t h = region.Bottom - region.Top + 1;
    part.Init(w, h);
    if (!part.Allocated)
        return part;
    const uint8_t* src = picture.Lock();
    uint8_t* dst = part.Lock();
    // The bottom row of the part is picture row height - 1 - bottom counted
    // from the bottom of memory.
    const int32_t firstRow = picture.Height() - 1 - region.Bottom;
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(dst + static_cast<size_t>(y) * part.RowBytes,
                    src + static_cast<size_t>(firstRow + y) * picture.RowBytes + 3 * static_cast<size_t>(region.Left),
                    3 * static_cast<size_t>(w));
    part.Unlock();
    picture.Unlock();
    return part;
}

bool ScaleForDisplay(uint8_t mode, const RasterImage& source, RasterImage& target)
{
    switch (mode) {
    case kDisplayQuick:
        ScaleQuick(source, target);
        return true;
    case kDisplayNormal:
        ScaleNormal(source, target);
        return true;
    case kDisplayHigh:
        ScaleHigh(source, target);
        return true;
    default:
        return false;
    }
}

bool RenderView(const RasterImage& picture, const ViewRegion& region, uint8_t mode,
                int32_t areaWidth, int32_t areaHeight, int32_t minimumSize, RasterImage& display,
                const RenderBusyHook& busy)
{
    if (mode > kDisplayHigh || RedrawSuspended || !picture.Allocated || areaWidth < minimumSize ||
        areaHeight < minimumSize || !RegionInside(picture, region))
        return false;
    RasterImage part;
    const bool whole = region == WholePicture(picture);
    if (!whole) {
        part = CutRegion(picture, region);
        if (!part.Allocated)
            return false;
    }
    const RasterImage& source = whole ? picture : part;
    if (!display.Allocated || display.Width() != areaWidth || display.Height() != areaHeight) {
        display.Done();
        display.Init(areaWidth, areaHeight);
        if (!display.Allocated)
            return false;
    }
    const bool slow = mode == kDisplayNormal || mode == kDisplayHigh;
    if (slow && busy)
        busy(true);
    ScaleForDisplay(mode, source, display);
    if (slow && busy)
        busy(false);
    return true;
}
