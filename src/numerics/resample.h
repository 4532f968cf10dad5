// One-dimensional resampling of a function given at a few monotonic sample
// positions: piecewise linear (Linear) or piecewise cubic with Catmull-Rom
// tangents (CatmullRom). The mesh warp turns the nodes of a grid line into
// one coordinate per pixel with them; the mesh editor evaluates grid lines.
//
// xIn[0..nIn-1] must be strictly increasing or strictly decreasing (the
// direction is taken from the first two samples), nIn >= 2; xOut[0..nOut-1]
// runs in the same direction inside [xIn[0], xIn[nIn-1]]. Only the first and
// the last output position are checked against that range. Every result is
// rounded to Real48 precision.
#pragma once

// Piecewise linear resampling. When the output range is not inside the input
// range (or nIn < 2) it shows "Linear: Output X-coord out of range of input"
// (code 4), leaves yOut untouched and returns true (failed).
// Two equal neighbouring sample positions (a zero-width interval) give the
// value of the later sample of the two, as a flat interval does.
bool Linear(const double* xIn, const double* yIn, int nIn,
            const double* xOut, double* yOut, int nOut);

// Piecewise cubic resampling: on each interval the cubic through both samples
// whose tangents are the Catmull-Rom slopes (the chord at the two ends of the
// data). A range error returns true silently with yOut untouched. An output
// whose computation fails (division by zero from equal sample positions,
// overflow) copies the previous output; the very first output has none and
// takes the sample value at the start of its interval instead.
bool CatmullRom(const double* xIn, const double* yIn, int nIn,
                const double* xOut, double* yOut, int nOut);

// False exactly when Linear and CatmullRom refuse these positions (and leave
// yOut untouched): fewer than 2 samples, or the first or the last output
// outside the input range. Lets the warps find the refused lines before
// their worker threads start.
bool ResampleRangeValid(const double* xIn, int nIn, const double* xOut, int nOut);

// The message Linear shows when it refuses its positions.
void ShowLinearRangeError();
