// The inner loop of the node warp: sample positions for a run of output
// pixels of one row. Kept in its own file because it is compiled so that the
// loop over pixels vectorises (see CMakeLists.txt); the results are the same
// bits as one pixel at a time.
#pragma once

#include <cstdint>

#include "node/node_basis.h"

// Pixels per call of NodeWarpSamplePositions.
constexpr int kNodeWarpRun = 64;

// The nodes as a structure of arrays: target positions, squared radii and
// weights, in source pixels, N entries each.
struct NodeWarpNodes {
    int N = 0;
    const double* Dx = nullptr;
    const double* Dy = nullptr;
    const double* R2 = nullptr;
    const double* Wx = nullptr;
    const double* Wy = nullptr;
    nodebasis::Power Power;
    double Kx = 0.0;  // source pixels per output column
    // The caller has shown that every s lies in [2^-120, 2^120] and every
    // basis value inside the Real48 range, so the range checks can go.
    bool InRange = false;
};

struct NodeWarpFlags {
    uint64_t Undefined = 0;  // s = 0 where the power does not exist
    uint64_t Overflow = 0;   // a value beyond the Real48 range
};

// q = p + sum of w_j * Phi(|p - D_j|, r_j) for the output pixels u0..u0+n-1
// (n <= kNodeWarpRun) of the row at source height py; dy2[j] = (py - Dy[j])^2.
// A pixel's sum runs over the nodes in order, exactly as one pixel at a time.
void NodeWarpSamplePositions(const NodeWarpNodes& nodes, const double* dy2, double py,
                             int u0, int n, double* qx, double* qy, NodeWarpFlags& flags);

// Bilinear samples of a 24-bit source of sw x sh pixels (rows rowBytes
// apart, bottom row first) at (qx[k], qy[k]), qy counted from the top row,
// into count pixels at out: each pair of horizontal neighbours interpolated
// and stored as a Real48, then the two rows, rounded to the nearest byte
// (ties to even); black where the 2 x 2 neighbourhood does not exist.
void NodeWarpSamples(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                     const double* qy, int count, uint8_t* out);
// The same one pixel at a time, as on processors without AVX2.
void NodeWarpSamplesPlain(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                          const double* qy, int count, uint8_t* out);
