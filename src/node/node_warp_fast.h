// The node warp's sample positions evaluated fast: single precision and
// reciprocal estimates instead of a double square root and division per node
// and pixel. Each position comes with a rigorous bound of its distance from
// the position the plain double evaluation gives, and a pixel is taken from
// the fast position only when every position within that bound gives the
// same bytes; the others are computed again the plain way. The pictures are
// therefore bit for bit those of the plain evaluation. The bound and its
// proof are in node_warp_fast.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "node/node_defs.h"
#include "node/node_warp_rows.h"

// What the fast evaluation needs, prepared once per warp.
struct NodeWarpFast {
    bool Usable = false;
    bool Exact = false;  // every weight 0: the positions are the pixels' own
    int N = 0;
    nodebasis::PowerKind Kind = nodebasis::PowerKind::General;
    double Kx = 0.0;
    double Relative = 0.0;  // K of the bound: |q - q_plain| <= K * A + ...
    // Target positions split into a float and a float remainder, weights and
    // the larger of each node's two weights in magnitude.
    alignas(64) float Dh[kMaxNodes];
    alignas(64) float Dl[kMaxNodes];
    alignas(64) float Wx[kMaxNodes];
    alignas(64) float Wy[kMaxNodes];
    alignas(64) float Wa[kMaxNodes];
    // The same in double, for the positive exponents.
    double DxD[kMaxNodes], WxD[kMaxNodes], WyD[kMaxNodes], WaD[kMaxNodes];
    // Output column positions u * Kx split the same way, padded to whole runs.
    std::vector<float> Ph, Pl;
};

// Whether warps may take the fast evaluation where it applies (tests and
// benchmarks turn it off to compare); on by default.
void SetFastNodeWarp(bool on);

// Fills fast for one warp with ow output columns from a source of sw x sh
// pixels. Usable stays false where the fast evaluation does not apply: no
// AVX-512 on this processor, the general power, range checks needed, or
// values outside the ranges the bound is proved for.
void PrepareNodeWarpFast(const NodeWarpNodes& nodes, int ow, int sw, int sh, NodeWarpFast& fast);

// Sample positions of the output pixels u0 .. u0+n-1 (n <= kNodeWarpRun) of
// the row at source height py, with cd[j] = (py - Dy[j])^2 + r_j^2 and c[j]
// the same as a float. err[k] bounds |qx - qx_plain| - 2^-50 |qx| and the
// same for y.
void NodeWarpFastPositions(const NodeWarpFast& fast, const float* c, const double* cd, double py,
                           int u0, int n, double* qx, double* qy, double* err);

// safe[k] = 1 when the bilinear sample of every position within the bound of
// (qx[k], qy[k]) (err[k] + 2^-50 |q| in each coordinate) has the bytes of
// the sample at (qx[k], qy[k]) itself (always where err[k] is 0: the plain
// position itself); 0 when the pixel must be computed the plain way. Source
// and positions as for NodeWarpSamples.
void NodeWarpSafeSamples(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                         const double* qy, const double* err, int count, uint8_t* safe);

// NodeWarpSamplesPlain and NodeWarpSafeSamples in one, the same bytes and
// flags, with AVX-512 where the processor has it.
void NodeWarpFastSamples(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                         const double* qy, const double* err, int count, uint8_t* out,
                         uint8_t* safe);
