#include "images/render_view.h"

#include <cstring>
#include <numeric>
#include <vector>

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

namespace {

// Quick mode straight from the region: the source pixels ScaleQuick takes
// from the cut-out region, read in place, so that zooming and panning a large
// picture do not copy the region first.
void ScaleQuickRegion(const RasterImage& picture, const ViewRegion& r, RasterImage& target)
{
    const int32_t sw = r.Right - r.Left + 1, sh = r.Bottom - r.Top + 1;
    const int32_t tw = target.Width(), th = target.Height();
    std::vector<int32_t> columns(tw), rows(th);
    if (sw == tw && sh == th) {
        // Equal sizes are a plain copy.
        std::iota(columns.begin(), columns.end(), 0);
        std::iota(rows.begin(), rows.end(), 0);
    } else {
        const QuickRules rules = ChooseQuickRules(sw, sh, tw, th);
        columns = QuickIndices(sw, tw, rules.ColumnsReducing);
        rows = QuickIndices(sh, th, rules.RowsReducing);
    }
    for (int32_t& c : columns)
        c = 3 * (c + r.Left);  // byte offsets within a picture row
    // Row 0 of the region, counted from the bottom, is picture row H - 1 - bottom.
    const int32_t firstRow = picture.Height() - 1 - r.Bottom;
    const uint8_t* src = picture.Lock();
    uint8_t* dst = target.Lock();
    const size_t rowLength = 3 * static_cast<size_t>(tw);
    for (int32_t y = 0; y < th; ++y) {
        uint8_t* d = dst + static_cast<size_t>(y) * target.RowBytes;
        if (y > 0 && rows[y] == rows[y - 1]) {
            std::memcpy(d, d - target.RowBytes, rowLength);
            continue;
        }
        const uint8_t* s = src + static_cast<size_t>(firstRow + rows[y]) * picture.RowBytes;
        for (int32_t x = 0; x < tw; ++x, d += 3) {
            const uint8_t* p = s + columns[x];
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
        }
    }
    target.Unlock();
    picture.Unlock();
}

}  // namespace

bool RenderView(const RasterImage& picture, const ViewRegion& region, uint8_t mode,
                int32_t areaWidth, int32_t areaHeight, int32_t minimumSize, RasterImage& display,
                const RenderBusyHook& busy)
{
    if (mode > kDisplayHigh || RedrawSuspended || !picture.Allocated || areaWidth < minimumSize ||
        areaHeight < minimumSize || !RegionInside(picture, region))
        return false;
    RasterImage part;
    const bool whole = region == WholePicture(picture);
    const bool inPlace = !whole && mode == kDisplayQuick;
    if (!whole && !inPlace) {
        part = CutRegion(picture, region);
        if (!part.Allocated)
            return false;
    }
    if (!display.Allocated || display.Width() != areaWidth || display.Height() != areaHeight) {
        display.Done();
        display.Init(areaWidth, areaHeight);
        if (!display.Allocated)
            return false;
    }
    if (inPlace) {
        ScaleQuickRegion(picture, region, display);
        return true;
    }
    const RasterImage& source = whole ? picture : part;
    const bool slow = mode == kDisplayNormal || mode == kDisplayHigh;
    if (slow && busy)
        busy(true);
    ScaleForDisplay(mode, source, display);
    if (slow && busy)
        busy(false);
    return true;
}
