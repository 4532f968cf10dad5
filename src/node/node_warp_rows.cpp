#include "node/node_warp_rows.h"

#include <cmath>

namespace {

using nodebasis::PowerKind;

// One run of pixels for one kind of power. The loop over nodes is outside,
// the loop over pixels inside, so that each pixel's sum keeps the node order
// while the pixels go through the vector unit side by side.
// The stored value without the range handling of StoreReal48: the same bits
// whenever the value lies inside the Real48 range.
template <bool Checked>
[[gnu::always_inline]] inline double Store(double x, uint64_t& overflow)
{
    if constexpr (Checked)
        return nodebasis::StoreReal48(x, overflow);
    else
        return nodebasis::Round40(x);
}

template <PowerKind K, bool Checked>
[[gnu::always_inline]] inline void Run(const NodeWarpNodes& nodes, const double* dy2, double py,
                                       int u0, int n, double* qx, double* qy, NodeWarpFlags& flags)
{
    double px[kNodeWarpRun];
    double sx[kNodeWarpRun];
    double sy[kNodeWarpRun];
    // Flags per pixel rather than one reduction: that is what vectorises.
    uint64_t undefined[kNodeWarpRun];
    uint64_t overflow[kNodeWarpRun];
    for (int k = 0; k < n; ++k) {
        px[k] = static_cast<double>(u0 + k) * nodes.Kx;
        sx[k] = 0.0;
        sy[k] = 0.0;
        undefined[k] = 0;
        overflow[k] = 0;
    }
    const nodebasis::Power pw = nodes.Power;
    for (int j = 0; j < nodes.N; ++j) {
        const double dxj = nodes.Dx[j];
        const double dyj2 = dy2[j];
        const double r2 = nodes.R2[j];
        const double wx = nodes.Wx[j];
        const double wy = nodes.Wy[j];
        for (int k = 0; k < n; ++k) {
            const double dx = px[k] - dxj;
            // Unchecked, a d below the Real48 range is not flushed to 0; with
            // r*r >= 2^-120 the sum s comes out the same either way.
            const double d = Store<Checked>(std::sqrt(dx * dx + dyj2), overflow[k]);
            const double s = d * d + r2;
            const double phi = Store<Checked>(nodebasis::RaiseTo<K, Checked>(pw, s, undefined[k]), overflow[k]);
            sx[k] += wx * phi;
            sy[k] += wy * phi;
        }
    }
    uint64_t anyUndefined = 0;
    uint64_t anyOverflow = 0;
    for (int k = 0; k < n; ++k) {
        qx[k] = px[k] + sx[k];
        qy[k] = py + sy[k];
        anyUndefined |= undefined[k];
        anyOverflow |= overflow[k];
    }
    flags.Undefined |= anyUndefined;
    flags.Overflow |= anyOverflow;
}

}  // namespace

// Built for AVX2 and for the baseline; the loader picks what the processor has.
// Neither clone contracts or reorders arithmetic, so both give the same bits.
__attribute__((target_clones("avx2", "default")))
void NodeWarpSamplePositions(const NodeWarpNodes& nodes, const double* dy2, double py,
                             int u0, int n, double* qx, double* qy, NodeWarpFlags& flags)
{
    const bool checked = !nodes.InRange;
    switch (nodes.Power.Kind) {
    case PowerKind::InverseSquare:
        return checked ? Run<PowerKind::InverseSquare, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::InverseSquare, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::Square:
        return checked ? Run<PowerKind::Square, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::Square, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::InverseRoot:
        return checked ? Run<PowerKind::InverseRoot, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::InverseRoot, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::Root:
        return checked ? Run<PowerKind::Root, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::Root, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::One:
        return Run<PowerKind::One, true>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::Integral:
        return Run<PowerKind::Integral, true>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::General:
        return checked ? Run<PowerKind::General, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::General, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    }
}
