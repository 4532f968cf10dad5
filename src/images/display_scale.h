// The three scalers of the picture views. Each fills the whole target picture
// (already allocated at the wanted size) with the whole source picture,
// stretched independently in the two directions.
//   quick  - sampling with integer counters, no blending
//   normal - area averaging in two passes (rows first, then columns)
//   high   - linear interpolation when enlarging, area averaging when reducing
// Nothing happens when either picture is not allocated.
#pragma once

#include <cstdint>
#include <vector>

#include "images/raster_image.h"

enum DisplayModeCode : uint8_t { kDisplayQuick = 0, kDisplayNormal = 1, kDisplayHigh = 2 };

void ScaleQuick(const RasterImage& source, RasterImage& target);
void ScaleNormal(const RasterImage& source, RasterImage& target);
void ScaleHigh(const RasterImage& source, RasterImage& target);

// Normal and high quality reduce rows with AVX2 where the processor has it.
// Turning that off (tests do, to compare both ways) leaves the plain path;
// the pixels are the same either way.
void SetVectorScaling(bool enabled);

// Source index of every target position along one direction of quick mode,
// n source and m target pixels. The enlarging rule advances at most once per
// position; the reducing rule catches up and is clamped to n - 1.
std::vector<int32_t> QuickIndices(int32_t n, int32_t m, bool reducing);

// Which rule quick mode uses for the columns and the rows (true = reducing).
// A direction of equal size follows the other direction.
struct QuickRules {
    bool ColumnsReducing;
    bool RowsReducing;
};
QuickRules ChooseQuickRules(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth,
                            int32_t targetHeight);
