// The separable mesh warp: pass 1 moves pixels along the rows into an
// intermediate picture, pass 2 along the columns into the destination, so
// that the content under every node of the source mesh lands on the same
// node of the destination mesh.
#pragma once

#include <cstddef>
#include <cstdint>

class RasterImage;
class TMeshDefsData;

// Bits of the warp method (the project's WarpMethod byte). Only the two low
// bits count; higher bits of an out-of-range value are ignored.
constexpr int kWarpSplineIntervals = 1;  // positions between grid lines: Catmull-Rom (else linear)
constexpr int kWarpSplineMesh = 2;       // grid lines through the nodes: Catmull-Rom (else straight)

// Warps src onto dst (already allocated, every pixel overwritten). srcMesh is
// in source pixels (x in 0..Ws-1, y in 0..Hs-1), dstMesh, of the same size,
// in destination pixels. Reports progress 0..50 in pass 1 and 50..100 in
// pass 2 between its own BeginProgress and EndProgress. Throws
// std::invalid_argument for pictures without pixels or meshes of different
// or degenerate size, std::bad_alloc when the intermediate picture cannot be
// had.
void TwoPassWarp(const RasterImage& src, const TMeshDefsData& srcMesh,
                 const TMeshDefsData& dstMesh, int method, RasterImage& dst);

// Where the processor has AVX2 the warp resamples its lines with vector
// code that gives the same bytes; off, it takes the plain routine. For tests
// and benchmarks that compare the two.
void SetVectorWarp(bool on);

// Lines per band of the worker threads (0: the usual). Any value gives the
// same bytes; tests make every line a band of its own, or one band of all.
void SetWarpBandLines(int lines);

// Resamples one line of 24-bit pixels. source and target address the first
// pixel (leftmost of a row, topmost of a column); the steps are the signed
// byte distances between neighbours (3 along a row, minus the row size down
// a column of a bottom-up picture). map[0..sourceLength] is the target
// position of the left edge of each source pixel (map[sourceLength]: the right
// edge of the last), starting at -0.5 and ending at targetLength - 0.5.
// inv is work space for targetLength + 1 doubles.
void ResampleScanline(const uint8_t* source, int sourceLength, ptrdiff_t sourceStep,
                      int targetLength, ptrdiff_t targetStep, const double* map,
                      uint8_t* target, double* inv);
// The same with its own work space.
void ResampleScanline(const uint8_t* source, int sourceLength, ptrdiff_t sourceStep,
                      int targetLength, ptrdiff_t targetStep, const double* map,
                      uint8_t* target);

struct AreaColour {
    double Blue = 0.0;
    double Green = 0.0;
    double Red = 0.0;
};

// Average colour of a line of sourceLength pixels over the interval [a, b]
// (pixel k covers [k - 0.5, k + 0.5]), each partial sum and the result at
// Real48 precision. a and b are kept inside [-0.5, sourceLength]; an empty
// interval gives the pixel that holds a.
AreaColour AreaAverage(const uint8_t* source, int sourceLength, ptrdiff_t sourceStep,
                       double a, double b);
